// CPU of the whole program while a song plays with the player panel shown,
// beside the media device alone, with the program's playback timer ticking empty (without and with an
// empty window on the display), and polled at that timer's rate without a window.
// Each case runs as a fresh process (this program again, with --probe) that
// reports the user + system CPU time of all its threads (getrusage) over the
// playing time only, not the start-up.
//
//   ./build/bench/bench_player_cpu [SECONDS=20] [RUNS=3] [--simulated]
//
// Without --simulated the program's own media device plays (CreateMediaDevice).
// With it a stand-in that only answers the queries from the wall clock plays
// instead: the figures are then the program's own cost without any device.
// Uses the display of the environment (QT_QPA_PLATFORM=offscreen, or xvfb-run).

#include "../tests/midi/MidiBytes.h"
#include "../tests/player/FakePlayback.h"
#include "StderrReporter.h"
#include "audio/PlatformMidiOutputs.h"
#include "errors/Guard.h"
#include "gui/MediaDeviceFactory.h"
#include "gui/basSubMain.h"
#include "gui/frmMain.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "player/basMIDIControl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace calvane;

QByteArray vlq(unsigned value)
{
    QByteArray out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7) {
        out.prepend(static_cast<char>(0x80 | (value & 0x7F)));
    }
    return out;
}

/// A song of `seconds` at 120 BPM, 480 ticks per quarter: a melody in eighths
/// on one channel, a bass in quarters on another, a chord of three notes every
/// half note on a third and a drum hit every quarter (about 18 events a second).
QByteArray generatedSong(int seconds)
{
    struct Event
    {
        unsigned tick;
        QByteArray bytes;
    };
    std::vector<Event> events;
    const auto message = [](int status, int key, int velocity) {
        return QByteArray(1, static_cast<char>(status)) + static_cast<char>(key) +
               static_cast<char>(velocity);
    };
    const auto note = [&](unsigned tick, unsigned length, int channel, int key) {
        events.push_back({tick, message(0x90 | channel, key, 90)});
        events.push_back({tick + length, message(0x80 | channel, key, 64)});
    };
    const unsigned quarters = static_cast<unsigned>(seconds) * 2;
    for (unsigned q = 0; q < quarters; ++q) {
        const unsigned t = q * 480;
        note(t, 220, 0, 60 + static_cast<int>(q * 7 % 12));
        note(t + 240, 220, 0, 62 + static_cast<int>(q * 5 % 12));
        note(t, 460, 1, 36 + static_cast<int>(q % 4) * 2);
        note(t, 120, 9, q % 2 ? 38 : 36);
        if (q % 2 == 0) {
            for (int k : {48, 52, 55}) {
                note(t, 940, 2, k + static_cast<int>(q / 8 % 3));
            }
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    QByteArray body = test::meta(0x03, "Generated song") + test::hex("00FF5103 07A120"); // 120 BPM
    body += test::hex("00C000 00C121 00C230");                                           // programs
    unsigned last = 0;
    for (const Event& e : events) {
        body += vlq(e.tick - last) + e.bytes;
        last = e.tick;
    }
    return test::header(0, 1, 480) + test::track(body + test::kEndOfTrack);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// Passes every command on and counts the mode queries: one per timer tick.
class CountingDevice final : public MciDevice
{
public:
    explicit CountingDevice(MciDevice& inner) : m_inner(inner) {}
    int SendString(const QString& command, QString* reply, int replySize) override
    {
        if (command == u"status Midi mode") {
            ++modeQueries;
        }
        return m_inner.SendString(command, reply, replySize);
    }
    QString SilentOutputReason() const override { return m_inner.SilentOutputReason(); }
    void SetEndOfPlayHandler(std::function<void()> handler) override
    {
        m_inner.SetEndOfPlayHandler(std::move(handler));
    }
    long modeQueries = 0;

private:
    MciDevice& m_inner;
};

/// The device the probe plays through, and the clock of the stand-in.
struct ProbeDevice
{
    explicit ProbeDevice(bool simulated)
        : fake(simulated ? std::make_unique<test::FakeMciDevice>() : nullptr),
          playback(simulated ? std::make_unique<test::FakePlayback>(*fake, [this] { return clock.elapsed(); })
                             : nullptr),
          real(simulated ? nullptr : CreateMediaDevice(outputs)),
          counted(fake ? static_cast<MciDevice&>(*fake) : *real)
    {
        clock.start();
    }

    QElapsedTimer clock;
    PlatformMidiOutputs outputs;
    std::unique_ptr<test::FakeMciDevice> fake;
    std::unique_ptr<test::FakePlayback> playback;
    std::unique_ptr<MciDevice> real;
    CountingDevice counted;
};

void report(double cpu, double wall, long ticks, const QString& position)
{
    std::printf("%.6f %.6f %ld %s\n", cpu, wall, ticks, qPrintable(position));
    std::fflush(stdout);
}

/// The whole program, the song given on its command line, play pressed once shown.
int probeWindow(int argc, char** argv, ProbeDevice& device, const QString& ini, const QString& instance,
                int seconds)
{
    StartOptions options;
    options.iniPath = ini;
    options.instanceFolder = instance;
    options.device = &device.counted;
    options.whenShown = [&device, seconds](frmMain& window) {
        // Without a sound card the first start says so in a box: answered as a user would.
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->close();
            }
        });
        window.cmdPlay->click();
        const auto wall = std::make_shared<QElapsedTimer>();
        wall->start();
        const double cpu = cpuSeconds();
        const long ticks = device.counted.modeQueries;
        QTimer::singleShot(seconds * 1000, &window, [&window, &device, wall, cpu, ticks] {
            report(cpuSeconds() - cpu, static_cast<double>(wall->nsecsElapsed()) / 1e9,
                   device.counted.modeQueries - ticks, window.lblPosition->text());
            QCoreApplication::exit(0);
        });
    };
    return RunCalvane(argc, argv, options);
}

/// The device playing: alone ("device"), beside the program's playback timer ticking empty ("timer": the
/// floor of any program that ticks that often), beside the same timer in a program
/// that shows an empty window ("screen": the floor of a windowed program, whose
/// event loop also serves the display), or polled at that rate with the queries of the
/// window's timer ("polling").
int probeDevice(int argc, char** argv, ProbeDevice& device, const QString& song, int seconds,
                const QString& mode)
{
    const std::unique_ptr<QCoreApplication> app = mode == u"screen"
                                                      ? std::make_unique<QApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    std::unique_ptr<QWidget> window;
    if (mode == u"screen") {
        window = std::make_unique<QWidget>();
        window->resize(640, 480);
        window->show();
    }
    StderrReporter reporter;
    basMIDIControl control(device.counted, song, reporter);
    control.MIDIControl(u"open");
    control.SetMIDIPort(QStringLiteral("-1"));
    control.MIDIControl(u"play");
    QtPlaybackTimer timer;
    long ticks = 0;
    timer.setHandler([&] {
        ++ticks;
        if (mode == u"polling") {
            control.GetMIDIMode();
            control.GetMIDIPosition();
            control.GetMIDITempo();
        }
    });
    QElapsedTimer wall;
    wall.start();
    const double cpu = cpuSeconds();
    if (mode == u"device") {
        QThread::sleep(static_cast<unsigned long>(seconds));
    } else {
        timer.setInterval(1);
        QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    report(cpuSeconds() - cpu, static_cast<double>(wall.nsecsElapsed()) / 1e9, ticks,
           QString::number(control.GetMIDIPosition()) + QStringLiteral("ms"));
    control.MIDIControl(u"close");
    return 0;
}

/// --probe window|device|timer|screen|polling SONG SECONDS SIMULATED INI INSTANCE
int probe(char** argv)
{
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString song = QString::fromLocal8Bit(argv[3]);
    const int seconds = std::atoi(argv[4]);
    ProbeDevice device(std::strcmp(argv[5], "1") == 0);
    char* programArgv[] = {argv[0], argv[3], nullptr}; // the song as the command-line file
    int programArgc = 2;
    if (mode == u"window") {
        return probeWindow(programArgc, programArgv, device, QString::fromLocal8Bit(argv[6]),
                           QString::fromLocal8Bit(argv[7]), seconds);
    }
    int one = 1;
    return probeDevice(one, programArgv, device, song, seconds, mode);
}

struct Figure
{
    double percent; ///< of one core
    double ticksPerSecond;
    QString position;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 8 && std::strcmp(argv[1], "--probe") == 0) {
        return probe(argv);
    }
    std::vector<const char*> args;
    bool simulated = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulated") == 0) {
            simulated = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    const int seconds = args.size() > 0 ? std::atoi(args[0]) : 20;
    const int runs = args.size() > 1 ? std::atoi(args[1]) : 3;

    QTemporaryDir work;
    const QString song = work.filePath(QStringLiteral("song.mid"));
    QFile file(song);
    if (!file.open(QIODevice::WriteOnly) || file.write(generatedSong(seconds + 60)) < 0) {
        std::fprintf(stderr, "cannot write the song\n");
        return 1;
    }
    file.close();
    const QString ini = work.filePath(QStringLiteral("calvane.ini"));
    const QString runtime = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

    std::printf("%s device, %d s of play per run, median of %d runs, %% of one core\n",
                simulated ? "stand-in" : "program's", seconds, runs);
    double device = 0;
    for (const char* mode : {"device", "timer", "screen", "polling", "window"}) {
        std::vector<Figure> figures;
        for (int run = 0; run < runs; ++run) {
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QString::fromLocal8Bit(argv[0]),
                        {QStringLiteral("--probe"), QString::fromLatin1(mode), song, QString::number(seconds),
                         simulated ? QStringLiteral("1") : QStringLiteral("0"), ini,
                         work.filePath(QStringLiteral("instance"))});
            if (!child.waitForFinished((seconds + 60) * 1000) || child.exitCode() != 0) {
                std::fprintf(stderr, "%s probe failed\n", mode);
                return 1;
            }
            const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
            if (out.size() < 4) {
                std::fprintf(stderr, "%s probe said nothing\n", mode);
                return 1;
            }
            const double wall = out[1].toDouble();
            figures.push_back(
                {100.0 * out[0].toDouble() / wall, out[2].toDouble() / wall, QString::fromUtf8(out[3])});
        }
        std::sort(figures.begin(), figures.end(),
                  [](const Figure& a, const Figure& b) { return a.percent < b.percent; });
        const Figure& median = figures[figures.size() / 2];
        if (std::strcmp(mode, "device") == 0) {
            device = median.percent;
        }
        if (median.position == u"0ms" || median.position == u"00:00.000") {
            std::fprintf(stderr, "%s: nothing played (the device did not open or play the song)\n", mode);
        }
        std::printf("%-8s %6.2f %%  (min %.2f, max %.2f)  %+.2f over the device  %5.0f ticks/s  at %s\n",
                    mode, median.percent, figures.front().percent, figures.back().percent,
                    median.percent - device, median.ticksPerSecond, qPrintable(median.position));
    }
    return 0;
}
