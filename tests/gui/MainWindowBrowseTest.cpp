// Selecting and loading a file: clicks, reload, drops, the command line, the
// folder list, the double-click and the file list's context menu.

#include "MainWindowFixture.h"
#include "gui/widgets/ButtonPictures.h"
#include "platform/Volumes.h"

#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <functional>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kMode = QStringLiteral("status Midi mode");

QString openCommand(const QString& path)
{
    return QStringLiteral("Open \"%1\" alias Midi").arg(path);
}

TEST_F(MainWindowTest, ClickingAFileFillsThePanelBeforeTheDeviceOpensIt)
{
    addMidi(QStringLiteral("a.mid"), "Take Five");
    start();
    QString titleAtOpen;
    device.onSend = [&](const QString& command) {
        if (command.startsWith(u"Open")) {
            titleAtOpen = window->txtConvFileName->text();
        }
    };
    clickEntry(QStringLiteral("a.mid"));

    const QString path = music + QStringLiteral("/a.mid");
    EXPECT_EQ(state.CurrentMIDIPath, path);
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("a.mid"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("Take Five"));
    EXPECT_EQ(titleAtOpen, QStringLiteral("Take Five"));
    EXPECT_EQ(window->txtFormat->text(), QStringLiteral("1"));
    EXPECT_EQ(window->txtTrack->text(), QStringLiteral("1"));
    EXPECT_EQ(window->txtDivision->text(), QStringLiteral("480"));
    EXPECT_EQ(window->txtCopyright->text(), QStringLiteral("(C) Example"));
    EXPECT_EQ(window->txtTime->text(), QStringLiteral("01:23.456"));
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:00.000"));
    EXPECT_EQ(window->sldPosition->maximum(), 83456);
    EXPECT_EQ(window->sldPosition->value(), 0);
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("120"));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("MIDIファイルが指定されました (停止中)"));
    EXPECT_TRUE(device.sent.contains(QStringLiteral("Close Midi")));
    EXPECT_EQ(device.sent.indexOf(QStringLiteral("Close Midi")) + 1, device.sent.indexOf(openCommand(path)));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, LoadingAnotherFileStopsPlaybackAndSaysTheFileChanged)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "B");
    start();
    clickEntry(QStringLiteral("a.mid"));
    window->cmdPlay->setIcon(ButtonPicture(101));
    window->cmdPlay->setProperty("picture", 101);
    timer.setInterval(1);
    device.setMode(QStringLiteral("playing"));
    device.onSend = [&](const QString& command) {
        if (command == u"Stop Midi") {
            device.setMode(QStringLiteral("stopped"));
        }
    };
    device.sent.clear();

    clickEntry(QStringLiteral("b.mid"));
    EXPECT_EQ(device.sent.mid(0, 3),
              QStringList({kMode, QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}));
    EXPECT_TRUE(device.sent.contains(openCommand(music + QStringLiteral("/b.mid"))));
    EXPECT_EQ(window->cmdPlay->property("picture").toInt(), 102);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("ファイルが変更されました (停止中)"));
}

TEST_F(MainWindowTest, ReloadingThePausedFileSaysItWasReloaded)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    clickEntry(QStringLiteral("a.mid"));
    device.setMode(QStringLiteral("paused"));
    QTest::mouseClick(window->cmdReLoad, Qt::LeftButton);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("ファイルが再読み込みされました(停止中)"));

    // The text stays through a later reload while nothing plays.
    device.setMode(QStringLiteral("stopped"));
    window->mnuReLoad->trigger();
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("ファイルが再読み込みされました(停止中)"));
}

TEST_F(MainWindowTest, ReloadWithoutAFileOnlyWarns)
{
    start();
    QTest::mouseClick(window->cmdReLoad, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("MIDIファイルが指定されていません"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("再読み込み"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(device.sent.isEmpty());
}

TEST_F(MainWindowTest, AListedFileDeletedMeanwhileGivesTheTwoMessagesInOrder)
{
    const QString path = addMidi(QStringLiteral("a.mid"), "A");
    start();
    QFile::remove(path);
    clickEntry(QStringLiteral("a.mid"));
    EXPECT_EQ(shownBoxes(), QStringList({QStringLiteral("GetMIDIInfo: MIDI情報の取得に失敗しました"),
                                         QStringLiteral("デバイスエラー: MIDIファイルが見つかりません "
                                                        "(移動または削除された可能性があります)")}));
    EXPECT_EQ(boxes.shown[1].icon, MsgIcon::Critical);
    EXPECT_EQ(window->txtFormat->text(), QStringLiteral("0"));
    EXPECT_EQ(window->txtConvFileName->text(), QString());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, AFolderChangeClearsTheDisplayButLeavesThePlayerAlone)
{
    addMidi(QStringLiteral("a.mid"), "A");
    QDir(music).mkdir(QStringLiteral("sub"));
    addMidi(QStringLiteral("s.MID"), "S", music + QStringLiteral("/sub"));
    start();
    clickEntry(QStringLiteral("a.mid"));
    device.setMode(QStringLiteral("playing"));
    device.sent.clear();

    FolderList* folders = window->dirDirectory;
    const int row = [&] {
        for (int i = 0; i < folders->count(); ++i) {
            if (folders->entryPath(i) == music + QStringLiteral("/sub")) {
                return i;
            }
        }
        return -1;
    }();
    ASSERT_GT(row, 0);
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {},
                       folders->visualRect(folders->model()->index(row, 0)).center());

    EXPECT_EQ(folders->path(), music + QStringLiteral("/sub"));
    EXPECT_EQ(folders->model()->index(0, 0).data(), QStringLiteral("/")); // the ancestors from the root
    EXPECT_EQ(listed(), QStringList{QStringLiteral("s.MID")});
    EXPECT_EQ(window->txtFileName->text(), QString());
    EXPECT_EQ(window->txtTime->text(), QStringLiteral("00:00.0"));
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("0"));
    EXPECT_EQ(state.CurrentMIDIPath, music + QStringLiteral("/a.mid"));
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_EQ(state.settings.FastFolderPath, music + QStringLiteral("/sub"));
}

// A long list scrolled to its end: another folder is shown from its top, while the
// same folder read again (as after a rename) keeps its place.
TEST_F(MainWindowTest, AnotherFolderIsShownFromItsTop)
{
    const QString sub = music + QStringLiteral("/sub");
    QDir(music).mkdir(QStringLiteral("sub"));
    for (int i = 0; i < 80; ++i) {
        const QString name = QStringLiteral("%1.mid").arg(i, 2, 10, QLatin1Char('0'));
        addMidi(name, "T");
        addMidi(name, "T", sub);
    }
    start();
    FileList* files = window->filFile;
    QScrollBar* scroll = files->verticalScrollBar();
    files->setFocus();
    QTest::keyClick(files, Qt::Key_End);
    ASSERT_EQ(files->listIndex(), 79);
    const int end = scroll->value();
    ASSERT_GT(end, 0);
    files->Refresh();
    EXPECT_EQ(scroll->value(), end);

    FolderList* folders = window->dirDirectory;
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {},
                       folders->visualRect(folders->model()->index(folders->count() - 1, 0)).center());
    ASSERT_EQ(folders->path(), sub);
    QCoreApplication::processEvents(); // the list lays its entries out
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(files->indexAt(QPoint(2, 2)).row(), 0);
}

TEST_F(MainWindowTest, AFolderGoneBeforeItIsOpenedIsReportedAndTheListStays)
{
    QDir(music).mkdir(QStringLiteral("gone"));
    start();
    FolderList* folders = window->dirDirectory;
    const int row = folders->count() - 1;
    ASSERT_EQ(folders->entryPath(row), music + QStringLiteral("/gone"));
    QDir(music).rmdir(QStringLiteral("gone"));
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {},
                       folders->visualRect(folders->model()->index(row, 0)).center());
    EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("ファイル: ") + ErrorText(ErrNo::FileNotFound)});
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(folders->path(), music);
    EXPECT_TRUE(reporter.reports.empty());
}

// --- The keyboard ------------------------------------------------------------------

struct KeyRow
{
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool opens;
};

void PrintTo(const KeyRow& row, std::ostream* os)
{
    *os << row.name;
}

class FolderKeys : public MainWindowTest, public ::testing::WithParamInterface<KeyRow>
{};

// A user without a mouse leaves the start folder: Enter opens the selected folder
// as a double-click does.
TEST_P(FolderKeys, EnterOpensTheSelectedFolderAsADoubleClickDoes)
{
    QDir(music).mkdir(QStringLiteral("sub"));
    addMidi(QStringLiteral("s.mid"), "S", music + QStringLiteral("/sub"));
    start();
    FolderList* folders = window->dirDirectory;
    folders->setFocus();
    QTest::keyClick(folders, Qt::Key_Down); // from the folder shown to its first subfolder
    ASSERT_EQ(folders->entryPath(folders->currentIndex().row()), music + QStringLiteral("/sub"));
    QTest::keyClick(folders, GetParam().key, GetParam().modifiers);
    EXPECT_EQ(folders->path(), GetParam().opens ? music + QStringLiteral("/sub") : music);
    EXPECT_EQ(listed(), GetParam().opens ? QStringList{QStringLiteral("s.mid")} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(Keys, FolderKeys,
                         ::testing::Values(KeyRow{"Return", Qt::Key_Return, Qt::NoModifier, true},
                                           KeyRow{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, true},
                                           KeyRow{"Space", Qt::Key_Space, Qt::NoModifier, false}),
                         [](const ::testing::TestParamInfo<KeyRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MainWindowTest, F10OpensTheMenuBarWhereverTheFocusIs)
{
    start();
    for (QWidget* focus :
         {static_cast<QWidget*>(window->filFile), static_cast<QWidget*>(window->txtConvFileName)}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F10);
        EXPECT_EQ(QApplication::activePopupWidget(), window->mnuFile) << focus->objectName().toStdString();
        if (QWidget* popup = QApplication::activePopupWidget()) {
            QTest::keyClick(popup, Qt::Key_Escape);
        }
        QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    }
}

/// Drags data over the file list and drops it, as the platform delivers it: a
/// drop reaches the list only when it accepted the drag.
class Drop
{
public:
    explicit Drop(FileList* list) : m_list(list) {}
    /// Drags the data over the list; the offered action.
    Qt::DropAction over(const QMimeData& data)
    {
        QDragEnterEvent enter(center(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                              Qt::LeftButton, {});
        QApplication::sendEvent(m_list->viewport(), &enter);
        return enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
    }
    /// Drags `dragged` over the list and drops `dropped` (the same data but in odd cases).
    void drop(const QMimeData& dragged, const QMimeData* dropped = nullptr)
    {
        if (over(dragged) != Qt::IgnoreAction) {
            QDropEvent event(center(), Qt::CopyAction | Qt::MoveAction, dropped ? dropped : &dragged,
                             Qt::LeftButton, {});
            QApplication::sendEvent(m_list->viewport(), &event);
        }
    }

private:
    QPoint center() const { return m_list->viewport()->rect().center(); }
    FileList* m_list;
};

std::unique_ptr<QMimeData> files(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data->setUrls(urls);
    return data;
}

TEST_F(MainWindowTest, DroppingFilesSelectsTheFirstThroughTheFolderChain)
{
    const QString other = dir.root() + QStringLiteral("/other");
    QDir().mkpath(other);
    const QString song = addMidi(QStringLiteral("Song.MID"), "Song", other);
    const QString second = addMidi(QStringLiteral("second.mid"), "Second", other);
    start();
    Drop drop(window->filFile);
    const auto data = files({song, second, addMidi(QStringLiteral("third.mid"), "Third")});
    drop.drop(*data);

    EXPECT_EQ(window->dirDirectory->path(), other);
    EXPECT_EQ(window->filFile->listIndex(), 1); // "second.mid" sorts first
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("Song"));
    EXPECT_EQ(state.CurrentMIDIPath, song);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, DropsThatAreNoMidiFilesAreRefused)
{
    dir.write(QStringLiteral("notes.txt"), "x");
    dir.write(QStringLiteral("song.rmid"), "x");
    start();
    Drop drop(window->filFile);
    QMimeData text;
    text.setText(QStringLiteral("just text"));
    EXPECT_EQ(drop.over(text), Qt::IgnoreAction);
    EXPECT_EQ(drop.over(*files({dir.path(QStringLiteral("notes.txt"))})), Qt::CopyAction);
    drop.drop(text);
    EXPECT_TRUE(boxes.shown.empty());

    // Data that holds no file list by the time it is dropped.
    drop.drop(*files({dir.path(QStringLiteral("notes.txt"))}), &text);
    drop.drop(*files({dir.path(QStringLiteral("notes.txt"))}));
    EXPECT_EQ(shownBoxes(), QStringList({QStringLiteral("選択エラー: MIDIファイルを指定してください"),
                                         QStringLiteral("選択エラー: MIDIファイルを選択してください")}));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);

    // ".rmid" passes the three-letter test; the lists move, but the list does not show it.
    drop.drop(*files({dir.path(QStringLiteral("song.rmid"))}));
    EXPECT_EQ(window->dirDirectory->path(), dir.root());
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(MainWindowTest, TheCommandLineFileIsSelectedAndLoaded)
{
    const QString other = dir.root() + QStringLiteral("/My Music");
    QDir().mkpath(other);
    const QString path = addMidi(QStringLiteral("a b.mid"), "Blank", other);
    addMidi(QStringLiteral("c.mid"), "C", other);
    start(path);
    EXPECT_EQ(window->dirDirectory->path(), other);
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("a b.mid"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("Blank"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, ARelativeCommandLineFileIsExpandedAndOtherNamesAreRefused)
{
    addMidi(QStringLiteral("x.mid"), "X");
    start(QStringLiteral("./x.mid"));
    EXPECT_EQ(state.CurrentMIDIPath, music + QStringLiteral("/x.mid"));
    window.reset();

    start(QStringLiteral("missing.mid"));
    start(music);
    EXPECT_EQ(shownBoxes(), QStringList({QStringLiteral("選択エラー: MIDIファイルを選択してください"),
                                         QStringLiteral("選択エラー: MIDIファイルを選択してください")}));
    EXPECT_EQ(window->filFile->listIndex(), -1);
}

TEST_F(MainWindowTest, DoubleClickActsByTheDoubleClickSetting)
{
    addMidi(QStringLiteral("a.mid"), "Renamed");
    addMidi(QStringLiteral("b.mid"), "Other");
    device.setMode(
        QStringLiteral("stopped")); // the device takes the file: a double-click to play raises no error
    start();
    for (const std::int16_t ignored : {0, 2}) {
        state.settings.DClick = ignored;
        doubleClickEntry(QStringLiteral("a.mid"));
        EXPECT_EQ(listed(), QStringList({QStringLiteral("a.mid"), QStringLiteral("b.mid")})) << ignored;
    }
    state.settings.DClick = 1;
    doubleClickEntry(QStringLiteral("a.mid"));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("b.mid"), QStringLiteral("Renamed.mid")}));
    EXPECT_TRUE(boxes.shown.empty());
}

struct MenuState
{
    QStringList visible;
    QStringList enabled;
};

MenuState menuState(const QMenu& menu)
{
    MenuState s;
    for (QAction* item : menu.actions()) {
        if (item->isVisible()) {
            s.visible.append(item->objectName());
            if (item->isEnabled() && !item->isSeparator()) {
                s.enabled.append(item->objectName());
            }
        }
    }
    return s;
}

TEST_F(MainWindowTest, TheRightButtonShowsTheEditMenuWithThePlayerItems)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    clickEntry(QStringLiteral("a.mid"));
    device.setMode(QStringLiteral("playing"));

    MenuState popped;
    QTimer::singleShot(0, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            popped = menuState(*popup);
            popup->close();
        }
    });
    clickEntry(QStringLiteral("a.mid"), Qt::RightButton);
    EXPECT_EQ(popped.visible, QStringList({"mnuReLoad", "mnuAllConv", "mnuConv", "mnuReview", "mnuUndo",
                                           "mnuBar3", "mnuEdit_Play", "mnuEdit_Pause", "mnuEdit_Stop",
                                           "mnuBar4", "mnuUsePlayer", "mnuBar5", "mnuDel"}));
    EXPECT_EQ(popped.enabled, QStringList({"mnuReLoad", "mnuAllConv", "mnuConv", "mnuReview", "mnuUndo",
                                           "mnuEdit_Pause", "mnuEdit_Stop", "mnuDel"}));
    // Hidden again afterwards: the menu bar's Edit menu never shows them.
    EXPECT_FALSE(window->mnuEdit_Play->isVisible());
    EXPECT_FALSE(window->mnuBar4->isVisible());
    EXPECT_EQ(window->filFile->listIndex(), 0);
}

TEST_F(MainWindowTest, TheEditMenuIsEnabledByTheSelectionAndThePlayerMode)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    const auto enabledWith = [&](const QString& mode) {
        device.setMode(mode);
        window->mnuEdit_Click();
        // Hidden items read as disabled: show them as the pop-up does.
        for (QAction* item : {window->mnuEdit_Play, window->mnuEdit_Pause, window->mnuEdit_Stop}) {
            item->setVisible(true);
        }
        QStringList enabled;
        for (QAction* item : window->mnuEdit->actions()) {
            if (item->isEnabled() && !item->isSeparator()) {
                enabled.append(item->objectName());
            }
        }
        for (QAction* item : {window->mnuEdit_Play, window->mnuEdit_Pause, window->mnuEdit_Stop}) {
            item->setVisible(false);
        }
        return enabled;
    };
    // The review list and the undo window open without a selection.
    EXPECT_EQ(enabledWith(QStringLiteral("playing")), QStringList({"mnuReview", "mnuUndo"}));

    clickEntry(QStringLiteral("a.mid"));
    const QStringList always{"mnuReLoad", "mnuAllConv", "mnuConv", "mnuReview", "mnuUndo"};
    EXPECT_EQ(enabledWith(QStringLiteral("playing")),
              always + QStringList({"mnuEdit_Pause", "mnuEdit_Stop", "mnuDel"}));
    EXPECT_EQ(enabledWith(QStringLiteral("paused")),
              always + QStringList({"mnuEdit_Play", "mnuEdit_Stop", "mnuDel"}));
    EXPECT_EQ(enabledWith(QStringLiteral("stopped")), always + QStringList({"mnuEdit_Play", "mnuDel"}));
    state.settings.UsePlayer = 1;
    EXPECT_EQ(enabledWith(QString()), always + QStringList({"mnuEdit_Play", "mnuUsePlayer", "mnuDel"}));
}

// Once a file is chosen the list keeps one selected: a click below the entries,
// a Ctrl+click on the selected entry and Ctrl+Space leave it, with its boxes and
// the Edit menu's items.
TEST_F(MainWindowTest, TheSelectionStaysOnceAFileIsChosen)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "B");
    start();
    clickEntry(QStringLiteral("b.mid"));
    device.sent.clear();
    const QPoint below(entryCenter(0).x(), window->filFile->viewport()->height() - 2);
    ASSERT_EQ(window->filFile->indexAt(below).row(), -1);

    const std::function<void()> gestures[] = {
        [&] { QTest::mouseClick(window->filFile->viewport(), Qt::LeftButton, {}, below); },
        [&] {
            QTest::mouseClick(window->filFile->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              entryCenter(1));
        },
        [&] { QTest::keyClick(window->filFile, Qt::Key_Space, Qt::ControlModifier); },
    };
    for (const auto& gesture : gestures) {
        gesture();
        EXPECT_EQ(window->filFile->listIndex(), 1);
        EXPECT_EQ(window->filFile->selectionModel()->selectedIndexes().size(), 1);
        EXPECT_EQ(window->txtFileName->text(), QStringLiteral("b.mid"));
        window->mnuEdit_Click();
        EXPECT_TRUE(window->mnuConv->isEnabled());
        EXPECT_TRUE(window->mnuReLoad->isEnabled());
    }
    EXPECT_FALSE(device.sent.join(u'|').contains(QStringLiteral("Open"))) << "nothing was loaded again";
    // Another entry is still chosen as ever.
    clickEntry(QStringLiteral("a.mid"));
    EXPECT_EQ(window->filFile->listIndex(), 0);
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("a.mid"));
}

// The home folder comes first; the list is read again each time it opens, so a
// volume mounted after the start appears, one taken away goes, and one mounted
// again comes back. A path's drive is the entry that is its longest prefix.
TEST_F(MainWindowTest, TheDriveListOffersHomeThenTheVolumesReadEachTimeItOpens)
{
    start();
    DriveList* drives = window->drvDrive;
    const QString home = HomeFolder();
    ASSERT_FALSE(home.isEmpty());
    EXPECT_EQ(drives->itemText(0), home);

    QStringList mounted{QStringLiteral("/"), QStringLiteral("/mnt/usb")};
    drives->setRootsSource([&] { return QStringList{home} + mounted; });
    const auto opened = [&] {
        QTest::mouseClick(drives, Qt::LeftButton);
        const QStringList shown = drives->drives();
        drives->hidePopup();
        return shown;
    };
    EXPECT_EQ(opened(), QStringList({home, QStringLiteral("/"), QStringLiteral("/mnt/usb")}));
    mounted.removeLast();
    EXPECT_EQ(opened(), QStringList({home, QStringLiteral("/")}));
    mounted.append(QStringLiteral("/mnt/usb"));
    EXPECT_EQ(opened(), QStringList({home, QStringLiteral("/"), QStringLiteral("/mnt/usb")}));
    EXPECT_EQ(drives->driveOf(QStringLiteral("/mnt/usb/midi/a.mid")), QStringLiteral("/mnt/usb"));
    EXPECT_EQ(drives->driveOf(home + QStringLiteral("/a.mid")), home);
    EXPECT_EQ(drives->driveOf(QStringLiteral("/mnt/other/a.mid")), QStringLiteral("/"));
    EXPECT_EQ(drives->drive(), drives->driveOf(music)) << "the shown drive stays";

    // Choosing the home folder shows it in the folder list.
    drives->setDrive(home);
    EXPECT_EQ(window->dirDirectory->path(), home);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, AFileWhoseNameIsNotUtf8IsListedLoadedAndOpened)
{
    const QByteArray raw = NativePath(music) + "/\x8b\xc8.mid"; // "曲.mid" in Shift_JIS
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const QByteArray bytes = MidiWithTitle("\x8b\xc8\x82\xcc\x96\xbc"); // "曲の名"
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
    start();
    EXPECT_EQ(listed(), QStringList{QStringLiteral("曲.mid")});
    clickEntry(QStringLiteral("曲.mid"));
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("曲.mid"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("曲の名"));
    EXPECT_EQ(NativePath(state.CurrentMIDIPath), raw);
    EXPECT_TRUE(device.sent.contains(openCommand(state.CurrentMIDIPath)));
    EXPECT_TRUE(boxes.shown.empty());
    ::unlink(raw.constData()); // the temporary folder's clean-up cannot name it
}

} // namespace
