#pragma once

#include <QString>

namespace calvane {

class ProcessStarter;

enum class ExternalPlayerResult
{
    Started,
    /// The program named by the setting cannot be run: it is missing, a folder, not
    /// executable, not a program. The user has a setting to check.
    CannotRun,
};

/// Starts the external player. An `exePath` with a "/" that names an existing file
/// as a whole, blanks and all, is that program; otherwise `exePath` is split as a
/// command line (quotes group words, no shell runs). The file's full path is one
/// more argument, byte for byte. A failure to create a process at all (EAGAIN,
/// ENOMEM) throws RuntimeError.
ExternalPlayerResult StartExternalPlayer(const QString& exePath, const QString& fileFullPath,
                                         ProcessStarter& starter);

} // namespace calvane
