#include "player/Sequencer.h"

#include "FakeClock.h"
#include "RecordingMidiOutput.h"
#include "midi/MidiBytes.h"

#include <future>
#include <gtest/gtest.h>
#include <tuple>

using namespace calvane;
using namespace calvane::test;

namespace {

/// 500 ticks per quarter at 120 BPM: one tick is one millisecond.
SmfSong song(const QByteArray& events)
{
    return ParseSmf(header(0, 1, 500) + track(events + kEndOfTrack)).value();
}

/// Program, volume and a note at 0 s; note off, volume and pitch bend at 1 s; a note
/// from 2 s to 3 s; the end at 4 s.
SmfSong fourSeconds()
{
    return song(event(0, "C005") + event(0, "B00764") + event(0, "903C64") + event(1000, "803C40") +
                event(0, "B00750") + event(0, "E00050") + event(1000, "903E64") + event(1000, "803E40") +
                event(1000, "FF0100"));
}

class SequencerTest : public ::testing::Test
{
protected:
    void SetUp() override { sequencer.Load(fourSeconds()); }

    FakeClock clock; // outlives the sequencer
    MidiLog log;
    RecordingMidiOutput output{log};
    Sequencer sequencer{clock};
    const std::int64_t start = clock.NowUs();
};

TEST_F(SequencerTest, PlaysEachEventWhenItsTimeComes)
{
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(), (ChannelDefaults() + QStringList{"c0 05", "b0 07 64", "90 3c 64"}));
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Playing);
    // The thread sleeps until the next event exactly: no polling.
    EXPECT_EQ(clock.Deadline(), start + 1'000'000);

    clock.Advance(999'999);
    EXPECT_TRUE(log.take().isEmpty());
    EXPECT_EQ(sequencer.PositionUs(), 999'999);
    clock.Advance(1);
    EXPECT_EQ(log.take(), (QStringList{"80 3c 40", "b0 07 50", "e0 00 50"}));
    EXPECT_EQ(sequencer.PositionUs(), 1'000'000);
    EXPECT_EQ(clock.Deadline(), start + 2'000'000);
}

TEST_F(SequencerTest, PauseSilencesAndPlayResumesWhereItPaused)
{
    sequencer.Play(output);
    clock.Advance(1'500'000);
    log.take();

    sequencer.Pause();
    EXPECT_EQ(log.take(), Silence());
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Paused);
    clock.Advance(10'000'000);
    EXPECT_EQ(sequencer.PositionUs(), 1'500'000);
    EXPECT_FALSE(clock.Deadline().has_value());
    EXPECT_TRUE(log.take().isEmpty());

    // The channels get back what the song set before 1.5 s; the notes do not.
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(), (ChannelDefaults() + QStringList{"c0 05", "b0 07 50", "e0 00 50"}));
    clock.Advance(499'999);
    EXPECT_TRUE(log.take().isEmpty());
    clock.Advance(1);
    EXPECT_EQ(log.take(), QStringList{"90 3e 64"});
    EXPECT_EQ(sequencer.PositionUs(), 2'000'000);
}

TEST_F(SequencerTest, StopSilencesAndKeepsThePosition)
{
    sequencer.Play(output);
    clock.Advance(2'500'000);
    log.take();
    sequencer.Stop();
    EXPECT_EQ(log.take(), Silence());
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    clock.Advance(1'000'000);
    EXPECT_EQ(sequencer.PositionUs(), 2'500'000);

    // Stopping again, or from pause, has nothing left to silence.
    sequencer.Stop();
    EXPECT_TRUE(log.take().isEmpty());

    sequencer.Play(output);
    clock.Advance(500'000);
    EXPECT_EQ(log.take(), (ChannelDefaults() + QStringList{"c0 05", "b0 07 50", "e0 00 50", "80 3e 40"}));
}

TEST_F(SequencerTest, SeekEndsStoppedAtTheNewPosition)
{
    sequencer.Play(output);
    clock.Advance(500'000);
    log.take();

    sequencer.Seek(1'000'000);
    EXPECT_EQ(log.take(), Silence());
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_EQ(sequencer.PositionUs(), 1'000'000);

    // Events at the new position itself play; only those before it are restored.
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(),
              (ChannelDefaults() + QStringList{"c0 05", "b0 07 64", "80 3c 40", "b0 07 50", "e0 00 50"}));

    sequencer.Pause();
    log.take();
    sequencer.Seek(99'000'000); // clamped to the end
    EXPECT_TRUE(log.take().isEmpty());
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_EQ(sequencer.PositionUs(), 4'000'000);
    sequencer.Seek(-5);
    EXPECT_EQ(sequencer.PositionUs(), 0);
}

TEST_F(SequencerTest, TheEndStopsAtTheLengthAndSilences)
{
    sequencer.Play(output);
    clock.Advance(3'999'999);
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Playing);
    EXPECT_EQ(clock.Deadline(), start + 4'000'000);
    log.take();
    clock.Advance(1);
    EXPECT_EQ(log.take(), Silence());
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_EQ(sequencer.PositionUs(), 4'000'000);
    EXPECT_FALSE(clock.Deadline().has_value());

    // Playing from the end ends at once.
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_EQ(log.take().mid(ChannelDefaults().size() + 3), Silence());
}

TEST_F(SequencerTest, ChaseKeepsTheLastValuesTheOrderOfParameterSettingsAndTheBankOfEachProgram)
{
    // A system exclusive split in two packets; a bank select for the program after it,
    // and one (LSB too) for a program that comes later.
    sequencer.Load(song(event(0, "F003 7E7F09") + event(0, "F702 01F7") + event(0, "B06500") +
                        event(0, "B06400") + event(0, "B0060C") + event(0, "B00710") + event(0, "C001") +
                        event(0, "B00001") + event(0, "C002") + event(0, "A03C10") + event(0, "D020") +
                        event(0, "B07800") + event(0, "B00720") + event(0, "E07F7F") + event(0, "B00003") +
                        event(0, "B02004") + event(0, "913C64") + event(1000, "813C40")));
    sequencer.Seek(1'000'000);
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(),
              (ChannelDefaults() +
               QStringList{"f0 7e 7f 09 01 f7", "b0 65 00", "b0 64 00", "b0 06 0c", "b0 00 01", "c0 02",
                           "d0 20", "b0 07 20", "e0 7f 7f", "b0 00 03", "b0 20 04", "81 3c 40"} +
               Silence()));
}

TEST_F(SequencerTest, NothingOfTheEndOrOfAnotherSongCarriesOver)
{
    // A song with program 30 that fades to volume 20 and bends on channel 2: played
    // again from its start, it starts from the defaults and its own start, not the fade.
    sequencer.Load(song(event(0, "C11E") + event(0, "913C64") + event(500, "B10714") + event(0, "E17F7F") +
                        event(500, "813C40")));
    sequencer.Play(output);
    clock.Advance(1'000'000);
    ASSERT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    log.take();
    sequencer.Seek(0);
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(), ChannelDefaults() + QStringList({"c1 1e", "91 3c 64"}));

    // The next song, without a program or volume of its own, plays on the defaults:
    // program 0 and volume 100 on every channel before its first note.
    sequencer.Load(song(event(0, "903C64") + event(100, "803C40")));
    EXPECT_EQ(log.take(), Silence());
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(log.take(), ChannelDefaults() + QStringList({"90 3c 64"}));
}

TEST_F(SequencerTest, TempoFollowsThePosition)
{
    sequencer.Load(ParseSmf(tempoChangeSong()).value());
    EXPECT_EQ(sequencer.Tempo(), 120);
    EXPECT_EQ(sequencer.LengthUs(), 6'000'000);
    sequencer.Play(output);
    clock.Advance(2'000'000);
    EXPECT_EQ(sequencer.Tempo(), 60);
    sequencer.Seek(1'000'000);
    EXPECT_EQ(sequencer.Tempo(), 120);
}

TEST_F(SequencerTest, UnloadSilencesAndLeavesNothing)
{
    sequencer.Play(output);
    clock.Advance(100'000);
    log.take();
    sequencer.Unload();
    EXPECT_EQ(log.take(), Silence());
    EXPECT_EQ(sequencer.LengthUs(), 0);
    EXPECT_EQ(sequencer.Tempo(), 0);
    EXPECT_EQ(sequencer.PositionUs(), 0);
    sequencer.Play(output);
    clock.Settle();
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_TRUE(log.take().isEmpty());
}

/// An output that, once told to hold, keeps the sequencer inside its next send until
/// the test lets it go: an external synthesizer that is slow to take a message.
class HeldOutput final : public MidiOutput
{
public:
    void SendShort(std::span<const std::uint8_t>) override { pass(); }
    void SendSysex(std::span<const std::uint8_t>) override { pass(); }

    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    void waitUntilInside()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_inside; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        m_changed.notify_all();
    }

private:
    void pass()
    {
        std::unique_lock lock(m_mutex);
        m_inside = m_holding;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_holding; });
        m_inside = false;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_inside = false;
};

TEST_F(SequencerTest, StateQueriesNeverWaitForAnOutputBusyWithAMessage)
{
    HeldOutput slow;
    sequencer.Play(slow);
    clock.Settle();
    slow.hold();
    auto playing = std::async(std::launch::async, [&] { clock.Advance(1'000'000); }); // the note off is due
    slow.waitUntilInside();
    auto queries = std::async(std::launch::async, [&] {
        return std::tuple(sequencer.mode(), sequencer.PositionUs(), sequencer.Tempo(), sequencer.LengthUs());
    });
    // Generous: a query that waits for the output never ends before the release.
    const bool answered = queries.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    slow.release();
    playing.get();
    sequencer.Stop(); // while the output is still there
    EXPECT_TRUE(answered);
    EXPECT_EQ(queries.get(),
              std::tuple(Sequencer::Mode::Playing, std::int64_t{1'000'000}, 120, std::int64_t{4'000'000}));
}

TEST(SequencerThread, RealClockPlaysAShortSongToItsEnd)
{
    SteadyClock clock;
    MidiLog log;
    RecordingMidiOutput output(log);
    Sequencer sequencer(clock);
    sequencer.Load(song(event(0, "903C64") + event(20, "803C40")));
    sequencer.Play(output);
    for (int i = 0; i < 2000 && sequencer.mode() == Sequencer::Mode::Playing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(sequencer.mode(), Sequencer::Mode::Stopped);
    EXPECT_EQ(sequencer.PositionUs(), 20'000);
    EXPECT_EQ(log.take(), (ChannelDefaults() + QStringList{"90 3c 64", "80 3c 40"} + Silence()));
}

} // namespace
