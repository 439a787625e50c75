// The sequencer against the clock: how late each event reaches the output, beside a
// bare sleep_until loop on the same schedule (the floor of this machine); the CPU it
// takes per second of playback; the cost of one "status mode" round trip.
//
//   ./build/bench/bench_playback            (about 80 seconds; figures in bench/README.md)

#include "midi/SmfParser.h"
#include "player/MediaDevice.h"
#include "player/MidiOutput.h"
#include "player/Sequencer.h"
#include "player/SequencerClock.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray vlq(unsigned value)
{
    QByteArray out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7) {
        out.prepend(static_cast<char>(0x80 | (value & 0x7F)));
    }
    return out;
}

/// A format 0 file, 500 ticks per quarter at 120 BPM (a tick is a millisecond): every
/// `step` ms a note on and the previous note off, on rotating channels, for `seconds`.
QByteArray song(int seconds, int step)
{
    QByteArray events;
    int previous = -1;
    for (int t = 0, i = 0; t < seconds * 1000; t += step, ++i) {
        events += vlq(t == 0 ? 0 : static_cast<unsigned>(step));
        const int channel = i % 16 == 9 ? 0 : i % 16;
        events += static_cast<char>(0x90 | channel);
        events += static_cast<char>(48 + i % 24);
        events += '\x64';
        if (previous >= 0) {
            events += '\0';
            events += static_cast<char>(0x80 | (previous % 16 == 9 ? 0 : previous % 16));
            events += static_cast<char>(48 + previous % 24);
            events += '\x40';
        }
        previous = i;
    }
    events += QByteArray::fromHex("00FF2F00");
    QByteArray file = QByteArray::fromHex("4D546864000000060000000101F4") + "MTrk";
    for (int shift : {24, 16, 8, 0}) {
        file += static_cast<char>((events.size() >> shift) & 0xFF);
    }
    return file + events;
}

/// Notes the arrival time of every message (the vector is allocated up front).
class TimingOutput final : public calvane::MidiOutput
{
public:
    explicit TimingOutput(std::size_t capacity) { m_arrivals.reserve(capacity); }
    void SendShort(std::span<const std::uint8_t>) override { m_arrivals.push_back(Clock::now()); }
    void SendSysex(std::span<const std::uint8_t>) override { m_arrivals.push_back(Clock::now()); }
    const std::vector<Clock::time_point>& arrivals() const { return m_arrivals; }

private:
    std::vector<Clock::time_point> m_arrivals;
};

/// Lateness: min shows an event that came early (below 0), if any did.
struct Spread
{
    double min, p50, p99, max;
};

Spread spread(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
    return {us.front(), at(0.50), at(0.99), us.back()};
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run
{
    std::vector<double> lateUs;
    double cpuPercent;
};

/// The times of the song's events (not its tempo changes), in the order they play.
std::vector<std::int64_t> eventTimes(const calvane::SmfSong& smf)
{
    std::vector<std::int64_t> times;
    for (calvane::SmfCursor cursor(smf); const calvane::SmfEvent* e = cursor.peek(); cursor.advance()) {
        if (e->kind != calvane::SmfEvent::Kind::Tempo) {
            times.push_back(e->timeUs);
        }
    }
    return times;
}

/// Plays the whole song through the sequencer on the real clock.
Run playThroughSequencer(const calvane::SmfSong& smf)
{
    const std::vector<std::int64_t> times = eventTimes(smf);
    calvane::SteadyClock clock;
    calvane::Sequencer sequencer(clock);
    sequencer.Load(smf);
    TimingOutput output(times.size() + 1024);
    const double cpu0 = cpuSeconds();
    sequencer.Play(output);
    while (sequencer.mode() == calvane::Sequencer::Mode::Playing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double cpu = cpuSeconds() - cpu0;
    // First the channel defaults, then the song's events, then the silence of the end
    // (four messages a channel). Play takes the song's start from the clock right after
    // the last default, so that is the origin.
    constexpr std::size_t kSilence = 16 * 4;
    const std::size_t defaults = output.arrivals().size() - times.size() - kSilence;
    const Clock::time_point origin = output.arrivals()[defaults - 1];
    std::vector<double> late;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const auto due = origin + std::chrono::microseconds(times[i]);
        late.push_back(
            std::chrono::duration<double, std::micro>(output.arrivals()[defaults + i] - due).count());
    }
    return {late, 100.0 * cpu / (static_cast<double>(smf.lengthUs) / 1e6)};
}

/// The floor: a bare loop that sleeps until each event's time.
std::vector<double> bareSleepUntil(const calvane::SmfSong& smf)
{
    const std::vector<std::int64_t> times = eventTimes(smf);
    std::vector<double> late;
    late.reserve(times.size());
    const Clock::time_point origin = Clock::now();
    for (const std::int64_t timeUs : times) {
        const auto due = origin + std::chrono::microseconds(timeUs);
        std::this_thread::sleep_until(due);
        late.push_back(std::chrono::duration<double, std::micro>(Clock::now() - due).count());
    }
    return late;
}

/// Nanoseconds for one "status Midi mode" through the device.
double statusModeNs(calvane::MediaDevice& device)
{
    constexpr int kCalls = 200'000;
    QString reply;
    const QString command = QStringLiteral("status Midi mode");
    const auto t0 = Clock::now();
    for (int i = 0; i < kCalls; ++i) {
        device.SendString(command, &reply, 16);
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / kCalls;
}

} // namespace

int main()
{
    // 20 seconds of a dense schedule (~1000 events a second) in four rounds of 5 seconds,
    // the sequencer and the floor in turn, so that both meet the same noise of the machine.
    const calvane::SmfSong dense = calvane::ParseSmf(song(5, 2)).value();
    const calvane::SmfSong typical = calvane::ParseSmf(song(20, 125)).value(); // 16 events a second
    std::vector<double> sequencerLate;
    std::vector<double> floorLate;
    std::vector<double> tightFloorLate;
    double cpuPercent = 0;
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        const Run run = playThroughSequencer(dense);
        sequencerLate.insert(sequencerLate.end(), run.lateUs.begin(), run.lateUs.end());
        cpuPercent += run.cpuPercent / kRounds;
        const std::vector<double> floor = bareSleepUntil(dense);
        floorLate.insert(floorLate.end(), floor.begin(), floor.end());
        // The sequencer's thread asks for a timer slack of 1 ns; the same for the loop.
        const int defaultSlack = prctl(PR_GET_TIMERSLACK);
        prctl(PR_SET_TIMERSLACK, 1UL);
        const std::vector<double> tight = bareSleepUntil(dense);
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(defaultSlack));
        tightFloorLate.insert(tightFloorLate.end(), tight.begin(), tight.end());
    }
    const Spread sequenced = spread(sequencerLate);
    const Spread floor = spread(floorLate);
    const Spread tightFloor = spread(tightFloorLate);
    std::printf("dense schedule: %zu events in %d rounds of %.0f s\n", sequencerLate.size(), kRounds,
                dense.lengthUs / 1e6);
    std::printf("%-28s %10s %10s %10s %10s\n", "lateness (us)", "min", "p50", "p99", "max");
    for (const auto& [name, s] :
         {std::pair{"sequencer", sequenced}, std::pair{"bare sleep_until (floor)", floor},
          std::pair{"  the same, timer slack 1 ns", tightFloor}}) {
        std::printf("%-28s %10.1f %10.1f %10.1f %10.1f\n", name, s.min, s.p50, s.p99, s.max);
    }
    std::printf("p99 ratio sequencer/floor: %.2f (%.2f against the floor with slack 1 ns)\n",
                sequenced.p99 / floor.p99, sequenced.p99 / tightFloor.p99);
    std::printf("CPU while playing the dense schedule: %.2f %% of a core\n", cpuPercent);

    const Run calm = playThroughSequencer(typical);
    std::printf("CPU while playing a typical song (%zu events in %.0f s): %.3f %% of a core\n",
                eventTimes(typical).size(), typical.lengthUs / 1e6, calm.cpuPercent);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dense.mid"));
    {
        FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
        const QByteArray bytes = song(5, 2);
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
        std::fclose(f);
    }
    calvane::NoMidiOutputs outputs;
    calvane::SteadyClock clock;
    calvane::MediaDevice device(outputs, clock);
    device.SendString(QStringLiteral("open \"%1\" alias Midi").arg(path), nullptr, 0);
    std::printf("status mode round trip, stopped: %.0f ns\n", statusModeNs(device));
    device.SendString(QStringLiteral("play Midi"), nullptr, 0);
    std::printf("status mode round trip, playing: %.0f ns\n", statusModeNs(device));
    return 0;
}
