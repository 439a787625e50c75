#include "settings/Settings.h"

#include "FullDisk.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "Unreadable.h"
#include "errors/RuntimeError.h"
#include "platform/Cp932.h"
#include "platform/NativeFile.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

std::int32_t loadError(const QByteArray& content)
{
    TempDir dir;
    const QString file = dir.write(QStringLiteral("c.ini"), content);
    try {
        LoadSettings(file);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

/// The keys a whole save writes: the nineteen of the program, then the review list's.
constexpr qsizetype kKeysSaved = 19 + 11;

/// The keys of a settings file in their order.
QStringList keysOf(const QString& file)
{
    QStringList keys;
    for (const QByteArray& line : TempDir::read(file).split('\n')) {
        if (line.contains('=')) {
            keys << QString::fromUtf8(line.first(line.indexOf('=')));
        }
    }
    return keys;
}

TEST(Settings, NoFileGivesEveryDefault)
{
    TempDir dir;
    const StoredSettings s = LoadSettings(dir.path(QStringLiteral("none.ini")));
    EXPECT_EQ(s.view, ViewOptions{});
    EXPECT_EQ(s.settings, Settings{});
    EXPECT_TRUE(s.view.MIDIInfo);
    EXPECT_FALSE(s.view.Front);
    EXPECT_TRUE(s.settings.Space);
    EXPECT_EQ(s.settings.AppointFolder, 1);
    EXPECT_EQ(s.settings.DeviceName, QStringLiteral("MIDI Mapper"));
}

TEST(Settings, AFirstSaveWritesEveryKeyInTheFixedOrder)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    SaveSettings(file, StoredSettings{}, QStringLiteral("/home/u/MIDI"));
    EXPECT_EQ(TempDir::read(file), QByteArray("[Main]\r\n"
                                              "MIDIInfo=True\r\n"
                                              "Preview=True\r\n"
                                              "Front=False\r\n"
                                              "\r\n"
                                              "[Conv]\r\n"
                                              "ErrSkip=False\r\n"
                                              "NoMIDITitle=False\r\n"
                                              "Start=False\r\n"
                                              "Space=True\r\n"
                                              "LastSpace=True\r\n"
                                              "\r\n"
                                              "[Edit]\r\n"
                                              "AppointFolder=1\r\n"
                                              "SaveLastFolder=1\r\n"
                                              "Del=0\r\n"
                                              "chkDel=1\r\n"
                                              "DClick=0\r\n"
                                              "DeviceName=MIDI Mapper\r\n"
                                              "DeviceNum=0\r\n"
                                              "UsePlayer=0\r\n"
                                              "ExePath=\r\n"
                                              "FastFolderPath=/home/u/MIDI\r\n"
                                              "\r\n"
                                              "[MIDIPlayer]\r\n"
                                              "Repeat=0\r\n"
                                              "\r\n"
                                              "[Review]\r\n"
                                              "Width=0\r\n"
                                              "Height=0\r\n"
                                              "Columns=\r\n"
                                              "Subfolders=False\r\n"
                                              "ReplaceRefused=False\r\n"
                                              "NumberConflicts=False\r\n"
                                              "ProblemsOnly=False\r\n"
                                              "Encoding=auto\r\n"
                                              "Extensions=mid\r\n"
                                              "Shorten=False\r\n"
                                              "TrashIdentical=False\r\n"));
}

TEST(Settings, EveryValueSurvivesASaveAndALoad)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    StoredSettings s;
    s.view = {false, true, true};
    s.settings.ErrSkip = true;
    s.settings.Space = false;
    s.settings.AppointFolder = 0;
    s.settings.SaveLastFolder = 0;
    s.settings.FastFolderPath = QString::fromUtf16(u"/曲/start");
    s.settings.Del = 1;
    s.settings.DClick = 1;
    s.settings.DeviceName = QStringLiteral("Port 2");
    s.settings.DeviceNum = -32768;
    s.settings.UsePlayer = 1;
    s.settings.ExePath = QStringLiteral("/usr/bin/player --flag");
    s.settings.Repeat = 1;
    s.settings.Review = {900,
                         500,
                         QStringLiteral("120,200,180,300"),
                         true,
                         true,
                         true,
                         true,
                         QStringLiteral("euc-jp"),
                         QStringLiteral("mid,kar"),
                         true,
                         true};
    SaveSettings(file, s, QStringLiteral("/not/this/one"));
    const StoredSettings back = LoadSettings(file);
    EXPECT_EQ(back.view, s.view);
    EXPECT_EQ(back.settings, s.settings) << "SaveLastFolder 0 keeps FastFolderPath from memory";

    // A second save replaces values in place: same keys, no duplicates.
    s.settings.SaveLastFolder = 1;
    SaveSettings(file, s, QStringLiteral("/last/folder"));
    EXPECT_EQ(TempDir::read(file).count("FastFolderPath="), 1);
    EXPECT_EQ(LoadSettings(file).settings.FastFolderPath, QStringLiteral("/last/folder"));

    // The review list's keys came later: a value that cannot be read is its default, the
    // file is not taken for damaged.
    dir.write(QStringLiteral("calvane.ini"),
              "[Review]\r\nWidth=70000\r\nSubfolders=yes\r\nProblemsOnly=1\r\nShorten=maybe\r\n");
    const ReviewSettings review = LoadSettings(file).settings.Review;
    EXPECT_EQ(review.Width, 0);
    EXPECT_FALSE(review.Subfolders);
    EXPECT_TRUE(review.ProblemsOnly);
    EXPECT_FALSE(review.Shorten);
    EXPECT_EQ(review.Encoding, QStringLiteral("auto"));
    EXPECT_EQ(review.Extensions, QStringLiteral("mid"));
}

TEST(Settings, TruthValuesInAnyCaseOrAsNumbers)
{
    for (const char* yes : {"TRUE", "true", "True", "1", "-1", "2.5", "1e3"}) {
        EXPECT_TRUE(ToTruthValue(QString::fromLatin1(yes))) << yes;
    }
    for (const char* no : {"FALSE", "false", "0", "-0", "0.0", "0e5"}) {
        EXPECT_FALSE(ToTruthValue(QString::fromLatin1(no))) << no;
    }
    for (const char* bad : {"yes", "", "on", "1x", "tru", "1.2.3"}) {
        EXPECT_THROW(ToTruthValue(QString::fromLatin1(bad)), RuntimeError) << bad;
    }

    TempDir dir;
    const StoredSettings s =
        LoadSettings(dir.write(QStringLiteral("c.ini"), "[Main]\nMIDIInfo=TRUE\nPreview=0\nFront=1\n"));
    EXPECT_TRUE(s.view.MIDIInfo);
    EXPECT_FALSE(s.view.Preview);
    EXPECT_TRUE(s.view.Front);
}

TEST(Settings, LoadFailuresCarryTheirNumbers)
{
    EXPECT_EQ(loadError("[Main]\nMIDIInfo=yes\n"), 13);
    EXPECT_EQ(loadError("[Main]\nMIDIInfo=\n"), 13);
    EXPECT_EQ(loadError("[Conv]\nLastSpace=maybe\n"), 13);
    EXPECT_EQ(loadError("[Edit]\nAppointFolder=70000\n"), 6);
    EXPECT_EQ(loadError("[MIDIPlayer]\nRepeat=-40000\n"), 6);
    EXPECT_EQ(loadError("[Edit]\nDClick=1x\nDel=abc\n"), 0);

    TempDir dir;
    const StoredSettings s = LoadSettings(dir.write(QStringLiteral("c.ini"), "[Edit]\nDClick=1x\nDel=abc\n"));
    EXPECT_EQ(s.settings.DClick, 1);
    EXPECT_EQ(s.settings.Del, 0);
}

} // namespace

namespace {

TEST(Settings, AFolderNameThatCannotBeStoredLeavesTheOtherKeysWritten)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    SaveSettings(file, StoredSettings{}, QStringLiteral("/first"));
    StoredSettings s;
    s.settings.Repeat = 1;
    // Linux folder names may hold a line feed; written as it is it would add keys to the file.
    SaveSettings(file, s, QStringLiteral("/evil\n[Main]\nMIDIInfo=yes"));
    const StoredSettings back = LoadSettings(file);
    EXPECT_EQ(back.settings.Repeat, 1);
    EXPECT_EQ(back.settings.FastFolderPath, QStringLiteral("/first"));
    EXPECT_TRUE(back.view.MIDIInfo);
}

// A save that cannot be made in full leaves the file as it was (or absent) and says
// why; one that can keeps the file's permissions and the user's link to it.
TEST(Settings, ASaveThatFailsLeavesTheFileAsItWasAndSaysWhy)
{
    struct Row
    {
        const char* what;
        const char* before; ///< nullptr: no file yet
        rlim_t room;        ///< the bytes a file may hold
        int expected;
    };
    const Row rows[] = {
        {"full from the first byte", "[Main]\r\nFront=True\r\n", 0, EFBIG},
        {"full part way", "[Main]\r\nFront=True\r\n", 100, EFBIG},
        {"full, no file yet", nullptr, 0, EFBIG},
        {"room enough", "[Main]\r\nFront=True\r\n", 1 << 20, 0},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const QString file = dir.path(QStringLiteral("calvane.ini"));
        if (row.before) {
            dir.write(QStringLiteral("calvane.ini"), row.before);
            ::chmod(QFile::encodeName(file).constData(), 0640);
        }
        int err = -1;
        {
            const FullDisk full(row.room);
            err = SaveSettings(file, StoredSettings{}, QStringLiteral("/m"));
        }
        EXPECT_EQ(err, row.expected) << row.what;
        if (row.expected != 0) {
            EXPECT_EQ(QFile::exists(file), row.before != nullptr) << row.what;
            EXPECT_EQ(TempDir::read(file), QByteArray(row.before)) << row.what;
        } else {
            EXPECT_EQ(keysOf(file).size(), kKeysSaved) << row.what;
            struct stat st
            {};
            ::stat(QFile::encodeName(file).constData(), &st);
            EXPECT_EQ(st.st_mode & 0777, 0640u) << "the permissions stay";
        }
        EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden).size(), row.before ? 1 : 0)
            << row.what << ": no temporary file left";
    }

    // A folder that cannot be written; the user's link to a file kept elsewhere.
    TempDir dir;
    const QString locked = dir.path(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0500);
    {
        const WithoutRootRights user;
        if (user.active()) {
            EXPECT_EQ(SaveSettings(locked + QStringLiteral("/calvane.ini"), StoredSettings{}, {}), EACCES);
        }
    }
    const QString kept = dir.write(QStringLiteral("kept.ini"), "[Main]\r\nFront=True\r\n");
    const QString link = dir.path(QStringLiteral("calvane.ini"));
    ASSERT_TRUE(QFile::link(kept, link));
    EXPECT_EQ(SaveSettings(link, StoredSettings{}, QStringLiteral("/m")), 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(keysOf(kept).size(), kKeysSaved);

    EXPECT_EQ(SettingsNotSavedText(QStringLiteral("/home/u/.config/calvane/calvane.ini"), ENOSPC),
              QStringLiteral("設定を保存できませんでした\r\n/home/u/.config/calvane/calvane.ini\r\n"
                             "ディスクに空きがありません (%1)")
                  .arg(QString::fromLocal8Bit(std::strerror(ENOSPC))));
}

} // namespace

namespace {

TEST(SettingsFolder, BesideTheExecutableOnlyWhenItsSettingsFileIsAlreadyThere)
{
    TempDir dir;
    const QString app = dir.path(QStringLiteral("bin"));
    const QString home = dir.path(QStringLiteral("home"));
    QDir().mkpath(app);
    const QString xdg = dir.path(QStringLiteral("xdg"));
    const struct
    {
        QString configHome;
        QString expected;
    } cases[] = {
        {xdg, xdg + QStringLiteral("/calvane/")},
        {xdg + u'/', xdg + QStringLiteral("/calvane/")},
        // Unset, empty or relative: the XDG default under the home folder.
        {QString(), home + QStringLiteral("/.config/calvane/")},
        {QStringLiteral("relative/config"), home + QStringLiteral("/.config/calvane/")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseSettingsFolder(app, QStringLiteral("calvane.ini"), c.configHome, home), c.expected)
            << c.configHome.toStdString();
        EXPECT_TRUE(QFileInfo(c.expected).isDir()) << "made when missing";
    }
    // Another program's settings file, or a writable folder, is not enough.
    dir.write(QStringLiteral("bin/other.ini"), "");
    EXPECT_EQ(ChooseSettingsFolder(app, QStringLiteral("calvane.ini"), xdg, home),
              xdg + QStringLiteral("/calvane/"));
    dir.write(QStringLiteral("bin/calvane.ini"), "");
    EXPECT_EQ(ChooseSettingsFolder(app, QStringLiteral("calvane.ini"), xdg, home), app + u'/');
}

// Folders whose names code page 932 cannot hold, or that are Shift_JIS bytes on
// disk, and a path longer than 127 bytes: each comes back from the file as it went
// in, as the start folder and inside the external player's command line. Paths that
// code page 932 holds are stored in it; nothing is stored as "?".
TEST(Settings, PathsSurviveASaveAndALoadWhateverTheirNames)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    const QString root = dir.root();
    const QString deep =
        root + u'/' + QString(100, u'a') + u'/' + QString(40, u'曲') + u'/' + QString(20, u'b');
    struct Case
    {
        QString folder;
        QByteArray stored; ///< the bytes after the temporary folder in the file
    };
    const Case cases[] = {
        {root + QStringLiteral("/Café"), "/Caf\xC3\xA9"},
        {root + QStringLiteral("/Müsik"), "/M\xC3\xBCsik"},
        {root + QStringLiteral("/曲名"), "/\x8B\xC8\x96\xBC"},             // UTF-8 on disk
        {root + PathFromNative("/\x8B\xC8\x96\xBC"), "/\x8B\xC8\x96\xBC"}, // 曲名 as Shift_JIS bytes on disk
        {deep, EncodeCp932(deep.sliced(root.size()))},
    };
    // By their bytes: QDir would write a name that is not UTF-8 as another one.
    const auto make = [](const QString& path, bool folder) {
        const QByteArray native = NativePath(path);
        const int fd =
            folder ? ::mkdir(native.constData(), 0755) : ::open(native.constData(), O_CREAT | O_WRONLY, 0755);
        if (!folder && fd >= 0) {
            ::close(fd);
        }
        return fd >= 0;
    };
    ASSERT_TRUE(make(root + u'/' + QString(100, u'a'), true));
    ASSERT_TRUE(make(root + u'/' + QString(100, u'a') + u'/' + QString(40, u'曲'), true));
    for (const Case& c : cases) {
        ASSERT_TRUE(make(c.folder, true)) << c.folder.toStdString();
        ASSERT_TRUE(make(c.folder + QStringLiteral("/player"), false)) << c.folder.toStdString();
    }
    // The two 曲名 folders are stored alike, in code page 932. While the UTF-8 one
    // exists that reading names it and is taken; once it is gone the Shift_JIS one
    // is found by its bytes.
    for (const Case& c : cases) {
        const std::string what = c.folder.toStdString();
        if (c.folder == root + PathFromNative("/\x8B\xC8\x96\xBC")) {
            ASSERT_TRUE(QDir(root + QStringLiteral("/曲名")).removeRecursively());
        }
        StoredSettings s;
        s.settings.ExePath = u'"' + c.folder + QStringLiteral("/player\" --flag");
        SaveSettings(file, s, c.folder);
        const QByteArray content = TempDir::read(file);
        EXPECT_TRUE(content.contains("FastFolderPath=" + QFile::encodeName(root) + c.stored + "\r\n"))
            << what;
        EXPECT_FALSE(content.contains('?')) << what;
        const StoredSettings back = LoadSettings(file);
        EXPECT_EQ(back.settings.FastFolderPath, c.folder) << what;
        EXPECT_EQ(back.settings.ExePath, s.settings.ExePath) << what;
    }
    EXPECT_GT(EncodeCp932(deep).size(), 200);
    const QByteArray sjis = NativePath(root + PathFromNative("/\x8B\xC8\x96\xBC"));
    ::unlink((sjis + "/player").constData()); // the temporary folder's clean-up cannot name them
    ::rmdir(sjis.constData());
}

// An output port's name comes back as it went in, whatever it holds: the settings
// dialog keeps a stored device only by its name. Code page 932 stores what it
// holds exactly (as old settings files do); anything else goes as UTF-8.
TEST(Settings, AnOutputNameSurvivesASaveAndALoadWhateverItHolds)
{
    TempDir dir;
    const QString file = dir.path(QStringLiteral("calvane.ini"));
    struct Case
    {
        QString name;
        QByteArray stored;
    };
    const QString longName = QStringLiteral("Synth ") + QString(150, u'x') + QStringLiteral(" 128:0");
    const Case cases[] = {
        {QStringLiteral("Café MIDI 1"), "Caf\xC3\xA9 MIDI 1"},
        {QString::fromUtf16(u"音源 ポート"), "\x89\xB9\x8C\xB9 \x83\x7C\x81\x5B\x83\x67"},
        {QString::fromUtf16(u"Ｙ音源 🎹"), "\xEF\xBC\xB9\xE9\x9F\xB3\xE6\xBA\x90 \xF0\x9F\x8E\xB9"},
        {longName, longName.toLatin1()}, // whole, not cut at 127 bytes
    };
    for (const Case& c : cases) {
        StoredSettings s;
        s.settings.DeviceName = c.name;
        SaveSettings(file, s, QStringLiteral("/"));
        EXPECT_TRUE(TempDir::read(file).contains("\r\nDeviceName=" + c.stored + "\r\n"))
            << c.name.toStdString();
        EXPECT_EQ(LoadSettings(file).settings.DeviceName, c.name);
    }
}

} // namespace
