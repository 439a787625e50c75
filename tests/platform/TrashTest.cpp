// Deleting files for real: the desktop trash through GIO, RecycleFile over it,
// and the permanent deletion with its read-only rule.

#include "platform/Trash.h"

#include "Fakes.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "Unreadable.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/basFileControl.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

/// GIO reads HOME and XDG_DATA_HOME once per process, so every test here shares
/// one home folder of its own, set before the first call: the tests' trash is
/// never the user's. Returns that folder's trash.
QString TestTrash()
{
    static TempDir home;
    static const bool set = [] {
        const QByteArray root = NativePath(home.root());
        return ::setenv("HOME", root.constData(), 1) == 0 &&
               ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1) == 0;
    }();
    EXPECT_TRUE(set);
    return home.path(QStringLiteral("data/Trash"));
}

/// Removes a folder and everything in it, whatever the names' bytes.
void RemoveAll(const QString& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(NativePath(folder).toStdString()), ignored);
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

/// Runs body in a child process that has given up root and returns its exit
/// code; -1 when the user could not be changed.
int ExitCodeWithoutRoot(const std::function<int()>& body)
{
    constexpr int kNoUser = 100;
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::_Exit(GiveUpRoot() ? body() : kNoUser);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != kNoUser ? WEXITSTATUS(status) : -1;
}

std::int32_t ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

class TrashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        trash = TestTrash();
        RemoveAll(trash);
        dir.write(QStringLiteral("keep.mid"), "neighbour");
    }

    void TearDown() override { RemoveAll(trash); }

    /// The bytes of a file named by its native bytes, or a null array when there is none.
    static QByteArray contentOf(const QByteArray& nativePath)
    {
        const WholeFile file = ReadWholeOrdinaryFile(nativePath);
        return file.status == WholeFile::Status::Ok ? file.bytes : QByteArray();
    }

    TempDir dir;
    QString trash;
};

// GIO's way (the window's deletion) and our own (the tools', and a copy whose
// place the journal keeps) make the same trash: the same place and the same record.
TEST_F(TrashTest, FilesOfAnyNameGoToTheirVolumesTrashWithTheRecordToRestoreThem)
{
    GioTrash gio;
    FreedesktopTrash own;
    for (const int way : {0, 1, 2})
        for (const QByteArray name : {"song.mid", "\xe6\x9b\xb2 #1 100%.mid", "\x8b\xc8\x96\xbc.mid"}) {
            SCOPED_TRACE(name.toHex().toStdString() + " way " +
                         std::to_string(way)); // plain, UTF-8 with URI characters, Shift_JIS
            RemoveAll(trash);
            const QByteArray original = dir.writeNative(name, "MThd " + name);
            ASSERT_EQ(way == 0   ? RecycleFile(original, gio)
                      : way == 1 ? RecycleFile(original, own)
                                 : gio.MoveToTrashAt(original, {}),
                      0);
            EXPECT_FALSE(IsOrdinaryFile(original));
            EXPECT_EQ(contentOf(NativePath(trash) + "/files/" + name), "MThd " + name);
            const QList<QByteArray> info =
                contentOf(NativePath(trash) + "/info/" + name + ".trashinfo").split('\n');
            ASSERT_GE(info.size(), 3);
            EXPECT_EQ(info[0], "[Trash Info]");
            EXPECT_EQ(QByteArray::fromPercentEncoding(info[1]), "Path=" + original);
            EXPECT_TRUE(info[2].startsWith("DeletionDate="));
            EXPECT_TRUE(QDateTime::fromString(QString::fromLatin1(info[2].mid(13)), Qt::ISODate).isValid());
        }
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("keep.mid"))), "neighbour");
}

// The record is made first, new, and claims the name in the trash: the place is
// known (and can be journaled) before the file moves; a name taken there gets
// the next number; a move that is called off, or that cannot be made, leaves the
// file where it was and no record behind.
TEST_F(TrashTest, ThePlaceInTheTrashIsKnownAndRecordedBeforeTheFileMoves)
{
    GioTrash gio;
    const QByteArray files = NativePath(trash) + "/files/";
    const QByteArray info = NativePath(trash) + "/info/";
    QList<TrashPlace> places;
    for (int i = 0; i < 3; ++i) {
        const QByteArray original = dir.writeNative("\x8b\xc8.mid", "copy " + QByteArray::number(i));
        const int moved = gio.MoveToTrashAt(original, [&](const TrashPlace& place) {
            EXPECT_TRUE(IsOrdinaryFile(original)) << "not moved yet";
            EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(place.file)));
            EXPECT_TRUE(contentOf(place.info).contains("\nPath=" + original.toPercentEncoding("/") + "\n"));
            places << place;
            return true;
        });
        ASSERT_EQ(moved, 0);
        EXPECT_EQ(contentOf(places.back().file), "copy " + QByteArray::number(i));
    }
    EXPECT_EQ(places, (QList<TrashPlace>{{files + "\x8b\xc8.mid", info + "\x8b\xc8.mid.trashinfo"},
                                         {files + "\x8b\xc8.2.mid", info + "\x8b\xc8.2.mid.trashinfo"},
                                         {files + "\x8b\xc8.3.mid", info + "\x8b\xc8.3.mid.trashinfo"}}));

    // A file left in the trash without its record: its name is not taken over.
    WriteFile(QString::fromLocal8Bit(files + "a.mid"), "left behind");
    const QByteArray a = dir.writeNative("a.mid", "new");
    TrashPlace taken;
    ASSERT_EQ(gio.MoveToTrashAt(a, [&](const TrashPlace& place) { return (taken = place), true; }), 0);
    EXPECT_EQ(taken.file, files + "a.2.mid");
    EXPECT_EQ(contentOf(files + "a.mid"), "left behind");

    const QByteArray kept = dir.writeNative("kept.mid", "stays");
    TrashPlace refused;
    EXPECT_EQ(gio.MoveToTrashAt(kept, [&](const TrashPlace& place) { return (refused = place), false; }),
              ECANCELED);
    EXPECT_EQ(contentOf(kept), "stays");
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(refused.info)));
    EXPECT_EQ(gio.MoveToTrashAt(NativePath(dir.path(QStringLiteral("missing.mid"))), {}), ENOENT);
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(info + "missing.mid.trashinfo")));
}

// A file on another volume goes to that volume's own trash, .Trash-<uid> at its
// top, whose record names it relative to that top.
TEST_F(TrashTest, AFileOnAnotherVolumeGoesToThatVolumesTrash)
{
    struct stat home
    {};
    struct stat shm
    {};
    ASSERT_EQ(::stat(NativePath(dir.root()).constData(), &home), 0); // the home trash's volume
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == home.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no other volume to write on here";
    }
    const QByteArray folder = "/dev/shm/calvane-trash-test-" + QByteArray::number(::getpid());
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray file = folder + "/x.mid";
    WriteFile(QString::fromLocal8Bit(file), "on shm");
    const QByteArray volumeTrash = "/dev/shm/.Trash-" + QByteArray::number(::getuid());
    const bool hadTrash = QFileInfo::exists(QString::fromLocal8Bit(volumeTrash));
    GioTrash gio;
    TrashPlace place;
    EXPECT_EQ(gio.MoveToTrashAt(file, [&](const TrashPlace& p) { return (place = p), true; }), 0);
    EXPECT_TRUE(place.file.startsWith(volumeTrash + "/files/x")) << place.file.toStdString();
    EXPECT_TRUE(
        contentOf(place.info).contains("\nPath=" + file.sliced(QByteArray("/dev/shm/").size()) + "\n"));
    EXPECT_EQ(contentOf(place.file), "on shm");
    ::unlink(place.file.constData());
    ::unlink(place.info.constData());
    ::rmdir(folder.constData());
    if (!hadTrash) {
        RemoveAll(QString::fromLocal8Bit(volumeTrash));
    }
}

TEST_F(TrashTest, OnlyOrdinaryFilesGoAndARefusalIsNeverTheReadOnlyError)
{
    FakeTrash fake;
    QDir().mkpath(dir.path(QStringLiteral("folder.mid")));
    dir.write(QStringLiteral(".hidden.mid"), "MThd");
    for (const char* name : {"missing.mid", "folder.mid", ".hidden.mid"}) {
        EXPECT_EQ(RecycleFile(NativePath(dir.path(QString::fromLatin1(name))), fake), kRecycleNoFile) << name;
    }
    EXPECT_TRUE(fake.given.isEmpty());

    // GIO itself refuses when a file stands where the trash folder should be made.
    const QByteArray song = NativePath(dir.write(QStringLiteral("song.mid"), "MThd"));
    QDir().mkpath(QFileInfo(trash).path());
    WriteFile(trash, "not a folder");
    GioTrash gio;
    const std::int32_t gioError = ErrorOf([&] { RecycleFile(song, gio); });
    EXPECT_NE(gioError, 0);
    EXPECT_NE(gioError, ErrNo::PathFileAccessError);
    for (const int err : {EACCES, EROFS, ENOTSUP}) {
        fake.failWith = err;
        const std::int32_t number = ErrorOf([&] { RecycleFile(song, fake); });
        EXPECT_NE(number, 0) << err;
        EXPECT_NE(number, ErrNo::PathFileAccessError) << err;
    }
    EXPECT_EQ(contentOf(song), "MThd");
    QFile::remove(trash);
}

TEST_F(TrashTest, APermanentDeletionRemovesTheFileOrSaysWhyNot)
{
    const QByteArray song = NativePath(dir.write(QStringLiteral("song.mid"), "MThd"));
    const QByteArray sjis = dir.writeNative("\x8b\xc8.mid", "MThd");
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(song); }), 0);
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(sjis); }), 0);
    EXPECT_FALSE(IsOrdinaryFile(song));
    EXPECT_FALSE(IsOrdinaryFile(sjis));

    // Missing and a folder: no such file.
    QDir().mkpath(dir.path(QStringLiteral("folder.mid")));
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(song); }), ErrNo::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(NativePath(dir.path(QStringLiteral("folder.mid")))); }),
              ErrNo::FileNotFound);

    // No write permission for anyone: protected, even from root and in a writable folder.
    const QByteArray locked = NativePath(dir.write(QStringLiteral("locked.mid"), "MThd"));
    ASSERT_EQ(::chmod(locked.constData(), 0444), 0);
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(locked); }), ErrNo::PathFileAccessError);
    EXPECT_EQ(contentOf(locked), "MThd");
    // A link to it is removed as a link; the protected file stays.
    const QByteArray link = NativePath(dir.path(QStringLiteral("link.mid")));
    ASSERT_EQ(::symlink(locked.constData(), link.constData()), 0);
    EXPECT_EQ(ErrorOf([&] { DeleteFilePermanently(link); }), 0);
    EXPECT_EQ(contentOf(locked), "MThd");
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("keep.mid"))), "neighbour");
}

TEST_F(TrashTest, AFolderThatRefusesTheDeletionGivesTheReadOnlyError)
{
    // Root may unlink anywhere: the deletion runs in a child that is another user.
    const QString folder = dir.path(QStringLiteral("shelf"));
    QDir().mkpath(folder);
    const QByteArray song = NativePath(folder + QStringLiteral("/song.mid"));
    WriteFile(folder + QStringLiteral("/song.mid"), "MThd");
    ::chmod(song.constData(), 0666);
    ::chmod(NativePath(dir.root()).constData(), 0755);
    ::chmod(NativePath(folder).constData(), 0555);
    const int code = ExitCodeWithoutRoot([&] { return ErrorOf([&] { DeleteFilePermanently(song); }); });
    ::chmod(NativePath(folder).constData(), 0755);
    if (code < 0) {
        GTEST_SKIP() << "cannot run as another user here";
    }
    EXPECT_EQ(code, ErrNo::PathFileAccessError);
    EXPECT_EQ(contentOf(song), "MThd");
}

} // namespace
