#include "midi/SmfParser.h"

#include <algorithm>
#include <limits>
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

/// The chunk body [start, start + length), cut at the end of the buffer.
QByteArrayView chunkBody(QByteArrayView b, Offset start, std::uint32_t length)
{
    return b.sliced(start, std::min<Offset>(length, b.size() - start));
}

/// The MIDI data of a RIFF "RMID" file (its "data" chunk); the bytes themselves otherwise.
std::optional<QByteArrayView> unwrapRiff(QByteArrayView b)
{
    if (!b.startsWith("RIFF")) {
        return b;
    }
    if (b.size() < 12 || b.sliced(8, 4) != QByteArrayView("RMID")) {
        return std::nullopt;
    }
    for (Offset at = 12; b.size() - at >= 8;) {
        const std::uint32_t length = le32(b, at + 4);
        if (b.sliced(at, 4) == QByteArrayView("data")) {
            return chunkBody(b, at + 8, length);
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

struct TickEvent
{
    std::uint64_t tick;
    SmfEvent event;
};

struct TickTempo
{
    std::uint64_t tick;
    std::uint32_t microsPerQuarter;
};

/// The events of one track chunk, appended with their tick; returns the tick of its last event.
class TrackReader
{
public:
    TrackReader(QByteArrayView body, std::vector<TickEvent>& events, std::vector<TickTempo>& tempos,
                std::vector<std::uint8_t>& sysex)
        : m_b(body), m_events(events), m_tempos(tempos), m_sysex(sysex)
    {}

    std::uint64_t read()
    {
        std::uint64_t tick = 0;
        std::uint64_t last = 0;
        std::uint8_t running = 0;
        while (m_at < m_b.size()) {
            const auto delta = vlq();
            if (!delta || m_at >= m_b.size()) {
                break;
            }
            tick += *delta;
            const auto status = static_cast<std::uint8_t>(m_b[m_at]);
            if (status == 0xFF) {
                ++m_at;
                if (m_at >= m_b.size()) {
                    break;
                }
                const auto type = static_cast<std::uint8_t>(m_b[m_at++]);
                const auto data = block();
                if (!data) {
                    break;
                }
                last = tick;
                if (type == 0x2F) {
                    break; // end of track
                }
                if (type == 0x51 && data->size() >= 3) {
                    const std::uint32_t micros = be24(*data, 0);
                    if (micros > 0) {
                        m_tempos.push_back({tick, micros});
                    }
                }
            } else if (status == 0xF0 || status == 0xF7) {
                ++m_at;
                const auto data = block();
                if (!data) {
                    break;
                }
                last = tick;
                systemExclusive(status, *data, tick);
            } else if (status >= 0xF1) {
                break; // system common and real-time messages have no place in a file
            } else {
                if (status & 0x80) {
                    running = status;
                    ++m_at;
                } else if (running == 0) {
                    break; // data without a status
                }
                abandonSysex(); // on the wire, a status byte ends a message that is still open
                const int size =
                    (running & 0xE0) == 0xC0 ? 2 : 3; // program change, channel pressure: 1 data byte
                if (m_b.size() - m_at < size - 1) {
                    break;
                }
                SmfEvent e;
                e.message[0] = running;
                for (int i = 1; i < size; ++i) {
                    e.message[i] = static_cast<std::uint8_t>(m_b[m_at++]);
                    if (e.message[i] & 0x80) {
                        return last;
                    }
                }
                e.messageSize = static_cast<std::uint8_t>(size);
                m_events.push_back({tick, e});
                last = tick;
            }
        }
        abandonSysex();
        return last;
    }

private:
    /// An F0 packet starts a system-exclusive message, F7 packets continue it while
    /// it is open; the packet that ends in F7 completes it, and the whole message is
    /// one event at that packet's time. With no message open, an F7 packet is an
    /// escape: one that carries an F0 starts a message like an F0 packet; any other
    /// goes out as it is if it begins with a status byte (not F7).
    void systemExclusive(std::uint8_t status, QByteArrayView data, std::uint64_t tick)
    {
        const auto first = data.isEmpty() ? std::uint8_t{0} : static_cast<std::uint8_t>(data.front());
        if (status == 0xF0 || (m_openSysex == kNothingOpen && first == 0xF0)) {
            abandonSysex();
            m_openSysex = m_sysex.size();
            if (status == 0xF0) {
                m_sysex.push_back(0xF0);
            }
        } else if (m_openSysex == kNothingOpen) {
            if ((first & 0x80) && first != 0xF7) { // the end of a message that never began is no start
                appendSysexEvent(m_sysex.size(), data, tick);
            }
            return;
        }
        m_sysex.insert(m_sysex.end(), data.begin(), data.end());
        if (m_sysex.size() - m_openSysex > 1 && m_sysex.back() == 0xF7) {
            appendSysexEvent(std::exchange(m_openSysex, kNothingOpen), {}, tick);
        }
    }

    /// The event of the bytes from offset on, with data appended first.
    void appendSysexEvent(std::size_t offset, QByteArrayView data, std::uint64_t tick)
    {
        m_sysex.insert(m_sysex.end(), data.begin(), data.end());
        SmfEvent e;
        e.sysexOffset = static_cast<std::uint32_t>(offset);
        e.sysexLength = static_cast<std::uint32_t>(m_sysex.size() - offset);
        m_events.push_back({tick, e});
    }

    /// A message that never completes is not sent: a receiver would wait for its end.
    void abandonSysex()
    {
        if (m_openSysex != kNothingOpen) {
            m_sysex.resize(std::exchange(m_openSysex, kNothingOpen));
        }
    }

    /// A variable-length quantity of at most four bytes.
    std::optional<std::uint32_t> vlq()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4 && m_at < m_b.size(); ++i) {
            const auto byte = static_cast<std::uint8_t>(m_b[m_at++]);
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) {
                return value;
            }
        }
        return std::nullopt;
    }

    /// A length and that many bytes, all within the chunk.
    std::optional<QByteArrayView> block()
    {
        const auto length = vlq();
        if (!length || *length > static_cast<std::uint64_t>(m_b.size() - m_at)) {
            return std::nullopt;
        }
        const QByteArrayView data = m_b.sliced(m_at, *length);
        m_at += *length;
        return data;
    }

    QByteArrayView m_b;
    Offset m_at = 0;
    std::vector<TickEvent>& m_events;
    std::vector<TickTempo>& m_tempos;
    std::vector<std::uint8_t>& m_sysex;
    static constexpr std::size_t kNothingOpen = std::numeric_limits<std::size_t>::max();
    std::size_t m_openSysex = kNothingOpen; ///< where the open system-exclusive message starts
};

/// Ticks to microseconds: either through the tempo map or at a fixed SMPTE rate.
class TickClock
{
public:
    TickClock(std::uint16_t division, const std::vector<TickTempo>& tempos) : m_division(division)
    {
        if (division & 0x8000) {
            const int fps = -static_cast<std::int8_t>(division >> 8);
            const std::uint64_t ticksPerFrame = division & 0xFF;
            // 29 stands for 29.97 (30000/1001) frames per second.
            m_mul = fps == 29 ? 1'001'000'000 : 1'000'000;
            m_div = (fps == 29 ? 30000 : static_cast<std::uint64_t>(fps)) * ticksPerFrame;
            return;
        }
        m_segments.push_back({0, 0, 500000});
        for (const TickTempo& t : tempos) {
            const std::int64_t at = toUs(t.tick);
            if (m_segments.back().tick == t.tick) {
                m_segments.back().microsPerQuarter = t.microsPerQuarter;
            } else {
                m_segments.push_back({t.tick, at, t.microsPerQuarter});
            }
        }
    }

    /// Ticks in increasing order make this walk the map once.
    std::int64_t toUs(std::uint64_t tick)
    {
        if (m_segments.empty()) {
            return scaleTime(tick, m_mul, m_div);
        }
        if (tick < m_segments[m_cursor].tick) {
            m_cursor = 0;
        }
        while (m_cursor + 1 < m_segments.size() && m_segments[m_cursor + 1].tick <= tick) {
            ++m_cursor;
        }
        const Segment& s = m_segments[m_cursor];
        return std::min(kMaxSongTimeUs, s.timeUs + scaleTime(tick - s.tick, s.microsPerQuarter, m_division));
    }

    std::vector<SmfTempo> tempoMap() const
    {
        std::vector<SmfTempo> map;
        for (const Segment& s : m_segments) {
            map.push_back({s.timeUs, s.microsPerQuarter});
        }
        return map;
    }

private:
    struct Segment
    {
        std::uint64_t tick;
        std::int64_t timeUs;
        std::uint32_t microsPerQuarter;
    };
    std::uint16_t m_division;
    std::uint64_t m_mul = 0;
    std::uint64_t m_div = 1;
    std::vector<Segment> m_segments;
    std::size_t m_cursor = 0;
};

bool validDivision(std::uint16_t division)
{
    if (!(division & 0x8000)) {
        return division != 0;
    }
    const int fps = -static_cast<std::int8_t>(division >> 8);
    return (fps == 24 || fps == 25 || fps == 29 || fps == 30) && (division & 0xFF) != 0;
}

} // namespace

int SmfSong::TempoAt(std::int64_t timeUs) const
{
    auto it = std::upper_bound(tempos.begin(), tempos.end(), timeUs,
                               [](std::int64_t t, const SmfTempo& tempo) { return t < tempo.timeUs; });
    const std::uint32_t micros = it == tempos.begin() ? 500000 : std::prev(it)->microsPerQuarter;
    return static_cast<int>((60'000'000u + micros / 2) / micros);
}

std::optional<SmfSong> ParseSmf(QByteArrayView file)
{
    const auto unwrapped = unwrapRiff(file);
    if (!unwrapped) {
        return std::nullopt;
    }
    const QByteArrayView b = *unwrapped;
    // Offsets into the system-exclusive bytes are 32-bit; no real file comes near.
    if (b.size() < 14 || b.size() > std::numeric_limits<std::int32_t>::max() || !b.startsWith("MThd")) {
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
    std::vector<TickEvent> events;
    std::vector<TickTempo> tempos;
    std::vector<std::uint64_t> trackEnds;
    const int playing = format == 2 ? std::min<int>(trackCount, 1) : trackCount;
    for (Offset at = 8 + static_cast<Offset>(headerLength);
         static_cast<int>(trackEnds.size()) < playing && at <= b.size() - 8;) {
        const std::uint32_t length = be32(b, at + 4);
        if (b.sliced(at, 4) == QByteArrayView("MTrk")) {
            TrackReader reader(chunkBody(b, at + 8, length), events, tempos, song.sysexData);
            trackEnds.push_back(reader.read());
        }
        if (length > static_cast<std::uint64_t>(b.size() - at - 8)) {
            break;
        }
        at += 8 + static_cast<Offset>(length);
    }

    // Stable: at the same tick, the earlier track and the earlier event come first.
    std::stable_sort(events.begin(), events.end(),
                     [](const TickEvent& x, const TickEvent& y) { return x.tick < y.tick; });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TickTempo& x, const TickTempo& y) { return x.tick < y.tick; });
    TickClock clock(division, tempos);
    song.events.reserve(events.size());
    for (TickEvent& e : events) {
        e.event.timeUs = clock.toUs(e.tick);
        song.events.push_back(e.event);
    }
    for (const std::uint64_t end : trackEnds) {
        song.lengthUs = std::max(song.lengthUs, clock.toUs(end));
    }
    if (division & 0x8000) {
        // Tempo events do not time an SMPTE song, but they still say its beats per minute.
        song.smpteFramesPerSecond = -static_cast<std::int8_t>(division >> 8);
        for (const TickTempo& t : tempos) {
            song.tempos.push_back({clock.toUs(t.tick), t.microsPerQuarter});
        }
    } else {
        song.tempos = clock.tempoMap();
    }
    return song;
}

} // namespace calvane
