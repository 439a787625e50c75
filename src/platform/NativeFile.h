#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cerrno>

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

/// True when every byte belongs to well-formed UTF-8: no overlong form, no
/// surrogate, nothing above U+10FFFF, no sequence cut short (as PathFromNative reads it).
bool IsWellFormedUtf8(QByteArrayView bytes);

/// True when something exists under the lossless path (a file of any kind or a
/// folder, links followed).
bool PathExists(QStringView path);

/// True when the path names an ordinary file: a regular file (links followed)
/// that is not hidden. Folders, devices, sockets and hidden files count as absent.
bool IsOrdinaryFile(const QByteArray& nativePath);

/// An ordinary file open for reading, closed with the object. Opening never blocks
/// on a FIFO or device: anything but a regular file, and a hidden one, is Absent.
class OrdinaryFile
{
public:
    enum class Status
    {
        Ok,
        Absent,
        Unreadable
    };

    explicit OrdinaryFile(const QByteArray& nativePath);
    ~OrdinaryFile();
    OrdinaryFile(const OrdinaryFile&) = delete;
    OrdinaryFile& operator=(const OrdinaryFile&) = delete;

    Status status() const { return m_status; }
    int error() const { return m_err; }    ///< errno when Unreadable (ENOENT when Absent)
    qint64 size() const { return m_size; } ///< the length when it was opened

    /// Up to n bytes from the offset into data; fewer only at the end of the file
    /// (or where it shrank meanwhile). -1 with errno set when the read fails.
    qint64 readAt(qint64 offset, char* data, qint64 n) const;

    /// The first offset from `offset` on that is not inside a hole of a sparse file
    /// (holes read as zero bytes); size() when only holes follow. The offset itself
    /// where the file system cannot tell.
    qint64 nextData(qint64 offset) const;

private:
    int m_fd = -1;
    Status m_status = Status::Absent;
    int m_err = ENOENT;
    qint64 m_size = 0;
};

/// The whole content of an ordinary file, read in one go.
struct WholeFile
{
    using Status = OrdinaryFile::Status;
    Status status = Status::Absent;
    int err = 0; ///< errno of the failure when Unreadable (ENOENT when Absent)
    QByteArray bytes;
};

/// Longest file ReadWholeOrdinaryFile takes into memory by default; a longer one is
/// Unreadable (EFBIG) rather than an allocation that could end the program.
constexpr qint64 kMaxWholeFileBytes = qint64{256} << 20;

/// Opens, reads and closes the file. Never blocks on a FIFO or device: anything
/// but a regular file is Absent. A file longer than maxBytes is Unreadable with
/// EFBIG, and nothing of it is read.
WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath, qint64 maxBytes = kMaxWholeFileBytes);

/// The same for at most the first maxBytes bytes: the rest of a large file is never read.
WholeFile ReadOrdinaryFileStart(const QByteArray& nativePath, qsizetype maxBytes);

/// What ReplaceFileContent does with a symbolic link at the file's name.
enum class LinkAtName
{
    Replace, ///< the link is replaced by the file, never followed (a report, where a planted link must not
             ///< lead)
    Follow,  ///< the file the link leads to is replaced and the link stays (the user's own link)
};

/// Replaces the file's whole content with bytes: a new file beside it (with the
/// old file's permissions), written without a buffer of ours, synced and closed,
/// each step checked, and only then renamed over the old name. On any failure (a
/// full disk, a quota, a medium that fails at the sync or the close) the old file
/// stays as it was and no temporary file is left. Returns 0, or the errno of the
/// step that failed.
int ReplaceFileContent(const QByteArray& nativePath, QByteArrayView bytes,
                       LinkAtName link = LinkAtName::Replace);

} // namespace calvane
