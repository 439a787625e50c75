// The batch of the tools and the windows on the disk: folders that change under a
// run, folders reached twice, a file left under a temporary name.

#include "rename/BatchRename.h"

#include "FakeFileSystem.h"
#include "Fakes.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "midi/MidiBytes.h"
#include "rename/RenameJournal.h"
#include "rename/TrashSpace.h"

#include <QDir>

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

/// A file renamed to the title it holds, as the tools do it.
FileRename renameToTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                         const TitleRenameOptions& options)
{
    const TitleRead read = ReadTitleForRename(folder + name);
    return read.error != 0 ? UnreadableFile(read.error)
                           : RenameToGivenTitle(space, folder, name, read.title, options);
}

QStringList namesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

// A folder listed by the batch and then replaced (by a link to another folder, by
// another folder, or taken away) is not renamed in: its file is "no file", and the
// file of the same name in the folder now at its path keeps its name.
TEST(DiskRenameSpace, AFolderReplacedAfterItWasListedIsNotRenamedIn)
{
    enum class Swap
    {
        None,
        Link,
        Folder,
        Gone
    };
    for (const Swap swap : {Swap::None, Swap::Link, Swap::Folder, Swap::Gone}) {
        TempDir dir;
        QDir().mkpath(dir.path(QStringLiteral("tree/sub")));
        QDir().mkpath(dir.path(QStringLiteral("other")));
        dir.write(QStringLiteral("tree/sub/a.mid"), MidiWithTitle("Mine"));
        dir.write(QStringLiteral("other/a.mid"), MidiWithTitle("Theirs"));
        const Batch batch =
            CollectBatch({QFile::encodeName(dir.path(QStringLiteral("tree")))}, true, [] { return false; });
        ASSERT_EQ(batch.size(), 1);
        DiskRenameSpace disk;
        batch.expectFoldersIn(disk);

        const QString sub = dir.path(QStringLiteral("tree/sub"));
        if (swap != Swap::None) {
            ASSERT_TRUE(QDir().rename(sub, dir.path(QStringLiteral("sub.old"))));
        }
        if (swap == Swap::Link) {
            ASSERT_TRUE(QFile::link(dir.path(QStringLiteral("other")), sub));
        } else if (swap == Swap::Folder) {
            ASSERT_TRUE(QDir().rename(dir.path(QStringLiteral("other")), sub));
        }
        const FileRename file = renameToTitle(disk, batch.folder(0), batch.name(0), {});
        const int row = static_cast<int>(swap);
        if (swap == Swap::None) {
            EXPECT_EQ(file.result, ConvResult::Renamed);
            EXPECT_EQ(namesIn(sub), QStringList{QStringLiteral("Mine.mid")});
            continue;
        }
        EXPECT_EQ(file.result, ConvResult::NoFile) << row;
        EXPECT_EQ(namesIn(sub), swap == Swap::Gone ? QStringList() : QStringList{QStringLiteral("a.mid")})
            << row << ": the other folder's file keeps its name";
        EXPECT_EQ(namesIn(dir.path(QStringLiteral("sub.old"))), QStringList{QStringLiteral("a.mid")}) << row;
    }
}

// A folder mounted again inside the tree (a bind mount) is the same folder: its files
// are listed once, not once for each path. Needs a mount namespace of its own.
TEST(CollectBatch, AFolderMountedAgainInsideTheTreeIsListedOnce)
{
    TempDir dir;
    QDir().mkpath(dir.path(QStringLiteral("tree/a")));
    QDir().mkpath(dir.path(QStringLiteral("tree/b/again")));
    dir.write(QStringLiteral("tree/a/1.mid"), MidiWithTitle("One"));
    dir.write(QStringLiteral("tree/a/2.mid"), MidiWithTitle("Two"));
    const QByteArray a = QFile::encodeName(dir.path(QStringLiteral("tree/a")));
    const QByteArray again = QFile::encodeName(dir.path(QStringLiteral("tree/b/again")));
    const QByteArray tree = QFile::encodeName(dir.path(QStringLiteral("tree")));
    constexpr int kCannotMount = 77;
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ownNamespace = ::unshare(CLONE_NEWNS) == 0 &&
                                  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                                  ::mount(a.constData(), again.constData(), nullptr, MS_BIND, nullptr) == 0;
        if (!ownNamespace) {
            std::_Exit(kCannotMount);
        }
        const Batch batch = CollectBatch({tree}, true, [] { return false; });
        std::_Exit(static_cast<int>(batch.size()));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotMount) {
        GTEST_SKIP() << "no mount namespace without privileges";
    }
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// A case-only rename whose new name another program takes while the file stands under
// its temporary name: the file is said to be there, tried under no other name, kept
// in the journal as renamed to it, and the undo brings it back once its name is free.
TEST(JournaledRenameSpace, AFileLeftUnderATemporaryNameIsJournaledThereAndTheUndoBringsItBack)
{
    TempDir dir;
    dir.write(QStringLiteral("Song.MID"), MidiWithTitle("Song"));
    FakeFileSystem blind;
    blind.ignoresCase = true;
    blind.before = [&](const std::string&, const QByteArray& a, const QByteArray& b) {
        if (a.startsWith(".calvane-rename-") && b == "Song.mid") {
            dir.write(QStringLiteral("song.mid"), "theirs"); // another program, just in time
        }
    };
    DiskRenameSpace disk(blind);
    const QString journalPath = dir.path(QStringLiteral("run.jsonl"));
    JournaledRenameSpace journal(disk, NativePath(journalPath), JournalHeaderLine(QStringLiteral("now")),
                                 JournaledRenameSpace::OnJournalFailure::Refuse);
    TitleRenameOptions options;
    options.onConflict = OnConflict::Number;
    const QByteArray folder = NativePath(dir.root()) + '/';
    const FileRename file = renameToTitle(journal, folder, "Song.MID", options);
    EXPECT_EQ(file.result, ConvResult::NameExists);
    ASSERT_TRUE(file.strandedAs.startsWith(".calvane-rename-")) << file.strandedAs.toStdString();
    EXPECT_EQ(namesIn(dir.root()), QStringList({QString::fromUtf8(file.strandedAs),
                                                QStringLiteral("run.jsonl"), QStringLiteral("song.mid")}))
        << "no numbered name was tried";
    EXPECT_EQ(journal.close(), 0);
    const JournalRead read = ReadJournal(TempDir::read(journalPath));
    ASSERT_EQ(read.entries, (std::vector<JournalEntry>{{folder + "Song.MID", folder + file.strandedAs}}));

    ASSERT_TRUE(QFile::remove(dir.path(QStringLiteral("song.mid"))));
    DiskRenameSpace plain;
    FakeTrash unused;
    DiskTrashSpace trash(unused);
    EXPECT_EQ(UndoJournalEntry(plain, trash, read.entries[0]).outcome, UndoOutcome::Done);
    EXPECT_EQ(namesIn(dir.root()), QStringList({QStringLiteral("Song.MID"), QStringLiteral("run.jsonl")}));
}

} // namespace
