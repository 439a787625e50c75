// calvane-rename run as a real process over generated trees and the real corpus:
// the plan is what the run does, the run is taken back by --undo byte for byte,
// the options, an interrupted run, the settings and the command line.

#include "FakeFileSystem.h"
#include "cli/calvane-rename/RenameToolFixture.h"
#include "rename/JournalIndex.h"
#include "rename/RenameJournal.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace calvane;
using namespace calvane::test;

namespace {

TEST_F(RenameToolTest, ThePlanIsWhatTheRunDoesAndUndoGivesBackEveryNameByteForByte)
{
    write("music/track01.mid", MidiWithTitle(kSjisSong));
    write("music/TRACK02.MID", MidiWithTitle("Song"));
    write("music/03.mid", MidiWithTitle("Song"));
    write("music/Already.mid", MidiWithTitle("Already\0\0", "(C)"));
    write("music/blank.mid", MidiWithTitle(""));
    write("music/refused.mid", MidiWithTitle("A/B"));
    write("music/long.mid", MidiWithTitle(hex("92B7").repeated(127))); // 381 bytes in UTF-8
    write("music/utf8.mid", MidiWithTitle("\xe3\x81\x95\xe3\x81\x8f\xe3\x82\x89"));
    write("music/\x8b\xc8.mid", MidiWithTitle(hex("8BC8 82CC 96BC"))); // 曲.mid: 曲の名
    write("music/notes.txt", MidiWithTitle("Text"));
    write("music/.hidden.mid", MidiWithTitle("Hidden"));
    write("music/sub/\x83\x70\x83\x58/deep.mid", MidiWithTitle("Deep"));
    write("outside/x.mid", MidiWithTitle("Outside"));
    ASSERT_EQ(::symlink((root + "/outside").constData(), (root + "/music/link").constData()), 0);
    const Tree before = tree();

    const ToolRun plan = tool({"-n", "-r", "music"});
    const QString longName = QString(127, u'長') + QStringLiteral(".mid");
    EXPECT_EQ(
        lines(plan.out),
        QStringList({
            QStringLiteral("music/03.mid -> Song.mid"),
            QStringLiteral("music/Already.mid: unchanged"),
            QStringLiteral("music/blank.mid: 2 MIDIタイトルが入力されていません"),
            QStringLiteral("music/long.mid: 5 MIDIタイトルが長すぎます（130 バイト超過） (%1)").arg(longName),
            QStringLiteral("music/refused.mid: 3 MIDIタイトルに不正な文字が入力されています"),
            QStringLiteral("music/track01.mid -> 春の海.mid"),
            QStringLiteral("music/TRACK02.MID: 4 同名のファイルが存在します (Song.mid、内容も同じ)"),
            QStringLiteral("music/utf8.mid -> さくら.mid"),
            QStringLiteral("music/曲.mid -> 曲の名.mid"),
            QStringLiteral("music/sub/パス/deep.mid -> Deep.mid"),
        }));
    EXPECT_EQ(plan.status, 0) << "a title too long for a name is left by a rule";
    EXPECT_TRUE(
        plan.err.contains("plan for 10 files: 5 to rename, 1 unchanged, 4 skipped (1 no title, 1 refused "
                          "character, 1 name exists, 1 title too long), 0 failed"))
        << plan.err.toStdString();
    const ToolRun jsonPlan = tool({"--dry-run", "--json", "--recursive", "music"});
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(journals().isEmpty());

    const ToolRun run = tool({"--json", "-r", "music"});
    EXPECT_EQ(run.out, jsonPlan.out);
    EXPECT_EQ(run.status, 0);
    const QJsonObject kyoku = QJsonDocument::fromJson(run.out.split('\n')[8]).object();
    EXPECT_EQ(kyoku[QStringLiteral("from")].toString(), QStringLiteral("music/曲.mid"));
    EXPECT_EQ(kyoku[QStringLiteral("from_hex")].toString(),
              QStringLiteral("music/\x8b\xc8.mid").toLatin1().toHex());
    EXPECT_EQ(kyoku[QStringLiteral("to")].toString(), QStringLiteral("music/曲の名.mid"));
    EXPECT_EQ(kyoku[QStringLiteral("result")].toInt(-1), 0);
    EXPECT_EQ(
        QDir(dir.path(QStringLiteral("music"))).entryList(QDir::Files, QDir::Name),
        QStringList({QStringLiteral("Already.mid"), QStringLiteral("Song.mid"), QStringLiteral("TRACK02.MID"),
                     QStringLiteral("blank.mid"), QStringLiteral("long.mid"), QStringLiteral("notes.txt"),
                     QStringLiteral("refused.mid"), QStringLiteral("さくら.mid"),
                     QStringLiteral("春の海.mid"), QStringLiteral("曲の名.mid")}));
    EXPECT_EQ(tree("outside").size(), 1u) << "a link to a folder is not followed";
    ASSERT_EQ(journals().size(), 1);
    EXPECT_TRUE(run.err.contains(journals()[0])) << "the summary names the journal";

    // A second run finds every file named after its title: nothing is done, no journal kept.
    const Tree renamed = tree();
    const ToolRun again = tool({"-r", "music"});
    EXPECT_FALSE(again.out.contains("->"));
    EXPECT_EQ(lines(again.out).filter(QStringLiteral(": unchanged")).size(), 6);
    EXPECT_EQ(tree(), renamed);
    EXPECT_EQ(journals().size(), 1);

    const QByteArray journal = journals()[0];
    const ToolRun undoPlan = tool({"--undo", journal, "-n"});
    EXPECT_EQ(lines(undoPlan.out).size(), 5);
    EXPECT_EQ(tree(), renamed);
    const ToolRun undo = tool({"--undo", journal});
    EXPECT_EQ(undo.out, undoPlan.out);
    EXPECT_EQ(undo.status, 0);
    EXPECT_EQ(tree(), before);
}

TEST_F(RenameToolTest, ReplacedCharactersAndNumberedConflictsAndASecondRunChangesNothing)
{
    write("music/a.mid", MidiWithTitle("Who? \"Me\""));
    write("music/b.mid", MidiWithTitle("Line1\r\nLine2\n"));
    write("music/c.mid", MidiWithTitle("Same"));
    write("music/d.mid", MidiWithTitle("Same"));
    write("music/e.mid", MidiWithTitle("Same"));
    write("music/Same (2).mid", MidiWithTitle("Same (2)"));
    const QList<QByteArray> options{"--replace-refused", "--on-conflict=number", "music"};
    // A file reached again, by its own path or its folder's other spelling, counts once.
    const ToolRun plan =
        tool(QList<QByteArray>{"-n"} + options + QList<QByteArray>{"music/c.mid", "./music/"});
    const ToolRun run = tool(options);
    EXPECT_EQ(run.out, plan.out);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(lines(run.out), QStringList({
                                  QStringLiteral("music/a.mid -> Who？ ＂Me＂.mid"),
                                  QStringLiteral("music/b.mid -> Line1 Line2.mid"),
                                  QStringLiteral("music/c.mid -> Same.mid"),
                                  QStringLiteral("music/d.mid -> Same (3).mid (Same.mid と同じ内容)"),
                                  QStringLiteral("music/e.mid -> Same (4).mid (Same.mid と同じ内容)"),
                                  QStringLiteral("music/Same (2).mid: unchanged"),
                              }));
    const Tree renamed = tree();
    const ToolRun again = tool(options);
    EXPECT_EQ(lines(again.out).filter(QStringLiteral(": unchanged")).size(), 6) << again.out.toStdString();
    EXPECT_EQ(tree(), renamed);
}

TEST_F(RenameToolTest, UndoNeverReplacesAFileThatTookAnOldNameAndIsJournaledItself)
{
    write("music/1.mid", MidiWithTitle("One"));
    write("music/2.mid", MidiWithTitle("Two"));
    write("music/3.mid", MidiWithTitle("Three"));
    ASSERT_EQ(tool({"music"}).status, 0);
    write("music/2.mid", "a new file under the old name");
    // A run killed after writing a line and before its rename leaves such a line last.
    write("music/4.mid", MidiWithTitle("Four"));
    QFile journal(QString::fromUtf8(journals()[0]));
    ASSERT_TRUE(journal.open(QIODevice::Append));
    journal.write(JournalEntryLine({root + "/music/4.mid", root + "/music/Four.mid"}));
    journal.close();
    const ToolRun undo = tool({"--undo", journals()[0]});
    EXPECT_EQ(undo.status, 1);
    // The journal's paths as the run printed them: relative to the folder it ran in.
    EXPECT_EQ(lines(undo.out), QStringList({
                                   QStringLiteral("music/4.mid: unchanged"),
                                   QStringLiteral("music/Three.mid -> 3.mid"),
                                   QStringLiteral("music/Two.mid: 4 同名のファイルが存在します (2.mid)"),
                                   QStringLiteral("music/One.mid -> 1.mid"),
                               }));
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("music/2.mid"))), "a new file under the old name");
    ASSERT_EQ(journals().size(), 2);
    const JournalRead undone = ReadJournal(TempDir::read(QString::fromUtf8(journals()[1])));
    EXPECT_EQ(undone.entries, (std::vector<JournalEntry>{{root + "/music/Three.mid", root + "/music/3.mid"},
                                                         {root + "/music/One.mid", root + "/music/1.mid"}}));
}

// Stopped by Ctrl+C in the middle of a run: each file has its old name, or its new
// one and a line in the journal; the journal reads whole and takes the run back.
TEST_F(RenameToolTest, AnInterruptedRunLeavesEachFileRenamedAndJournaledOrUntouched)
{
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        write("music/" + QByteArray::number(10000 + i) + ".mid",
              MidiWithTitle("Song " + QByteArray::number(i)));
    }
    const Tree before = tree();
    int output = -1;
    const pid_t child = startBlocked({"music"}, output);
    ::kill(child, SIGINT);
    QByteArray printed;
    EXPECT_EQ(finish(child, output, printed), 130);
    EXPECT_TRUE(TempDir::read(QString::fromUtf8(root + "/.err")).contains("; stopped after "));

    ASSERT_EQ(journals().size(), 1);
    const JournalRead journal = ReadJournal(TempDir::read(QString::fromUtf8(journals()[0])));
    EXPECT_TRUE(journal.error.isEmpty());
    EXPECT_FALSE(journal.lastLineCut);
    const auto renamed = static_cast<int>(journal.entries.size());
    EXPECT_GT(renamed, 0);
    EXPECT_LT(renamed, kFiles);
    EXPECT_EQ(lines(printed).size(), renamed) << "every file done was reported";
    const Tree after = tree();
    EXPECT_EQ(after.size(), before.size());
    for (int i = 0; i < kFiles; ++i) {
        const bool done = i < renamed;
        const QByteArray old = "/" + QByteArray::number(10000 + i) + ".mid";
        const QByteArray now = "/Song " + QByteArray::number(i) + ".mid";
        EXPECT_EQ(after.count(old), done ? 0u : 1u) << i;
        EXPECT_EQ(after.count(now), done ? 1u : 0u) << i;
        if (done) {
            EXPECT_EQ(journal.entries[i].from, root + "/music" + old);
            EXPECT_EQ(journal.entries[i].to, root + "/music" + now);
        }
    }
    EXPECT_EQ(tool({"--undo", journals()[0]}).status, 0);
    EXPECT_EQ(tree(), before);
}

// A folder of the tree replaced by a link to another folder while the run is on:
// the files of that other folder keep their names, and those of the folder listed
// are "no file" (it is not there any more).
TEST_F(RenameToolTest, AFolderReplacedByALinkDuringTheRunSendsNoRenameOutsideTheTree)
{
    for (int i = 0; i < 3000; ++i) {
        write("music/a/" + QByteArray::number(10000 + i) + ".mid",
              MidiWithTitle("Song " + QByteArray::number(i)));
    }
    write("music/b/1.mid", MidiWithTitle("Mine"));
    write("other/1.mid", MidiWithTitle("Theirs"));
    const Tree other = tree("other");
    int output = -1;
    const pid_t child = startBlocked({"-r", "music"}, output);
    ASSERT_EQ(::rename((root + "/music/b").constData(), (root + "/b.old").constData()), 0);
    ASSERT_EQ(::symlink((root + "/other").constData(), (root + "/music/b").constData()), 0);
    QByteArray printed;
    EXPECT_EQ(finish(child, output, printed), 1);
    EXPECT_EQ(tree("other"), other);
    EXPECT_TRUE(
        lines(printed).last().startsWith(QStringLiteral("music/b/1.mid: 1 MIDIファイルが選択されていません")))
        << lines(printed).last().toStdString();
    EXPECT_EQ(tree("b.old").size(), 1u);
}

// A case-only rename on a file system blind to case, whose new name another program
// takes while the file stands under its temporary name: the line, the summary and
// the exit status say where the file is, the journal has it, and the undo brings it
// back once its name is free.
TEST_F(RenameToolTest, AFileLeftUnderATemporaryNameIsSaidInTheLineTheSummaryAndTheExitStatus)
{
    write("music/Song.MID", MidiWithTitle("Song"));
    write("music/other.mid", MidiWithTitle("Other"));
    FakeFileSystem blind;
    blind.ignoresCase = true;
    blind.before = [&](const std::string&, const QByteArray& a, const QByteArray& b) {
        if (a.startsWith(".calvane-rename-") && b == "Song.mid") {
            write("music/song.mid", "theirs");
        }
    };
    const ToolRun run = tool({"--json", "--on-conflict=number", "music"}, &blind);
    EXPECT_EQ(run.status, 1);
    const QList<QByteArray> out = run.out.split('\n');
    ASSERT_GE(out.size(), 2);
    const QJsonObject song = QJsonDocument::fromJson(out[1]).object();
    EXPECT_EQ(song[QStringLiteral("from")].toString(), QStringLiteral("music/Song.MID"));
    EXPECT_EQ(song[QStringLiteral("result")].toInt(), 4);
    const QString stranded = song[QStringLiteral("stranded")].toString();
    EXPECT_TRUE(stranded.startsWith(QStringLiteral("music/.calvane-rename-"))) << run.out.toStdString();
    EXPECT_TRUE(QFile::exists(dir.path(stranded)));
    EXPECT_TRUE(run.err.contains("left under a temporary name") && run.err.contains(stranded.toUtf8()))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("1 failed (1 name exists)")) << run.err.toStdString();

    ASSERT_TRUE(QFile::remove(dir.path(QStringLiteral("music/song.mid"))));
    ASSERT_EQ(journals().size(), 1);
    EXPECT_EQ(tool({"--undo", journals()[0]}).status, 0);
    EXPECT_EQ(tree(), (Tree{{"/Song.MID", MidiWithTitle("Song")}, {"/other.mid", MidiWithTitle("Other")}}));
}

// A journal folder that another user could write in is refused before anything is
// renamed, unless the run keeps no journal or writes it elsewhere; a missing one is
// made for the user alone.
TEST_F(RenameToolTest, AJournalFolderOthersCouldWriteInIsRefusedBeforeAnythingIsRenamed)
{
    const QByteArray state = root + "/.state";
    const QByteArray folder = state + "/calvane";
    const auto makeFolder = [&](mode_t mode) {
        ::mkdir(state.constData(), 0700);
        ::mkdir(folder.constData(), 0700);
        ::chmod(folder.constData(), mode);
    };
    struct Row
    {
        const char* what;
        std::function<void()> prepare;
        QList<QByteArray> options;
        QByteArray refused; ///< the folder the message names; empty when the run goes on
        bool rootOnly = false;
    };
    const Row rows[] = {
        {"missing", [] {}, {}, {}},
        {"writable by all", [&] { makeFolder(0777); }, {}, folder + '/'},
        {"a link to a folder",
         [&] {
             ::mkdir(state.constData(), 0700);
             ::mkdir((root + "/.mine").constData(), 0700);
             ::symlink((root + "/.mine").constData(), folder.constData());
         },
         {},
         folder + '/'},
        {"a file",
         [&] {
             ::mkdir(state.constData(), 0700);
             write(".state/calvane", "x");
         },
         {},
         folder + '/'},
        {"another user's",
         [&] {
             makeFolder(0700);
             ::chown(folder.constData(), 65534, 65534);
         },
         {},
         folder + '/',
         true},
        {"writable by another group",
         [&] {
             makeFolder(0770);
             ::chown(folder.constData(), ::geteuid(), ::getgid() + 1);
         },
         {},
         folder + '/',
         true},
        {"in a folder all may write",
         [&] {
             makeFolder(0700);
             ::chmod(state.constData(), 0777);
         },
         {},
         state},
        {"in a sticky folder all may write",
         [&] {
             makeFolder(0700);
             ::chmod(state.constData(), 01777);
         },
         {},
         {}},
        {"writable by all, no journal", [&] { makeFolder(0777); }, {"--no-journal"}, {}},
        {"writable by all, a journal elsewhere", [&] { makeFolder(0777); }, {"--journal", "mine.jsonl"}, {}},
    };
    for (const Row& row : rows) {
        if (row.rootOnly && ::geteuid() != 0) {
            continue; // only root makes a folder another user's
        }
        for (const char* made : {"/.state", "/.mine", "/music", "/mine.jsonl"}) {
            removeTree(root + made);
        }
        write("music/a.mid", MidiWithTitle("A"));
        row.prepare();
        const ToolRun run = tool(QList<QByteArray>{"music"} + row.options);
        const bool refused = !row.refused.isEmpty();
        EXPECT_EQ(run.status, refused ? 1 : 0) << row.what;
        EXPECT_EQ(QFile::exists(dir.path(QStringLiteral("music/a.mid"))), refused) << row.what;
        EXPECT_EQ(run.err.contains("the journal folder " + row.refused + " is refused"), refused)
            << row.what << ": " << run.err.toStdString();
        if (std::string(row.what) == "missing") {
            struct stat st
            {};
            ASSERT_EQ(::stat(folder.constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u) << "for the user alone";
        }
    }
}

// An undo takes only a journal of the user's own that no one else may write, and
// renames back only files and links.
TEST_F(RenameToolTest, AnUndoTakesOnlyTheUsersOwnJournalAndRenamesOnlyFilesAndLinks)
{
    write("music/1.mid", MidiWithTitle("One"));
    write("music/2.mid", MidiWithTitle("Two"));
    ASSERT_EQ(tool({"music"}).status, 0);
    ASSERT_EQ(journals().size(), 1);
    const QByteArray journal = journals()[0];
    const Tree renamed = tree();
    ::chmod(journal.constData(), 0666);
    ToolRun undo = tool({"--undo", journal});
    EXPECT_EQ(undo.status, 1);
    EXPECT_TRUE(undo.err.contains("is refused: other users may write in it")) << undo.err.toStdString();
    ::chmod(journal.constData(), 0600);
    if (::geteuid() == 0) {
        ::chown(journal.constData(), 65534, 65534);
        EXPECT_EQ(tool({"--undo", journal}).status, 1);
        ::chown(journal.constData(), 0, 0);
    }
    EXPECT_EQ(tree(), renamed);

    // A folder where a file was renamed to: left alone.
    ASSERT_EQ(::rename((root + "/music/Two.mid").constData(), (root + "/Two.mid").constData()), 0);
    ASSERT_EQ(::mkdir((root + "/music/Two.mid").constData(), 0700), 0);
    undo = tool({"--undo", journal});
    EXPECT_EQ(undo.status, 1);
    EXPECT_TRUE(
        lines(undo.out).first().startsWith(QStringLiteral("music/Two.mid: 1 "))) // as the run named it
        << undo.out.toStdString();
    EXPECT_EQ(tree(), (Tree{{"/1.mid", MidiWithTitle("One")}, {"/Two.mid", "<folder>"}}));
}

// Space and LastSpace from the program's settings file; the options over them; a
// missing or damaged file leaves both on and says so.
TEST_F(RenameToolTest, TheSpaceRulesFollowTheSettingsFileUnlessTheOptionsSayOtherwise)
{
    struct Row
    {
        const char* ini; ///< nullptr: no settings file
        QList<QByteArray> options;
        const char* line; ///< for a file titled "Tail  " and one titled "   "
        const char* blank;
        bool saysDefaults;
    };
    const Row rows[] = {
        {nullptr, {}, "t.mid -> Tail.mid", "s.mid: 2 MIDIタイトルが入力されていません", true},
        {"[Conv]\nSpace=True\nLastSpace=True\n",
         {},
         "t.mid -> Tail.mid",
         "s.mid: 2 MIDIタイトルが入力されていません",
         false},
        {"[Conv]\nLastSpace=False\n",
         {},
         "t.mid -> Tail  .mid",
         "s.mid: 2 MIDIタイトルが入力されていません",
         false},
        {"[Conv]\nSpace=False\nLastSpace=False\n", {}, "t.mid -> Tail  .mid", "s.mid ->    .mid", false},
        {"[Conv]\nSpace=what\n", {}, "t.mid -> Tail.mid", "s.mid: 2 MIDIタイトルが入力されていません", true},
        {nullptr,
         {"--keep-trailing-spaces"},
         "t.mid -> Tail  .mid",
         "s.mid: 2 MIDIタイトルが入力されていません",
         true},
        {"[Conv]\nSpace=True\n",
         {"--allow-blank-titles", "--keep-trailing-spaces"},
         "t.mid -> Tail  .mid",
         "s.mid ->    .mid",
         false},
    };
    write("t.mid", MidiWithTitle("Tail  "));
    write("s.mid", MidiWithTitle("   "));
    for (const Row& row : rows) {
        ::unlink((root + "/.config/calvane/calvane.ini").constData());
        if (row.ini) {
            write(".config/calvane/calvane.ini", row.ini);
        }
        const ToolRun run = tool(QList<QByteArray>(row.options) << "-n"
                                                                << "t.mid"
                                                                << "s.mid");
        EXPECT_EQ(lines(run.out), QStringList({QString::fromUtf8(row.line), QString::fromUtf8(row.blank)}))
            << (row.ini ? row.ini : "none");
        EXPECT_EQ(run.err.contains("at their defaults"), row.saysDefaults) << (row.ini ? row.ini : "none");
        EXPECT_EQ(run.status, 0);
    }
}

TEST_F(RenameToolTest, CommandLinesThatCannotBeUsedAreUsageErrorsAndTouchNothing)
{
    write("music/a.mid", MidiWithTitle("A"));
    const QList<QList<QByteArray>> bad = {
        {},
        {"--undo"},
        {"--undo", "j.jsonl", "music"},
        {"--undo", "j.jsonl", "--replace-refused"},
        {"--on-conflict=maybe", "music"},
        {"--journal", "j.jsonl", "--no-journal", "music"},
        {"-x", "music"},
        {"--frobnicate", "music"},
        {"--on-conflict=trash", "music"},
        {"--ext=", "music"},
        {"--ext=mid,*", "music"},
        {"--encoding=latin9", "music"},
        {"--encoding"},
        {"--undo", "j.jsonl", "--shorten"},
        {"--undo", "j.jsonl", "--encoding=euc-jp"},
    };
    for (const QList<QByteArray>& args : bad) {
        const ToolRun run = tool(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << args.join(' ').toStdString();
    }
    EXPECT_TRUE(QFile::exists(dir.path(QStringLiteral("music/a.mid"))));

    const ToolRun help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* said : {"--undo JOURNAL", "--on-conflict=number", "--on-conflict=trash-identical",
                             "--ext=LIST", "--encoding=ENC", "--shorten", "Exit status", "130"}) {
        EXPECT_TRUE(help.out.contains(said)) << said;
    }
    EXPECT_TRUE(tool({"--version"}).out.startsWith("calvane-rename "));

    // A journal of our own name, an unreadable journal: refused before anything is renamed.
    write("not-a-journal.jsonl", "{\"from\": \"/a\", \"to\": \"/b\"}\n");
    for (const QByteArray& journal : {QByteArray("not-a-journal.jsonl"), QByteArray("missing.jsonl")}) {
        const ToolRun undo = tool({"--undo", journal});
        EXPECT_EQ(undo.status, 1);
        EXPECT_TRUE(undo.out.isEmpty());
    }
    const ToolRun explicitJournal = tool({"--journal", "mine.jsonl", "music"});
    EXPECT_EQ(explicitJournal.status, 0);
    EXPECT_TRUE(explicitJournal.err.contains("calvane-rename: 1 file: 1 renamed, 0 unchanged"))
        << explicitJournal.err.toStdString();
    EXPECT_EQ(ReadJournal(TempDir::read(dir.path(QStringLiteral("mine.jsonl")))).entries.size(), 1u);
    EXPECT_EQ(tool({"--journal", "mine.jsonl", "music"}).status, 1)
        << "an existing journal is never written over";
}

// A file whose new name is taken by a file of the same bytes is said to be a copy
// whatever --on-conflict is; with trash-identical it goes to the trash, and the
// undo brings it back to its old name. A different file of the same size is no copy.
TEST_F(RenameToolTest, IdenticalCopiesAreSaidAndTrashedAndTheUndoBringsThemBack)
{
    struct Row
    {
        const char* onConflict;
        QStringList lines;
        const char* summary;
    };
    const Row rows[] = {
        {"skip",
         {QStringLiteral("music/copy.mid: 4 同名のファイルが存在します (Song.mid、内容も同じ)"),
          QStringLiteral("music/other.mid: 4 同名のファイルが存在します (Song.mid)"),
          QStringLiteral("music/Song.mid: unchanged")},
         "3 files: 0 renamed, 1 unchanged, 2 skipped (2 name exists), 0 failed"},
        {"number",
         {QStringLiteral("music/copy.mid -> Song (2).mid (Song.mid と同じ内容)"),
          QStringLiteral("music/other.mid -> Song (3).mid"), QStringLiteral("music/Song.mid: unchanged")},
         "3 files: 2 renamed, 1 unchanged, 0 skipped, 0 failed"},
        {"trash-identical",
         {QStringLiteral("music/copy.mid -> ごみ箱 (Song.mid と同じ内容)"),
          QStringLiteral("music/other.mid: 4 同名のファイルが存在します (Song.mid)"),
          QStringLiteral("music/Song.mid: unchanged")},
         "3 files: 0 renamed, 1 trashed, 1 unchanged, 1 skipped (1 name exists), 0 failed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.onConflict);
        write("music/Song.mid", MidiWithTitle("Song", "(C) A"));
        write("music/copy.mid", MidiWithTitle("Song", "(C) A"));
        write("music/other.mid", MidiWithTitle("Song", "(C) B"));
        const Tree before = tree();
        const QByteArray option = QByteArray("--on-conflict=") + row.onConflict;
        const QList<QByteArray> json = tool({"-n", "--json", option, "music"}).out.split('\n');
        ASSERT_GE(json.size(), 2);
        const QJsonObject copy = QJsonDocument::fromJson(json[0]).object();
        EXPECT_TRUE(copy[QStringLiteral("identical")].toBool());
        EXPECT_EQ(copy[QStringLiteral("identical_to")].toString(), QStringLiteral("music/Song.mid"));
        EXPECT_EQ(copy[QStringLiteral("trashed")].toBool(), QByteArray(row.onConflict) == "trash-identical");
        EXPECT_FALSE(QJsonDocument::fromJson(json[1]).object().contains(QStringLiteral("identical")));
        const ToolRun plan = tool({"-n", option, "music"});
        const ToolRun run = tool({option, "music"});
        EXPECT_EQ(run.out, plan.out);
        EXPECT_EQ(lines(run.out), row.lines);
        EXPECT_TRUE(run.err.contains(row.summary)) << run.err.toStdString();
        EXPECT_EQ(run.status, 0);

        const bool trashed = QByteArray(row.onConflict) == "trash-identical";
        EXPECT_EQ(QFile::exists(dir.path(QStringLiteral(".data/Trash/files/copy.mid"))), trashed);
        if (trashed) {
            EXPECT_TRUE(TempDir::read(dir.path(QStringLiteral(".data/Trash/info/copy.mid.trashinfo")))
                            .contains("Path=" + (root + "/music/copy.mid").toPercentEncoding("/")));
        }
        if (!journals().isEmpty()) {
            const ToolRun undo = tool({"--undo", journals().back()});
            EXPECT_EQ(undo.status, 0) << undo.err.toStdString();
            if (trashed) {
                EXPECT_EQ(lines(undo.out),
                          QStringList{QStringLiteral(".data/Trash/files/copy.mid -> music/copy.mid")});
            }
        }
        EXPECT_EQ(tree(), before);
        EXPECT_TRUE(QDir(dir.path(QStringLiteral(".data/Trash/info"))).isEmpty());
        QDir(dir.path(QStringLiteral("music"))).removeRecursively();
        QDir(dir.path(QStringLiteral(".state"))).removeRecursively();
    }
}

// The shared corpus of real files, copied with names in Shift_JIS and folders in
// folders: plan, run and undo as a user would.
TEST_F(RenameToolTest, ARealCollectionIsRenamedAsPlannedAndGivenBack)
{
    const QString corpus = SharedCorpusDir();
    if (corpus.isEmpty()) {
        GTEST_SKIP() << "no shared corpus in this clone";
    }
    int copied = 0;
    QDirIterator it(corpus, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray relative = QFile::encodeName(path.mid(corpus.size()));
        // Every third file under a Shift_JIS name, every fifth a folder deeper.
        QByteArray target = relative;
        if (copied % 3 == 0) {
            target = relative.first(relative.lastIndexOf('/') + 1) + hex("8BC8") +
                     QByteArray::number(copied) + ".mid";
        }
        if (copied % 5 == 0) {
            target.insert(target.lastIndexOf('/'), "/" + hex("8370 8358"));
        }
        write("music" + target, TempDir::read(path));
        ++copied;
    }
    ASSERT_GT(copied, 100);
    const Tree before = tree();
    const ToolRun plan = tool({"-n", "-r", "--replace-refused", "music"});
    const ToolRun run = tool({"-r", "--replace-refused", "music"});
    EXPECT_EQ(run.out, plan.out);
    EXPECT_EQ(run.status, plan.status);
    EXPECT_GT(lines(run.out).filter(QStringLiteral(" -> ")).size(), 30);
    EXPECT_TRUE(run.out.contains(" -> ＂さくらさくら＂.mid")) << "a UTF-8 title";
    EXPECT_NE(tree(), before);
    ASSERT_EQ(journals().size(), 1);
    EXPECT_EQ(tool({"--undo", journals()[0]}).status, 0);
    EXPECT_EQ(tree(), before);
}

} // namespace
