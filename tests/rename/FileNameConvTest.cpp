#include "rename/FileNameConv.h"

#include "FakeFileSystem.h"
#include "Fakes.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "rename/RenameSpace.h"
#include "settings/Settings.h"

#include <QDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

class FileNameConvTest : public ::testing::Test
{
protected:
    ConvOutcome conv(const QString& fileName, const QString& title)
    {
        return FileNameConv(disk, dir.root(), fileName, title, settings, reporter, "frmMain_FileNameConv");
    }
    QStringList files() const { return QDir(dir.root()).entryList(QDir::Files | QDir::Hidden); }

    TempDir dir;
    Settings settings; // Space and LastSpace on
    FakeErrorReporter reporter;
    DiskRenameSpace disk;
};

TEST_F(FileNameConvTest, RenamesToTheTitleWithALowerCaseExtension)
{
    dir.write(QStringLiteral("track01.MID"), "MThd");
    const ConvOutcome out = conv(QStringLiteral("track01.MID"), QStringLiteral("春の海"));
    EXPECT_EQ(out.result, ConvResult::Renamed);
    EXPECT_EQ(files(), QStringList{QStringLiteral("春の海.mid")});
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("春の海.mid"))), "MThd");
}

TEST_F(FileNameConvTest, TheChecksRunInTheirOrderAndTheFirstFailingOneDecides)
{
    dir.write(QStringLiteral("a.mid"), "x");
    EXPECT_EQ(conv(QString(), QString()).result, ConvResult::NoFile);
    EXPECT_EQ(conv(QString(), QStringLiteral("?")).result, ConvResult::NoFile);
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QString()).result, ConvResult::NoTitle);

    const ConvOutcome spaces = conv(QStringLiteral("a.mid"), QStringLiteral(" \u3000 "));
    EXPECT_EQ(spaces.result, ConvResult::NoTitle);
    EXPECT_EQ(spaces.title, QString()); // the title box is emptied

    const ConvOutcome refused = conv(QStringLiteral("a.mid"), QStringLiteral("abc?d  "));
    EXPECT_EQ(refused.result, ConvResult::RefusedChar);
    EXPECT_EQ(refused.refusedAt, 3);
    EXPECT_EQ(refused.title, QStringLiteral("abc?d")); // trimmed, also when a later check fails
    EXPECT_EQ(files(), QStringList{QStringLiteral("a.mid")});
}

TEST_F(FileNameConvTest, TrailingHalfWidthSpacesGoWhileIdeographicOnesStay)
{
    dir.write(QStringLiteral("a.mid"), "x");
    dir.write(QStringLiteral("b.mid"), "x");
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QStringLiteral("Title  ")).title, QStringLiteral("Title"));
    EXPECT_EQ(conv(QStringLiteral("b.mid"), QStringLiteral("題\u3000 ")).title, QStringLiteral("題\u3000"));
    EXPECT_EQ(files(), QStringList({QStringLiteral("Title.mid"), QStringLiteral("題\u3000.mid")}));
}

TEST_F(FileNameConvTest, OnlySpacesWithSpaceOffFollowLastSpace)
{
    settings.Space = false;
    settings.LastSpace = false;
    dir.write(QStringLiteral("a.mid"), "x");
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QStringLiteral("  ")).result, ConvResult::Renamed);
    EXPECT_EQ(files(), QStringList{QStringLiteral("  .mid")});

    // Emptiness is tested before the trimming, but a title the trimming empties
    // would name the file ".mid", a hidden file that vanishes from the list.
    settings.LastSpace = true;
    const ConvOutcome out = conv(QStringLiteral("  .mid"), QStringLiteral("   "));
    EXPECT_EQ(out.result, ConvResult::NoTitle);
    EXPECT_EQ(out.title, QString());
    EXPECT_EQ(files(), QStringList{QStringLiteral("  .mid")});
}

TEST_F(FileNameConvTest, ATitleThatWouldMakeAHiddenFileIsRefusedAtItsPeriod)
{
    dir.write(QStringLiteral("a.mid"), "x");
    const ConvOutcome dots = conv(QStringLiteral("a.mid"), QStringLiteral("...And Then"));
    EXPECT_EQ(dots.result, ConvResult::RefusedChar);
    EXPECT_EQ(dots.refusedAt, 0);
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QStringLiteral(" .x")).result, ConvResult::Renamed);
    EXPECT_EQ(files(), QStringList{QStringLiteral(" .x.mid")});
}

TEST_F(FileNameConvTest, NulsThatEndTheTitleAreDroppedWhileAnyOtherU0000IsRefused)
{
    const QChar nul(u'\0');
    dir.write(QStringLiteral("a.mid"), "x");
    struct Case
    {
        QString title;
        ConvResult result;
        qsizetype refusedAt;
        QString shown;
    };
    const Case cases[] = {
        {QStringLiteral("ab") + nul + QStringLiteral("c"), ConvResult::RefusedChar, 2,
         QStringLiteral("ab") + nul + QStringLiteral("c")},
        {QStringLiteral("a|") + nul + QStringLiteral("b"), ConvResult::RefusedChar, 1,
         QStringLiteral("a|") + nul + QStringLiteral("b")},
        {QString(2, nul), ConvResult::NoTitle, -1, QString()},
        {QStringLiteral("Song") + nul + nul, ConvResult::Renamed, -1, QStringLiteral("Song")},
    };
    for (const Case& c : cases) {
        const ConvOutcome out = conv(QStringLiteral("a.mid"), c.title);
        EXPECT_EQ(out.result, c.result) << c.title.toStdString();
        EXPECT_EQ(out.refusedAt, c.refusedAt) << c.title.toStdString();
        EXPECT_EQ(out.title, c.shown) << c.title.toStdString();
    }
    EXPECT_EQ(files(), QStringList{QStringLiteral("Song.mid")});
}

TEST_F(FileNameConvTest, AnExistingNameAndANameTooLongAreResultsNotFailures)
{
    dir.write(QStringLiteral("a.mid"), "first");
    dir.write(QStringLiteral("Taken.mid"), "second");
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QStringLiteral("Taken")).result, ConvResult::NameExists);
    // A name too long says by how much: 900 bytes of title and ".mid" where 255 fit.
    const ConvOutcome tooLong = conv(QStringLiteral("a.mid"), QString(300, u'長'));
    EXPECT_EQ(tooLong.result, ConvResult::TitleTooLong);
    EXPECT_EQ(ConvResultNumber(tooLong.result), 5);
    EXPECT_EQ(tooLong.tooLongBy, 649);
    EXPECT_EQ(ConvResultMessage(tooLong.result, tooLong.tooLongBy),
              QStringLiteral("MIDIタイトルが長すぎます（649 バイト超過）"));
    EXPECT_EQ(conv(QStringLiteral("a.mid"), QString(251, u'a')).result, ConvResult::Renamed)
        << "255 bytes fit";
    EXPECT_EQ(conv(QString(251, u'a') + QStringLiteral(".mid"), QString(252, u'b')).tooLongBy, 1);
    // Past 32,767 characters no name can exist: a refused character there is no
    // overflow of its position but the same result as any name too long.
    EXPECT_EQ(conv(QString(251, u'a') + QStringLiteral(".mid"), QString(40000, u'a') + u'?').result,
              ConvResult::TitleTooLong);
    EXPECT_EQ(conv(QString(251, u'a') + QStringLiteral(".mid"), QString(32767, u'a') + u'?').result,
              ConvResult::TitleTooLong);
    const ConvOutcome early = conv(QString(251, u'a') + QStringLiteral(".mid"), u'?' + QString(40000, u'a'));
    EXPECT_EQ(early.result, ConvResult::RefusedChar);
    EXPECT_EQ(early.refusedAt, 0);
    EXPECT_EQ(TempDir::read(dir.path(QString(251, u'a') + QStringLiteral(".mid"))), "first");
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("Taken.mid"))), "second");
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(FileNameConvTest, ItsOwnNameOrACaseOnlyChangeIsARename)
{
    dir.write(QStringLiteral("Song.mid"), "x");
    dir.write(QStringLiteral("Other.MID"), "y");
    EXPECT_EQ(conv(QStringLiteral("Song.mid"), QStringLiteral("Song")).result, ConvResult::Renamed);
    EXPECT_EQ(conv(QStringLiteral("Other.MID"), QStringLiteral("OTHER")).result, ConvResult::Renamed);
    EXPECT_EQ(files(), QStringList({QStringLiteral("OTHER.mid"), QStringLiteral("Song.mid")}));
}

// On a file system blind to case, another program takes the new name while the file
// stands under its temporary name, and keeps it: the file is in neither place the
// user knows, so the error handler gets where it is.
TEST_F(FileNameConvTest, ACaseOnlyRenameThatLeavesTheFileUnderATemporaryNameIsReportedWithThatName)
{
    dir.write(QStringLiteral("Song.MID"), "x");
    FakeFileSystem blind;
    blind.ignoresCase = true;
    blind.before = [&](const std::string&, const QByteArray& a, const QByteArray& b) {
        if (a.startsWith(".calvane-rename-") && b == "Song.mid") {
            dir.write(QStringLiteral("song.mid"), "theirs"); // another program, just in time
        }
    };
    DiskRenameSpace space(blind);
    EXPECT_THROW(FileNameConv(space, dir.root(), QStringLiteral("Song.MID"), QStringLiteral("Song"), settings,
                              reporter, "frmMain_FileNameConv"),
                 ProgramEnded);
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].number, ErrNo::FileAlreadyExists);
    EXPECT_EQ(reporter.reports[0].text,
              ErrorText(ErrNo::FileAlreadyExists) + QStringLiteral(": ") + PathFromNative(space.Stranded()));
    EXPECT_TRUE(QFile::exists(PathFromNative(space.Stranded())));
    EXPECT_TRUE(space.Stranded().startsWith(NativePath(dir.root()) + "/.calvane-rename-"));
}

TEST_F(FileNameConvTest, AVanishedFileIsNoFileAndAnyOtherFailureGoesToTheErrorHandler)
{
    EXPECT_EQ(conv(QStringLiteral("gone.mid"), QStringLiteral("Title")).result, ConvResult::NoFile);
    EXPECT_TRUE(reporter.reports.empty());

    dir.write(QStringLiteral("plain.mid"), "x"); // a file where a folder is needed
    EXPECT_EQ(conv(QStringLiteral("plain.mid/inner.mid"), QStringLiteral("Title")).result,
              ConvResult::NoFile);

    // The folder's own parent exists but can never be renamed (EBUSY).
    EXPECT_THROW(conv(QStringLiteral(".."), QStringLiteral("Title")), ProgramEnded);
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].number, ErrNo::PermissionDenied);
    EXPECT_EQ(reporter.reports[0].procedure, QStringLiteral("frmMain_FileNameConv"));
    EXPECT_EQ(reporter.reports[0].text, ErrorText(ErrNo::PermissionDenied));
    EXPECT_EQ(files(), QStringList{QStringLiteral("plain.mid")});
}

TEST(BatchGoesOn, PastRenamedFilesAndFilesTheTicksLeaveButNeverPastAnAccessFailure)
{
    struct Row
    {
        ConvResult result;
        bool goesOn[4]; // ticks off, NoMIDITitle, ErrSkip, both
    };
    const Row rows[] = {
        {ConvResult::Renamed, {true, true, true, true}},
        {ConvResult::NoFile, {false, false, true, true}},
        {ConvResult::NoTitle, {false, true, true, true}},
        {ConvResult::RefusedChar, {false, false, true, true}},
        {ConvResult::NameExists, {false, false, true, true}},
        {ConvResult::AccessFailure, {false, false, false, false}},
        {ConvResult::TitleTooLong, {false, false, true, true}}, // a rule, skipped like 1 to 4
    };
    for (const Row& row : rows) {
        for (int ticks = 0; ticks < 4; ++ticks) {
            EXPECT_EQ(BatchGoesOn(row.result, ticks & 2, ticks & 1), row.goesOn[ticks])
                << static_cast<int>(row.result) << " ticks " << ticks;
        }
    }
}

TEST_F(FileNameConvTest, AShiftJisNamedFileGetsAUtf8Name)
{
    const QByteArray raw = NativePath(dir.root()) + "/\x8b\xc8.mid";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(conv(PathFromNative("\x8b\xc8.mid"), QStringLiteral("曲")).result, ConvResult::Renamed);
    EXPECT_EQ(files(), QStringList{QStringLiteral("曲.mid")});
    EXPECT_TRUE(QFile::exists(QString::fromUtf8(NativePath(dir.root()) + "/\xe6\x9b\xb2.mid")));
}

} // namespace
