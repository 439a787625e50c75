#include "platform/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

/// A folder of ours made when missing (mode 0700): 0 or the errno.
int makeFolder(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

int makeFolders(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        ::mkdir(path.first(slash).constData(), 0700);
    }
    return makeFolder(path);
}

/// A folder that is no link and belongs to the user.
bool isOwnFolder(const QByteArray& path)
{
    struct stat st
    {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

/// The top folder of the volume that holds the folder (absolute, without links).
QByteArray topFolderOf(QByteArray folder, dev_t device)
{
    while (folder.size() > 1) {
        const QByteArray parent = folder.first(std::max<qsizetype>(folder.lastIndexOf('/'), 1));
        struct stat st
        {};
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device) {
            break;
        }
        folder = parent;
    }
    return folder;
}

/// The volume's own trash: .Trash/<uid> in a sticky .Trash that is no link, else .Trash-<uid>.
QByteArray volumeTrash(const QByteArray& top)
{
    const QByteArray base = top == "/" ? QByteArray("/") : top + '/';
    const QByteArray uid = QByteArray::number(::getuid());
    struct stat shared
    {};
    if (::lstat((base + ".Trash").constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        const QByteArray mine = base + ".Trash/" + uid;
        if (makeFolder(mine) == 0 && isOwnFolder(mine)) {
            return mine + '/';
        }
    }
    const QByteArray own = base + ".Trash-" + uid;
    if (makeFolder(own) != 0) {
        return {};
    }
    if (!isOwnFolder(own)) {
        errno = EPERM;
        return {};
    }
    return own + '/';
}

/// The name in the trash for the n-th try: "a.mid", "a.2.mid", "a.3.mid"...
QByteArray trashName(const QByteArray& name, int n)
{
    if (n == 1) {
        return name;
    }
    const qsizetype dot = name.indexOf('.', 1);
    const QByteArray number = '.' + QByteArray::number(n);
    return dot > 0 ? name.first(dot) + number + name.sliced(dot) : name + number;
}

int moveNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return errno;
    }
    if (::link(from.constData(), to.constData()) != 0) {
        return errno;
    }
    if (::unlink(from.constData()) != 0) {
        const int err = errno;
        ::unlink(to.constData());
        return err;
    }
    return 0;
}

} // namespace

QByteArray TrashFolderFor(const QByteArray& nativePath, QByteArray& originalPath)
{
    struct stat file
    {};
    if (nativePath.isEmpty() || nativePath.contains('\0') || ::lstat(nativePath.constData(), &file) != 0) {
        errno = nativePath.isEmpty() || nativePath.contains('\0') ? ENOENT : errno;
        return {};
    }
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray name = nativePath.sliced(slash + 1);
    char* real =
        ::realpath(slash < 0 ? "." : (slash == 0 ? "/" : nativePath.first(slash).constData()), nullptr);
    if (!real) {
        return {};
    }
    const QByteArray folder(real);
    std::free(real);
    const QByteArray absolute = (folder == "/" ? folder : folder + '/') + name;

    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/')) {
        dataHome = QFile::encodeName(QDir::homePath()) + "/.local/share";
    }
    const QByteArray home = dataHome + "/Trash";
    struct stat homeTrash
    {};
    if (makeFolders(home) == 0 && ::stat(home.constData(), &homeTrash) == 0 &&
        homeTrash.st_dev == file.st_dev) {
        originalPath = absolute;
        return home + '/';
    }
    const QByteArray top = topFolderOf(folder, file.st_dev);
    const QByteArray trash = volumeTrash(top);
    if (trash.isEmpty()) {
        return {};
    }
    originalPath = absolute.sliced(top == "/" ? 1 : top.size() + 1);
    return trash;
}

int MoveIntoTrashFolder(const QByteArray& trashFolder, const QByteArray& nativePath,
                        const QByteArray& originalPath, const BeforeTrashMove& beforeMove)
{
    for (const char* sub : {"files", "info"}) {
        if (const int err = makeFolder(trashFolder + sub)) {
            return err;
        }
    }
    const QByteArray name = nativePath.sliced(nativePath.lastIndexOf('/') + 1);
    const QByteArray record =
        "[Trash Info]\nPath=" + originalPath.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
    for (int n = 1; n < 10000; ++n) {
        const QByteArray inTrash = trashName(name, n);
        TrashPlace place{trashFolder + "files/" + inTrash, trashFolder + "info/" + inTrash + ".trashinfo"};
        // The record is made new, never over another: that claims the name in the trash.
        const int fd =
            ::open(place.info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return errno;
        }
        const bool written =
            ::write(fd, record.constData(), static_cast<size_t>(record.size())) == record.size();
        const int writeError = written ? 0 : (errno != 0 ? errno : ENOSPC);
        if (::close(fd) != 0 || !written) {
            const int err = writeError != 0 ? writeError : errno;
            ::unlink(place.info.constData());
            return err;
        }
        struct stat st
        {};
        if (::lstat(place.file.constData(), &st) == 0) {
            ::unlink(place.info.constData()); // a file left without its record: another name
            continue;
        }
        if (beforeMove && !beforeMove(place)) {
            ::unlink(place.info.constData());
            return ECANCELED;
        }
        if (const int err = moveNoReplace(nativePath, place.file)) {
            ::unlink(place.info.constData());
            return err;
        }
        return 0;
    }
    return EEXIST;
}

int FreedesktopTrash::MoveToTrash(const QByteArray& nativePath)
{
    return MoveToTrashAt(nativePath, {});
}

int FreedesktopTrash::MoveToTrashAt(const QByteArray& nativePath, const BeforeTrashMove& beforeMove)
{
    QByteArray originalPath;
    const QByteArray folder = TrashFolderFor(nativePath, originalPath);
    if (folder.isEmpty()) {
        return errno != 0 ? errno : ENOTSUP;
    }
    return MoveIntoTrashFolder(folder, nativePath, originalPath, beforeMove);
}

} // namespace calvane
