#pragma once

#include "errors/RuntimeError.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace calvane {

class MessageBoxes;
class ProcessEnd;

/// The central error handler. ReportError never returns: every road ends the program.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    [[noreturn]] virtual void ReportError(std::int32_t number, const QString& text,
                                          const QString& procedure) = 0;
};

/// The program's handler: says what failed on stderr and ends the process at once.
class CentralErrorHandler final : public ErrorReporter
{
public:
    explicit CentralErrorHandler(ProcessEnd& end) : m_end(end) {}
    [[noreturn]] void ReportError(std::int32_t number, const QString& text,
                                  const QString& procedure) override;

private:
    ProcessEnd& m_end;
};

/// A guarded procedure: runs body; a failure inside it (or in anything it calls
/// without a guard of its own) goes to ReportError with the procedure's name.
template <class Body> decltype(auto) Guarded(ErrorReporter& reporter, const char* procedure, Body&& body)
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception&) {
        const RuntimeError failure = CurrentFailure();
        reporter.ReportError(failure.number(), failure.text(), QString::fromUtf8(procedure));
        std::abort(); // ReportError does not return
    }
}

/// A failure that reached the event loop without any guard: the standard
/// run-time error message ("実行時エラー", number and text), then the end.
[[noreturn]] void EndWithUnguardedFailure(const RuntimeError& failure, MessageBoxes& boxes, ProcessEnd& end);

} // namespace calvane
