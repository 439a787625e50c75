#pragma once

#include <QString>
#include <QStringList>

namespace calvane {

/// The root folders of the mounted volumes that are ready, sorted: the drives of
/// the drive list.
QStringList MountedDriveRoots();

/// The user's home folder (lossless), or empty when there is none.
QString HomeFolder();

/// The entries of the drive list: the home folder first, then the mounted volumes.
QStringList DriveRoots();

/// The drive of an absolute path: the root that is the longest leading part of it
/// (whole folder names only); empty when none is.
QString DriveOf(const QString& path, const QStringList& roots);

} // namespace calvane
