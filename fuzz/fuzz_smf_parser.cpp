// The playback parser on arbitrary bytes: it must never crash, hang or read outside
// the buffer, and every song it gives must be playable as it stands: no output may
// receive data bytes without their status, and a cursor copied part way reads on
// exactly as the one it was copied from.

#include "midi/SmfParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

/// The items of a cursor from where it stands: their times and bytes, in order.
std::vector<std::int64_t> rest(calvane::SmfCursor cursor)
{
    std::vector<std::int64_t> out;
    for (; const calvane::SmfEvent* e = cursor.peek(); cursor.advance()) {
        out.push_back(e->timeUs);
        out.push_back(static_cast<std::int64_t>(e->kind));
        out.push_back(static_cast<std::int64_t>(e->sysex.size()));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<calvane::SmfSong> song = calvane::ParseSmf(bytes);
    if (!song) {
        return 0;
    }
    if (song->lengthUs < 0 || song->lengthUs > calvane::kMaxSongTimeUs) {
        std::abort();
    }
    std::size_t events = 0;
    std::int64_t previous = 0;
    std::optional<calvane::SmfCursor> half;
    calvane::SmfCursor cursor(*song);
    for (; const calvane::SmfEvent* e = cursor.peek(); cursor.advance()) {
        if (e->timeUs < previous || e->timeUs > song->lengthUs) {
            std::abort();
        }
        previous = e->timeUs;
        if (!half && events == 3) {
            half.emplace(cursor);
        }
        switch (e->kind) {
        case calvane::SmfEvent::Kind::Tempo:
            if (e->microsPerQuarter == 0 || e->microsPerQuarter > 0xFFFFFF) {
                std::abort();
            }
            continue;
        case calvane::SmfEvent::Kind::Message: {
            const bool channelMessage = e->message[0] >= 0x80 && e->message[0] < 0xF0;
            const std::size_t expected = (e->message[0] & 0xE0) == 0xC0 ? 2 : 3;
            if (!channelMessage || e->messageSize != expected || e->message[1] > 0x7F ||
                (expected == 3 && e->message[2] > 0x7F)) {
                std::abort();
            }
            break;
        }
        case calvane::SmfEvent::Kind::Sysex:
            // Never data without its status: a whole message from F0 to F7, or an escape
            // that begins with a status byte; never more bytes than the file has.
            if (e->sysex.empty() || e->sysex.size() > size || e->sysex.front() < 0x80 ||
                e->sysex.front() == 0xF7 || (e->sysex.front() == 0xF0 && e->sysex.back() != 0xF7)) {
                std::abort();
            }
            break;
        }
        ++events;
    }
    // Each event takes at least two bytes of the file (a delta and a data byte).
    if (events > size / 2 || cursor.eventsPassed() != events || cursor.endsReachedUs() != song->lengthUs) {
        std::abort();
    }
    if (half) {
        calvane::SmfCursor again(*song);
        while (again.eventsPassed() < 3) {
            again.advance();
        }
        if (rest(*half) != rest(again)) {
            std::abort();
        }
    }
    if (song->TempoAt(0) <= 0 || song->TempoAt(song->lengthUs) <= 0) {
        std::abort();
    }
    return 0;
}
