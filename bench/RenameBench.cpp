// calvane-rename over a generated collection, beside a bare loop that does only
// what any renamer must (bench_rename_bare), in the same run on the same files,
// read from the page cache. Each is a fresh process started by the same small
// launcher: wall time from its start to its end, and its peak resident memory
// (wait4 in the launcher). After each run every file gets
// its old name back, so that both always meet the same folder.
//
//   ./build/bench/bench_rename [FILES=10000] [RUNS=5] [CALVANE-RENAME OPTIONS...]
//
// With -n among the options the tool only plans; the bare loop still renames.
//
// The files: 98.5 % of 2 to 64 KiB, 1.5 % of 512 KiB to 4 MiB (about 400 MiB for
// 10,000 files), the title at the start of the first track, half of them in
// ASCII, half in UTF-8 Japanese. calvane-rename runs as a user runs it: settings
// looked for, the plan's lines written (to /dev/null), a journal kept.

#include <QByteArray>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Collection
{
    QByteArray folder;
    std::vector<QByteArray> names;  ///< as generated
    std::vector<QByteArray> titled; ///< the title plus ".mid"
    qint64 bytes = 0;
    qint64 largest = 0;
};

QByteArray bigEndian32(quint32 v)
{
    QByteArray out;
    for (int shift : {24, 16, 8, 0}) {
        out += static_cast<char>((v >> shift) & 0xFF);
    }
    return out;
}

/// Format 1, one track: the title, a copyright, then notes up to about `size` bytes.
QByteArray song(const QByteArray& title, qint64 size)
{
    QByteArray events = QByteArray("\x00\xFF\x03", 3) + static_cast<char>(title.size()) + title;
    events += QByteArray("\x00\xFF\x02\x0B(C) Nobody", 15);
    const qint64 notes = std::max<qint64>(1, (size - 40 - events.size()) / 8);
    events.reserve(events.size() + notes * 8 + 4);
    for (qint64 n = 0; n < notes; ++n) {
        const char key = static_cast<char>(48 + n % 24);
        events += QByteArray("\x00\x90", 2) + key + '\x60';
        events += QByteArray("\x60\x80", 2) + key + '\x40';
    }
    events += QByteArray("\x00\xFF\x2F\x00", 4);
    return QByteArray("MThd\0\0\0\x06\0\x01\0\x01\x01\xE0", 14) + "MTrk" +
           bigEndian32(static_cast<quint32>(events.size())) + events;
}

Collection generate(const QByteArray& folder, int count)
{
    Collection c;
    c.folder = folder;
    ::mkdir(folder.constData(), 0755);
    std::mt19937 rng(15);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < count; ++i) {
        const bool large = i % 67 == 33; // 1.5 %
        const double lo = large ? 512 << 10 : 2 << 10;
        const double hi = large ? 4 << 20 : 64 << 10;
        const auto size = static_cast<qint64>(lo * std::exp(std::log(hi / lo) * unit(rng)));
        const QByteArray number = QByteArray::number(i).rightJustified(5, '0');
        const QByteArray title = i % 2 == 0 ? "Song " + number : "\xE6\x9B\xB2 " + number; // 曲
        c.names.push_back("track" + number + ".mid");
        c.titled.push_back(title + ".mid");
        const QByteArray bytes = song(title, size);
        const int fd =
            ::open((folder + '/' + c.names.back()).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) {
            std::perror("write");
            std::exit(1);
        }
        ::close(fd);
        c.bytes += bytes.size();
        c.largest = std::max<qint64>(c.largest, bytes.size());
    }
    return c;
}

struct Measure
{
    double seconds = 0;
    long peakKib = 0;
};

/// Runs a program to its end through the launcher: wall time, peak resident set.
Measure runProcess(const std::vector<QByteArray>& args, const QByteArray& stateHome)
{
    int report[2];
    if (::pipe(report) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::dup2(report[1], 3);
        ::setenv("XDG_STATE_HOME", stateHome.constData(), 1);
        ::setenv("XDG_CONFIG_HOME", stateHome.constData(), 1);
        std::vector<char*> argv{const_cast<char*>(BARE_LOOP_EXE), const_cast<char*>("--measure")};
        for (const QByteArray& a : args) {
            argv.push_back(const_cast<char*>(a.constData()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    ::close(report[1]);
    char text[256] = {};
    const ssize_t n = ::read(report[0], text, sizeof text - 1);
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    Measure m;
    int status = -1;
    if (n <= 0 || std::sscanf(text, "%ld %lf %d", &m.peakKib, &m.seconds, &status) != 3 || status != 0) {
        std::fprintf(stderr, "%s did not end well (%s)\n", args[0].constData(), text);
        std::exit(1);
    }
    return m;
}

/// Every file back under its generated name; false when one was not renamed.
bool restore(const Collection& c)
{
    bool all = true;
    for (size_t i = 0; i < c.names.size(); ++i) {
        if (::rename((c.folder + '/' + c.titled[i]).constData(), (c.folder + '/' + c.names[i]).constData()) !=
            0) {
            all = false;
        }
    }
    return all;
}

template <class T> T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir work;
    const QByteArray root = work.path().toUtf8();
    const QByteArray state = root + "/state";
    ::mkdir(state.constData(), 0755);
    const Collection c = generate(root + "/collection", files);
    std::printf("%d files, %.0f MiB, largest %.2f MiB\n", files, static_cast<double>(c.bytes) / (1 << 20),
                static_cast<double>(c.largest) / (1 << 20));

    const std::vector<QByteArray> bare{BARE_LOOP_EXE, c.folder};
    std::vector<QByteArray> tool{CALVANE_RENAME_EXE};
    bool plan = false; // -n renames nothing: nothing to take back after the tool
    for (int i = 3; i < argc; ++i) {
        tool.emplace_back(argv[i]);
        plan = plan || tool.back() == "-n";
    }
    tool.push_back(c.folder);
    // Once each untimed: every file in the page cache, both programs' pages too.
    runProcess(bare, state);
    restore(c);
    runProcess(tool, state);
    if (!plan) {
        restore(c);
    }

    std::vector<double> bareSeconds;
    std::vector<double> toolSeconds;
    std::vector<long> bareKib;
    std::vector<long> toolKib;
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool toolTurn = (turn + run) % 2 == 1; // the order alternates
            const Measure m = runProcess(toolTurn ? tool : bare, state);
            if (!(toolTurn && plan) && !restore(c)) {
                std::fprintf(stderr, "%s left a file unrenamed\n",
                             toolTurn ? "calvane-rename" : "the bare loop");
                return 1;
            }
            (toolTurn ? toolSeconds : bareSeconds).push_back(m.seconds);
            (toolTurn ? toolKib : bareKib).push_back(m.peakKib);
        }
        std::printf("run %d: bare %.1f us/file %ld KiB, calvane-rename %.1f us/file %ld KiB\n", run + 1,
                    bareSeconds.back() * 1e6 / files, bareKib.back(), toolSeconds.back() * 1e6 / files,
                    toolKib.back());
    }
    const double b = median(bareSeconds);
    const double t = median(toolSeconds);
    const long bk = median(bareKib);
    const long tk = median(toolKib);
    std::printf("median of %d runs: bare %.1f us/file, calvane-rename %.1f us/file, ratio %.2f\n", runs,
                b * 1e6 / files, t * 1e6 / files, t / b);
    std::printf(
        "peak RSS: bare %ld KiB, calvane-rename %ld KiB; goal at most %ld KiB (bare + twice the largest "
        "file)\n",
        bk, tk, bk + 2 * static_cast<long>(c.largest >> 10));
    return 0;
}
