// The review list's plan over a folder, its run through the run's journal, the
// undo of a run, and the index of the journal folder.

#include "rename/ReviewRun.h"

#include "Fakes.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "midi/MidiBytes.h"
#include "rename/JournalIndex.h"
#include "rename/ReviewPlan.h"
#include "rename/RunJournal.h"
#include "rename/UndoRun.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

using Tree = std::map<QString, QByteArray>;

class ReviewRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.path(QStringLiteral("music")));
        QDir().mkpath(dir.path(QStringLiteral("journals")));
    }

    void write(const QString& name, const QByteArray& bytes) const
    {
        dir.write(QStringLiteral("music/") + name, bytes);
    }

    Tree tree() const
    {
        Tree t;
        const QDir music(dir.path(QStringLiteral("music")));
        for (const QString& name : music.entryList(QDir::Files, QDir::Name)) {
            t[name] = TempDir::read(music.filePath(name));
        }
        return t;
    }

    qsizetype rowOf(const ReviewPlan& plan, const QByteArray& name) const
    {
        for (qsizetype i = 0; i < plan.size(); ++i) {
            if (plan.relativePath(i) == name) {
                return i;
            }
        }
        ADD_FAILURE() << name.toStdString();
        return 0;
    }

    ReviewPlan plan(const ReviewOptions& options = {}) const
    {
        return ReviewPlan::Make(music, options, [] { return false; });
    }

    TempDir dir;
    const QByteArray music = QFile::encodeName(dir.path(QStringLiteral("music")));
    const QByteArray journals = QFile::encodeName(dir.path(QStringLiteral("journals"))) + '/';
};

// Each row's word, and how a row the user unchecks or corrects changes the rows after it.
TEST_F(ReviewRunTest, EachRowSaysWhatWillHappenAndAnUncheckedRowKeepsItsName)
{
    write(QStringLiteral("a.mid"), MidiWithTitle("Z")); // frees a.mid ...
    write(QStringLiteral("b.mid"), MidiWithTitle("a")); // ... which b takes
    write(QStringLiteral("c.mid"), MidiWithTitle("Same"));
    write(QStringLiteral("d.mid"), MidiWithTitle("Same"));    // clashes with c in the plan
    write(QStringLiteral("Copy.mid"), MidiWithTitle("Copy")); // has its name
    write(QStringLiteral("e.mid"), MidiWithTitle("Copy"));    // the same bytes as Copy.mid
    write(QStringLiteral("f.mid"), MidiWithTitle("Other"));
    write(QStringLiteral("Other.mid"), "not a MIDI file");
    write(QStringLiteral("g.mid"), MidiWithTitle("A/B"));
    write(QStringLiteral("h.mid"), MidiWithTitle(""));
    write(QStringLiteral("i.mid"), MidiWithTitle(QByteArray("\x92\xb7").repeated(127))); // 381 bytes in UTF-8
    write(QStringLiteral("j.mid"), MidiWithTitle("\xbd\xd5\xa4\xce\xb3\xa4")); // 春の海 in EUC-JP
    write(QStringLiteral("k.mid"), MidiWithTitle("Tab\there"));
    write(QStringLiteral("l.mid"), MidiWithTitle("\x1b[1mBold"));
    ReviewPlan p = plan();
    struct Expected
    {
        QByteArray row;
        RowStatus status;
        QString text;
        bool checked;
    };
    const std::vector<Expected> table = {
        {"a.mid", RowStatus::WillRename, QStringLiteral("変換します"), true},
        {"b.mid", RowStatus::WillRename, QStringLiteral("変換します"), true},
        {"c.mid", RowStatus::WillRename, QStringLiteral("変換します"), true},
        {"d.mid", RowStatus::Clash, QStringLiteral("「c.mid」と同じ名前になります（内容も同じ）"), false},
        {"Copy.mid", RowStatus::Unchanged, QStringLiteral("すでにこの名前です"), false},
        {"e.mid", RowStatus::NameExists, QStringLiteral("同名のファイルが存在します（内容も同じ）"), false},
        {"f.mid", RowStatus::NameExists, QStringLiteral("同名のファイルが存在します（内容は別）"), false},
        {"g.mid", RowStatus::RefusedChar, QStringLiteral("不正な文字「/」（2文字目）"), false},
        {"h.mid", RowStatus::NoTitle, QStringLiteral("MIDIタイトルがありません"), false},
        {"i.mid", RowStatus::TooLong, QStringLiteral("MIDIタイトルが長すぎます（130 バイト超過）"), false},
        {"j.mid", RowStatus::WillRename, QStringLiteral("変換します（EUC-JPなら「春の海」）"), true},
        {"k.mid", RowStatus::RefusedChar, QStringLiteral("不正な文字「TAB」（4文字目）"), false},
        {"l.mid", RowStatus::RefusedChar, QStringLiteral("不正な文字「U+001B」（1文字目）"), false},
    };
    ASSERT_EQ(p.size(), static_cast<qsizetype>(table.size()) + 1); // Other.mid, a row too
    for (const Expected& e : table) {
        SCOPED_TRACE(e.row.toStdString());
        const ReviewRow& row = p.row(rowOf(p, e.row));
        EXPECT_EQ(row.status, e.status);
        EXPECT_EQ(RowStatusText(
                      row, row.clashWith >= 0 ? QString::fromUtf8(p.relativePath(row.clashWith)) : QString(),
                      QString::fromUtf8(row.plan.identicalTo)),
                  e.text);
        EXPECT_EQ(row.checked, e.checked);
    }

    // Unchecked, a keeps its name, so b's new name is taken; c unchecked frees Same.mid for d.
    p.setChecked(rowOf(p, "a.mid"), false);
    p.setChecked(rowOf(p, "c.mid"), false);
    p.replanFolderOf(0);
    EXPECT_EQ(p.row(rowOf(p, "a.mid")).status, RowStatus::WillRename)
        << "an unchecked row still says what it would do";
    EXPECT_EQ(p.row(rowOf(p, "b.mid")).status, RowStatus::NameExists);
    EXPECT_EQ(p.row(rowOf(p, "d.mid")).status, RowStatus::WillRename);

    // A corrected title: the new name follows, and the row is checked when it can be renamed.
    p.setTitle(rowOf(p, "h.mid"), QStringLiteral("Typed  "));
    EXPECT_EQ(p.row(rowOf(p, "h.mid")).plan.newName, "Typed.mid");
    EXPECT_TRUE(p.row(rowOf(p, "h.mid")).checked);
    p.setTitle(rowOf(p, "g.mid"), QStringLiteral("still?"));
    EXPECT_EQ(RowStatusText(p.row(rowOf(p, "g.mid")), {}, {}), QStringLiteral("不正な文字「?」（6文字目）"));
    EXPECT_FALSE(p.row(rowOf(p, "g.mid")).checked);

    // The row's own reading: its title read again from its bytes.
    p.setReading(rowOf(p, "j.mid"), TextEncoding::EucJp);
    p.replanFolderOf(0);
    EXPECT_EQ(p.row(rowOf(p, "j.mid")).plan.newName, QStringLiteral("春の海.mid").toUtf8());
    EXPECT_FALSE(p.row(rowOf(p, "j.mid")).mayBeEucJp);

    // The tool's options: the look-alike (a tab a space), a number for a name taken,
    // a title shortened to fit.
    ReviewOptions options;
    options.replaceRefused = true;
    options.onConflict = OnConflict::Number;
    options.shorten = true;
    p.setOptions(options);
    EXPECT_EQ(p.row(rowOf(p, "g.mid")).plan.newName, QStringLiteral("still？.mid").toUtf8());
    EXPECT_EQ(p.row(rowOf(p, "k.mid")).plan.newName, "Tab here.mid");
    EXPECT_EQ(p.row(rowOf(p, "l.mid")).plan.newName, "[1mBold.mid");
    const ReviewRow& numbered = p.row(rowOf(p, "e.mid"));
    EXPECT_EQ(numbered.plan.newName, "Copy (2).mid");
    EXPECT_TRUE(numbered.checked);
    EXPECT_EQ(RowStatusText(numbered, {}, QStringLiteral("Copy.mid")),
              QStringLiteral("変換します（「Copy.mid」と同じ内容）"));
    EXPECT_EQ(p.row(rowOf(p, "i.mid")).plan.newName, QString(83, u'長').toUtf8() + ".mid"); // 253 bytes
    EXPECT_EQ(p.row(rowOf(p, "j.mid")).plan.newName, QStringLiteral("春の海.mid").toUtf8())
        << "the row keeps its own reading";

    // An identical copy goes to the trash; a different file keeps its name.
    options.onConflict = OnConflict::TrashIdentical;
    options.encoding = TextEncoding::Cp1252;
    p.setOptions(options);
    const ReviewRow& copy = p.row(rowOf(p, "e.mid"));
    EXPECT_EQ(copy.status, RowStatus::WillTrash);
    EXPECT_TRUE(copy.checked);
    EXPECT_EQ(RowStatusText(copy, {}, QStringLiteral("Copy.mid")),
              QStringLiteral("ごみ箱へ移します（「Copy.mid」と同じ内容）"));
    EXPECT_EQ(p.row(rowOf(p, "f.mid")).status, RowStatus::NameExists);
    EXPECT_EQ(p.row(rowOf(p, "i.mid")).title, QStringLiteral("\u2019\u00b7").repeated(127))
        << "the list's reading for the rows without their own";
    EXPECT_EQ(p.row(rowOf(p, "j.mid")).title, QStringLiteral("春の海"));
}

enum class Meanwhile
{
    Nothing,
    Unchecked,   ///< b unchecked
    Removed,     ///< b's file removed after the plan
    NameTaken,   ///< c's new name made by another program after the plan
    TitleEdited, ///< d, without a title, given one
    Aborted,     ///< stopped after the first file
};

struct ApplyCase
{
    const char* name;
    Meanwhile meanwhile;
    QStringList namesAfter;
    QString summary;
};

class ApplyTest : public ReviewRunTest, public ::testing::WithParamInterface<ApplyCase>
{};

// The run does what the rows say, with the checks again at each rename; its
// journal holds exactly the renames done and takes them back byte for byte.
TEST_P(ApplyTest, RenamesTheCheckedRowsJournalsThemAndTheUndoGivesTheTreeBack)
{
    const ApplyCase& c = GetParam();
    write(QStringLiteral("a.mid"), MidiWithTitle("Alpha"));
    write(QStringLiteral("b.mid"), MidiWithTitle("Beta"));
    write(QStringLiteral("c.mid"), MidiWithTitle("Gamma"));
    write(QStringLiteral("d.mid"), MidiWithTitle(""));
    ReviewPlan p = plan();
    switch (c.meanwhile) {
    case Meanwhile::Unchecked:
        p.setChecked(rowOf(p, "b.mid"), false);
        p.replanFolderOf(0);
        break;
    case Meanwhile::Removed:
        ASSERT_EQ(::unlink((music + "/b.mid").constData()), 0);
        break;
    case Meanwhile::NameTaken:
        write(QStringLiteral("Gamma.mid"), "taken");
        break;
    case Meanwhile::TitleEdited:
        p.setTitle(rowOf(p, "d.mid"), QStringLiteral("Delta"));
        break;
    default:
        break;
    }
    const Tree before = tree();
    RunJournal journal("review", music, {}, journals);
    const RunTally tally = ApplyReviewPlan(p, journal, nullptr, [&](qsizetype done, qsizetype) {
        return !(c.meanwhile == Meanwhile::Aborted && done == 1);
    });
    journal.close();
    EXPECT_EQ(QDir(dir.path(QStringLiteral("music"))).entryList(QDir::Files, QDir::Name), c.namesAfter);
    EXPECT_EQ(RunSummaryText(tally), c.summary);
    EXPECT_EQ(journal.untoldFailure(), QString());
    if (c.meanwhile == Meanwhile::NameTaken) {
        EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("music/Gamma.mid"))), "taken");
        EXPECT_EQ(p.row(rowOf(p, "c.mid")).outcome, RowOutcome::Failed);
        EXPECT_EQ(RowOutcomeText(p.row(rowOf(p, "c.mid"))),
                  QStringLiteral("失敗: 同名のファイルが存在します"));
    }

    const std::vector<JournalRun> runs = ListJournalRuns(journals);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].run, "review");
    EXPECT_EQ(runs[0].folder, music);
    EXPECT_EQ(runs[0].files, tally.renamed);
    RunJournal undoJournal("undo", music, runs[0].path, journals);
    const UndoRunResult undone =
        UndoJournalRun(runs[0].path, undoJournal, undoJournal, [](qsizetype, qsizetype) { return true; });
    undoJournal.close();
    EXPECT_EQ(undone.count(UndoOutcome::Done), tally.renamed);
    EXPECT_EQ(tree(), before);
    const std::vector<JournalRun> after = ListJournalRuns(journals);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].run, "undo");
    EXPECT_TRUE(after[1].undone);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ApplyTest,
    ::testing::Values(
        ApplyCase{"Nothing",
                  Meanwhile::Nothing,
                  {"Alpha.mid", "Beta.mid", "Gamma.mid", "d.mid"},
                  QStringLiteral("変換 3 件、変更なし 0 件、失敗 0 件")},
        ApplyCase{"Unchecked",
                  Meanwhile::Unchecked,
                  {"Alpha.mid", "Gamma.mid", "b.mid", "d.mid"},
                  QStringLiteral("変換 2 件、変更なし 0 件、失敗 0 件")},
        ApplyCase{"Removed",
                  Meanwhile::Removed,
                  {"Alpha.mid", "Gamma.mid", "d.mid"},
                  QStringLiteral("変換 2 件、変更なし 0 件、失敗 1 件（ファイルがない 1 件）")},
        ApplyCase{"NameTaken",
                  Meanwhile::NameTaken,
                  {"Alpha.mid", "Beta.mid", "Gamma.mid", "c.mid", "d.mid"},
                  QStringLiteral("変換 2 件、変更なし 0 件、失敗 1 件（同名のファイルがある 1 件）")},
        ApplyCase{"TitleEdited",
                  Meanwhile::TitleEdited,
                  {"Alpha.mid", "Beta.mid", "Delta.mid", "Gamma.mid"},
                  QStringLiteral("変換 4 件、変更なし 0 件、失敗 0 件")},
        ApplyCase{"Aborted",
                  Meanwhile::Aborted,
                  {"Alpha.mid", "b.mid", "c.mid", "d.mid"},
                  QStringLiteral("変換 1 件、変更なし 0 件、失敗 0 件、中止のため未処理 2 件")}),
    [](const ::testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

// A copy whose new name is taken by a file of the same bytes goes to the trash,
// journaled with its place there, and the undo puts it back; a copy changed
// since the plan is no copy at the run and stays.
TEST_F(ReviewRunTest, AnIdenticalCopyGoesToTheTrashJournaledAndTheUndoBringsItBack)
{
    write(QStringLiteral("Copy.mid"), MidiWithTitle("Copy"));
    write(QStringLiteral("e.mid"), MidiWithTitle("Copy"));
    write(QStringLiteral("f.mid"), MidiWithTitle("Copy", "(C) other"));
    write(QStringLiteral("g.mid"), MidiWithTitle("Copy"));
    ReviewOptions options;
    options.onConflict = OnConflict::TrashIdentical;
    ReviewPlan p = plan(options);
    EXPECT_EQ(p.row(rowOf(p, "e.mid")).status, RowStatus::WillTrash);
    EXPECT_EQ(p.row(rowOf(p, "f.mid")).status, RowStatus::NameExists);
    EXPECT_EQ(p.row(rowOf(p, "g.mid")).status, RowStatus::WillTrash);
    write(QStringLiteral("g.mid"), MidiWithTitle("Copy") + "changed meanwhile");
    const Tree before = tree();

    QDir().mkpath(dir.path(QStringLiteral("trash")));
    FakeTrash trash;
    trash.folder = QFile::encodeName(dir.path(QStringLiteral("trash")));
    RunJournal journal("review", music, {}, journals, &trash);
    const RunTally tally = ApplyReviewPlan(p, journal, &journal, [](qsizetype, qsizetype) { return true; });
    journal.close();
    EXPECT_EQ(
        RunSummaryText(tally),
        QStringLiteral("変換 0 件、ごみ箱へ 1 件、変更なし 0 件、失敗 1 件（同名のファイルがある 1 件）"));
    EXPECT_EQ(p.row(rowOf(p, "e.mid")).outcome, RowOutcome::Trashed);
    EXPECT_EQ(RowOutcomeText(p.row(rowOf(p, "e.mid"))), QStringLiteral("ごみ箱へ移しました"));
    EXPECT_EQ(QDir(dir.path(QStringLiteral("music"))).entryList(QDir::Files, QDir::Name),
              QStringList({"Copy.mid", "f.mid", "g.mid"}));
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("trash/files/e.mid"))),
              before.at(QStringLiteral("e.mid")));
    EXPECT_TRUE(TempDir::read(dir.path(QStringLiteral("trash/info/e.mid.trashinfo")))
                    .contains("\nPath=" + QByteArray(music + "/e.mid").toPercentEncoding("/") + "\n"));

    const std::vector<JournalRun> runs = ListJournalRuns(journals);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].files, 1);
    EXPECT_EQ(runs[0].folder, music);
    RunJournal undoJournal("undo", music, runs[0].path, journals, &trash);
    const UndoRunResult undone =
        UndoJournalRun(runs[0].path, undoJournal, undoJournal, [](qsizetype, qsizetype) { return true; });
    undoJournal.close();
    EXPECT_EQ(undone.count(UndoOutcome::Done), 1);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(QDir(dir.path(QStringLiteral("trash/info"))).isEmpty()) << "the trash no longer lists it";
    EXPECT_TRUE(QDir(dir.path(QStringLiteral("trash/files"))).isEmpty());
}

// The journal serves undo only: one that cannot be written is said once, and
// the renames go on; a run that renamed nothing keeps no journal.
TEST_F(ReviewRunTest, AJournalThatCannotBeWrittenIsToldOnceAndTheRenamesGoOn)
{
    write(QStringLiteral("a.mid"), MidiWithTitle("Alpha"));
    write(QStringLiteral("b.mid"), MidiWithTitle("Beta"));
    dir.write(QStringLiteral("not-a-folder"), "a file");
    ReviewPlan p = plan();
    RunJournal journal("review", music, {}, QFile::encodeName(dir.path(QStringLiteral("not-a-folder/"))));
    QStringList told;
    ApplyReviewPlan(p, journal, nullptr, [&](qsizetype, qsizetype) {
        told << journal.untoldFailure();
        return true;
    });
    told << journal.untoldFailure();
    EXPECT_EQ(QDir(dir.path(QStringLiteral("music"))).entryList(QDir::Files, QDir::Name),
              QStringList({"Alpha.mid", "Beta.mid"}));
    told.removeAll(QString());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("変換の記録を書き込めません"))) << told[0].toStdString();
    EXPECT_EQ(journal.journaled(), 0);

    RunJournal idle("review", music, {}, journals);
    ApplyReviewPlan(p, idle, nullptr,
                    [](qsizetype, qsizetype) { return true; }); // every row has its name now
    idle.close();
    EXPECT_TRUE(ListJournalRuns(journals).empty());

    // The journal folder of the state folder, open to every user: another could plant a
    // journal there; it is not used, the user is told why, the renames go on.
    write(QStringLiteral("c.mid"), MidiWithTitle("Gamma"));
    const QByteArray state = QFile::encodeName(dir.path(QStringLiteral("state")));
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state);
    ASSERT_EQ(::mkdir(state.constData(), 0700), 0);
    ASSERT_EQ(::mkdir((state + "/calvane").constData(), 0700), 0);
    ASSERT_EQ(::chmod((state + "/calvane").constData(), 0777), 0);
    ReviewPlan open = plan();
    RunJournal shared("review", music);
    ApplyReviewPlan(open, shared, nullptr, [](qsizetype, qsizetype) { return true; });
    qputenv("XDG_STATE_HOME", oldState);
    EXPECT_TRUE(QFile::exists(dir.path(QStringLiteral("music/Gamma.mid"))));
    const QString why = shared.untoldFailure();
    EXPECT_TRUE(why.contains(QStringLiteral("他のユーザーも書き込めます"))) << why.toStdString();
    EXPECT_EQ(shared.journaled(), 0);
    EXPECT_TRUE(QDir(QFile::decodeName(state + "/calvane")).isEmpty());
}

QByteArray journalText(const char* started, QByteArrayView undoOf, const JournalOrigin& origin,
                       const std::vector<JournalEntry>& entries)
{
    QByteArray text = JournalHeaderLine(QString::fromLatin1(started), undoOf, origin);
    for (const JournalEntry& e : entries) {
        text += JournalEntryLine(e);
    }
    return text;
}

// The index is read from the journals alone: newest first, an undo that is
// itself undone no longer counts, and the folder keeps the newest.
TEST_F(ReviewRunTest, TheIndexListsRunsNewestFirstKnowsWhatIsUndoneAndTheFolderKeepsTheNewest)
{
    const QByteArray j = journals;
    const std::vector<JournalEntry> two{{"/m/a.mid", "/m/A.mid"}, {"/m/b.mid", "/m/B.mid"}};
    dir.write(QStringLiteral("journals/tool.jsonl"), journalText("2026-01-01T10:00:00Z", {}, {}, two));
    dir.write(QStringLiteral("journals/review.jsonl"),
              journalText("2026-01-02T10:00:00.500Z", {}, {"review", "/music/"}, two));
    dir.write(QStringLiteral("journals/undo1.jsonl"),
              journalText("2026-01-03T10:00:00Z", j + "tool.jsonl", {}, {{"/m/A.mid", "/m/a.mid"}}));
    dir.write(
        QStringLiteral("journals/undo2.jsonl"),
        journalText("2026-01-04T10:00:00Z", j + "undo1.jsonl", {"undo", "/m/"}, {{"/m/a.mid", "/m/A.mid"}}));
    dir.write(QStringLiteral("journals/notes.txt"), "not a journal");
    dir.write(QStringLiteral("journals/other.jsonl"), "{\"not\": \"a journal\"}\n");
    dir.write(QStringLiteral("journals/cut.jsonl"),
              journalText("2025-12-31T10:00:00Z", {}, {}, two) + "{\"from\": \"/m/c.mid\", \"to\"");

    std::vector<JournalRun> runs = ListJournalRuns(j);
    QStringList seen;
    for (const JournalRun& run : runs) {
        seen << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(QString::fromUtf8(run.path.sliced(j.size())), QString::fromLatin1(run.run),
                         QString::fromUtf8(run.folder))
                    .arg(run.files)
                    .arg(run.undone ? "undone" : "-");
    }
    EXPECT_EQ(seen, QStringList({
                        "undo2.jsonl undo /m 1 -",
                        "undo1.jsonl undo /m 1 undone",
                        "review.jsonl review /music 2 -",
                        "tool.jsonl  /m 2 -", // undone, then done again by undoing the undo
                        "cut.jsonl  /m 2 -",
                    }));

    PruneJournals(j, 3);
    EXPECT_EQ(QDir(dir.path(QStringLiteral("journals"))).entryList(QDir::Files, QDir::Name),
              QStringList({"notes.txt", "other.jsonl", "review.jsonl", "undo1.jsonl", "undo2.jsonl"}));
}

} // namespace
