#include "gui/frmEdit.h"

#include "errors/Guard.h"
#include "gui/Controls.h"
#include "gui/desktop/Topmost.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "player/MidiOutput.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace calvane {
namespace {

const QString kCaption = QStringLiteral("設定");
const QString kCancel = QStringLiteral("Cancel");
/// Linux programs carry no extension: the program picker lists every file.
const QString kProgramFilter = QStringLiteral("実行ファイル (*)");
constexpr int kDialogHeight = 5750; // twips
constexpr int kPathBoxWidth = 240;  // pixels: room for a path of some depth

int BoolToCheck(bool value)
{
    return value ? 1 : 0;
}

bool CheckToBool(int value)
{
    return value == 1;
}

/// A check box shows 1 ticked and anything else clear, as every reader of these
/// settings takes only 1 for "on".
void setCheck(QCheckBox* box, int value)
{
    box->setChecked(value == 1);
}

std::int16_t checkValue(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

/// The option of a setting that holds 0 or 1; any other value names no option.
QRadioButton* option(const std::array<QRadioButton*, 2>& options, std::int16_t value)
{
    if (value != 0 && value != 1) {
        throw RuntimeError(ErrNo::NoSuchControlArrayElement);
    }
    return options[static_cast<std::size_t>(value)];
}

std::int16_t chosenOption(const std::array<QRadioButton*, 2>& options)
{
    return !options[0]->isChecked() && options[1]->isChecked() ? 1 : 0;
}

/// A text box that can be typed into shows the window background, a disabled
/// one the button face.
void setBoxUsable(QLineEdit* box, bool usable)
{
    box->setEnabled(usable);
    ShowTypable(box, usable);
}

bool isHiddenEntry(const QString& path)
{
    QStringView name(path);
    while (name.size() > 1 && name.endsWith(u'/')) {
        name.chop(1);
    }
    name = name.mid(name.lastIndexOf(u'/') + 1);
    return name.startsWith(u'.') && name != u"." && name != u"..";
}

/// The start folder's test: a folder or an ordinary file that is not hidden.
bool namesFolderOrFile(const QString& path)
{
    return !path.isEmpty() && (IsOrdinaryFile(NativePath(path)) || (IsFolder(path) && !isHiddenEntry(path)));
}

/// The start folder as it is stored: a relative path, which the check found from
/// the folder the program started in, as the absolute path it named there. The
/// next start opens only an absolute one.
QString storedStartFolder(const QString& typed)
{
    if (typed.isEmpty() || typed.startsWith(u'/')) {
        return typed;
    }
    const QString absolute = ToLongPathName(typed);
    return absolute.isEmpty() ? typed : absolute;
}

} // namespace

frmEdit::frmEdit(QWidget& owner, Settings& settings, bool topmost, Services services)
    : SecondaryWindow(owner), m_settings(settings), m_topmost(topmost), m_services(std::move(services))
{
    createControls();
    connectEvents();
}

// --- Controls --------------------------------------------------------------------

void frmEdit::createControls()
{
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(kCaption);

    TabEdit = named(new QTabBar(this), "TabEdit");
    TabEdit->addTab(QStringLiteral("全般"));
    TabEdit->addTab(QStringLiteral("変換"));
    TabEdit->addTab(QStringLiteral("MIDI プレイヤー"));
    TabEdit->setExpanding(false);
    TabEdit->setDrawBase(false);
    fratabStack = named(new QStackedWidget(this), "fratabStack");
    fratabStack->setFrameShape(QFrame::StyledPanel);
    fratab = {createGeneralPage(), createConvPage(), createPlayerPage()};
    for (std::size_t i = 0; i < fratab.size(); ++i) {
        fratab[i]->setObjectName(QStringLiteral("fratab(%1)").arg(i));
        fratabStack->addWidget(fratab[i]);
    }

    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("キャンセル"), this), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(TabEdit);
    layout->addWidget(fratabStack, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    nameControls();
}

/// What a screen reader says for the controls no caption names, and Tab in reading
/// order: the tabs, the page in front from its top, then OK and Cancel.
void frmEdit::nameControls()
{
    txtPath->setAccessibleName(QStringLiteral("最初に開くフォルダ"));
    // Two "参照(&C)" buttons: each says what it browses for.
    cmdSearch->setAccessibleName(QStringLiteral("最初に開くフォルダを参照"));
    cmdExeSearch->setAccessibleName(QStringLiteral("外部プレイヤーを参照"));
    SetTabOrder({TabEdit,      optDClick[0],     optDClick[1], optDel[0],  optDel[1],
                 chkdel,       chkAppointFolder, txtPath,      cmdSearch,  chkSaveLastFolder,
                 chkLastSpace, chkSpace,         chkStart,     chkErrSkip, chkNoMIDITitle,
                 chkUsePlayer, txtExePath,       cmdExeSearch, chkRepeat,  cmbMIDIDevice,
                 cmdOK,        cmdCancel});
}

QFrame* frmEdit::createGeneralPage()
{
    auto* page = new QFrame;
    fraFileList = named(new QGroupBox(QStringLiteral("ファイルリスト"), page), "fraFileList");
    lblDClick = named(new QLabel(QStringLiteral("ダブルクリック時の処理"), fraFileList), "lblDClick");
    optDClick = {named(new QRadioButton(QStringLiteral("再生する(&P)"), fraFileList), "optDClick(0)"),
                 named(new QRadioButton(QStringLiteral("変換する(&C)"), fraFileList), "optDClick(1)")};
    lblDel = named(new QLabel(QStringLiteral("削除の方法"), fraFileList), "lblDel");
    optDel = {
        named(new QRadioButton(QStringLiteral("ごみ箱へ削除(&R)"), fraFileList), "optDel(0)"),
        named(new QRadioButton(QStringLiteral("ディスクから完全に削除(&D)"), fraFileList), "optDel(1)")};
    chkdel = named(new QCheckBox(QStringLiteral("確認する(&A)"), fraFileList), "chkdel");
    // Two option sets in one frame: each its own group.
    m_dclickGroup = new QButtonGroup(this);
    m_delGroup = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        m_dclickGroup->addButton(optDClick[static_cast<std::size_t>(i)], i);
        m_delGroup->addButton(optDel[static_cast<std::size_t>(i)], i);
    }
    auto* list = new QGridLayout(fraFileList);
    list->addWidget(lblDClick, 0, 0, 1, 3);
    list->addWidget(optDClick[0], 1, 1);
    list->addWidget(optDClick[1], 1, 2);
    list->addWidget(lblDel, 2, 0, 1, 3);
    list->addWidget(optDel[0], 3, 1, 1, 2);
    list->addWidget(optDel[1], 4, 1, 1, 2);
    list->addWidget(chkdel, 5, 2);
    list->setColumnMinimumWidth(0, 12);
    list->setColumnStretch(2, 1);

    fraFolder = named(new QGroupBox(page), "fraFolder");
    chkAppointFolder =
        named(new QCheckBox(QStringLiteral("最初に開くフォルダを指定(&A)"), fraFolder), "chkAppointFolder");
    txtPath = named(new QLineEdit(fraFolder), "txtPath");
    txtPath->setMinimumWidth(kPathBoxWidth);
    cmdSearch = named(new QPushButton(QStringLiteral("参照(&C)"), fraFolder), "cmdSearch");
    chkSaveLastFolder = named(new QCheckBox(QStringLiteral("最後に開いたフォルダを記憶(&L)"), fraFolder),
                              "chkSaveLastFolder");
    auto* folder = new QGridLayout(fraFolder);
    folder->addWidget(chkAppointFolder, 0, 0, 1, 3);
    folder->addWidget(txtPath, 1, 1);
    folder->addWidget(cmdSearch, 1, 2);
    folder->addWidget(chkSaveLastFolder, 2, 1, 1, 2);
    folder->setColumnMinimumWidth(0, 12);
    folder->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraFileList);
    layout->addWidget(fraFolder);
    layout->addStretch();
    return page;
}

QFrame* frmEdit::createConvPage()
{
    auto* page = new QFrame;
    fraConv = named(new QGroupBox(QStringLiteral("全般"), page), "fraConv");
    chkLastSpace = named(new QCheckBox(QStringLiteral("タイトルの最後のスペースを無視する(&L)"), fraConv),
                         "chkLastSpace");
    chkSpace =
        named(new QCheckBox(QStringLiteral("すべてスペースのタイトルを変換しない(&S)"), fraConv), "chkSpace");
    auto* conv = new QVBoxLayout(fraConv);
    conv->addWidget(chkLastSpace);
    conv->addWidget(chkSpace);

    fraAllConv = named(new QGroupBox(QStringLiteral("すべて変換"), page), "fraAllConv");
    chkStart = named(new QCheckBox(QStringLiteral("すぐに変換作業を開始(&S)"), fraAllConv), "chkStart");
    chkErrSkip =
        named(new QCheckBox(QStringLiteral("エラーファイルはスキップする(&E)"), fraAllConv), "chkErrSkip");
    chkNoMIDITitle =
        named(new QCheckBox(QStringLiteral("MIDIタイトルが無い場合は変換しない(&T)"), fraAllConv),
              "chkNoMIDITitle");
    auto* all = new QGridLayout(fraAllConv);
    all->addWidget(chkStart, 0, 0, 1, 2);
    all->addWidget(chkErrSkip, 1, 0, 1, 2);
    all->addWidget(chkNoMIDITitle, 2, 1);
    all->setColumnMinimumWidth(0, 12);
    all->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraConv);
    layout->addWidget(fraAllConv);
    layout->addStretch();
    return page;
}

QFrame* frmEdit::createPlayerPage()
{
    auto* page = new QFrame;
    fraPlayer = named(new QGroupBox(page), "fraPlayer");
    chkUsePlayer =
        named(new QCheckBox(QStringLiteral("外部プレイヤーを使用する"), fraPlayer), "chkUsePlayer");
    Label3 = named(new QLabel(QStringLiteral("外部プレイヤーの場所(&O)"), fraPlayer), "Label3");
    txtExePath = named(new QLineEdit(fraPlayer), "txtExePath");
    txtExePath->setMinimumWidth(kPathBoxWidth);
    Label3->setBuddy(txtExePath);
    cmdExeSearch = named(new QPushButton(QStringLiteral("参照(&C)"), fraPlayer), "cmdExeSearch");
    auto* player = new QGridLayout(fraPlayer);
    player->addWidget(chkUsePlayer, 0, 0, 1, 3);
    player->addWidget(Label3, 1, 1, 1, 2);
    player->addWidget(txtExePath, 2, 1);
    player->addWidget(cmdExeSearch, 2, 2);
    player->setColumnMinimumWidth(0, 12);
    player->setColumnStretch(1, 1);

    fraPlayerGeneral = named(new QGroupBox(QStringLiteral("全般"), page), "fraPlayerGeneral");
    chkRepeat = named(new QCheckBox(QStringLiteral("リピート演奏(&R)"), fraPlayerGeneral), "chkRepeat");
    Label2 = named(new QLabel(QStringLiteral("MIDI再生に使用するデバイス"), fraPlayerGeneral), "Label2");
    cmbMIDIDevice = named(new QComboBox(fraPlayerGeneral), "cmbMIDIDevice");
    cmbMIDIDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbMIDIDevice->setMinimumContentsLength(24);
    Label2->setBuddy(cmbMIDIDevice);
    auto* general = new QVBoxLayout(fraPlayerGeneral);
    general->addWidget(chkRepeat);
    general->addWidget(Label2);
    general->addWidget(cmbMIDIDevice);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraPlayer);
    layout->addWidget(fraPlayerGeneral);
    layout->addStretch();
    return page;
}

void frmEdit::connectEvents()
{
    connect(TabEdit, &QTabBar::currentChanged, this, &frmEdit::TabEdit_Click);
    connect(chkAppointFolder, &QCheckBox::clicked, this, &frmEdit::chkAppointFolder_Click);
    connect(chkSaveLastFolder, &QCheckBox::clicked, this, &frmEdit::chkSaveLastFolder_Click);
    connect(chkUsePlayer, &QCheckBox::clicked, this, &frmEdit::chkUsePlayer_Click);
    connect(chkErrSkip, &QCheckBox::clicked, this, &frmEdit::chkErrSkip_Click);
    connect(m_delGroup, &QButtonGroup::idClicked, this, &frmEdit::optDel_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &frmEdit::cmdSearch_Click);
    connect(cmdExeSearch, &QPushButton::clicked, this, &frmEdit::cmdExeSearch_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEdit::cmdCancel_Click);
}

// --- Opening -------------------------------------------------------------------------

void frmEdit::Form_Load()
{
    Guarded(m_services.reporter, "frmEdit.Form_Load", [&] {
        m_tabChanging = false;

        // A box or option set here runs its click handling, as a click would.
        const Settings& s = m_settings;
        setCheck(chkNoMIDITitle, BoolToCheck(s.NoMIDITitle));
        setCheck(chkStart, BoolToCheck(s.Start));
        setCheck(chkErrSkip, BoolToCheck(s.ErrSkip));
        chkErrSkip_Click();
        setCheck(chkSpace, BoolToCheck(s.Space));
        setCheck(chkLastSpace, BoolToCheck(s.LastSpace));
        setCheck(chkSaveLastFolder, s.SaveLastFolder);
        chkSaveLastFolder_Click();
        ShowText(txtPath, s.FastFolderPath);
        setCheck(chkAppointFolder, s.AppointFolder);
        chkAppointFolder_Click();
        option(optDel, s.Del)->setChecked(true);
        optDel_Click(s.Del);
        setCheck(chkdel, s.chkDel);
        option(optDClick, s.DClick)->setChecked(true);
        setCheck(chkRepeat, s.Repeat);
        setCheck(chkUsePlayer, s.UsePlayer);
        chkUsePlayer_Click();
        ShowText(txtExePath, s.ExePath);

        if (m_topmost) {
            SetTopmost(*this, true);
        }
        chkAppointFolder_Click();
        fratabStack->setCurrentWidget(fratab[0]);
        const int height = qRound(kDialogHeight * logicalDpiY() / 1440.0);
        setFixedSize(sizeHint().width(), std::max(height, sizeHint().height()));
        if (chkErrSkip->isChecked()) {
            chkNoMIDITitle->setEnabled(false);
        }
        fillDeviceList();
    });
}

/// Entry 0 is the built-in synthesizer (device -1), entry k output port k - 1. The
/// stored entry is selected only while it still carries the stored name.
void frmEdit::fillDeviceList()
{
    const MidiOutputDeviceList devices = m_services.outputs.Devices();
    for (int id = -1; id < devices.Count(); ++id) {
        cmbMIDIDevice->addItem(devices.Name(id));
    }
    if (cmbMIDIDevice->count() == 0) {
        return;
    }
    const int stored = m_settings.DeviceNum;
    const bool same = stored >= 0 && stored < cmbMIDIDevice->count() &&
                      cmbMIDIDevice->itemText(stored) == m_settings.DeviceName;
    cmbMIDIDevice->setCurrentIndex(same ? stored : 0);
}

// --- Enabling rules ------------------------------------------------------------------

void frmEdit::chkAppointFolder_Click()
{
    const bool appointed = chkAppointFolder->isChecked();
    setBoxUsable(txtPath, appointed);
    chkSaveLastFolder->setEnabled(appointed);
    cmdSearch->setEnabled(appointed);
    chkSaveLastFolder_Click();
}

void frmEdit::chkSaveLastFolder_Click()
{
    if (!chkAppointFolder->isChecked()) {
        return;
    }
    const bool typed = !chkSaveLastFolder->isChecked();
    setBoxUsable(txtPath, typed);
    cmdSearch->setEnabled(typed);
}

void frmEdit::chkUsePlayer_Click()
{
    const bool used = chkUsePlayer->isChecked();
    setBoxUsable(txtExePath, used);
    cmdExeSearch->setEnabled(used);
}

void frmEdit::chkErrSkip_Click()
{
    chkNoMIDITitle->setEnabled(!chkErrSkip->isChecked());
}

void frmEdit::optDel_Click(int index)
{
    chkdel->setEnabled(index != 0); // asking first is for the permanent deletion
}

// --- Browse buttons --------------------------------------------------------------------

void frmEdit::cmdSearch_Click()
{
    Guarded(m_services.reporter, "frmEdit.cmdSearch_Click", [&] {
        const QString chosen = m_services.pickers.ShowFolderDialog(*this);
        if (chosen != kCancel) {
            ShowText(txtPath, chosen);
        }
    });
}

void frmEdit::cmdExeSearch_Click()
{
    const QString chosen = m_services.pickers.ShowOpenDialog(*this, kProgramFilter);
    if (chosen != kCancel) {
        ShowText(txtExePath, chosen);
    }
}

// --- The checks --------------------------------------------------------------------------

bool frmEdit::folderCheckPasses()
{
    if (chkAppointFolder->isChecked() && !chkSaveLastFolder->isChecked() &&
        !namesFolderOrFile(txtPath->text())) {
        refuse(QStringLiteral("指定したフォルダが見つかりません"), txtPath);
        return false;
    }
    return true;
}

bool frmEdit::programCheckPasses()
{
    if (chkUsePlayer->isChecked() && !IsOrdinaryFile(NativePath(txtExePath->text()))) {
        refuse(QStringLiteral("指定したファイルが見つかりません"), txtExePath);
        return false;
    }
    return true;
}

/// The message, then the field's whole text selected and focused, its page in front.
void frmEdit::refuse(const QString& text, QLineEdit* field)
{
    m_services.boxes.show(text, kCaption, MsgIcon::Critical, MsgButtons::Ok);
    for (int i = 0; i < static_cast<int>(fratab.size()); ++i) {
        if (fratab[static_cast<std::size_t>(i)]->isAncestorOf(field) && fratabStack->currentIndex() != i) {
            // A field on a page behind cannot take the focus: its page comes to the
            // front, and its tab with it, without a tab click.
            fratabStack->setCurrentIndex(i);
            const QSignalBlocker quiet(TabEdit);
            TabEdit->setCurrentIndex(i);
        }
    }
    field->selectAll();
    field->setFocus();
}

// --- Tabs ------------------------------------------------------------------------------

void frmEdit::TabEdit_Click(int index)
{
    const Busy busy(*this);
    Guarded(m_services.reporter, "frmEdit.TabEdit_Click", [&] {
        if (index == 0) {
            chkAppointFolder_Click();
            chkSaveLastFolder_Click();
        } else if (index == 2) {
            chkUsePlayer_Click();
        }
        if (m_tabChanging) {
            m_tabChanging = false; // the dialog's own change back: the page stays
            return;
        }
        if (!folderCheckPasses()) {
            QCoreApplication::processEvents();
            if (!isUnloaded()) {
                selectTabByProgram(0);
            }
            return;
        }
        if (!programCheckPasses()) {
            QCoreApplication::processEvents();
            if (!isUnloaded()) {
                selectTabByProgram(2);
            }
            return;
        }
        if (index == 2 && cmbMIDIDevice->count() == 0) {
            m_services.boxes.show(QStringLiteral("MIDIデバイスが見つかりません"),
                                  QStringLiteral("デバイスエラー"), MsgIcon::Critical, MsgButtons::Ok);
        }
        fratabStack->setCurrentIndex(index);
        m_tabChanging = false;
    });
}

/// Back to the tab of a failed check. Its click clears the flag; when the tab is
/// already selected no click follows, and the flag must not stay set.
void frmEdit::selectTabByProgram(int index)
{
    if (TabEdit->currentIndex() == index) {
        m_tabChanging = false;
        return;
    }
    m_tabChanging = true;
    TabEdit->setCurrentIndex(index);
}

// --- OK and Cancel ---------------------------------------------------------------------

void frmEdit::cmdOK_Click()
{
    if (isUnloaded()) {
        return;
    }
    Guarded(m_services.reporter, "frmEdit.cmdOK_Click", [&] {
        if (!folderCheckPasses() || !programCheckPasses()) {
            return;
        }
        Settings& s = m_settings;
        s.NoMIDITitle = CheckToBool(checkValue(chkNoMIDITitle));
        s.Start = CheckToBool(checkValue(chkStart));
        s.ErrSkip = CheckToBool(checkValue(chkErrSkip));
        s.Space = CheckToBool(checkValue(chkSpace));
        s.LastSpace = CheckToBool(checkValue(chkLastSpace));
        s.SaveLastFolder = checkValue(chkSaveLastFolder);
        s.FastFolderPath = storedStartFolder(txtPath->text());
        s.AppointFolder = checkValue(chkAppointFolder);
        s.chkDel = checkValue(chkdel);
        s.UsePlayer = checkValue(chkUsePlayer);
        s.ExePath = txtExePath->text();
        s.Repeat = checkValue(chkRepeat);
        const auto device = static_cast<std::int16_t>(cmbMIDIDevice->currentIndex());
        if (s.DeviceNum != device && m_services.deviceChanged) {
            m_services.deviceChanged(); // before the new device is stored
        }
        s.DeviceName = cmbMIDIDevice->currentText();
        s.DeviceNum = device;
        s.DClick = chosenOption(optDClick);
        s.Del = chosenOption(optDel);
        close();
    });
}

void frmEdit::cmdCancel_Click()
{
    close();
}

// --- Keys --------------------------------------------------------------------------------

void frmEdit::enterPressed()
{
    // A focused button is pressed, as Space would; elsewhere Enter is OK.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
        button->click();
        return;
    }
    // A box ticked by its access key is released a moment later: OK waits for it.
    for (QAbstractButton* pressed : findChildren<QAbstractButton*>()) {
        if (pressed->isDown()) {
            connect(pressed, &QAbstractButton::released, this, &frmEdit::cmdOK_Click,
                    static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
            return;
        }
    }
    cmdOK_Click();
}

void frmEdit::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab and Ctrl+Shift+Tab (Ctrl+PgDown, Ctrl+PgUp) go round the tabs.
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        int step = 0;
        if (event->key() == Qt::Key_Backtab ||
            (event->key() == Qt::Key_Tab && event->modifiers().testFlag(Qt::ShiftModifier)) ||
            event->key() == Qt::Key_PageUp) {
            step = -1;
        } else if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_PageDown) {
            step = 1;
        }
        if (step != 0) {
            TabEdit->setCurrentIndex((TabEdit->currentIndex() + step + TabEdit->count()) % TabEdit->count());
            event->accept();
            return;
        }
    }
    SecondaryWindow::keyPressEvent(event);
}

} // namespace calvane
