#pragma once

#include <QString>

#include <optional>

namespace calvane {

/// The exit statuses of calvane-info and calvane-rename, the same rules for both:
/// every file done (or, for calvane-rename, left by a rule), any file failed (or
/// the output closed), a command line that cannot be used, stopped by a signal.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

/// --help (the help text on stdout), --version ("TOOL VERSION") and a command
/// line that cannot be used (the reason and a pointer to --help on stderr),
/// answered alike by both tools: the status to exit with, or nothing when the
/// tool is to run.
std::optional<int> AnswerStandardOptions(const char* tool, const char* version, const char* helpText,
                                         bool help, bool versionAsked, const QString& usageError);

/// SIGINT, SIGTERM and SIGHUP only ask the tool to stop before its next file
/// (the file in progress is finished), and a closed output is an error of the
/// write rather than SIGPIPE: a tool is never killed between a rename and its
/// journal line. Call once at the start of main.
void StopOnSignals();

/// Whether one of those signals has come.
bool StopSignalled();

} // namespace calvane
