#include "platform/NativeFile.h"

#include <QFile>

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

QString PathFromNative(QByteArrayView native)
{
    QString out;
    out.reserve(native.size());
    const auto* p = reinterpret_cast<const unsigned char*>(native.data());
    const qsizetype n = native.size();
    auto cont = [&](qsizetype at, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return at < n && p[at] >= lo && p[at] <= hi;
    };
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        char32_t cp = 0;
        qsizetype len = 0;
        // Well-formed UTF-8 only (no overlongs, no surrogates, nothing above U+10FFFF).
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            cp = (b & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF) &&
                   cont(i + 2)) {
            cp = (b & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF) &&
                   cont(i + 2) && cont(i + 3)) {
            cp = (b & 0x07u) << 18 | (p[i + 1] & 0x3Fu) << 12 | (p[i + 2] & 0x3Fu) << 6 | (p[i + 3] & 0x3Fu);
            len = 4;
        }
        if (len == 0) {
            out += QChar(static_cast<char16_t>(0xDC00 + b));
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

bool IsOrdinaryFile(const QByteArray& nativePath)
{
    struct stat st
    {};
    return !nativePath.isEmpty() && !isHiddenName(nativePath) && ::stat(nativePath.constData(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

WholeFile ReadWholeOrdinaryFile(const QByteArray& nativePath, qint64 maxBytes)
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
    if (maxBytes >= 0 && st.st_size > maxBytes) {
        result.status = WholeFile::Status::Unreadable;
        result.err = EFBIG;
        return result;
    }

    // As many bytes as the file's length; a file that shrinks meanwhile gives what is there.
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size > 0 ? st.st_size : 0));
    qsizetype filled = 0;
    while (filled < bytes.size()) {
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
