// Start-up to a shown, idle main window with a start folder of many MIDI files:
// runs the start-up probe as a real process and reports the median wall time.
//
//   ./build/bench/bench_startup [RUNS=21] [FILES=10000]
//
// Uses the display of the environment (QT_QPA_PLATFORM=offscreen, or a real or
// virtual X server through xvfb-run). CALVANE_STARTUP_PROBE names another build's
// probe, to measure two builds on the same files.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray smallMidi(int number)
{
    const QByteArray title = "Song " + QByteArray::number(number);
    QByteArray events = QByteArray::fromHex("00FF03") + char(title.size()) + title;
    events += QByteArray::fromHex("00903C6460803C4000FF2F00");
    QByteArray track = "MTrk" + QByteArray(3, '\0') + char(events.size()) + events;
    return QByteArray::fromHex("4D546864000000060000000101E0") + track;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
    QTemporaryDir work;
    const QString music = work.filePath(QStringLiteral("music"));
    QDir().mkpath(music);
    for (int i = 0; i < files; ++i) {
        QFile f(QStringLiteral("%1/%2 song %3.mid").arg(music).arg(i % 97).arg(i, 5, 10, QChar(u'0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(smallMidi(i)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
    }
    const QString ini = work.filePath(QStringLiteral("calvane.ini"));
    QFile settings(ini);
    if (!settings.open(QIODevice::WriteOnly)) {
        return 1;
    }
    settings.write("[Edit]\r\nFastFolderPath=" + music.toUtf8() + "\r\n");
    settings.close();
    const QString runtime = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) { // the first run only warms the caches
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.setWorkingDirectory(work.path());
        QElapsedTimer clock;
        clock.start();
        probe.start(qEnvironmentVariable("CALVANE_STARTUP_PROBE", QStringLiteral(STARTUP_PROBE_EXE)),
                    {ini, work.filePath(QStringLiteral("instance"))});
        if (!probe.waitForFinished(60000) || probe.exitCode() != 0) {
            std::fprintf(stderr, "probe failed: %s\n", probe.readAllStandardError().constData());
            return 1;
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const int listed = probe.readAllStandardOutput().trimmed().toInt();
        if (listed != files) {
            std::fprintf(stderr, "listed %d files, expected %d\n", listed, files);
            return 1;
        }
        if (i > 0) {
            times.push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up with %d files, %d runs: median %.1f ms (min %.1f, max %.1f)\n", files, runs,
                times[times.size() / 2], times.front(), times.back());
    return 0;
}
