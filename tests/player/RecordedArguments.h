#pragma once

#include "TempDir.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QThread>

namespace calvane::test {

/// The arguments argv_recorder wrote to `file`. It runs on its own, so its file
/// may come later: waited for (a generous deadline, not a measurement).
inline QList<QByteArray> RecordedArguments(const QString& file)
{
    QDeadlineTimer deadline(30000);
    while (!QFile::exists(file) && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    QByteArray all = TempDir::read(file);
    if (all.endsWith('\0')) {
        all.chop(1);
    }
    return all.split('\0');
}

} // namespace calvane::test
