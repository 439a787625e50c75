// calvane-info: the header information and title of MIDI files, one JSON line each.

#include "cli/calvane-info/InfoJson.h"
#include "errors/RuntimeError.h"
#include "midi/basMIDIInfo.h"
#include "platform/NativeFile.h"
#include "player/MediaDevice.h"
#include "player/MidiOutput.h"
#include "player/SequencerClock.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] = R"(Usage: calvane-info FILE...

Reads each MIDI file the way Calvane does and prints one JSON object per line:
  {"file": ..., "smf": true, "format": N, "tracks": N, "division": N, "title": "...",
   "copyright": "...", "length_ms": N, "tempo": N}
file is the path as given. A name that is not UTF-8 prints as Calvane shows it
(its Shift_JIS reading where that is valid) and is followed by "file_hex", the
path's bytes in hex, so that two names that print alike can be told apart.
smf is false for a file without a whole header chunk ("MThd" and its numbers);
such a file prints zeros and empty texts.
format, tracks and division are the header chunk's numbers as signed 16-bit
values (an SMPTE division such as E7 28 prints as -6360). title and copyright
come from the first track: bytes that are UTF-8 and hold a character beyond
ASCII are read as UTF-8, any others as Shift_JIS (code page 932), where bytes
that are not valid print as U+FFFD.
length_ms and tempo are what the media device plays: the time of the last event
in milliseconds, and the tempo at the start in whole beats per minute (120 when
the file sets none). Both are null when the device refuses the file (not a
Standard MIDI File that it can play).

A file that cannot be read prints instead
  {"file": ..., "error": N, "message": "..."}     (and "file_hex" as above)
with N = 53 for a missing file and the matching run-time error number for an
unreadable one; the tool goes on with the next file. The exit status is 1 when
any file failed, else 0.
)";

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

void writeLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace calvane;
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    NoMidiOutputs outputs; // it never plays
    SteadyClock clock;
    MediaDevice device(outputs, clock);
    bool anyFailed = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray nativePath(argv[i]); // kept as bytes: Linux names need not be UTF-8
        try {
            const MidiInfoRead read = ReadMIDIInfo(nativePath);
            if (read.error != 0) {
                anyFailed = true;
                writeLine(ErrorJsonLine(nativePath, read.error, ErrorText(read.error)));
            } else {
                writeLine(
                    InfoJsonLine(nativePath, read, playbackFigures(device, PathFromNative(nativePath))));
            }
        } catch (const std::exception&) {
            const RuntimeError failure = CurrentFailure();
            anyFailed = true;
            writeLine(ErrorJsonLine(nativePath, failure.number(), failure.text()));
        }
        std::fflush(stdout);
    }
    return anyFailed ? 1 : 0;
}
