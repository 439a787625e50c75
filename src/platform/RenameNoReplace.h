#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

namespace calvane {

/// The system calls a rename is made of, each on names relative to a folder's
/// descriptor (AT_FDCWD: the process's current folder), each giving 0 or the errno
/// of its failure. The kernel's by default; a test gives a file system of its own
/// (one without RENAME_NOREPLACE or hard links, one that ignores letter case).
class RenameCalls
{
public:
    virtual ~RenameCalls() = default;
    /// renameat2 with RENAME_NOREPLACE.
    virtual int renameNoReplace(int folder, const QByteArray& from, const QByteArray& to);
    /// renameat, which replaces a file at `to`.
    virtual int renameOver(int folder, const QByteArray& from, const QByteArray& to);
    virtual int link(int folder, const QByteArray& from, const QByteArray& to);
    virtual int unlink(int folder, const QByteArray& name);
    /// Creates an empty file that did not exist (O_CREAT | O_EXCL, links not followed) and closes it.
    virtual int createExclusive(int folder, const QByteArray& name);
    /// fstatat without following a link.
    virtual int stat(int folder, const QByteArray& name, struct stat& st);
    /// Whether the folder of the name holds an entry of exactly that name, byte for
    /// byte, as its listing shows (a file system that ignores case finds others too).
    virtual bool lists(int folder, const QByteArray& name);
};

/// The kernel's calls.
RenameCalls& SystemRenameCalls();

/// What became of a rename.
struct RenameOutcome
{
    int err = 0; ///< 0, or the errno of the failure: the file keeps its old name...
    /// ...unless this is set: a case-only rename moved the file to this temporary
    /// name beside it, and it could neither take its new name nor get its old one
    /// back (another program took that name meanwhile). The name, as `from` is given.
    QByteArray strandedAs;
};

/// Renames a file in a folder without ever replacing another one, also against
/// another program making the target at the same moment. Three roads, the first
/// that the file system has: renameat2 RENAME_NOREPLACE (the kernel refuses an
/// existing target in the step that renames); a hard link to the new name, then
/// the old name unlinked; where neither exists (FAT and exFAT through FUSE, some
/// network file systems), an empty placeholder created exclusively at the new name
/// and the file renamed over it (the placeholder is removed when that rename
/// fails). The third road replaces nothing but our own placeholder, except in the
/// moment between its creation and the rename, when another program would have to
/// delete the placeholder and make a file of its own under that name. A new name
/// that differs only in letter case where the file system ignores case (the same
/// entry by its inode, or one the folder lists only under the old spelling) goes
/// through a temporary name; the file's own name succeeds. Names are native,
/// relative to the folder's descriptor (or paths, with AT_FDCWD) and in one folder.
RenameOutcome RenameNoReplaceAt(int folder, const QByteArray& from, const QByteArray& to,
                                RenameCalls& calls = SystemRenameCalls());

/// RenameNoReplaceAt on two paths. Throws RuntimeError with the number of
/// RenameErrorNumber; the file keeps its old name on every failure.
void RenameNoReplace(const QByteArray& from, const QByteArray& to);

/// The run-time error number of a failed rename: the errno table, except that
/// a name too long for the file system is an access failure (75) like any other
/// name the medium cannot hold.
std::int32_t RenameErrorNumber(int err);

/// True when both names lead to one directory entry: the same name, or a
/// spelling that a case-blind file system takes for it. A second hard link is a
/// file of its own name and does not count.
bool IsSameDirectoryEntry(const QByteArray& a, const QByteArray& b);

/// A folder as the file system knows it, whichever path leads there.
struct FolderId
{
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FolderId&) const = default;
};

/// The identity of the folder a path leads to (links followed); nullopt when none.
std::optional<FolderId> FolderIdOf(const QByteArray& path);

/// A folder held open for renames in it (O_PATH: nothing of it is read), closed
/// with the object: a rename relative to it happens in that folder even when its
/// path leads elsewhere meanwhile.
class RenameFolder
{
public:
    /// Opens the folder of the path; with `expected`, only while the path still
    /// leads to that folder. isOpen() false with error(): the errno (ENOENT for a
    /// folder that is not the expected one).
    explicit RenameFolder(const QByteArray& folder, const std::optional<FolderId>& expected = std::nullopt);
    ~RenameFolder();
    RenameFolder(const RenameFolder&) = delete;
    RenameFolder& operator=(const RenameFolder&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    int error() const { return m_err; }

private:
    int m_fd = -1;
    int m_err = 0;
};

} // namespace calvane
