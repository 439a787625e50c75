#pragma once

#include "gui/SecondaryWindow.h"

#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;

namespace calvane {

class ErrorReporter;
class MessageBoxes;
class MidiOutputs;
class Pickers;
struct Settings;

/// The settings dialog: every option of the settings in memory on three tab
/// pages, with the MIDI output devices to choose from. The typed start folder and
/// external player are checked when the page is left and on OK; OK copies the
/// pages into the settings, Cancel, Escape and the close box leave them as they
/// were. Nothing is written to disk here.
class frmEdit final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// Services the dialog uses, all owned by the caller.
    struct Services
    {
        MidiOutputs& outputs; ///< the outputs the player plays through: the device list
        Pickers& pickers;
        MessageBoxes& boxes;
        ErrorReporter& reporter;
        /// OK chose another output device: the player stops if it plays.
        std::function<void()> deviceChanged;
    };

    /// topmost: the main window is pinned on top.
    frmEdit(QWidget& owner, Settings& settings, bool topmost, Services services);

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

    QTabBar* TabEdit = nullptr;
    QStackedWidget* fratabStack = nullptr; ///< holds the page frames; the one in front shows
    std::array<QFrame*, 3> fratab{};

    QGroupBox* fraFileList = nullptr;
    QLabel* lblDClick = nullptr;
    std::array<QRadioButton*, 2> optDClick{};
    QLabel* lblDel = nullptr;
    std::array<QRadioButton*, 2> optDel{};
    QCheckBox* chkdel = nullptr;
    QGroupBox* fraFolder = nullptr;
    QCheckBox* chkAppointFolder = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdSearch = nullptr;
    QCheckBox* chkSaveLastFolder = nullptr;

    QGroupBox* fraConv = nullptr;
    QCheckBox* chkLastSpace = nullptr;
    QCheckBox* chkSpace = nullptr;
    QGroupBox* fraAllConv = nullptr;
    QCheckBox* chkStart = nullptr;
    QCheckBox* chkErrSkip = nullptr;
    QCheckBox* chkNoMIDITitle = nullptr;

    QGroupBox* fraPlayer = nullptr;
    QCheckBox* chkUsePlayer = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtExePath = nullptr;
    QPushButton* cmdExeSearch = nullptr;
    QGroupBox* fraPlayerGeneral = nullptr;
    QCheckBox* chkRepeat = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbMIDIDevice = nullptr;

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void enterPressed() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void nameControls();
    QFrame* createGeneralPage();
    QFrame* createConvPage();
    QFrame* createPlayerPage();
    void connectEvents();

    void TabEdit_Click(int index);
    void chkAppointFolder_Click();
    void chkSaveLastFolder_Click();
    void chkUsePlayer_Click();
    void chkErrSkip_Click();
    void optDel_Click(int index);
    void cmdSearch_Click();
    void cmdExeSearch_Click();

    bool folderCheckPasses();
    bool programCheckPasses();
    void refuse(const QString& text, QLineEdit* field);
    void selectTabByProgram(int index);
    void fillDeviceList();

    Settings& m_settings;
    const bool m_topmost;
    Services m_services;
    QButtonGroup* m_dclickGroup = nullptr;
    QButtonGroup* m_delGroup = nullptr;
    bool m_tabChanging = false; ///< the dialog selects a tab itself after a failed check
};

} // namespace calvane
