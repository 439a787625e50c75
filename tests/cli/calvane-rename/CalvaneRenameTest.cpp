// calvane-rename run as a real process over generated trees and the real corpus:
// the plan is what the run does, the run is taken back by --undo byte for byte,
// the options, an interrupted run, the settings and the command line.

#include "FakeFileSystem.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "cli/calvane-rename/RenameTool.h"
#include "midi/MidiBytes.h"
#include "rename/JournalIndex.h"
#include "rename/RenameJournal.h"
#include "rename/ReviewPlan.h"
#include "rename/ReviewRun.h"
#include "rename/RunJournal.h"
#include "rename/UndoRun.h"

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

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

/// A folder's whole tree by native relative path: a file's bytes, "<folder>" or
/// "-> target" for a link.
using Tree = std::map<QByteArray, QByteArray>;

void scanTree(const QByteArray& root, const QByteArray& relative, Tree& tree)
{
    DIR* dir = ::opendir((root + relative).constData());
    ASSERT_NE(dir, nullptr) << (root + relative).toStdString();
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const QByteArray path = relative + '/' + name;
        struct stat st
        {};
        ASSERT_EQ(::lstat((root + path).constData(), &st), 0);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink((root + path).constData(), target, sizeof target);
            tree[path] = "-> " + QByteArray(target, static_cast<qsizetype>(std::max<ssize_t>(n, 0)));
        } else if (S_ISDIR(st.st_mode)) {
            tree[path] = "<folder>";
            scanTree(root, path, tree);
        } else {
            QByteArray bytes(static_cast<qsizetype>(st.st_size), '\0');
            const int fd = ::open((root + path).constData(), O_RDONLY);
            EXPECT_EQ(::read(fd, bytes.data(), static_cast<size_t>(bytes.size())), bytes.size());
            ::close(fd);
            tree[path] = bytes;
        }
    }
    ::closedir(dir);
}

class RenameToolTest : public ::testing::Test
{
protected:
    ~RenameToolTest() override
    {
        // Names that are not UTF-8 are beyond QTemporaryDir's removal.
        ::nftw(
            root.constData(), [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }

    /// The tool in the temporary folder, its journals and settings there too; with
    /// `fileSystem`, the tool's run in a child of this process over that file system.
    ToolRun tool(const QList<QByteArray>& args, RenameCalls* fileSystem = nullptr) const
    {
        const QByteArray outFile = root + "/.out";
        const QByteArray errFile = root + "/.err";
        const pid_t child = ::fork();
        if (child == 0) {
            ::chdir(root.constData());
            ::setenv("XDG_STATE_HOME", (root + "/.state").constData(), 1);
            ::setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
            const int out = ::open(outFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(CALVANE_RENAME_EXE)};
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            if (fileSystem) {
                const int status = RunRenameTool(
                    ParseRenameToolArgs(static_cast<int>(argv.size()) - 1, argv.data()), [] { return false; },
                    *fileSystem);
                std::fflush(stdout);
                std::_Exit(status);
            }
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ToolRun run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = TempDir::read(QString::fromUtf8(outFile));
        run.err = TempDir::read(QString::fromUtf8(errFile));
        return run;
    }

    /// The tool started on a pipe that nobody reads yet: the run blocks part way,
    /// once the pipe is full, in the middle of the files. Returns once the journal
    /// has stopped growing; `output` is the pipe's end to read.
    pid_t startBlocked(const QList<QByteArray>& args, int& output) const
    {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::chdir(root.constData());
            ::setenv("XDG_STATE_HOME", (root + "/.state").constData(), 1);
            ::setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            const int err = ::open((root + "/.err").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(CALVANE_RENAME_EXE)};
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        ::close(out[1]);
        output = out[0];
        qsizetype journaled = -1;
        for (int wait = 0; wait < 200; ++wait) { // until the journal stops growing
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const qsizetype now =
                journals().isEmpty() ? 0 : TempDir::read(QString::fromUtf8(journals()[0])).count('\n');
            if (now > 0 && now == journaled) {
                break;
            }
            journaled = now;
        }
        return child;
    }

    /// Reads the rest of the output and waits for the end: the exit status, or -1.
    static int finish(pid_t child, int output, QByteArray& printed)
    {
        char buf[65536];
        for (ssize_t n; (n = ::read(output, buf, sizeof buf)) > 0;) {
            printed.append(buf, n);
        }
        ::close(output);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void write(const QByteArray& path, const QByteArray& bytes) const
    {
        const QByteArray full = root + '/' + path;
        for (qsizetype slash = full.indexOf('/', root.size() + 1); slash > 0;
             slash = full.indexOf('/', slash + 1)) {
            ::mkdir(full.first(slash).constData(), 0755);
        }
        const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << full.toStdString();
        EXPECT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }

    Tree tree(const QByteArray& folder = "music") const
    {
        Tree t;
        scanTree(root + '/' + folder, {}, t);
        return t;
    }

    /// Removes a file or a whole tree, links as links.
    static void removeTree(const QByteArray& path)
    {
        ::nftw(
            path.constData(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    /// The journals written so far, oldest first.
    QList<QByteArray> journals() const
    {
        QStringList names =
            QDir(QString::fromUtf8(root + "/.state/calvane")).entryList(QDir::Files, QDir::Name);
        QList<QByteArray> paths;
        for (const QString& name : names) {
            paths << root + "/.state/calvane/" + name.toUtf8();
        }
        return paths;
    }

    TempDir dir;
    const QByteArray root = QFile::encodeName(dir.root());
};

const QByteArray kSjisSong = hex("8F74 82CC 8A43"); // 春の海

QStringList lines(const QByteArray& out)
{
    QStringList l = QString::fromUtf8(out).split(u'\n');
    if (!l.isEmpty() && l.back().isEmpty()) {
        l.pop_back();
    }
    return l;
}

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
    EXPECT_EQ(lines(plan.out),
              QStringList({
                  QStringLiteral("music/03.mid -> Song.mid"),
                  QStringLiteral("music/Already.mid: unchanged"),
                  QStringLiteral("music/blank.mid: 2 MIDIタイトルが入力されていません"),
                  QStringLiteral("music/long.mid: 5 ファイルにアクセスできません "
                                 "読み取り専用または書き込み不可のメディアに記憶されています (%1)")
                      .arg(longName),
                  QStringLiteral("music/refused.mid: 3 MIDIタイトルに不正な文字が入力されています"),
                  QStringLiteral("music/track01.mid -> 春の海.mid"),
                  QStringLiteral("music/TRACK02.MID: 4 同名のファイルが存在します (Song.mid)"),
                  QStringLiteral("music/utf8.mid -> さくら.mid"),
                  QStringLiteral("music/曲.mid -> 曲の名.mid"),
                  QStringLiteral("music/sub/パス/deep.mid -> Deep.mid"),
              }));
    EXPECT_EQ(plan.status, 1) << "the name too long is a failure";
    EXPECT_TRUE(
        plan.err.contains("plan for 10 files: 5 to rename, 1 unchanged, 3 skipped (1 no title, 1 refused "
                          "character, 1 name exists), 1 failed (1 access failure)"))
        << plan.err.toStdString();
    const ToolRun jsonPlan = tool({"--dry-run", "--json", "--recursive", "music"});
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(journals().isEmpty());

    const ToolRun run = tool({"--json", "-r", "music"});
    EXPECT_EQ(run.out, jsonPlan.out);
    EXPECT_EQ(run.status, 1);
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
                                  QStringLiteral("music/d.mid -> Same (3).mid"),
                                  QStringLiteral("music/e.mid -> Same (4).mid"),
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
    const QString music = dir.path(QStringLiteral("music/"));
    EXPECT_EQ(lines(undo.out), QStringList({
                                   music + QStringLiteral("4.mid: unchanged"),
                                   music + QStringLiteral("Three.mid -> 3.mid"),
                                   music + QStringLiteral("Two.mid: 4 同名のファイルが存在します (2.mid)"),
                                   music + QStringLiteral("One.mid -> 1.mid"),
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
    EXPECT_TRUE(lines(undo.out).first().startsWith(QString::fromUtf8(root + "/music/Two.mid: 1 ")))
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
    };
    for (const QList<QByteArray>& args : bad) {
        const ToolRun run = tool(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << args.join(' ').toStdString();
    }
    EXPECT_TRUE(QFile::exists(dir.path(QStringLiteral("music/a.mid"))));

    const ToolRun help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--undo JOURNAL") && help.out.contains("--on-conflict=number"));
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
    EXPECT_EQ(ReadJournal(TempDir::read(dir.path(QStringLiteral("mine.jsonl")))).entries.size(), 1u);
    EXPECT_EQ(tool({"--journal", "mine.jsonl", "music"}).status, 1)
        << "an existing journal is never written over";
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

// The review list's plan is the tool's: the same steps over the same planned
// space, row for row, for folders of every kind of finding.
struct PlanCase
{
    const char* name;
    std::vector<std::pair<QByteArray, QByteArray>> files; ///< path under music, title
    bool recursive;
    bool replaceRefused;
    OnConflict onConflict;
};

class ReviewPlanIsTheToolsPlan : public RenameToolTest, public ::testing::WithParamInterface<PlanCase>
{};

/// A JSON line's path relative to music/, its bytes when it names them.
QByteArray relativeField(const QJsonObject& line, const QString& field)
{
    const QJsonValue hexValue = line.value(field + QStringLiteral("_hex"));
    const QByteArray path = hexValue.isString() ? QByteArray::fromHex(hexValue.toString().toLatin1())
                                                : line.value(field).toString().toUtf8();
    return path.startsWith("music/") ? path.sliced(6) : path;
}

TEST_P(ReviewPlanIsTheToolsPlan, RowForRow)
{
    const PlanCase& c = GetParam();
    for (const auto& [path, title] : c.files) {
        write("music/" + path, MidiWithTitle(title));
    }
    QList<QByteArray> args{"-n", "--json"};
    if (c.recursive) {
        args << "-r";
    }
    if (c.replaceRefused) {
        args << "--replace-refused";
    }
    if (c.onConflict == OnConflict::Number) {
        args << "--on-conflict=number";
    }
    const ToolRun run = tool(args << "music");
    QStringList fromTool;
    for (const QByteArray& line : run.out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        fromTool << QStringLiteral("%1 | %2 | %3 | %4 | %5")
                        .arg(QString::fromLatin1(relativeField(o, QStringLiteral("from")).toHex()),
                             QString::fromLatin1(relativeField(o, QStringLiteral("to")).toHex()))
                        .arg(o.value(QStringLiteral("result")).toInt(-1))
                        .arg(QString::fromLatin1(relativeField(o, QStringLiteral("wanted")).toHex()))
                        .arg(o.value(QStringLiteral("error")).toInt(0));
    }
    ReviewOptions options;
    options.recursive = c.recursive;
    options.replaceRefused = c.replaceRefused;
    options.onConflict = c.onConflict;
    const ReviewPlan plan = ReviewPlan::Make(root + "/music", options, [] { return false; });
    QStringList fromList;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const FileRename& f = plan.row(i).plan;
        const QByteArray relative = plan.relativePath(i);
        const QByteArray folder = relative.first(relative.lastIndexOf('/') + 1);
        fromList << QStringLiteral("%1 | %2 | %3 | %4 | %5")
                        .arg(QString::fromLatin1(relative.toHex()),
                             QString::fromLatin1(
                                 f.result == ConvResult::Renamed ? (folder + f.newName).toHex() : ""))
                        .arg(static_cast<int>(f.result))
                        .arg(QString::fromLatin1(f.wantedName.isEmpty() ? ""
                                                                        : (folder + f.wantedName).toHex()))
                        .arg(f.error);
    }
    EXPECT_FALSE(fromList.isEmpty());
    EXPECT_EQ(fromList, fromTool);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ReviewPlanIsTheToolsPlan,
    ::testing::Values(
        PlanCase{"ClashesWithinTheList",
                 {{"a.mid", "Z"},
                  {"b.mid", "a"},
                  {"c.mid", "Same"},
                  {"d.mid", "Same"},
                  {"e.mid", "Same"},
                  {"x.mid", "y"},
                  {"y.mid", "x"},
                  {"Kept.mid", "Kept"}},
                 false,
                 false,
                 OnConflict::Skip},
        PlanCase{"NumberedClashes",
                 {{"c.mid", "Same"}, {"d.mid", "Same"}, {"Same (2).mid", "Other"}, {"e.mid", "Same"}},
                 false,
                 false,
                 OnConflict::Number},
        PlanCase{"RefusedCharacters",
                 {{"r1.mid", "A/B"}, {"r2.mid", "Who?"}, {"r3.mid", "Line\r\nTwo"}, {"r4.mid", ".hidden"}},
                 false,
                 false,
                 OnConflict::Skip},
        PlanCase{"RefusedCharactersReplaced",
                 {{"r1.mid", "A/B"}, {"r2.mid", "Who?"}, {"r3.mid", "Line\r\nTwo"}},
                 false,
                 true,
                 OnConflict::Skip},
        PlanCase{"NoTitles",
                 {{"blank.mid", ""}, {"spaces.mid", "   "}, {"ok.mid", "Fine  "}},
                 false,
                 false,
                 OnConflict::Skip},
        PlanCase{"ShiftJisNames",
                 {{"\x8b\xc8.mid", "\x8b\xc8\x82\xcc\x96\xbc"},
                  {"\x83\x70\x83\x58.mid", "\x8b\xc8\x82\xcc\x96\xbc"},
                  {"long.mid", QByteArray("\x92\xb7").repeated(127)}},
                 false,
                 false,
                 OnConflict::Skip},
        PlanCase{"ASubfolderTree",
                 {{"top.mid", "Song"},
                  {"sub/one.mid", "Song"},
                  {"sub/two.mid", "Song"},
                  {"sub/\x83\x70\x83\x58/deep.mid", "Deep"},
                  {"sub/deeper/more/x.mid", "top"}},
                 true,
                 false,
                 OnConflict::Skip}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// A run of the window is taken back by the tool, and a run of the tool by the window's undo.
TEST_F(RenameToolTest, TheWindowsJournalsAndTheToolsTakeEachOtherBack)
{
    write("music/1.mid", MidiWithTitle("One"));
    write("music/2.mid", MidiWithTitle("Two"));
    write("music/\x8b\xc8.mid", MidiWithTitle("\x8b\xc8\x82\xcc\x96\xbc"));
    const Tree before = tree();
    ReviewPlan plan = ReviewPlan::Make(root + "/music", {}, [] { return false; });
    RunJournal window("review", root + "/music/", {}, root + "/.state/calvane/");
    ::mkdir((root + "/.state").constData(), 0700);
    ::mkdir((root + "/.state/calvane").constData(), 0700);
    EXPECT_EQ(ApplyReviewPlan(plan, window, [](qsizetype, qsizetype) { return true; }).renamed, 3);
    window.close();
    ASSERT_EQ(journals().size(), 1);
    const ToolRun undo = tool({"--undo", journals()[0]});
    EXPECT_EQ(undo.status, 0) << undo.err.toStdString();
    EXPECT_EQ(tree(), before);

    ASSERT_EQ(tool({"music"}).status, 0);
    EXPECT_NE(tree(), before);
    const std::vector<JournalRun> runs = ListJournalRuns(root + "/.state/calvane/");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].run, "") << "the newest is the tool's run";
    EXPECT_TRUE(runs[2].undone) << "the window's run, taken back by the tool";
    RunJournal back("undo", runs[0].folder, runs[0].path, root + "/.state/calvane/");
    const UndoRunResult undone =
        UndoJournalRun(runs[0].path, back, [](qsizetype, qsizetype) { return true; });
    back.close();
    EXPECT_EQ(undone.count(UndoOutcome::Done), 3);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(ListJournalRuns(root + "/.state/calvane/")[1].undone);
}

} // namespace
