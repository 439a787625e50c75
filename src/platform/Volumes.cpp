#include "platform/Volumes.h"

#include <QFileInfo>
#include <QStorageInfo>

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
