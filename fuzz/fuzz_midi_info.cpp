// The MIDI information reader on arbitrary bytes: it must never crash, hang or
// read outside the buffer, and it must agree with a plain step-by-step reading
// (every search over the whole buffer, nothing clever) on every input.

#include "midi/basMIDIInfo.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

using calvane::MidiFileInfo;

std::optional<std::size_t> search(std::string_view buf, std::string_view what, std::size_t from)
{
    if (from > buf.size()) {
        return std::nullopt;
    }
    const std::size_t at = buf.find(what, from);
    return at == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(at);
}

QString textAt(std::string_view buf, std::size_t prefix)
{
    if (prefix + 2 >= buf.size()) {
        return {};
    }
    const std::size_t count = static_cast<unsigned char>(buf[prefix + 2]);
    const std::string_view bytes = buf.substr(prefix + 3, count);
    return calvane::DecodeCp932(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

MidiFileInfo reference(std::string_view buf)
{
    MidiFileInfo info;
    const auto h = search(buf, "MThd", 0);
    if (!h || buf.size() - *h < 14) {
        return info;
    }
    auto number = [&](std::size_t at) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned char>(buf[at]) << 8 |
                                                                    static_cast<unsigned char>(buf[at + 1])));
    };
    info.Format = number(*h + 8);
    info.Tracks = number(*h + 10);
    info.Division = number(*h + 12);
    const auto t1 = search(buf, "MTrk", 0);
    if (!t1) {
        return info;
    }
    const auto t2 = search(buf, "MTrk", *t1 + 1);
    const auto p1 = search(buf, std::string_view("\xFF\x01", 2), *t1);
    const auto p3 = search(buf, std::string_view("\xFF\x03", 2), *t1);
    const auto p2 = search(buf, std::string_view("\xFF\x02", 2), *t1);
    std::optional<std::size_t> p = p1;
    if (p3 && (!p || *p3 < *p)) {
        p = p3;
    }
    if (p && !(t2 && *t2 < *p)) {
        info.Title = textAt(buf, *p);
    }
    if (p2 && !(t2 && *t2 < *p2)) {
        info.Copyright = textAt(buf, *p2);
    }
    return info;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view buf(reinterpret_cast<const char*>(data), size);
    const MidiFileInfo info =
        calvane::ParseMIDIInfo(QByteArrayView(buf.data(), static_cast<qsizetype>(size)));
    if (!(info == reference(buf))) {
        std::abort();
    }
    return 0;
}
