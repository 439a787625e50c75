#include "player/basMIDIControl.h"

#include "FakeMciDevice.h"
#include "Fakes.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

class MIDIControlTest : public ::testing::Test
{
protected:
    FakeMciDevice device;
    FakeErrorReporter reporter;
    QString currentPath;
    basMIDIControl control{device, currentPath, reporter};
    TempDir dir;
};

TEST_F(MIDIControlTest, VerbsInAnyCaseSendTheirCommands)
{
    currentPath = dir.write(QStringLiteral("a \"b\" c.mid"), "MThd");
    EXPECT_EQ(control.MIDIControl(u"OPEN"), 0);
    EXPECT_EQ(control.MIDIControl(u"Play"), 0);
    EXPECT_EQ(control.MIDIControl(u"pause"), 0);
    EXPECT_EQ(control.MIDIControl(u"sToP"), 0);
    EXPECT_EQ(control.MIDIControl(u"prev"), 0);
    EXPECT_EQ(control.MIDIControl(u"close"), 0);
    EXPECT_EQ(control.MIDIControl(u"rewind"), 2);
    EXPECT_EQ(control.MIDIControl(u""), 2);
    EXPECT_EQ(
        device.sent,
        QStringList({QStringLiteral("Open \"") + currentPath + QStringLiteral("\" alias Midi"),
                     QStringLiteral("Play Midi"), QStringLiteral("Pause Midi"), QStringLiteral("Stop Midi"),
                     QStringLiteral("Seek Midi to Start"), QStringLiteral("Close Midi")}));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(MIDIControlTest, OpenSendsNothingWithoutAnOrdinaryFile)
{
    currentPath = dir.path(QStringLiteral("gone.mid"));
    EXPECT_EQ(control.MIDIControl(u"open"), 1);
    currentPath = dir.write(QStringLiteral(".hidden.mid"), "MThd");
    EXPECT_EQ(control.MIDIControl(u"open"), 1);
    currentPath = dir.root();
    EXPECT_EQ(control.MIDIControl(u"Open"), 1);
    currentPath.clear();
    EXPECT_EQ(control.MIDIControl(u"open"), 1);
    EXPECT_TRUE(device.sent.isEmpty());
}

TEST_F(MIDIControlTest, QueriesSendTheirCommandsAndReadTheReplies)
{
    device.replies[QStringLiteral("status Midi mode")] = QStringLiteral("playing");
    device.replies[QStringLiteral("status midi position")] = QStringLiteral("  1234.5");
    device.replies[QStringLiteral("status Midi length")] = QStringLiteral("6000");
    device.replies[QStringLiteral("status midi tempo")] = QStringLiteral("120.5");

    const QString mode = control.GetMIDIMode();
    EXPECT_EQ(mode.size(), 16);
    EXPECT_EQ(mode, QStringLiteral("playing") + QString(9, QChar(u'\0')));
    EXPECT_TRUE(basMIDIControl::IsPlaying(mode));
    EXPECT_EQ(control.GetMIDIPosition(), 1234); // ties to even
    EXPECT_EQ(control.GetMIDILength(), 6000);
    EXPECT_EQ(control.GetMIDITempo(), 120);
    control.SeekMIDI(0);
    control.SeekMIDI(-250);
    control.SetMIDIPort(QStringLiteral("-1"));
    EXPECT_EQ(device.sent,
              QStringList(
                  {QStringLiteral("status Midi mode"), QStringLiteral("set Midi time format milliseconds"),
                   QStringLiteral("status midi position"),
                   QStringLiteral("set Midi time format milliseconds"), QStringLiteral("status Midi length"),
                   QStringLiteral("status midi tempo"), QStringLiteral("set Midi time format milliseconds"),
                   QStringLiteral("seek midi to 0"), QStringLiteral("set Midi time format milliseconds"),
                   QStringLiteral("seek midi to -250"), QStringLiteral("set Midi port -1")}));
}

TEST_F(MIDIControlTest, NothingOpenReadsAsSixteenNulsAndZeros)
{
    const QString mode = control.GetMIDIMode();
    EXPECT_EQ(mode, QString(16, QChar(u'\0')));
    EXPECT_FALSE(basMIDIControl::IsPlaying(mode) || basMIDIControl::IsPaused(mode) ||
                 basMIDIControl::IsStopped(mode));
    EXPECT_EQ(control.GetMIDIPosition(), 0);
    EXPECT_EQ(control.GetMIDILength(), 0);
    EXPECT_EQ(control.GetMIDITempo(), 0);
}

TEST(ReplyNumber, LeadingNumberRoundedHalfToEven)
{
    EXPECT_EQ(ReplyNumber(u""), 0);
    EXPECT_EQ(ReplyNumber(QString(16, QChar(u'\0'))), 0);
    EXPECT_EQ(ReplyNumber(u"  42abc"), 42);
    EXPECT_EQ(ReplyNumber(u"12.25\0\0"), 12.25);
    EXPECT_EQ(ReplyNumber(u"-7"), -7);
    EXPECT_EQ(ReplyNumber(u"x12"), 0);
    EXPECT_EQ(ReplyNumber(u"."), 0);

    FakeMciDevice device;
    FakeErrorReporter reporter;
    QString path;
    basMIDIControl control(device, path, reporter);
    for (auto [reply, expected] :
         {std::pair{"0.5", 0}, {"1.5", 2}, {"2.5", 2}, {"2.51", 3}, {"99999999999", 2147483647}}) {
        device.replies[QStringLiteral("status midi position")] = QString::fromLatin1(reply);
        EXPECT_EQ(control.GetMIDIPosition(), expected) << reply;
    }
    device.replies[QStringLiteral("status midi tempo")] = QStringLiteral("40000");
    EXPECT_EQ(control.GetMIDITempo(), 32767);
}

} // namespace
