#include "platform/NameList.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QLatin1StringView>

#include <algorithm>
#include <array>

namespace calvane {
namespace {

/// The simple case folding that QString::compare applies with Qt::CaseInsensitive,
/// done once per text instead of at every comparison.
void appendFolded(QString& out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.append(QChar(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            out.append(QChar(QChar::highSurrogate(folded)));
            out.append(QChar(QChar::lowSurrogate(folded)));
            ++i;
        } else {
            out.append(QChar(static_cast<char16_t>(QChar::toCaseFolded(char32_t{c}))));
        }
    }
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

QStringView NameList::name(qsizetype i) const
{
    const Entry& e = m_entries[static_cast<std::size_t>(i)];
    return QStringView(m_text).sliced(e.at, e.size);
}

QStringView NameList::shown(qsizetype i) const
{
    const Entry& e = m_entries[static_cast<std::size_t>(i)];
    return QStringView(m_text).sliced(e.shownAt, e.shownSize);
}

void NameList::appendNative(QByteArrayView native)
{
    if (isAscii(native)) {
        // Most names: the bytes are the text, and shown as they are.
        const auto at = static_cast<std::uint32_t>(m_text.size());
        m_text.append(QLatin1StringView(native.data(), native.size()));
        add(at, static_cast<std::uint32_t>(native.size()));
        return;
    }
    append(PathFromNative(native));
}

void NameList::append(QStringView name)
{
    const auto at = static_cast<std::uint32_t>(m_text.size());
    m_text.append(name);
    add(at, static_cast<std::uint32_t>(name.size()));
    if (HasEscapedBytes(name)) {
        const QString shown = ShownName(name.toString());
        Entry& e = m_entries.back();
        e.shownAt = static_cast<std::uint32_t>(m_text.size());
        e.shownSize = static_cast<std::uint32_t>(shown.size());
        m_text.append(shown);
    }
}

void NameList::add(std::uint32_t at, std::uint32_t size)
{
    m_entries.push_back({at, size, at, size});
}

void NameList::sort()
{
    // Each shown text is folded once, and its first 16 units are packed into the
    // sort record as numbers that compare as the text does: most comparisons are
    // settled there without a look at the text.
    struct Record
    {
        std::array<std::uint64_t, 4> prefix;
        std::uint32_t index;
    };
    const std::size_t n = m_entries.size();
    QString keys;
    keys.reserve(m_text.size());
    std::vector<std::uint32_t> keyAt(n + 1);
    std::vector<Record> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        keyAt[i] = static_cast<std::uint32_t>(keys.size());
        appendFolded(keys, shown(static_cast<qsizetype>(i)));
        const QStringView key = QStringView(keys).sliced(keyAt[i]);
        Record& r = records[i];
        r.index = static_cast<std::uint32_t>(i);
        for (qsizetype u = 0; u < 16; ++u) {
            // Units past the end are 0, below every character: the shorter text first.
            r.prefix[static_cast<std::size_t>(u / 4)] =
                (r.prefix[static_cast<std::size_t>(u / 4)] << 16) | (u < key.size() ? key[u].unicode() : 0u);
        }
    }
    keyAt[n] = static_cast<std::uint32_t>(keys.size());
    const QStringView keyText(keys);
    const auto key = [&](std::uint32_t i) { return keyText.sliced(keyAt[i], keyAt[i + 1] - keyAt[i]); };

    std::sort(records.begin(), records.end(), [&](const Record& a, const Record& b) {
        for (std::size_t k = 0; k < a.prefix.size(); ++k) {
            if (a.prefix[k] != b.prefix[k]) {
                return a.prefix[k] < b.prefix[k];
            }
        }
        // By UTF-16 code units, then the shorter first.
        const int c = key(a.index).compare(key(b.index));
        return c != 0 ? c < 0 : name(a.index).compare(name(b.index)) < 0;
    });
    std::vector<Entry> sorted;
    sorted.reserve(n);
    for (const Record& r : records) {
        sorted.push_back(m_entries[r.index]);
    }
    m_entries = std::move(sorted);
}

} // namespace calvane
