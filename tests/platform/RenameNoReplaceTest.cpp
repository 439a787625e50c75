#include "platform/RenameNoReplace.h"

#include "FakeFileSystem.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace calvane;
using namespace calvane::test;

namespace {

QByteArray native(const TempDir& dir, const QString& name)
{
    return NativePath(dir.path(name));
}

std::int32_t renameError(const QByteArray& from, const QByteArray& to)
{
    try {
        RenameNoReplace(from, to);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(RenameNoReplace, RenamesAndKeepsTheContent)
{
    TempDir dir;
    dir.write(QStringLiteral("old.mid"), "MThd one");
    EXPECT_EQ(renameError(native(dir, QStringLiteral("old.mid")), native(dir, QStringLiteral("新しい.mid"))),
              0);
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("old.mid"))));
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("新しい.mid"))), "MThd one");
}

TEST(RenameNoReplace, NeverReplacesAnExistingFileAndLeavesBothAsTheyWere)
{
    TempDir dir;
    dir.write(QStringLiteral("a.mid"), "first");
    dir.write(QStringLiteral("b.mid"), "second");
    const QByteArray a = native(dir, QStringLiteral("a.mid"));
    const QByteArray b = native(dir, QStringLiteral("b.mid"));
    EXPECT_EQ(renameError(a, b), ErrNo::FileAlreadyExists);
    FakeFileSystem linksOnly;
    linksOnly.noRenameNoReplace = true;
    EXPECT_EQ(RenameNoReplaceAt(AT_FDCWD, a, b, linksOnly).err, EEXIST); // the fallback refuses the same way
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("a.mid"))), "first");
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("b.mid"))), "second");
}

/// The names in a folder, byte for byte, hidden ones too.
QStringList namesIn(const TempDir& dir)
{
    QStringList names = QDir(dir.root()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

// Each road a file system has renames, never replaces, takes a case-only change and
// leaves nothing behind: RENAME_NOREPLACE, a hard link, a placeholder made
// exclusively (FAT and exFAT through FUSE, some network file systems); on a file
// system blind to case, also where it gives each spelling an inode number of its own.
TEST(RenameNoReplace, EveryRoadRenamesNeverReplacesAndLeavesNothingBehind)
{
    struct System
    {
        const char* what;
        bool noRenameNoReplace;
        bool noLinks;
        bool ignoresCase;
        bool inodePerSpelling;
        const char* road; ///< the call that renames a.mid
    };
    const System systems[] = {
        {"the kernel's", false, false, false, false, "renameNoReplace"},
        {"no RENAME_NOREPLACE", true, false, false, false, "link"},
        {"neither RENAME_NOREPLACE nor links", true, true, false, false, "renameOver"},
        {"case-blind", false, false, true, false, "renameNoReplace"},
        {"case-blind, neither, an inode per spelling", true, true, true, true, "renameOver"},
    };
    for (const System& system : systems) {
        TempDir dir;
        dir.write(QStringLiteral("a.mid"), "one");
        dir.write(QStringLiteral("b.mid"), "two");
        dir.write(QStringLiteral("Song.MID"), "song");
        FakeFileSystem fs;
        fs.noRenameNoReplace = system.noRenameNoReplace;
        fs.noLinks = system.noLinks;
        fs.ignoresCase = system.ignoresCase;
        fs.inodePerSpelling = system.inodePerSpelling;
        const RenameFolder folder(QFile::encodeName(dir.root()));
        ASSERT_TRUE(folder.isOpen());
        const auto rename = [&](const char* from, const char* to) {
            return RenameNoReplaceAt(folder.fd(), from, to, fs).err;
        };
        EXPECT_EQ(rename("a.mid", "new.mid"), 0) << system.what;
        EXPECT_NE(std::find_if(fs.log.begin(), fs.log.end(),
                               [&](const std::string& call) { return call.starts_with(system.road); }),
                  fs.log.end())
            << system.what;
        EXPECT_EQ(rename("new.mid", "b.mid"), EEXIST) << system.what;
        EXPECT_EQ(rename("b.mid", "b.mid"), 0) << system.what;
        EXPECT_EQ(rename("gone.mid", "x.mid"), ENOENT) << system.what;
        EXPECT_EQ(rename("Song.MID", "Song.mid"), 0) << system.what;
        EXPECT_EQ(namesIn(dir), QStringList({QStringLiteral("Song.mid"), QStringLiteral("b.mid"),
                                             QStringLiteral("new.mid")}))
            << system.what;
        EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("new.mid"))), "one") << system.what;
        EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("b.mid"))), "two") << system.what;
        EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("Song.mid"))), "song") << system.what;
        // A rename over the placeholder that fails takes the placeholder away again.
        fs.renameOverError = EXDEV;
        EXPECT_EQ(rename("new.mid", "other.mid"), system.road == std::string("renameOver") ? EXDEV : 0)
            << system.what;
        EXPECT_EQ(namesIn(dir).size(), 3) << system.what;
    }
}

// Another program takes the new name of a case-only rename while the file stands
// under its temporary name: the file goes back to its old name when that name is
// free again, and otherwise is said to be where it is.
TEST(RenameNoReplace, ACaseOnlyRenameWhoseNameIsTakenMeanwhileGoesBackOrSaysWhereTheFileIs)
{
    for (const bool freedAgain : {true, false}) {
        TempDir dir;
        dir.write(QStringLiteral("Song.MID"), "song");
        FakeFileSystem fs;
        fs.ignoresCase = true;
        int backAttempts = 0;
        fs.before = [&](const std::string& call, const QByteArray& a, const QByteArray& b) {
            if (!a.startsWith(".calvane-rename-")) {
                return;
            }
            if (b == "Song.mid" && !QFile::exists(dir.path(QStringLiteral("song.mid")))) {
                dir.write(QStringLiteral("song.mid"), "theirs"); // the other program, just in time
            }
            if (call == "renameNoReplace" && b == "Song.MID" && ++backAttempts == 2 && freedAgain) {
                QFile::remove(dir.path(QStringLiteral("song.mid")));
            }
        };
        const RenameFolder folder(QFile::encodeName(dir.root()));
        const RenameOutcome outcome = RenameNoReplaceAt(folder.fd(), "Song.MID", "Song.mid", fs);
        EXPECT_EQ(outcome.err, EEXIST);
        const QStringList names = namesIn(dir);
        if (freedAgain) {
            EXPECT_TRUE(outcome.strandedAs.isEmpty());
            EXPECT_EQ(names, QStringList{QStringLiteral("Song.MID")});
        } else {
            EXPECT_TRUE(outcome.strandedAs.startsWith(".calvane-rename-"))
                << outcome.strandedAs.toStdString();
            EXPECT_EQ(names,
                      QStringList({QString::fromUtf8(outcome.strandedAs), QStringLiteral("song.mid")}));
            EXPECT_EQ(TempDir::read(dir.path(QString::fromUtf8(outcome.strandedAs))), "song");
            EXPECT_GT(backAttempts, 2) << "the way back is tried more than once";
        }
    }
}

TEST(RenameNoReplace, ItsOwnNameAndACaseOnlyChangeSucceed)
{
    TempDir dir;
    dir.write(QStringLiteral("Song.MID"), "data");
    const QByteArray path = native(dir, QStringLiteral("Song.MID"));
    EXPECT_EQ(renameError(path, path), 0);
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("Song.MID"))), "data");
    EXPECT_EQ(renameError(path, native(dir, QStringLiteral("Song.mid"))), 0);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files), QStringList{QStringLiteral("Song.mid")});
}

TEST(RenameNoReplace, FailuresMapToRunTimeErrorNumbers)
{
    TempDir dir;
    dir.write(QStringLiteral("a.mid"), "data");
    const QByteArray a = native(dir, QStringLiteral("a.mid"));
    EXPECT_EQ(renameError(native(dir, QStringLiteral("gone.mid")), native(dir, QStringLiteral("x.mid"))),
              ErrNo::FileNotFound);
    // A name the file system cannot hold is an access failure, not the end of the program.
    EXPECT_EQ(renameError(a, native(dir, QString(300, u'x') + QStringLiteral(".mid"))),
              ErrNo::PathFileAccessError);
    EXPECT_EQ(renameError(a, a.first(a.size() - 4) + QByteArray("\0x.mid", 6)), ErrNo::BadFileName);
    EXPECT_EQ(renameError(a, native(dir, QStringLiteral("no/such/folder.mid"))), ErrNo::FileNotFound);
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("a.mid"))), "data");
    EXPECT_EQ(RenameErrorNumber(ENAMETOOLONG), ErrNo::PathFileAccessError);
    EXPECT_EQ(RenameErrorNumber(EROFS), ErrNo::PathFileAccessError);
    EXPECT_EQ(RenameErrorNumber(EEXIST), ErrNo::FileAlreadyExists);
}

// Many renames race for one new name: exactly one wins, no file is lost.
TEST(RenameNoReplace, RacingRenamesToOneNameLoseNoFile)
{
    TempDir dir;
    constexpr int kFiles = 16;
    for (int i = 0; i < kFiles; ++i) {
        dir.write(QStringLiteral("f%1.mid").arg(i), QByteArray::number(i));
    }
    const QByteArray target = native(dir, QStringLiteral("title.mid"));
    std::atomic<int> renamed{0};
    std::atomic<int> refused{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kFiles; ++i) {
        threads.emplace_back([&, i] {
            while (!go) {
                std::this_thread::yield();
            }
            const std::int32_t err = renameError(native(dir, QStringLiteral("f%1.mid").arg(i)), target);
            (err == 0 ? renamed : refused)++;
            EXPECT_TRUE(err == 0 || err == ErrNo::FileAlreadyExists) << err;
        });
    }
    go = true;
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(renamed.load(), 1);
    EXPECT_EQ(refused.load(), kFiles - 1);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files).size(), kFiles);
}

} // namespace
