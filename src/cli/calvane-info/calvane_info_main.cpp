// calvane-info: the header information and title of MIDI files, one JSON line each.

#include "cli/calvane-info/InfoJson.h"
#include "errors/RuntimeError.h"
#include "midi/basMIDIInfo.h"
#include "platform/NativeFile.h"
#include "platform/ToolRun.h"
#include "player/MediaDevice.h"
#include "player/MidiOutput.h"
#include "player/SequencerClock.h"
#include "rename/BatchRename.h"
#include "rename/ToolOptions.h"

#include <cstdio>
#include <vector>

namespace {

const char kHelp[] = R"(Usage: calvane-info [options] PATH...

Reads each MIDI file the way Calvane does and prints one JSON object per line.
PATH is a file (read whatever its name ends in) or a folder (its files with an
extension of --ext, in any letter case, sorted as Calvane lists them; hidden
names are left out).

Options:
  -r, --recursive   also every subfolder of a folder (links to folders are not
                    followed)
  --ext=LIST        the extensions of a folder's files, separated by commas, any
                    letter case (default: mid; e.g. mid,midi,kar,rmi)
  --encoding=ENC    how title and copyright are read: auto (default: UTF-8 when
                    the bytes are UTF-8 beyond ASCII, else Shift_JIS), cp932
                    (Shift_JIS), utf-8, euc-jp or cp1252 (Latin-1); bytes that
                    are not valid in it read as U+FFFD
  -h, --help        print this help and end
  --version         print the version and end
  --                every argument after it is a PATH

Output, one line per file:
  {"file": ..., "smf": true, "format": N, "tracks": N, "division": N, "title": "...",
   "copyright": "...", "length_ms": N, "tempo": N}
file is the path as given (a folder's files under the folder as given). A name
that is not UTF-8 prints as Calvane shows it (its Shift_JIS reading where that
is valid) and is followed by "file_hex", the path's bytes in hex, so that two
names that print alike can be told apart.
smf is false for a file without a whole header chunk ("MThd" and its numbers);
such a file prints zeros and empty texts.
format, tracks and division are the header chunk's numbers as signed 16-bit
values (an SMPTE division such as E7 28 prints as -6360). title and copyright
come from the first track, read as --encoding says; a text of 128 bytes or
more is read by its variable-length count. When the title read as Shift_JIS
holds only ASCII and half-width katakana while its bytes are EUC-JP with kanji
or kana, "hint": "euc-jp" and "hint_title" (its EUC-JP reading) follow: run
again with --encoding=euc-jp to read it so.
length_ms and tempo are what the media device plays: the time of the last event
in milliseconds, and the tempo at the start in whole beats per minute (120 when
the file sets none). Both are null when the device refuses the file (not a
Standard MIDI File that it can play).

A file that cannot be read, or a PATH that is missing, prints instead
  {"file": ..., "error": N, "message": "..."}     (and "file_hex" as above)
with N = 53 for a missing file and the matching run-time error number for an
unreadable one (75 no access); the tool goes on with the next file.

Exit status (the same rules as calvane-rename):
  0    every file was read
  1    any file or folder could not be read (or the output could not be written)
  2    the command line cannot be used
  130  stopped by SIGINT, SIGTERM or SIGHUP before the last file
)";

struct InfoOptions
{
    bool recursive = false;
    bool help = false;
    bool version = false;
    calvane::ReadingOptions reading;
    std::vector<QByteArray> paths;
    QString usageError;
};

InfoOptions parseArgs(int argc, char** argv)
{
    InfoOptions o;
    bool optionsEnd = false;
    for (int i = 1; i < argc && o.usageError.isEmpty(); ++i) {
        const QByteArray a(argv[i]); // kept as bytes: Linux names need not be UTF-8
        if (optionsEnd || !a.startsWith('-') || a == "-") {
            o.paths.push_back(a);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "-r" || a == "--recursive") {
            o.recursive = true;
        } else if (!calvane::TakeReadingOption(argc, argv, i, o.reading, o.usageError)) {
            o.usageError = QStringLiteral("unknown option %1").arg(QString::fromLocal8Bit(a));
        }
    }
    if (o.usageError.isEmpty() && !o.help && !o.version && o.paths.empty()) {
        o.usageError = QStringLiteral("no file or folder given");
    }
    return o;
}

/// Length and tempo as the device gives them through its commands.
std::optional<calvane::PlaybackFigures> playbackFigures(calvane::MciDevice& device, const QString& path)
{
    if (device.SendString(QStringLiteral("open \"%1\" alias Midi").arg(path), nullptr, 0) != 0) {
        return std::nullopt;
    }
    QString length;
    QString tempo;
    device.SendString(QStringLiteral("set Midi time format milliseconds"), nullptr, 0);
    device.SendString(QStringLiteral("status Midi length"), &length, 16);
    device.SendString(QStringLiteral("status Midi tempo"), &tempo, 255);
    device.SendString(QStringLiteral("close Midi"), nullptr, 0);
    return calvane::PlaybackFigures{length.toLongLong(), tempo.toLongLong()};
}

/// Writes the line; false when nobody reads on.
bool writeLine(const QByteArray& line)
{
    const QByteArray text = line + '\n';
    return std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout) ==
               static_cast<size_t>(text.size()) &&
           std::fflush(stdout) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calvane;
    const InfoOptions options = parseArgs(argc, argv);
    if (const auto status = AnswerStandardOptions("calvane-info", CALVANE_VERSION, kHelp, options.help,
                                                  options.version, options.usageError)) {
        return *status;
    }
    StopOnSignals();
    const Batch batch =
        CollectBatch(options.paths, options.recursive, StopSignalled, options.reading.extensions);
    NoMidiOutputs outputs; // it never plays
    SteadyClock clock;
    MediaDevice device(outputs, clock);
    bool anyFailed = false;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (StopSignalled()) {
            return kExitInterrupted;
        }
        const QByteArray shown = batch.error(i) != 0 ? batch.name(i) : batch.shownFolder(i) + batch.name(i);
        QByteArray line;
        bool failed = true;
        if (batch.error(i) != 0) {
            line = ErrorJsonLine(shown, batch.error(i), ErrorText(batch.error(i)));
        } else {
            const QByteArray path = batch.folder(i) + batch.name(i);
            try {
                const MidiInfoRead read = ReadMIDIInfo(path, qint64{1} << 20, MidiTexts::TitleAndCopyright,
                                                       options.reading.encoding);
                if (read.error != 0) {
                    line = ErrorJsonLine(shown, read.error, ErrorText(read.error));
                } else {
                    const QString eucJp = MayBeEucJp(read.titleBytes, options.reading.encoding)
                                              ? DecodeText(read.titleBytes, TextEncoding::EucJp)
                                              : QString();
                    line = InfoJsonLine(shown, read, playbackFigures(device, PathFromNative(path)), eucJp);
                    failed = false;
                }
            } catch (const std::exception&) {
                const RuntimeError failure = CurrentFailure();
                line = ErrorJsonLine(shown, failure.number(), failure.text());
            }
        }
        anyFailed = anyFailed || failed;
        if (!writeLine(line)) {
            std::fputs("calvane-info: the output was closed; stopped\n", stderr);
            return kExitFailed;
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}
