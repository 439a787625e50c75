// calvane-rename: whole collections renamed to their MIDI titles from the command line.

#include "cli/calvane-rename/RenameTool.h"

#include <csignal>
#include <cstdio>

namespace {

const char kHelp[] = R"HELP(Usage: calvane-rename [options] PATH...
       calvane-rename --undo JOURNAL [-n] [--json] [--journal FILE | --no-journal]

Renames each MIDI file to the title stored in it plus ".mid", by the rules of
Calvane's rename: the trailing spaces and blank titles as the settings say, the
refused characters " * , / : ; < > ? \ | CR LF, no leading ".", never replacing
an existing file. PATH is a file (renamed whatever its name ends in) or a folder
(its "*.mid" files in any letter case). Titles stored in UTF-8 are read as
UTF-8, others as Shift_JIS; new names are written in UTF-8, old names that are
not UTF-8 are kept as their bytes.

  -n, --dry-run          print the plan and touch nothing
  -r, --recursive        also every subfolder (links to folders are not followed)
  --json                 one JSON object per line (below)
  --replace-refused      a full-width look-alike for each refused character
                         (＂＊，／：；＜＞？＼｜), a space for a line break
  --on-conflict=skip     a file whose new name is taken keeps its name (default)
  --on-conflict=number   " (2)", " (3)"... before ".mid" until a name is free
  --keep-trailing-spaces keep the spaces that end a title (LastSpace off)
  --allow-blank-titles   a title of spaces only is a name (Space off)
  --journal FILE         write the journal to FILE (a new file)
  --no-journal           write no journal
  --undo JOURNAL         rename back what the journal holds, last first; a file
                         that took an old name meanwhile is never replaced, and
                         only files and links are renamed
  -h, --help, --version

Space and LastSpace come from Calvane's settings file (calvane.ini beside this
program when it is there, else in $XDG_CONFIG_HOME/calvane/); without it, both
are on.

Output: one line per file on stdout, "PATH -> NEW NAME", "PATH: unchanged" (it
has its name already), or "PATH: R MESSAGE" for a file that stays: R is the
result, 1 no file, 2 no title, 3 a refused character, 4 the name exists, 5 the
file or its folder cannot be written (or the name is too long), 6 another
failure; " error N TEXT" follows for a file that could not be read or renamed.
With --json: {"from": ..., "to": ... or null, "result": R, "message": "..."},
with "wanted" (the name taken or too long) and "error", "error_message" where
they apply; a name that is not UTF-8 prints as Calvane shows it and is followed
by "from_hex" (and "to_hex", "wanted_hex"), its bytes in hex. A plan prints
exactly the lines the run prints. A change of letter case only, where the file
system ignores case, goes through a hidden temporary name; should another
program take the new name in that instant, the file stays under the temporary
name: its line ends in "LEFT AS NAME" ("stranded" in JSON), the summary names
it, the exit status is 1 and --undo brings it back.

A real run writes a journal, each rename's line before the rename, to
$XDG_STATE_HOME/calvane/ (~/.local/state/calvane/, made for you alone); the
summary names it. That folder must be yours, not a link, and not writable by
other users (nor the folder above it, unless sticky): otherwise the run stops
before renaming anything, unless --journal or --no-journal is given. --undo takes
only a journal of yours that no one else may write. On a
terminal, stderr shows the progress; the summary (renamed, unchanged, skipped
and failed by result) ends on stderr. Ctrl+C stops after the file in progress,
which is renamed and journaled or untouched.

Exit status: 0 when every file was renamed or left by a rule (results 2 to 4;
for --undo, every file restored), 1 when any failed, 2 for a usage error, 130
when stopped by a signal.
)HELP";

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void requestStop(int)
{
    g_stopRequested = 1;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calvane;
    const RenameToolOptions options = ParseRenameToolArgs(argc, argv);
    if (options.help) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (options.version) {
        std::puts("calvane-rename " CALVANE_VERSION);
        return kExitOk;
    }
    if (!options.usageError.isEmpty()) {
        std::fprintf(stderr, "calvane-rename: %s\nTry calvane-rename --help.\n",
                     qPrintable(options.usageError));
        return kExitUsage;
    }
    // A signal only asks the run to stop before the next file; a closed output
    // ends the run the same way instead of killing it between a rename and its journal line.
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
    return RunRenameTool(options, [] { return g_stopRequested != 0; });
}
