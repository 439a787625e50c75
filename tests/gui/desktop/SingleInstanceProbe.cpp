// A stand-in program for the single-instance tests: claims the instance the way
// the program does and reports on stdout what happens to it.
//
//   single_instance_probe FOLDER [--dialog]
//   single_instance_probe FOLDER --program
//
// A later start prints "second" and ends. The first prints "first", shows a
// window (and with --dialog a modal dialog over it), minimises the window,
// prints "ready" and waits; when a later start asks for it, it raises the last
// active window, prints "raised NAME minimized=0|1" and ends.
// With --program it is the program itself over that instance folder: once the
// main window shows it minimises it and prints "ready"; then "loaded NAME"
// whenever the file name box shows another name, and for each message box "box CAPTION:
// TEXT minimized=0|1" (the main window's state then) before it presses the box's
// button; it ends when its standard input closes.

#include "gui/basSubMain.h"
#include "gui/desktop/SingleInstance.h"
#include "gui/desktop/WindowRaiser.h"
#include "gui/frmMain.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

int runProgram(char** argv)
{
    using namespace calvane;
    StartOptions options;
    options.instanceFolder = QString::fromLocal8Bit(argv[1]);
    options.iniPath = options.instanceFolder + QStringLiteral("/calvane.ini");
    options.whenShown = [](frmMain& window) {
        window.showMinimized();
        std::puts("ready");
        std::fflush(stdout);
        QObject::connect(window.txtFileName, &QLineEdit::textChanged, [](const QString& name) {
            if (!name.isEmpty()) { // not the box cleared by a change of folder
                std::printf("loaded %s\n", qPrintable(name));
                std::fflush(stdout);
            }
        });
        // A user who reads each box and presses its button.
        auto* reader = new QTimer(&window);
        QObject::connect(reader, &QTimer::timeout, [&window] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::printf("box %s: %s minimized=%d\n", qPrintable(box->windowTitle()),
                            qPrintable(box->text()), window.isMinimized() ? 1 : 0);
                std::fflush(stdout);
                box->buttons().constFirst()->click();
            }
        });
        reader->start(20);
        auto* input = new QSocketNotifier(0, QSocketNotifier::Read, &window);
        QObject::connect(input, &QSocketNotifier::activated, [] { std::_Exit(0); });
    };
    char* programArgv[] = {argv[0], nullptr};
    int programArgc = 1;
    return RunCalvane(programArgc, programArgv, options);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calvane;
    if (argc > 2 && std::strcmp(argv[2], "--program") == 0) {
        return runProgram(argv);
    }
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (instance.claim() == SingleInstance::Role::Second) {
        std::puts("second");
        return 0;
    }
    std::puts("first");
    std::fflush(stdout);

    QWidget window;
    window.setObjectName(QStringLiteral("main"));
    WindowRaiser raiser(window);
    window.show();
    QDialog dialog(&window);
    dialog.setObjectName(QStringLiteral("dialog"));
    if (argc > 2 && std::strcmp(argv[2], "--dialog") == 0) {
        dialog.setModal(true);
        dialog.show();
    }
    window.showMinimized();

    QObject::connect(&instance, &SingleInstance::raiseRequested, [&] {
        raiser.raiseLastActive();
        std::printf("raised %s minimized=%d\n", qPrintable(raiser.lastActive()->objectName()),
                    window.isMinimized() ? 1 : 0);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
