#include "gui/basSubMain.h"

#include "audio/PlatformMidiOutputs.h"
#include "gui/AppIcon.h"
#include "gui/CalvaneApplication.h"
#include "gui/MediaDeviceFactory.h"
#include "gui/desktop/DesktopUrlOpener.h"
#include "gui/desktop/QtMessageBoxes.h"
#include "gui/desktop/QtPickers.h"
#include "gui/desktop/QtTranslation.h"
#include "gui/desktop/SingleInstance.h"
#include "gui/desktop/TextBoxAccessibility.h"
#include "gui/desktop/WindowRaiser.h"
#include "gui/frmMain.h"
#include "platform/Directory.h"
#include "platform/NativeFile.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/ProcessStarter.h"
#include "platform/Trash.h"
#include "rename/basFileNameControl.h"
#include "report/basModule1.h"

#include <QFont>
#include <QScopeGuard>

namespace calvane {
namespace {

/// The command line's file as the running instance must see it: a relative path
/// is this process's, so it goes over absolute.
QString absoluteFile(const QString& file)
{
    if (file.isEmpty() || file.startsWith(u'/')) {
        return file;
    }
    try {
        return WithTrailingSeparator(CurrentFolder()) + file;
    } catch (const RuntimeError&) {
        return file; // no current folder: the running instance will not find it either
    }
}

} // namespace

void ConnectLaterStarts(SingleInstance& instance, WindowRaiser& raiser, frmMain& window)
{
    QObject::connect(&instance, &SingleInstance::raiseRequested, &raiser, &WindowRaiser::raiseLastActive);
    // "Open with" while the program runs: the window the user can act in comes to
    // the front first; the file is loaded once the main window takes input.
    QObject::connect(&instance, &SingleInstance::openRequested, &window,
                     [&raiser, &window](const QString& file) {
                         raiser.raiseLastActive();
                         window.openFromAnotherStart(file);
                     });
}

int RunCalvane(int argc, char** argv, const StartOptions& options)
{
    QtMessageBoxes boxes;
    ImmediateProcessEnd end;
    CalvaneApplication app(argc, argv, boxes, end);
    QCoreApplication::setApplicationName(QStringLiteral("calvane"));
    // A Japanese UI font: the captions are Japanese and the fields are sized for it.
    QFont font(QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")}, 9);
    QApplication::setFont(font);
    QApplication::setWindowIcon(AppIcon());

    // The argument's bytes as they are: a file name need not be UTF-8.
    const QString commandLine = argc > 1 ? PathFromNative(argv[1]) : QString();
    SingleInstance instance(options.instanceFolder.isEmpty() ? SingleInstance::DefaultFolder()
                                                             : options.instanceFolder);
    if (instance.claim(absoluteFile(commandLine)) == SingleInstance::Role::Second) {
        return 0;
    }
    // Qt's own texts (pickers, text menus) in Japanese, and each text box heard as what it is.
    const std::unique_ptr<QTranslator> qtTexts = InstallQtTranslation();
    InstallTextBoxAccessibility();

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
    DesktopUrlOpener opener;
    GioTrash trash;
    QtPickers pickers;
    ProgramState state;
    frmMain window(state,
                   {boxes, reporter, end, device, starter, timer, opener, trash, outputs, pickers, iniPath});
    reporter.setContext(window.failureContext());
    const auto forgetWindow = qScopeGuard([&reporter] { reporter.setContext({}); });
    boxes.setParent(&window);
    WindowRaiser raiser(window);
    ConnectLaterStarts(instance, raiser, window);

    window.Form_Load(commandLine);
    window.show();
    if (options.whenShown) {
        options.whenShown(window);
    }
    return QApplication::exec();
}

} // namespace calvane
