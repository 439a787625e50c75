// The new name of a file: its extension, a title cut to fit, the listing by
// extensions, and an identical copy on a clash.

#include "rename/NewName.h"

#include "QtPrint.h"
#include "TempDir.h"
#include "rename/BatchRename.h"
#include "rename/RenameSpace.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

struct ExtensionCase
{
    const char* name;
    const char* extension;
};

class NewNameExtensionTable : public ::testing::TestWithParam<ExtensionCase>
{};

TEST_P(NewNameExtensionTable, TheFilesOwnInLowerCaseElseMid)
{
    EXPECT_EQ(NewNameExtension(GetParam().name), GetParam().extension) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, NewNameExtensionTable,
    ::testing::Values(ExtensionCase{"track01.mid", ".mid"}, ExtensionCase{"x.MID", ".mid"},
                      ExtensionCase{"x.Midi", ".midi"}, ExtensionCase{"x.KAR", ".kar"},
                      ExtensionCase{"x.rmi", ".rmi"}, ExtensionCase{"a.b.Kar", ".kar"},
                      ExtensionCase{"song.txt", ".txt"}, ExtensionCase{"noextension", ".mid"},
                      ExtensionCase{".kar", ".mid"}, ExtensionCase{"x.", ".mid"},
                      ExtensionCase{"01. Intro", ".mid"}, ExtensionCase{"x.\x8b\xc8", ".mid"},
                      ExtensionCase{"x.abcdefghi", ".mid"}, ExtensionCase{"x.mp3", ".mp3"}));

// --ext's list, and which names a listing of it takes, in any letter case.
TEST(Extensions, AListIsReadInAnyCaseAndAFolderListsExactlyItsFiles)
{
    EXPECT_EQ(ParseExtensionList("mid,MIDI,.kar,rmi,mid"),
              QStringList({QStringLiteral("mid"), QStringLiteral("midi"), QStringLiteral("kar"),
                           QStringLiteral("rmi")}));
    for (const char* bad : {"", "mid,", "m id", "mid,*", ".", "mid,\xe6\x9b\xb2", "abcdefghi"}) {
        EXPECT_FALSE(ParseExtensionList(bad).has_value()) << bad;
    }

    TempDir dir;
    for (const char* name :
         {"a.mid", "b.MID", "c.midi", "d.KaR", "e.rmi", "f.kar.txt", "g.mid.bak", "h", ".i.kar"}) {
        dir.write(QString::fromLatin1(name), "x");
    }
    const QByteArray folder = QFile::encodeName(dir.root()) + '/';
    struct Row
    {
        QStringList extensions;
        QStringList listed;
    };
    const Row rows[] = {
        {{QStringLiteral("mid")}, {"a.mid", "b.MID"}},
        {{QStringLiteral("kar")}, {"d.KaR"}},
        {{QStringLiteral("mid"), QStringLiteral("midi"), QStringLiteral("kar"), QStringLiteral("rmi")},
         {"a.mid", "b.MID", "c.midi", "d.KaR", "e.rmi"}},
    };
    for (const Row& row : rows) {
        const Batch batch = CollectBatch(
            {folder}, false, [] { return false; }, row.extensions);
        QStringList listed;
        for (qsizetype i = 0; i < batch.size(); ++i) {
            listed << QString::fromUtf8(batch.name(i));
            EXPECT_TRUE(HasExtension(batch.name(i), row.extensions));
        }
        EXPECT_EQ(listed, row.listed) << row.extensions.join(u',').toStdString();
    }
    // A file named on the command line is taken whatever it ends in, once.
    const Batch given = CollectBatch({folder + "f.kar.txt", folder + "a.mid", folder}, false,
                                     [] { return false; }, {QStringLiteral("mid")});
    ASSERT_EQ(given.size(), 3);
    EXPECT_EQ(given.name(0), "f.kar.txt");
    EXPECT_EQ(given.name(2), "b.MID");
}

struct CutCase
{
    const char* name;
    QString title;
    qsizetype maxBytes;
    QString kept;
};

class ShortenToBytesTable : public ::testing::TestWithParam<CutCase>
{};

TEST_P(ShortenToBytesTable, CutsWhereACharacterEnds)
{
    const CutCase& c = GetParam();
    const QString cut = ShortenToBytes(c.title, c.maxBytes);
    EXPECT_EQ(cut, c.kept);
    EXPECT_LE(cut.toUtf8().size(), c.maxBytes);
}

// "é" is 2 bytes, "長" 3, "𝄞" (a surrogate pair) 4; "e" + U+0301 and "か" + U+3099 are
// one character of 3 and 6 bytes.
INSTANTIATE_TEST_SUITE_P(
    Titles, ShortenToBytesTable,
    ::testing::Values(
        CutCase{"FitsWhole", QStringLiteral("abc"), 3, QStringLiteral("abc")},
        CutCase{"OneByte", QStringLiteral("abcd"), 3, QStringLiteral("abc")},
        CutCase{"TwoBytesAtTheLimit", QStringLiteral("aéé"), 5, QStringLiteral("aéé")},
        CutCase{"TwoBytesOneShort", QStringLiteral("aéé"), 4, QStringLiteral("aé")},
        CutCase{"ThreeBytes", QStringLiteral("長長長"), 8, QStringLiteral("長長")},
        CutCase{"ThreeBytesAtTheLimit", QStringLiteral("長長長"), 9, QStringLiteral("長長長")},
        CutCase{"FourBytes", QStringLiteral("a𝄞𝄞"), 8, QStringLiteral("a𝄞")},
        CutCase{"FourBytesNeverHalved", QStringLiteral("𝄞"), 3, QString()},
        CutCase{"CombiningMarkStaysWithItsLetter", QStringLiteral("ae\u0301"), 3, QStringLiteral("a")},
        CutCase{"CombiningMarkKept", QStringLiteral("ae\u0301b"), 4, QStringLiteral("ae\u0301")},
        CutCase{"VoicedMark", QStringLiteral("か\u3099か\u3099"), 11, QStringLiteral("か\u3099")},
        CutCase{"Nothing", QStringLiteral("長"), 2, QString()}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

// A title too long for a name, shortened: the name is as long as the folder
// takes and ends where a character ends; a number for a taken name fits too.
TEST(RenameToGivenTitle, AShortenedTitleFillsTheNameToTheFileSystemsLimit)
{
    TempDir dir;
    dir.write(QStringLiteral("a.KAR"), "x");
    dir.write(QStringLiteral("b.Kar"), "y");
    const QByteArray folder = QFile::encodeName(dir.root()) + '/';
    const long nameMax = NameMaxOf(folder);
    TitleRenameOptions options;
    options.shorten = true;
    options.onConflict = OnConflict::Number;
    PlannedRenameSpace plan;
    for (const QString& title :
         {QString(300, u'長'), QStringLiteral("x") + QString(200, u'é'), QStringLiteral("𝄞").repeated(100),
          QStringLiteral("e\u0301").repeated(200)}) {
        SCOPED_TRACE(title.left(3).toStdString());
        const FileRename a = RenameToGivenTitle(plan, folder, "a.KAR", title, options);
        ASSERT_EQ(a.result, ConvResult::Renamed);
        EXPECT_TRUE(a.newName.endsWith(".kar"));
        EXPECT_LE(a.newName.size(), nameMax);
        EXPECT_GT(a.newName.size(), nameMax - 4) << "no more cut than one character";
        EXPECT_TRUE(title.startsWith(QString::fromUtf8(a.newName.chopped(4))));
        const FileRename b = RenameToGivenTitle(plan, folder, "b.Kar", title, options);
        ASSERT_EQ(b.result, ConvResult::Renamed);
        EXPECT_TRUE(b.newName.endsWith(" (2).kar"));
        EXPECT_LE(b.newName.size(), nameMax);
        plan = PlannedRenameSpace();
    }
    options.shorten = false;
    const FileRename refused = RenameToGivenTitle(plan, folder, "a.KAR", QString(300, u'長'), options);
    EXPECT_EQ(refused.result, ConvResult::TitleTooLong);
    EXPECT_EQ(refused.tooLongBy, 900 + 4 - nameMax);
}

} // namespace
