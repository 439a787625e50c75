#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace calvane {

/// One running instance per user. The first instance holds a lock file and
/// listens on a local socket beside it (or, when that path is too long for a
/// socket, in a private folder under /tmp); a later start finds the lock held,
/// connects, asks the running instance to raise its window (or to open the file
/// it was started with) and is told to end. A lock or socket left behind by an
/// instance that died is taken over.
///
/// A connection carries one request, one line of at most kMaxLineBytes; at most
/// kMaxConnections are held at a time, each for kConnectionMilliseconds at most.
/// What exceeds them is dropped. A request is handed on (raiseRequested,
/// openRequested) only after its connection is closed, as an event of its own,
/// so a box that the receiver shows never runs under the socket's reading.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        First,  ///< this process is the running instance
        Second, ///< another instance runs (and was asked to come to the front): end now
    };

    /// A path is a few KiB at most; its bytes travel as hex.
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;
    static constexpr int kMaxConnections = 16;
    static constexpr int kConnectionMilliseconds = 10000;

    /// folder holds the lock and the socket; it is created when missing.
    explicit SingleInstance(QString folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// file: the path a later start hands to the running instance (absolute,
    /// lossless), or empty for only raising its window.
    Role claim(const QString& file = {});

    /// The user's runtime folder (private to the user) plus "calvane".
    static QString DefaultFolder();

    /// The socket of an instance folder: beside the lock when the path fits a
    /// socket address, else in the private folder /tmp/calvane-<uid>, named
    /// after the instance folder.
    static QString SocketPath(const QString& folder);

    /// Makes the folder (mode 0700) when it is missing. Empty when it is a folder
    /// of this user that no one else can enter; else why it cannot be used.
    static QString PrivateFolderProblem(const QString& folder);

signals:
    /// A later start asked for the running instance's window.
    void raiseRequested();
    /// A later start named a file (lossless) for the running instance to open.
    void openRequested(const QString& file);

private:
    void acceptConnection();
    void readRequest(QLocalSocket* socket);
    void handOn(const QByteArray& line);
    static void tellRunningInstance(const QString& socketPath, const QByteArray& message);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    int m_connections = 0;
};

} // namespace calvane
