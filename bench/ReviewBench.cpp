// The review list over a folder of generated MIDI files, beside calvane-rename on
// the same files in the same run: the list shown complete (every row's word
// known, the table painted) beside `calvane-rename -n`, and the list's "変換"
// beside `calvane-rename`, each on a fresh copy of the files (read from the page
// cache). The tool runs as a process started here (its start counts); the list
// in this process, as the program shows it. Also the memory the list takes per
// row (peak resident size before and after it is shown).
//
//   ./build/bench/bench_review [FILES=10000] [RUNS=3]
//
// Uses the display of the environment (QT_QPA_PLATFORM=offscreen, or xvfb-run).

#include "StderrReporter.h"
#include "gui/frmReview.h"
#include "platform/MessageBoxes.h"
#include "platform/Trash.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace calvane;

class AnsweringBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString& text, const QString&, MsgIcon, MsgButtons) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return MsgResult::Ok;
    }
};

/// Format 1, one track: the title first, then notes (files of 2 to 10 KiB).
QByteArray song(int index)
{
    const QByteArray title = QStringLiteral("Song %1").arg(index, 6, 10, QLatin1Char('0')).toLatin1();
    QByteArray events = QByteArray("\x00\xFF\x03", 3) + static_cast<char>(title.size()) + title;
    const int notes = 250 + (index * 37) % 1000;
    for (int n = 0; n < notes; ++n) {
        const char key = static_cast<char>(48 + n % 24);
        events += QByteArray("\x00\x90", 2) + key + '\x60';
        events += QByteArray("\x60\x80", 2) + key + '\x40';
    }
    events += QByteArray("\x00\xFF\x2F\x00", 4);
    QByteArray file("MThd\0\0\0\x06\0\x01\0\x01\x01\xE0", 14);
    file += "MTrk";
    const quint32 length = static_cast<quint32>(events.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        file += static_cast<char>((length >> shift) & 0xFF);
    }
    return file + events;
}

void writeFiles(const QString& folder, int count)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/track%1.mid").arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
        file.write(song(i));
    }
}

/// calvane-rename with these arguments, its output to /dev/null: seconds.
double tool(const QByteArray& state, const std::vector<QByteArray>& args)
{
    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_STATE_HOME", state.constData(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(CALVANE_RENAME_EXE)};
        for (const QByteArray& a : args) {
            argv.push_back(const_cast<char*>(a.constData()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

long peakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("music"));
    const QByteArray native = QFile::encodeName(folder);
    const QByteArray state = QFile::encodeName(dir.filePath(QStringLiteral("state")));
    ::setenv("XDG_STATE_HOME", state.constData(), 1);
    StderrReporter reporter;
    AnsweringBoxes boxes;
    FreedesktopTrash trash; // never asked: no copy goes to the trash
    QWidget owner;
    owner.show();

    std::vector<double> planTool, planList, runTool, runList;
    long listGrowth = 0;
    for (int run = 0; run < runs; ++run) {
        writeFiles(folder, files);
        planTool.push_back(tool(state, {"-n", native}));

        Settings settings;
        const long before = peakKiB();
        QElapsedTimer clock;
        clock.start();
        auto* list = new frmReview(owner, settings, folder, false, boxes, reporter, trash);
        list->Form_Load();
        list->showOverOwner();
        list->tblReview->viewport()->repaint(); // the rows on view painted
        QCoreApplication::processEvents();
        planList.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        listGrowth = std::max(listGrowth, peakKiB() - before);

        clock.restart();
        list->cmdConv_Click();
        runList.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (!list->windowTitle().endsWith(QStringLiteral("完了"))) {
            std::fprintf(stderr, "the list's run did not complete\n");
            return 1;
        }
        list->close();
        QCoreApplication::processEvents();

        writeFiles(folder, files);
        runTool.push_back(tool(state, {native}));
    }
    const double pt = median(planTool), pl = median(planList), rt = median(runTool), rl = median(runList);
    std::printf("%d files, medians of %d runs\n", files, runs);
    std::printf("plan: calvane-rename -n %.3f s, the list shown complete %.3f s: %.2fx\n", pt, pl, pl / pt);
    std::printf("run:  calvane-rename    %.3f s, the list's 変換        %.3f s: %.2fx\n", rt, rl, rl / rt);
    std::printf("memory: the list's first showing raised the peak by %ld KiB (%.0f bytes a row)\n",
                listGrowth, static_cast<double>(listGrowth) * 1024.0 / files);
    return 0;
}
