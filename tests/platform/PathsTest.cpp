#include "platform/Paths.h"

#include "TempDir.h"
#include "platform/NativeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

struct SplitCase
{
    const char16_t* path;
    const char16_t* file;
    const char16_t* folder;
    friend void PrintTo(const SplitCase& c, std::ostream* os)
    {
        // Backslashes doubled: a test name must not end in a lone one.
        *os << "[" << QString::fromUtf16(c.path).replace(u'\\', QStringLiteral("\\\\")).toStdString() << "]";
    }
};

class WindowsSplit : public ::testing::TestWithParam<SplitCase>
{};

TEST_P(WindowsSplit, FileAndFolderPart)
{
    const QString path = QString::fromUtf16(GetParam().path);
    EXPECT_EQ(GetFileNamePart(path, PathRules::Windows), QString::fromUtf16(GetParam().file));
    EXPECT_EQ(GetFolderPart(path, PathRules::Windows), QString::fromUtf16(GetParam().folder));
}

INSTANTIATE_TEST_SUITE_P(Paths, WindowsSplit,
                         ::testing::Values(SplitCase{u"C:\\MIDI\\song.mid", u"song.mid", u"C:\\MIDI\\"},
                                           SplitCase{u"C:song.mid", u"song.mid", u"C:"},
                                           SplitCase{u"song.mid", u"", u"song.mid"},
                                           SplitCase{u"C:\\MIDI\\", u"", u"C:\\MIDI\\"},
                                           SplitCase{u"C:\\", u"", u"C:\\"},
                                           SplitCase{u"C:/MIDI/a.mid", u"/MIDI/a.mid", u"C:"}));

class PosixSplit : public ::testing::TestWithParam<SplitCase>
{};

TEST_P(PosixSplit, FileAndFolderPart)
{
    const QString path = QString::fromUtf16(GetParam().path);
    EXPECT_EQ(GetFileNamePart(path, PathRules::Posix), QString::fromUtf16(GetParam().file));
    EXPECT_EQ(GetFolderPart(path, PathRules::Posix), QString::fromUtf16(GetParam().folder));
    EXPECT_EQ(GetFileNamePart(path), QString::fromUtf16(GetParam().file)) << "native rule";
}

INSTANTIATE_TEST_SUITE_P(Paths, PosixSplit,
                         ::testing::Values(SplitCase{u"/home/u/MIDI/song.mid", u"song.mid", u"/home/u/MIDI/"},
                                           SplitCase{u"/song.mid", u"song.mid", u"/"},
                                           SplitCase{u"/", u"", u"/"},
                                           SplitCase{u"song.mid", u"", u"song.mid"},
                                           SplitCase{u"/m/a\\b:c.mid", u"a\\b:c.mid", u"/m/"},
                                           SplitCase{u"/m/dir/", u"", u"/m/dir/"}));

TEST(GetAppFolder, IsTheExecutablesFolderWithOneSeparator)
{
    const QString folder = GetAppFolder();
    EXPECT_TRUE(folder.endsWith(u'/'));
    EXPECT_FALSE(folder.endsWith(QStringLiteral("//")));
    EXPECT_EQ(QFileInfo(folder + QStringLiteral("rename_test")).exists(), true) << folder.toStdString();
    EXPECT_EQ(WithTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(WithTrailingSeparator(QStringLiteral("D:\\"), PathRules::Windows), QStringLiteral("D:\\"));
    EXPECT_EQ(WithTrailingSeparator(QStringLiteral("D:\\Tools"), PathRules::Windows),
              QStringLiteral("D:\\Tools\\"));
}

TEST(ToLongPathName, AbsolutePathOfAnExistingPathElseEmpty)
{
    TempDir dir;
    const QString file = dir.write(QStringLiteral("a b.mid"), "x");
    EXPECT_EQ(ToLongPathName(file), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(ToLongPathName(dir.path(QStringLiteral("none.mid"))), QString());
    EXPECT_EQ(ToLongPathName(QString()), QString());

    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.root()));
    const QString root = QFileInfo(dir.root()).canonicalFilePath();
    ASSERT_TRUE(QDir(dir.root()).mkdir(QStringLiteral("sub")));
    EXPECT_EQ(ToLongPathName(QStringLiteral("a b.mid")), root + QStringLiteral("/a b.mid"));
    EXPECT_EQ(ToLongPathName(QStringLiteral(".//sub/../a b.mid/")), root + QStringLiteral("/a b.mid"));
    // The kernel cannot go through a folder that is not there, even to come back.
    EXPECT_EQ(ToLongPathName(QStringLiteral("./none/../a b.mid")), QString());
    QDir::setCurrent(saved);
}

// ".." after a link is the parent of the link's target, as the kernel takes it:
// "link/../a.mid" names the a.mid beside the target, not the one beside the link.
TEST(ToLongPathName, DotDotAfterALinkIsTheParentOfItsTarget)
{
    TempDir dir;
    const QString root = QFileInfo(dir.root()).canonicalFilePath();
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("far/target")));
    const QString nearFile = dir.write(QStringLiteral("a.mid"), "near");
    const QString farFile = dir.write(QStringLiteral("far/a.mid"), "far");
    ASSERT_EQ(::symlink("far/target", NativePath(root + QStringLiteral("/link")).constData()), 0);
    struct Case
    {
        QString given;
        QString expected;
    };
    const Case cases[] = {
        {root + QStringLiteral("/link/../a.mid"), root + QStringLiteral("/far/a.mid")},
        {root + QStringLiteral("/link/./../../a.mid"), root + QStringLiteral("/a.mid")},
        {root + QStringLiteral("/link/../target/../a.mid"), root + QStringLiteral("/far/a.mid")},
        {root + QStringLiteral("/link/../none.mid"), QString()},
        // Without "..", the link stays in the path as given.
        {root + QStringLiteral("/link/."), root + QStringLiteral("/link")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToLongPathName(c.given), c.expected) << c.given.toStdString();
    }
    EXPECT_EQ(TempDir::read(ToLongPathName(root + QStringLiteral("/link/../a.mid"))), "far");
    EXPECT_EQ(TempDir::read(nearFile), "near");
    EXPECT_EQ(TempDir::read(farFile), "far");
}

TEST(ToLongPathName, KeepsANameThatIsNotUtf8)
{
    TempDir dir;
    QDir(dir.root()).mkdir(QStringLiteral("sub"));
    const QString lossless = PathFromNative(dir.writeNative("\x8b\xc8.mid", {}));
    EXPECT_EQ(ToLongPathName(lossless), lossless);
    EXPECT_EQ(NativePath(ToLongPathName(lossless)), NativePath(dir.root()) + "/\x8b\xc8.mid");
}

} // namespace
