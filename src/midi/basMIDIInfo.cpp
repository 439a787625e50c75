#include "midi/basMIDIInfo.h"

#include "errors/basModule1.h"
#include "platform/Cp932.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace calvane {
namespace {

using Offset = qsizetype;

/// First occurrence of the pattern starting in [from, end) of the buffer; the
/// pattern itself may run past `end` up to the buffer's end.
std::optional<Offset> find(QByteArrayView buf, const char* pattern, size_t len, Offset from, Offset end)
{
    if (from < 0 || from >= buf.size()) {
        return std::nullopt;
    }
    const Offset stop = std::min<Offset>(buf.size(), end + static_cast<Offset>(len) - 1);
    if (stop - from < static_cast<Offset>(len)) {
        return std::nullopt;
    }
    const void* hit = ::memmem(buf.data() + from, static_cast<size_t>(stop - from), pattern, len);
    if (!hit) {
        return std::nullopt;
    }
    return static_cast<const char*>(hit) - buf.data();
}

std::int16_t headerNumber(QByteArrayView buf, Offset at)
{
    const auto hi = static_cast<unsigned char>(buf[at]);
    const auto lo = static_cast<unsigned char>(buf[at + 1]);
    // The 16-bit value taken as two's complement: an SMPTE division E7 28 is -6360.
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
}

/// The text behind a meta-event prefix: a count byte, then that many bytes (fewer
/// when the buffer ends first). No count byte at all gives an empty text.
QString metaText(QByteArrayView buf, Offset prefix)
{
    const Offset countAt = prefix + 2;
    if (countAt >= buf.size()) {
        return {};
    }
    const auto count = static_cast<unsigned char>(buf[countAt]);
    const Offset start = countAt + 1;
    const Offset n = std::min<Offset>(count, buf.size() - start);
    return DecodeCp932(buf.sliced(start, n));
}

} // namespace

MidiFileInfo ParseMIDIInfo(QByteArrayView buf)
{
    MidiFileInfo info;
    const Offset all = buf.size();
    const auto h = find(buf, "MThd", 4, 0, all);
    if (!h || all - *h < 14) {
        return info;
    }
    info.Format = headerNumber(buf, *h + 8);
    info.Tracks = headerNumber(buf, *h + 10);
    info.Division = headerNumber(buf, *h + 12);

    const auto t1 = find(buf, "MTrk", 4, 0, all);
    if (!t1) {
        return info;
    }

    // One pass over the FF bytes from the first "MTrk" on finds the first FF 01 or
    // FF 03 (the title prefix, whichever comes first) and the first FF 02.
    std::optional<Offset> p;
    std::optional<Offset> p2;
    for (Offset at = *t1; at < all - 1 && (!p || !p2);) {
        const void* hit = std::memchr(buf.data() + at, 0xFF, static_cast<size_t>(all - 1 - at));
        if (!hit) {
            break;
        }
        const Offset k = static_cast<const char*>(hit) - buf.data();
        const char type = buf[k + 1];
        if (!p && (type == 0x01 || type == 0x03)) {
            p = k;
        } else if (!p2 && type == 0x02) {
            p2 = k;
        }
        at = k + 1;
    }
    if (!p && !p2) {
        return info;
    }

    // A prefix that lies behind a second "MTrk" is outside the first track. Only a
    // second marker before the later prefix can matter, so the search stops there.
    const Offset limit = std::max(p.value_or(0), p2.value_or(0));
    if (const auto t2 = find(buf, "MTrk", 4, *t1 + 1, limit)) {
        if (p && *p > *t2) {
            p.reset();
        }
        if (p2 && *p2 > *t2) {
            p2.reset();
        }
    }
    if (p) {
        info.Title = metaText(buf, *p);
    }
    if (p2) {
        info.Copyright = metaText(buf, *p2);
    }
    return info;
}

MidiInfoRead ReadMIDIInfo(const QByteArray& nativePath)
{
    MidiInfoRead result;
    const WholeFile file = ReadWholeOrdinaryFile(nativePath);
    switch (file.status) {
    case WholeFile::Status::Absent:
        result.error = ErrNo::FileNotFound;
        break;
    case WholeFile::Status::Unreadable:
        result.error = ErrorNumberFromErrno(file.err);
        break;
    case WholeFile::Status::Ok:
        result.info = ParseMIDIInfo(file.bytes);
        break;
    }
    return result;
}

MidiFileInfo GetMIDIInfo(const QByteArray& nativePath, MessageBoxes& boxes, ErrorReporter& reporter)
{
    return Guarded(reporter, "basMIDIInfo.GetMIDIInfo", [&] {
        MidiInfoRead read = ReadMIDIInfo(nativePath);
        if (read.error != 0) {
            boxes.show(QStringLiteral("MIDI情報の取得に失敗しました"), QStringLiteral("GetMIDIInfo"),
                       MsgIcon::Critical, MsgButtons::Ok);
        }
        return std::move(read.info);
    });
}

MidiFileInfo GetMIDIInfo(const QString& path, MessageBoxes& boxes, ErrorReporter& reporter)
{
    return GetMIDIInfo(NativePath(path), boxes, reporter);
}

} // namespace calvane
