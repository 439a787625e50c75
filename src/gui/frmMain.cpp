#include "gui/frmMain.h"

#include "gui/Controls.h"
#include "gui/StatusTexts.h"
#include "gui/desktop/Help.h"
#include "gui/frmAllConv.h"
#include "gui/frmEdit.h"
#include "gui/frmReview.h"
#include "gui/frmUndo.h"
#include "gui/frmVerInfo.h"
#include "gui/widgets/BusyPointer.h"
#include "gui/widgets/DriveList.h"
#include "gui/widgets/FileList.h"
#include "gui/widgets/FolderList.h"
#include "gui/widgets/PositionSlider.h"
#include "midi/basMIDIInfo.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/UrlOpener.h"
#include "player/FormatPlayTime.h"
#include "rename/RunJournal.h"
#include "rename/basFileNameControl.h"
#include "report/basModule1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

namespace calvane {
namespace {

const QString kFileChanged = QStringLiteral("ファイルが変更されました (停止中)");
const QString kFileReloaded = QStringLiteral("ファイルが再読み込みされました(停止中)");
const QString kFileSpecified = QStringLiteral("MIDIファイルが指定されました (停止中)");
const QString kStoppedForConv = QStringLiteral("変換作業のため停止します");
const QString kDeviceChanged = QStringLiteral("デバイスが変更されました (停止中)");
const QString kSelectionError = QStringLiteral("選択エラー");

/// The "mid" test: the last three characters, without regard to letter case.
bool namesMidiFile(const QString& path)
{
    return path.right(3).compare(u"mid", Qt::CaseInsensitive) == 0;
}

/// Files handed over while the program waits for an answer: a later start sends
/// one each, and more than this many waiting are no one's intent.
constexpr std::size_t kMostHandedOver = 16;

/// The services with the boxes replaced.
MainWindowServices withBoxes(const MainWindowServices& s, MessageBoxes& boxes)
{
    return {boxes,    s.reporter, s.end,     s.device,  s.starter, s.timer,
            s.opener, s.trash,    s.outputs, s.pickers, s.iniPath};
}

} // namespace

frmMain::frmMain(ProgramState& state, const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), m_state(state),
      m_boxes(services.boxes,
              [this] { QMetaObject::invokeMethod(this, &frmMain::openHandedOver, Qt::QueuedConnection); }),
      m_services(withBoxes(services, m_boxes)),
      m_control(services.device, state.CurrentMIDIPath, services.reporter),
      m_renameSpace(std::make_unique<RunJournal>("single", QByteArray()))
{
    createMenus(); // first: the client size leaves room for the menu bar
    createControls();
    timMIDIStop = &services.timer;
    timMIDIStop->setInterval(0);
    timMIDIStop->setHandler([this] { timMIDIStop_Timer(); });
    followEndOfPlay(true);
    connectEvents();
}

frmMain::~frmMain()
{
    // The timer and the device may outlive the window.
    followEndOfPlay(false);
    timMIDIStop->setInterval(0);
    timMIDIStop->setHandler({});
}

// --- Load and unload ---------------------------------------------------------

void frmMain::Form_Load(const QString& commandLine)
{
    Guarded(m_services.reporter, "frmMain.Form_Load", [&] {
        showProcessFolder();
        m_iniPath = m_services.iniPath;
        m_loading = true;
        const StoredSettings stored = LoadSettings(m_iniPath);
        mnuShowMIDIInfo->setChecked(stored.view.MIDIInfo);
        mnuPreview->setChecked(stored.view.Preview);
        mnuFront->setChecked(stored.view.Front);
        m_state.settings = stored.settings;
        lblStatus->setText(kSpecifyFile);
        setPicture(cmdPlay, 102);
        setPicture(cmdPrev, 103);
        setPicture(cmdStop, 104);
        // Each pair leaves the check mark as read and applies it to the window.
        mnuPreview_Click();
        mnuPreview_Click();
        mnuFront_Click();
        mnuFront_Click();
        mnuShowMIDIInfo_Click();
        mnuShowMIDIInfo_Click();
        showStartFolder();
        m_loading = false;
        if (!commandLine.isEmpty()) {
            openCommandLineFile(commandLine);
        }
    });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    Guarded(m_services.reporter, "frmMain.Form_Unload", [&] {
        m_iniPath = m_services.iniPath;
        m_control.MIDIControl(u"stop");
        m_control.MIDIControl(u"close");
        unloadSecondaryWindows();
        StoredSettings stored;
        stored.view.MIDIInfo = mnuShowMIDIInfo->isChecked();
        stored.view.Preview = mnuPreview->isChecked();
        stored.view.Front = mnuFront->isChecked();
        stored.settings = m_state.settings;
        if (const int err = SaveSettings(m_iniPath, stored, dirDirectory->path()); err != 0) {
            m_services.boxes.show(SettingsNotSavedText(m_iniPath, err), QStringLiteral("保存エラー"),
                                  MsgIcon::Critical, MsgButtons::Ok);
        }
    });
}

FailureContext frmMain::failureContext()
{
    const QPointer<QLineEdit> title = txtConvFileName;
    const QPointer<FileList> list = filFile;
    return {[&state = m_state] { return state.CurrentMIDIPath; },
            [title] { return title ? title->text() : QString(); }, &m_services.device, timMIDIStop,
            [list] { return list ? list->folder() : QString(); }};
}

void frmMain::mnuExit_Click()
{
    // At once: no unload step, nothing written. Only a song that plays is stopped
    // first, which silences the output: an external synthesizer keeps no note on.
    if (basMIDIControl::IsPlaying(m_control.GetMIDIMode())) {
        m_control.MIDIControl(u"stop");
    }
    m_services.end.endNow(0);
}

/// The lists start at the process's current folder, without change events.
void frmMain::showProcessFolder()
{
    drvDrive->Refresh();
    {
        const QSignalBlocker quiet(dirDirectory);
        try {
            dirDirectory->setPath(CurrentFolder());
        } catch (const RuntimeError&) {
            dirDirectory->setPath(QStringLiteral("/")); // a current folder that is gone or unreadable
        }
    }
    drvDrive->followPath(dirDirectory->path());
    m_driveFolders[drvDrive->drive()] = dirDirectory->path();
    filFile->setFolder(dirDirectory->path());
    filFile->showFiles(dirDirectory->takeFiles());
}

void frmMain::showStartFolder()
{
    const QString& start = m_state.settings.FastFolderPath;
    // Only a folder can be shown: a start folder that became a file, or a path
    // that is not absolute, would stop every start; the current folder stays.
    if (start.isEmpty() || m_state.settings.AppointFolder != 1 || !start.startsWith(u'/') ||
        !IsFolder(start)) {
        return;
    }
    // The folder first, and the drive list follows it: the folder list reads the
    // folder before it changes anything, so one that cannot be listed (no
    // permission, a stale network mount) leaves the current folder as it is.
    try {
        dirDirectory->setPath(start);
    } catch (const RuntimeError&) {
    }
}

// --- Drive, folder and file lists ---------------------------------------------

void frmMain::drvDrive_Change()
{
    try {
        dirDirectory->setPath(folderOnDrive(drvDrive->drive()));
        rememberFastFolder();
    } catch (const std::exception&) {
        const RuntimeError failure = CurrentFailure();
        m_services.boxes.show(failure.text(), QStringLiteral("ファイル"), MsgIcon::Critical, MsgButtons::Ok);
    }
}

/// The folder the drive showed last, else its root.
QString frmMain::folderOnDrive(const QString& root) const
{
    const QString last = m_driveFolders.value(root);
    return !last.isEmpty() && IsFolder(last) ? last : root;
}

void frmMain::rememberFastFolder()
{
    if (m_state.settings.SaveLastFolder == 1 && m_state.settings.AppointFolder == 1 && !m_loading) {
        m_state.settings.FastFolderPath = dirDirectory->path();
    }
}

void frmMain::dirDirectory_Change()
{
    Guarded(m_services.reporter, "frmMain.dirDirectory_Change", [&] {
        const QString path = dirDirectory->path();
        drvDrive->followPath(path);
        m_driveFolders[drvDrive->drive()] = path;
        filFile->setFolder(path);
        rememberFastFolder();
        filFile->showFiles(dirDirectory->takeFiles());
        clearSelectionDisplay();
    });
}

void frmMain::dirDirectory_DblClick(const QString& path)
{
    try {
        dirDirectory->setPath(path);
    } catch (const RuntimeError& failure) {
        // A folder that cannot be opened: say so and stay where the list is.
        m_services.boxes.show(failure.text(), QStringLiteral("ファイル"), MsgIcon::Critical, MsgButtons::Ok);
    }
}

void frmMain::filFile_Click()
{
    Guarded(m_services.reporter, "frmMain.filFile_Click", [&] {
        setFileNameBox(filFile->fileName(filFile->listIndex()));
        cmdReLoad_Click();
    });
}

void frmMain::filFile_DblClick()
{
    if (filFile->listIndex() < 0) {
        return;
    }
    switch (m_state.settings.DClick) {
    case 0:
        cmdPlay_Click();
        break;
    case 1:
        cmdConv_Click();
        break;
    default:
        break;
    }
}

void frmMain::filFile_MouseDown(Qt::MouseButton button, const QPoint& globalPos)
{
    mnuEdit_Click();
    setPlayItemsVisible(true);
    if (button == Qt::RightButton) {
        mnuEdit->exec(globalPos);
        // A file handed over while the menu was open, once the press is handled.
        QMetaObject::invokeMethod(this, &frmMain::openHandedOver, Qt::QueuedConnection);
    }
    setPlayItemsVisible(false);
}

void frmMain::filFile_OLEDragDrop(const QMimeData* data)
{
    Guarded(m_services.reporter, "frmMain.filFile_OLEDragDrop", [&] {
        try {
            filFile->Refresh();
            const QStringList files = FileList::DroppedFiles(data);
            if (files.isEmpty()) {
                throw RuntimeError(ErrNo::FormatNotAvailable);
            }
            if (!namesMidiFile(files.first())) {
                warn(QStringLiteral("MIDIファイルを選択してください"), kSelectionError);
                return;
            }
            selectFile(files.first(), false); // the list was read again above
        } catch (const RuntimeError& failure) {
            if (failure.number() != ErrNo::FormatNotAvailable) {
                throw;
            }
            warn(QStringLiteral("MIDIファイルを指定してください"), kSelectionError);
        }
    });
}

void frmMain::openCommandLineFile(const QString& text, bool rereadList)
{
    // The whole first argument: the shell has already split the command line,
    // and no short form exists to carry a path with blanks.
    const QString path = ToLongPathName(text);
    if (!namesMidiFile(path)) {
        warn(QStringLiteral("MIDIファイルを選択してください"), kSelectionError);
        return;
    }
    try {
        selectFile(path, rereadList);
    } catch (const RuntimeError& failure) {
        // Its folder cannot be listed: say so, as the folder list does, and go on
        // in the folder shown.
        m_services.boxes.show(failure.text(), QStringLiteral("ファイル"), MsgIcon::Critical, MsgButtons::Ok);
    }
}

/// Through the chain folder → file list, the drive list following the folder;
/// selecting the entry loads it. The folder is listed before anything changes,
/// so one that cannot be listed leaves the lists as they are. rereadList: the
/// file list is read again when the folder stays, so that a file added since is
/// found and the selected file is loaded again.
void frmMain::selectFile(const QString& path, bool rereadList)
{
    const QString shown = dirDirectory->path();
    dirDirectory->setPath(GetFolderPart(path));
    if (rereadList && dirDirectory->path() == shown) {
        filFile->Refresh();
    }
    const QString name = GetFileNamePart(path);
    for (int i = 0; i < filFile->count(); ++i) {
        if (filFile->fileName(i) == name) {
            filFile->setListIndex(i);
            return;
        }
    }
}

// --- Reload --------------------------------------------------------------------

void frmMain::cmdReLoad_Click()
{
    Guarded(m_services.reporter, "frmMain.cmdReLoad_Click", [&] {
        if (m_fileName.isEmpty()) {
            warn(QStringLiteral("MIDIファイルが指定されていません"), QStringLiteral("再読み込み"));
            return;
        }
        BusyPointer busy;
        const QString folder = filFile->folder();
        const QString mode = m_control.GetMIDIMode();
        if (basMIDIControl::IsPlaying(mode) || basMIDIControl::IsPaused(mode)) {
            m_control.MIDIControl(u"stop");
            m_control.MIDIControl(u"close");
            setPicture(cmdPlay, 102);
            timMIDIStop->setInterval(0);
            lblStatus->setText(FullPathOf(folder, m_fileName) == m_state.CurrentMIDIPath ? kFileReloaded
                                                                                         : kFileChanged);
        }
        m_state.CurrentMIDIPath = FullPathOf(folder, m_fileName);

        // The panel and the title box show the file even when the device cannot open it.
        const MidiFileInfo info = GetMIDIInfo(m_state.CurrentMIDIPath, m_services.boxes, m_services.reporter);
        ShowText(txtFormat, QString::number(info.Format));
        ShowText(txtTrack, QString::number(info.Tracks));
        ShowText(txtDivision, QString::number(info.Division));
        ShowText(txtCopyright, info.Copyright);
        ShowText(txtConvFileName, info.Title);

        m_control.MIDIControl(u"close");
        QString failure;
        if (m_control.MIDIControl(u"open", &failure) == 1) {
            showDeviceError(failure);
            return;
        }
        ShowText(txtTime, FormatPlayTime(m_control.GetMIDILength()));
        showPosition(0);
        sldPosition->setMaximum(m_control.GetMIDILength());
        sldPosition->setValue(0);
        if (lblStatus->text() != kFileChanged && lblStatus->text() != kFileReloaded) {
            lblStatus->setText(kFileSpecified);
        }
        lblTempo->setText(QString::number(m_control.GetMIDITempo()));
    });
}

// --- Convert -----------------------------------------------------------------

void frmMain::cmdConv_Click()
{
    Guarded(m_services.reporter, "frmMain.cmdConv_Click", [&] {
        haltPlaybackForRename();
        const ConvOutcome outcome = FileNameConv(m_fileName);
        tellJournalFailure(QStringLiteral("変換"));
        switch (outcome.result) {
        case ConvResult::Renamed:
            showListAfterRename();
            break;
        case ConvResult::OtherFailure:
            break; // reported: the error handler has ended the program
        default:
            warn(ConvResultMessage(outcome.result, outcome.tooLongBy), QStringLiteral("変換"));
            if (outcome.result != ConvResult::AccessFailure) {
                txtConvFileName->setFocus(); // a title too long is the user's to shorten
            }
            break;
        }
    });
}

/// Loads the window and shows it over this one; slot holds it while it is open.
/// When it closes this window takes the focus back, runs afterClose, and then
/// loads a file a later start named meanwhile.
template <class W> void frmMain::openSecondary(QPointer<W>& slot, W* window, void (frmMain::*afterClose)())
{
    slot = window;
    connect(window, &SecondaryWindow::Unloaded, this, [this, afterClose] {
        activateWindow();
        setFocus();
        if (afterClose) {
            (this->*afterClose)();
        }
        // Once the window is gone from the screen: a box of the load belongs here.
        QMetaObject::invokeMethod(this, &frmMain::openHandedOver, Qt::QueuedConnection);
    });
    window->Form_Load();
    window->showOverOwner();
}

void frmMain::cmdAllConv_Click()
{
    if (filFile->count() == 0) {
        warn(QStringLiteral("MIDIファイルがあるディレクトリを選択してください"),
             QStringLiteral("すべて変換"));
        return;
    }
    haltPlaybackForRename();
    QStringList files;
    files.reserve(filFile->count());
    for (int i = 0; i < filFile->count(); ++i) {
        files.append(filFile->fileName(i));
    }
    auto* dialog = new frmAllConv(*this, m_state.settings, filFile->folder(), files, mnuFront->isChecked(),
                                  m_services.boxes, m_services.reporter);
    openSecondary(m_allConv, dialog, &frmMain::showListAfterRename);
}

void frmMain::mnuReview_Click()
{
    if (filFile->count() == 0) {
        warn(QStringLiteral("MIDIファイルがあるディレクトリを選択してください"), QStringLiteral("変換一覧"));
        return;
    }
    haltPlaybackForRename();
    openSecondary(m_review,
                  new frmReview(*this, m_state.settings, filFile->folder(), mnuFront->isChecked(),
                                m_services.boxes, m_services.reporter, m_services.trash),
                  &frmMain::showListAfterRename);
}

void frmMain::mnuUndo_Click()
{
    haltPlaybackForRename(); // an undo renames files too
    openSecondary(
        m_undo,
        new frmUndo(*this, mnuFront->isChecked(), m_services.boxes, m_services.reporter, m_services.trash),
        &frmMain::showListAfterUndo);
}

/// After the undo window: the list shows the names given back; when this start's
/// own single renames were taken back, the next ones go into a new journal.
void frmMain::showListAfterUndo()
{
    if (m_undo) {
        const std::vector<QByteArray>& undone = m_undo->undone();
        const QByteArray own = m_renameSpace->path();
        if (!own.isEmpty() && std::find(undone.begin(), undone.end(), own) != undone.end()) {
            m_renameSpace = std::make_unique<RunJournal>("single", QByteArray());
        }
    }
    showListAfterRename();
}

/// A journal that cannot be written is said once; the renames go on without it.
void frmMain::tellJournalFailure(const QString& caption)
{
    const QString why = m_renameSpace->untoldFailure();
    if (!why.isEmpty()) {
        warn(why, caption);
    }
}

void frmMain::mnuSet_Click()
{
    if (m_edit) {
        return; // one settings dialog at a time
    }
    auto* dialog = new frmEdit(*this, m_state.settings, mnuFront->isChecked(),
                               {m_services.outputs, m_services.pickers, m_services.boxes, m_services.reporter,
                                [this] { haltPlaybackForDeviceChange(); }});
    openSecondary(m_edit, dialog);
}

ConvOutcome frmMain::FileNameConv(const QString& fileName)
{
    const ConvOutcome outcome =
        calvane::FileNameConv(*m_renameSpace, dirDirectory->path(), fileName, txtConvFileName->text(),
                              m_state.settings, m_services.reporter, "frmMain_FileNameConv");
    ShowConvOutcome(txtConvFileName, outcome);
    return outcome;
}

// --- Shared steps ----------------------------------------------------------------

void frmMain::setFileNameBox(const QString& name)
{
    m_fileName = name;
    ShowText(txtFileName, ShownName(name));
}

/// Before a rename: playback stops and the file is released, whatever the outcome.
void frmMain::haltPlaybackForRename()
{
    const QString mode = m_control.GetMIDIMode();
    if (basMIDIControl::IsPlaying(mode) || basMIDIControl::IsPaused(mode)) {
        setPicture(cmdPlay, 102);
        lblStatus->setText(kStoppedForConv);
        m_control.MIDIControl(u"stop");
    }
    m_control.MIDIControl(u"close");
    timMIDIStop->setInterval(0);
}

/// The settings dialog chose another output device: what plays stops and goes
/// back to the start; a paused file keeps the device it started on.
void frmMain::haltPlaybackForDeviceChange()
{
    if (!basMIDIControl::IsPlaying(m_control.GetMIDIMode())) {
        return;
    }
    m_control.MIDIControl(u"stop");
    m_control.MIDIControl(u"prev");
    setPicture(cmdPlay, 102);
    lblStatus->setText(kDeviceChanged);
    timMIDIStop->setInterval(0);
    sldPosition->setValue(0);
    showPosition(0);
}

/// After a rename: the list shows the new names, nothing is selected.
void frmMain::showListAfterRename()
{
    filFile->Refresh();
    clearSelectionDisplay();
}

frmAllConv* frmMain::allConvWindow() const
{
    return m_allConv;
}

frmEdit* frmMain::editWindow() const
{
    return m_edit;
}

frmVerInfo* frmMain::verInfoWindow() const
{
    return m_verInfo;
}

frmReview* frmMain::reviewWindow() const
{
    return m_review;
}

frmUndo* frmMain::undoWindow() const
{
    return m_undo;
}

namespace {

template <class W> bool isOpen(const QPointer<W>& window)
{
    return window && !window->isUnloaded();
}

} // namespace

bool frmMain::takesInput() const
{
    return !isOpen(m_allConv) && !isOpen(m_edit) && !isOpen(m_verInfo) && !isOpen(m_review) &&
           !isOpen(m_undo);
}

void frmMain::unloadSecondaryWindows()
{
    if (m_allConv) {
        m_allConv->close();
    }
    if (m_review) {
        m_review->close();
    }
    if (m_undo) {
        m_undo->close();
    }
    if (m_edit) {
        m_edit->close();
    }
    if (m_verInfo) {
        m_verInfo->close();
    }
}

void frmMain::openFromAnotherStart(const QString& path)
{
    if (m_handedOver.size() < kMostHandedOver) {
        m_handedOver.push_back(path);
    }
    openHandedOver();
}

/// Loads the files handed over while nothing else asks the user anything: a box
/// or menu runs an event loop, and a load inside it would change the file under
/// the procedure that is waiting for the answer. Called again once the last box
/// is answered, a menu or a secondary window closes.
void frmMain::openHandedOver()
{
    while (!m_handedOver.empty() && !m_handingOver && takesInput() && !m_boxes.anyShown() &&
           !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
        const QString path = m_handedOver.front();
        m_handedOver.pop_front();
        m_handingOver = true;
        const auto done = qScopeGuard([this] { m_handingOver = false; });
        openCommandLineFile(path, true);
    }
}

// --- About box and help ---------------------------------------------------------

void frmMain::mnuVer_Click()
{
    openSecondary(m_verInfo, new frmVerInfo(*this, ProgramHelpUrl().toString(), mnuFront->isChecked(),
                                            m_services.reporter));
}

void frmMain::mnuShowHelp_Click()
{
    const QString help = ProgramHelpFile();
    if (help.isEmpty()) {
        m_services.boxes.show(QStringLiteral("ヘルプファイルが見つかりませんでした"),
                              QStringLiteral("ヘルプの表示"), MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    if (!m_services.opener.openUrl(QUrl::fromLocalFile(help))) {
        // No program shows it: the user can open it by its path.
        m_services.boxes.show(QStringLiteral("ヘルプを表示できませんでした\r\n\r\n") + ShownPath(help),
                              QStringLiteral("ヘルプ"), MsgIcon::Warning, MsgButtons::Ok);
    }
}

void frmMain::clearSelectionDisplay()
{
    setFileNameBox(QString());
    txtConvFileName->clear();
    txtFormat->setText(QStringLiteral("0"));
    txtDivision->setText(QStringLiteral("0"));
    txtTrack->setText(QStringLiteral("0"));
    txtTime->setText(QStringLiteral("00:00.0"));
    txtCopyright->clear();
    lblTempo->setText(QStringLiteral("0"));
}

void frmMain::showDeviceError(const QString& text)
{
    m_services.boxes.show(text, QStringLiteral("デバイスエラー"), MsgIcon::Critical, MsgButtons::Ok);
}

void frmMain::warn(const QString& text, const QString& caption)
{
    m_services.boxes.show(text, caption, MsgIcon::Warning, MsgButtons::Ok);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Left unaccepted, the key goes on to the menu's shortcut.
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* action : menuBar()->findChildren<QAction*>()) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    } else if (watched == sldPosition) {
        // Seen before the slider handles them. A double-click's second press
        // starts a drag as well.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            sldPosition_MouseDown();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            sldPosition_MouseUp();
        }
    } else if (watched == txtConvFileName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdConv_Click();
            return true; // Enter converts and is not passed on
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace calvane
