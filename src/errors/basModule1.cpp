#include "errors/basModule1.h"

#include "platform/MessageBoxes.h"
#include "platform/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace calvane {

void ImmediateProcessEnd::endNow(int exitCode)
{
    std::fflush(nullptr);
    ::_exit(exitCode);
}

void CentralErrorHandler::ReportError(std::int32_t number, const QString& text, const QString& procedure)
{
    std::fprintf(stderr, "calvane: error %d (%s) in %s\n", static_cast<int>(number),
                 text.toUtf8().constData(), procedure.toUtf8().constData());
    m_end.endNow(1);
    std::abort(); // endNow does not return; the compiler cannot see that through a virtual call
}

void EndWithUnguardedFailure(const RuntimeError& failure, MessageBoxes& boxes, ProcessEnd& end)
{
    const QString text =
        QStringLiteral("実行時エラー '%1':\r\n\r\n%2").arg(failure.number()).arg(failure.text());
    boxes.show(text, QStringLiteral("実行時エラー"), MsgIcon::Critical, MsgButtons::Ok);
    end.endNow(1);
    std::abort();
}

} // namespace calvane
