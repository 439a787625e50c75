#pragma once

#include <QByteArray>

#include <functional>

namespace calvane {

/// Where a file went in the trash: its new path under the trash's "files" folder
/// and the record beside it under "info" from which it can be put back.
struct TrashPlace
{
    QByteArray file;
    QByteArray info;

    bool operator==(const TrashPlace&) const = default;
};

/// Asked once the place in the trash is known, before the file moves there
/// (a journal writes its line here); false: the file is not moved.
using BeforeTrashMove = std::function<bool(const TrashPlace&)>;

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

    /// The same, and says where the file goes, so that it can be put back by the
    /// program itself: the record (.trashinfo) is made first, as a new file
    /// (O_EXCL), which gives the file its name in the trash; then beforeMove is
    /// asked with the place; then the file is renamed there, never over another
    /// file. Returns 0, ECANCELED when beforeMove said no, or the errno of the
    /// failure; on any failure the record is removed and the file stays.
    virtual int MoveToTrashAt(const QByteArray& nativePath, const BeforeTrashMove& beforeMove) = 0;
};

/// The real trash by our own steps (TrashFolderFor, MoveIntoTrashFolder): the home
/// trash under $XDG_DATA_HOME for files on its volume, the volume's own
/// .Trash/<uid> or .Trash-<uid> elsewhere, with the .trashinfo file managers read.
/// What the tools use: it needs no GLib.
class FreedesktopTrash : public Trash
{
public:
    int MoveToTrash(const QByteArray& nativePath) override;
    int MoveToTrashAt(const QByteArray& nativePath, const BeforeTrashMove& beforeMove) override;
};

/// The window's trash: MoveToTrash (a deletion) through GLib's GIO
/// (g_file_trash), the same folders and records; MoveToTrashAt by our own steps,
/// since GIO does not say where a file went.
class GioTrash final : public FreedesktopTrash
{
public:
    int MoveToTrash(const QByteArray& nativePath) override;
};

/// The trash folder (holding "files" and "info", both made when missing) that
/// takes the file, by the freedesktop.org rules: the home trash when it is on the
/// file's volume, else the volume's .Trash/<uid> (a sticky folder that is no
/// link) or .Trash-<uid> (made, the user's, no link). originalPath gets the path
/// the record names: absolute for the home trash, relative to the volume's top
/// folder for the volume's. Empty with errno set when there is none.
QByteArray TrashFolderFor(const QByteArray& nativePath, QByteArray& originalPath);

/// MoveToTrashAt's steps into a given trash folder (native, ending in "/"):
/// originalPath is the path written into the record.
int MoveIntoTrashFolder(const QByteArray& trashFolder, const QByteArray& nativePath,
                        const QByteArray& originalPath, const BeforeTrashMove& beforeMove);

} // namespace calvane
