#include "platform/NativeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
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

} // namespace

QByteArray NativePath(QStringView path)
{
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00); // an escaped byte
        } else if (QChar::isHighSurrogate(u) && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(u, path[i + 1].unicode());
            ++i;
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            out += "\xEF\xBF\xBD"; // any other lone surrogate: U+FFFD
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

namespace {

/// The length of the well-formed UTF-8 sequence at p[i] (no overlongs, no
/// surrogates, nothing above U+10FFFF) and its code point; 0 when there is none.
qsizetype utf8SequenceAt(const unsigned char* p, qsizetype i, qsizetype n, char32_t& cp)
{
    auto cont = [&](qsizetype at, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return at < n && p[at] >= lo && p[at] <= hi;
    };
    const unsigned char b = p[i];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
        cp = (b & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF && cont(i + 1, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF) &&
        cont(i + 2)) {
        cp = (b & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4 && cont(i + 1, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF) &&
        cont(i + 2) && cont(i + 3)) {
        cp = (b & 0x07u) << 18 | (p[i + 1] & 0x3Fu) << 12 | (p[i + 2] & 0x3Fu) << 6 | (p[i + 3] & 0x3Fu);
        return 4;
    }
    return 0;
}

} // namespace

QString PathFromNative(QByteArrayView native)
{
    QString out;
    out.reserve(native.size());
    const auto* p = reinterpret_cast<const unsigned char*>(native.data());
    const qsizetype n = native.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const qsizetype len = utf8SequenceAt(p, i, n, cp);
        if (len == 0) {
            out += QChar(static_cast<char16_t>(0xDC00 + p[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

bool IsWellFormedUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const qsizetype len = utf8SequenceAt(p, i, n, cp);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

bool HasEscapedBytes(QStringView path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && (i == 0 || !path[i - 1].isHighSurrogate())) {
            return true;
        }
    }
    return false;
}

bool PathExists(QStringView path)
{
    struct stat st
    {};
    const QByteArray native = NativePath(path);
    return !native.isEmpty() && !native.contains('\0') && ::stat(native.constData(), &st) == 0;
}

bool IsOrdinaryFile(const QByteArray& nativePath)
{
    struct stat st
    {};
    return !nativePath.isEmpty() && !isHiddenName(nativePath) && ::stat(nativePath.constData(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

OrdinaryFile::OrdinaryFile(const QByteArray& nativePath)
{
    if (nativePath.isEmpty() || isHiddenName(nativePath) || nativePath.contains('\0')) {
        return;
    }
    // The kind first, without opening: opening a device may act on it (a tape rewinds,
    // a modem hangs up). Then O_NONBLOCK, so that a FIFO put there meanwhile cannot make
    // the open wait for a writer, and fstat refuses anything but a regular file.
    struct stat kind
    {};
    if (::stat(nativePath.constData(), &kind) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            m_status = Status::Unreadable;
            m_err = errno;
        }
        return;
    }
    if (!S_ISREG(kind.st_mode)) {
        return;
    }
    m_fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0) {
        const int err = errno;
        if (err != ENOENT && err != ENOTDIR) {
            m_status = Status::Unreadable;
            m_err = err;
        }
        return;
    }
    struct stat st
    {};
    if (::fstat(m_fd, &st) != 0) {
        m_status = Status::Unreadable;
        m_err = errno;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        return;
    }
    m_status = Status::Ok;
    m_err = 0;
    m_size = st.st_size > 0 ? static_cast<qint64>(st.st_size) : 0;
}

OrdinaryFile::~OrdinaryFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

qint64 OrdinaryFile::readAt(qint64 offset, char* data, qint64 n) const
{
    qint64 filled = 0;
    while (filled < n) {
        const ssize_t got = ::pread(m_fd, data + filled, static_cast<size_t>(n - filled),
                                    static_cast<off_t>(offset + filled));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break; // the end, or the file shrank meanwhile
        }
        filled += got;
    }
    return filled;
}

qint64 OrdinaryFile::nextData(qint64 offset) const
{
    const off_t data = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_DATA);
    if (data >= 0) {
        return std::max<qint64>(offset, data);
    }
    return errno == ENXIO ? std::max(offset, m_size) : offset;
}

namespace {

/// Up to maxBytes from the start of an open file.
WholeFile readStart(const OrdinaryFile& file, qint64 maxBytes)
{
    WholeFile result;
    result.status = file.status();
    result.err = file.error();
    if (file.status() != OrdinaryFile::Status::Ok) {
        return result;
    }
    // As many bytes as asked for and there are; a file that shrinks meanwhile gives what is there.
    QByteArray bytes(static_cast<qsizetype>(std::min(file.size(), std::max<qint64>(maxBytes, 0))),
                     Qt::Uninitialized);
    const qint64 filled = file.readAt(0, bytes.data(), bytes.size());
    if (filled < 0) {
        result.status = WholeFile::Status::Unreadable;
        result.err = errno;
        return result;
    }
    bytes.truncate(static_cast<qsizetype>(filled));
    result.bytes = std::move(bytes);
    return result;
}

} // namespace

WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath, qint64 maxBytes)
{
    const OrdinaryFile file(nativePath);
    if (file.status() == OrdinaryFile::Status::Ok && file.size() > maxBytes) {
        WholeFile result;
        result.status = WholeFile::Status::Unreadable;
        result.err = EFBIG;
        return result;
    }
    return readStart(file, maxBytes);
}

WholeFile ReadOrdinaryFileStart(const QByteArray& nativePath, qsizetype maxBytes)
{
    return readStart(OrdinaryFile(nativePath), maxBytes);
}

int ReplaceFileContent(const QByteArray& nativePath, QByteArrayView bytes, LinkAtName link)
{
    if (nativePath.isEmpty() || nativePath.contains('\0')) {
        return ENOENT;
    }
    QByteArray target = nativePath;
    struct stat old
    {};
    bool exists = ::lstat(target.constData(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode) && link == LinkAtName::Follow) {
        if (char* real = ::realpath(target.constData(), nullptr)) {
            target = real;
            std::free(real);
            exists = ::lstat(target.constData(), &old) == 0;
        }
    }
    // A fresh name beside the target (so that the rename stays on one file system),
    // created exclusively: nothing planted there is ever opened.
    static std::atomic<unsigned> counter{0};
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray prefix =
        target.left(slash + 1) + '.' + target.mid(slash + 1) + '.' + QByteArray::number(::getpid()) + '.';
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = prefix + QByteArray::number(counter++);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return errno;
        }
    }
    if (fd < 0) {
        return EEXIST;
    }
    int err = 0;
    if (exists && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777); // the user's permissions stay; a failure leaves the default
    }
    qsizetype written = 0;
    while (err == 0 && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EINTR) {
            err = errno;
        } else if (n > 0) {
            written += n;
        }
    }
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL) { // EINVAL: a file that cannot be synced
        err = errno;
    }
    // Some file systems (network ones) report a failed write only at the close.
    if (::close(fd) != 0 && err == 0 && errno != EINTR) {
        err = errno;
    }
    if (err == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temporary.constData());
    }
    return err;
}

} // namespace calvane
