#pragma once

#include "TempDir.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace calvane::test {

/// Root reads any file whatever its mode, so a test of an unreadable file runs the
/// code under test in a child process that has given up root first (see the death
/// tests that use it). Returns false when the user could not be changed.
inline bool GiveUpRoot()
{
    if (::geteuid() != 0) {
        return true;
    }
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

/// A file that exists but that no one but root may open: mode 000 in a folder anyone may enter.
inline QString WriteLockedFile(const TempDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString file = dir.write(name, bytes);
    ::chmod(QFile::encodeName(dir.root()).constData(), 0755);
    ::chmod(QFile::encodeName(file).constData(), 0);
    return file;
}

} // namespace calvane::test
