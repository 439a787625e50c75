#include "platform/NativeFile.h"

#include "TempDir.h"
#include "Unreadable.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

TEST(NativeFile, ReadsAWholeFileAndTellsAbsentFromUnreadable)
{
    TempDir dir;
    const QByteArray content(70000, 'x');
    const QString file = dir.write(QStringLiteral("a.mid"), content);
    WholeFile read = ReadWholeOrdinaryFile(NativePath(file));
    EXPECT_EQ(read.status, WholeFile::Status::Ok);
    EXPECT_EQ(read.bytes, content);

    EXPECT_EQ(ReadWholeOrdinaryFile(NativePath(dir.path("missing.mid"))).status, WholeFile::Status::Absent);
    EXPECT_EQ(ReadWholeOrdinaryFile(NativePath(dir.path("a.mid/x"))).status, WholeFile::Status::Absent);
    EXPECT_EQ(ReadWholeOrdinaryFile(NativePath(dir.root())).status, WholeFile::Status::Absent);
    EXPECT_EQ(ReadWholeOrdinaryFile(QByteArray()).status, WholeFile::Status::Absent);

    // Too long to take into memory: refused rather than an allocation that could end the program.
    const QString huge = dir.write(QStringLiteral("huge.mid"), "MThd");
    ASSERT_TRUE(QFile::resize(huge, kMaxWholeFileBytes + 1)); // sparse: no disk space used
    read = ReadWholeOrdinaryFile(NativePath(huge));
    EXPECT_EQ(read.status, WholeFile::Status::Unreadable);
    EXPECT_EQ(read.err, EFBIG);
    EXPECT_TRUE(read.bytes.isEmpty());

    // Anything under a path exists, whatever its kind; nothing does under a file.
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dir.root()));
    EXPECT_TRUE(PathExists(QStringLiteral("/dev/null")));
    EXPECT_FALSE(PathExists(dir.path("missing.mid")));
    EXPECT_FALSE(PathExists(file + QStringLiteral("/x")));
    EXPECT_FALSE(PathExists(QString()));
}

TEST(NativeFileDeathTest, AFileThatCannotBeOpenedIsUnreadableNotAbsent)
{
    TempDir dir;
    const QByteArray locked = NativePath(WriteLockedFile(dir, QStringLiteral("locked.mid"), "MThd"));
    EXPECT_EXIT(
        {
            if (!GiveUpRoot()) {
                std::_Exit(2);
            }
            const WholeFile read = ReadWholeOrdinaryFile(locked);
            std::_Exit(read.status == WholeFile::Status::Unreadable && read.err == EACCES ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(NativeFile, HiddenFilesCountAsAbsent)
{
    TempDir dir;
    const QString hidden = dir.write(QStringLiteral(".song.mid"), "MThd");
    EXPECT_FALSE(IsOrdinaryFile(NativePath(hidden)));
    EXPECT_EQ(ReadWholeOrdinaryFile(NativePath(hidden)).status, WholeFile::Status::Absent);
    EXPECT_TRUE(IsOrdinaryFile(NativePath(dir.write(QStringLiteral("song.mid"), "MThd"))));
}

// A FIFO or a device named like a MIDI file is absent, and it is never opened: the
// open of a device may act on it.
TEST(NativeFile, AFifoOrADeviceIsAbsentAndNeverOpened)
{
    TempDir dir;
    const QByteArray fifo = NativePath(dir.path(QStringLiteral("pipe.mid")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    QList<QByteArray> others{fifo};
    const QByteArray device = NativePath(dir.path(QStringLiteral("null.mid")));
    if (::mknod(device.constData(), S_IFCHR | 0600, ::makedev(1, 3)) == 0) { // where a device may be made
        others << device;
    }
    for (const QByteArray& path : others) {
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, path.constData(), IN_OPEN), 0);
        EXPECT_EQ(ReadWholeOrdinaryFile(path).status, WholeFile::Status::Absent) << path.toStdString();
        EXPECT_FALSE(IsOrdinaryFile(path));
        char events[4096];
        EXPECT_LT(::read(watch, events, sizeof events), 0) << path.toStdString() << " was opened";
        ::close(watch);
    }
}

TEST(NativeFile, NamesThatAreNotUtf8AreReadByTheirBytes)
{
    TempDir dir;
    // "曲.mid" in Shift_JIS: not valid UTF-8.
    const QByteArray name = dir.writeNative("\x8B\xC8.mid", "MThd");
    const WholeFile read = ReadWholeOrdinaryFile(name);
    EXPECT_EQ(read.status, WholeFile::Status::Ok);
    EXPECT_EQ(read.bytes, QByteArray("MThd"));
}

} // namespace

namespace {

TEST(NativePath, EveryByteSequenceSurvivesTheRoundTrip)
{
    const QByteArray samples[] = {
        QByteArray("/plain/ascii.mid"),
        QByteArray("/utf8/\xE6\x9B\xB2.mid"),                      // 曲
        QByteArray("/sjis/\x8B\xC8\x96\xBC.mid"),                  // 曲名 in Shift_JIS
        QByteArray("/mixed/\xE6\x9B\xB2\x82\xA0\xF0\x9F\x8E\xB5"), // UTF-8, Shift_JIS, an emoji
        QByteArray("\xED\xA0\x80\xC0\xAF\xF5\xFF\xE6\x9B"),        // surrogate, overlong, out of range, cut
    };
    for (const QByteArray& native : samples) {
        const QString path = PathFromNative(native);
        EXPECT_EQ(NativePath(path), native) << native.toHex().toStdString();
    }
    EXPECT_EQ(PathFromNative("/utf8/\xE6\x9B\xB2.mid"), QString::fromUtf16(u"/utf8/曲.mid"));
    EXPECT_FALSE(HasEscapedBytes(PathFromNative("/utf8/\xE6\x9B\xB2\xF0\x9F\x8E\xB5")));
    EXPECT_TRUE(HasEscapedBytes(PathFromNative("/sjis/\x8B\xC8")));
    EXPECT_EQ(NativePath(QString::fromUtf16(u"/x/曲🎵")), QByteArray("/x/\xE6\x9B\xB2\xF0\x9F\x8E\xB5"));
}

} // namespace
