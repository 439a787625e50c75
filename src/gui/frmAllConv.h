#pragma once

#include "gui/SecondaryWindow.h"
#include "rename/FileNameConv.h"
#include "rename/RunJournal.h"

#include <QStringList>

#include <deque>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

namespace calvane {

class BusyPointer;
class ErrorReporter;
class MessageBoxes;
struct Settings;

/// The batch rename dialog: every MIDI file of the main window's list renamed
/// to its own title, one after the other, in a loop that lets window events run
/// before each file. A file that cannot be renamed is skipped or the run stops
/// at it, so that the user can correct its title, skip it or abort. The three
/// option ticks are read from and stored back into the settings.
class frmAllConv final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// files: the main window's list (names as the file system holds them) in its
    /// order, all in folder. topmost: the main window is pinned on top.
    frmAllConv(QWidget& owner, Settings& settings, QString folder, QStringList files, bool topmost,
               MessageBoxes& boxes, ErrorReporter& reporter);

    void Form_Load();
    /// A run over what is left of the queue; also Enter in the title box and the start timer.
    void cmdConv_Click();
    void cmdSkip_Click();
    void cmdStop_Click();

    QLabel* lblFileName = nullptr;
    QLineEdit* txtFileName = nullptr;
    QLabel* lblMIDITitle = nullptr;
    QLineEdit* txtConvFileName = nullptr;
    QProgressBar* prgProgress = nullptr; ///< files done of the files the dialog opened with
    QPushButton* cmdConv = nullptr;
    QPushButton* cmdSkip = nullptr;
    QPushButton* cmdStop = nullptr;
    QTimer* timAllConv = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuStart = nullptr;
    QAction* mnuBar1 = nullptr;
    QAction* mnuErrSkip = nullptr;
    QAction* mnuNoMIDITitle = nullptr;

protected:
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void nameControls();
    void timAllConv_Timer();
    ConvOutcome FileNameConv(const QString& fileName, ErrorReporter& reporter);
    void showHead(MessageBoxes& boxes, ErrorReporter& reporter);
    void showProgress();
    void complete();
    void abort();
    void stopAt(const ConvOutcome& outcome, BusyPointer& pointer);
    void setTitleBoxEditable(bool editable);

    Settings& m_settings;
    const QString m_folder;
    const QStringList m_files;
    const bool m_topmost;
    MessageBoxes& m_boxes;
    ErrorReporter& m_reporter;
    RunJournal m_renameSpace; ///< the disk, through the journal of this dialog's run

    std::deque<QString> lstTemp; ///< the queue: file names still to convert, the head first
    bool WaitingAtError = false; ///< stopped at the head; its title box text is used as it stands
    bool StopRequested = false;
    bool m_running = false;
};

} // namespace calvane
