// The gap that a repeat leaves: the main window plays a short song with the repeat
// setting on, through the program's own media device on the real clock, into an
// output that notes the time of every message. Measured from the song's last event
// to the first message of the next round (the channel defaults every start sends)
// and to the song's first note in it.
//
//   ./build/bench/bench_repeat_gap [ROUNDS=200]
//
// Uses the display of the environment (QT_QPA_PLATFORM=offscreen, or xvfb-run).

#include "StderrReporter.h"
#include "gui/desktop/QtPickers.h"
#include "gui/frmMain.h"
#include "platform/MessageBoxes.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/ProcessStarter.h"
#include "platform/Trash.h"
#include "platform/UrlOpener.h"
#include "player/MediaDevice.h"
#include "player/MidiOutput.h"
#include "player/SequencerClock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

using namespace calvane;
using Clock = std::chrono::steady_clock;

struct Message
{
    Clock::time_point at;
    std::uint8_t status;
    std::uint8_t data1;
};

/// Notes the time of each message; the sequencer's thread writes, the main thread reads at the end.
class TimedLog
{
public:
    void add(std::span<const std::uint8_t> bytes)
    {
        const std::lock_guard lock(m_mutex);
        m_messages.push_back({Clock::now(), bytes.empty() ? std::uint8_t{0} : bytes[0],
                              bytes.size() > 1 ? bytes[1] : std::uint8_t{0}});
    }
    std::vector<Message> take()
    {
        const std::lock_guard lock(m_mutex);
        return std::move(m_messages);
    }

private:
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

class TimedOutput final : public MidiOutput
{
public:
    explicit TimedOutput(TimedLog& log) : m_log(log) {}
    void SendShort(std::span<const std::uint8_t> message) override { m_log.add(message); }
    void SendSysex(std::span<const std::uint8_t> bytes) override { m_log.add(bytes); }

private:
    TimedLog& m_log;
};

class TimedOutputs final : public MidiOutputs
{
public:
    explicit TimedOutputs(TimedLog& log) : m_log(log) {}
    MidiOutputDeviceList Devices() override { return {QStringLiteral("timed"), {}}; }
    std::unique_ptr<MidiOutput> Open(int, QString*) override { return std::make_unique<TimedOutput>(m_log); }

private:
    TimedLog& m_log;
};

class AnsweringBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString&, const QString&, MsgIcon, MsgButtons) override { return MsgResult::Ok; }
};

class NoUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl&) override { return false; }
};

/// 250 ms at 120 BPM, 480 ticks a quarter: one note from the start to the end.
QByteArray shortSong()
{
    const QByteArray track = QByteArray::fromHex("00903C64"
                                                 "8170803C40" // 240 ticks later
                                                 "00FF2F00");
    QByteArray file = QByteArray::fromHex("4D546864000000060000000101E0") + "MTrk";
    for (const int shift : {24, 16, 8, 0}) {
        file += static_cast<char>((track.size() >> shift) & 0xFF);
    }
    return file + track;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    QTemporaryDir work;
    const QString song = work.filePath(QStringLiteral("song.mid"));
    QFile file(song);
    if (!file.open(QIODevice::WriteOnly) || file.write(shortSong()) < 0) {
        return 1;
    }
    file.close();
    const QString ini = work.filePath(QStringLiteral("calvane.ini"));
    QFile settings(ini);
    if (!settings.open(QIODevice::WriteOnly)) {
        return 1;
    }
    settings.write("[MIDIPlayer]\r\nRepeat=1\r\n");
    settings.close();

    TimedLog log;
    TimedOutputs outputs(log);
    SteadyClock clock;
    MediaDevice device(outputs, clock, [](const QString&) {});
    AnsweringBoxes boxes;
    StderrReporter reporter;
    ImmediateProcessEnd end;
    PosixProcessStarter starter;
    QtPlaybackTimer timer;
    NoUrlOpener opener;
    GioTrash trash;
    QtPickers pickers;
    ProgramState state;
    QDir::setCurrent(work.path());
    frmMain window(state,
                   {boxes, reporter, end, device, starter, timer, opener, trash, outputs, pickers, ini});
    window.Form_Load(song);
    window.show();
    QTimer::singleShot(100, [&] { window.cmdPlay->click(); });
    QTimer::singleShot(100 + rounds * 250 + 200, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    timer.setInterval(0);

    // A round ends with the note off (80 3C); the next starts with "reset all controllers"
    // on channel 1 (B0 79) and plays the note (90 3C).
    const std::vector<Message> messages = log.take();
    std::vector<double> toRestart;
    std::vector<double> toNote;
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].status != 0x80) {
            continue;
        }
        for (std::size_t j = i + 1; j < messages.size(); ++j) {
            if (messages[j].status == 0xB0 && messages[j].data1 == 0x79 &&
                toRestart.size() == toNote.size()) {
                toRestart.push_back(ms(messages[j].at - messages[i].at));
            } else if (messages[j].status == 0x90) {
                if (toRestart.size() == toNote.size() + 1) {
                    toNote.push_back(ms(messages[j].at - messages[i].at));
                }
                break;
            }
        }
    }
    if (toNote.size() < 10) {
        std::fprintf(stderr, "only %zu repeats were heard\n", toNote.size());
        return 1;
    }
    std::printf("%zu repeats: last event to the restart's first message: median %.3f ms, p90 %.3f, max %.3f; "
                "to the song's first note: median %.3f ms, p90 %.3f, max %.3f\n",
                toNote.size(), percentile(toRestart, 0.5), percentile(toRestart, 0.9),
                percentile(toRestart, 1.0), percentile(toNote, 0.5), percentile(toNote, 0.9),
                percentile(toNote, 1.0));
    return 0;
}
