#pragma once

// The MIDI information reader's steps read plainly: every search over the whole
// buffer with std::string_view::find, nothing clever. The fuzz target and the
// corpus tests hold the reader to it.

#include "midi/basMIDIInfo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace calvane::test {

struct StepReading
{
    MidiFileInfo info;
    bool hasHeader = false;
};

inline StepReading ReadBySteps(std::string_view buf)
{
    const auto search = [&](std::string_view what, std::size_t from) -> std::optional<std::size_t> {
        const std::size_t at = from > buf.size() ? std::string_view::npos : buf.find(what, from);
        return at == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(at);
    };
    // The count: a whole variable-length quantity of at most four bytes whose text
    // fits the buffer, else its first byte as the length.
    const auto textAt = [&](std::size_t prefix) -> QString {
        if (prefix + 2 >= buf.size()) {
            return {};
        }
        std::size_t at = prefix + 3;
        std::size_t count = static_cast<unsigned char>(buf[prefix + 2]);
        std::size_t value = 0;
        for (std::size_t i = 0; i < 4 && prefix + 2 + i < buf.size(); ++i) {
            const auto byte = static_cast<unsigned char>(buf[prefix + 2 + i]);
            value = value * 128 + (byte & 0x7F);
            if (byte < 0x80) {
                if (prefix + 3 + i + value <= buf.size()) {
                    at = prefix + 3 + i;
                    count = value;
                }
                break;
            }
        }
        const std::string_view bytes = buf.substr(at, count);
        return DecodeMetaText(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    };

    StepReading out;
    MidiFileInfo& info = out.info;
    const auto h = search("MThd", 0);
    if (!h || buf.size() - *h < 14) {
        return out;
    }
    out.hasHeader = true;
    auto number = [&](std::size_t at) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned char>(buf[at]) << 8 |
                                                                    static_cast<unsigned char>(buf[at + 1])));
    };
    info.Format = number(*h + 8);
    info.Tracks = number(*h + 10);
    info.Division = number(*h + 12);
    const auto t1 = search("MTrk", 0);
    if (!t1) {
        return out;
    }
    const auto t2 = search("MTrk", *t1 + 1);
    const auto p1 = search(std::string_view("\xFF\x01", 2), *t1);
    const auto p3 = search(std::string_view("\xFF\x03", 2), *t1);
    const auto p2 = search(std::string_view("\xFF\x02", 2), *t1);
    std::optional<std::size_t> p = p1;
    if (p3 && (!p || *p3 < *p)) {
        p = p3;
    }
    if (p && !(t2 && *t2 < *p)) {
        info.Title = textAt(*p);
    }
    if (p2 && !(t2 && *t2 < *p2)) {
        info.Copyright = textAt(*p2);
    }
    return out;
}

} // namespace calvane::test
