#include "platform/ToolRun.h"

#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace calvane {
namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void requestStop(int)
{
    g_stopRequested = 1;
}

} // namespace

std::optional<int> AnswerStandardOptions(const char* tool, const char* version, const char* helpText,
                                         bool help, bool versionAsked, const QString& usageError)
{
    if (help) {
        std::fputs(helpText, stdout);
        return kExitOk;
    }
    if (versionAsked) {
        std::printf("%s %s\n", tool, version);
        return kExitOk;
    }
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "%s: %s\nTry %s --help.\n", tool, qPrintable(usageError), tool);
        return kExitUsage;
    }
    return std::nullopt;
}

void StopOnSignals()
{
    // SA_RESTART: a line being written to a full pipe is finished, not lost, once
    // the reader reads on; the request is seen before the next file.
    struct sigaction stop
    {};
    stop.sa_handler = requestStop;
    stop.sa_flags = SA_RESTART;
    sigemptyset(&stop.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &stop, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopSignalled()
{
    return g_stopRequested != 0;
}

} // namespace calvane
