#include "platform/basFileControl.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/Trash.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {

std::int32_t RecycleFile(const QByteArray& nativePath, Trash& trash)
{
    if (!IsOrdinaryFile(nativePath)) {
        return kRecycleNoFile;
    }
    const int err = trash.MoveToTrash(nativePath);
    if (err == 0) {
        return 0;
    }
    // A trash that cannot take the file (none on that volume, no permission to
    // make one) is a failure of the trash, not a read-only file.
    const std::int32_t number = ErrorNumberFromErrno(err);
    throw RuntimeError(number == ErrNo::PathFileAccessError ? ErrNo::PermissionDenied : number);
}

void DeleteFilePermanently(const QByteArray& nativePath)
{
    struct stat st
    {};
    if (nativePath.isEmpty() || nativePath.contains('\0')) {
        throw RuntimeError(ErrNo::FileNotFound);
    }
    if (::lstat(nativePath.constData(), &st) != 0) {
        throw RuntimeError::fromErrno(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        throw RuntimeError(ErrNo::FileNotFound);
    }
    // Linux lets anyone who may write the folder unlink a file whatever its mode,
    // but a file without any write permission is one its owner chose to protect.
    // A symbolic link's own mode means nothing: removing it leaves its target.
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        throw RuntimeError(ErrNo::PathFileAccessError);
    }
    if (::unlink(nativePath.constData()) != 0) {
        throw RuntimeError::fromErrno(errno);
    }
}

} // namespace calvane
