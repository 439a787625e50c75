// Deleting the selected file of the list: to the trash or from the disk, by the
// Delete key in the file list or by the Edit menu's "ファイルの削除(&D)".

#include "errors/RuntimeError.h"
#include "gui/frmMain.h"
#include "gui/widgets/FileList.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "platform/PlaybackTimer.h"
#include "platform/basFileControl.h"
#include "rename/basFileNameControl.h"

#include <QLabel>

namespace calvane {
namespace {

const QString kDeleteCaption = QStringLiteral("削除");
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

/// Acts on the Delete key alone, whatever the shift state. This procedure's guard
/// shows the deletion's own messages and never ends the program. Only a file
/// actually deleted changes anything: the list is read again, the boxes are
/// cleared, and when it was the file the player holds (playing or paused) the
/// player stops and lets it go.
void frmMain::filFile_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift)
{
    Q_UNUSED(Shift);
    const int index = filFile->listIndex();
    if (KeyCode != Qt::Key_Delete || index < 0) {
        return; // another key, or nothing selected to delete
    }
    const QString fileName = filFile->fileName(index);
    // The panel shows the stop too: a pause picture and a timer polling a closed
    // device would claim a song that no longer plays.
    const auto halt = [&](const QString& status) {
        m_control.MIDIControl(u"stop");
        m_control.MIDIControl(u"close");
        lblStatus->setText(status);
        setPicture(cmdPlay, 102);
        timMIDIStop->setInterval(0);
    };
    bool playing = false;
    try {
        const QString mode = m_control.GetMIDIMode();
        playing = basMIDIControl::IsPlaying(mode);
        const QString path = FullPathOf(filFile->folder(), fileName);
        const bool held = path == m_state.CurrentMIDIPath && (playing || basMIDIControl::IsPaused(mode));
        const QByteArray target = NativePath(path);
        switch (m_state.settings.Del) {
        case 0:
            if (RecycleFile(target, m_services.trash) == kRecycleNoFile) {
                m_services.boxes.show(QStringLiteral("ファイルが削除でません"), QStringLiteral("削除エラー"),
                                      MsgIcon::Critical, MsgButtons::Ok);
                return; // nothing deleted
            }
            break;
        case 1:
            if (m_state.settings.chkDel == 1 &&
                m_services.boxes.show(ShownName(fileName) + kCrLf + kCrLf +
                                          QStringLiteral("このファイルを削除してもよろしいですか ") + kCrLf +
                                          QStringLiteral("(ファイルはディスクから完全に削除されます)"),
                                      kDeleteCaption, MsgIcon::Question,
                                      MsgButtons::YesNo) == MsgResult::No) {
                return;
            }
            DeleteFilePermanently(target);
            break;
        default:
            return; // no method chosen: nothing is deleted
        }
        if (held) {
            halt(QStringLiteral("削除されました (停止中)"));
        }
        // Nothing is selected in the re-read list, and the boxes say so.
        filFile->Refresh();
        clearSelectionDisplay();
    } catch (const std::exception&) {
        const RuntimeError failure = CurrentFailure();
        if (failure.number() == ErrNo::PathFileAccessError) {
            m_services.boxes.show(
                ShownName(fileName) + kCrLf + kCrLf +
                    QStringLiteral("このファイルは読み取り専用のファイルなので削除できません"),
                kDeleteCaption, MsgIcon::Warning, MsgButtons::Ok);
        } else {
            m_services.boxes.show(QStringLiteral("エラーのため削除できませんでした"), kDeleteCaption,
                                  MsgIcon::Critical, MsgButtons::Ok);
        }
        if (playing) {
            halt(QStringLiteral("削除中にエラーが発生しました (停止中)"));
        }
    }
}

} // namespace calvane
