// GetMIDIInfo's reading against a bare "read the whole file and search it" loop.
//
//   ./build/bench/bench_midi_info [--files=10000] --benchmark_repetitions=5
//   --benchmark_report_aggregates_only=true

#include "midi/basMIDIInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int g_files = 10'000; ///< the many small files (--files=N)

QByteArray makeMidi(std::size_t noteEvents, std::mt19937& rng)
{
    QByteArray events;
    events += QByteArray::fromHex("00FF0309") + "Test Song";
    events += QByteArray::fromHex("00FF020C") + "(C) Nobody 1";
    for (std::size_t i = 0; i < noteEvents; ++i) {
        const char note = static_cast<char>(36 + rng() % 48);
        events += static_cast<char>(rng() % 100);
        events += '\x90';
        events += note;
        events += '\x64';
        events += static_cast<char>(rng() % 100);
        events += '\x80';
        events += note;
        events += '\x40';
    }
    events += QByteArray::fromHex("00FF2F00");
    QByteArray file = QByteArray::fromHex("4D546864000000060001000201E0");
    file += "MTrk";
    const auto n = static_cast<quint32>(events.size());
    for (int s : {24, 16, 8, 0}) {
        file += static_cast<char>((n >> s) & 0xFF);
    }
    file += events;
    file += QByteArray::fromHex("4D54726B0000000400FF2F00");
    return file;
}

struct Fixture
{
    QTemporaryDir dir;
    QByteArray bigPath;
    std::vector<QByteArray> smallPaths;
    std::int64_t smallBytes = 0;

    Fixture()
    {
        std::mt19937 rng(7);
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return QFile::encodeName(f.fileName());
        };
        bigPath = write(QStringLiteral("big.mid"), makeMidi(5'000'000 / 8, rng));
        for (int i = 0; i < g_files; ++i) {
            const QByteArray bytes = makeMidi(200 + rng() % 2000, rng);
            smallBytes += bytes.size();
            smallPaths.push_back(write(QStringLiteral("s%1.mid").arg(i, 5, 10, QLatin1Char('0')), bytes));
        }
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The bare loop: read the file in one go and search all of it once (for a marker
// that is not there, so the search runs to the end). With search off it only
// reads: the floor that no reader can go below.
std::size_t bareRead(const QByteArray& path, bool search)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st
    {};
    ::fstat(fd, &st);
    auto buf = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < static_cast<std::size_t>(st.st_size)) {
        const ssize_t n = ::read(fd, buf.get() + got, static_cast<std::size_t>(st.st_size) - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!search) {
        return static_cast<std::size_t>(buf[0]);
    }
    return reinterpret_cast<std::size_t>(::memmem(buf.get(), got, "MTrk\xFF\xFF", 6));
}

template <class Read> void bigFile(benchmark::State& state, Read read)
{
    const QByteArray& path = fixture().bigPath;
    for (auto _ : state) {
        benchmark::DoNotOptimize(read(path));
    }
    state.SetBytesProcessed(state.iterations() * QFile(QFile::decodeName(path)).size());
}

template <class Read> void manyFiles(benchmark::State& state, Read read)
{
    for (auto _ : state) {
        for (const QByteArray& path : fixture().smallPaths) {
            benchmark::DoNotOptimize(read(path));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(fixture().smallPaths.size()));
    state.SetBytesProcessed(state.iterations() * fixture().smallBytes);
}

const auto getMIDIInfo = [](const QByteArray& path) { return calvane::ReadMIDIInfo(path); };
const auto bareSearch = [](const QByteArray& path) { return bareRead(path, true); };
const auto readOnly = [](const QByteArray& path) { return bareRead(path, false); };

} // namespace

BENCHMARK_CAPTURE(bigFile, GetMIDIInfo, getMIDIInfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bigFile, BareReadAndSearch, bareSearch)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bigFile, ReadOnly, readOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(manyFiles, GetMIDIInfo, getMIDIInfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(manyFiles, BareReadAndSearch, bareSearch)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(manyFiles, ReadOnly, readOnly)->Unit(benchmark::kMillisecond);
int main(int argc, char** argv)
{
    // --files=N is ours; the rest is the benchmark library's.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--files=", 8) == 0) {
            g_files = std::atoi(argv[i] + 8);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
