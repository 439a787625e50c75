#include "platform/SameBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

/// A descriptor closed with the object.
class Descriptor
{
public:
    explicit Descriptor(const QByteArray& path)
        : m_fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))
    {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

/// Reads exactly n bytes unless the file ends first; the count read, -1 on failure.
ssize_t readFull(int fd, char* buffer, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buffer + got, n - got);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            return -1;
        }
        if (r == 0) {
            break;
        }
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

bool AreIdenticalCopies(const QByteArray& a, const QByteArray& b)
{
    const Descriptor fa(a);
    const Descriptor fb(b);
    struct stat sa
    {};
    struct stat sb
    {};
    if (fa.get() < 0 || fb.get() < 0 || ::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0 ||
        !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size ||
        (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)) {
        return false;
    }
    constexpr size_t kPiece = size_t{64} << 10;
    QByteArray bufferA(kPiece, Qt::Uninitialized);
    QByteArray bufferB(kPiece, Qt::Uninitialized);
    for (;;) {
        const ssize_t na = readFull(fa.get(), bufferA.data(), kPiece);
        const ssize_t nb = readFull(fb.get(), bufferB.data(), kPiece);
        if (na < 0 || na != nb ||
            std::memcmp(bufferA.constData(), bufferB.constData(), static_cast<size_t>(na)) != 0) {
            return false;
        }
        if (na < static_cast<ssize_t>(kPiece)) {
            return true;
        }
    }
}

} // namespace calvane
