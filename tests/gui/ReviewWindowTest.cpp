// The review list and the undo window over the main window, driven through
// their keys, clicks and menus: the list's rows and their words, checks and a
// corrected title, a run with its progress, abort and close, a journal that
// cannot be written, the undo of the list's, the batch's and the single
// rename's runs, and what the list remembers.

#include "MainWindowFixture.h"
#include "gui/ReviewModel.h"
#include "gui/frmAllConv.h"
#include "gui/frmReview.h"
#include "gui/frmUndo.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

using namespace calvane;
using namespace calvane::test;

namespace {

using Tree = std::map<QString, QByteArray>;

class ReviewWindowTest : public MainWindowTest
{
protected:
    frmReview& open()
    {
        if (!window) {
            start();
        }
        QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
        review = window->reviewWindow();
        EXPECT_NE(review, nullptr);
        // Activation arrives later (a transient child of the active window already counts as active).
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == review; }));
        return *review;
    }

    /// Each row as the table shows it: "[x] file | title | new name | word".
    QStringList rows() const
    {
        QStringList out;
        const QAbstractItemModel* m = review->tblReview->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < ReviewModel::ColumnCount; ++c) {
                cells << m->index(r, c).data().toString();
            }
            const bool checked = m->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
            out << (checked ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) +
                       cells.join(QStringLiteral(" | "));
        }
        return out;
    }

    int rowOf(const QString& file) const
    {
        const QAbstractItemModel* m = review->tblReview->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString() == file) {
                return r;
            }
        }
        ADD_FAILURE() << file.toStdString();
        return 0;
    }

    void clickCell(int row, int column)
    {
        QTableView* table = review->tblReview;
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, column)).center());
    }

    /// Runs action once, when the run has finished its first file.
    void afterFirstFile(std::function<void()> action)
    {
        QObject::connect(review->prgProgress, &QProgressBar::valueChanged, review,
                         [action = std::move(action), done = false](int value) mutable {
                             if (value == 1 && !done) {
                                 done = true;
                                 action();
                             }
                         });
    }

    Tree tree() const
    {
        Tree t;
        for (const QString& name : QDir(music).entryList(QDir::Files, QDir::Name)) {
            t[name] = TempDir::read(music + u'/' + name);
        }
        return t;
    }
    QStringList onDisk() const { return QDir(music).entryList(QDir::Files, QDir::Name); }

    QPointer<frmReview> review;
};

TEST_F(ReviewWindowTest, CtrlLListsTheFolderAndConvertRenamesExactlyTheCheckedRows)
{
    start();
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(shownBoxes(),
              QStringList{QStringLiteral("変換一覧: MIDIファイルがあるディレクトリを選択してください")});
    EXPECT_EQ(window->reviewWindow(), nullptr);
    boxes.shown.clear();
    window.reset();

    addMidi(QStringLiteral("a.mid"), "Alpha");
    addMidi(QStringLiteral("b.mid"), "Beta");
    addMidi(QStringLiteral("c.mid"), "Alpha");
    addMidi(QStringLiteral("d.mid"), "A?B");
    addMidi(QStringLiteral("e.mid"), "");
    addMidi(QStringLiteral("Kept.mid"), "Kept");
    addMidi(QStringLiteral("f.mid"), QByteArray("Esc\x1b"
                                                "1\0\0",
                                                6)); // shown with ␛, its end NULs left out
    device.replies[QStringLiteral("status Midi mode")] = QStringLiteral("playing");
    open();
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("変換作業のため停止します"))
        << "playback halts first";
    EXPECT_TRUE(review->isVisible());
    EXPECT_FALSE(window->takesInput());
    EXPECT_EQ(review->windowTitle(), QStringLiteral("変換一覧"));
    EXPECT_EQ(rows(), QStringList({
                          "[x] a.mid | Alpha | Alpha.mid | 変換します",
                          "[x] b.mid | Beta | Beta.mid | 変換します",
                          "[ ] c.mid | Alpha | Alpha.mid | 「a.mid」と同じ名前になります（内容も同じ）",
                          "[ ] d.mid | A?B |  | 不正な文字「?」（2文字目）",
                          "[ ] e.mid |  |  | MIDIタイトルがありません",
                          "[ ] f.mid | Esc␛1 |  | 不正な文字「U+001B」（4文字目）",
                          "[ ] Kept.mid | Kept | Kept.mid | すでにこの名前です",
                      }));
    EXPECT_EQ(review->lblSummary->text(),
              QStringLiteral("7 ファイル: 変換 2 件、問題あり 4 件、チェック 2 件"));

    // Space unchecks a; c may take Alpha.mid now, and Space checks it.
    clickCell(rowOf(QStringLiteral("a.mid")), ReviewModel::FileColumn);
    QTest::keyClick(review->tblReview, Qt::Key_Space);
    EXPECT_EQ(rows()[2], QStringLiteral("[ ] c.mid | Alpha | Alpha.mid | 変換します"));
    clickCell(rowOf(QStringLiteral("c.mid")), ReviewModel::FileColumn);
    QTest::keyClick(review->tblReview, Qt::Key_Space);
    // A title corrected in its cell (F2, type, Enter): the new name follows and the row is checked.
    clickCell(rowOf(QStringLiteral("d.mid")), ReviewModel::TitleColumn);
    QTest::keyClick(review->tblReview, Qt::Key_F2);
    auto* editor = review->tblReview->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("Delta"));
    QTest::keyClick(editor, Qt::Key_Return); // the editor's text is taken once events run
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return rows()[3] == QStringLiteral("[x] d.mid | Delta | Delta.mid | 変換します");
    })) << rows()[3].toStdString();

    // The filter box and the problems only: the rows narrow, the plan stays.
    QTest::keyClicks(review->txtFilter, QStringLiteral("alpha"));
    EXPECT_EQ(rows().size(), 2);
    review->txtFilter->clear();
    review->mnuProblemsOnly->trigger();
    EXPECT_EQ(rows(), QStringList({"[ ] e.mid |  |  | MIDIタイトルがありません",
                                   "[ ] f.mid | Esc␛1 |  | 不正な文字「U+001B」（4文字目）"}));
    review->mnuProblemsOnly->trigger();
    QTest::mouseClick(review->tblReview->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(review->tblReview->horizontalHeader()->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(rows().first().section(u'|', 1, 1).trimmed(), QString())
        << "sorted by title: e.mid's empty one first";

    QTest::mouseClick(review->cmdConv, Qt::LeftButton);
    EXPECT_EQ(review->windowTitle(), QStringLiteral("変換一覧 - 完了"));
    EXPECT_EQ(onDisk(),
              QStringList({"Alpha.mid", "Beta.mid", "Delta.mid", "Kept.mid", "a.mid", "e.mid", "f.mid"}));
    EXPECT_EQ(review->lblSummary->text(), QStringLiteral("変換 3 件、変更なし 0 件、失敗 0 件"));
    EXPECT_EQ(
        review->tblReview->model()->index(rowOf(QStringLiteral("c.mid")), ReviewModel::StatusColumn).data(),
        QStringLiteral("変換しました"));
    EXPECT_FALSE(review->cmdConv->isEnabled());
    EXPECT_TRUE(boxes.shown.empty());

    QTest::keyClick(review, Qt::Key_Escape);
    QTRY_VERIFY(review.isNull());
    EXPECT_TRUE(window->takesInput());
    EXPECT_EQ(listed(),
              QStringList({"a.mid", "Alpha.mid", "Beta.mid", "Delta.mid", "e.mid", "f.mid", "Kept.mid"}));
}

enum class During
{
    Abort,
    Escape,
    FileRemoved,
};

class ReviewRunTest : public ReviewWindowTest, public ::testing::WithParamInterface<During>
{};

// Between two files the run serves the abort button and the close box; a file
// removed meanwhile is "no file" at its rename.
TEST_P(ReviewRunTest, BetweenFilesTheRunStopsOrChecksAgain)
{
    for (const char* name : {"1.mid", "2.mid", "3.mid"}) {
        addMidi(QString::fromLatin1(name), QByteArray("Song ") + name[0]);
    }
    open();
    afterFirstFile([&] {
        switch (GetParam()) {
        case During::Abort:
            QTest::mouseClick(review->cmdAbort, Qt::LeftButton);
            break;
        case During::Escape:
            QTest::keyClick(review, Qt::Key_Escape);
            break;
        case During::FileRemoved:
            QFile::remove(music + QStringLiteral("/3.mid"));
            break;
        }
    });
    QTest::mouseClick(review->cmdConv, Qt::LeftButton);
    switch (GetParam()) {
    case During::Abort:
        EXPECT_EQ(onDisk(), QStringList({"2.mid", "3.mid", "Song 1.mid"}));
        EXPECT_EQ(review->windowTitle(), QStringLiteral("変換一覧 - 中止"));
        EXPECT_EQ(review->lblSummary->text(),
                  QStringLiteral("変換 1 件、変更なし 0 件、失敗 0 件、中止のため未処理 2 件"));
        EXPECT_EQ(rows()[1], QStringLiteral("[x] 2.mid | Song 2 | Song 2.mid | 中止のため未処理"));
        break;
    case During::Escape:
        EXPECT_EQ(onDisk(), QStringList({"2.mid", "3.mid", "Song 1.mid"}));
        QTRY_VERIFY(review.isNull());
        EXPECT_EQ(listed(), QStringList({"2.mid", "3.mid", "Song 1.mid"}));
        break;
    case During::FileRemoved:
        EXPECT_EQ(onDisk(), QStringList({"Song 1.mid", "Song 2.mid"}));
        EXPECT_EQ(review->lblSummary->text(),
                  QStringLiteral("変換 2 件、変更なし 0 件、失敗 1 件（ファイルがない 1 件）"));
        EXPECT_EQ(rows()[2], QStringLiteral("[x] 3.mid | Song 3 |  | 失敗: ファイルがありません"));
        break;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(During, ReviewRunTest,
                         ::testing::Values(During::Abort, During::Escape, During::FileRemoved));

// A journal that cannot be written is said once, in a box that waits as a real
// one does: the abort or the close given while it is up is seen before the next file.
TEST_F(ReviewWindowTest, AJournalThatCannotBeWrittenIsSaidOnceAndTheRunGoesOn)
{
    for (const bool closeInTheBox : {false, true}) {
        SCOPED_TRACE(closeInTheBox ? "closed in the box" : "aborted in the box");
        for (const QString& name : onDisk()) {
            QFile::remove(music + u'/' + name);
        }
        for (const char* name : {"1.mid", "2.mid", "3.mid"}) {
            addMidi(QString::fromLatin1(name), QByteArray("Song ") + name[0]);
        }
        dir.write(QStringLiteral("blocker"), "a file where the journal folder would be");
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path(QStringLiteral("blocker"))));
        FakeMessageBoxes looping;
        looping.spins = true;
        window =
            std::make_unique<frmMain>(state, MainWindowServices{looping, reporter, end, device, starter,
                                                                timer, opener, trash, outputs, pickers, ini});
        window->Form_Load({});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        open();
        looping.onShow = [&](const ShownBox&) {
            if (closeInTheBox) {
                review->close();
            } else {
                QTest::mouseClick(review->cmdAbort, Qt::LeftButton);
            }
        };
        QTest::mouseClick(review->cmdConv, Qt::LeftButton);
        ASSERT_EQ(looping.shown.size(), 1u);
        EXPECT_EQ(looping.shown[0].caption, QStringLiteral("変換一覧"));
        EXPECT_TRUE(looping.shown[0].text.startsWith(QStringLiteral("変換の記録を書き込めません")));
        EXPECT_EQ(onDisk(), QStringList({"2.mid", "3.mid", "Song 1.mid"})) << "renamed without a journal";
        if (closeInTheBox) {
            QTRY_VERIFY(review.isNull());
        } else {
            EXPECT_EQ(review->windowTitle(), QStringLiteral("変換一覧 - 中止"));
            QTest::keyClick(review, Qt::Key_Escape);
        }
        window.reset();
    }
}

enum class Renamer
{
    ReviewList,
    Batch,
    SingleRenames,
};

class UndoWindowTest : public ReviewWindowTest, public ::testing::WithParamInterface<Renamer>
{};

// Whatever renamed them, the undo window gives the files their names back, byte
// for byte, and the undo itself can be undone.
TEST_P(UndoWindowTest, TheNewestRunIsTakenBackByteForByte)
{
    addMidi(QStringLiteral("1.mid"), "One");
    addMidi(QStringLiteral("2.mid"), "Two");
    addMidi(QStringLiteral("3.mid"), "");
    const Tree before = tree();
    start();
    switch (GetParam()) {
    case Renamer::ReviewList:
        open();
        QTest::mouseClick(review->cmdConv, Qt::LeftButton);
        QTest::keyClick(review, Qt::Key_Escape);
        break;
    case Renamer::Batch: {
        state.settings.NoMIDITitle = true;
        QTest::mouseClick(window->cmdAllConv, Qt::LeftButton);
        QPointer<frmAllConv> batch = window->allConvWindow();
        QTest::mouseClick(batch->cmdConv, Qt::LeftButton);
        QTest::mouseClick(batch->cmdStop, Qt::LeftButton);
        EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("すべて変換: 変換作業が終了しました")});
        boxes.shown.clear();
        break;
    }
    case Renamer::SingleRenames:
        for (const QString& name : {QStringLiteral("1.mid"), QStringLiteral("2.mid")}) {
            clickEntry(name);
            QTest::mouseClick(window->cmdConv, Qt::LeftButton);
        }
        break;
    }
    QTRY_VERIFY(window->takesInput());
    EXPECT_EQ(onDisk(), QStringList({"3.mid", "One.mid", "Two.mid"}));

    window->mnuUndo->trigger();
    QPointer<frmUndo> undo = window->undoWindow();
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->windowTitle(), QStringLiteral("変換の取り消し"));
    const QAbstractItemModel* runs = undo->tblRuns->model();
    ASSERT_EQ(runs->rowCount(), 1);
    const QString kind = GetParam() == Renamer::ReviewList ? QStringLiteral("変換一覧")
                         : GetParam() == Renamer::Batch    ? QStringLiteral("すべて変換")
                                                           : QStringLiteral("変換");
    EXPECT_EQ(runs->index(0, 1).data().toString(), kind);
    EXPECT_EQ(runs->index(0, 3).data().toString(), QStringLiteral("2"));
    EXPECT_TRUE(undo->tblRuns->selectionModel()->isRowSelected(0, {}));

    QTest::mouseClick(undo->cmdUndo, Qt::LeftButton);
    EXPECT_EQ(undo->windowTitle(), QStringLiteral("変換の取り消し - 完了"));
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(undo->txtReport->toPlainText().startsWith(QStringLiteral("元に戻した 2 件")));
    ASSERT_EQ(runs->rowCount(), 2);
    EXPECT_EQ(runs->index(0, 1).data().toString(), QStringLiteral("取り消し"));
    EXPECT_EQ(runs->index(1, 4).data().toString(), QStringLiteral("元に戻し済み"));

    // The undo, undone: the newest run is selected again.
    QTest::mouseClick(undo->cmdUndo, Qt::LeftButton);
    EXPECT_EQ(onDisk(), QStringList({"3.mid", "One.mid", "Two.mid"}));
    EXPECT_EQ(runs->index(2, 4).data().toString(), QString()) << "done again";
    QTest::keyClick(undo, Qt::Key_Escape);
    QTRY_VERIFY(undo.isNull());
    EXPECT_EQ(listed(), QStringList({"3.mid", "One.mid", "Two.mid"}));
    EXPECT_TRUE(boxes.shown.empty()) << shownBoxes().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Renamers, UndoWindowTest,
                         ::testing::Values(Renamer::ReviewList, Renamer::Batch, Renamer::SingleRenames));

// A row's own reading from the table's context menu; an identical copy to the
// desktop trash, which the undo window brings back to its old name.
TEST_F(ReviewWindowTest, ARowsReadingComesFromTheContextMenuAndACopyInTheTrashComesBackByUndo)
{
    addMidi(QStringLiteral("euc.mid"), "\xbd\xd5\xa4\xce\xb3\xa4"); // 春の海 in EUC-JP
    addMidi(QStringLiteral("Song.mid"), "Song");
    addMidi(QStringLiteral("copy.mid"), "Song");
    const Tree before = tree();
    open();
    EXPECT_EQ(rows(),
              QStringList({"[ ] copy.mid | Song | Song.mid | 同名のファイルが存在します（内容も同じ）",
                           "[x] euc.mid | ｽﾕ､ﾎｳ､ | ｽﾕ､ﾎｳ､.mid | 変換します（EUC-JPなら「春の海」）",
                           "[ ] Song.mid | Song | Song.mid | すでにこの名前です"}));
    review->mnuProblemsOnly->trigger();
    EXPECT_EQ(review->tblReview->model()->rowCount(), 2) << "the hint is worth a look";
    review->mnuProblemsOnly->trigger();

    clickCell(rowOf(QStringLiteral("euc.mid")), ReviewModel::NewNameColumn);
    bool chosen = false;
    QTimer::singleShot(0, review, [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return review->mnuRowReading->isVisible(); }));
        EXPECT_TRUE(review->mnuRowReadingOfList->isChecked());
        QTest::keyClick(review->mnuRowReading, Qt::Key_E); // "EUC-JP(&E)"
        chosen = true;
    });
    // A right click through the window system, which makes the context menu event.
    QTableView* table = review->tblReview;
    const QPoint cell =
        table->visualRect(table->model()->index(rowOf(QStringLiteral("euc.mid")), 1)).center();
    QTest::mouseClick(review->windowHandle(), Qt::RightButton, {}, table->viewport()->mapTo(review, cell));
    QTRY_VERIFY(chosen);
    EXPECT_EQ(rows()[1], QStringLiteral("[x] euc.mid | 春の海 | 春の海.mid | 変換します"));

    review->mnuTrashIdentical->trigger();
    EXPECT_EQ(
        rows()[0],
        QStringLiteral("[x] copy.mid | Song | （ごみ箱） | ごみ箱へ移します（「Song.mid」と同じ内容）"));
    QTest::mouseClick(review->cmdConv, Qt::LeftButton);
    EXPECT_EQ(review->lblSummary->text(),
              QStringLiteral("変換 1 件、ごみ箱へ 1 件、変更なし 0 件、失敗 0 件"));
    EXPECT_EQ(rows()[0], QStringLiteral("[x] copy.mid | Song | （ごみ箱） | ごみ箱へ移しました"));
    EXPECT_EQ(onDisk(), QStringList({"Song.mid", "春の海.mid"}));
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("trash/files/copy.mid"))),
              before.at(QStringLiteral("copy.mid")));
    QTest::keyClick(review, Qt::Key_Escape);
    QTRY_VERIFY(review.isNull());

    window->mnuUndo->trigger();
    QPointer<frmUndo> undo = window->undoWindow();
    ASSERT_NE(undo, nullptr);
    QTest::mouseClick(undo->cmdUndo, Qt::LeftButton);
    EXPECT_TRUE(undo->txtReport->toPlainText().startsWith(QStringLiteral("元に戻した 2 件")))
        << undo->txtReport->toPlainText().toStdString();
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(QDir(dir.path(QStringLiteral("trash/files"))).isEmpty());
    EXPECT_TRUE(QDir(dir.path(QStringLiteral("trash/info"))).isEmpty());
    QTest::keyClick(undo, Qt::Key_Escape);
    QTRY_VERIFY(undo.isNull());
    EXPECT_TRUE(boxes.shown.empty()) << shownBoxes().join(u'\n').toStdString();
}

TEST_F(ReviewWindowTest, TheListRemembersItsSizeColumnsAndOptions)
{
    addMidi(QStringLiteral("a.mid"), "A/B");
    addMidi(QStringLiteral("k.KAR"), "\xbd\xd5\xa4\xce\xb3\xa4"); // 春の海 in EUC-JP
    open();
    EXPECT_EQ(rows(), QStringList({"[ ] a.mid | A/B |  | 不正な文字「/」（2文字目）"}));
    review->resize(700, 420);
    review->tblReview->horizontalHeader()->resizeSection(0, 150);
    review->mnuReplaceRefused->trigger();
    EXPECT_EQ(rows(), QStringList({"[x] a.mid | A/B | A／B.mid | 変換します"}));
    review->mnuExtension[2]->trigger(); // .kar
    EXPECT_EQ(rows(), QStringList({"[x] a.mid | A/B | A／B.mid | 変換します",
                                   "[x] k.KAR | ｽﾕ､ﾎｳ､ | ｽﾕ､ﾎｳ､.kar | 変換します（EUC-JPなら「春の海」）"}));
    review->mnuReadingChoice[static_cast<int>(TextEncoding::EucJp)]->trigger();
    EXPECT_EQ(rows().last(), QStringLiteral("[x] k.KAR | 春の海 | 春の海.kar | 変換します"));
    review->mnuShorten->trigger();
    review->mnuTrashIdentical->trigger();
    review->mnuNumberConflicts->trigger();
    EXPECT_FALSE(review->mnuTrashIdentical->isChecked())
        << "the two ways with a taken name exclude each other";
    review->mnuTrashIdentical->trigger();
    EXPECT_FALSE(review->mnuNumberConflicts->isChecked());
    QTest::keyClick(review, Qt::Key_Escape);
    QTRY_VERIFY(review.isNull());
    const ReviewSettings stored = state.settings.Review;
    EXPECT_EQ(stored.Width, 700);
    EXPECT_EQ(stored.Height, 420);
    EXPECT_TRUE(stored.Columns.startsWith(QStringLiteral("150,"))) << stored.Columns.toStdString();
    EXPECT_TRUE(stored.ReplaceRefused);
    EXPECT_EQ(stored.Extensions, QStringLiteral("mid,kar"));
    EXPECT_EQ(stored.Encoding, QStringLiteral("euc-jp"));
    EXPECT_TRUE(stored.Shorten);
    EXPECT_TRUE(stored.TrashIdentical);
    EXPECT_FALSE(stored.NumberConflicts);

    open();
    EXPECT_EQ(review->size(), QSize(700, 420));
    EXPECT_EQ(review->tblReview->horizontalHeader()->sectionSize(0), 150);
    EXPECT_TRUE(review->mnuReplaceRefused->isChecked());
    EXPECT_TRUE(review->mnuExtension[2]->isChecked());
    EXPECT_TRUE(review->mnuReadingChoice[static_cast<int>(TextEncoding::EucJp)]->isChecked());
    EXPECT_TRUE(review->mnuShorten->isChecked());
    EXPECT_TRUE(review->mnuTrashIdentical->isChecked());
    EXPECT_EQ(rows().size(), 2);
    QTest::keyClick(review, Qt::Key_Escape);
    QTRY_VERIFY(review.isNull());
    window->close();
    EXPECT_EQ(LoadSettings(ini).settings.Review, stored);
}

} // namespace
