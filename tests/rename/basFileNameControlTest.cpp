#include "rename/basFileNameControl.h"

#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

struct TitleCase
{
    const char16_t* title;
    int expected;
    friend void PrintTo(const TitleCase& c, std::ostream* os)
    {
        *os << "[";
        for (const char16_t* t = c.title; *t; ++t) {
            if (*t < 0x20) {
                *os << "^" << char('@' + *t); // control characters shown as ^M, ^J
            } else {
                *os << QString(QChar(*t)).toStdString();
            }
        }
        *os << "]";
    }
};

class FindInvalidTitleCharTable : public ::testing::TestWithParam<TitleCase>
{};

TEST_P(FindInvalidTitleCharTable, Position)
{
    EXPECT_EQ(FindInvalidTitleChar(QString::fromUtf16(GetParam().title)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, FindInvalidTitleCharTable,
                         ::testing::Values(TitleCase{u"Song, No. 1", 5}, TitleCase{u"A;B", 2},
                                           TitleCase{u"abc|def", 4}, TitleCase{u"Title\r\n", 6},
                                           TitleCase{u"", 0}, TitleCase{u"   ", 0}, TitleCase{u"end.", 0},
                                           TitleCase{u"全角？＊：", 0}, TitleCase{u"\"quoted\"", 1},
                                           TitleCase{u"tab\there", 0}, TitleCase{u"曲名/2", 3},
                                           TitleCase{u"a\\b", 2}, TitleCase{u"<x>", 1}, TitleCase{u"x>", 2},
                                           TitleCase{u"why?", 4}, TitleCase{u"a*", 2}, TitleCase{u"C:", 2},
                                           TitleCase{u"L\n", 2}));

// ReplaceRefusedChars puts a form a name may hold in place of exactly those.
TEST(FindInvalidTitleChar, RefusesExactlyThirteenCharactersOfAsciiAndControlsWhichHaveLookAlikes)
{
    const QString refused = QStringLiteral("\"*,/:;<>?\\|\r\n");
    int count = 0;
    for (char16_t c = 0; c < 0x80; ++c) {
        const QString one(QChar{c});
        const bool isRefused = FindInvalidTitleChar(one) == 1;
        EXPECT_EQ(isRefused, refused.contains(QChar{c})) << int(c);
        count += isRefused ? 1 : 0;
        const QString replaced = ReplaceRefusedChars(one);
        EXPECT_EQ(FindInvalidTitleChar(replaced), 0) << int(c);
        EXPECT_EQ(replaced == one, !isRefused) << int(c);
    }
    EXPECT_EQ(count, 13);
    EXPECT_EQ(ReplaceRefusedChars(refused), QStringLiteral("＂＊，／：；＜＞？＼｜ "));
    EXPECT_EQ(ReplaceRefusedChars(u"1\r2\n3\n\r4\r\n"), QStringLiteral("1 2 3  4 "));
}

TEST(FindInvalidTitleChar, APositionBeyond16BitsOverflows)
{
    const QString title = QString(40000, u'a') + u'?';
    EXPECT_THROW(FindInvalidTitleChar(title), RuntimeError);
    EXPECT_EQ(FindInvalidTitleChar(QString(40000, u'a')), 0);
}

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
