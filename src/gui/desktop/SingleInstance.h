#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace calvane {

/// One running instance per user. The first instance holds a lock file and
/// listens on a local socket beside it; a later start finds the lock held,
/// connects, asks the running instance to raise its window (or to open the file
/// it was started with) and is told to end. A lock or socket left behind by an
/// instance that died is taken over.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        First,  ///< this process is the running instance
        Second, ///< another instance runs (and was asked to come to the front): end now
    };

    /// folder holds the lock and the socket; it is created when missing.
    explicit SingleInstance(QString folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// file: the path a later start hands to the running instance (absolute,
    /// lossless), or empty for only raising its window.
    Role claim(const QString& file = {});

    /// The user's runtime folder (private to the user) plus "calvane".
    static QString DefaultFolder();

signals:
    /// A later start asked for the running instance's window.
    void raiseRequested();
    /// A later start named a file (lossless) for the running instance to open.
    void openRequested(const QString& file);

private:
    void acceptConnection();
    static void tellRunningInstance(const QString& socketPath, const QByteArray& message);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace calvane
