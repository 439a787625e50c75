#include "midi/basMIDIInfo.h"

#include "errors/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

namespace calvane {
namespace {

using Offset = qint64;

/// Bytes already in memory.
class MemoryBytes
{
public:
    explicit MemoryBytes(QByteArrayView buf) : m_buf(buf) {}
    Offset piece() const { return std::numeric_limits<Offset>::max() / 4; } // all at once
    Offset size() const { return m_buf.size(); }
    /// The bytes [at, at + n), fewer at the end; valid until the next call.
    QByteArrayView window(Offset at, Offset n) const
    {
        if (at >= size() || n <= 0) {
            return {};
        }
        return m_buf.sliced(at, std::min(n, size() - at));
    }
    Offset nextData(Offset at) const { return at; }

private:
    QByteArrayView m_buf;
};

/// A file read in bounded pieces, whatever its size. The holes of a sparse file
/// are jumped over: they read as zero bytes, and no marker or prefix holds one.
class FileBytes
{
public:
    FileBytes(const OrdinaryFile& file, Offset piece)
        : m_file(file), m_size(file.size()), m_piece(std::max<Offset>(piece, 1))
    {}
    Offset piece() const { return m_piece; }
    Offset size() const { return m_size; }
    /// The bytes [at, at + n), fewer at the end; valid until the next call.
    QByteArrayView window(Offset at, Offset n)
    {
        n = std::min(n, m_size - at);
        if (n <= 0) {
            return {};
        }
        if (at >= m_start && at + n <= m_start + m_buffer.size()) {
            return QByteArrayView(m_buffer).sliced(at - m_start, n);
        }
        m_buffer.resize(static_cast<qsizetype>(n));
        const qint64 got = m_file.readAt(at, m_buffer.data(), n);
        if (got < 0) {
            throw RuntimeError::fromErrno(errno);
        }
        m_buffer.truncate(static_cast<qsizetype>(got));
        m_start = at;
        if (got < n) {
            m_size = at + got; // the file shrank meanwhile: it ends here
        }
        return m_buffer;
    }
    /// A file of one piece is read whole at once: no hole is worth a question.
    Offset nextData(Offset at) const { return m_size <= m_piece ? at : m_file.nextData(at); }

private:
    const OrdinaryFile& m_file;
    Offset m_size;
    Offset m_piece;
    QByteArray m_buffer;
    Offset m_start = 0;
};

/// First occurrence of the pattern starting in [from, end); the pattern itself may
/// run past `end` up to the end of the bytes.
template <class Bytes>
std::optional<Offset> find(Bytes& bytes, QByteArrayView pattern, Offset from, Offset end)
{
    const Offset len = pattern.size();
    const Offset lastStart = std::min(end, bytes.size() - len + 1); // matches start before it
    for (Offset at = from; at < lastStart;) {
        at = bytes.nextData(at);
        if (at >= lastStart) {
            break;
        }
        const Offset want = std::min(bytes.piece(), lastStart - at) + len - 1;
        const QByteArrayView w = bytes.window(at, want);
        if (w.size() < len) {
            break;
        }
        if (const void* hit =
                ::memmem(w.data(), static_cast<size_t>(w.size()), pattern.data(), static_cast<size_t>(len))) {
            return at + (static_cast<const char*>(hit) - w.data());
        }
        if (w.size() < want) {
            break;
        }
        at += w.size() - len + 1;
    }
    return std::nullopt;
}

/// Calls f(offset, next byte) for each FF byte from `from` on that has a byte after
/// it, in order, until f returns false.
template <class Bytes, class F> void forEachFF(Bytes& bytes, Offset from, F f)
{
    for (Offset at = from; at < bytes.size() - 1;) {
        at = bytes.nextData(at);
        if (at >= bytes.size() - 1) {
            break;
        }
        const Offset want = std::min(bytes.piece() + 1, bytes.size() - at); // and the byte after it
        const QByteArrayView w = bytes.window(at, want);
        for (Offset k = 0; k < w.size() - 1;) {
            const void* hit = std::memchr(w.data() + k, 0xFF, static_cast<size_t>(w.size() - 1 - k));
            if (!hit) {
                break;
            }
            k = static_cast<const char*>(hit) - w.data();
            if (!f(at + k, w[k + 1])) {
                return;
            }
            ++k;
        }
        if (w.size() < want || w.size() < 2) {
            break;
        }
        at += w.size() - 1; // the last byte again, with the one after it
    }
}

std::int16_t headerNumber(QByteArrayView head, Offset at)
{
    const auto hi = static_cast<unsigned char>(head[at]);
    const auto lo = static_cast<unsigned char>(head[at + 1]);
    // The 16-bit value taken as two's complement: an SMPTE division E7 28 is -6360.
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
}

/// Where the text behind a meta-event prefix lies: after a whole variable-length
/// count (at most four bytes) whose text fits the bytes, else after the first
/// count byte taken as the length (cut off by the end). No count byte at all: none.
template <class Bytes> QByteArray metaText(Bytes& bytes, Offset prefix)
{
    const Offset countAt = prefix + 2;
    const QByteArrayView count = bytes.window(countAt, 4);
    if (count.isEmpty()) {
        return {};
    }
    const auto first = static_cast<unsigned char>(count[0]);
    Offset length = 0;
    for (Offset i = 0; i < count.size(); ++i) {
        const auto byte = static_cast<unsigned char>(count[i]);
        length = length << 7 | (byte & 0x7F);
        if (byte < 0x80) {
            const Offset textAt = countAt + i + 1;
            if (length <= bytes.size() - textAt) {
                return bytes.window(textAt, length).toByteArray();
            }
            break;
        }
    }
    return bytes.window(countAt + 1, first).toByteArray();
}

struct Scan
{
    MidiFileInfo info;
    QByteArray titleBytes;
    QByteArray copyrightBytes;
    bool hasHeader = false;
};

template <class Bytes> Scan scan(Bytes& bytes, MidiTexts texts, TextEncoding encoding)
{
    Scan out;
    MidiFileInfo& info = out.info;
    const auto h = find(bytes, "MThd", 0, bytes.size());
    if (!h) {
        return out;
    }
    const QByteArrayView head = bytes.window(*h, 14);
    if (head.size() < 14) {
        return out;
    }
    out.hasHeader = true;
    info.Format = headerNumber(head, 8);
    info.Tracks = headerNumber(head, 10);
    info.Division = headerNumber(head, 12);

    const auto t1 = find(bytes, "MTrk", 0, bytes.size());
    if (!t1) {
        return out;
    }

    // One pass over the FF bytes from the first "MTrk" on finds the first FF 01 or
    // FF 03 (the title prefix, whichever comes first) and the first FF 02; -1 for none.
    // Without the copyright the pass ends at the title prefix.
    const bool wantCopyright = texts == MidiTexts::TitleAndCopyright;
    Offset p = -1;
    Offset p2 = -1;
    forEachFF(bytes, *t1, [&](Offset k, char type) {
        if (p < 0 && (type == 0x01 || type == 0x03)) {
            p = k;
        } else if (wantCopyright && p2 < 0 && type == 0x02) {
            p2 = k;
        }
        return p < 0 || (wantCopyright && p2 < 0);
    });
    if (p < 0 && p2 < 0) {
        return out;
    }

    // A prefix that lies behind a second "MTrk" is outside the first track. Only a
    // second marker before the later prefix can matter, so the search stops there.
    if (const auto t2 = find(bytes, "MTrk", *t1 + 1, std::max(p, p2))) {
        p = p > *t2 ? -1 : p;
        p2 = p2 > *t2 ? -1 : p2;
    }
    if (p >= 0) {
        out.titleBytes = metaText(bytes, p);
        info.Title = DecodeMetaText(out.titleBytes, encoding);
    }
    if (p2 >= 0) {
        out.copyrightBytes = metaText(bytes, p2);
        info.Copyright = DecodeMetaText(out.copyrightBytes, encoding);
    }
    return out;
}

} // namespace

QString DecodeMetaText(QByteArrayView bytes, TextEncoding encoding)
{
    return DecodeText(bytes, encoding);
}

MidiFileInfo ParseMIDIInfo(QByteArrayView buf)
{
    MemoryBytes bytes(buf);
    return scan(bytes, MidiTexts::TitleAndCopyright, TextEncoding::Auto).info;
}

MidiInfoRead ReadMIDIInfo(const QByteArray& nativePath, qint64 pieceBytes, MidiTexts texts,
                          TextEncoding encoding)
{
    MidiInfoRead result;
    const OrdinaryFile file(nativePath);
    switch (file.status()) {
    case OrdinaryFile::Status::Absent:
        result.error = ErrNo::FileNotFound;
        break;
    case OrdinaryFile::Status::Unreadable:
        result.error = ErrorNumberFromErrno(file.error());
        break;
    case OrdinaryFile::Status::Ok:
        try {
            FileBytes bytes(file, pieceBytes);
            Scan scanned = scan(bytes, texts, encoding);
            result.info = std::move(scanned.info);
            result.titleBytes = std::move(scanned.titleBytes);
            result.copyrightBytes = std::move(scanned.copyrightBytes);
            result.hasHeader = scanned.hasHeader;
        } catch (const RuntimeError& failure) {
            result.error = failure.number(); // a read that failed part way
        }
        break;
    }
    return result;
}

MidiFileInfo GetMIDIInfo(const QByteArray& nativePath, MessageBoxes& boxes, ErrorReporter& reporter,
                         MissingFile missing)
{
    return Guarded(reporter, "basMIDIInfo.GetMIDIInfo", [&] {
        MidiInfoRead read = ReadMIDIInfo(nativePath);
        if (read.error != 0 && (read.error != ErrNo::FileNotFound || missing == MissingFile::Tell)) {
            boxes.show(QStringLiteral("MIDI情報の取得に失敗しました"), QStringLiteral("GetMIDIInfo"),
                       MsgIcon::Critical, MsgButtons::Ok);
        }
        return std::move(read.info);
    });
}

MidiFileInfo GetMIDIInfo(const QString& path, MessageBoxes& boxes, ErrorReporter& reporter,
                         MissingFile missing)
{
    return GetMIDIInfo(NativePath(path), boxes, reporter, missing);
}

} // namespace calvane
