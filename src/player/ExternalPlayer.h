#pragma once

#include <QString>

namespace calvane {

class ProcessStarter;

enum class ExternalPlayerResult
{
    Started,
    ProgramNotFound, ///< the program named by the setting does not exist
};

/// Starts the external player: `exePath` is split as a command line (quotes group
/// words, no shell runs), the file's full path is appended as one more argument,
/// byte for byte. Any failure other than a missing program throws RuntimeError.
ExternalPlayerResult StartExternalPlayer(const QString& exePath, const QString& fileFullPath,
                                         ProcessStarter& starter);

} // namespace calvane
