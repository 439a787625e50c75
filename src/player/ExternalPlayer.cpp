#include "player/ExternalPlayer.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/ProcessStarter.h"

#include <QProcess>

#include <cerrno>

namespace calvane {

ExternalPlayerResult StartExternalPlayer(const QString& exePath, const QString& fileFullPath,
                                         ProcessStarter& starter)
{
    const QStringList words = QProcess::splitCommand(exePath);
    if (words.isEmpty()) {
        return ExternalPlayerResult::ProgramNotFound;
    }
    QList<QByteArray> arguments;
    for (qsizetype i = 1; i < words.size(); ++i) {
        arguments.append(NativePath(words[i]));
    }
    arguments.append(NativePath(fileFullPath));
    const int err = starter.startDetached(NativePath(words.front()), arguments);
    if (err == 0) {
        return ExternalPlayerResult::Started;
    }
    if (err == ENOENT || err == ENOTDIR) {
        return ExternalPlayerResult::ProgramNotFound;
    }
    throw RuntimeError::fromErrno(err);
}

} // namespace calvane
