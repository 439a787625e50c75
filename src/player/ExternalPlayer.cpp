#include "player/ExternalPlayer.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/ProcessStarter.h"

#include <QProcess>

#include <cerrno>
#include <sys/stat.h>

namespace calvane {
namespace {

/// A path (not a bare command name, which PATH resolves) to something that exists.
bool namesExistingFile(const QString& exePath)
{
    struct stat st
    {};
    const QByteArray native = NativePath(exePath);
    return native.contains('/') && !native.contains('\0') && ::stat(native.constData(), &st) == 0;
}

} // namespace

ExternalPlayerResult StartExternalPlayer(const QString& exePath, const QString& fileFullPath,
                                         ProcessStarter& starter)
{
    const QStringList words =
        namesExistingFile(exePath) ? QStringList{exePath} : QProcess::splitCommand(exePath);
    if (words.isEmpty()) {
        return ExternalPlayerResult::CannotRun;
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
    if (err == EAGAIN || err == ENOMEM) {
        throw RuntimeError::fromErrno(err);
    }
    return ExternalPlayerResult::CannotRun;
}

} // namespace calvane
