#include "player/MediaDevice.h"

#include "FakeClock.h"
#include "Fakes.h"
#include "RecordingMidiOutput.h"
#include "TempDir.h"
#include "midi/MidiBytes.h"
#include "platform/NativeFile.h"
#include "player/basMIDIControl.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace calvane;
using namespace calvane::test;

namespace {

/// 500 ticks per quarter at 120 BPM (a tick is a millisecond): program 5 and a note at
/// 0 s, note off and volume at 1 s, the end at 4 s.
QByteArray fourSeconds()
{
    return header(0, 1, 500) + track(event(0, "C005") + event(0, "903C64") + event(1000, "803C40") +
                                     event(0, "B00750") + event(3000, "FF2F00"));
}

QString nuls(int n)
{
    return QString(n, QChar(u'\0'));
}

class MediaDeviceTest : public ::testing::Test
{
protected:
    /// The command's code; its reply must be empty when the code is not 0.
    int send(const QString& command, QString* reply = nullptr)
    {
        QString text = QStringLiteral("junk");
        const int code = device.SendString(command, &text, 128);
        if (code != 0) {
            EXPECT_TRUE(text.isEmpty()) << command.toStdString();
        }
        if (reply) {
            *reply = text;
        }
        return code;
    }

    QString status(const QString& item)
    {
        QString reply;
        EXPECT_EQ(send(QStringLiteral("status Midi ") + item, &reply), 0) << item.toStdString();
        return reply;
    }

    QString openCommand(const QString& path) { return QStringLiteral("open \"%1\" alias Midi").arg(path); }

    TempDir dir;
    FakeClock clock;
    FakeMidiOutputs outputs;
    QStringList diagnostics;
    MediaDevice device{outputs, clock, [this](const QString& line) { diagnostics.append(line); }};
    const QString song = dir.write(QStringLiteral("song.mid"), fourSeconds());
};

TEST_F(MediaDeviceTest, KeywordsAndAliasInAnyCase)
{
    EXPECT_EQ(send(QStringLiteral("OPEN \"%1\" ALIAS Midi").arg(song)), 0);
    EXPECT_EQ(status(QStringLiteral("MODE")), QStringLiteral("stopped"));
    EXPECT_EQ(send(QStringLiteral("Status MIDI Length")), 0);
    EXPECT_EQ(send(QStringLiteral("  set midi time format MilliSeconds ")), 0);
    EXPECT_EQ(send(QStringLiteral("Close mIdI")), 0);
    EXPECT_EQ(send(QStringLiteral("status Midi mode")), MciError::InvalidDeviceName);
}

TEST_F(MediaDeviceTest, PathsMayHoldBlanksAndQuotes)
{
    const QString odd = dir.write(QStringLiteral("a \"b\" alias c.mid"), fourSeconds());
    EXPECT_EQ(send(openCommand(odd)), 0);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("4000"));
    EXPECT_EQ(send(QStringLiteral("close Midi")), 0);

    // A name that is not UTF-8 (Shift_JIS) reaches the file system as the same bytes.
    const QByteArray native = dir.writeNative("\x8B\xC8.mid", fourSeconds());
    EXPECT_EQ(send(openCommand(PathFromNative(native))), 0);
    EXPECT_EQ(send(QStringLiteral("close midi")), 0);

    // Without blanks the quotes may be left out.
    const QString plain = dir.write(QStringLiteral("plain.mid"), fourSeconds());
    EXPECT_EQ(send(QStringLiteral("open %1 alias x").arg(plain)), 0);
    EXPECT_EQ(send(QStringLiteral("close X")), 0);
}

TEST_F(MediaDeviceTest, FailingCommandsReturnNonZeroAndAnEmptyReply)
{
    EXPECT_EQ(send(QStringLiteral("rewind Midi")), MciError::UnrecognizedCommand);
    EXPECT_EQ(send(QString()), MciError::UnrecognizedCommand);
    for (const char* command :
         {"play Midi", "stop Midi", "pause Midi", "close Midi", "seek Midi to start", "status Midi mode",
          "status Midi position", "status Midi length", "status Midi tempo",
          "set Midi time format milliseconds", "set Midi port -1"}) {
        EXPECT_EQ(send(QString::fromLatin1(command)), MciError::InvalidDeviceName) << command;
    }
    EXPECT_EQ(send(QStringLiteral("play")), MciError::MissingDeviceName);

    EXPECT_EQ(send(openCommand(dir.path(QStringLiteral("missing.mid")))), MciError::FileNotFound);
    EXPECT_EQ(send(openCommand(dir.root())), MciError::FileNotFound);
    EXPECT_EQ(send(openCommand(dir.write(QStringLiteral("text.mid"), "not a MIDI file"))),
              MciError::InvalidFile);
    EXPECT_EQ(send(openCommand(dir.write(QStringLiteral("cut.mid"), header(0, 1, 480).first(12)))),
              MciError::InvalidFile);
    // Too large to be a MIDI file: refused unread (the file is sparse, its header real).
    QFile huge(dir.write(QStringLiteral("huge.mid"), fourSeconds()));
    ASSERT_TRUE(huge.resize(kMaxPlayableFileBytes + 1));
    EXPECT_EQ(send(openCommand(huge.fileName())), MciError::FileTooLarge);
    EXPECT_EQ(send(QStringLiteral("open \"%1\"").arg(song)), MciError::MissingParameter);
    EXPECT_EQ(send(QStringLiteral("status Midi mode")), MciError::InvalidDeviceName); // still closed

    ASSERT_EQ(send(openCommand(song)), 0);
    EXPECT_EQ(send(openCommand(song)), MciError::DuplicateAlias);
    EXPECT_EQ(send(QStringLiteral("open \"%1\" alias other").arg(song)), MciError::DeviceOpen);
    EXPECT_EQ(send(QStringLiteral("play other")), MciError::InvalidDeviceName);
    EXPECT_EQ(send(QStringLiteral("play Midi now")), MciError::UnrecognizedKeyword);
    EXPECT_EQ(send(QStringLiteral("status Midi volume")), MciError::UnrecognizedKeyword);
    EXPECT_EQ(send(QStringLiteral("status Midi")), MciError::MissingParameter);
    EXPECT_EQ(send(QStringLiteral("seek Midi to")), MciError::UnrecognizedKeyword);
    EXPECT_EQ(send(QStringLiteral("seek Midi to later")), MciError::BadInteger);
    EXPECT_EQ(send(QStringLiteral("seek Midi to -250")), MciError::OutOfRange);
    EXPECT_EQ(send(QStringLiteral("seek Midi to 4001")), MciError::OutOfRange);
    EXPECT_EQ(send(QStringLiteral("set Midi time format smpte 25")), MciError::UnrecognizedKeyword);
    EXPECT_EQ(send(QStringLiteral("set Midi time format frames")), MciError::BadTimeFormat);
    EXPECT_EQ(send(QStringLiteral("set Midi port two")), MciError::BadInteger);
    EXPECT_EQ(send(QStringLiteral("set Midi port -2")), MciError::OutOfRange);
    EXPECT_EQ(send(QStringLiteral("set Midi volume 5")), MciError::UnrecognizedKeyword);

    // A reply area too small for the answer.
    QString reply = QStringLiteral("junk");
    EXPECT_EQ(device.SendString(QStringLiteral("status Midi mode"), &reply, 7), MciError::ParamOverflow);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(device.SendString(QStringLiteral("status Midi mode"), &reply, 8), 0);
    EXPECT_EQ(reply, QStringLiteral("stopped"));
    EXPECT_EQ(device.SendString(QStringLiteral("stop Midi"), &reply, 0),
              0); // nothing to say, nothing too long
}

TEST_F(MediaDeviceTest, LengthAndTempoOfTempoChangesAndSmpte)
{
    ASSERT_EQ(send(openCommand(dir.write(QStringLiteral("tempo.mid"), tempoChangeSong()))), 0);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("6000"));
    EXPECT_EQ(status(QStringLiteral("tempo")), QStringLiteral("120"));
    EXPECT_EQ(send(QStringLiteral("seek Midi to 2000")), 0);
    EXPECT_EQ(status(QStringLiteral("tempo")), QStringLiteral("60"));
    EXPECT_EQ(send(QStringLiteral("close Midi")), 0);

    ASSERT_EQ(send(openCommand(dir.write(QStringLiteral("smpte.mid"), smpteSong()))), 0);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("6000"));
    EXPECT_EQ(status(QStringLiteral("tempo")), QStringLiteral("120")); // beats per minute, no tempo event
}

TEST_F(MediaDeviceTest, OutputIsChosenByThePortAtEachStartOfPlay)
{
    ASSERT_EQ(send(openCommand(song)), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
    EXPECT_EQ(send(QStringLiteral("pause Midi")), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0); // the same port: the same output
    EXPECT_EQ(send(QStringLiteral("set Midi port 0")), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0); // already playing: nothing changes yet
    EXPECT_EQ(send(QStringLiteral("stop Midi")), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
    EXPECT_EQ(outputs.opened, (std::vector<int>{-1, 0}));

    // Open sets the port back to the built-in synthesizer.
    EXPECT_EQ(send(QStringLiteral("close Midi")), 0);
    ASSERT_EQ(send(openCommand(song)), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
    EXPECT_EQ(outputs.opened, (std::vector<int>{-1, 0, -1}));
}

TEST_F(MediaDeviceTest, WithoutAnOutputItPlaysSilentlyAndSaysWhyOnce)
{
    outputs.failing = {-1};
    ASSERT_EQ(send(openCommand(song)), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
    clock.Advance(1'000'000);
    EXPECT_EQ(status(QStringLiteral("mode")), QStringLiteral("playing"));
    EXPECT_EQ(status(QStringLiteral("position")), QStringLiteral("1000"));
    EXPECT_EQ(send(QStringLiteral("stop Midi")), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0); // tried again, said no more
    clock.Advance(3'000'000);
    EXPECT_EQ(status(QStringLiteral("mode")), QStringLiteral("stopped"));
    EXPECT_EQ(status(QStringLiteral("position")), QStringLiteral("4000"));
    EXPECT_EQ(outputs.opened, (std::vector<int>{-1, -1}));
    EXPECT_EQ(diagnostics, QStringList{QStringLiteral("calvane: playing without sound: port -1 is broken")});
    EXPECT_EQ(device.SilentOutputReason(), QStringLiteral("port -1 is broken"));
    EXPECT_TRUE(outputs.log.take().isEmpty());

    // An output that works: nothing more to say.
    EXPECT_EQ(send(QStringLiteral("set Midi port 0")), 0);
    EXPECT_EQ(send(QStringLiteral("seek Midi to start")), 0);
    EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
    EXPECT_TRUE(device.SilentOutputReason().isEmpty());
}

TEST_F(MediaDeviceTest, StopAndCloseSilenceAPlayingSongBeforeTheyReturn)
{
    for (const char* command : {"stop Midi", "close Midi"}) {
        ASSERT_EQ(send(openCommand(song)), 0);
        EXPECT_EQ(send(QStringLiteral("play Midi")), 0);
        clock.Settle();
        outputs.log.take();
        EXPECT_EQ(send(QString::fromLatin1(command)), 0);
        EXPECT_EQ(outputs.log.take(), Silence()) << command; // no Settle: already sent
        send(QStringLiteral("close Midi"));
    }
}

// What callers of the command layer rely on, over the real device with a clock of the test's.
class CommandLayerOverDevice : public MediaDeviceTest
{
protected:
    FakeErrorReporter reporter;
    QString currentPath = song;
    basMIDIControl control{device, currentPath, reporter};
};

TEST_F(CommandLayerOverDevice, NothingOpenReadsAsSixteenNulsAndZerosAndVerbsDoNothing)
{
    EXPECT_EQ(control.GetMIDIMode(), nuls(16));
    for (const char* verb : {"play", "pause", "stop", "prev", "close"}) {
        EXPECT_EQ(control.MIDIControl(QString::fromLatin1(verb)), 0);
    }
    EXPECT_EQ(control.GetMIDIMode(), nuls(16));
    EXPECT_EQ(control.GetMIDIPosition(), 0);
    EXPECT_EQ(control.GetMIDILength(), 0);
    EXPECT_EQ(control.GetMIDITempo(), 0);
    EXPECT_TRUE(outputs.opened.empty());
}

TEST_F(CommandLayerOverDevice, OpenPlayPauseResumeStopAndTheEnd)
{
    // The end of play is told on the device's own thread, only for the end itself.
    std::atomic<int> ends = 0;
    std::atomic<bool> onAnotherThread = false;
    const std::thread::id testThread = std::this_thread::get_id();
    control.SetEndOfPlayHandler([&] {
        onAnotherThread = std::this_thread::get_id() != testThread;
        ++ends;
    });
    ASSERT_EQ(control.MIDIControl(u"open"), 0);
    EXPECT_EQ(control.GetMIDIMode(), QStringLiteral("stopped") + nuls(9));
    EXPECT_EQ(control.GetMIDILength(), 4000);
    EXPECT_EQ(control.GetMIDITempo(), 120);

    control.SetMIDIPort(QStringLiteral("-1"));
    EXPECT_EQ(control.MIDIControl(u"Play"), 0);
    clock.Advance(1'250'000);
    EXPECT_TRUE(basMIDIControl::IsPlaying(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 1250);

    // Play from paused resumes at the paused position.
    EXPECT_EQ(control.MIDIControl(u"pause"), 0);
    clock.Advance(5'000'000);
    EXPECT_TRUE(basMIDIControl::IsPaused(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 1250);
    EXPECT_EQ(control.MIDIControl(u"play"), 0);
    clock.Advance(250'000);
    EXPECT_EQ(control.GetMIDIPosition(), 1500);

    // Stop keeps the position; play from stopped plays on from there.
    EXPECT_EQ(control.MIDIControl(u"stop"), 0);
    clock.Advance(1'000'000);
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 1500);
    EXPECT_EQ(control.MIDIControl(u"play"), 0);
    clock.Advance(2'499'999);
    EXPECT_TRUE(basMIDIControl::IsPlaying(control.GetMIDIMode()));

    // The end: stopped at the length, the output silenced, and told.
    outputs.log.take();
    EXPECT_EQ(ends, 0); // not for a pause or a stop
    clock.Advance(1);
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 4000);
    EXPECT_EQ(outputs.log.take(), Silence());
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(onAnotherThread);

    // Playing from the end ends again at once; without a handler nothing is told.
    EXPECT_EQ(control.MIDIControl(u"play"), 0);
    clock.Settle();
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 4000);
    EXPECT_EQ(ends, 2);
    control.SetEndOfPlayHandler({});
    EXPECT_EQ(control.MIDIControl(u"play"), 0);
    clock.Settle();
    EXPECT_EQ(ends, 2);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(CommandLayerOverDevice, PrevAndSeekLeaveItStoppedAtTheNewPosition)
{
    ASSERT_EQ(control.MIDIControl(u"open"), 0);
    control.MIDIControl(u"play");
    clock.Advance(2'000'000);
    control.MIDIControl(u"prev");
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 0);
    clock.Advance(1'000'000);
    EXPECT_EQ(control.GetMIDIPosition(), 0);

    control.MIDIControl(u"play");
    clock.Advance(500'000);
    control.MIDIControl(u"pause");
    control.SeekMIDI(3000);
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 3000);

    // A play after the seek first restores what the song set before 3 s.
    outputs.log.take();
    control.MIDIControl(u"play");
    clock.Settle();
    QStringList expected = ChannelDefaults();
    expected << QStringLiteral("c0 05") << QStringLiteral("b0 07 50");
    EXPECT_EQ(outputs.log.take(), expected);
    clock.Advance(100'000);
    EXPECT_EQ(control.GetMIDIPosition(), 3100);

    // A rejected seek changes nothing.
    control.SeekMIDI(-250);
    EXPECT_TRUE(basMIDIControl::IsPlaying(control.GetMIDIMode()));
}

TEST_F(CommandLayerOverDevice, CloseAndOpenAgain)
{
    ASSERT_EQ(control.MIDIControl(u"open"), 0);
    control.MIDIControl(u"play");
    clock.Advance(1'000'000);
    control.MIDIControl(u"close");
    EXPECT_EQ(control.GetMIDIMode(), nuls(16));
    EXPECT_EQ(control.GetMIDILength(), 0);
    ASSERT_EQ(control.MIDIControl(u"open"), 0);
    EXPECT_TRUE(basMIDIControl::IsStopped(control.GetMIDIMode()));
    EXPECT_EQ(control.GetMIDIPosition(), 0);
}

} // namespace
