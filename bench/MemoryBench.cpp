// Peak memory of reading a dense MIDI file for playback: calvane-info, and the
// program loading it from its command line, each a fresh process (peak resident
// set from wait4), beside the same process on an empty file.
//
//   ./build/bench/bench_memory [MIB=64] [RUNS=3]
//
// The dense file is one track of two-byte events (a delta of 0 and a program
// number under running status), the densest a file can pack events: MIB mebibytes
// in all, 64 by default, the most the media device opens. The window's figure needs
// a display (QT_QPA_PLATFORM=offscreen will do) and is left out without the GUI.

#include <QByteArray>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Measure
{
    double seconds = 0;
    long peakKib = 0;
};

/// Runs a program to its end: wall time and peak resident set (median of the runs).
Measure run(const std::vector<QByteArray>& args, int runs)
{
    std::vector<Measure> all;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            std::vector<char*> argv;
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            std::fprintf(stderr, "%s ended with %d\n", args[0].constData(), status);
            std::exit(1);
        }
        all.push_back({seconds, usage.ru_maxrss});
    }
    std::sort(all.begin(), all.end(),
              [](const Measure& a, const Measure& b) { return a.peakKib < b.peakKib; });
    Measure median = all[all.size() / 2];
    std::vector<double> times;
    for (const Measure& m : all) {
        times.push_back(m.seconds);
    }
    std::sort(times.begin(), times.end());
    median.seconds = times[times.size() / 2];
    return median;
}

bool writeFile(const QByteArray& path, const QByteArray& bytes)
{
    FILE* f = std::fopen(path.constData(), "wb");
    if (!f) {
        return false;
    }
    const bool ok = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f) ==
                    static_cast<size_t>(bytes.size());
    return std::fclose(f) == 0 && ok;
}

QByteArray bigEndian32(quint32 v)
{
    QByteArray out;
    for (int shift : {24, 16, 8, 0}) {
        out += static_cast<char>((v >> shift) & 0xFF);
    }
    return out;
}

/// One track of two-byte events filling `size` bytes in all.
QByteArray denseSong(qint64 size)
{
    const QByteArray head = QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14);
    const QByteArray first("\x00\xC0\x05", 3);
    const QByteArray end("\x00\xFF\x2F\x00", 4);
    const qint64 pairs = (size - head.size() - 8 - first.size() - end.size()) / 2;
    QByteArray events = first;
    events.reserve(static_cast<qsizetype>(pairs * 2 + 8));
    for (qint64 i = 0; i < pairs; ++i) {
        events += '\0';
        events += static_cast<char>(i % 128);
    }
    events += end;
    return head + "MTrk" + bigEndian32(static_cast<quint32>(events.size())) + events;
}

void report(const char* what, const Measure& empty, const Measure& dense, qint64 fileBytes)
{
    const double mib = 1024.0;
    const double growth = static_cast<double>(dense.peakKib - empty.peakKib) / mib;
    const double budget = static_cast<double>(fileBytes) / (1 << 20) + 32;
    std::printf(
        "%-14s empty file: %7.1f MiB peak, %.3f s; dense file: %7.1f MiB peak, %.3f s; growth %.1f MiB "
        "(budget %.0f MiB: %s)\n",
        what, static_cast<double>(empty.peakKib) / mib, empty.seconds,
        static_cast<double>(dense.peakKib) / mib, dense.seconds, growth, budget,
        growth <= budget ? "within" : "OVER");
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 64;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir work;
    const QByteArray folder = QFile::encodeName(work.path());
    const QByteArray dense = folder + "/dense.mid";
    const QByteArray empty = folder + "/empty.mid";
    // Made by a child of its own: a child's peak counts the pages it shares with this
    // process until its exec, so this process stays small.
    const pid_t maker = ::fork();
    if (maker == 0) {
        std::_Exit(writeFile(dense, denseSong(mib << 20)) && writeFile(empty, {}) ? 0 : 1);
    }
    int made = -1;
    ::waitpid(maker, &made, 0);
    if (made != 0) {
        std::fprintf(stderr, "cannot write the files\n");
        return 1;
    }
    const qint64 size = QFileInfo(QFile::decodeName(dense)).size();
    std::printf("dense file: %lld bytes, %lld events\n", static_cast<long long>(size),
                static_cast<long long>((size - 29) / 2));
    report("calvane-info", run({CALVANE_INFO_EXE, empty}, runs), run({CALVANE_INFO_EXE, dense}, runs), size);
#ifdef STARTUP_PROBE_EXE
    const QByteArray ini = folder + "/calvane.ini";
    const QByteArray instance = folder + "/instance";
    report("the window", run({STARTUP_PROBE_EXE, ini, instance, empty}, runs),
           run({STARTUP_PROBE_EXE, ini, instance, dense}, runs), size);
#endif
    return 0;
}
