// The playback parser on arbitrary bytes: it must never crash, hang or read outside
// the buffer, and every song it gives must be playable as it stands: no output may
// receive data bytes without their status.

#include "midi/SmfParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<calvane::SmfSong> song = calvane::ParseSmf(bytes);
    if (!song) {
        return 0;
    }
    // Each event takes at least two bytes of the file (a delta and a data byte).
    if (song->events.size() > size / 2 || song->sysexData.size() > size) {
        std::abort();
    }
    std::int64_t previous = 0;
    for (const calvane::SmfEvent& e : song->events) {
        if (e.timeUs < previous || e.timeUs > song->lengthUs || song->lengthUs > calvane::kMaxSongTimeUs) {
            std::abort();
        }
        previous = e.timeUs;
        if (e.messageSize > 0) {
            const bool channelMessage = e.message[0] >= 0x80 && e.message[0] < 0xF0;
            const std::size_t expected = (e.message[0] & 0xE0) == 0xC0 ? 2 : 3;
            if (!channelMessage || e.messageSize != expected || e.message[1] > 0x7F ||
                (expected == 3 && e.message[2] > 0x7F)) {
                std::abort();
            }
        } else if (e.sysexLength == 0 ||
                   std::size_t{e.sysexOffset} + e.sysexLength > song->sysexData.size()) {
            std::abort();
        } else {
            // Never data without its status: a whole message from F0 to F7, or an escape
            // that begins with a status byte.
            const std::span<const std::uint8_t> bytes = song->Sysex(e);
            if (bytes.front() < 0x80 || bytes.front() == 0xF7 ||
                (bytes.front() == 0xF0 && bytes.back() != 0xF7)) {
                std::abort();
            }
        }
    }
    for (const calvane::SmfTempo& t : song->tempos) {
        if (t.microsPerQuarter == 0 || t.timeUs < 0 || t.timeUs > calvane::kMaxSongTimeUs) {
            std::abort();
        }
    }
    if (song->TempoAt(0) <= 0 || song->TempoAt(song->lengthUs) <= 0) {
        std::abort();
    }
    return 0;
}
