#include "midi/basMIDIInfo.h"

#include "errors/basModule1.h"
#include "platform/Cp932.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"

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
    const auto t2 = find(buf, "MTrk", 4, *t1 + 1, all);
    // A prefix that starts at or beyond the second "MTrk" lies outside the first
    // track; no prefix can start exactly at it, so searching up to it is enough.
    const Offset trackEnd = t2 ? *t2 : all;
    const auto p1 = find(buf, "\xFF\x01", 2, *t1, trackEnd);
    const auto p3 = find(buf, "\xFF\x03", 2, *t1, trackEnd);
    const auto p2 = find(buf, "\xFF\x02", 2, *t1, trackEnd);

    std::optional<Offset> p = p1;
    if (p3 && (!p || *p3 < *p)) {
        p = p3;
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
