// GLib's headers name struct fields "signals", which Qt's keywords would turn into a macro.
#define QT_NO_KEYWORDS

#include "platform/Trash.h"

#include <cerrno>
#include <gio/gio.h>

namespace calvane {
namespace {

int ErrnoOf(const GError& error)
{
    if (error.domain != G_IO_ERROR) {
        return EIO;
    }
    switch (error.code) {
    case G_IO_ERROR_NOT_FOUND:
        return ENOENT;
    case G_IO_ERROR_PERMISSION_DENIED:
        return EACCES;
    case G_IO_ERROR_READ_ONLY:
        return EROFS;
    case G_IO_ERROR_NOT_SUPPORTED:
        return ENOTSUP;
    case G_IO_ERROR_NO_SPACE:
        return ENOSPC;
    case G_IO_ERROR_IS_DIRECTORY:
        return EISDIR;
    case G_IO_ERROR_FILENAME_TOO_LONG:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

} // namespace

int GioTrash::MoveToTrash(const QByteArray& nativePath)
{
    if (nativePath.isEmpty() || nativePath.contains('\0')) {
        return ENOENT;
    }
    // GLib takes file names as bytes: a name that is not UTF-8 goes as it is.
    GFile* file = g_file_new_for_path(nativePath.constData());
    GError* error = nullptr;
    const bool moved = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (moved) {
        return 0;
    }
    const int err = error ? ErrnoOf(*error) : EIO;
    g_clear_error(&error);
    return err;
}

} // namespace calvane
