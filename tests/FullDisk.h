#pragma once

#include <csignal>
#include <sys/resource.h>

namespace calvane::test {

/// A full disk for the whole process while it lives, without a mount: a file may
/// grow to `bytes` and no further, and SIGXFSZ is ignored, so a write beyond that
/// fails (EFBIG) as a write to a full disk does (ENOSPC), part written or none.
class FullDisk
{
public:
    explicit FullDisk(rlim_t bytes = 0)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_old{};
    void (*m_oldSignal)(int) = nullptr;
};

} // namespace calvane::test
