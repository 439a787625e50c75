#pragma once

#include <QByteArray>

namespace calvane {

/// The desktop's trash (the freedesktop.org trash): a file moved there keeps a
/// record of where it came from and when, so that a file manager can put it back.
class Trash
{
public:
    virtual ~Trash() = default;

    /// Moves the file (a native path, any bytes) into the trash of its own volume.
    /// Returns 0, or an errno value for the failure (ENOENT, EACCES, ENOTSUP when
    /// the volume has no trash, ...); on failure the file stays where it was.
    virtual int MoveToTrash(const QByteArray& nativePath) = 0;
};

/// The real trash through GLib's GIO (g_file_trash): the home trash under
/// $XDG_DATA_HOME for files on the home folder's volume, the volume's own
/// .Trash-<uid> elsewhere, with the .trashinfo file managers read.
class GioTrash final : public Trash
{
public:
    int MoveToTrash(const QByteArray& nativePath) override;
};

} // namespace calvane
