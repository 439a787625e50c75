#include "app/basSubMain.h"

#include "app/CalvaneApplication.h"
#include "app/MediaDeviceFactory.h"
#include "app/QtMessageBoxes.h"
#include "app/QtPickers.h"
#include "app/SingleInstance.h"
#include "app/WindowRaiser.h"
#include "app/frmMain.h"
#include "errors/basModule1.h"
#include "platform/NativeFile.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/ProcessStarter.h"
#include "platform/audio/PlatformMidiOutputs.h"

#include <QFont>
#include <QScopeGuard>

namespace calvane {

int RunCalvane(int argc, char** argv, const StartOptions& options)
{
    QtMessageBoxes boxes;
    ImmediateProcessEnd end;
    CalvaneApplication app(argc, argv, boxes, end);
    QCoreApplication::setApplicationName(QStringLiteral("calvane"));
    // A Japanese UI font: the captions are Japanese and the fields are sized for it.
    QFont font(QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")}, 9);
    QApplication::setFont(font);

    SingleInstance instance(options.instanceFolder.isEmpty() ? SingleInstance::DefaultFolder()
                                                             : options.instanceFolder);
    if (instance.claim() == SingleInstance::Role::Second) {
        return 0;
    }

    // The handler first, so that every later failure reaches it; it learns what the
    // main window shows once the window exists.
    const QString iniPath = options.iniPath.isEmpty() ? DefaultIniPath() : options.iniPath;
    CentralErrorHandler reporter(boxes, end, iniPath);
    // One set of outputs: the device plays through them, the settings dialog lists them.
    PlatformMidiOutputs outputs;
    const std::unique_ptr<MciDevice> created = options.device ? nullptr : CreateMediaDevice(outputs);
    MciDevice& device = options.device ? *options.device : *created;
    PosixProcessStarter starter;
    QtPlaybackTimer timer;
    QtPickers pickers;
    ProgramState state;
    frmMain window(state, {boxes, reporter, end, device, starter, timer, outputs, pickers, iniPath});
    reporter.setContext(window.failureContext());
    const auto forgetWindow = qScopeGuard([&reporter] { reporter.setContext({}); });
    boxes.setParent(&window);
    WindowRaiser raiser(window);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &raiser, &WindowRaiser::raiseLastActive);

    // The argument's bytes as they are: a file name need not be UTF-8.
    window.Form_Load(argc > 1 ? PathFromNative(argv[1]) : QString());
    window.show();
    if (options.whenShown) {
        options.whenShown(window);
    }
    return QApplication::exec();
}

} // namespace calvane
