// calvane-info run as a real process over generated files.

#include "QtPrint.h"
#include "TempDir.h"
#include "Unreadable.h"
#include "midi/MidiBytes.h"
#include "midi/StepReading.h"
#include "platform/NativeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace calvane::test;

namespace {

struct ToolRun
{
    int exitCode;
    QList<QByteArray> lines;
};

ToolRun runInfo(const QStringList& args, bool withoutRoot = false)
{
    QProcess p;
    if (withoutRoot) {
        p.setChildProcessModifier([] {
            if (!GiveUpRoot()) {
                std::_Exit(99);
            }
        });
    }
    p.start(QStringLiteral(CALVANE_INFO_EXE), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    ToolRun r{p.exitCode(), p.readAllStandardOutput().split('\n')};
    if (!r.lines.isEmpty() && r.lines.back().isEmpty()) {
        r.lines.pop_back();
    }
    return r;
}

/// The tool run with arguments given as bytes, which need not be UTF-8 (QProcess
/// would encode them).
ToolRun runInfoBytes(const QList<QByteArray>& args)
{
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    std::vector<char*> argv{const_cast<char*>(CALVANE_INFO_EXE)};
    for (const QByteArray& a : args) {
        argv.push_back(const_cast<char*>(a.constData()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    ::close(out[1]);
    QByteArray text;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) {
        text.append(buf, n);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ToolRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.split('\n')};
    if (!r.lines.isEmpty() && r.lines.back().isEmpty()) {
        r.lines.pop_back();
    }
    return r;
}

QJsonObject object(const QByteArray& line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return doc.object();
}

TEST(CalvaneInfo, PrintsOneLinePerFileAndGoesOnAfterFailures)
{
    TempDir dir;
    const QString example =
        dir.write(QStringLiteral("example.mid"), hex("4D546864 00000006 0001 0002 01E0") +
                                                     hex("4D54726B 0000000C 00 FF03 04 536F6E67 00 FF2F00") +
                                                     track(kEndOfTrack));
    const QString smpte = dir.write(QStringLiteral("smpte.mid"), header(0, 1, 0xE728) + track(kEndOfTrack));
    const QString cut = dir.write(QStringLiteral("cut.mid"), header(1, 1, 480).first(12));
    const QString noHeader = dir.write(QStringLiteral("noheader.mid"), "just some bytes");
    const QString noTrack = dir.write(QStringLiteral("notrack.mid"), header(1, 4, 96));
    const QString missing = dir.path(QStringLiteral("missing.mid"));
    const QString japanese =
        dir.write(QStringLiteral("jp.mid"), header(1, 1, 480) + track(meta(0x03, hex("8BC8 96BC")) +
                                                                      meta(0x02, "(c) \"Q\" \xe6\x98\xa5")));

    // The tool runs without root, so that a file of mode 000 really cannot be read.
    const QString locked = WriteLockedFile(dir, QStringLiteral("locked.mid"), header(1, 1, 480));
    const ToolRun run = runInfo({example, smpte, cut, noHeader, noTrack, missing, locked, japanese}, true);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.lines.size(), 8);

    EXPECT_EQ(run.lines[0],
              "{\"file\": \"" + example.toUtf8() +
                  "\", \"smf\": true, \"format\": 1, \"tracks\": 2, \"division\": 480, "
                  "\"title\": \"Song\", \"copyright\": \"\", \"length_ms\": 0, \"tempo\": 120}");
    EXPECT_EQ(object(run.lines[1])[QStringLiteral("division")].toInt(), -6360);
    EXPECT_EQ(object(run.lines[1])[QStringLiteral("tempo")].toInt(), 120); // beats per minute
    for (int i : {2, 3}) {
        const QJsonObject o = object(run.lines[i]);
        // Not a file the device can play: no figures.
        EXPECT_TRUE(o[QStringLiteral("length_ms")].isNull());
        EXPECT_TRUE(o[QStringLiteral("tempo")].isNull());
        EXPECT_EQ(o[QStringLiteral("format")].toInt(-1), 0);
        EXPECT_EQ(o[QStringLiteral("tracks")].toInt(-1), 0);
        EXPECT_EQ(o[QStringLiteral("division")].toInt(-1), 0);
        EXPECT_EQ(o[QStringLiteral("title")].toString(QStringLiteral("?")), QString());
        EXPECT_FALSE(o.contains(QStringLiteral("error")));
        EXPECT_FALSE(o[QStringLiteral("smf")].toBool(true)) << "no whole header chunk";
    }
    const QJsonObject nt = object(run.lines[4]);
    EXPECT_TRUE(nt[QStringLiteral("smf")].toBool(false));
    EXPECT_EQ(nt[QStringLiteral("tracks")].toInt(), 4);
    EXPECT_EQ(nt[QStringLiteral("title")].toString(QStringLiteral("?")), QString());
    EXPECT_EQ(nt[QStringLiteral("length_ms")].toInt(-1), 0);

    const QJsonObject gone = object(run.lines[5]);
    EXPECT_EQ(gone[QStringLiteral("error")].toInt(), 53);
    EXPECT_FALSE(gone[QStringLiteral("message")].toString().isEmpty());
    EXPECT_FALSE(gone.contains(QStringLiteral("title")));
    const QJsonObject unreadable = object(run.lines[6]);
    EXPECT_EQ(unreadable[QStringLiteral("error")].toInt(), 75);

    const QJsonObject jp = object(run.lines[7]);
    EXPECT_EQ(jp[QStringLiteral("title")].toString(), QString::fromUtf16(u"曲名"));
    // Each text is read on its own: a Shift_JIS title beside a UTF-8 copyright.
    EXPECT_EQ(jp[QStringLiteral("copyright")].toString(), QStringLiteral("(c) \"Q\" 春"));
}

// Two Shift_JIS names print as the window shows them, told apart by their bytes;
// two names valid in neither encoding print alike, and only their bytes differ.
TEST(CalvaneInfo, NamesThatAreNotUtf8PrintAsShownWithTheirBytes)
{
    TempDir dir;
    const QByteArray song = header(1, 1, 480) + track(kEndOfTrack);
    const QByteArray kyoku = dir.writeNative("\x8b\xc8.mid", song); // 曲.mid
    const QByteArray mei = dir.writeNative("\x96\xbc.mid", song);   // 名.mid
    const QByteArray odd1 = dir.writeNative("\x81.mid", song);
    const QByteArray odd2 = dir.writeNative("\x82.mid", song);
    const QByteArray gone = QFile::encodeName(dir.root()) + "/\x8b\xc8\x96\xbc.mid";
    const QString utf8 = dir.write(QStringLiteral("曲名.mid"), song);
    const ToolRun run = runInfoBytes({kyoku, mei, odd1, odd2, gone, utf8.toUtf8()});
    EXPECT_EQ(run.exitCode, 1); // the missing one
    ASSERT_EQ(run.lines.size(), 6);
    struct Expected
    {
        QString file;
        QByteArray bytes; ///< empty: no "file_hex" field
    };
    const Expected expected[] = {
        {dir.root() + QStringLiteral("/曲.mid"), kyoku},
        {dir.root() + QStringLiteral("/名.mid"), mei},
        {dir.root() + QStringLiteral("/\uFFFD.mid"), odd1},
        {dir.root() + QStringLiteral("/\uFFFD.mid"), odd2},
        {dir.root() + QStringLiteral("/曲名.mid"), gone},
        {utf8, {}},
    };
    for (int i = 0; i < 6; ++i) {
        const QJsonObject o = object(run.lines[i]);
        EXPECT_EQ(o[QStringLiteral("file")].toString(), expected[i].file) << i;
        EXPECT_EQ(o[QStringLiteral("file_hex")].toString().toLatin1(), expected[i].bytes.toHex()) << i;
        EXPECT_EQ(o.contains(QStringLiteral("file_hex")), !expected[i].bytes.isEmpty()) << i;
        EXPECT_EQ(o.contains(QStringLiteral("error")), i == 4) << i;
    }
}

// Every real file: what the tool prints is what a plain reading of the reader's
// steps gives for the file's bytes.
TEST(CalvaneInfo, AgreesWithTheReadersStepsOnEveryCorpusFile)
{
    const QString corpus = SharedCorpusDir();
    if (corpus.isEmpty()) {
        GTEST_SKIP() << "no shared corpus in this clone";
    }
    QStringList paths;
    QDirIterator it(corpus, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QStringLiteral(".md"))) {
            paths.append(path);
        }
    }
    ASSERT_GT(paths.size(), 100);
    const ToolRun run = runInfo(paths);
    ASSERT_EQ(run.lines.size(), paths.size());
    int titled = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QJsonObject o = object(run.lines[i]);
        const QByteArray bytes = TempDir::read(paths[i]);
        const StepReading expected = ReadBySteps(std::string_view(bytes.constData(), bytes.size()));
        const std::string where = paths[i].toStdString();
        EXPECT_EQ(o[QStringLiteral("file")].toString(), paths[i]);
        EXPECT_EQ(o[QStringLiteral("smf")].toBool(), expected.hasHeader) << where;
        EXPECT_EQ(o[QStringLiteral("format")].toInt(), expected.info.Format) << where;
        EXPECT_EQ(o[QStringLiteral("tracks")].toInt(), expected.info.Tracks) << where;
        EXPECT_EQ(o[QStringLiteral("division")].toInt(), expected.info.Division) << where;
        EXPECT_EQ(o[QStringLiteral("title")].toString(), expected.info.Title) << where;
        EXPECT_EQ(o[QStringLiteral("copyright")].toString(), expected.info.Copyright) << where;
        titled += expected.info.Title.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(titled, 0);
}

TEST(CalvaneInfo, LengthAndTempoComeFromTheDevice)
{
    TempDir dir;
    const QString tempo = dir.write(QStringLiteral("tempo change.mid"), tempoChangeSong());
    const QString smpte = dir.write(QStringLiteral("smpte.mid"), smpteSong());
    const ToolRun run = runInfo({tempo, smpte});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 2);
    EXPECT_TRUE(run.lines[0].endsWith(", \"length_ms\": 6000, \"tempo\": 120}"))
        << run.lines[0].toStdString();
    EXPECT_EQ(object(run.lines[1])[QStringLiteral("length_ms")].toInt(), 6000);
}

TEST(CalvaneInfo, AllGoodExitsZeroAndHelpExplainsTheOutput)
{
    TempDir dir;
    const QString ok = dir.write(QStringLiteral("ok.mid"), header(0, 1, 96) + track(kEndOfTrack));
    EXPECT_EQ(runInfo({ok}).exitCode, 0);
    const ToolRun help = runInfo({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* said : {"\"error\"", "length_ms", "--recursive", "--ext=LIST", "--encoding=ENC",
                             "\"hint\"", "Exit status", "130"}) {
        EXPECT_TRUE(help.lines.join('\n').contains(said)) << said;
    }
    EXPECT_EQ(runInfo({QStringLiteral("--version")}).lines.value(0).left(13), "calvane-info ");
    // The same rules as calvane-rename: a command line that cannot be used is 2.
    for (const QStringList& bad :
         {QStringList{}, QStringList{QStringLiteral("--frobnicate"), ok},
          QStringList{QStringLiteral("--encoding=latin9"), ok}, QStringList{QStringLiteral("--ext=*"), ok}}) {
        EXPECT_EQ(runInfo(bad).exitCode, 2) << bad.join(u' ').toStdString();
    }
}

// A folder is read as calvane-rename reads it: its files with the extensions of
// --ext in any letter case, with -r its subfolders too; a missing one is a failure.
TEST(CalvaneInfo, AFolderGivesItsMidiFilesAndWithRItsTree)
{
    TempDir dir;
    const QByteArray song = header(0, 1, 96) + track(meta(0x03, "T") + kEndOfTrack);
    for (const char* name :
         {"a.mid", "b.MID", "c.kar", "d.Midi", "notes.txt", ".hidden.mid", "sub/e.mid", "sub/deeper/f.KAR"}) {
        QDir().mkpath(QFileInfo(dir.path(QString::fromLatin1(name))).path());
        dir.write(QString::fromLatin1(name), song);
    }
    const QString root = dir.root() + u'/';
    struct Row
    {
        QStringList args;
        QStringList files;
        int exitCode;
    };
    const Row rows[] = {
        {{root}, {"a.mid", "b.MID"}, 0},
        {{QStringLiteral("-r"), root}, {"a.mid", "b.MID", "sub/e.mid"}, 0},
        {{QStringLiteral("--ext=kar,MIDI"), root}, {"c.kar", "d.Midi"}, 0},
        {{QStringLiteral("--recursive"), QStringLiteral("--ext=kar"), root},
         {"c.kar", "sub/deeper/f.KAR"},
         0},
        {{root + QStringLiteral("notes.txt"), root + QStringLiteral("gone")}, {"notes.txt", "gone"}, 1},
    };
    for (const Row& row : rows) {
        const ToolRun run = runInfo(row.args);
        QStringList files;
        for (const QByteArray& line : run.lines) {
            files << object(line)[QStringLiteral("file")].toString().mid(root.size());
        }
        EXPECT_EQ(files, row.files) << row.args.join(u' ').toStdString();
        EXPECT_EQ(run.exitCode, row.exitCode) << row.args.join(u' ').toStdString();
    }
}

// The exit status of a stop by a signal is calvane-rename's: the file in progress
// is printed whole, no other after it, 130.
TEST(CalvaneInfo, ASignalStopsBeforeTheNextFileWithStatus130)
{
    TempDir dir;
    const QByteArray song = header(0, 1, 96) + track(meta(0x03, "Title") + kEndOfTrack);
    for (int i = 0; i < 3000; ++i) {
        dir.write(QStringLiteral("%1.mid").arg(10000 + i), song);
    }
    // Its output goes to a pipe that nobody reads yet: it blocks once the pipe is full.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const QByteArray folder = QFile::encodeName(dir.root());
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::execl(CALVANE_INFO_EXE, CALVANE_INFO_EXE, folder.constData(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(out[1]);
    int available = -1;
    for (int wait = 0; wait < 400; ++wait) { // until the pipe stops filling
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        int now = 0;
        ::ioctl(out[0], FIONREAD, &now);
        if (now > 0 && now == available) {
            break;
        }
        available = now;
    }
    ::kill(child, SIGINT);
    QByteArray printed;
    char buf[65536];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) {
        printed.append(buf, n);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(printed.endsWith('\n')) << "whole lines only";
    EXPECT_GT(printed.count('\n'), 0);
    EXPECT_LT(printed.count('\n'), 3000);
}

// Each reading, and the hint where a title read as Shift_JIS may be EUC-JP.
TEST(CalvaneInfo, EncodingReadsTheTextsAndTheJsonHintsAtEucJp)
{
    TempDir dir;
    const QString euc =
        dir.write(QStringLiteral("euc.mid"), header(0, 1, 96) + track(meta(0x03, hex("BDD5 A4CE B3A4"))));
    const QString latin =
        dir.write(QStringLiteral("latin.mid"),
                  header(0, 1, 96) + track(meta(0x03, "T\xe9nor Caf\xe9") + meta(0x02, "\xa9 Caf\xe9")));
    struct Row
    {
        const char* encoding;
        QString file;
        QString title;
        QString hint;
    };
    const Row rows[] = {
        {nullptr, euc, QStringLiteral("ｽﾕ､ﾎｳ､"), QStringLiteral("春の海")},
        {"--encoding=auto", euc, QStringLiteral("ｽﾕ､ﾎｳ､"), QStringLiteral("春の海")},
        {"--encoding=cp932", euc, QStringLiteral("ｽﾕ､ﾎｳ､"), QStringLiteral("春の海")},
        {"--encoding=euc-jp", euc, QStringLiteral("春の海"), QString()},
        {"--encoding", euc, QStringLiteral("春の海"), QString()}, // "euc-jp" as the next argument
        {"--encoding=utf-8", euc, QStringLiteral("\uFFFD\u0564\u03B3\uFFFD"), QString()},
        {"--encoding=cp1252", latin, QStringLiteral("Ténor Café"), QString()},
        {nullptr, latin, QStringLiteral("T駭or Caf\uFFFD"), QString()},
    };
    for (const Row& row : rows) {
        QStringList args;
        if (row.encoding) {
            args << QString::fromLatin1(row.encoding);
            if (QByteArray(row.encoding) == "--encoding") {
                args << QStringLiteral("euc-jp");
            }
        }
        const ToolRun run = runInfo(args << row.file);
        ASSERT_EQ(run.lines.size(), 1) << (row.encoding ? row.encoding : "none");
        const QJsonObject o = object(run.lines[0]);
        EXPECT_EQ(o[QStringLiteral("title")].toString(), row.title) << (row.encoding ? row.encoding : "none");
        EXPECT_EQ(o.contains(QStringLiteral("hint")), !row.hint.isEmpty());
        if (!row.hint.isEmpty()) {
            EXPECT_EQ(o[QStringLiteral("hint")].toString(), QStringLiteral("euc-jp"));
            EXPECT_EQ(o[QStringLiteral("hint_title")].toString(), row.hint);
        }
        if (row.file == latin && QByteArray(row.encoding ? row.encoding : "") == "--encoding=cp1252") {
            EXPECT_EQ(o[QStringLiteral("copyright")].toString(), QStringLiteral("© Café"));
        }
    }
}

} // namespace
