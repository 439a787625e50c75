#pragma once

#include "errors/Guard.h"
#include "platform/ProcessEnd.h"

#include <cstdio>

namespace calvane {

/// The benchmarks' error handler: one line on stderr, then the end.
class StderrReporter final : public ErrorReporter
{
public:
    [[noreturn]] void ReportError(std::int32_t number, const QString& text, const QString& procedure) override
    {
        std::fprintf(stderr, "error %d (%s) in %s\n", static_cast<int>(number), qPrintable(text),
                     qPrintable(procedure));
        ImmediateProcessEnd().endNow(1);
    }
};

} // namespace calvane
