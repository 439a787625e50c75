#pragma once

#include <QString>

#include <functional>

namespace calvane {

class frmMain;
class MciDevice;
class SingleInstance;
class WindowRaiser;

/// How the program starts; main() leaves every field at its default.
struct StartOptions
{
    QString iniPath;             ///< empty: DefaultIniPath(); ErrLog.txt goes beside it
    QString instanceFolder;      ///< empty: SingleInstance::DefaultFolder()
    MciDevice* device = nullptr; ///< null: CreateMediaDevice() (the CPU benchmark brings its own)
    /// Runs once the main window is shown (the start-up benchmark ends the program there).
    std::function<void(frmMain&)> whenShown;
};

/// The program: one running instance per user; a later start brings the running
/// one's last active window to the front and ends without reading or writing
/// any setting. Otherwise the main window loads (with the first argument as the
/// command-line file) and the program lives as long as it does.
int RunCalvane(int argc, char** argv, const StartOptions& options = {});

/// What the running program does with a later start's request: the window the
/// user can act in comes to the front (restored when minimised), then the file,
/// if one is named, is handed to the main window.
void ConnectLaterStarts(SingleInstance& instance, WindowRaiser& raiser, frmMain& window);

} // namespace calvane
