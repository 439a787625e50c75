// The player panel: play and pause, return to the start, stop, the position
// slider and the playback timer with end of play and repeat; the Edit menu's
// enabling; the hand-over to an external player. The device's mode is asked
// for whenever it matters: nothing here remembers whether the player plays.
//
// The timer's ticks move the slider and the time, 25 times a second and only
// while the window can be seen; the end of play comes from the device as an
// event the moment it happens, and runs the tick at once.

#include "errors/Guard.h"
#include "gui/StatusTexts.h"
#include "gui/frmMain.h"
#include "gui/widgets/FileList.h"
#include "gui/widgets/PositionSlider.h"
#include "platform/MessageBoxes.h"
#include "platform/PlaybackTimer.h"
#include "player/ExternalPlayer.h"
#include "player/FormatPlayTime.h"
#include "rename/basFileNameControl.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace calvane {
namespace {

const QString kPlaying = QStringLiteral("再生中です");
const QString kSeeking = QStringLiteral("Seeking...");

constexpr int kPlayingPeriod = 1; // milliseconds: the timer's state while a file plays

} // namespace

/// The status text, drawn before the next (possibly slow) device command.
void frmMain::showStatusNow(const QString& text)
{
    lblStatus->setText(text);
    lblStatus->repaint();
}

void frmMain::cmdPlay_Click()
{
    if (m_fileName.isEmpty()) {
        m_services.boxes.show(QStringLiteral("MIDIファイルが指定されていません"),
                              QStringLiteral("MIDIプレイヤー"), MsgIcon::Warning, MsgButtons::Ok);
        lblStatus->setText(kSpecifyFile);
        return;
    }
    const QString mode = m_control.GetMIDIMode();
    if (basMIDIControl::IsPlaying(mode)) {
        m_control.MIDIControl(u"pause");
        setPicture(cmdPlay, 102);
        timMIDIStop->setInterval(0);
        lblStatus->setText(QStringLiteral("一時停止中です"));
    } else if (basMIDIControl::IsPaused(mode)) {
        showStatusNow(kSeeking);
        timMIDIStop->setInterval(kPlayingPeriod);
        lblStatus->setText(kPlaying);
        m_control.MIDIControl(u"play");
        setPicture(cmdPlay, 101);
    } else {
        if (basMIDIControl::IsNothingOpen(mode)) {
            // The named file is not open (a refused rename closed it, or the
            // device would not take it): open it again, and say why when that
            // fails rather than show the playing form while nothing plays.
            m_control.MIDIControl(u"close");
            QString failure;
            m_control.MIDIControl(u"open", &failure);
            if (!failure.isEmpty()) {
                showDeviceError(failure);
                return;
            }
        }
        // Stopped or at the end: a start, on the chosen output (the device list
        // puts the mapper, port -1, first). At the end there is nothing left to
        // play: it starts from the beginning, as every player does.
        std::int32_t position = m_control.GetMIDIPosition();
        if (position > 0 && position >= m_control.GetMIDILength()) {
            m_control.MIDIControl(u"prev");
            position = 0;
        }
        showStatusNow(position == 0 ? QStringLiteral("Loading...") : kSeeking);
        m_control.SetMIDIPort(QString::number(m_state.settings.DeviceNum - 1));
        m_control.MIDIControl(u"play");
        timMIDIStop->setInterval(kPlayingPeriod);
        lblStatus->setText(kPlaying);
        setPicture(cmdPlay, 101);
        tellOnceIfSilent();
    }
}

/// The first start of the run that goes to a silent output says so, and why: the
/// song plays on without sound. The device writes the reason on stderr as well.
void frmMain::tellOnceIfSilent()
{
    if (m_toldSilentOutput) {
        return;
    }
    const QString why = m_control.SilentOutputReason();
    if (why.isEmpty()) {
        return;
    }
    m_toldSilentOutput = true;
    m_services.boxes.show(QStringLiteral("MIDI出力を開けないため、音を出さずに再生します\r\n(%1)").arg(why),
                          QStringLiteral("MIDIプレイヤー"), MsgIcon::Warning, MsgButtons::Ok);
}

void frmMain::cmdPrev_Click()
{
    const QString mode = m_control.GetMIDIMode();
    if (!basMIDIControl::IsPlaying(mode) && !basMIDIControl::IsPaused(mode)) {
        return;
    }
    showStatusNow(QStringLiteral("先頭から再生します..."));
    m_control.MIDIControl(u"prev");
    m_control.MIDIControl(u"play");
    timMIDIStop->setInterval(kPlayingPeriod);
    setPicture(cmdPlay, 101);
    lblStatus->setText(kPlaying);
}

void frmMain::cmdStop_Click()
{
    const QString mode = m_control.GetMIDIMode();
    if (!basMIDIControl::IsPlaying(mode) && !basMIDIControl::IsPaused(mode)) {
        return;
    }
    m_control.MIDIControl(u"stop");
    m_control.MIDIControl(u"prev");
    sldPosition->setValue(0);
    showPosition(0);
    setPicture(cmdPlay, 102);
    lblStatus->setText(QStringLiteral("停止しました"));
    timMIDIStop->setInterval(0);
}

void frmMain::timMIDIStop_Timer()
{
    if (timMIDIStop->interval() == 0) {
        return; // a tick that was on its way when the timer was switched off
    }
    const QString mode = m_control.GetMIDIMode();
    if (basMIDIControl::IsStopped(mode) && !m_dragging) {
        if (m_state.settings.Repeat == 1) {
            m_control.MIDIControl(u"prev");
            m_control.MIDIControl(u"play");
            return;
        }
        m_control.MIDIControl(u"stop");
        lblStatus->setText(QStringLiteral("演奏が終了しました (停止中)"));
        timMIDIStop->setInterval(0);
        setPicture(cmdPlay, 102);
    }
    // One position query serves the slider and the time. The slider repaints
    // only when its thumb moves by a pixel, and a label set to the text it shows
    // does not repaint.
    const std::int32_t position = m_control.GetMIDIPosition();
    if (!m_dragging) {
        sldPosition->setValue(position);
    }
    showPosition(position);
    lblTempo->setText(QString::number(m_control.GetMIDITempo()));
}

/// The device's end-of-play event, on its own thread, queued to this window's: the
/// tick runs at once, whether the window is seen or not. Off before the window goes.
void frmMain::followEndOfPlay(bool on)
{
    if (!on) {
        m_control.SetEndOfPlayHandler({}); // waits for a call in progress
        return;
    }
    m_control.SetEndOfPlayHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { timMIDIStop_Timer(); }, Qt::QueuedConnection);
    });
}

/// Ticks only move what can be seen: none while the window is hidden or minimized.
void frmMain::tellTimerWhetherSeen()
{
    timMIDIStop->setSeen(isVisible() && !isMinimized());
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    tellTimerWhetherSeen();
}

void frmMain::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    tellTimerWhetherSeen();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        tellTimerWhetherSeen();
    }
}

void frmMain::showPosition(std::int32_t milliseconds)
{
    lblPosition->setText(FormatPlayTime(milliseconds));
}

void frmMain::sldPosition_MouseDown()
{
    m_dragging = true;
}

/// The time at the thumb, beside it, while the thumb moves by mouse or keyboard.
void frmMain::sldPosition_Scroll()
{
    sldPosition->showThumbText(FormatPlayTime(sldPosition->sliderPosition()));
}

void frmMain::sldPosition_MouseUp()
{
    const QString mode = m_control.GetMIDIMode();
    const int value = sldPosition->value();
    m_control.SeekMIDI(value);
    if (basMIDIControl::IsPlaying(mode)) {
        showStatusNow(kSeeking);
        m_control.MIDIControl(u"play");
        lblStatus->setText(kPlaying);
        m_dragging = false;
    } else if (basMIDIControl::IsPaused(mode)) {
        // The device now stands stopped at the new place; the next play starts there.
        m_dragging = false;
        showPosition(value);
    } else {
        m_dragging = false;
        showPosition(value);
    }
}

void frmMain::mnuEdit_Click()
{
    const bool selected = filFile->listIndex() >= 0;
    const QString mode = selected ? m_control.GetMIDIMode() : QString();
    const bool playing = basMIDIControl::IsPlaying(mode);
    const bool paused = basMIDIControl::IsPaused(mode);
    for (QAction* action : {mnuReLoad, mnuAllConv, mnuConv, mnuDel}) {
        action->setEnabled(selected);
    }
    mnuUsePlayer->setEnabled(selected && m_state.settings.UsePlayer == 1);
    mnuEdit_Play->setEnabled(selected && !playing);
    mnuEdit_Pause->setEnabled(selected && playing);
    mnuEdit_Stop->setEnabled(selected && (playing || paused));
}

void frmMain::mnuUsePlayer_Click()
{
    Guarded(m_services.reporter, "frmMain.mnuUsePlayer", [&] {
        const int index = filFile->listIndex();
        if (index < 0) {
            return; // the item is disabled without a selection
        }
        // The built-in preview is left as it is: both may play.
        const QString path = FullPathOf(filFile->folder(), filFile->fileName(index));
        if (StartExternalPlayer(m_state.settings.ExePath, path, m_services.starter) ==
            ExternalPlayerResult::CannotRun) {
            m_services.boxes.show(
                QStringLiteral("外部プレイヤーが起動できません ファイルが存在しない可能性があります\r\n"
                               "設定でパスを確認してください"),
                QStringLiteral("外部プレイヤーエラー"), MsgIcon::Critical, MsgButtons::Ok);
        }
    });
}

} // namespace calvane
