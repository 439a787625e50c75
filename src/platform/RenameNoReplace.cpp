#include "platform/RenameNoReplace.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"

#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace calvane {

int RenameCalls::renameNoReplace(int folder, const QByteArray& from, const QByteArray& to)
{
    return ::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0 ? 0 : errno;
}

int RenameCalls::renameOver(int folder, const QByteArray& from, const QByteArray& to)
{
    return ::renameat(folder, from.constData(), folder, to.constData()) == 0 ? 0 : errno;
}

int RenameCalls::link(int folder, const QByteArray& from, const QByteArray& to)
{
    return ::linkat(folder, from.constData(), folder, to.constData(), 0) == 0 ? 0 : errno;
}

int RenameCalls::unlink(int folder, const QByteArray& name)
{
    return ::unlinkat(folder, name.constData(), 0) == 0 ? 0 : errno;
}

int RenameCalls::createExclusive(int folder, const QByteArray& name)
{
    const int fd =
        ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    return 0;
}

int RenameCalls::stat(int folder, const QByteArray& name, struct stat& st)
{
    return ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

bool RenameCalls::lists(int folder, const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : name.first(std::max<qsizetype>(slash, 1));
    const QByteArray entry = name.sliced(slash + 1);
    const int fd = ::openat(folder, parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    bool found = false;
    while (const dirent* e = ::readdir(dir)) {
        if (entry == e->d_name) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

RenameCalls& SystemRenameCalls()
{
    static RenameCalls calls; // no state: the same calls for everyone
    return calls;
}

namespace {

bool noRenameNoReplace(int err)
{
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

/// A hard link the file system cannot make (FAT, exFAT, FUSE file systems without
/// links, protected links); the placeholder road can still rename.
bool noHardLink(int err)
{
    return err == EPERM || err == EOPNOTSUPP || err == ENOSYS || err == EMLINK;
}

/// One rename by the first road the file system has; EEXIST when `to` exists.
int renameOnce(int folder, const QByteArray& from, const QByteArray& to, RenameCalls& calls)
{
    int err = calls.renameNoReplace(folder, from, to);
    if (!noRenameNoReplace(err)) {
        return err;
    }
    err = calls.link(folder, from, to);
    if (err == 0) {
        err = calls.unlink(folder, from);
        if (err != 0) {
            calls.unlink(folder, to); // keep one name, the old one
        }
        return err;
    }
    if (!noHardLink(err)) {
        return err;
    }
    // The placeholder makes `to` ours before the rename replaces it.
    err = calls.createExclusive(folder, to);
    if (err != 0) {
        return err;
    }
    err = calls.renameOver(folder, from, to);
    if (err != 0) {
        calls.unlink(folder, to);
    }
    return err;
}

/// The names compared without regard to letter case (as UTF-8 where they are, else
/// by their ASCII letters), but not equal.
bool differOnlyInCase(const QByteArray& a, const QByteArray& b)
{
    if (a == b || a.size() == 0 || b.size() == 0) {
        return false;
    }
    const QString x = PathFromNative(a.sliced(a.lastIndexOf('/') + 1));
    const QString y = PathFromNative(b.sliced(b.lastIndexOf('/') + 1));
    return x.compare(y, Qt::CaseInsensitive) == 0 &&
           a.first(a.lastIndexOf('/') + 1) == b.first(b.lastIndexOf('/') + 1);
}

bool sameEntry(int folder, const QByteArray& a, const QByteArray& b, RenameCalls& calls)
{
    struct stat sa
    {};
    struct stat sb
    {};
    if (calls.stat(folder, a, sa) != 0 || calls.stat(folder, b, sb) != 0) {
        return false;
    }
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) {
        return sa.st_nlink == 1;
    }
    // A file system that does not keep inode numbers (FUSE ones) may give another
    // for each spelling: a `b` that the folder does not list is `a` found by its case.
    return differOnlyInCase(a, b) && calls.lists(folder, a) && !calls.lists(folder, b);
}

/// A case-only rename where the file system ignores case: the file goes to a free
/// temporary name beside it, then to the new name; back on failure, tried again
/// a few times before the file is left where it is and said to be there.
RenameOutcome renameThroughTemporary(int folder, const QByteArray& from, const QByteArray& to,
                                     RenameCalls& calls)
{
    static std::atomic<unsigned> counter{0};
    const QByteArray prefix =
        from.first(from.lastIndexOf('/') + 1) + ".calvane-rename-" + QByteArray::number(::getpid()) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temporary = prefix + QByteArray::number(counter++);
        int err = renameOnce(folder, from, temporary, calls);
        if (err == EEXIST) {
            continue;
        }
        if (err != 0) {
            return {err, {}};
        }
        err = renameOnce(folder, temporary, to, calls);
        if (err == 0) {
            return {};
        }
        constexpr int kTriesBack = 5;
        for (int back = 0; back < kTriesBack; ++back) {
            if (back > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20 * back));
            }
            if (renameOnce(folder, temporary, from, calls) == 0) {
                return {err, {}};
            }
        }
        return {err, temporary};
    }
    return {EEXIST, {}};
}

} // namespace

RenameOutcome RenameNoReplaceAt(int folder, const QByteArray& from, const QByteArray& to, RenameCalls& calls)
{
    const int err = renameOnce(folder, from, to, calls);
    if (err != EEXIST) {
        return {err, {}};
    }
    if (from == to) {
        return {}; // the file has that name already
    }
    return sameEntry(folder, from, to, calls) ? renameThroughTemporary(folder, from, to, calls)
                                              : RenameOutcome{err, {}};
}

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
    const RenameOutcome outcome = RenameNoReplaceAt(AT_FDCWD, from, to);
    if (outcome.err != 0) {
        throw RuntimeError(RenameErrorNumber(outcome.err));
    }
}

bool IsSameDirectoryEntry(const QByteArray& a, const QByteArray& b)
{
    return sameEntry(AT_FDCWD, a, b, SystemRenameCalls());
}

std::optional<FolderId> FolderIdOf(const QByteArray& path)
{
    struct stat st
    {};
    if (path.contains('\0') || ::stat(path.isEmpty() ? "." : path.constData(), &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return FolderId{st.st_dev, st.st_ino};
}

RenameFolder::RenameFolder(const QByteArray& folder, const std::optional<FolderId>& expected)
{
    if (folder.contains('\0')) {
        m_err = ENOENT;
        return;
    }
    m_fd = ::open(folder.isEmpty() ? "." : folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        m_err = errno;
        return;
    }
    struct stat st
    {};
    if (expected && (::fstat(m_fd, &st) != 0 || FolderId{st.st_dev, st.st_ino} != *expected)) {
        // Another folder now stands at the path (a link to one, say): the files listed are not there.
        ::close(m_fd);
        m_fd = -1;
        m_err = ENOENT;
    }
}

RenameFolder::~RenameFolder()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

} // namespace calvane
