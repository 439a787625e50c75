#pragma once

#include <QByteArray>

#include <cstdint>

namespace calvane {

/// Renames a file without ever replacing another one, also against another
/// process creating the target at the same moment: the kernel refuses an
/// existing target in the same step that renames (renameat2 RENAME_NOREPLACE;
/// link + unlink where a file system lacks it). A new name that only differs in
/// letter case on a file system that ignores case, and the file's own name,
/// succeed. Both paths are native (bytes). Throws RuntimeError with the number
/// of RenameErrorNumber; the file keeps its old name on every failure.
void RenameNoReplace(const QByteArray& from, const QByteArray& to);

/// The run-time error number of a failed rename: the errno table, except that
/// a name too long for the file system is an access failure (75) like any other
/// name the medium cannot hold.
std::int32_t RenameErrorNumber(int err);

/// True when both names lead to one directory entry: the same name, or a
/// spelling that a case-blind file system takes for it. A second hard link is a
/// file of its own name and does not count.
bool IsSameDirectoryEntry(const QByteArray& a, const QByteArray& b);

namespace detail {
/// The steps of RenameNoReplace, each giving 0 or the errno of its failure.
int RenameNoReplaceErrno(const QByteArray& from, const QByteArray& to);
int RenameByLinkErrno(const QByteArray& from, const QByteArray& to);
} // namespace detail

} // namespace calvane
