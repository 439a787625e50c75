#pragma once

#include "midi/SmfParser.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace calvane {

class MidiOutput;
class SequencerClock;

/// Plays one loaded song through a MidiOutput on a thread of its own, timed by a
/// SequencerClock. The thread lives as long as the sequencer and only ever touches
/// the output; every method may be called from any one other thread.
///
/// Each start of play first puts every channel back to General MIDI defaults and
/// then restores what the song set before the position (programs with the bank in
/// effect at each, controllers, pitch bend, channel pressure, system exclusive), so
/// that nothing of another song or of the song's own end carries over and playing
/// from the middle sounds right. Leaving the playing state (pause, stop, seek,
/// unload, the end of the song) silences the output: sustain and sostenuto off, all
/// notes off and all sound off on every channel, sent before the command returns.
///
/// Two locks: the output lock orders everything sent (commands and the thread), the
/// state lock guards mode and position. Every change of state holds both; mode(),
/// PositionUs(), LengthUs() and Tempo() take only the state lock, which is never held
/// while a message is sent, so they never wait for a slow output.
class Sequencer
{
public:
    enum class Mode
    {
        Stopped,
        Playing,
        Paused
    };

    explicit Sequencer(SequencerClock& clock);
    ~Sequencer();
    Sequencer(const Sequencer&) = delete;
    Sequencer& operator=(const Sequencer&) = delete;

    /// Replaces the song (the old one is unloaded first); stopped at the start.
    void Load(SmfSong song);
    void Unload();

    /// From stopped or paused: plays from the position through output, which must
    /// live until the next Play, Unload or the sequencer's end. Nothing while playing.
    void Play(MidiOutput& output);
    void Pause();
    /// Stopped where it is.
    void Stop();
    /// Stopped at the time, clamped to the song.
    void Seek(std::int64_t timeUs);

    Mode mode() const;
    std::int64_t PositionUs() const;
    std::int64_t LengthUs() const;
    /// SmfSong::TempoAt the position; 0 without a song.
    int Tempo() const;

    /// Called on the sequencer's thread each time a song plays to its end (not when
    /// a command stops it), once the mode is stopped and the output silenced, with
    /// no lock of the sequencer held. It must not wait for the thread that sets it:
    /// setting another (or none) waits until a call in progress has returned.
    void SetEndHandler(std::function<void()> handler);

private:
    void run();
    /// Sends what is due; `ended` when the song has just played to its end.
    std::optional<std::int64_t> playDue(bool& ended);
    /// The position; called with either lock held.
    std::int64_t positionLocked() const;
    /// Sent with the output lock held, as everything else.
    void send(const SmfEvent& e);
    void silence();
    void restoreChannels();
    /// The tempo at the time: the cursor's, and that of the items before it up to the time.
    static std::uint32_t tempoThrough(const SmfCursor& cursor, std::int64_t timeUs);

    SequencerClock& m_clock;
    std::mutex m_outputMutex;   ///< taken first
    mutable std::mutex m_mutex; ///< the state; the thread waits on it
    std::condition_variable m_wake;
    std::optional<SmfSong> m_song;
    Mode m_mode = Mode::Stopped;
    MidiOutput* m_output = nullptr;
    std::int64_t m_positionUs = 0;   ///< while not playing
    std::int64_t m_originUs = 0;     ///< while playing: the clock's time at the song's start
    std::optional<SmfCursor> m_next; ///< at the first item not yet played (output lock)
    std::uint32_t m_micros = 500000; ///< the tempo at the position; while playing, at the items played
    bool m_quit = false;
    std::mutex m_endMutex; ///< guards m_onEnd and its calls; taken with no other lock
    std::function<void()> m_onEnd;
    std::thread m_thread; // last: starts when everything above is ready
};

} // namespace calvane
