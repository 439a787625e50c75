#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace calvane {

/// The latest time a song may reach: positions are whole milliseconds in 32 bits.
constexpr std::int64_t kMaxSongTimeUs = std::int64_t{2147483647} * 1000;

/// One item of a song in time order, as a cursor reads it from the file's bytes.
struct SmfEvent
{
    enum class Kind : std::uint8_t
    {
        Message, ///< a channel message: status 0x80..0xEF and its 1 or 2 data bytes
        Sysex,   ///< system-exclusive bytes as they go to the output
        Tempo,   ///< a change of tempo: nothing to send
    };

    std::int64_t timeUs = 0;
    Kind kind = Kind::Message;
    std::uint8_t message[3] = {};
    std::uint8_t messageSize = 0;
    /// Kind::Sysex: a whole message from F0 to F7 (joined from its packets when the
    /// file splits it), or the bytes of an F7 escape, which begin with a status byte.
    /// Valid until the cursor that gave it moves on.
    std::span<const std::uint8_t> sysex;
    std::uint32_t microsPerQuarter = 0; ///< Kind::Tempo
};

/// A Standard MIDI File made ready for playback: the file's bytes and where its
/// playing tracks lie in them. The events are read from the bytes by an
/// SmfCursor when they are needed, never kept one by one, so a song takes the
/// memory of its file and little more, however densely it is packed.
struct SmfSong
{
    struct Track
    {
        qsizetype begin = 0; ///< the chunk's body in bytes
        qsizetype end = 0;
    };

    QByteArray bytes; ///< the file (shared, not copied)
    std::vector<Track> tracks;
    std::uint16_t division = 0;
    /// The time of the last event of any playing track (meta events and end of track included).
    std::int64_t lengthUs = 0;
    /// SMPTE division only: frames per second (24, 25, 29 for 29.97 drop-frame, 30); else 0.
    int smpteFramesPerSecond = 0;

    /// The tempo at a time in whole beats per minute (rounded to the nearest), for an
    /// SMPTE division too, where the tempo events say it without timing the song.
    /// Reads the song up to that time.
    int TempoAt(std::int64_t timeUs) const;
};

/// Beats per minute, to the nearest whole one, of a tempo in microseconds per quarter note.
int BeatsPerMinute(std::uint32_t microsPerQuarter);

/// Reads a song's items in time order: the events of its tracks merged (at the
/// same time, the earlier track and the earlier event first), each with its time
/// in microseconds through the tempo changes before it. It keeps a little state
/// per track; a copy goes on from the same place on its own. The song must outlive
/// it and stay where it is.
class SmfCursor
{
public:
    explicit SmfCursor(const SmfSong& song);

    /// The next item, or nullptr at the end. Valid until advance().
    const SmfEvent* peek() const { return m_hasCurrent ? &m_current : nullptr; }
    void advance();

    /// The tempo in effect after the items passed so far (500000 before any).
    std::uint32_t microsPerQuarter() const { return m_passedMicros; }
    /// How many events (tempo changes not counted) were passed so far.
    std::uint64_t eventsPassed() const { return m_eventsPassed; }
    /// The largest time a track's last event of any kind has reached so far (the
    /// song's length once every track is passed).
    std::int64_t endsReachedUs() const { return m_endUs; }

    /// Passes every item before the time (or at it, with `atToo`), keeping the tempo.
    void skipTo(std::int64_t timeUs, bool atToo);

    /// Where a track's reading stands, and its next item.
    struct TrackState
    {
        enum class Next : std::uint8_t
        {
            Message,
            Escape, ///< an F7 escape: its bytes in the file
            Joined, ///< a system exclusive whole at this packet: its packets from openAt on
            Tempo,
            End, ///< no more items: the track's last event of any kind was at lastTick
            None ///< the end passed too
        };
        qsizetype at = 0; ///< the next byte to read
        qsizetype end = 0;
        std::uint64_t tick = 0;     ///< of the event read last
        std::uint64_t lastTick = 0; ///< of the last event read whole
        std::uint8_t running = 0;
        Next next = Next::None;
        std::uint8_t message[3] = {};
        std::uint8_t messageSize = 0;
        std::uint32_t micros = 0;
        qsizetype dataAt = 0; ///< Escape: its bytes; Joined: where its last packet ends (dataAt + dataSize)
        qsizetype dataSize = 0;
        qsizetype nextOpenAt = -1; ///< Joined: the status byte of its first packet
        // The system exclusive open in the track, from its first packet's status byte on.
        qsizetype openAt = -1;
        std::uint64_t openBytes = 0;
        std::uint8_t openLast = 0;
    };

private:
    auto later() const;
    void fill();
    std::int64_t timeOf(std::uint64_t tick) const;

    const SmfSong* m_song;
    std::vector<TrackState> m_tracks;
    std::vector<std::uint32_t> m_heap; ///< tracks by their next item: (tick, track) smallest first
    SmfEvent m_current;
    bool m_hasCurrent = false;
    std::vector<std::uint8_t> m_sysex; ///< the bytes of the current system exclusive when joined
    std::uint64_t m_eventsPassed = 0;
    std::int64_t m_endUs = 0;
    // The tempo map as far as read: the segment the times are in.
    std::uint64_t m_segmentTick = 0;
    std::int64_t m_segmentUs = 0;
    std::uint32_t m_micros = 500000;       ///< of the segment: the current item's tempo change counts
    std::uint32_t m_passedMicros = 500000; ///< of the items passed
};

/// Reads a Standard MIDI File (also inside a RIFF "RMID" wrapper) for playback.
/// Refused (nullopt): no header chunk at the start, a header shorter than 6 bytes,
/// a format above 2, a division of 0 or an SMPTE rate other than 24, 25, 29, 30.
/// Formats 0 and 1 play every track (up to the header's count); format 2 plays its
/// first track. Chunk lengths are honoured and other chunks skipped; running status
/// also continues across meta and system-exclusive events. A track ends at its end
/// of track event, at its chunk's end, or at the first byte that cannot be read
/// (a truncated event, a status F1..FE, data without a status): what came before plays.
/// A system-exclusive message that never ends in F7 within its track is left out.
/// The song shares the bytes; reading it through once gives its length.
std::optional<SmfSong> ParseSmf(const QByteArray& bytes);

} // namespace calvane
