#pragma once

#include "errors/RuntimeError.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace calvane {

/// The central error handler. ReportError never returns: every road ends the program.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    [[noreturn]] virtual void ReportError(std::int32_t number, const QString& text,
                                          const QString& procedure) = 0;
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

} // namespace calvane
