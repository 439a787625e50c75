#pragma once

#include <QByteArray>

#include <cstdint>

namespace calvane {

class Trash;

/// RecycleFile's result when there is no ordinary file to move.
constexpr std::int32_t kRecycleNoFile = 1026;

/// Moves a file into the trash. Returns kRecycleNoFile, moving nothing, when no
/// ordinary file has that name (a folder or a hidden file counts as none), else 0
/// once the file is in the trash. A trash that refuses the file throws
/// RuntimeError; its number is never 75, which stands for a file protected
/// against deletion, and the file stays where it was.
std::int32_t RecycleFile(const QByteArray& nativePath, Trash& trash);

/// Deletes a file from the disk for good. Throws RuntimeError 53 when there is
/// no such file (a folder included), and 75 when the file's mode grants no write
/// permission (a read-only file, whoever may unlink it) or when its folder refuses
/// the deletion; the file then stays.
void DeleteFilePermanently(const QByteArray& nativePath);

} // namespace calvane
