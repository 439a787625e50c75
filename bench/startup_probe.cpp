// The program's start-up, ended as soon as the main window is shown, exposed
// and the event loop idle. Prints the number of listed files on stdout. With
// FILE, the program starts with that file on its command line and loads it.
//
//   calvane_startup_probe INI INSTANCE_FOLDER [FILE]

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
        std::fputs("usage: calvane_startup_probe INI INSTANCE_FOLDER [FILE]\n", stderr);
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
    // The program's own name, and the file when one is given.
    char* program[] = {argv[0], argc > 3 ? argv[3] : nullptr, nullptr};
    int count = argc > 3 ? 2 : 1;
    return calvane::RunCalvane(count, program, options);
}
