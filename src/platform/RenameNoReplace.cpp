#include "platform/RenameNoReplace.h"

#include "errors/RuntimeError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

int renameOnce(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int err = errno;
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        return detail::RenameByLinkErrno(from, to); // the file system has no RENAME_NOREPLACE
    }
    return err;
}

/// A case-only rename where the file system ignores case: move the file to a
/// free temporary name beside it, then to the new name; back on failure.
int renameThroughTemporary(const QByteArray& from, const QByteArray& to)
{
    static std::atomic<unsigned> counter{0};
    const qsizetype slash = from.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? from.first(slash + 1) : QByteArray();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temporary = folder + ".calvane-rename-" + QByteArray::number(::getpid()) + '-' +
                                     QByteArray::number(counter++);
        int err = renameOnce(from, temporary);
        if (err == EEXIST) {
            continue;
        }
        if (err != 0) {
            return err;
        }
        err = renameOnce(temporary, to);
        if (err != 0) {
            renameOnce(temporary, from);
        }
        return err;
    }
    return EEXIST;
}

} // namespace

bool IsSameDirectoryEntry(const QByteArray& a, const QByteArray& b)
{
    struct stat sa
    {};
    struct stat sb
    {};
    return ::lstat(a.constData(), &sa) == 0 && ::lstat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino && sa.st_nlink == 1;
}

namespace detail {

int RenameByLinkErrno(const QByteArray& from, const QByteArray& to)
{
    if (::link(from.constData(), to.constData()) != 0) {
        return errno;
    }
    if (::unlink(from.constData()) != 0) {
        const int err = errno;
        ::unlink(to.constData()); // keep one name, the old one
        return err;
    }
    return 0;
}

int RenameNoReplaceErrno(const QByteArray& from, const QByteArray& to)
{
    const int err = renameOnce(from, to);
    if (err != EEXIST) {
        return err;
    }
    if (from == to) {
        return 0; // the file has that name already
    }
    return IsSameDirectoryEntry(from, to) ? renameThroughTemporary(from, to) : err;
}

} // namespace detail

std::int32_t RenameErrorNumber(int err)
{
    if (err == ENAMETOOLONG) {
        return ErrNo::PathFileAccessError;
    }
    return ErrorNumberFromErrno(err);
}

void RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (from.contains('\0') || to.contains('\0')) {
        throw RuntimeError(ErrNo::BadFileName); // a C path would end early and name another file
    }
    const int err = detail::RenameNoReplaceErrno(from, to);
    if (err != 0) {
        throw RuntimeError(RenameErrorNumber(err));
    }
}

} // namespace calvane
