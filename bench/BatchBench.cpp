// The batch dialog renaming a folder of generated MIDI files, beside a bare loop
// that does only the work any renamer must do: read each file, find its title,
// renameat2 it to the title plus ".mid". Both work on fresh copies of the same
// files, written just before (so read from the page cache).
//
//   ./build/bench/bench_batch [FILES=10000] [RUNS=3]
//
// The dialog is the program's own: the main window over the folder, the button
// that opens the dialog, its convert button; message boxes answer at once.
// Uses the display of the environment (QT_QPA_PLATFORM=offscreen, or xvfb-run).

#include "StderrReporter.h"
#include "errors/Guard.h"
#include "gui/MediaDeviceFactory.h"
#include "gui/desktop/QtPickers.h"
#include "gui/frmAllConv.h"
#include "gui/frmMain.h"
#include "platform/MessageBoxes.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/ProcessStarter.h"
#include "platform/Trash.h"
#include "platform/UrlOpener.h"
#include "player/MidiOutput.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using namespace calvane;

/// Format 1, one track: the title first, then `notes` notes (files of 2 to 10 KiB).
QByteArray song(int index, int notes)
{
    const QByteArray title = QStringLiteral("Song %1").arg(index, 5, 10, QLatin1Char('0')).toLatin1();
    QByteArray events = QByteArray("\x00\xFF\x03", 3) + static_cast<char>(title.size()) + title;
    for (int n = 0; n < notes; ++n) {
        const char key = static_cast<char>(48 + n % 24);
        events += QByteArray("\x00\x90", 2) + key + '\x60';
        events += QByteArray("\x60\x80", 2) + key + '\x40';
    }
    events += QByteArray("\x00\xFF\x2F\x00", 4);
    QByteArray file("MThd\0\0\0\x06\0\x01\0\x01\x01\xE0", 14);
    const quint32 length = static_cast<quint32>(events.size());
    file += "MTrk";
    for (int shift = 24; shift >= 0; shift -= 8) {
        file += static_cast<char>((length >> shift) & 0xFF);
    }
    return file + events;
}

void writeFiles(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/track%1.mid").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
        file.write(song(i, 250 + (i * 37) % 1000));
    }
}

/// Open, read whole, find the title meta event after "MTrk", renameat2 without replacing.
int bareLoop(const QString& folder)
{
    const QByteArray base = QFile::encodeName(folder) + '/';
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    std::vector<char> buffer;
    int renamed = 0;
    for (const QString& name : names) {
        const QByteArray from = base + QFile::encodeName(name);
        const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const off_t size = ::lseek(fd, 0, SEEK_END);
        buffer.resize(static_cast<size_t>(size));
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
        ::close(fd);
        if (got != size) {
            continue;
        }
        const char* end = buffer.data() + buffer.size();
        const char* track = static_cast<const char*>(memmem(buffer.data(), buffer.size(), "MTrk", 4));
        const char* meta =
            track ? static_cast<const char*>(memmem(track, static_cast<size_t>(end - track), "\xFF\x03", 2))
                  : nullptr;
        if (!meta || meta + 3 > end || meta + 3 + static_cast<unsigned char>(meta[2]) > end) {
            continue;
        }
        const QByteArray to = base + QByteArray(meta + 3, static_cast<unsigned char>(meta[2])) + ".mid";
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
            ++renamed;
        }
    }
    return renamed;
}

/// Boxes that answer at once (the completion box comes at the very end).
class AnsweringBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString& text, const QString&, MsgIcon, MsgButtons) override
    {
        last = text;
        return MsgResult::Ok;
    }
    QString last;
};

class NoUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl&) override { return false; }
};

/// The dialog's run over the folder, in seconds; the files renamed counted after it.
double dialogRun(const QString& folder, const QString& ini, int& renamed)
{
    AnsweringBoxes boxes;
    StderrReporter reporter;
    ImmediateProcessEnd end;
    NoMidiOutputs outputs; // the run never plays
    const std::unique_ptr<MciDevice> device = CreateMediaDevice(outputs);
    PosixProcessStarter starter;
    QtPlaybackTimer timer;
    ProgramState state;
    QDir::setCurrent(folder);
    NoUrlOpener opener;
    GioTrash trash;
    QtPickers pickers;
    frmMain window(state,
                   {boxes, reporter, end, *device, starter, timer, opener, trash, outputs, pickers, ini});
    window.Form_Load({});
    window.show();
    QCoreApplication::processEvents();
    window.cmdAllConv->click();
    frmAllConv* dialog = window.allConvWindow();
    if (!dialog) {
        std::fprintf(stderr, "no dialog: %s\n", qPrintable(boxes.last));
        std::exit(1);
    }
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(); // shown and painted before the clock starts
    }
    QElapsedTimer clock;
    clock.start();
    dialog->cmdConv->click();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (dialog->windowTitle() != QStringLiteral("すべて変換 - 完了")) {
        std::fprintf(stderr, "the run did not complete: %s\n", qPrintable(dialog->windowTitle()));
        std::exit(1);
    }
    dialog->close();
    renamed = static_cast<int>(QDir(folder).entryList({QStringLiteral("Song *.mid")}, QDir::Files).size());
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")}, 9));
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("calvane.ini"));

    std::vector<double> bare;
    std::vector<double> dialog;
    for (int run = 0; run < runs; ++run) {
        const QString bareFolder = work.filePath(QStringLiteral("bare%1").arg(run));
        writeFiles(bareFolder, files);
        QElapsedTimer clock;
        clock.start();
        const int bareRenamed = bareLoop(bareFolder);
        bare.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);

        const QString dialogFolder = work.filePath(QStringLiteral("dialog%1").arg(run));
        writeFiles(dialogFolder, files);
        int dialogRenamed = 0;
        dialog.push_back(dialogRun(dialogFolder, ini, dialogRenamed));
        std::printf("run %d: bare %.1f us/file (%d renamed), dialog %.1f us/file (%d renamed)\n", run + 1,
                    bare.back() * 1e6 / files, bareRenamed, dialog.back() * 1e6 / files, dialogRenamed);
        QDir(bareFolder).removeRecursively();
        QDir(dialogFolder).removeRecursively();
    }
    const double b = median(bare);
    const double d = median(dialog);
    std::printf(
        "platform %s, %d files, median of %d runs: bare %.1f us/file, dialog %.1f us/file, ratio %.2f\n",
        qPrintable(QGuiApplication::platformName()), files, runs, b * 1e6 / files, d * 1e6 / files, d / b);
    return 0;
}
