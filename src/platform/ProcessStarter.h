#pragma once

#include <QByteArray>
#include <QList>

namespace calvane {

/// Starts programs that run on their own: the caller does not wait for them.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;

    /// Starts `program` (looked up in PATH when it holds no "/") with the given
    /// arguments, each passed as it is: no shell sees them. Returns 0 once the
    /// program runs, else the errno of the failure: of running the program (ENOENT
    /// when there is no such program, EACCES, EISDIR, ENOEXEC...) or, EAGAIN or
    /// ENOMEM, of creating a process at all.
    virtual int startDetached(const QByteArray& program, const QList<QByteArray>& arguments) = 0;
};

/// The real starter: posix_spawn (no fork of a program that runs threads), the
/// program in a session of its own with default signal handling and only the
/// standard descriptors; a thread of ours collects it when it ends.
class PosixProcessStarter final : public ProcessStarter
{
public:
    int startDetached(const QByteArray& program, const QList<QByteArray>& arguments) override;
};

} // namespace calvane
