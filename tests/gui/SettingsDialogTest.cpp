// The settings dialog over the main window, driven through its tabs, boxes, buttons
// and keys: what it shows for the stored values, the enabling rules, the two path
// checks by OK and by a tab change, the device list and a device change while a
// file plays, the ways of closing, and the real pickers with Qt's texts in Japanese.

#include "MainWindowFixture.h"
#include "gui/desktop/QtPickers.h"
#include "gui/desktop/QtTranslation.h"
#include "gui/frmEdit.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>

#include <functional>
#include <utility>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kNoFolder = QStringLiteral("設定: 指定したフォルダが見つかりません");
const QString kNoFile = QStringLiteral("設定: 指定したファイルが見つかりません");

class SettingsDialogTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        folder = dir.root();
        file = dir.write(QStringLiteral("player"), "#!/bin/sh\n");
        QDir().mkpath(dir.path(QStringLiteral(".hidden")));
        hiddenFile = dir.write(QStringLiteral(".player"), "#!/bin/sh\n");
    }

    /// Opens the dialog over the started window with Ctrl+E.
    frmEdit& open()
    {
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        dialog = window->editWindow();
        EXPECT_NE(dialog, nullptr);
        // Activation arrives later (a transient child already counts as active for qWaitForWindowActive).
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog && dialog->isActiveWindow(); }));
        return *dialog;
    }

    /// A box or option is clicked on its mark, a button in its middle.
    void click(QAbstractButton* button)
    {
        const bool mark = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
        QTest::mouseClick(button, Qt::LeftButton, {},
                          mark ? QPoint(6, button->height() / 2) : button->rect().center());
    }
    void clickTab(int index)
    {
        QTest::mouseClick(dialog->TabEdit, Qt::LeftButton, {}, dialog->TabEdit->tabRect(index).center());
    }
    void type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    /// The tab selected and the page in front, e.g. "tab 0 page 0".
    QString shown() const
    {
        return QStringLiteral("tab %1 page %2")
            .arg(dialog->TabEdit->currentIndex())
            .arg(dialog->fratabStack->currentIndex());
    }
    /// The boxes and options ticked, in the order of the pages.
    QString ticked() const
    {
        QStringList names;
        for (const QFrame* page : dialog->fratab) {
            for (const QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
                if (b->isChecked()) {
                    names << b->objectName();
                }
            }
        }
        return names.join(u' ');
    }
    /// The controls the enabling rules turn off, when they are off.
    QString disabled() const
    {
        QStringList names;
        const QWidget* controls[] = {
            dialog->chkdel,         dialog->txtPath,    dialog->cmdSearch,   dialog->chkSaveLastFolder,
            dialog->chkNoMIDITitle, dialog->txtExePath, dialog->cmdExeSearch};
        for (const QWidget* w : controls) {
            if (!w->isEnabled()) {
                names << w->objectName();
            }
        }
        return names.join(u' ');
    }
    static bool looksUsable(const QLineEdit* box)
    {
        return box->palette().color(QPalette::Base) == QApplication::palette().color(QPalette::Base) &&
               box->palette().color(QPalette::Base) != QApplication::palette().color(QPalette::Button);
    }
    QStringList devices() const
    {
        QStringList out;
        for (int i = 0; i < dialog->cmbMIDIDevice->count(); ++i) {
            out << dialog->cmbMIDIDevice->itemText(i);
        }
        return out;
    }

    QString folder;
    QString file;
    QString hiddenFile;
    QPointer<frmEdit> dialog;
};

TEST_F(SettingsDialogTest, LoadShowsTheStoredValuesWithTheEnablingRulesApplied)
{
    struct Case
    {
        const char* name;
        std::function<void(Settings&)> stored;
        QString ticked;
        QString disabled;
    };
    const Case cases[] = {
        {"defaults", [](Settings&) {},
         QStringLiteral(
             "optDClick(0) optDel(0) chkdel chkAppointFolder chkSaveLastFolder chkLastSpace chkSpace"),
         QStringLiteral("chkdel txtPath cmdSearch txtExePath cmdExeSearch")},
        {"every value turned over",
         [&](Settings& s) {
             s.ErrSkip = s.NoMIDITitle = s.Start = true;
             s.Space = s.LastSpace = false;
             s.SaveLastFolder = 0;
             s.Del = 1;
             s.chkDel = 0;
             s.DClick = 1;
             s.UsePlayer = 1;
             s.Repeat = 1;
             s.FastFolderPath = folder;
             s.ExePath = file;
         },
         QStringLiteral(
             "optDClick(1) optDel(1) chkAppointFolder chkStart chkErrSkip chkNoMIDITitle chkUsePlayer "
             "chkRepeat"),
         QStringLiteral("chkNoMIDITitle")},
        {"no start folder", [](Settings& s) { s.AppointFolder = 0; },
         QStringLiteral("optDClick(0) optDel(0) chkdel chkSaveLastFolder chkLastSpace chkSpace"),
         QStringLiteral("chkdel txtPath cmdSearch chkSaveLastFolder txtExePath cmdExeSearch")},
        {"a box value other than 1 shows clear",
         [](Settings& s) {
             s.AppointFolder = 2;
             s.chkDel = -1;
             s.Repeat = 7;
         },
         QStringLiteral("optDClick(0) optDel(0) chkSaveLastFolder chkLastSpace chkSpace"),
         QStringLiteral("chkdel txtPath cmdSearch chkSaveLastFolder txtExePath cmdExeSearch")},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.settings = Settings();
        c.stored(state.settings);
        const Settings before = state.settings;
        open();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("設定"));
        EXPECT_EQ(ticked(), c.ticked);
        EXPECT_EQ(disabled(), c.disabled);
        EXPECT_EQ(looksUsable(dialog->txtPath), dialog->txtPath->isEnabled());
        EXPECT_EQ(looksUsable(dialog->txtExePath), dialog->txtExePath->isEnabled());
        EXPECT_EQ(dialog->txtPath->text(), before.FastFolderPath);
        EXPECT_EQ(dialog->txtExePath->text(), before.ExePath);
        EXPECT_EQ(shown(), QStringLiteral("tab 0 page 0"));
        EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(dialog.isNull());
        EXPECT_EQ(state.settings, before);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsDialogTest, ADoubleClickOrDeletionValueThatNamesNoOptionFailsTheLoad)
{
    for (auto stored : {+[](Settings& s) { s.DClick = 2; }, +[](Settings& s) { s.Del = -1; }}) {
        start();
        stored(state.settings);
        // The menu's procedure itself: an end thrown through Qt's key handling would leak
        // what Qt holds on the way (the real program ends there).
        EXPECT_THROW(window->mnuSet_Click(), ProgramEnded);
        ASSERT_EQ(reporter.reports.size(), 1u);
        EXPECT_EQ(reporter.reports[0].number, 340);
        EXPECT_EQ(reporter.reports[0].procedure, QStringLiteral("frmEdit.Form_Load"));
        reporter.reports.clear();
        window.reset();
    }
}

TEST_F(SettingsDialogTest, ClicksApplyTheEnablingRules)
{
    start(); // loads the settings file: the values below come after it
    state.settings.FastFolderPath = folder;
    open();
    const std::pair<QAbstractButton*, QString> page0[] = {
        {dialog->chkSaveLastFolder, QStringLiteral("chkdel txtExePath cmdExeSearch")},
        {dialog->chkAppointFolder,
         QStringLiteral("chkdel txtPath cmdSearch chkSaveLastFolder txtExePath cmdExeSearch")},
        {dialog->chkAppointFolder, QStringLiteral("chkdel txtExePath cmdExeSearch")},
        {dialog->chkSaveLastFolder, QStringLiteral("chkdel txtPath cmdSearch txtExePath cmdExeSearch")},
    };
    for (const auto& [box, off] : page0) {
        click(box);
        EXPECT_EQ(disabled(), off) << box->objectName().toStdString();
        EXPECT_EQ(looksUsable(dialog->txtPath), dialog->txtPath->isEnabled());
    }
    click(dialog->optDel[1]);
    EXPECT_TRUE(dialog->chkdel->isEnabled());
    click(dialog->optDel[0]);
    EXPECT_FALSE(dialog->chkdel->isEnabled());

    clickTab(1);
    click(dialog->chkErrSkip);
    EXPECT_FALSE(dialog->chkNoMIDITitle->isEnabled());
    click(dialog->chkErrSkip);
    EXPECT_TRUE(dialog->chkNoMIDITitle->isEnabled());
    clickTab(2);
    click(dialog->chkUsePlayer);
    EXPECT_TRUE(dialog->txtExePath->isEnabled() && dialog->cmdExeSearch->isEnabled());
    EXPECT_TRUE(looksUsable(dialog->txtExePath));
    EXPECT_EQ(shown(), QStringLiteral("tab 2 page 2"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsDialogTest, OkChecksTheFolderFirstThenTheProgramAndShowsTheFieldThatFailed)
{
    struct Case
    {
        std::int16_t appoint, saveLast;
        QString path;
        std::int16_t usePlayer;
        QString exe;
        QString refused; ///< the box, or empty when OK closes
    };
    const QString missing = dir.path(QStringLiteral("missing"));
    const QString hiddenFolder = dir.path(QStringLiteral(".hidden"));
    const Case cases[] = {
        {1, 0, {}, 0, {}, kNoFolder},
        {1, 0, missing, 0, {}, kNoFolder},
        {1, 0, hiddenFolder, 0, {}, kNoFolder},
        {1, 0, hiddenFile, 0, {}, kNoFolder},
        {1, 0, folder, 0, {}, {}},
        {1, 0, folder + u'/', 0, {}, {}},
        {1, 0, file, 0, {}, {}}, // an ordinary file passes the folder check
        {1, 1, missing, 0, {}, {}},
        {0, 0, {}, 0, {}, {}},
        {1, 0, folder, 1, {}, kNoFile},
        {1, 0, folder, 1, missing, kNoFile},
        {1, 0, folder, 1, folder, kNoFile},
        {1, 0, folder, 1, hiddenFile, kNoFile},
        {1, 0, folder, 1, QStringLiteral("/dev/null"), kNoFile},
        {1, 0, folder, 1, file, {}},
        {1, 0, folder, 0, missing, {}},
        {1, 0, missing, 1, missing, kNoFolder},   // the folder first, and only one message
        {1, 0, QStringLiteral("sub"), 0, {}, {}}, // found from the folder the program started in
    };
    QDir(music).mkdir(QStringLiteral("sub"));
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE((c.path + u' ' + c.exe).toStdString());
        boxes.shown.clear();
        state.settings = Settings();
        state.settings.AppointFolder = c.appoint;
        state.settings.SaveLastFolder = c.saveLast;
        state.settings.FastFolderPath = c.path;
        state.settings.UsePlayer = c.usePlayer;
        state.settings.ExePath = c.exe;
        state.settings.Repeat = 1;
        open();
        click(dialog->chkRepeat); // an edit that only OK keeps
        click(dialog->cmdOK);
        if (c.refused.isEmpty()) {
            EXPECT_TRUE(boxes.shown.empty());
            QTRY_VERIFY(dialog.isNull());
            EXPECT_EQ(state.settings.Repeat, 0);
            // Stored as the folder it named: the next start opens only an absolute path.
            EXPECT_EQ(state.settings.FastFolderPath,
                      c.path.isEmpty() || c.path.startsWith(u'/') ? c.path : music + u'/' + c.path);
            continue;
        }
        ASSERT_EQ(shownBoxes(), QStringList{c.refused});
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
        QLineEdit* field = c.refused == kNoFolder ? dialog->txtPath : dialog->txtExePath;
        EXPECT_EQ(shown(),
                  c.refused == kNoFolder ? QStringLiteral("tab 0 page 0") : QStringLiteral("tab 2 page 2"));
        EXPECT_TRUE(field->hasFocus());
        EXPECT_EQ(field->selectedText(), field->text());
        EXPECT_EQ(state.settings.Repeat, 1);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(dialog.isNull());
    }
}

TEST_F(SettingsDialogTest, LeavingAPageWithABadPathComesBackOnceAndTheNextTabClickIsServed)
{
    start(); // loads the settings file: the values below come after it
    state.settings.SaveLastFolder = 0;
    state.settings.FastFolderPath = dir.path(QStringLiteral("missing"));
    state.settings.UsePlayer = 1;
    open();

    clickTab(1); // the programmatic return to tab 0 raises no second message
    EXPECT_EQ(shownBoxes(), QStringList{kNoFolder});
    EXPECT_EQ(shown(), QStringLiteral("tab 0 page 0"));
    EXPECT_TRUE(dialog->txtPath->hasFocus());
    QTest::keyClick(dialog->txtPath, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); // to tab 2
    EXPECT_EQ(shownBoxes(), QStringList({kNoFolder, kNoFolder}));
    EXPECT_EQ(shown(), QStringLiteral("tab 0 page 0"));

    type(dialog->txtPath, folder);
    clickTab(2); // the program is missing: its page comes to the front, tab 2 stays selected
    EXPECT_EQ(shownBoxes().last(), kNoFile);
    EXPECT_EQ(shown(), QStringLiteral("tab 2 page 2"));
    EXPECT_TRUE(dialog->txtExePath->hasFocus());
    type(dialog->txtExePath, file);
    QTest::keyClick(dialog->txtExePath, Qt::Key_Tab, Qt::ControlModifier); // round to tab 0
    EXPECT_EQ(shown(), QStringLiteral("tab 0 page 0"));
    clickTab(1);
    EXPECT_EQ(shown(), QStringLiteral("tab 1 page 1"));

    // The start folder goes away while another page is in front: its page comes back.
    QDir().mkpath(dir.path(QStringLiteral("gone")));
    clickTab(0);
    type(dialog->txtPath, dir.path(QStringLiteral("gone")));
    clickTab(2);
    QDir().rmdir(dir.path(QStringLiteral("gone")));
    clickTab(1);
    EXPECT_EQ(shownBoxes().last(), kNoFolder);
    EXPECT_EQ(shown(), QStringLiteral("tab 0 page 0"));
    EXPECT_TRUE(dialog->txtPath->hasFocus());
    EXPECT_EQ(boxes.shown.size(), 4u);
}

TEST_F(SettingsDialogTest, TheDeviceListHoldsTheSynthesizerAndEveryPortAndKeepsAStoredEntryOnlyByItsName)
{
    struct Case
    {
        QStringList ports;
        QString name;
        std::int16_t num;
        int selected;
    };
    const QStringList two{QStringLiteral("Port A"), QStringLiteral("Port B")};
    const Case cases[] = {
        {{}, QStringLiteral("MIDI Mapper"), 0, 0},  // the stored defaults, whatever the synthesizer is called
        {two, QStringLiteral("MIDI Mapper"), 0, 0}, //
        {two, QStringLiteral("Port B"), 2, 2},      //
        {two, QStringLiteral("Port A"), 2, 0},      // the ports changed places
        {two, QStringLiteral("Port B"), 3, 0},      // the port is gone
        {{}, QStringLiteral("Port A"), 1, 0},       //
        {two, QStringLiteral("Port A"), -1, 0},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + ' ' + std::to_string(c.num));
        outputs.devices = {QStringLiteral("内蔵シンセ"), c.ports};
        state.settings.DeviceName = c.name;
        state.settings.DeviceNum = c.num;
        open();
        EXPECT_EQ(devices(), QStringList{QStringLiteral("内蔵シンセ")} + c.ports);
        EXPECT_EQ(dialog->cmbMIDIDevice->currentIndex(), c.selected);
        const QString name = dialog->cmbMIDIDevice->currentText();
        click(dialog->cmdOK);
        QTRY_VERIFY(dialog.isNull());
        EXPECT_EQ(state.settings.DeviceNum, c.selected);
        EXPECT_EQ(state.settings.DeviceName, name);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsDialogTest, AnotherDeviceStopsWhatPlaysAndLeavesAPausedFileAsItIs)
{
    struct Case
    {
        QString mode;
        int entry; ///< chosen in the list
        QStringList sent;
        QString status;
        int picture;
        int interval;
    };
    const QString mode = QStringLiteral("status Midi mode");
    const Case cases[] = {
        {QStringLiteral("playing"), 1,
         QStringList{mode, QStringLiteral("Stop Midi"), QStringLiteral("Seek Midi to Start")},
         QStringLiteral("デバイスが変更されました (停止中)"), 102, 0},
        {QStringLiteral("paused"), 1, QStringList{mode}, QStringLiteral("一時停止中です"), 101, 1},
        {QStringLiteral("stopped"), 1, QStringList{mode}, QStringLiteral("一時停止中です"), 101, 1},
        {QStringLiteral("playing"), 0, QStringList{}, QStringLiteral("一時停止中です"), 101, 1},
    };
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    clickEntry(QStringLiteral("a.mid"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.toStdString() + ' ' + std::to_string(c.entry));
        device.setMode(c.mode);
        // Whatever the panel showed; only the halt changes it.
        window->cmdPlay->setProperty("picture", 101);
        window->lblStatus->setText(QStringLiteral("一時停止中です"));
        timer.setInterval(1);
        window->sldPosition->setValue(40000);
        state.settings.DeviceNum = 0;
        open();
        clickTab(2);
        dialog->cmbMIDIDevice->setFocus();
        if (c.entry == 1) {
            QTest::keyClick(dialog->cmbMIDIDevice, Qt::Key_Down);
        }
        device.sent.clear();
        click(dialog->cmdOK);
        QTRY_VERIFY(dialog.isNull());
        EXPECT_EQ(device.sent, c.sent);
        EXPECT_EQ(state.settings.DeviceNum, c.entry);
        EXPECT_EQ(state.settings.DeviceName,
                  c.entry == 1 ? QStringLiteral("Port A") : QStringLiteral("Synth"));
        EXPECT_EQ(window->lblStatus->text(), c.status);
        EXPECT_EQ(window->cmdPlay->property("picture").toInt(), c.picture);
        EXPECT_EQ(timer.interval(), c.interval);
        EXPECT_EQ(window->sldPosition->value(), c.picture == 102 ? 0 : 40000);
        if (c.picture == 102) {
            EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.000"));
        }
    }
}

TEST_F(SettingsDialogTest, OkTakesEveryControlWithThePickersChoicesAndEnterIsOkAlsoRightAfterAnAccessKey)
{
    start(); // loads the settings file: the values below come after it
    state.settings.FastFolderPath = folder;
    open();
    QTest::keyClick(dialog, Qt::Key_L, Qt::AltModifier); // 最後に開いたフォルダを記憶(&L)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // before the box is released
    QTRY_VERIFY(dialog.isNull());
    EXPECT_EQ(state.settings.SaveLastFolder, 0);
    EXPECT_EQ(state.settings.FastFolderPath, folder);
    window->close(); // the normal close writes it
    EXPECT_EQ(LoadSettings(ini).settings.SaveLastFolder, 0);

    start();
    pickers.answers = {music};
    open();
    const QWidget* const owner = dialog;
    click(dialog->cmdSearch);
    click(dialog->cmdSearch); // cancelled: the text stays
    EXPECT_EQ(dialog->txtPath->text(), music);
    click(dialog->optDClick[1]);
    click(dialog->optDel[1]);
    click(dialog->chkdel);
    click(dialog->chkAppointFolder);
    clickTab(1);
    for (QCheckBox* box : {dialog->chkLastSpace, dialog->chkSpace, dialog->chkStart, dialog->chkErrSkip}) {
        click(box);
    }
    clickTab(2);
    click(dialog->chkUsePlayer);
    click(dialog->cmdExeSearch); // cancelled
    pickers.answers = {file};
    click(dialog->cmdExeSearch);
    click(dialog->chkRepeat);
    QTest::keyClick(dialog->txtExePath, Qt::Key_Enter);
    QTRY_VERIFY(dialog.isNull());
    Settings expected;
    expected.DClick = 1;
    expected.Del = 1;
    expected.chkDel = 0;
    expected.AppointFolder = 0;
    expected.SaveLastFolder = 0;
    expected.FastFolderPath = music;
    expected.Space = expected.LastSpace = false;
    expected.Start = expected.ErrSkip = true;
    expected.UsePlayer = 1;
    expected.ExePath = file;
    expected.Repeat = 1;
    expected.DeviceName = QStringLiteral("Synth");
    EXPECT_EQ(state.settings, expected);
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(pickers.shown.size(), 4u);
    for (const FakePickers::Shown& shown : pickers.shown) {
        EXPECT_EQ(shown.owner, owner);
    }
    EXPECT_EQ(pickers.shown[1].kind, QStringLiteral("folder"));
    EXPECT_EQ(pickers.shown[3].kind, QStringLiteral("file"));
    EXPECT_EQ(pickers.shown[3].filter, QStringLiteral("実行ファイル (*)"));
}

TEST_F(SettingsDialogTest, EveryWayOfClosingWithoutOkKeepsTheSettingsAndGivesTheMainWindowBack)
{
    enum class Way
    {
        Cancel,
        Escape,
        CloseBox,
        EnterOnCancel,
        MainWindowClosed
    };
    for (Way way : {Way::Cancel, Way::Escape, Way::CloseBox, Way::EnterOnCancel, Way::MainWindowClosed}) {
        SCOPED_TRACE(static_cast<int>(way));
        start();
        window->mnuFront->trigger();
        const Settings before = state.settings;
        open();
        EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        int unloads = 0;
        QObject::connect(dialog, &SecondaryWindow::Unloaded, [&] { ++unloads; });
        click(dialog->optDel[1]);
        click(dialog->chkAppointFolder);
        type(dialog->txtPath, QStringLiteral("/elsewhere"));

        // The main window takes no input while the dialog is open.
        const QPoint play = window->cmdPlay->mapTo(window.get(), window->cmdPlay->rect().center());
        QTest::keyClick(window->windowHandle(), Qt::Key_E, Qt::ControlModifier);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, play);
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_FALSE(window->takesInput());

        switch (way) {
        case Way::Cancel:
            click(dialog->cmdCancel);
            break;
        case Way::Escape:
            QTest::keyClick(dialog, Qt::Key_Escape);
            break;
        case Way::CloseBox:
            dialog->windowHandle()->close();
            break;
        case Way::EnterOnCancel:
            dialog->cmdCancel->setFocus();
            QTest::keyClick(dialog->cmdCancel, Qt::Key_Return);
            break;
        case Way::MainWindowClosed:
            window->close();
            EXPECT_EQ(LoadSettings(ini).settings.Del, before.Del);
            break;
        }
        EXPECT_EQ(unloads, 1);
        QTRY_VERIFY(dialog.isNull());
        EXPECT_EQ(state.settings, before);
        if (way != Way::MainWindowClosed) {
            EXPECT_TRUE(window->takesInput());
            QTRY_VERIFY(window->isActiveWindow());
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, play);
            EXPECT_EQ(shownBoxes(),
                      QStringList{QStringLiteral("MIDIプレイヤー: MIDIファイルが指定されていません")});
        }
        boxes.shown.clear();
        window.reset();
    }
}

/// The real pickers: their titles, what they offer, a choice and a cancel.
TEST(QtPickersTest, TheFolderAndFilePickersAreTitledAndSayCancelWhenCancelled)
{
    TempDir dir;
    const QString program = dir.write(QStringLiteral("player"), "#!/bin/sh\n");
    QWidget owner;
    owner.show();
    QtPickers pickers;
    struct Seen
    {
        QString title;
        QFileDialog::FileMode mode;
        QWidget* parent;
    };
    std::vector<Seen> seen;
    // Acts on the picker once it is up: the first answer chooses, the second cancels.
    auto answer = [&](const QString& choice) {
        QTimer::singleShot(0, [&, choice] {
            auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!picker) {
                ADD_FAILURE() << "no picker";
                return;
            }
            seen.push_back({picker->windowTitle(), picker->fileMode(), picker->parentWidget()});
            if (choice.isEmpty()) {
                QTest::keyClick(picker, Qt::Key_Escape);
            } else {
                picker->selectFile(choice);
                QTest::keyClick(picker, Qt::Key_Return); // its Open or Choose button
            }
        });
    };
    answer(dir.root());
    EXPECT_EQ(pickers.ShowFolderDialog(owner), dir.root());
    answer({});
    EXPECT_EQ(pickers.ShowFolderDialog(owner), QStringLiteral("Cancel"));
    answer(program);
    EXPECT_EQ(pickers.ShowOpenDialog(owner, QStringLiteral("実行ファイル (*)")), program);
    answer({});
    EXPECT_EQ(pickers.ShowOpenDialog(owner, QStringLiteral("実行ファイル (*)")), QStringLiteral("Cancel"));
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].title, i < 2 ? QStringLiteral("フォルダの選択") : QStringLiteral("ファイルを開く"));
        EXPECT_EQ(seen[i].mode, i < 2 ? QFileDialog::Directory : QFileDialog::ExistingFile);
        EXPECT_EQ(seen[i].parent, &owner);
    }
}

/// Whether a text holds kana or kanji.
bool isJapanese(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3040 && c.unicode() <= 0x30ff) ||
               (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff);
    });
}

/// The texts of Qt's own that the user meets: a text box's menu, and the folder
/// picker's labels and buttons.
QStringList qtTexts()
{
    QStringList texts;
    QLineEdit box;
    const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    QWidget owner;
    owner.show();
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!picker) {
            ADD_FAILURE() << "no picker";
            return;
        }
        for (const char* label : {"lookInLabel", "fileNameLabel"}) {
            texts << picker->findChild<QLabel*>(QLatin1String(label))->text();
        }
        for (const QAbstractButton* button : picker->findChild<QDialogButtonBox*>()->buttons()) {
            texts << button->text();
        }
        QTest::keyClick(picker, Qt::Key_Escape);
    });
    EXPECT_EQ(QtPickers().ShowFolderDialog(owner), QStringLiteral("Cancel"));
    return texts;
}

TEST(QtTranslationTest, QtsOwnTextsAreJapaneseWithItsTranslationAndEnglishWithAWordOnStderrWithout)
{
    TempDir empty;
    const bool installed = QFileInfo::exists(QtTranslationsFolder() + QStringLiteral("/qtbase_ja.qm"));
    for (const bool fromThePlatform : {true, false}) {
        if (fromThePlatform && !installed) {
            continue; // reported below
        }
        ::testing::internal::CaptureStderr();
        const std::unique_ptr<QTranslator> translation =
            InstallQtTranslation(fromThePlatform ? QtTranslationsFolder() : empty.root());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(translation != nullptr, fromThePlatform);
        EXPECT_EQ(said.find("qtbase_ja") != std::string::npos, !fromThePlatform) << said;
        const QStringList texts = qtTexts();
        EXPECT_GE(texts.size(), 8) << texts.join(u'|').toStdString(); // seven menu items, labels, buttons
        for (const QString& text : texts) {
            EXPECT_EQ(isJapanese(text), fromThePlatform) << text.toStdString();
        }
    }
    // Once the translation is gone, Qt speaks English again.
    for (const QString& text : qtTexts()) {
        EXPECT_FALSE(isJapanese(text)) << text.toStdString();
    }
    if (!installed) {
        GTEST_SKIP() << "no qtbase_ja.qm in " << QtTranslationsFolder().toStdString()
                     << " (qt6-translations-l10n)";
    }
}

} // namespace
