// The program's start-up, ended as soon as the main window is shown, exposed
// and the event loop idle. Prints the number of listed files on stdout.
//
//   calvane_startup_probe INI INSTANCE_FOLDER

#include "gui/basSubMain.h"
#include "gui/frmMain.h"
#include "gui/widgets/FileList.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: calvane_startup_probe INI INSTANCE_FOLDER\n", stderr);
        return 2;
    }
    calvane::StartOptions options;
    options.iniPath = QString::fromLocal8Bit(argv[1]);
    options.instanceFolder = QString::fromLocal8Bit(argv[2]);
    options.whenShown = [](calvane::frmMain& window) {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, [&window, poll] {
            if (window.windowHandle() && window.windowHandle()->isExposed()) {
                poll->stop();
                // One more turn of the loop: the first paint has been handled.
                QTimer::singleShot(0, [&window] {
                    std::printf("%d\n", window.filFile->count());
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
        });
        poll->start(0);
    };
    int one = 1; // the program's own name only: no command-line file
    return calvane::RunCalvane(one, argv, options);
}
