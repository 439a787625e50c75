// The player panel over the real media device: its sequencer runs on a clock in the
// test's hand and plays into a recording output, so the whole road from the play
// button to the notes and back to the end of play is the program's own, the end
// heard by a tick or by the device's event from the sequencer's thread.

#include "MainWindowFixture.h"
#include "player/FakeClock.h"
#include "player/MediaDevice.h"
#include "player/RecordingMidiOutput.h"

using namespace calvane;
using namespace calvane::test;

namespace {

/// Two seconds at 120 BPM: one note from the start to the end.
QByteArray TwoSecondSong()
{
    return header(0, 1, 480) +
           track(meta(0x03, "Two") + hex("00 90 3C 64") + hex("8F00 80 3C 40") + kEndOfTrack);
}

class RealDevicePlayerTest : public MainWindowTest
{
protected:
    void load()
    {
        QFile song(music + QStringLiteral("/song.mid"));
        ASSERT_TRUE(song.open(QIODevice::WriteOnly));
        song.write(TwoSecondSong());
        song.close();
        window =
            std::make_unique<frmMain>(state, MainWindowServices{boxes, reporter, end, realDevice, starter,
                                                                timer, opener, trash, outputs, pickers, ini});
        window->Form_Load({});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        clickEntry(QStringLiteral("song.mid"));
    }

    /// Lets the song play for a while, then delivers one tick of the panel's timer.
    void playFor(std::int64_t ms)
    {
        clock.Advance(ms * 1000);
        timer.tick();
    }

    /// Lets the song play for a while with no tick: what the sequencer's thread
    /// posted to the window meanwhile (the end of play) is delivered.
    void playWithoutTicksFor(std::int64_t ms)
    {
        clock.Advance(ms * 1000); // returns once the thread has done all that was due
        QCoreApplication::processEvents();
    }

    int picture() const { return window->cmdPlay->property("picture").toInt(); }

    FakeClock clock;
    MediaDevice realDevice{outputs, clock, [](const QString&) {}}; // over the fixture's outputs
};

/// Whether the end of play is heard by a tick or by the device's event alone.
class RealDeviceEndTest : public RealDevicePlayerTest, public ::testing::WithParamInterface<bool>
{
protected:
    void playToTheEnd(std::int64_t ms)
    {
        if (GetParam()) {
            playWithoutTicksFor(ms);
        } else {
            playFor(ms);
        }
    }
};

TEST_P(RealDeviceEndTest, PlaysToTheEndWhileThePositionFollowsAndThenStops)
{
    load();
    EXPECT_EQ(window->txtTime->text(), QStringLiteral("00:02.000"));
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("再生中です"));
    EXPECT_EQ(outputs.opened, std::vector<int>{-1}); // DeviceNum 0: the built-in synthesizer

    playFor(500);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.500"));
    EXPECT_EQ(window->sldPosition->value(), 500);
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("120"));
    EXPECT_TRUE(outputs.log.take().contains(QStringLiteral("90 3c 64")));

    playToTheEnd(1600);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("演奏が終了しました (停止中)"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:02.000"));
    EXPECT_EQ(window->sldPosition->value(), 2000);
    EXPECT_TRUE(outputs.log.take().contains(QStringLiteral("80 3c 40")));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_P(RealDeviceEndTest, WithRepeatTheSongStartsAgainFromTheBeginning)
{
    load();
    state.settings.Repeat = 1; // after the load step, which reads the settings file
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    playToTheEnd(2100); // past the end: the window sends it back to the start and plays again
    clock.Settle();     // the sequencer has sent what is due at the new start
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("再生中です"));
    EXPECT_EQ(picture(), 101);
    EXPECT_EQ(timer.interval(), 1);
    EXPECT_EQ(outputs.log.take().count(QStringLiteral("90 3c 64")), 2) << "the note sounds again";

    playFor(300);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.300"));
}

INSTANTIATE_TEST_SUITE_P(ByTickAndByDeviceEvent, RealDeviceEndTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DeviceEvent" : "Tick";
                         });

TEST_F(RealDevicePlayerTest, PauseAndStopSilenceTheSongAndPlayResumesWhereItPaused)
{
    load();
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    playFor(700);
    outputs.log.take();
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton); // pause
    clock.Settle();
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("一時停止中です"));
    EXPECT_TRUE(outputs.log.take().contains(QStringLiteral("b0 7b 00"))) << "all notes off";

    clock.Advance(5'000'000); // time passes while paused: the position stays
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    playFor(100);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.800"));

    QTest::mouseClick(window->cmdStop, Qt::LeftButton);
    clock.Settle();
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_TRUE(outputs.log.take().contains(QStringLiteral("b0 7b 00")));
}

TEST_F(RealDevicePlayerTest, AnOutputThatCannotOpenIsToldOnceARunAndTheSongPlaysOnSilently)
{
    outputs.failing = {-1};
    load();
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("MIDI出力を開けないため、音を出さずに再生します\r\n(port -1 is broken)"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("MIDIプレイヤー"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    playFor(500);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.500"));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("再生中です"));

    QTest::mouseClick(window->cmdStop, Qt::LeftButton);
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton); // still silent: said once is enough
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(outputs.log.take().isEmpty());
}

TEST_F(RealDevicePlayerTest, EndingAtOnceWhileASongPlaysSilencesTheOutputFirst)
{
    load();
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    playFor(500);
    outputs.log.take();
    EXPECT_THROW(QTest::keyClick(window.get(), Qt::Key_X, Qt::ControlModifier), ProgramEnded);
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(outputs.log.take(), Silence()); // sent before the end, not later by the sequencer's thread
}

} // namespace
