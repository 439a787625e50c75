#include "gui/desktop/SingleInstance.h"

#include "platform/NativeFile.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>

namespace calvane {
namespace {

// One line per request; a file's bytes travel as hex, so any name fits on a line.
const QByteArray kRaise = "raise\n";
const QByteArray kOpen = "open ";

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/calvane");
}

SingleInstance::Role SingleInstance::claim(const QString& file)
{
    QDir().mkpath(m_folder);
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socketPath = m_folder + QStringLiteral("/instance.socket");

    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/instance.lock"));
    m_lock->setStaleLockTime(0); // stale only when its process is gone, never by age
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            tellRunningInstance(socketPath,
                                file.isEmpty() ? kRaise : kOpen + NativePath(file).toHex() + '\n');
            return Role::Second;
        }
        // The folder cannot hold a lock: run alone rather than not at all.
        std::fprintf(stderr, "calvane: no single-instance lock in %s\n", qPrintable(m_folder));
        return Role::First;
    }

    QLocalServer::removeServer(socketPath); // left by an instance that died
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    if (!m_server->listen(socketPath)) {
        std::fprintf(stderr, "calvane: later starts cannot find this instance: %s\n",
                     qPrintable(m_server->errorString()));
    }
    return Role::First;
}

void SingleInstance::tellRunningInstance(const QString& socketPath, const QByteArray& message)
{
    // The running instance may be between taking the lock and listening: retry a while.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(message);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(100);
    }
    // Nothing answers (the instance is just closing): end without any effect.
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line == kRaise) {
                    emit raiseRequested();
                } else if (line.startsWith(kOpen) && line.endsWith('\n')) {
                    const QByteArray native = QByteArray::fromHex(line.sliced(kOpen.size()).chopped(1));
                    if (!native.isEmpty()) {
                        emit openRequested(PathFromNative(native));
                    }
                }
            }
        });
    }
}

} // namespace calvane
