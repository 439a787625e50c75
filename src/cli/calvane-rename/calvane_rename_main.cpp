// calvane-rename: whole collections renamed to their MIDI titles from the command line.

#include "cli/calvane-rename/RenameTool.h"

#include <cstdio>

namespace {

const char kHelp[] = R"HELP(Usage: calvane-rename [options] PATH...
       calvane-rename --undo JOURNAL [-n] [--json] [--journal FILE | --no-journal]

Renames each MIDI file to the title stored in it, by the rules of Calvane's
rename: the trailing spaces and blank titles as the settings say, the refused
characters " * , / : ; < > ? \ | and every control character (CR, LF, tab,
escape... U+0001 to U+001F and U+007F), no leading ".", a name no longer than
the file system takes, never replacing an existing file. A renamed file keeps
its own extension in lower case ("x.KAR" becomes "Title.kar"; a name without
an extension gets ".mid"). PATH is a file (renamed whatever its name ends in)
or a folder (its files with an extension of --ext, in any letter case; hidden
names are left out). New names are written in UTF-8; old names that are not
UTF-8 are kept as their bytes.

Options:
  -n, --dry-run          print the plan and touch nothing
  -r, --recursive        also every subfolder (links to folders are not followed)
  --ext=LIST             the extensions of a folder's files, separated by commas,
                         any letter case (default: mid; e.g. mid,midi,kar,rmi)
  --encoding=ENC         how titles are read: auto (default: UTF-8 when the bytes
                         are UTF-8 beyond ASCII, else Shift_JIS), cp932
                         (Shift_JIS), utf-8, euc-jp or cp1252 (Latin-1); bytes
                         that are not valid in it read as U+FFFD
  --json                 one JSON object per line (below)
  --replace-refused      a full-width look-alike for each refused character
                         (＂＊，／：；＜＞？＼｜), a space for a line break or a
                         tab; the other control characters are left out
  --shorten              cut a title too long for a file name where a character
                         ends (never before a combining mark), so that the name
                         fits
  --on-conflict=skip     a file whose new name is taken keeps its name (default)
  --on-conflict=number   " (2)", " (3)"... before the extension until a name is
                         free
  --on-conflict=trash-identical
                         as skip, but a file whose new name is taken by a file
                         with the same bytes goes to the desktop trash; the
                         journal records where, and --undo brings it back
  --keep-trailing-spaces keep the spaces that end a title (LastSpace off)
  --allow-blank-titles   a title of spaces only is a name (Space off)
  --journal FILE         write the journal to FILE (a new file)
  --no-journal           write no journal
  --undo JOURNAL         take back what the journal holds, last first: each file
                         renamed back, each file moved to the trash put back to
                         its old name; a file that took an old name meanwhile is
                         never replaced, and only files and links are taken back
  -h, --help             print this help and end
  --version              print the version and end
  --                     every argument after it is a PATH

Space and LastSpace come from Calvane's settings file (calvane.ini beside this
program when it is there, else in $XDG_CONFIG_HOME/calvane/); without it, both
are on.

Output: one line per file on stdout, paths as given:
  PATH -> NEW NAME                the file was renamed
  PATH: unchanged                 it has its name already
  PATH -> ごみ箱 (NAME と同じ内容)   it went to the trash (trash-identical)
  PATH: R MESSAGE (NAME) (エラー N: TEXT)
                                  the file stays: R is the result and MESSAGE
                                  its text, NAME the name that was taken or too
                                  long, N and TEXT the system's error where
                                  there is one
R: 1 no file, 2 no title, 3 a refused character, 4 the name exists, 5 the name
is too long ("MIDIタイトルが長すぎます（N バイト超過）") or the file or its
folder cannot be written, 6 another failure. When the name is taken by a file
with the same bytes, "、内容も同じ" follows NAME (or "(NAME と同じ内容)" a
numbered name); a title that may be EUC-JP read as Shift_JIS ends in
"(EUC-JPなら「…」)", its EUC-JP reading (the name is not changed by it).
With --json: {"from": ..., "to": ... or null, "result": R, "message": "..."},
with "wanted" (the name taken or too long), "too_long_by" (bytes),
"identical": true and "identical_to", "trashed": true, "error" and
"error_message", "hint": "euc-jp" and "hint_title" where they apply; a name
that is not UTF-8 prints as Calvane shows it and is followed by "from_hex"
(and "to_hex", ...), its bytes in hex. A plan prints exactly the lines the run
prints. A change of letter case only, where the file system ignores case, goes
through a hidden temporary name; should another program take the new name in
that instant, the file stays under the temporary name: its line ends in
"LEFT AS NAME" ("stranded" in JSON), the summary names it, the exit status is 1
and --undo brings it back.

A real run writes a journal, one line per rename (or move into the trash)
before it is done, to $XDG_STATE_HOME/calvane/ (~/.local/state/calvane/, made
for you alone); the summary names it. That folder must be yours, not a link,
and not writable by other users (nor the folder above it, unless sticky):
otherwise the run stops before renaming anything, unless --journal or
--no-journal is given. --undo takes only a journal of yours that no one else
may write, and prints the journal's paths as the run printed them: relative to
the current folder when they lie in it. On a terminal, stderr shows the
progress; the summary (renamed, trashed, unchanged, skipped and failed by
reason) ends on stderr. Ctrl+C stops after the file in progress,
which is renamed and journaled or untouched.

Exit status (the same rules as calvane-info):
  0    every file was renamed, unchanged, moved to the trash, or left by a rule:
       no title (2), a refused character (3), the name taken (4), the name too
       long (5, "MIDIタイトルが長すぎます"); for --undo, every file given back
  1    any file failed: missing or unreadable (1, 6), its folder not writable
       (5, "ファイルにアクセスできません"), a copy the trash refused; or the
       journal or the output could not be written
  2    the command line cannot be used
  130  stopped by SIGINT, SIGTERM or SIGHUP before the last file
)HELP";

} // namespace

int main(int argc, char** argv)
{
    using namespace calvane;
    const RenameToolOptions options = ParseRenameToolArgs(argc, argv);
    if (const auto status = AnswerStandardOptions("calvane-rename", CALVANE_VERSION, kHelp, options.help,
                                                  options.version, options.usageError)) {
        return *status;
    }
    StopOnSignals();
    return RunRenameTool(options, [] { return StopSignalled(); });
}
