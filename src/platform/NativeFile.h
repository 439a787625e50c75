#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace calvane {

/// A path as the file system holds it. Linux names are bytes and need not be
/// UTF-8 (old collections carry Shift_JIS names): PathFromNative keeps every
/// byte that is not part of valid UTF-8 as one lone surrogate U+DC80..U+DCFF,
/// and NativePath gives exactly those bytes back, so any name survives the
/// round trip through a QString. Use NativePath for every file system call made
/// with a path that came from PathFromNative.
QByteArray NativePath(QStringView path);
QString PathFromNative(QByteArrayView native);

/// True when the path holds bytes that were not valid UTF-8 on disk.
bool HasEscapedBytes(QStringView path);

/// True when the path names an ordinary file: a regular file (links followed)
/// that is not hidden. Folders, devices, sockets and hidden files count as absent.
bool IsOrdinaryFile(const QByteArray& nativePath);

/// The whole content of an ordinary file, read in one go.
struct WholeFile
{
    enum class Status
    {
        Ok,
        Absent,
        Unreadable
    };
    Status status = Status::Absent;
    int err = 0; ///< errno of the failure when Unreadable (ENOENT when Absent)
    QByteArray bytes;
};

/// Opens, reads and closes the file. Never blocks on a FIFO or device: anything
/// but a regular file is Absent. A file longer than maxBytes (when not negative) is
/// Unreadable with EFBIG, and nothing of it is read. std::bad_alloc passes through.
WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath, qint64 maxBytes = -1);

} // namespace calvane
