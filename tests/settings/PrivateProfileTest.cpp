#include "settings/PrivateProfile.h"

#include "TempDir.h"
#include "settings/basINIControl.h"

#include <QDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace calvane;
using namespace calvane::profile;
using namespace calvane::test;

namespace {

std::optional<QByteArray> get(const char* content, const char* section, const char* key)
{
    return GetValue(QByteArray(content), section, key);
}

TEST(PrivateProfileRead, NamesMatchWithoutCaseAndBlanksAreIgnored)
{
    const char* ini = "[Edit]\r\n  dclick  =  1  \r\n[main]\nMIDIInfo=TRUE\n";
    EXPECT_EQ(get(ini, "EDIT", "DClick"), QByteArray("1"));
    EXPECT_EQ(get(ini, "Main", "midiinfo"), QByteArray("TRUE"));
    EXPECT_EQ(get("[ Edit ]\r\nA=x", "Edit", "A"), QByteArray("x"));
}

TEST(PrivateProfileRead, MissingAndEmptyAreDifferent)
{
    const char* ini = "[Edit]\r\nExePath=\r\n";
    EXPECT_EQ(get(ini, "Edit", "ExePath"), QByteArray(""));
    EXPECT_EQ(get(ini, "Edit", "Other"), std::nullopt);
    EXPECT_EQ(get(ini, "None", "ExePath"), std::nullopt);
    EXPECT_EQ(get("", "Edit", "ExePath"), std::nullopt);
    // Before any section, and lines without "=", nothing is a key.
    EXPECT_EQ(get("ExePath=x\r\n[Edit]\r\nExePath\r\n", "Edit", "ExePath"), std::nullopt);
}

TEST(PrivateProfileRead, FirstMatchWinsAndValuesEndAtNul)
{
    EXPECT_EQ(get("[A]\nk=1\nk=2\n", "A", "k"), QByteArray("1"));
    EXPECT_EQ(get("[A]\nk=1\n[a]\nk=2\n", "A", "k"), QByteArray("1"));
    EXPECT_EQ(get("[A]\nx=1\n[a]\nk=2\n", "A", "k"), std::nullopt)
        << "only the first matching section is read";
    EXPECT_EQ(GetValue(QByteArray("[A]\nk=ab\0cd\n", 12), "A", "k"), QByteArray("ab"));
    EXPECT_EQ(get("[A]\nk=a=b\n", "A", "k"), QByteArray("a=b"));
}

// Files users bring from other editors: a UTF-8 byte-order mark, lines ended by a
// bare CR, and Ctrl+Z (an old end-of-file mark) at the ends of names and values.
TEST(PrivateProfileRead, AByteOrderMarkBareCrAndCtrlZ)
{
    const QByteArray ini = "\xEF\xBB\xBF[Main]\rMIDIInfo=False\x1A\r[Edit]\r\n\x1A DClick\x1A= 1\x1A\x1A\n"
                           "ExePath=\x1A/usr/bin/x y\x1A\rDel=\x1A\r\n\x1A";
    struct Case
    {
        const char* section;
        const char* key;
        std::optional<QByteArray> value;
    };
    const Case cases[] = {
        {"Main", "MIDIInfo", QByteArray("False")},
        {"Edit", "DClick", QByteArray("1")},
        {"Edit", "ExePath", QByteArray("/usr/bin/x y")},
        {"Edit", "Del", QByteArray("")},
        {"Main", "DClick", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetValue(ini, c.section, c.key), c.value) << c.section << "/" << c.key;
    }
    // A write keeps the mark and puts the new key into its section.
    const QByteArray written = SetValue(ini, "Main", "Front", "True");
    EXPECT_TRUE(written.startsWith("\xEF\xBB\xBF[Main]\r\nMIDIInfo=False\x1A\r\nFront=True\r\n[Edit]\r\n"))
        << written.toStdString();
    EXPECT_EQ(GetValue(written, "Edit", "ExePath"), QByteArray("/usr/bin/x y"));
}

TEST(PrivateProfileWrite, ReplacesInPlaceAppendsKeysAndSections)
{
    const QByteArray before = "; comment\n[Main]\nFront=False\nPreview=True\n\n[Edit]\nDel=0\n";
    EXPECT_EQ(SetValue(before, "main", "Front", "True"),
              QByteArray("; comment\r\n[Main]\r\nFront=True\r\nPreview=True\r\n\r\n[Edit]\r\nDel=0\r\n"));
    EXPECT_EQ(
        SetValue(before, "Main", "MIDIInfo", "True"),
        QByteArray("; comment\r\n[Main]\r\nFront=False\r\nPreview=True\r\nMIDIInfo=True\r\n\r\n[Edit]\r\n"
                   "Del=0\r\n"));
    EXPECT_EQ(
        SetValue(before, "Edit", "chkDel", "1"),
        QByteArray(
            "; comment\r\n[Main]\r\nFront=False\r\nPreview=True\r\n\r\n[Edit]\r\nDel=0\r\nchkDel=1\r\n"));
    EXPECT_EQ(SetValue(before, "MIDIPlayer", "Repeat", "0"),
              QByteArray("; comment\r\n[Main]\r\nFront=False\r\nPreview=True\r\n\r\n[Edit]\r\nDel=0\r\n\r\n"
                         "[MIDIPlayer]\r\nRepeat=0\r\n"));
    EXPECT_EQ(SetValue("", "Main", "Front", "False"), QByteArray("[Main]\r\nFront=False\r\n"));
    EXPECT_EQ(SetValue("[Main]", "Main", "Front", ""), QByteArray("[Main]\r\nFront=\r\n"));
}

TEST(PrivateProfileFile, CreatesTheFileAndReplacesItWholeEachTime)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    EXPECT_EQ(ReadFileValue(file, "Main", "Front"), std::nullopt);
    ASSERT_TRUE(WriteFileValue(file, "Main", "Front", "True"));
    EXPECT_EQ(TempDir::read(file), QByteArray("[Main]\r\nFront=True\r\n"));

    struct stat before
    {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    ASSERT_TRUE(WriteFileValue(file, "Main", "Front", "False"));
    struct stat after
    {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the file must be replaced by a rename, not rewritten in place";
    EXPECT_EQ(ReadFileValue(file, "main", "front"), QByteArray("False"));
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";
}

TEST(PrivateProfileFile, RefusesWhatWouldBreakTheFilesLines)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    ASSERT_TRUE(WriteFileValue(file, "Edit", "FastFolderPath", "/ok"));
    // A folder name may hold a line feed on Linux; written as it is, it would add a key.
    EXPECT_FALSE(WriteFileValue(file, "Edit", "FastFolderPath", "/x\n[Main]\nMIDIInfo=yes"));
    EXPECT_FALSE(WriteFileValue(file, "Edit", "Bad=Key", "1"));
    EXPECT_FALSE(WriteFileValue(file, "Ed]it", "Key", "1"));
    EXPECT_EQ(TempDir::read(file), QByteArray("[Edit]\r\nFastFolderPath=/ok\r\n"));
}

TEST(basINIControl, IntegersTakeTheLeadingDigits)
{
    TempDir dir;
    const QString file = dir.write(QStringLiteral("c.ini"),
                                   "[Edit]\nDClick=1x\nDel=abc\nchkDel=\nDeviceNum=-3\nAppointFolder=70000\n"
                                   "Huge=99999999999999\n");
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("DClick"), 7), 1);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("Del"), 7), 0);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("chkDel"), 7), 0);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("DeviceNum"), 7), -3);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("AppointFolder"), 7), 70000);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("Huge"), 7), 2147483647);
    EXPECT_EQ(ReadINIInt(file, QStringLiteral("Edit"), QStringLiteral("Missing"), 7), 7);
    EXPECT_EQ(
        ReadINIInt(dir.path(QStringLiteral("none.ini")), QStringLiteral("Edit"), QStringLiteral("DClick"), 7),
        7);
}

TEST(basINIControl, TextsAreCodePage932AndCutAt127Bytes)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("c.ini"));
    const QString folder = QString::fromUtf16(u"/home/ユーザー/曲");
    ASSERT_TRUE(WriteINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), folder));
    EXPECT_TRUE(TempDir::read(file).contains(QByteArray::fromHex("8BC8")));
    EXPECT_EQ(ReadINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), {}), folder);

    const QString long150 = QStringLiteral("/") + QString(149, u'a');
    ASSERT_TRUE(WriteINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), long150));
    EXPECT_EQ(ReadINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), {}),
              long150.first(127));

    // 126 single bytes and then a double-byte character: the half character is left out.
    const QString straddling = QString(126, u'a') + QString::fromUtf16(u"曲曲");
    ASSERT_TRUE(WriteINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), straddling));
    EXPECT_EQ(ReadINIString(file, QStringLiteral("Edit"), QStringLiteral("FastFolderPath"), {}),
              QString(126, u'a'));

    EXPECT_EQ(ReadINIString(file, QStringLiteral("Edit"), QStringLiteral("Missing"), QStringLiteral("def")),
              QStringLiteral("def"));
}

} // namespace
