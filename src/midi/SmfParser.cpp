#include "midi/SmfParser.h"

#include <algorithm>
#include <utility>

namespace calvane {
namespace {

using Offset = qsizetype;

std::uint32_t be24(QByteArrayView b, Offset at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2]));
}

std::uint32_t be32(QByteArrayView b, Offset at)
{
    return be24(b, at) << 8 | static_cast<unsigned char>(b[at + 3]);
}

std::uint16_t be16(QByteArrayView b, Offset at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) << 8 |
                                      static_cast<unsigned char>(b[at + 1]));
}

std::uint32_t le32(QByteArrayView b, Offset at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

/// Where the MIDI data of a file lies: the "data" chunk of a RIFF "RMID" file (cut
/// at the end of the file), the whole file otherwise. (offset, size)
std::optional<std::pair<Offset, Offset>> unwrapRiff(QByteArrayView b)
{
    if (!b.startsWith("RIFF")) {
        return std::pair<Offset, Offset>(0, b.size());
    }
    if (b.size() < 12 || b.sliced(8, 4) != QByteArrayView("RMID")) {
        return std::nullopt;
    }
    for (Offset at = 12; b.size() - at >= 8;) {
        const std::uint32_t length = le32(b, at + 4);
        if (b.sliced(at, 4) == QByteArrayView("data")) {
            return std::pair<Offset, Offset>(at + 8, std::min<Offset>(length, b.size() - at - 8));
        }
        const Offset skip = 8 + static_cast<Offset>(length) + (length & 1); // RIFF chunks are padded to even
        if (skip > b.size() - at) {
            break;
        }
        at += skip;
    }
    return std::nullopt;
}

/// a * mul / div without overflow, saturating at kMaxSongTimeUs.
std::int64_t scaleTime(std::uint64_t a, std::uint64_t mul, std::uint64_t div)
{
    const std::uint64_t q = a / div;
    const std::uint64_t r = a % div;
    constexpr auto max = static_cast<std::uint64_t>(kMaxSongTimeUs);
    std::uint64_t whole = 0;
    if (__builtin_mul_overflow(q, mul, &whole) || whole >= max) {
        return kMaxSongTimeUs;
    }
    // r < div, so r * mul stays below 2^53 for every division and tempo.
    return static_cast<std::int64_t>(std::min(max, whole + r * mul / div));
}

using TrackState = SmfCursor::TrackState;
using Next = TrackState::Next;

/// A variable-length quantity of at most four bytes within [at, end); advances at.
std::optional<std::uint32_t> vlq(QByteArrayView b, qsizetype& at, qsizetype end)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && at < end; ++i) {
        const auto byte = static_cast<std::uint8_t>(b[at++]);
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) {
            return value;
        }
    }
    return std::nullopt;
}

/// A length and that many bytes, all within [at, end): where they start; advances at.
std::optional<qsizetype> block(QByteArrayView b, qsizetype& at, qsizetype end, qsizetype& size)
{
    const auto length = vlq(b, at, end);
    if (!length || *length > static_cast<std::uint64_t>(end - at)) {
        return std::nullopt;
    }
    size = static_cast<qsizetype>(*length);
    const qsizetype data = at;
    at += size;
    return data;
}

/// The track has no more items: what is open is left out (a receiver would wait for
/// its end), and its end is the last event it read whole.
void finish(TrackState& t)
{
    t.openAt = -1;
    t.next = Next::End;
}

/// An F0 packet starts a system-exclusive message, F7 packets continue it while it
/// is open; the packet that ends in F7 completes it, and the whole message is one
/// event at that packet's time. With no message open, an F7 packet is an escape:
/// one that carries an F0 starts a message like an F0 packet; any other goes out as
/// it is if it begins with a status byte (not F7). True when an item is ready.
bool systemExclusive(QByteArrayView b, TrackState& t, qsizetype statusAt, qsizetype data, qsizetype size)
{
    const auto status = static_cast<std::uint8_t>(b[statusAt]);
    const auto first = size == 0 ? std::uint8_t{0} : static_cast<std::uint8_t>(b[data]);
    if (status == 0xF0 || (t.openAt < 0 && first == 0xF0)) {
        t.openAt = statusAt; // a message still open is abandoned
        t.openBytes = status == 0xF0 ? 1 : 0;
        t.openLast = status == 0xF0 ? 0xF0 : 0;
    } else if (t.openAt < 0) {
        if ((first & 0x80) && first != 0xF7) { // the end of a message that never began is no start
            t.next = Next::Escape;
            t.dataAt = data;
            t.dataSize = size;
            return true;
        }
        return false;
    }
    t.openBytes += static_cast<std::uint64_t>(size);
    if (size > 0) {
        t.openLast = static_cast<std::uint8_t>(b[data + size - 1]);
    }
    if (t.openBytes > 1 && t.openLast == 0xF7) {
        t.next = Next::Joined;
        t.nextOpenAt = std::exchange(t.openAt, -1);
        t.dataAt = data;
        t.dataSize = size;
        return true;
    }
    return false;
}

/// Reads the track on to its next item (or its end).
void readNext(QByteArrayView b, TrackState& t)
{
    for (;;) {
        if (t.at >= t.end) {
            return finish(t);
        }
        const auto delta = vlq(b, t.at, t.end);
        if (!delta || t.at >= t.end) {
            return finish(t);
        }
        t.tick += *delta;
        const qsizetype statusAt = t.at;
        const auto status = static_cast<std::uint8_t>(b[t.at]);
        if (status == 0xFF) {
            ++t.at;
            if (t.at >= t.end) {
                return finish(t);
            }
            const auto type = static_cast<std::uint8_t>(b[t.at++]);
            qsizetype size = 0;
            const auto data = block(b, t.at, t.end, size);
            if (!data) {
                return finish(t);
            }
            t.lastTick = t.tick;
            if (type == 0x2F) {
                return finish(t); // end of track
            }
            if (type == 0x51 && size >= 3) {
                const std::uint32_t micros = be24(b, *data);
                if (micros > 0) {
                    t.next = Next::Tempo;
                    t.micros = micros;
                    return;
                }
            }
        } else if (status == 0xF0 || status == 0xF7) {
            ++t.at;
            qsizetype size = 0;
            const auto data = block(b, t.at, t.end, size);
            if (!data) {
                return finish(t);
            }
            t.lastTick = t.tick;
            if (systemExclusive(b, t, statusAt, *data, size)) {
                return;
            }
        } else if (status >= 0xF1) {
            return finish(t); // system common and real-time messages have no place in a file
        } else {
            if (status & 0x80) {
                t.running = status;
                ++t.at;
            } else if (t.running == 0) {
                return finish(t); // data without a status
            }
            t.openAt = -1; // on the wire, a status byte ends a message that is still open
            const int size =
                (t.running & 0xE0) == 0xC0 ? 2 : 3; // program change, channel pressure: 1 data byte
            if (t.end - t.at < size - 1) {
                return finish(t);
            }
            t.message[0] = t.running;
            for (int i = 1; i < size; ++i) {
                t.message[i] = static_cast<std::uint8_t>(b[t.at++]);
                if (t.message[i] & 0x80) {
                    return finish(t);
                }
            }
            t.messageSize = static_cast<std::uint8_t>(size);
            t.lastTick = t.tick;
            t.next = Next::Message;
            return;
        }
    }
}

/// The tick an item of the track is ordered by.
std::uint64_t tickOf(const TrackState& t)
{
    return t.next == Next::End ? t.lastTick : t.tick;
}

/// The packets of a joined system exclusive, read again from the first packet's status
/// byte to the end of the last: only meta events can stand between them.
void joinPackets(QByteArrayView b, const TrackState& t, std::vector<std::uint8_t>& out)
{
    out.clear();
    const qsizetype last = t.dataAt + t.dataSize;
    qsizetype at = t.nextOpenAt;
    if (static_cast<std::uint8_t>(b[at]) == 0xF0) {
        out.push_back(0xF0);
    }
    for (;;) {
        const auto status = static_cast<std::uint8_t>(b[at++]);
        if (status == 0xFF) {
            ++at; // the type
        }
        qsizetype size = 0;
        const qsizetype data = block(b, at, last, size).value_or(last);
        if (status != 0xFF) {
            out.insert(out.end(), b.begin() + data, b.begin() + data + size);
        }
        if (at >= last) {
            return;
        }
        vlq(b, at, last); // the next event's delta
    }
}

bool validDivision(std::uint16_t division)
{
    if (!(division & 0x8000)) {
        return division != 0;
    }
    const int fps = -static_cast<std::int8_t>(division >> 8);
    return (fps == 24 || fps == 25 || fps == 29 || fps == 30) && (division & 0xFF) != 0;
}

} // namespace

int BeatsPerMinute(std::uint32_t microsPerQuarter)
{
    return static_cast<int>((60'000'000u + microsPerQuarter / 2) / microsPerQuarter);
}

int SmfSong::TempoAt(std::int64_t timeUs) const
{
    SmfCursor cursor(*this);
    cursor.skipTo(timeUs, true);
    return BeatsPerMinute(cursor.microsPerQuarter());
}

auto SmfCursor::later() const
{
    // A max-heap of "later": the earliest (tick, track) on top.
    return [this](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t ta = tickOf(m_tracks[a]);
        const std::uint64_t tb = tickOf(m_tracks[b]);
        return ta != tb ? ta > tb : a > b;
    };
}

SmfCursor::SmfCursor(const SmfSong& song) : m_song(&song)
{
    m_tracks.reserve(song.tracks.size());
    for (const SmfSong::Track& track : song.tracks) {
        TrackState t;
        t.at = track.begin;
        t.end = track.end;
        readNext(song.bytes, t);
        m_tracks.push_back(t);
        m_heap.push_back(static_cast<std::uint32_t>(m_tracks.size() - 1));
    }
    std::make_heap(m_heap.begin(), m_heap.end(), later());
    fill();
}

std::int64_t SmfCursor::timeOf(std::uint64_t tick) const
{
    const std::uint16_t division = m_song->division;
    if (division & 0x8000) {
        const int fps = -static_cast<std::int8_t>(division >> 8);
        const std::uint64_t ticksPerFrame = division & 0xFF;
        // 29 stands for 29.97 (30000/1001) frames per second.
        const std::uint64_t mul = fps == 29 ? 1'001'000'000 : 1'000'000;
        const std::uint64_t div = (fps == 29 ? 30000 : static_cast<std::uint64_t>(fps)) * ticksPerFrame;
        return scaleTime(tick, mul, div);
    }
    return std::min(kMaxSongTimeUs, m_segmentUs + scaleTime(tick - m_segmentTick, m_micros, division));
}

void SmfCursor::fill()
{
    const QByteArrayView b = m_song->bytes;
    while (!m_heap.empty()) {
        std::pop_heap(m_heap.begin(), m_heap.end(), later());
        const std::uint32_t index = m_heap.back();
        TrackState& t = m_tracks[index];
        const std::int64_t time = timeOf(tickOf(t));
        const Next next = std::exchange(t.next, Next::None);
        if (next == Next::End) {
            m_heap.pop_back();
            m_endUs = std::max(m_endUs, time);
            continue;
        }
        m_current = SmfEvent{};
        m_current.timeUs = time;
        switch (next) {
        case Next::Message:
            m_current.kind = SmfEvent::Kind::Message;
            std::copy(t.message, t.message + t.messageSize, m_current.message);
            m_current.messageSize = t.messageSize;
            break;
        case Next::Escape:
            m_current.kind = SmfEvent::Kind::Sysex;
            m_current.sysex = std::span(reinterpret_cast<const std::uint8_t*>(b.data()) + t.dataAt,
                                        static_cast<std::size_t>(t.dataSize));
            break;
        case Next::Joined:
            m_current.kind = SmfEvent::Kind::Sysex;
            joinPackets(b, t, m_sysex);
            m_current.sysex = m_sysex;
            break;
        case Next::Tempo:
            m_current.kind = SmfEvent::Kind::Tempo;
            m_current.microsPerQuarter = t.micros;
            if (!(m_song->division & 0x8000) && tickOf(t) != m_segmentTick) {
                m_segmentUs = time; // a new segment of the tempo map starts here
                m_segmentTick = tickOf(t);
            }
            m_micros = t.micros; // for an SMPTE division it only says the beats per minute
            break;
        case Next::End:
        case Next::None:
            break;
        }
        readNext(b, t);
        std::push_heap(m_heap.begin(), m_heap.end(), later());
        m_hasCurrent = true;
        return;
    }
    m_hasCurrent = false;
}

void SmfCursor::advance()
{
    if (!m_hasCurrent) {
        return;
    }
    if (m_current.kind == SmfEvent::Kind::Tempo) {
        m_passedMicros = m_current.microsPerQuarter;
    } else {
        ++m_eventsPassed;
    }
    fill();
}

void SmfCursor::skipTo(std::int64_t timeUs, bool atToo)
{
    while (m_hasCurrent && (m_current.timeUs < timeUs || (atToo && m_current.timeUs == timeUs))) {
        advance();
    }
}

std::optional<SmfSong> ParseSmf(const QByteArray& file)
{
    const auto data = unwrapRiff(file);
    if (!data) {
        return std::nullopt;
    }
    const QByteArrayView b = QByteArrayView(file).sliced(data->first, data->second);
    const qsizetype base = data->first;
    if (b.size() < 14 || !b.startsWith("MThd")) {
        return std::nullopt;
    }
    const std::uint32_t headerLength = be32(b, 4);
    const std::uint16_t format = be16(b, 8);
    const std::uint16_t trackCount = be16(b, 10);
    const std::uint16_t division = be16(b, 12);
    if (headerLength < 6 || format > 2 || !validDivision(division)) {
        return std::nullopt;
    }

    SmfSong song;
    song.bytes = file;
    song.division = division;
    const int playing = format == 2 ? std::min<int>(trackCount, 1) : trackCount;
    for (qsizetype at = 8 + static_cast<qsizetype>(headerLength);
         static_cast<int>(song.tracks.size()) < playing && at <= b.size() - 8;) {
        const std::uint32_t length = be32(b, at + 4);
        const qsizetype body = at + 8;
        if (b.sliced(at, 4) == QByteArrayView("MTrk")) {
            song.tracks.push_back({base + body, base + body + std::min<qsizetype>(length, b.size() - body)});
        }
        if (length > static_cast<std::uint64_t>(b.size() - body)) {
            break;
        }
        at = body + static_cast<qsizetype>(length);
    }
    if (division & 0x8000) {
        song.smpteFramesPerSecond = -static_cast<std::int8_t>(division >> 8);
    }
    SmfCursor whole(song); // through once: the length is where the last track ends
    whole.skipTo(kMaxSongTimeUs, true);
    song.lengthUs = whole.endsReachedUs();
    return song;
}

} // namespace calvane
