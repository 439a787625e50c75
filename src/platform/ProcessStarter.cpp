#include "platform/ProcessStarter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace calvane {

int PosixProcessStarter::startDetached(const QByteArray& program, const QList<QByteArray>& arguments)
{
    if (program.isEmpty() || program.contains('\0')) {
        return ENOENT;
    }
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls may run.
    std::vector<QByteArray> owned;
    owned.reserve(static_cast<size_t>(arguments.size()) + 1);
    owned.push_back(program);
    for (const QByteArray& a : arguments) {
        owned.push_back(a);
    }
    std::vector<char*> argv;
    for (QByteArray& a : owned) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return err;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execvp(argv[0], argv.data());
            const int err = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &err, sizeof err);
            ::_exit(127);
        }
        if (grandchild < 0) {
            const int err = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &err, sizeof err);
        }
        ::_exit(0);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on a successful exec (close-on-exec) with nothing written.
    int err = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

} // namespace calvane
