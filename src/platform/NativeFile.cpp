#include "platform/NativeFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

bool isHiddenName(const QByteArray& nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    const qsizetype start = slash + 1;
    return start < nativePath.size() && nativePath.at(start) == '.';
}

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QByteArray NativePath(const QString& path)
{
    return QFile::encodeName(path);
}

bool IsOrdinaryFile(const QByteArray& nativePath)
{
    struct stat st
    {};
    return !nativePath.isEmpty() && !isHiddenName(nativePath) && ::stat(nativePath.constData(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath)
{
    WholeFile result;
    if (nativePath.isEmpty() || isHiddenName(nativePath) || nativePath.contains('\0')) {
        result.err = ENOENT;
        return result;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer; fstat then refuses it.
    Fd fd(::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            result.err = ENOENT;
        } else {
            result.status = WholeFile::Status::Unreadable;
            result.err = err;
        }
        return result;
    }
    struct stat st
    {};
    if (::fstat(fd.get(), &st) != 0) {
        result.status = WholeFile::Status::Unreadable;
        result.err = errno;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.err = ENOENT;
        return result;
    }

    // The size is a hint: a file that grows or shrinks while it is read is read to its end.
    // One byte more than the size, so that the read that meets the end needs no growth.
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size > 0 ? st.st_size : 0) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            bytes.resize(bytes.size() + std::max<qsizetype>(bytes.size() / 2, 4096));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.status = WholeFile::Status::Unreadable;
            result.err = errno;
            return result;
        }
        if (n == 0) {
            break;
        }
        filled += n;
    }
    bytes.truncate(filled);
    result.status = WholeFile::Status::Ok;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace calvane
