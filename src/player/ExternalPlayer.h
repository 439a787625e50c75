#pragma once

#include <QString>

namespace calvane {

class ProcessStarter;

enum class ExternalPlayerResult
{
    Started,
    ProgramNotFound, ///< the program named by the setting does not exist
};

/// The full path of a listed file: the folder, one "/" unless it ends in one, the name.
QString FullPathOf(const QString& folder, const QString& fileName);

/// Starts the external player: `exePath` is split as a command line (quotes group
/// words, no shell runs), the file's full path is appended as one more argument,
/// byte for byte. Any failure other than a missing program throws RuntimeError.
ExternalPlayerResult StartExternalPlayer(const QString& exePath, const QString& fileFullPath,
                                         ProcessStarter& starter);

} // namespace calvane
