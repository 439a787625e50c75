#include "platform/RenameNoReplace.h"

#include "QtPrint.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"

#include <QDir>

#include <atomic>
#include <cerrno>
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
    EXPECT_EQ(detail::RenameByLinkErrno(a, b), EEXIST); // the fallback refuses the same way
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("a.mid"))), "first");
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("b.mid"))), "second");
}

TEST(RenameNoReplace, TheLinkFallbackRenamesWithoutLeavingTheOldName)
{
    TempDir dir;
    dir.write(QStringLiteral("a.mid"), "data");
    EXPECT_EQ(
        detail::RenameByLinkErrno(native(dir, QStringLiteral("a.mid")), native(dir, QStringLiteral("b.mid"))),
        0);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files), QStringList{QStringLiteral("b.mid")});
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
