#pragma once

#include <QByteArray>

namespace calvane {

/// Whether two names are two ordinary files with the same bytes: both regular
/// files (a link counts as none), not one file under two names (the same device
/// and inode), of one size and one content. A file that cannot be read is not
/// the same.
bool AreIdenticalCopies(const QByteArray& a, const QByteArray& b);

} // namespace calvane
