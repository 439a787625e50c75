// The batch dialog, driven through its buttons, keys and menu ticks over the
// main window: opening it, the roads of a run (completion, a stop at a file and
// the ways on from there, aborts, closing during a run), the hosting of a
// secondary window and the ownership of its message boxes.

#include "MainWindowFixture.h"
#include "Unreadable.h"
#include "gui/desktop/QtMessageBoxes.h"
#include "gui/frmAllConv.h"
#include "settings/Settings.h"

#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kDone = QStringLiteral("すべて変換: 変換作業が終了しました");
const QString kNoTitle = QStringLiteral("すべて変換: MIDIタイトルが入力されていません");
const QString kRefused = QStringLiteral("すべて変換: MIDIタイトルに不正な文字が入力されています");
const QString kNoFile = QStringLiteral("すべて変換: MIDIファイルが選択されていません ");

class BatchTest : public MainWindowTest
{
protected:
    /// Opens the dialog with the main window's button (starting the window first).
    frmAllConv& open()
    {
        if (!window) {
            start();
        }
        QTest::mouseClick(window->cmdAllConv, Qt::LeftButton);
        dialog = window->allConvWindow();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void enterTitle(const QString& title)
    {
        dialog->txtConvFileName->selectAll();
        QTest::keyClicks(dialog->txtConvFileName, title);
        QTest::keyClick(dialog->txtConvFileName, Qt::Key_Return);
    }
    /// Runs action once, when the run has finished its first file.
    void afterFirstFile(std::function<void()> action)
    {
        QObject::connect(dialog->prgProgress, &QProgressBar::valueChanged, dialog,
                         [action = std::move(action), done = false](int value) mutable {
                             if (value == 1 && !done) {
                                 done = true;
                                 action();
                             }
                         });
    }
    QStringList onDisk() const { return QDir(music).entryList(QDir::Files, QDir::Name); }

    /// Who is pressable: conv, skip, the stop button's caption, and the window caption.
    QString controls() const
    {
        return QStringLiteral("%1 %2 %3 | %4")
            .arg(dialog->cmdConv->isEnabled() ? u"conv" : u"-")
            .arg(dialog->cmdSkip->isEnabled() ? u"skip" : u"-")
            .arg(dialog->cmdStop->text(), dialog->windowTitle());
    }

    QPointer<frmAllConv> dialog;
};

TEST_F(BatchTest, WithoutFilesNoDialogOpensWithFilesPlaybackHaltsAndOnlyTheDialogTakesInput)
{
    start();
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(shownBoxes(),
              QStringList{QStringLiteral("すべて変換: MIDIファイルがあるディレクトリを選択してください")});
    EXPECT_EQ(window->allConvWindow(), nullptr);
    boxes.shown.clear();

    addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("a.mid"), "A");
    window->filFile->Refresh();
    clickEntry(QStringLiteral("a.mid"));
    device.setMode(QStringLiteral("playing"));
    timer.setInterval(1);
    window->cmdPlay->setProperty("picture", 101);
    device.sent.clear();
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
    dialog = window->allConvWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(device.sent, QStringList({QStringLiteral("status Midi mode"), QStringLiteral("Stop Midi"),
                                        QStringLiteral("Close Midi")}));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("変換作業のため停止します"));
    EXPECT_EQ(window->cmdPlay->property("picture").toInt(), 102);
    EXPECT_EQ(timer.interval(), 0);

    EXPECT_EQ(controls(), QStringLiteral("conv - 閉じる(&X) | すべて変換 - 待機中"));
    EXPECT_EQ(dialog->txtFileName->text(), QStringLiteral("a.mid"));
    EXPECT_EQ(dialog->txtConvFileName->text(), QString());
    EXPECT_TRUE(dialog->txtConvFileName->isReadOnly());
    EXPECT_EQ(dialog->prgProgress->value(), 0);
    EXPECT_EQ(dialog->prgProgress->maximum(), 2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));

    // Input through the window system: the main window takes none, the dialog all.
    device.sent.clear();
    const QPoint conv = window->cmdConv->mapTo(window.get(), window->cmdConv->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, conv);
    QTest::keyClick(window->windowHandle(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_FALSE(window->takesInput());

    const QPoint close = dialog->cmdStop->mapTo(dialog, dialog->cmdStop->rect().center());
    QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, {}, close);
    QTRY_VERIFY(dialog.isNull());
    EXPECT_TRUE(window->takesInput());
    QTRY_VERIFY(window->isActiveWindow());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, conv);
    EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("変換: MIDIファイルが選択されていません ")});
}

TEST_F(BatchTest, StartTickedRunsOnceByItselfAndTheSkipTicksLeaveWhatCannotBeRenamed)
{
    addMidi(QStringLiteral("01.mid"), "One");
    addMidi(QStringLiteral("02.mid"), "");
    addMidi(QStringLiteral("03.mid"), "Th|ree");
    addMidi(QStringLiteral("04.mid"), "One");
    addMidi(QStringLiteral("05.mid"), "Song\0\0");
    dir.writeNative("music/\x8b\xc8.mid", MidiWithTitle("\x8b\xc8\x82\xcc\x96\xbc")); // 曲.mid: 曲の名
    addMidi(QStringLiteral("06.mid"), "\xe6\x98\xa5\xe3\x81\xae\xe6\xb5\xb7");        // 春の海 in UTF-8
    start();
    state.settings.Start = true;
    state.settings.ErrSkip = true;
    state.settings.NoMIDITitle = true;
    open();
    QTRY_COMPARE(dialog->windowTitle(), QStringLiteral("すべて変換 - 完了"));
    QTest::qWait(20); // the start timer never starts a second run

    EXPECT_EQ(shownBoxes(), QStringList{kDone});
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(onDisk(),
              QStringList({QStringLiteral("02.mid"), QStringLiteral("03.mid"), QStringLiteral("04.mid"),
                           QStringLiteral("One.mid"), QStringLiteral("Song.mid"),
                           QStringLiteral("春の海.mid"), QStringLiteral("曲の名.mid")}));
    EXPECT_EQ(controls(), QStringLiteral("- - 閉じる(&X) | すべて変換 - 完了"));
    EXPECT_TRUE(dialog->txtConvFileName->isReadOnly());
    EXPECT_EQ(dialog->prgProgress->value(), 7);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(reporter.reports.empty());

    click(dialog->cmdStop);
    QTRY_VERIFY(dialog.isNull());
    EXPECT_EQ(listed(), onDisk());
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_TRUE(state.settings.Start && state.settings.ErrSkip && state.settings.NoMIDITitle);
}

TEST_F(BatchTest, AtAStopATypedTitleGoesOnASkipLeavesTheFileAndSkippingTheLastCompletes)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "");
    addMidi(QStringLiteral("c.mid"), "C");
    addMidi(QStringLiteral("d.mid"), "");
    open();
    click(dialog->cmdConv);
    EXPECT_EQ(shownBoxes(), QStringList{kNoTitle});
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(controls(),
              QStringLiteral("conv skip 中止(&A) | すべて変換 - MIDIタイトルが入力されていません"));
    EXPECT_EQ(dialog->txtFileName->text(), QStringLiteral("b.mid"));
    EXPECT_FALSE(dialog->txtConvFileName->isReadOnly());
    EXPECT_TRUE(dialog->txtConvFileName->hasFocus());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dialog->prgProgress->value(), 1);

    enterTitle(QStringLiteral("Typed")); // b with the typed title, c with its own, then d stops
    EXPECT_EQ(shownBoxes(), QStringList({kNoTitle, kNoTitle}));
    EXPECT_EQ(dialog->txtFileName->text(), QStringLiteral("d.mid"));
    click(dialog->cmdSkip); // the last file: the run completes at once
    EXPECT_EQ(shownBoxes(), QStringList({kNoTitle, kNoTitle, kDone}));
    EXPECT_EQ(onDisk(), QStringList({QStringLiteral("A.mid"), QStringLiteral("C.mid"),
                                     QStringLiteral("Typed.mid"), QStringLiteral("d.mid")}));
    EXPECT_EQ(controls(), QStringLiteral("- - 閉じる(&X) | すべて変換 - 完了"));
    EXPECT_EQ(dialog->prgProgress->value(), 4);

    // Enter outside a run starts one over what is left: nothing, so it completes.
    QTest::keyClick(dialog->txtConvFileName, Qt::Key_Return);
    EXPECT_EQ(shownBoxes().last(), kDone);
    EXPECT_EQ(boxes.shown.size(), 4u);
}

TEST_F(BatchTest, EveryResultThatStopsShowsItsMessageAndCaption)
{
    struct Case
    {
        QByteArray title;
        bool errSkip;
        QString box;
        QString caption;
    };
    const QByteArray tooLong = QByteArray("\x92\xb7").repeated(127); // 381 bytes as a UTF-8 name: too long
    const Case cases[] = {
        {"Ab?c", false, kRefused, QStringLiteral("すべて変換 - MIDIタイトルに不正な文字が入力されています")},
        {"Taken", false, QStringLiteral("すべて変換: 同名のファイルが存在します"),
         QStringLiteral("すべて変換 - 同名のファイルが存在します")},
        {tooLong, false, QStringLiteral("すべて変換: MIDIタイトルが長すぎます（130 バイト超過）"),
         QStringLiteral("すべて変換 - MIDIタイトルが長すぎます")},
    };
    addMidi(QStringLiteral("Taken.mid"), "");
    start();
    state.settings.NoMIDITitle = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        boxes.shown.clear();
        addMidi(QStringLiteral("x.mid"), c.title);
        window->filFile->Refresh();
        state.settings.ErrSkip = c.errSkip;
        open();
        click(dialog->cmdConv);
        EXPECT_EQ(shownBoxes(), QStringList{c.box});
        EXPECT_EQ(dialog->windowTitle(), c.caption);
        EXPECT_EQ(dialog->txtFileName->text(), QStringLiteral("x.mid"));
        EXPECT_TRUE(dialog->txtConvFileName->hasFocus());
        EXPECT_EQ(onDisk(), QStringList({QStringLiteral("Taken.mid"), QStringLiteral("x.mid")}));
        if (c.box == kRefused) {
            EXPECT_EQ(dialog->txtConvFileName->selectedText(), QStringLiteral("?"));
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(dialog.isNull());
    }

    // A title too long is a rule like the others: "エラーファイルはスキップする" skips it.
    boxes.shown.clear();
    addMidi(QStringLiteral("x.mid"), tooLong);
    window->filFile->Refresh();
    state.settings.ErrSkip = true;
    open();
    click(dialog->cmdConv);
    EXPECT_EQ(shownBoxes(), QStringList{kDone});
    EXPECT_EQ(onDisk(), QStringList({QStringLiteral("Taken.mid"), QStringLiteral("x.mid")}));
}

TEST_F(BatchTest, AtAStopAbortAsksNoStaysYesClosesWithoutTheAbortMessage)
{
    addMidi(QStringLiteral("a.mid"), "A|");
    addMidi(QStringLiteral("b.mid"), "B");
    open();
    click(dialog->cmdConv);
    const QString stopped = controls();
    boxes.answers = {MsgResult::No};
    click(dialog->cmdStop);
    EXPECT_EQ(shownBoxes().last(), QStringLiteral("すべて変換: 変換作業を中止しますか"));
    EXPECT_EQ(boxes.shown.back().icon, MsgIcon::Question);
    EXPECT_EQ(boxes.shown.back().buttons, MsgButtons::YesNo);
    EXPECT_EQ(controls(), stopped);

    boxes.answers = {MsgResult::Yes};
    click(dialog->cmdStop);
    QTRY_VERIFY(dialog.isNull());
    EXPECT_EQ(shownBoxes(), QStringList({kRefused, QStringLiteral("すべて変換: 変換作業を中止しますか"),
                                         QStringLiteral("すべて変換: 変換作業を中止しますか")}));
    EXPECT_EQ(onDisk(), QStringList({QStringLiteral("a.mid"), QStringLiteral("b.mid")}));
}

TEST_F(BatchTest, AbortDuringARunLetsTheCurrentFileFinishAndStopsBeforeTheNext)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("c.mid"), "C");
    open();
    afterFirstFile([&] { click(dialog->cmdStop); });
    click(dialog->cmdConv);
    EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("すべて変換: 変換作業を中止しました")});
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(controls(), QStringLiteral("- - 閉じる(&X) | すべて変換 - 中止"));
    EXPECT_EQ(onDisk(),
              QStringList({QStringLiteral("A.mid"), QStringLiteral("b.mid"), QStringLiteral("c.mid")}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BatchTest, DuringARunStartedAgainEnterConvAndSkipStartNothingAndATickCountsFromTheNextFile)
{
    addMidi(QStringLiteral("a.mid"), "A|");
    addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("c.mid"), "C|");
    addMidi(QStringLiteral("d.mid"), "D");
    open();
    click(dialog->cmdConv); // stops at a
    afterFirstFile([&] {
        EXPECT_TRUE(dialog->cmdSkip->isEnabled()); // left enabled by the stop
        click(dialog->cmdSkip);
        QTest::keyClick(dialog->txtConvFileName, Qt::Key_Return);
        click(dialog->cmdConv);
        dialog->mnuErrSkip->trigger();
    });
    enterTitle(QStringLiteral("A"));
    // a and b renamed, c skipped by the tick set during the run, d renamed.
    EXPECT_EQ(shownBoxes(), QStringList({kRefused, kDone}));
    EXPECT_EQ(onDisk(), QStringList({QStringLiteral("A.mid"), QStringLiteral("B.mid"),
                                     QStringLiteral("D.mid"), QStringLiteral("c.mid")}));
}

TEST_F(BatchTest, AFileMovedAwayBeforeTheRunOrWhileItStandsAtTheFileIsNoFile)
{
    addMidi(QStringLiteral("0.mid"), "Zero");
    addMidi(QStringLiteral("a.mid"), "A|");
    addMidi(QStringLiteral("b.mid"), "B");
    open();
    const auto moveAway = [&](const QString& name) { QFile::rename(music + u'/' + name, dir.path(name)); };
    moveAway(QStringLiteral("0.mid"));
    click(dialog->cmdConv); // the run says it once, in its own words
    EXPECT_EQ(shownBoxes(), QStringList{kNoFile});
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("すべて変換 - MIDIファイルが選択されていません"));

    boxes.shown.clear();
    boxes.onShow = [&](const ShownBox&) {
        moveAway(QStringLiteral("a.mid"));
        boxes.onShow = nullptr;
    };
    click(dialog->cmdSkip); // a stops at its title; meanwhile it is moved away
    enterTitle(QStringLiteral("A"));
    EXPECT_EQ(shownBoxes(), QStringList({kRefused, kNoFile}));
    EXPECT_TRUE(reporter.reports.empty());
    click(dialog->cmdSkip);
    EXPECT_EQ(onDisk(), QStringList{QStringLiteral("B.mid")});

    // With "エラーファイルはスキップする" ticked, files gone meanwhile are passed by
    // without a word, however many.
    addMidi(QStringLiteral("c.mid"), "C");
    addMidi(QStringLiteral("d.mid"), "D");
    addMidi(QStringLiteral("e.mid"), "E");
    click(dialog->cmdStop); // the main window's list is read again: the three are there
    open();
    dialog->mnuErrSkip->trigger();
    moveAway(QStringLiteral("c.mid"));
    moveAway(QStringLiteral("d.mid"));
    boxes.shown.clear();
    click(dialog->cmdConv);
    EXPECT_EQ(shownBoxes(), QStringList{kDone});
    EXPECT_EQ(onDisk(), QStringList({QStringLiteral("B.mid"), QStringLiteral("E.mid")}));
}

/// What a widget showed on screen last: its text (or a bar's value) at its last paint.
class LastPainted : public QObject
{
public:
    explicit LastPainted(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (const auto* box = qobject_cast<QLineEdit*>(watched)) {
                shown = box->text();
            } else if (const auto* bar = qobject_cast<QProgressBar*>(watched)) {
                shown = QString::number(bar->value());
            }
        }
        return false;
    }
    QString shown;
};

// The boxes and the bar paint only once a screen frame during a run, but a box
// that comes up finds them showing the file it is about.
TEST_F(BatchTest, WhileABoxIsUpTheDialogShowsTheFileItIsAbout)
{
    addMidi(QStringLiteral("a.mid"), "A");
    const QString b = addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("c.mid"), "C");
    ASSERT_TRUE(QFile::setPermissions(b, {}));
    open();
    LastPainted name(dialog->txtFileName);
    LastPainted title(dialog->txtConvFileName);
    LastPainted bar(dialog->prgProgress);
    QStringList atBoxes;
    boxes.onShow = [&](const ShownBox& box) {
        atBoxes.append(box.text + QStringLiteral(" | ") + name.shown + u' ' + title.shown + u' ' + bar.shown);
    };
    {
        const WithoutRootRights user;
        if (!user.active()) {
            GTEST_SKIP() << "root's rights cannot be given up here";
        }
        click(dialog->cmdConv); // b cannot be read: its title is none, and the run stops there
    }
    EXPECT_EQ(atBoxes, QStringList({QStringLiteral("MIDI情報の取得に失敗しました | b.mid  1"),
                                    QStringLiteral("MIDIタイトルが入力されていません | b.mid  1")}));
}

// The folder replaced by a link to another folder between two files: the run renames
// nothing there; the file it listed is "no file".
TEST_F(BatchTest, AFolderReplacedByALinkDuringARunIsNotRenamedIn)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "B");
    const QString other = dir.path(QStringLiteral("other"));
    QDir().mkpath(other);
    addMidi(QStringLiteral("b.mid"), "Theirs", other);
    open();
    afterFirstFile([&] {
        ASSERT_TRUE(QDir().rename(music, dir.path(QStringLiteral("music.old"))));
        ASSERT_TRUE(QFile::link(other, music));
    });
    click(dialog->cmdConv);
    EXPECT_EQ(shownBoxes(), QStringList{kNoFile});
    EXPECT_EQ(QDir(other).entryList(QDir::Files), QStringList{QStringLiteral("b.mid")});
    EXPECT_EQ(QDir(dir.path(QStringLiteral("music.old"))).entryList(QDir::Files, QDir::Name),
              QStringList({QStringLiteral("A.mid"), QStringLiteral("b.mid")}));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(BatchTest, ClosingDuringARunEndsItSilentlyAndTheDialogGoesOnlyAfterTheRun)
{
    addMidi(QStringLiteral("a.mid"), "A");
    addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("c.mid"), "C");
    open();
    int unloads = 0;
    QObject::connect(dialog, &SecondaryWindow::Unloaded, [&] { ++unloads; });
    afterFirstFile([&] {
        dialog->mnuNoMIDITitle->trigger();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    click(dialog->cmdConv);
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(onDisk(),
              QStringList({QStringLiteral("A.mid"), QStringLiteral("b.mid"), QStringLiteral("c.mid")}));
    EXPECT_EQ(listed(), onDisk());
    EXPECT_TRUE(state.settings.NoMIDITitle);
    QTRY_VERIFY(dialog.isNull());
}

TEST_F(BatchTest, EveryWayOfClosingUnloadsOnceAndGivesTheMainWindowBack)
{
    enum class Way
    {
        CloseBox,
        Escape,
        CloseButton,
        MainWindowClosed
    };
    addMidi(QStringLiteral("a.mid"), "A");
    for (Way way : {Way::CloseBox, Way::Escape, Way::CloseButton, Way::MainWindowClosed}) {
        SCOPED_TRACE(static_cast<int>(way));
        start();
        clickEntry(QStringLiteral("a.mid"));
        const bool start = state.settings.Start;
        open();
        int unloads = 0;
        QObject::connect(dialog, &SecondaryWindow::Unloaded, [&] { ++unloads; });
        dialog->mnuStart->trigger();
        QTest::keyClick(dialog->cmdStop, Qt::Key_Return); // never a default button's press
        QTest::keyClick(dialog->cmdConv, Qt::Key_Enter);
        EXPECT_EQ(controls(), QStringLiteral("conv - 閉じる(&X) | すべて変換 - 待機中"));
        switch (way) {
        case Way::CloseBox:
            dialog->windowHandle()->close();
            break;
        case Way::Escape:
            QTest::keyClick(dialog, Qt::Key_Escape);
            break;
        case Way::CloseButton:
            click(dialog->cmdStop);
            break;
        case Way::MainWindowClosed:
            window->close();
            EXPECT_EQ(LoadSettings(ini).settings.Start, !start); // stored before the settings are written
            break;
        }
        EXPECT_EQ(unloads, 1);
        EXPECT_EQ(state.settings.Start, !start);
        EXPECT_EQ(window->txtFileName->text(), QString());
        EXPECT_EQ(window->filFile->listIndex(), -1);
        QTRY_VERIFY(dialog.isNull());
        EXPECT_EQ(unloads, 1);
        EXPECT_TRUE(boxes.shown.empty());
        window.reset();
    }
}

// Real boxes: a box shown while the main window loads, before it is on screen,
// stands in the middle of the screen; the dialog's boxes are its own.
TEST_F(BatchTest, TheDialogsBoxesAreItsOwnAndItIsPinnedOnTopWithTheMainWindow)
{
    addMidi(QStringLiteral("a.mid"), "A|");
    QtMessageBoxes screenBoxes;
    window =
        std::make_unique<frmMain>(state, MainWindowServices{screenBoxes, reporter, end, device, starter,
                                                            timer, opener, trash, outputs, pickers, ini});
    screenBoxes.setParent(window.get());

    // Each box as it comes up: its owner, text and buttons; Enter answers it.
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QStringList buttons;
            for (QAbstractButton* button : box->buttons()) {
                buttons.append(button->text());
            }
            buttons.sort();
            QString owner =
                box->parentWidget() == dialog.data() ? QStringLiteral("dialog") : QStringLiteral("other");
            if (!box->parentWidget() || !box->parentWidget()->isVisible()) {
                const QPoint off =
                    box->frameGeometry().center() - box->screen()->availableGeometry().center();
                owner = off.manhattanLength() <= 2 ? QStringLiteral("centred") : QStringLiteral("off centre");
            }
            seen.append(QStringLiteral("%1: %2 [%3]").arg(owner, box->text(), buttons.join(u' ')));
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    watch.start(5);
    window->Form_Load(dir.write(QStringLiteral("notes.txt"), "x")); // the window is not on screen yet
    window->mnuFront->trigger();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    open();
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    click(dialog->cmdConv);
    click(dialog->cmdStop); // at the stop: the question, whose Enter is Yes
    watch.stop();
    EXPECT_EQ(seen, QStringList({QStringLiteral("centred: MIDIファイルを選択してください [OK]"),
                                 QStringLiteral("dialog: MIDIタイトルに不正な文字が入力されています [OK]"),
                                 QStringLiteral("dialog: 変換作業を中止しますか [いいえ(&N) はい(&Y)]")}));
    QTRY_VERIFY(dialog.isNull());
}

} // namespace
