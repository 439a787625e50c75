#pragma once

#include <QByteArray>
#include <QString>

namespace calvane {

/// A path as the file system holds it: Linux names are bytes and need not be UTF-8.
QByteArray NativePath(const QString& path);

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
/// but a regular file is Absent. std::bad_alloc passes through.
WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath);

} // namespace calvane
