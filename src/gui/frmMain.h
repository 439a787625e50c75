#pragma once

#include "gui/desktop/WatchedMessageBoxes.h"
#include "player/basMIDIControl.h"
#include "rename/FileNameConv.h"
#include "settings/Settings.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <deque>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;

namespace calvane {

class DriveList;
class ErrorReporter;
class frmAllConv;
class frmEdit;
class frmReview;
class frmUndo;
class RunJournal;
class frmVerInfo;
struct FailureContext;
class FileList;
class FolderList;
class MciDevice;
class MessageBoxes;
class MidiOutputs;
class Pickers;
class PlaybackTimer;
class PositionSlider;
class ProcessEnd;
class ProcessStarter;
class UrlOpener;
class Trash;

/// The program's shared state: the settings in memory and the file the main
/// window loaded last (empty until then). The view options are the check marks
/// of the main window's Option menu.
struct ProgramState
{
    Settings settings;
    QString CurrentMIDIPath;
};

/// What the main window needs from outside; only main() builds the real ones.
struct MainWindowServices
{
    MessageBoxes& boxes;
    ErrorReporter& reporter;
    ProcessEnd& end;
    MciDevice& device;
    ProcessStarter& starter; ///< the external player's start
    PlaybackTimer& timer;    ///< becomes timMIDIStop
    UrlOpener& opener;       ///< the help page
    Trash& trash;            ///< where deleted files go when Del is 0
    MidiOutputs& outputs;    ///< the ones the device plays through: the settings dialog lists them
    Pickers& pickers;        ///< the settings dialog's folder and program pickers
    QString iniPath;         ///< the settings file
};

/// The main window: browsing drives, folders and MIDI files, the loaded file's
/// information and title, the single-file rename, the player panel and the
/// window options. Controls carry their design names as object names.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    frmMain(ProgramState& state, const MainWindowServices& services, QWidget* parent = nullptr);
    ~frmMain() override;

    /// The load step, before the window is shown. commandLine is the program's
    /// first argument (lossless) or empty.
    void Form_Load(const QString& commandLine);

    void cmdReLoad_Click();
    void cmdConv_Click();
    /// Opens the batch dialog over the files of the list.
    void cmdAllConv_Click();
    /// Play or pause; also run by the Edit menu's play and pause items and the double-click.
    void cmdPlay_Click();
    /// Enables the Edit menu's items for the selection and the player's state.
    void mnuEdit_Click();
    void mnuFront_Click();
    void mnuShowMIDIInfo_Click();
    void mnuPreview_Click();
    /// Opens the settings dialog.
    void mnuSet_Click();
    /// Opens the review list over the list's folder.
    void mnuReview_Click();
    /// Opens the list of runs to undo.
    void mnuUndo_Click();

    /// Opens the about box.
    void mnuVer_Click();
    /// Opens the help page with the desktop's browser.
    void mnuShowHelp_Click();

    /// The batch dialog while it is open, else null.
    frmAllConv* allConvWindow() const;
    /// The settings dialog while it is open, else null.
    frmEdit* editWindow() const;
    /// The about box while it is open, else null.
    frmVerInfo* verInfoWindow() const;
    /// The review list while it is open, else null.
    frmReview* reviewWindow() const;
    /// The undo window while it is open, else null.
    frmUndo* undoWindow() const;
    /// No secondary window is open: the main window takes input.
    bool takesInput() const;
    /// A later start of the program named this file: it is loaded as a
    /// command-line file is, with the list read again first. Files handed over
    /// are loaded one at a time in their order, each once the main window takes
    /// input and no box or menu of the program is open (the boxes of the one
    /// before included): never inside another procedure.
    void openFromAnotherStart(const QString& path);
    /// What the error handler reads at the moment of a failure: CurrentMIDIPath,
    /// the title box's text, the device, timMIDIStop and the file list's folder.
    FailureContext failureContext();

    // The controls, by their design names; the window owns them through their Qt
    // parents. Public like a form's controls: the dialogs built on the main window
    // read and set them.
    DriveList* drvDrive = nullptr;
    FolderList* dirDirectory = nullptr;
    FileList* filFile = nullptr;
    QLabel* lblFileName = nullptr;
    QLineEdit* txtFileName = nullptr;
    QLabel* lblConvFileName = nullptr;
    QLineEdit* txtConvFileName = nullptr;
    QPushButton* cmdReLoad = nullptr;
    QPushButton* cmdConv = nullptr;
    QPushButton* cmdAllConv = nullptr;
    QGroupBox* fraMIDIInfo = nullptr;
    QLabel* lblFormat = nullptr;
    QLineEdit* txtFormat = nullptr;
    QLabel* lblTrack = nullptr;
    QLineEdit* txtTrack = nullptr;
    QLabel* lblDivision = nullptr;
    QLineEdit* txtDivision = nullptr;
    QLabel* lblTime = nullptr;
    QLineEdit* txtTime = nullptr;
    QLabel* lblCopyright = nullptr;
    QLineEdit* txtCopyright = nullptr;
    QGroupBox* fraPreview = nullptr;
    QLabel* lblP_Tempo = nullptr;
    QLabel* lblTempo = nullptr;
    QLabel* lblP_Time = nullptr;
    QLabel* lblPosition = nullptr;
    QLabel* lblStatus = nullptr;
    PositionSlider* sldPosition = nullptr;
    QPushButton* cmdPrev = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStop = nullptr;
    PlaybackTimer* timMIDIStop = nullptr; ///< the injected timer; interval 0 is off

    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuReLoad = nullptr;
    QAction* mnuAllConv = nullptr;
    QAction* mnuConv = nullptr;
    QAction* mnuReview = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuBar3 = nullptr;
    QAction* mnuEdit_Play = nullptr;
    QAction* mnuEdit_Pause = nullptr;
    QAction* mnuEdit_Stop = nullptr;
    QAction* mnuBar4 = nullptr;
    QAction* mnuUsePlayer = nullptr;
    QAction* mnuBar5 = nullptr;
    QAction* mnuDel = nullptr;
    QMenu* mnuOption = nullptr;
    QAction* mnuFront = nullptr;
    QAction* mnuShowMIDIInfo = nullptr;
    QAction* mnuPreview = nullptr;
    QAction* mnuBar2 = nullptr;
    QAction* mnuSet = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuShowHelp = nullptr;
    QAction* mnuBar1 = nullptr;
    QAction* mnuVer = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Building (frmMain_Controls.cpp).
    void createControls();
    void nameControls();
    void createMenus();
    void connectEvents();
    void place(QWidget* control, int left, int top, int width, int height);
    void setLeft(QWidget* control, int left);
    void setWidth(QWidget* control, int width);
    void setClientSize(int width, int height);
    void applyInfoPanelLayout(bool wide);
    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;

    // Event procedures (frmMain.cpp).
    void Form_Unload();
    void drvDrive_Change();
    void dirDirectory_Change();
    void dirDirectory_DblClick(const QString& path);
    void filFile_Click();
    void filFile_DblClick();
    void filFile_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void filFile_OLEDragDrop(const QMimeData* data);
    void mnuExit_Click();
    ConvOutcome FileNameConv(const QString& fileName);

    // Deletion (frmMain_Delete.cpp): the Delete key in the file list, also run by mnuDel.
    void filFile_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift);

    // The player panel and the external player (frmMain_Player.cpp).
    void cmdPrev_Click();
    void cmdStop_Click();
    void sldPosition_MouseDown();
    void sldPosition_MouseUp();
    void sldPosition_Scroll();
    void timMIDIStop_Timer();
    void followEndOfPlay(bool on);
    void tellTimerWhetherSeen();
    void mnuUsePlayer_Click();
    void showStatusNow(const QString& text);
    void showPosition(std::int32_t milliseconds);
    void tellOnceIfSilent();

    void showProcessFolder();
    void showStartFolder();
    void openCommandLineFile(const QString& text, bool rereadList = false);
    void selectFile(const QString& path, bool rereadList);
    void openHandedOver();
    QString folderOnDrive(const QString& root) const;
    void rememberFastFolder();
    void setFileNameBox(const QString& name);
    void clearSelectionDisplay();
    void haltPlaybackForRename();
    void haltPlaybackForDeviceChange();
    void showListAfterRename();
    void showListAfterUndo();
    void tellJournalFailure(const QString& caption);
    template <class W>
    void openSecondary(QPointer<W>& slot, W* window, void (frmMain::*afterClose)() = nullptr);
    void unloadSecondaryWindows();
    void setPicture(QPushButton* button, int number);
    void setPlayItemsVisible(bool visible);
    void warn(const QString& text, const QString& caption);
    void showDeviceError(const QString& text);

    ProgramState& m_state;
    WatchedMessageBoxes m_boxes; ///< the injected boxes; m_services.boxes is this
    MainWindowServices m_services;
    basMIDIControl m_control;
    /// Where the single rename renames: the disk, through the journal of this start's single renames.
    std::unique_ptr<RunJournal> m_renameSpace;
    QString m_iniPath;
    bool m_loading = false;
    bool m_dragging = false;                ///< a mouse button is held on sldPosition
    bool m_toldSilentOutput = false;        ///< the user knows the output is silent (once a run)
    QString m_fileName;                     ///< the file txtFileName shows, as the file system names it
    QHash<QString, QString> m_driveFolders; ///< the last folder shown on each drive
    QPointer<frmAllConv> m_allConv;
    QPointer<frmEdit> m_edit;
    QPointer<frmVerInfo> m_verInfo;
    QPointer<frmReview> m_review;
    QPointer<frmUndo> m_undo;
    std::deque<QString> m_handedOver; ///< named by later starts, not yet loaded
    bool m_handingOver = false;       ///< one of them is being loaded
    QHash<QWidget*, QRect> m_places;  ///< each control's place in twips
    int m_clientWidth = 0;            ///< twips
    int m_clientHeight = 0;           ///< twips
};

} // namespace calvane
