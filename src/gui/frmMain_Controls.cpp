// The main window's controls, menus and geometry, and the window options that
// change them. Places and sizes are in twips (1/1440 inch), converted at the
// screen's logical DPI.

#include "gui/AppIcon.h"
#include "gui/Controls.h"
#include "gui/desktop/Topmost.h"
#include "gui/frmMain.h"
#include "gui/widgets/BackdropLabel.h"
#include "gui/widgets/ButtonPictures.h"
#include "gui/widgets/DriveList.h"
#include "gui/widgets/FileList.h"
#include "gui/widgets/FolderList.h"
#include "gui/widgets/PositionSlider.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace calvane {
namespace {

// The client area: wide and tall with both panels, narrower without the
// information panel, shorter without the player panel.
constexpr int kWideClientWidth = 7440;
constexpr int kNarrowClientWidth = 5130;
constexpr int kTallClientHeight = 5085;
constexpr int kShortClientHeight = 3730;

QLabel* label(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QLabel(caption, parent), name);
}

/// A text box the user cannot type into: no frame, the button face behind it.
QLineEdit* readOnlyBox(QWidget* parent, const char* name, const QString& text)
{
    auto* box = named(new QLineEdit(text, parent), name);
    box->setReadOnly(true);
    box->setFrame(false);
    ShowTypable(box, false);
    return box;
}

QAction* item(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    QAction* action = named(menu->addAction(caption), name);
    action->setShortcut(shortcut);
    return action;
}

QAction* separator(QMenu* menu, const char* name)
{
    return named(menu->addSeparator(), name);
}

} // namespace

void frmMain::createControls()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Calvane"));
    setWindowIcon(AppIcon());
    auto* client = new QWidget(this);
    setCentralWidget(client);

    drvDrive = named(new DriveList(client), "drvDrive");
    drvDrive->setToolTip(QStringLiteral("MIDIファイルのあるドライブを選択"));
    dirDirectory = named(new FolderList(client), "dirDirectory");
    dirDirectory->setFileSuffix(FileList::FileSuffix()); // read once for both lists
    dirDirectory->setToolTip(QStringLiteral("MIDIファイルのあるディレクトリを選択"));
    filFile = named(new FileList(client), "filFile");
    filFile->setToolTip(QStringLiteral("現在開いているディレクトリ内のMIDIファイル"));

    lblFileName = label(client, "lblFileName", QStringLiteral("ファイル名(&F)"));
    txtFileName = readOnlyBox(client, "txtFileName", QString());
    txtFileName->setFrame(true);
    txtFileName->setToolTip(QStringLiteral("選択されているMIDIファイル名"));
    lblFileName->setBuddy(txtFileName);
    lblConvFileName = label(client, "lblConvFileName", QStringLiteral("MIDIタイトル(&T)"));
    txtConvFileName = named(new QLineEdit(client), "txtConvFileName");
    txtConvFileName->setToolTip(QStringLiteral("選択されているMIDIファイルのタイトル"));
    lblConvFileName->setBuddy(txtConvFileName);

    cmdReLoad = named(new QPushButton(QStringLiteral("再読み込み(&R)"), client), "cmdReLoad");
    cmdReLoad->setToolTip(QStringLiteral("選択されているMIDI情報を再読み込み"));
    cmdConv = named(new QPushButton(QStringLiteral("変換(&C)"), client), "cmdConv");
    cmdConv->setToolTip(QStringLiteral("選択されているMIDIファイルを変換"));
    cmdAllConv = named(new QPushButton(QStringLiteral("すべて変換(&A)"), client), "cmdAllConv");
    cmdAllConv->setToolTip(QStringLiteral("現在のディレクトリのMIDIファイルをすべて変換"));

    fraMIDIInfo = named(new QGroupBox(QStringLiteral("MIDI情報"), client), "fraMIDIInfo");
    fraMIDIInfo->setToolTip(QStringLiteral("選択されているMIDIファイルの詳細情報"));
    lblFormat = label(fraMIDIInfo, "lblFormat", QStringLiteral("フォーマット"));
    txtFormat = readOnlyBox(fraMIDIInfo, "txtFormat", QStringLiteral("0"));
    lblTrack = label(fraMIDIInfo, "lblTrack", QStringLiteral("トラック数"));
    txtTrack = readOnlyBox(fraMIDIInfo, "txtTrack", QStringLiteral("0"));
    lblDivision = label(fraMIDIInfo, "lblDivision", QStringLiteral("分解能"));
    txtDivision = readOnlyBox(fraMIDIInfo, "txtDivision", QStringLiteral("0"));
    lblTime = label(fraMIDIInfo, "lblTime", QStringLiteral("演奏時間"));
    txtTime = readOnlyBox(fraMIDIInfo, "txtTime", QStringLiteral("00:00.000"));
    lblCopyright = label(fraMIDIInfo, "lblCopyright", QStringLiteral("著作権 "));
    txtCopyright = readOnlyBox(fraMIDIInfo, "txtCopyright", QString());

    fraPreview = named(new QGroupBox(QStringLiteral("MIDI プレーヤー"), client), "fraPreview");
    lblP_Tempo = label(fraPreview, "lblP_Tempo", QStringLiteral("Tempo"));
    // The time and the tempo change while a file plays: they repaint alone.
    lblTempo = named(new BackdropLabel(QStringLiteral("0"), fraPreview), "lblTempo");
    lblTempo->setToolTip(QStringLiteral("現在のテンポ"));
    lblP_Time = label(fraPreview, "lblP_Time", QStringLiteral("Time"));
    lblPosition = named(new BackdropLabel(QStringLiteral("00:00.000"), fraPreview), "lblPosition");
    lblPosition->setToolTip(QStringLiteral("現在の位置"));
    lblStatus = label(fraPreview, "lblStatus", QStringLiteral("ステータス"));
    lblStatus->setToolTip(QStringLiteral("現在の状況を表示"));
    sldPosition = named(new PositionSlider(fraPreview), "sldPosition");
    sldPosition->setToolTip(QStringLiteral("現在の位置"));
    sldPosition->setRange(0, 0);
    cmdPrev = named(new QPushButton(fraPreview), "cmdPrev");
    cmdPrev->setToolTip(QStringLiteral("先頭に戻る"));
    cmdPlay = named(new QPushButton(fraPreview), "cmdPlay");
    cmdPlay->setToolTip(QStringLiteral("再生/一時停止"));
    cmdStop = named(new QPushButton(fraPreview), "cmdStop");
    cmdStop->setToolTip(QStringLiteral("停止"));
    for (QPushButton* button : {cmdPrev, cmdPlay, cmdStop}) {
        button->setIconSize(QSize(16, 15));
    }

    place(drvDrive, 120, 120, 2415, 300);
    place(dirDirectory, 120, 480, 2415, 1770);
    place(filFile, 2600, 195, 2385, 2070);
    place(fraMIDIInfo, 5045, 0, 2295, 2265);
    place(lblFormat, 240, 345, 1095, 255);
    place(txtFormat, 1320, 360, 735, 180);
    place(lblTrack, 240, 650, 1095, 255);
    place(txtTrack, 1320, 650, 855, 210);
    place(lblDivision, 240, 950, 1095, 255);
    place(txtDivision, 1320, 950, 855, 180);
    place(lblTime, 240, 1250, 1095, 255);
    // 105 twips wider than designed: "00:00.000" needs them in the Japanese UI font.
    place(txtTime, 1320, 1250, 960, 210);
    place(lblCopyright, 240, 1560, 1095, 255);
    place(txtCopyright, 240, 1800, 1935, 270);
    place(lblFileName, 240, 2400, 1575, 255);
    place(txtFileName, 240, 2640, 5175, 270);
    place(lblConvFileName, 240, 3000, 1575, 255);
    place(txtConvFileName, 240, 3240, 5175, 270);
    place(cmdReLoad, 5640, 2520, 1575, 375);
    place(cmdConv, 5640, 2880, 1575, 375);
    place(cmdAllConv, 5640, 3240, 1575, 375);
    place(fraPreview, 120, 3720, 7215, 1215);
    place(lblP_Tempo, 120, 370, 615, 255);
    place(lblTempo, 840, 360, 615, 285);
    place(lblP_Time, 1560, 370, 495, 255);
    place(lblPosition, 2160, 360, 1335, 285);
    place(lblStatus, 3720, 360, 3255, 285);
    place(sldPosition, 120, 720, 3495, 375);
    place(cmdPrev, 3720, 720, 1095, 375);
    place(cmdPlay, 4800, 720, 1095, 375);
    place(cmdStop, 5880, 720, 1095, 375);
    setClientSize(kWideClientWidth, kTallClientHeight);

    // The text boxes take the menu's shortcuts to the menu (Ctrl+C converts
    // rather than copies) and Enter in the title box converts.
    for (QLineEdit* box :
         {txtFileName, txtConvFileName, txtFormat, txtTrack, txtDivision, txtTime, txtCopyright}) {
        box->installEventFilter(this);
    }
    sldPosition->installEventFilter(this); // its mouse buttons
    nameControls();
}

/// What a screen reader says for each control, and Tab in reading order: the left
/// column, the file list, the information panel, the name and the title with their
/// buttons, then the player.
void frmMain::nameControls()
{
    // A drop-down list is named by its label on this desktop (its own name is the
    // entry it shows). The drive list has no label on screen: it gets one for
    // screen readers alone.
    QLabel* driveLabel = label(drvDrive->parentWidget(), "lblDrive", QStringLiteral("ドライブ"));
    driveLabel->setBuddy(drvDrive);
    driveLabel->hide();
    dirDirectory->setAccessibleName(QStringLiteral("フォルダ"));
    filFile->setAccessibleName(QStringLiteral("MIDIファイル"));
    // Each information field is named by the label beside it, not by the panel.
    lblFormat->setBuddy(txtFormat);
    lblTrack->setBuddy(txtTrack);
    lblDivision->setBuddy(txtDivision);
    lblTime->setBuddy(txtTime);
    lblCopyright->setBuddy(txtCopyright);
    sldPosition->setAccessibleName(QStringLiteral("演奏位置"));
    // A picture says nothing to a screen reader: the button is named by its tooltip.
    for (QPushButton* button : {cmdPrev, cmdPlay, cmdStop}) {
        button->setAccessibleName(button->toolTip());
    }
    SetTabOrder({drvDrive, dirDirectory, filFile, txtFormat, txtTrack, txtDivision, txtTime, txtCopyright,
                 txtFileName, txtConvFileName, cmdReLoad, cmdConv, cmdAllConv, sldPosition, cmdPrev, cmdPlay,
                 cmdStop});
}

void frmMain::createMenus()
{
    QMenuBar* bar = menuBar();
    mnuFile = named(bar->addMenu(QStringLiteral("ファイル(&F)")), "mnuFile");
    mnuExit = item(mnuFile, "mnuExit", QStringLiteral("閉じる(&X)"), QKeySequence(Qt::CTRL | Qt::Key_X));

    mnuEdit = named(bar->addMenu(QStringLiteral("編集(&E)")), "mnuEdit");
    mnuReLoad = item(mnuEdit, "mnuReLoad", QStringLiteral("再読み込み(&R)"));
    mnuAllConv =
        item(mnuEdit, "mnuAllConv", QStringLiteral("すべて変換(&A)..."), QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuConv = item(mnuEdit, "mnuConv", QStringLiteral("変換(&C)"), QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuReview =
        item(mnuEdit, "mnuReview", QStringLiteral("変換一覧(&L)..."), QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuUndo = item(mnuEdit, "mnuUndo", QStringLiteral("変換を元に戻す(&U)..."));
    mnuBar3 = separator(mnuEdit, "mnuBar3");
    mnuEdit_Play = item(mnuEdit, "mnuEdit_Play", QStringLiteral("再生(&P)"));
    mnuEdit_Pause = item(mnuEdit, "mnuEdit_Pause", QStringLiteral("一時停止(&A)"));
    mnuEdit_Stop = item(mnuEdit, "mnuEdit_Stop", QStringLiteral("停止(&S)"));
    mnuBar4 = separator(mnuEdit, "mnuBar4");
    mnuUsePlayer = item(mnuEdit, "mnuUsePlayer", QStringLiteral("外部MIDIプレイヤーで再生(&O)"));
    mnuBar5 = separator(mnuEdit, "mnuBar5");
    mnuDel = item(mnuEdit, "mnuDel", QStringLiteral("ファイルの削除(&D)"));
    setPlayItemsVisible(false);

    mnuOption = named(bar->addMenu(QStringLiteral("オプション(&O)")), "mnuOption");
    mnuFront = item(mnuOption, "mnuFront", QStringLiteral("常に手前に表示(&F)"));
    mnuShowMIDIInfo = item(mnuOption, "mnuShowMIDIInfo", QStringLiteral("MIDI情報を表示(&M)"));
    mnuPreview = item(mnuOption, "mnuPreview", QStringLiteral("MIDI プレイヤーを表示(&P)"),
                      QKeySequence(Qt::CTRL | Qt::Key_P));
    for (QAction* option : {mnuFront, mnuShowMIDIInfo, mnuPreview}) {
        option->setCheckable(true);
    }
    mnuBar2 = separator(mnuOption, "mnuBar2");
    mnuSet = item(mnuOption, "mnuSet", QStringLiteral("設定(&E)..."), QKeySequence(Qt::CTRL | Qt::Key_E));

    mnuHelp = named(bar->addMenu(QStringLiteral("ヘルプ(&H)")), "mnuHelp");
    mnuShowHelp = item(mnuHelp, "mnuShowHelp", QStringLiteral("ヘルプの表示(&S)..."),
                       QKeySequence(Qt::CTRL | Qt::Key_H));
    mnuShowHelp->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_H), QKeySequence(Qt::Key_F1)});
    mnuBar1 = separator(mnuHelp, "mnuBar1");
    mnuVer = item(mnuHelp, "mnuVer", QStringLiteral("バージョン情報(&V)..."));

    // F10 opens the menu bar, as on the desktops: the keyboard's way into the menus.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this,
            [this] { menuBar()->setActiveAction(mnuFile->menuAction()); });
    addAction(menuKey);
}

void frmMain::connectEvents()
{
    connect(drvDrive, &DriveList::Change, this, &frmMain::drvDrive_Change);
    connect(dirDirectory, &FolderList::Change, this, &frmMain::dirDirectory_Change);
    connect(dirDirectory, &FolderList::folderChosen, this, &frmMain::dirDirectory_DblClick);
    connect(filFile, &FileList::Click, this, &frmMain::filFile_Click);
    connect(filFile, &FileList::DblClick, this, &frmMain::filFile_DblClick);
    connect(filFile, &FileList::MouseDown, this, &frmMain::filFile_MouseDown);
    connect(filFile, &FileList::OLEDragDrop, this, &frmMain::filFile_OLEDragDrop);
    connect(filFile, &FileList::KeyDown, this, &frmMain::filFile_KeyDown);
    connect(cmdReLoad, &QPushButton::clicked, this, &frmMain::cmdReLoad_Click);
    connect(cmdConv, &QPushButton::clicked, this, &frmMain::cmdConv_Click);
    connect(cmdAllConv, &QPushButton::clicked, this, &frmMain::cmdAllConv_Click);
    connect(cmdPlay, &QPushButton::clicked, this, &frmMain::cmdPlay_Click);
    connect(cmdPrev, &QPushButton::clicked, this, &frmMain::cmdPrev_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
    connect(sldPosition, &QSlider::actionTriggered, this, &frmMain::sldPosition_Scroll);

    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmMain::mnuEdit_Click);
    connect(mnuReLoad, &QAction::triggered, this, &frmMain::cmdReLoad_Click);
    connect(mnuConv, &QAction::triggered, this, &frmMain::cmdConv_Click);
    connect(mnuAllConv, &QAction::triggered, this, &frmMain::cmdAllConv_Click);
    connect(mnuReview, &QAction::triggered, this, &frmMain::mnuReview_Click);
    connect(mnuUndo, &QAction::triggered, this, &frmMain::mnuUndo_Click);
    connect(mnuShowHelp, &QAction::triggered, this, &frmMain::mnuShowHelp_Click);
    connect(mnuVer, &QAction::triggered, this, &frmMain::mnuVer_Click);
    connect(mnuEdit_Play, &QAction::triggered, this, &frmMain::cmdPlay_Click);
    connect(mnuEdit_Pause, &QAction::triggered, this, &frmMain::cmdPlay_Click);
    connect(mnuEdit_Stop, &QAction::triggered, this, &frmMain::cmdStop_Click);
    connect(mnuUsePlayer, &QAction::triggered, this, &frmMain::mnuUsePlayer_Click);
    connect(mnuDel, &QAction::triggered, this, [this] { filFile_KeyDown(Qt::Key_Delete, Qt::NoModifier); });
    connect(mnuSet, &QAction::triggered, this, &frmMain::mnuSet_Click);
    // Qt ticks a checkable item before it reports the click; the click procedures
    // turn the option over themselves (the load step runs them too), so the tick
    // is taken back first.
    const auto option = [this](QAction* action, void (frmMain::*click)()) {
        connect(action, &QAction::triggered, this, [this, action, click](bool checked) {
            action->setChecked(!checked);
            (this->*click)();
        });
    };
    option(mnuFront, &frmMain::mnuFront_Click);
    option(mnuShowMIDIInfo, &frmMain::mnuShowMIDIInfo_Click);
    option(mnuPreview, &frmMain::mnuPreview_Click);
}

int frmMain::toPixelsX(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

int frmMain::toPixelsY(int twips) const
{
    return qRound(twips * logicalDpiY() / 1440.0);
}

void frmMain::place(QWidget* control, int left, int top, int width, int height)
{
    m_places[control] = QRect(left, top, width, height);
    control->setGeometry(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

void frmMain::setLeft(QWidget* control, int left)
{
    const QRect r = m_places.value(control);
    place(control, left, r.top(), r.width(), r.height());
}

void frmMain::setWidth(QWidget* control, int width)
{
    const QRect r = m_places.value(control);
    place(control, r.left(), r.top(), width, r.height());
}

void frmMain::setClientSize(int width, int height)
{
    m_clientWidth = width;
    m_clientHeight = height;
    const QSize client(toPixelsX(width), toPixelsY(height));
    centralWidget()->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void frmMain::applyInfoPanelLayout(bool wide)
{
    fraMIDIInfo->setVisible(wide);
    setClientSize(wide ? kWideClientWidth : kNarrowClientWidth, m_clientHeight);
    setWidth(filFile, wide ? 2385 : 2450);
    for (QPushButton* button : {cmdReLoad, cmdConv, cmdAllConv}) {
        setLeft(button, wide ? 5640 : 3400);
    }
    for (QLineEdit* box : {txtConvFileName, txtFileName}) {
        setWidth(box, wide ? 5175 : 3000);
    }
    setWidth(fraPreview, wide ? 7215 : 4900);
    setLeft(lblPosition, wide ? 2160 : 170);
    setWidth(lblPosition, wide ? 1335 : 1200);
    setLeft(sldPosition, wide ? 120 : 90);
    setWidth(sldPosition, wide ? 3495 : 1385);
    setLeft(lblStatus, wide ? 3720 : 1470);
    setLeft(cmdPrev, wide ? 3720 : 1470);
    setLeft(cmdPlay, wide ? 4800 : 2550);
    setLeft(cmdStop, wide ? 5880 : 3630);
    for (QLabel* tempo : {lblP_Tempo, lblP_Time, lblTempo}) {
        tempo->setVisible(wide);
    }
}

void frmMain::mnuShowMIDIInfo_Click()
{
    const bool wide = !mnuShowMIDIInfo->isChecked();
    mnuShowMIDIInfo->setChecked(wide);
    applyInfoPanelLayout(wide);
}

void frmMain::mnuPreview_Click()
{
    const bool tall = !mnuPreview->isChecked();
    setClientSize(m_clientWidth, tall ? kTallClientHeight : kShortClientHeight);
    mnuPreview->setChecked(tall);
}

void frmMain::mnuFront_Click()
{
    const bool front = !mnuFront->isChecked();
    SetTopmost(*this, front);
    mnuFront->setChecked(front);
}

void frmMain::setPicture(QPushButton* button, int number)
{
    button->setIcon(ButtonPicture(number));
    button->setProperty("picture", number);
}

void frmMain::setPlayItemsVisible(bool visible)
{
    for (QAction* action : {mnuEdit_Play, mnuEdit_Stop, mnuEdit_Pause, mnuBar4}) {
        action->setVisible(visible);
    }
}

} // namespace calvane
