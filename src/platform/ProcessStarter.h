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
    /// program runs, else the errno of the failure (ENOENT when there is no such program).
    virtual int startDetached(const QByteArray& program, const QList<QByteArray>& arguments) = 0;
};

/// The real starter: the program runs in a session of its own, as a grandchild
/// that is never our zombie; a failed exec is reported back through a pipe.
class PosixProcessStarter final : public ProcessStarter
{
public:
    int startDetached(const QByteArray& program, const QList<QByteArray>& arguments) override;
};

} // namespace calvane
