// calvane-info run as a real process over generated files.

#include "../midi/MidiBytes.h"
#include "TempDir.h"
#include "Unreadable.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

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
        dir.write(QStringLiteral("jp.mid"),
                  header(1, 1, 480) + track(meta(0x03, hex("8BC8 96BC")) + meta(0x02, "(c) \"Q\"")));

    // The tool runs without root, so that a file of mode 000 really cannot be read.
    const QString locked = WriteLockedFile(dir, QStringLiteral("locked.mid"), header(1, 1, 480));
    const ToolRun run = runInfo({example, smpte, cut, noHeader, noTrack, missing, locked, japanese}, true);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.lines.size(), 8);

    EXPECT_EQ(run.lines[0], "{\"file\": \"" + example.toUtf8() +
                                "\", \"format\": 1, \"tracks\": 2, \"division\": 480, \"title\": \"Song\", "
                                "\"copyright\": \"\", \"length_ms\": 0, \"tempo\": 120}");
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
    }
    const QJsonObject nt = object(run.lines[4]);
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
    EXPECT_EQ(jp[QStringLiteral("copyright")].toString(), QStringLiteral("(c) \"Q\""));
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
    EXPECT_TRUE(help.lines.join('\n').contains("\"error\""));
    EXPECT_TRUE(help.lines.join('\n').contains("length_ms"));
}

} // namespace
