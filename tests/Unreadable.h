#pragma once

#include "TempDir.h"

#include <QFile>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace calvane::test {

/// Root reads any file whatever its mode, so a test of an unreadable file runs the
/// code under test in a child process that has given up root first (see the death
/// tests that use it), or gives up root's rights for a while (WithoutRootRights).
/// Returns false when the user could not be changed.
inline bool GiveUpRoot()
{
    if (::geteuid() != 0) {
        return true;
    }
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

/// While it lives, this thread meets file permissions as a user without root rights
/// does: root's rights to pass them by (to read, search and write anything, and to
/// act as any file's owner) leave the thread's effective capabilities, and come back
/// at the end. A process that is not root has none of them already. active() is
/// false where they could not be given up; a test then skips.
class WithoutRootRights
{
public:
    WithoutRootRights()
    {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0) {
            return;
        }
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        }
        m_active = ::syscall(SYS_capset, &m_header, lowered) == 0;
        m_lowered = m_active;
    }
    ~WithoutRootRights()
    {
        if (m_lowered) {
            ::syscall(SYS_capset, &m_header, m_saved);
        }
    }
    WithoutRootRights(const WithoutRootRights&) = delete;
    WithoutRootRights& operator=(const WithoutRootRights&) = delete;

    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
    bool m_lowered = false;
};

/// A file that exists but that no one but root may open: mode 000 in a folder anyone may enter.
inline QString WriteLockedFile(const TempDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString file = dir.write(name, bytes);
    ::chmod(QFile::encodeName(dir.root()).constData(), 0755);
    ::chmod(QFile::encodeName(file).constData(), 0);
    return file;
}

} // namespace calvane::test
