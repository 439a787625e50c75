// The player panel through its real controls: every transition of play, pause,
// return to start and stop, the timer's end of play with and without repeat,
// the held thumb, the menus and the double-click that share the buttons, the
// halts by other actions, repaint economy, and the external player.
//
// The device is FakePlayback over FakeMciDevice on a clock in the test's hand;
// the timer ticks only when the test says so. The end of play reaches the window
// by a tick or by the device's event, and the tests of the end run both ways.

#include "MainWindowFixture.h"
#include "player/FakePlayback.h"
#include "player/FormatPlayTime.h"
#include "player/RecordedArguments.h"

#include <QToolTip>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kMode = QStringLiteral("status Midi mode");
const QString kMs = QStringLiteral("set Midi time format milliseconds");
const QString kPosition = QStringLiteral("status midi position");
const QString kTempo = QStringLiteral("status midi tempo");
const QString kPlay = QStringLiteral("Play Midi");
const QString kToStart = QStringLiteral("Seek Midi to Start");
const QString kPlaying = QStringLiteral("再生中です");
/// What one tick asks while nothing ends: the mode, the position, the tempo.
const QStringList kTickQueries{kMode, kMs, kPosition, kTempo};

/// Counts the paint events of one widget and notes, for each, its text (for a
/// label) and how many device commands had been sent before it.
class PaintLog : public QObject
{
public:
    PaintLog(QWidget* widget, const QStringList& sent) : m_sent(sent) { widget->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const auto* label = qobject_cast<QLabel*>(watched);
            paints.append({label ? label->text() : QString(), static_cast<int>(m_sent.size())});
        }
        return false;
    }

    /// "text → the next command sent after that paint".
    QStringList drawnBeforeCommands() const
    {
        QStringList out;
        for (const auto& [text, sentBefore] : paints) {
            out.append(text + QStringLiteral(" → ") + m_sent.value(sentBefore, QStringLiteral("(none)")));
        }
        return out;
    }

    QList<std::pair<QString, int>> paints;

private:
    const QStringList& m_sent;
};

class PlayerTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        addMidi(QStringLiteral("a.mid"), "A");
        addMidi(QStringLiteral("b.mid"), "B");
    }

    /// Starts the window with a.mid loaded (83.456 s long) and the log cleared.
    void load()
    {
        start();
        clickEntry(QStringLiteral("a.mid"));
        status = std::make_unique<PaintLog>(window->lblStatus, device.sent);
        device.sent.clear();
    }

    void click(QPushButton* button)
    {
        device.sent.clear();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void tickAfter(std::int64_t ms)
    {
        now += ms;
        device.sent.clear();
        timer.tick();
    }

    /// Lets the file play on and then lets the device tell the window of its end,
    /// queued to the window's thread as the real device's event is.
    void deviceEventAfter(std::int64_t ms)
    {
        now += ms;
        device.sent.clear();
        playback.passTime();
        QCoreApplication::processEvents();
    }

    int picture() const { return window->cmdPlay->property("picture").toInt(); }

    QPoint thumbCenter() const { return window->sldPosition->thumbRect().center(); }

    /// Presses the thumb and drags it `dx` pixels; returns the value it shows then.
    int holdThumbMovedBy(int dx)
    {
        device.sent.clear();
        QTest::mousePress(window->sldPosition, Qt::LeftButton, {}, thumbCenter());
        QTest::mouseMove(window->sldPosition, thumbCenter() + QPoint(dx, 0));
        return window->sldPosition->value();
    }

    void releaseThumb()
    {
        device.sent.clear();
        QTest::mouseRelease(window->sldPosition, Qt::LeftButton, {}, thumbCenter());
    }

    /// Chooses an item of the pop-up menu of a file list entry with the keyboard.
    void chooseFromPopup(QAction* item, const QString& entry = QStringLiteral("a.mid"))
    {
        bool chosen = false;
        QTimer::singleShot(0, [&] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                chosen = item->isEnabled() && item->isVisible();
                popup->setActiveAction(item);
                QTest::keyClick(popup, Qt::Key_Return);
            }
        });
        device.sent.clear();
        clickEntry(entry, Qt::RightButton);
        EXPECT_TRUE(chosen) << item->objectName().toStdString();
    }

    std::int64_t now = 0;
    FakePlayback playback{device, [this] { return now; }};
    std::unique_ptr<PaintLog> status;
};

TEST_F(PlayerTest, PlayPausesAndResumesAndTheTimerFollowsThePosition)
{
    load();
    click(window->cmdPlay);
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, kPosition, QStringLiteral("set Midi port -1"), kPlay}));
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Loading... → set Midi port -1")))
        << status->drawnBeforeCommands().join(u'\n').toStdString();
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(picture(), 101);
    EXPECT_EQ(timer.interval(), 1);

    tickAfter(1500);
    EXPECT_EQ(device.sent, kTickQueries);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:01.500"));
    EXPECT_EQ(window->sldPosition->value(), 1500);
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("120"));

    click(window->cmdPlay);
    EXPECT_EQ(device.sent, QStringList({kMode, QStringLiteral("Pause Midi")}));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("一時停止中です"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);

    // A tick already on its way when the timer was switched off does nothing.
    playback.tempo = 90;
    tickAfter(5000);
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("120"));

    status->paints.clear();
    click(window->cmdPlay);
    EXPECT_EQ(device.sent, QStringList({kMode, kPlay})); // resumes: no new port
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Seeking... → Play Midi")));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(picture(), 101);
    EXPECT_EQ(timer.interval(), 1);
    tickAfter(500);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:02.000"));
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("90"));
}

TEST_F(PlayerTest, ReturnToStartPlaysFromTheBeginningAndStopRewinds)
{
    load();
    click(window->cmdPlay);
    tickAfter(3000);
    click(window->cmdPrev); // playing
    EXPECT_EQ(device.sent, QStringList({kMode, kToStart, kPlay}));
    EXPECT_TRUE(
        status->drawnBeforeCommands().contains(QStringLiteral("先頭から再生します... → Seek Midi to Start")));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    tickAfter(1000);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:01.000"));

    click(window->cmdPlay); // paused
    click(window->cmdPrev);
    EXPECT_EQ(device.sent, QStringList({kMode, kToStart, kPlay}));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(picture(), 101);
    EXPECT_EQ(timer.interval(), 1);

    for (const bool paused : {false, true}) {
        tickAfter(2000);
        if (paused) {
            click(window->cmdPlay);
        }
        click(window->cmdStop);
        EXPECT_EQ(device.sent, QStringList({kMode, QStringLiteral("Stop Midi"), kToStart})) << paused;
        EXPECT_EQ(window->sldPosition->value(), 0);
        EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.000"));
        EXPECT_EQ(window->lblStatus->text(), QStringLiteral("停止しました"));
        EXPECT_EQ(picture(), 102);
        EXPECT_EQ(timer.interval(), 0);
        status->paints.clear();
        click(window->cmdPlay);
        EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Loading... → set Midi port -1")));
    }

    // Stopped: both buttons do nothing and say nothing.
    click(window->cmdStop);
    click(window->cmdPrev);
    EXPECT_EQ(device.sent, QStringList({kMode}));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("停止しました"));
}

/// How the window hears of the end of play: a tick of its timer, or the device's event.
enum class Driver
{
    Tick,
    DeviceEvent,
};

class EndOfPlayTest : public PlayerTest, public ::testing::WithParamInterface<Driver>
{
protected:
    /// Lets `ms` of play pass, then the window hears of it the way under test.
    void reachAfter(std::int64_t ms)
    {
        if (GetParam() == Driver::Tick) {
            tickAfter(ms);
        } else {
            deviceEventAfter(ms);
        }
    }
};

TEST_P(EndOfPlayTest, WithoutRepeatTheEndStopsThereAndTheNextPlayStartsFromTheBeginning)
{
    load();
    click(window->cmdPlay);
    tickAfter(83450);
    reachAfter(10); // the end comes between two ticks: the end time itself is shown
    EXPECT_EQ(device.sent, QStringList({kMode, QStringLiteral("Stop Midi")}) + kTickQueries.mid(1));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("演奏が終了しました (停止中)"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(window->sldPosition->value(), 83456);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("01:23.456"));

    // The other way of hearing of it comes later and does nothing more.
    device.sent.clear();
    if (GetParam() == Driver::Tick) {
        device.endOfPlay();
        QCoreApplication::processEvents();
    } else {
        timer.tick();
    }
    EXPECT_TRUE(device.sent.isEmpty());

    click(window->cmdPrev);
    click(window->cmdStop);
    EXPECT_EQ(device.sent, QStringList({kMode}));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("演奏が終了しました (停止中)"));

    // Play at the end plays the song again from its beginning, as a start does,
    // on the output chosen meanwhile (device 1 is port 0).
    state.settings.DeviceNum = 1;
    status->paints.clear();
    click(window->cmdPlay);
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, kPosition, kMs, QStringLiteral("status Midi length"),
                                        kToStart, QStringLiteral("set Midi port 0"), kPlay}));
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Loading... → set Midi port 0")))
        << status->drawnBeforeCommands().join(u'\n').toStdString();
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(picture(), 101);
    tickAfter(1000);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:01.000"));
}

TEST_P(EndOfPlayTest, WithRepeatTheEndStartsAgainAtOnceAndTheStatusStays)
{
    load();
    state.settings.Repeat = 1;
    click(window->cmdPlay);
    tickAfter(5000);
    reachAfter(90000);
    EXPECT_EQ(device.sent, QStringList({kMode, kToStart, kPlay})); // nothing else this tick
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:05.000"));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(picture(), 101);
    EXPECT_EQ(timer.interval(), 1);
    tickAfter(700);
    EXPECT_EQ(window->sldPosition->value(), 700);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.700"));
}

TEST_P(EndOfPlayTest, AHeldThumbIsNotMovedAndHoldsOffTheEndOfPlay)
{
    load();
    state.settings.Repeat = 1;
    click(window->cmdPlay);
    tickAfter(10000);
    const int held = holdThumbMovedBy(40);
    ASSERT_GT(held, 10000);
    EXPECT_EQ(QToolTip::text(), FormatPlayTime(held));
    EXPECT_TRUE(device.sent.isEmpty()); // moving sends nothing

    tickAfter(1000);
    EXPECT_EQ(device.sent, kTickQueries);
    EXPECT_EQ(window->sldPosition->value(), held);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:11.000"));

    reachAfter(100000); // the file ends while the thumb is held
    EXPECT_FALSE(device.sent.contains(kToStart));
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("01:23.456"));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);

    releaseThumb(); // stopped at the end: seeks, shows the place, does not play
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, QStringLiteral("seek midi to %1").arg(held)}));
    EXPECT_EQ(window->lblPosition->text(), FormatPlayTime(held));

    // The next tick sees the end that came while the thumb was held: the repeat
    // starts from the beginning, not from the released place.
    tickAfter(1);
    EXPECT_EQ(device.sent, QStringList({kMode, kToStart, kPlay}));
    tickAfter(300);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.300"));
    EXPECT_EQ(window->sldPosition->value(), 300);
}

INSTANTIATE_TEST_SUITE_P(ByTickAndByDeviceEvent, EndOfPlayTest,
                         ::testing::Values(Driver::Tick, Driver::DeviceEvent),
                         [](const ::testing::TestParamInfo<Driver>& info) {
                             return info.param == Driver::Tick ? "Tick" : "DeviceEvent";
                         });

// Ticks only while the window can be seen; the device's event ends play all the same.
TEST_F(PlayerTest, AHiddenWindowGetsNoTicksButTheEndOfPlayAllTheSame)
{
    load();
    click(window->cmdPlay);
    EXPECT_TRUE(timer.seen);
    window->showMinimized();
    EXPECT_FALSE(timer.seen);
    EXPECT_EQ(timer.interval(), 1); // the state stays: the file plays
    deviceEventAfter(90000);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("演奏が終了しました (停止中)"));
    EXPECT_EQ(timer.interval(), 0);
    window->showNormal();
    EXPECT_TRUE(timer.seen);
    window->hide();
    EXPECT_FALSE(timer.seen);
    window->show();
    EXPECT_TRUE(timer.seen);
}

TEST_F(PlayerTest, ReleasingTheThumbPlaysOnFromThereOrWhilePausedStaysStoppedThere)
{
    load();
    click(window->cmdPlay);
    tickAfter(2000);
    int target = holdThumbMovedBy(30);
    releaseThumb();
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, QStringLiteral("seek midi to %1").arg(target), kPlay}));
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Seeking... → Play Midi")));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    tickAfter(1000);
    EXPECT_EQ(window->sldPosition->value(), target + 1000); // the thumb follows the play again

    click(window->cmdPlay); // paused
    target = holdThumbMovedBy(-30);
    releaseThumb();
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, QStringLiteral("seek midi to %1").arg(target)}));
    EXPECT_EQ(window->lblPosition->text(), FormatPlayTime(target)); // where the next play starts
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("一時停止中です"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(device.replies.value(kMode), QStringLiteral("stopped"));

    status->paints.clear();
    click(window->cmdPlay); // a start from the stopped state, from the new place
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Seeking... → set Midi port -1")));
    tickAfter(1000);
    EXPECT_EQ(window->sldPosition->value(), target + 1000);

    // A press in the groove puts the thumb under the pointer at once; its release seeks there.
    const QPoint groove(window->sldPosition->width() * 3 / 4, thumbCenter().y());
    ASSERT_FALSE(window->sldPosition->thumbRect().contains(groove));
    device.sent.clear();
    QTest::mousePress(window->sldPosition, Qt::LeftButton, {}, groove);
    EXPECT_LE(std::abs(thumbCenter().x() - groove.x()), 1);
    const int pressed = window->sldPosition->value();
    EXPECT_GT(pressed, target + 1000);
    EXPECT_EQ(QToolTip::text(), FormatPlayTime(pressed));
    EXPECT_TRUE(device.sent.isEmpty());
    QTest::mouseRelease(window->sldPosition, Qt::LeftButton, {}, groove);
    EXPECT_EQ(device.sent, QStringList({kMode, kMs, QStringLiteral("seek midi to %1").arg(pressed), kPlay}));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
}

TEST_F(PlayerTest, TheKeyboardMovesOnlyTheThumbAndItsText)
{
    load();
    click(window->cmdPlay);
    tickAfter(5000);
    window->sldPosition->setFocus();
    device.sent.clear();
    QTest::keyClick(window->sldPosition, Qt::Key_PageUp);
    const int moved = window->sldPosition->value();
    EXPECT_NE(moved, 5000);
    EXPECT_EQ(QToolTip::text(), FormatPlayTime(moved));
    EXPECT_TRUE(device.sent.isEmpty());
    tickAfter(100);
    EXPECT_EQ(window->sldPosition->value(), 5100); // back with the play
}

TEST_F(PlayerTest, WithoutAFileThePlayButtonOnlyAsksForOne)
{
    start();
    click(window->cmdPlay);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(shownBoxes().first(), QStringLiteral("MIDIプレイヤー: MIDIファイルが指定されていません"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("MIDIファイルを指定してください (停止中)"));
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_EQ(timer.interval(), 0);
}

TEST_F(PlayerTest, WhatTheDeviceCannotPlayIsToldWhyWhenItShouldPlay)
{
    start();
    const QString openA = QStringLiteral("Open \"%1/a.mid\" alias Midi").arg(music);
    const std::pair<int, QString> refusals[] = {
        {MciError::InvalidFile, QStringLiteral("標準MIDIファイルではないため再生できません")},
        {MciError::FileTooLarge, QStringLiteral("ファイルが大きすぎるため再生できません (64 MiB まで)")},
    };
    for (const auto& [code, text] : refusals) {
        device.refused[openA] = code;
        clickEntry(QStringLiteral("b.mid"));
        clickEntry(QStringLiteral("a.mid")); // the device refuses it, and nothing is said yet
        EXPECT_TRUE(boxes.shown.empty());
        click(window->cmdPlay);
        EXPECT_EQ(shownBoxes(), QStringList({QStringLiteral("デバイスエラー: ") + text}));
        EXPECT_EQ(picture(), 102);
        EXPECT_EQ(timer.interval(), 0);
        boxes.shown.clear();
    }
}

TEST_F(PlayerTest, ThePopUpMenuAndTheDoubleClickUseTheSameButtons)
{
    state.settings.DClick = 0;
    start();
    doubleClickEntry(QStringLiteral("a.mid")); // the first click loads, the double-click plays
    EXPECT_TRUE(device.sent.endsWith(kPlay));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);

    chooseFromPopup(window->mnuEdit_Pause);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("一時停止中です"));
    chooseFromPopup(window->mnuEdit_Play);
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    chooseFromPopup(window->mnuEdit_Stop);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("停止しました"));
    EXPECT_EQ(device.replies.value(kPosition), QStringLiteral("0"));
}

TEST_F(PlayerTest, HaltsByLoadingAndRenamingLeaveTheStoppedFormAndAClosedFileIsOpenedAgainToPlay)
{
    load();
    click(window->cmdPlay);
    clickEntry(QStringLiteral("b.mid"));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("ファイルが変更されました (停止中)"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);
    status->paints.clear();
    click(window->cmdPlay); // a start, as from any stopped state
    EXPECT_TRUE(status->drawnBeforeCommands().contains(QStringLiteral("Loading... → set Midi port -1")));

    // A refused rename closes the file all the same; play opens it again first
    // and the title being edited stays.
    window->txtConvFileName->setText(QStringLiteral("B|"));
    QTest::mouseClick(window->cmdConv, Qt::LeftButton);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("変換作業のため停止します"));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);
    tickAfter(1000);
    EXPECT_TRUE(device.sent.isEmpty());
    boxes.shown.clear();
    click(window->cmdPlay);
    EXPECT_EQ(device.sent.mid(0, 3),
              QStringList({kMode, QStringLiteral("Close Midi"),
                           QStringLiteral("Open \"%1/b.mid\" alias Midi").arg(music)}));
    EXPECT_TRUE(device.sent.endsWith(kPlay));
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("B|"));
    EXPECT_TRUE(boxes.shown.empty());

    // One that cannot be opened again: the device error, and the panel stays stopped.
    QTest::mouseClick(window->cmdConv, Qt::LeftButton);
    QFile::remove(music + QStringLiteral("/b.mid"));
    boxes.shown.clear();
    click(window->cmdPlay);
    EXPECT_EQ(shownBoxes(),
              QStringList({QStringLiteral(
                  "デバイスエラー: MIDIファイルが見つかりません (移動または削除された可能性があります)")}));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(device.sent.contains(kPlay));
    EXPECT_EQ(picture(), 102);
    EXPECT_EQ(timer.interval(), 0);

    // A rename that succeeds leaves no file named: play asks for one.
    clickEntry(QStringLiteral("a.mid"));
    click(window->cmdPlay);
    QTest::mouseClick(window->cmdConv, Qt::LeftButton);
    EXPECT_TRUE(listed().contains(QStringLiteral("A.mid")));
    EXPECT_EQ(timer.interval(), 0);
    boxes.shown.clear();
    click(window->cmdPlay);
    EXPECT_EQ(shownBoxes(),
              QStringList({QStringLiteral("MIDIプレイヤー: MIDIファイルが指定されていません")}));
}

TEST_F(PlayerTest, TicksRepaintOnlyWhatChanged)
{
    load();
    click(window->cmdPlay);
    tickAfter(1000);
    QCoreApplication::processEvents();
    PaintLog position(window->lblPosition, device.sent);
    PaintLog tempo(window->lblTempo, device.sent);
    PaintLog slider(window->sldPosition, device.sent);
    PaintLog preview(window->fraPreview, device.sent);

    tickAfter(0);
    tickAfter(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(position.paints.size() + tempo.paints.size() + slider.paints.size(), 0);

    // A tick's worth later: a new time, drawn alone (not the frame around it), and
    // not a pixel of an 83-second slider.
    tickAfter(kPlaybackTickMilliseconds);
    QCoreApplication::processEvents();
    EXPECT_EQ(position.paints.size(), 1);
    EXPECT_EQ(preview.paints.size(), 0);
    EXPECT_EQ(window->lblPosition->text(), FormatPlayTime(1000 + kPlaybackTickMilliseconds));
    EXPECT_EQ(slider.paints.size(), 0);

    tickAfter(20000);
    QCoreApplication::processEvents();
    EXPECT_EQ(slider.paints.size(), 1);
    EXPECT_EQ(tempo.paints.size(), 0);
}

// --- External player ----------------------------------------------------------

TEST_F(PlayerTest, TheExternalPlayerGetsTheFileAsOneArgumentWhileThePreviewPlaysOn)
{
    const QString name = QStringLiteral("it's \"a\" $HOME; `id` & ls|*?.mid");
    const QString out = dir.path(QStringLiteral("argv.bin"));
    addMidi(name, "T");
    start();
    clickEntry(name);
    click(window->cmdPlay);
    state.settings.UsePlayer = 1;
    state.settings.ExePath = QStringLiteral("\"%1\" \"%2\"").arg(QStringLiteral(ARGV_RECORDER), out);
    chooseFromPopup(window->mnuUsePlayer, name);

    EXPECT_EQ(RecordedArguments(out), QList<QByteArray>{NativePath(music + u'/' + name)});
    device.sent.removeAll(kMode); // the menu's enabling asks for the mode
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
    EXPECT_EQ(timer.interval(), 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PlayerTest, AnExternalPlayerThatCannotRunIsToldAndNothingElseHappens)
{
    load();
    click(window->cmdPlay);
    state.settings.UsePlayer = 1;
    // Missing, a folder, a file that is not executable.
    for (const QString& exePath :
         {dir.path(QStringLiteral("gone/player")), music, music + QStringLiteral("/b.mid")}) {
        boxes.shown.clear();
        state.settings.ExePath = exePath;
        chooseFromPopup(window->mnuUsePlayer);
        ASSERT_EQ(boxes.shown.size(), 1u) << exePath.toStdString();
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("外部プレイヤーが起動できません ファイルが存在しない可能性があります\r\n"
                                 "設定でパスを確認してください"));
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("外部プレイヤーエラー"));
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
    }
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_EQ(window->lblStatus->text(), kPlaying);
}

} // namespace
