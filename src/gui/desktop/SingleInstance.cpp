#include "gui/desktop/SingleInstance.h"

#include "platform/NativeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace calvane {
namespace {

// One line per request; a file's bytes travel as hex, so any name fits on a line.
const QByteArray kRaise = "raise\n";
const QByteArray kOpen = "open ";

/// The private folder of the sockets whose place beside their lock is too long.
QString shortSocketFolder()
{
    return QStringLiteral("/tmp/calvane-%1").arg(::geteuid());
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

/// Closes the connection and lets it go once control is back in an event loop.
void drop(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/calvane");
}

QString SingleInstance::SocketPath(const QString& folder)
{
    const QString beside = folder + QStringLiteral("/instance.socket");
    if (static_cast<std::size_t>(NativePath(beside).size()) < sizeof(sockaddr_un::sun_path)) {
        return beside;
    }
    // A name of its own for each instance folder, the same in every process.
    const QByteArray name = QCryptographicHash::hash(NativePath(folder), QCryptographicHash::Sha256).toHex();
    return shortSocketFolder() + u'/' + QString::fromLatin1(name.left(16)) + QStringLiteral(".socket");
}

QString SingleInstance::PrivateFolderProblem(const QString& folder)
{
    const QByteArray path = NativePath(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return folder + QStringLiteral(": ") + errnoText(errno);
    }
    struct stat st
    {};
    if (::lstat(path.constData(), &st) != 0) {
        return folder + QStringLiteral(": ") + errnoText(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return folder + QStringLiteral(" is not a folder");
    }
    if (st.st_uid != ::geteuid()) {
        return folder + QStringLiteral(" belongs to another user");
    }
    if ((st.st_mode & 077) != 0) {
        return folder + QStringLiteral(" is open to other users");
    }
    return {};
}

namespace {

/// Why the socket cannot be placed where SocketPath puts it; empty when it can.
QString socketPlaceProblem(const QString& socketPath)
{
    const QString folder = shortSocketFolder();
    return socketPath.startsWith(folder + u'/') ? SingleInstance::PrivateFolderProblem(folder) : QString();
}

} // namespace

SingleInstance::Role SingleInstance::claim(const QString& file)
{
    QDir().mkpath(m_folder);
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socketPath = SocketPath(m_folder);
    const QString placeProblem = socketPlaceProblem(socketPath);

    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/instance.lock"));
    m_lock->setStaleLockTime(0); // stale only when its process is gone, never by age
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            if (!placeProblem.isEmpty()) {
                // Another user's socket may wait there: the path is not told to it.
                std::fprintf(stderr, "calvane: cannot reach the running instance: %s\n",
                             qPrintable(placeProblem));
                return Role::Second;
            }
            tellRunningInstance(socketPath,
                                file.isEmpty() ? kRaise : kOpen + NativePath(file).toHex() + '\n');
            return Role::Second;
        }
        // The folder cannot hold a lock: run alone rather than not at all.
        std::fprintf(stderr, "calvane: no single-instance lock in %s\n", qPrintable(m_folder));
        return Role::First;
    }

    if (!placeProblem.isEmpty()) {
        std::fprintf(stderr, "calvane: no instance socket, later starts cannot find this instance: %s\n",
                     qPrintable(placeProblem));
        return Role::First;
    }
    QLocalServer::removeServer(socketPath); // left by an instance that died
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(kMaxConnections);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    if (!m_server->listen(socketPath)) {
        std::fprintf(stderr, "calvane: no instance socket, later starts cannot find this instance: %s\n",
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
    // The instance is just closing, or could make no socket: end without any other effect.
    std::fprintf(stderr, "calvane: the running instance does not answer at %s\n", qPrintable(socketPath));
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_connections >= kMaxConnections) {
            drop(socket);
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A line longer than any request fills the buffer without an end: dropped.
        socket->setReadBufferSize(kMaxLineBytes + 1);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        QTimer::singleShot(kConnectionMilliseconds, socket, [socket] { drop(socket); });
        if (socket->bytesAvailable() > 0) {
            readRequest(socket);
        }
    }
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxLineBytes) {
            drop(socket);
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxLineBytes + 1);
    // Done with the connection before the request goes on: what it starts may
    // run an event loop (a box) in which the socket goes away.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    drop(socket);
    QMetaObject::invokeMethod(
        this, [this, line] { handOn(line); }, Qt::QueuedConnection);
}

void SingleInstance::handOn(const QByteArray& line)
{
    if (line == kRaise) {
        emit raiseRequested();
    } else if (line.startsWith(kOpen) && line.endsWith('\n')) {
        const QByteArray native = QByteArray::fromHex(line.sliced(kOpen.size()).chopped(1));
        if (!native.isEmpty()) {
            emit openRequested(PathFromNative(native));
        }
    }
}

} // namespace calvane
