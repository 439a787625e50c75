#include "settings/PrivateProfile.h"

#include "platform/NativeFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace calvane::profile {
namespace {

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

// Blanks at the ends of names and values: space, tab, and Ctrl+Z (the end-of-file
// mark of old editors).
QByteArrayView trimmed(QByteArrayView v)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\x1A'; };
    while (!v.isEmpty() && blank(v.front())) {
        v = v.sliced(1);
    }
    while (!v.isEmpty() && blank(v.back())) {
        v.chop(1);
    }
    return v;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are compared as given (already trimmed), ASCII letters without regard to case.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

enum class Kind
{
    Other,
    Section,
    Key
};

struct Line
{
    QByteArrayView text; // without its line end
    Kind kind = Kind::Other;
    QByteArrayView name; // section or key name, trimmed
    QByteArrayView value;
};

Line classify(QByteArrayView text)
{
    Line line{text, Kind::Other, {}, {}};
    const QByteArrayView t = trimmed(text);
    if (t.startsWith('[')) {
        QByteArrayView inner = t.sliced(1);
        const qsizetype close = inner.indexOf(']');
        if (close >= 0) {
            inner = inner.first(close);
        }
        line.kind = Kind::Section;
        line.name = trimmed(inner);
        return line;
    }
    const qsizetype eq = t.indexOf('=');
    if (eq >= 0) {
        line.kind = Kind::Key;
        line.name = trimmed(t.first(eq));
        line.value = trimmed(t.sliced(eq + 1));
    }
    return line;
}

/// The lines after a UTF-8 byte-order mark, if the content starts with one. CR LF,
/// LF and a bare CR each end a line.
std::vector<Line> splitLines(QByteArrayView content)
{
    if (content.startsWith(kUtf8Bom)) {
        content = content.sliced(kUtf8Bom.size());
    }
    std::vector<Line> lines;
    while (!content.isEmpty()) {
        qsizetype end = 0;
        while (end < content.size() && content[end] != '\n' && content[end] != '\r') {
            ++end;
        }
        lines.push_back(classify(content.first(end)));
        qsizetype next = end;
        if (next < content.size()) {
            next += (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') ? 2 : 1;
        }
        content = content.sliced(next);
    }
    return lines;
}

} // namespace

std::optional<QByteArray> GetValue(QByteArrayView content, QByteArrayView section, QByteArrayView key)
{
    section = trimmed(section);
    key = trimmed(key);
    bool inSection = false;
    bool seenSection = false;
    for (const Line& line : splitLines(content)) {
        if (line.kind == Kind::Section) {
            if (seenSection && inSection) {
                return std::nullopt; // the first matching section ended without the key
            }
            inSection = sameName(line.name, section);
            seenSection = seenSection || inSection;
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, key)) {
            QByteArrayView value = line.value;
            const qsizetype nul = value.indexOf('\0');
            if (nul >= 0) {
                value = value.first(nul);
            }
            return value.toByteArray();
        }
    }
    return std::nullopt;
}

bool IsStorable(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    auto oneLine = [](QByteArrayView v) {
        return !v.contains('\r') && !v.contains('\n') && !v.contains('\0');
    };
    const QByteArrayView k = trimmed(key);
    return oneLine(section) && oneLine(key) && oneLine(value) && !section.contains(']') && !k.isEmpty() &&
           !k.contains('=') && !k.startsWith('[') && !trimmed(section).isEmpty();
}

QByteArray SetValue(QByteArrayView content, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    section = trimmed(section);
    key = trimmed(key);
    const std::vector<Line> lines = splitLines(content);
    QByteArray newLine = key.toByteArray();
    newLine += '=';
    newLine += value;

    // Where the new line goes: replacing a line, or inserted before index `insertAt`.
    std::optional<size_t> replace;
    std::optional<size_t> insertAt;
    for (size_t i = 0; i < lines.size() && !replace && !insertAt; ++i) {
        if (lines[i].kind != Kind::Section || !sameName(lines[i].name, section)) {
            continue;
        }
        size_t lastFilled = i;
        size_t j = i + 1;
        for (; j < lines.size() && lines[j].kind != Kind::Section; ++j) {
            if (lines[j].kind == Kind::Key && sameName(lines[j].name, key)) {
                replace = j;
                break;
            }
            if (!trimmed(lines[j].text).isEmpty()) {
                lastFilled = j;
            }
        }
        if (!replace) {
            insertAt = lastFilled + 1;
        }
    }

    QByteArray out;
    out.reserve(content.size() + newLine.size() + section.size() + 8);
    if (content.startsWith(kUtf8Bom)) {
        out += kUtf8Bom; // the user's file keeps its mark
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (insertAt && *insertAt == i) {
            out += newLine;
            out += "\r\n";
        }
        out += (replace && *replace == i) ? QByteArrayView(newLine) : lines[i].text;
        out += "\r\n";
    }
    if (insertAt && *insertAt == lines.size()) {
        out += newLine;
        out += "\r\n";
    }
    if (!replace && !insertAt) {
        if (!lines.empty() && !trimmed(lines.back().text).isEmpty()) {
            out += "\r\n";
        }
        out += '[';
        out += section;
        out += "]\r\n";
        out += newLine;
        out += "\r\n";
    }
    return out;
}

std::optional<QByteArray> ReadFileValue(const QString& file, QByteArrayView section, QByteArrayView key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return GetValue(f.readAll(), section, key);
}

int WriteFileValues(const QString& file, const std::vector<Entry>& entries)
{
    const QByteArray native = QFile::encodeName(file);
    QByteArray content;
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        QFile f;
        if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return EIO;
        }
        content = f.readAll();
        if (f.error() != QFileDevice::NoError) {
            return EIO; // never replace a file we could not read
        }
    } else if (errno != ENOENT) {
        return errno;
    }
    for (const Entry& e : entries) {
        if (IsStorable(e.section, e.key, e.value)) {
            content = SetValue(content, e.section, e.key, e.value);
        }
    }
    return ReplaceFileContent(native, content, LinkAtName::Follow);
}

bool WriteFileValue(const QString& file, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    if (!IsStorable(section, key, value)) {
        return false;
    }
    return WriteFileValues(file, {{section.toByteArray(), key.toByteArray(), value.toByteArray()}}) == 0;
}

} // namespace calvane::profile
