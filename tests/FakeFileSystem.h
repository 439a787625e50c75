#pragma once

#include "platform/NativeFile.h"
#include "platform/RenameNoReplace.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace calvane::test {

/// A file system of the test's choosing at the rename seam, over a real folder:
/// without RENAME_NOREPLACE, without hard links, blind to letter case (keeping the
/// case a name was made with, and, as FUSE file systems may, another inode number
/// for each spelling of a name), with another program that acts before a call.
class FakeFileSystem final : public RenameCalls
{
public:
    bool noRenameNoReplace = false;
    bool noLinks = false;
    bool ignoresCase = false;
    bool inodePerSpelling = false;
    int renameOverError = 0; ///< renameOver fails with this errno
    /// Before each call: its name and names; another program may act here.
    std::function<void(const std::string& call, const QByteArray& a, const QByteArray& b)> before;
    std::vector<std::string> log; ///< "call a b" of each call

    int renameNoReplace(int folder, const QByteArray& from, const QByteArray& to) override
    {
        note("renameNoReplace", from, to);
        if (noRenameNoReplace) {
            return EINVAL;
        }
        if (ignoresCase && !spelling(folder, to).isEmpty()) {
            return EEXIST; // also the file's own entry, as a case-blind file system answers
        }
        return RenameCalls::renameNoReplace(folder, actual(folder, from), to);
    }
    int renameOver(int folder, const QByteArray& from, const QByteArray& to) override
    {
        note("renameOver", from, to);
        if (renameOverError != 0) {
            return renameOverError;
        }
        const QByteArray source = actual(folder, from);
        const QByteArray target = ignoresCase ? spelling(folder, to) : QByteArray();
        if (target.isEmpty() || target == source || target == to) {
            return RenameCalls::renameOver(folder, source,
                                           target.isEmpty() || target == source ? to : target);
        }
        const int err = RenameCalls::renameOver(folder, source, target); // over the entry of another spelling
        return err != 0 ? err : RenameCalls::renameOver(folder, target, to);
    }
    int link(int folder, const QByteArray& from, const QByteArray& to) override
    {
        note("link", from, to);
        if (noLinks) {
            return EPERM;
        }
        if (ignoresCase && !spelling(folder, to).isEmpty()) {
            return EEXIST;
        }
        return RenameCalls::link(folder, actual(folder, from), to);
    }
    int unlink(int folder, const QByteArray& name) override
    {
        note("unlink", name, {});
        return RenameCalls::unlink(folder, actual(folder, name));
    }
    int createExclusive(int folder, const QByteArray& name) override
    {
        note("createExclusive", name, {});
        if (ignoresCase && !spelling(folder, name).isEmpty()) {
            return EEXIST;
        }
        return RenameCalls::createExclusive(folder, name);
    }
    int stat(int folder, const QByteArray& name, struct stat& st) override
    {
        const int err = RenameCalls::stat(folder, actual(folder, name), st);
        if (err == 0 && inodePerSpelling) {
            st.st_ino ^= qHash(name) | 0x100000; // never the real number
        }
        return err;
    }

private:
    void note(const std::string& call, const QByteArray& a, const QByteArray& b)
    {
        log.push_back(call + ' ' + a.toStdString() + ' ' + b.toStdString());
        if (before) {
            before(call, a, b);
        }
    }

    /// The name as the folder spells the entry a case-blind lookup finds; empty when none.
    static QByteArray spelling(int folder, const QByteArray& name)
    {
        const qsizetype slash = name.lastIndexOf('/');
        const QByteArray parent = slash < 0 ? QByteArray(".") : name.first(std::max<qsizetype>(slash, 1));
        const QString wanted = PathFromNative(name.sliced(slash + 1));
        const int fd = ::openat(folder, parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            return {};
        }
        QByteArray found;
        while (const dirent* e = ::readdir(dir)) {
            if (PathFromNative(e->d_name).compare(wanted, Qt::CaseInsensitive) == 0) {
                found = name.first(slash + 1) + e->d_name;
                if (found == name) {
                    break; // a test's other program may have made a second spelling: this one first
                }
            }
        }
        ::closedir(dir);
        return found;
    }

    QByteArray actual(int folder, const QByteArray& name) const
    {
        const QByteArray found = ignoresCase ? spelling(folder, name) : QByteArray();
        return found.isEmpty() ? name : found;
    }
};

} // namespace calvane::test
