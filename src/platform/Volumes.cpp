#include "platform/Volumes.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <pwd.h>
#include <unistd.h>

namespace calvane {

QStringList MountedDriveRoots()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        // Bind mounts of single files (containers) are no drives.
        if (volume.isValid() && volume.isReady() && QFileInfo(root).isDir() && !roots.contains(root)) {
            roots.append(root);
        }
    }
    if (!roots.contains(QStringLiteral("/"))) {
        roots.append(QStringLiteral("/"));
    }
    roots.sort();
    return roots;
}

QString HomeFolder()
{
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        if (const passwd* user = ::getpwuid(::getuid())) {
            home = user->pw_dir;
        }
    }
    while (home.size() > 1 && home.endsWith('/')) {
        home.chop(1);
    }
    const QString folder = PathFromNative(home);
    return folder.startsWith(u'/') && IsFolder(folder) ? folder : QString();
}

QStringList DriveRoots()
{
    QStringList roots = MountedDriveRoots();
    const QString home = HomeFolder();
    if (!home.isEmpty()) {
        roots.removeAll(home);
        roots.prepend(home);
    }
    return roots;
}

QString DriveOf(const QString& path, const QStringList& roots)
{
    QString best;
    for (const QString& root : roots) {
        const bool under =
            path == root || (path.startsWith(root) && (root.endsWith(u'/') || path.at(root.size()) == u'/'));
        if (under && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

} // namespace calvane
