#include "platform/Directory.h"

#include "QtPrint.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/Volumes.h"

#include <QDir>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

QStringList shownNames(const NameList& names)
{
    QStringList out;
    for (qsizetype i = 0; i < names.size(); ++i) {
        out.append(names.shown(i).toString());
    }
    return out;
}

TEST(ListFolder, MidiFilesInAnyCaseSortedByNameWithoutHiddenOnesOrOtherKinds)
{
    TempDir dir;
    for (const char* name :
         {"b.mid", "A.MID", "c.Mid", "notes.txt", "d.midi", "emid", ".hidden.mid", "a.mid"}) {
        dir.write(QString::fromLatin1(name), "x");
    }
    QDir(dir.root()).mkdir(QStringLiteral("folder.mid"));
    QDir(dir.root()).mkdir(QStringLiteral("Sub"));
    QDir(dir.root()).mkdir(QStringLiteral(".git"));
    ASSERT_EQ(::mkfifo(NativePath(dir.path(QStringLiteral("pipe.mid"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("b.mid", NativePath(dir.path(QStringLiteral("link.mid"))).constData()), 0);
    ASSERT_EQ(::symlink("gone", NativePath(dir.path(QStringLiteral("broken.mid"))).constData()), 0);

    const FolderListing listing = ListFolder(dir.root(), u".mid");
    EXPECT_EQ(shownNames(listing.files),
              QStringList({QStringLiteral("A.MID"), QStringLiteral("a.mid"), QStringLiteral("b.mid"),
                           QStringLiteral("c.Mid"), QStringLiteral("link.mid")}));
    EXPECT_EQ(shownNames(listing.folders),
              QStringList({QStringLiteral("folder.mid"), QStringLiteral("Sub")}));
}

TEST(ListFolder, ANameThatIsNotUtf8IsKeptAsBytesAndShownInItsCodePage932Reading)
{
    TempDir dir;
    const QByteArray raw = dir.writeNative("\x8b\xc8\x96\xbc.mid", {}); // "曲名" in Shift_JIS

    const FolderListing listing = ListFolder(dir.root(), u".mid");
    ASSERT_EQ(listing.files.size(), 1);
    EXPECT_EQ(listing.files.shown(0), QStringLiteral("曲名.mid"));
    EXPECT_EQ(NativePath(dir.root() + u'/' + listing.files.name(0).toString()), raw);
}

// The sort folds each text once instead of at every comparison: the order must be
// the one QString::compare gives without regard to case, then the name.
TEST(NameList, SortsAsACaseInsensitiveComparisonThenByNameAndKeepsEveryNameLossless)
{
    const QByteArray names[] = {
        "b.mid",
        "A.MID",
        "Long common prefix B.mid", // past the 16 units the sort packs
        "long common prefix a.mid",
        "LONG COMMON PREFIX A.mid",
        "a.mid",
        "a.Mid",
        "_x.mid",
        "10.mid",
        "9.mid",
        "Z.mid",
        "[z].mid",
        "~.mid",
        "\xc3\x89mile.mid", // Émile
        "\xc3\xa9"
        "a.mid", // éa
        "Ea.mid",
        "\xce\xa3.mid", // Σ
        "\xcf\x82.mid", // ς
        "\xcf\x83.mid", // σ
        "Stra\xc3\x9f"
        "e.mid", // Straße
        "STRASSE.mid",
        "\xf0\x90\x90\x80.mid", // 𐐀 (its lower case is 𐐨)
        "\xf0\x90\x90\xa8.mid",
        "\xef\xbd\x81.mid", // ａ (full width)
        "\xe6\x9b\xb2.mid", // 曲
        "\x8b\xc8.mid",     // 曲 in Shift_JIS: shown so, kept as bytes
        "a\x81.mid",        // neither: shown with U+FFFD
        "\xef\xbf\xbd.mid", // U+FFFD itself
        "",
    };
    NameList list;
    std::vector<std::pair<QString, QString>> expected; // shown, name
    for (const QByteArray& native : names) {
        list.appendNative(native);
        const QString name = PathFromNative(native);
        expected.emplace_back(ShownName(name), name);
    }
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    list.sort();
    ASSERT_EQ(list.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list.shown(i), expected[static_cast<std::size_t>(i)].first) << i;
        EXPECT_EQ(list.name(i), expected[static_cast<std::size_t>(i)].second) << i;
    }
}

TEST(ShownName, Utf8AsItIsElseCodePage932ElseReplacementCharacters)
{
    EXPECT_EQ(ShownName(QStringLiteral("曲.mid")), QStringLiteral("曲.mid"));
    EXPECT_EQ(ShownName(PathFromNative("\x8b\xc8.mid")), QStringLiteral("曲.mid"));
    // 0x81 before "." is neither UTF-8 nor code page 932.
    EXPECT_EQ(ShownName(PathFromNative("a\x81.mid")), QStringLiteral("a\uFFFD.mid"));
    // A path: each name on its own, so UTF-8 folders stay as they are beside a Shift_JIS file.
    EXPECT_EQ(ShownPath(PathFromNative("/\xe6\x9b\xb2/\x8b\xc8/\x96\xbc.mid")),
              QStringLiteral("/曲/曲/名.mid"));
    EXPECT_EQ(ShownPath(QStringLiteral("/a/b.mid")), QStringLiteral("/a/b.mid"));
}

TEST(ListFolder, AFolderThatCannotBeReadThrows)
{
    TempDir dir;
    try {
        ListFolder(dir.path(QStringLiteral("missing")), u".mid");
        FAIL() << "no failure";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), ErrNo::FileNotFound);
    }
    EXPECT_TRUE(IsFolder(dir.root()));
    EXPECT_FALSE(IsFolder(dir.write(QStringLiteral("f.mid"), "x")));
    EXPECT_FALSE(IsFolder(QString()));
}

TEST(DriveOf, TheLongestRootThatHoldsThePathByWholeFolderNames)
{
    const QStringList roots{QStringLiteral("/"), QStringLiteral("/media/usb"), QStringLiteral("/mnt")};
    EXPECT_EQ(DriveOf(QStringLiteral("/media/usb/a/b.mid"), roots), QStringLiteral("/media/usb"));
    EXPECT_EQ(DriveOf(QStringLiteral("/media/usb"), roots), QStringLiteral("/media/usb"));
    EXPECT_EQ(DriveOf(QStringLiteral("/media/usb2/x.mid"), roots), QStringLiteral("/"));
    EXPECT_EQ(DriveOf(QStringLiteral("/home/x.mid"), roots), QStringLiteral("/"));
    EXPECT_EQ(DriveOf(QStringLiteral("relative/x.mid"), roots), QString());
    EXPECT_EQ(DriveOf(QStringLiteral("\\\\server\\share\\x.mid"), roots), QString());
    EXPECT_TRUE(MountedDriveRoots().contains(QStringLiteral("/")));
}

// The mount table as the kernel writes it: the mount point unescaped, the type
// after the lone "-" (optional fields or not); the kernel's own file systems and
// what lies under /dev, /proc, /sys, /var/run and /var/lock are no drives.
TEST(MountTable, MountPointsAndTypesAndWhichAreNoDrives)
{
    struct Row
    {
        QByteArray line;
        QString root; ///< empty: the line gives no mount
        QByteArray type;
        bool system;
    };
    const Row rows[] = {
        {"27 1 254:0 / / rw,relatime - ext4 /dev/vda rw", QStringLiteral("/"), "ext4", false},
        {"36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 shared:7 - ext3 /dev/root rw",
         QStringLiteral("/mnt/parent"), "ext3", false},
        {"40 27 0:45 / /media/u/My\\040Disk\\134x rw - vfat /dev/sdb1 rw",
         QStringLiteral("/media/u/My Disk\\x"), "vfat", false},
        {"41 27 0:46 / /mnt/nas rw - nfs4 nas:/music rw", QStringLiteral("/mnt/nas"), "nfs4", false},
        {"42 27 0:47 / /home/u/remote rw - fuse.sshfs u@host: rw", QStringLiteral("/home/u/remote"),
         "fuse.sshfs", false},
        {"43 27 0:48 / /run/user/1000 rw - tmpfs tmpfs rw", QStringLiteral("/run/user/1000"), "tmpfs", false},
        {"22 27 0:21 / /proc rw - proc proc rw", QStringLiteral("/proc"), "proc", true},
        {"31 23 0:28 / /sys/fs/cgroup rw - tmpfs tmpfs rw", QStringLiteral("/sys/fs/cgroup"), "tmpfs", true},
        {"25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw", QStringLiteral("/dev/shm"), "tmpfs", true},
        {"44 27 0:49 / /var/run rw - tmpfs tmpfs rw", QStringLiteral("/var/run"), "tmpfs", true},
        {"45 27 0:50 / /mnt/auto rw - autofs systemd-1 rw", QStringLiteral("/mnt/auto"), "autofs", true},
        {"46 27 0:51 / /developer rw - ext4 /dev/x rw", QStringLiteral("/developer"), "ext4", false},
        {"47 27 0:52 / /mnt/x rw - ", {}, {}, false}, // cut off before the type
        {"48 27 0:53 / /mnt/y rw", {}, {}, false},
        {"", {}, {}, false},
    };
    for (const Row& row : rows) {
        const std::vector<MountEntry> mounts = ParseMountInfo(row.line);
        if (row.root.isEmpty()) {
            EXPECT_TRUE(mounts.empty()) << row.line.toStdString();
            continue;
        }
        ASSERT_EQ(mounts.size(), 1u) << row.line.toStdString();
        EXPECT_EQ(mounts[0], (MountEntry{row.root, row.type}));
        EXPECT_EQ(IsSystemMount(mounts[0]), row.system) << row.line.toStdString();
    }
    EXPECT_EQ(ParseMountInfo(rows[0].line + '\n' + rows[3].line + '\n').size(), 2u);
}

namespace {

/// Mounts a FUSE volume that never answers (nothing reads its device) at point,
/// in a mount namespace of this process's own; false when that cannot be done.
bool mountHungVolume(const QByteArray& point)
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return false;
    }
    const int fuse = ::open("/dev/fuse", O_RDWR);
    if (fuse < 0) {
        return false;
    }
    const QByteArray options = "fd=" + QByteArray::number(fuse) + ",rootmode=40000,user_id=0,group_id=0";
    return ::mount("calvane-hung", point.constData(), "fuse", MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

} // namespace

// A network volume that hangs would hang whoever asks it anything: the drive list
// lists it from the mount table without asking it.
TEST(MountTable, AVolumeThatNeverAnswersIsListedWithoutBeingAsked)
{
    TempDir dir;
    const QByteArray point = QFile::encodeName(dir.path(QStringLiteral("hung")));
    ASSERT_EQ(::mkdir(point.constData(), 0755), 0);
    const pid_t probe = ::fork(); // only system calls in the child
    if (probe == 0) {
        ::_exit(mountHungVolume(point) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(probe, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        GTEST_SKIP() << "no FUSE volume can be mounted in a mount namespace of its own here";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a child of its own, started afresh
    EXPECT_EXIT(
        {
            if (!mountHungVolume(point)) {
                ::_exit(2);
            }
            ::alarm(20); // a question to the volume would wait for ever
            ::_exit(MountedDriveRoots().contains(QFile::decodeName(point)) ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
