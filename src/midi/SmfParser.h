#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace calvane {

/// The latest time a song may reach: positions are whole milliseconds in 32 bits.
constexpr std::int64_t kMaxSongTimeUs = std::int64_t{2147483647} * 1000;

/// One event to send, at its time from the start of the song.
struct SmfEvent
{
    std::int64_t timeUs = 0;
    /// A channel message (status 0x80..0xEF and its 1 or 2 data bytes) when messageSize > 0;
    /// otherwise system-exclusive bytes in SmfSong::sysexData.
    std::uint8_t message[3] = {};
    std::uint8_t messageSize = 0;
    std::uint32_t sysexOffset = 0;
    std::uint32_t sysexLength = 0;
};

/// A change of tempo (microseconds per quarter note) at a time of the song.
struct SmfTempo
{
    std::int64_t timeUs = 0;
    std::uint32_t microsPerQuarter = 500000;
};

/// A Standard MIDI File made ready for playback: every event of the tracks that
/// play, merged in time order, with its time in microseconds.
struct SmfSong
{
    std::vector<SmfEvent> events;
    /// The bytes of the system-exclusive events, each as it goes to the output: a whole
    /// message from F0 to F7 (joined from its packets when the file splits it), or the
    /// bytes of an F7 escape, which begin with a status byte.
    std::vector<std::uint8_t> sysexData;
    /// The tempo map: the tempo events in time order (120 BPM before the first).
    std::vector<SmfTempo> tempos;
    /// The time of the last event of any playing track (meta events and end of track included).
    std::int64_t lengthUs = 0;
    /// SMPTE division only: frames per second (24, 25, 29 for 29.97 drop-frame, 30); else 0.
    int smpteFramesPerSecond = 0;

    std::span<const std::uint8_t> Sysex(const SmfEvent& e) const
    {
        return std::span(sysexData).subspan(e.sysexOffset, e.sysexLength);
    }

    /// The tempo at a time in whole beats per minute (rounded to the nearest), for an
    /// SMPTE division too, where the tempo events say it without timing the song.
    int TempoAt(std::int64_t timeUs) const;
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
std::optional<SmfSong> ParseSmf(QByteArrayView bytes);

} // namespace calvane
