#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace calvane {

/// One mount of the mount table: where it is mounted (lossless) and its file
/// system's type.
struct MountEntry
{
    QString root;
    QByteArray type;

    bool operator==(const MountEntry&) const = default;
};

/// The mounts of a mount table in the form of /proc/self/mountinfo, in its order,
/// each mount point's escapes (\040 for a blank...) undone. A line that is not
/// whole is left out.
std::vector<MountEntry> ParseMountInfo(QByteArrayView table);

/// A mount that is no drive: the kernel's own file systems (proc, sysfs, cgroup,
/// autofs...) and whatever is mounted under /dev, /proc, /sys, /var/run, /var/lock.
bool IsSystemMount(const MountEntry& mount);

/// The root folders of the mounted volumes, sorted: the drives of the drive list.
/// They come from the mount table alone: no volume is asked anything, since a
/// hung network mount would hang the asking thread. A mount point counts when the
/// kernel's own entry for it is a folder (a bind mount of a single file, as
/// containers make, is no drive).
QStringList MountedDriveRoots();

/// The user's home folder (lossless), or empty when there is none.
QString HomeFolder();

/// The entries of the drive list: the home folder first, then the mounted volumes.
QStringList DriveRoots();

/// The drive of an absolute path: the root that is the longest leading part of it
/// (whole folder names only); empty when none is.
QString DriveOf(const QString& path, const QStringList& roots);

} // namespace calvane
