#include "platform/Volumes.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QFile>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace calvane {

namespace {

/// A mount point as the table writes it: blank, tab, line feed and backslash as
/// a backslash and three octal digits.
QByteArray unescaped(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool isUnder(const QString& path, QStringView folder)
{
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == u'/');
}

/// The kernel's entry for the mount point is a folder. Asked of the entry the
/// kernel holds, without the file system's own answer (O_PATH reaches no
/// file system's open, and no attributes are fetched): a network volume that
/// hangs is not asked.
bool isFolderEntry(const QString& root)
{
    const int fd = ::open(NativePath(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(QByteArrayView table)
{
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": the
    // mount point is the fifth field, the type follows the lone "-".
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : table.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 7) {
            continue;
        }
        qsizetype dash = 6;
        while (dash < fields.size() && fields[dash] != "-") {
            ++dash;
        }
        if (dash + 1 >= fields.size() || fields[dash + 1].isEmpty() || !fields[4].startsWith('/')) {
            continue;
        }
        mounts.push_back({PathFromNative(unescaped(fields[4])), fields[dash + 1]});
    }
    return mounts;
}

bool IsSystemMount(const MountEntry& mount)
{
    static const QList<QByteArrayView> kKernelTypes{
        "autofs",   "binfmt_misc", "bpf",        "cgroup",    "cgroup2", "configfs", "debugfs", "devpts",
        "devtmpfs", "efivarfs",    "fusectl",    "hugetlbfs", "mqueue",  "nsfs",     "proc",    "pstore",
        "rootfs",   "rpc_pipefs",  "securityfs", "selinuxfs", "sysfs",   "tracefs"};
    if (kKernelTypes.contains(mount.type)) {
        return true;
    }
    for (const QStringView folder : {u"/dev", u"/proc", u"/sys", u"/var/run", u"/var/lock"}) {
        if (isUnder(mount.root, folder)) {
            return true;
        }
    }
    return false;
}

QStringList MountedDriveRoots()
{
    QStringList roots;
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (table.open(QIODevice::ReadOnly)) {
        for (const MountEntry& mount : ParseMountInfo(table.readAll())) {
            if (!IsSystemMount(mount) && !roots.contains(mount.root) && isFolderEntry(mount.root)) {
                roots.append(mount.root);
            }
        }
    }
    if (!roots.contains(QStringLiteral("/"))) {
        roots.append(QStringLiteral("/"));
    }
    roots.sort();
    return roots;
}

QString HomeFolder()
{
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        if (const passwd* user = ::getpwuid(::getuid())) {
            home = user->pw_dir;
        }
    }
    while (home.size() > 1 && home.endsWith('/')) {
        home.chop(1);
    }
    const QString folder = PathFromNative(home);
    return folder.startsWith(u'/') && IsFolder(folder) ? folder : QString();
}

QStringList DriveRoots()
{
    QStringList roots = MountedDriveRoots();
    const QString home = HomeFolder();
    if (!home.isEmpty()) {
        roots.removeAll(home);
        roots.prepend(home);
    }
    return roots;
}

QString DriveOf(const QString& path, const QStringList& roots)
{
    QString best;
    for (const QString& root : roots) {
        const bool under =
            path == root || (path.startsWith(root) && (root.endsWith(u'/') || path.at(root.size()) == u'/'));
        if (under && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

} // namespace calvane
