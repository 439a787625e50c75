#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace calvane {

struct MidiInfoRead;

/// What the media device tells of a file: its length and the tempo at its start.
struct PlaybackFigures
{
    std::int64_t lengthMs = 0;
    std::int64_t tempo = 0;
};

/// {"file" (and "file_hex" for a name that is not UTF-8), "smf", "format", "tracks",
/// "division", "title", "copyright", "length_ms", "tempo"} on one line; the last two
/// are null without playback figures. eucJp: the title's EUC-JP reading when it
/// may be EUC-JP ("hint": "euc-jp", "hint_title" follow).
QByteArray InfoJsonLine(QByteArrayView nativePath, const MidiInfoRead& read,
                        const std::optional<PlaybackFigures>& playback, const QString& eucJp = {});

/// {"file" (and "file_hex"), "error", "message"} on one line.
QByteArray ErrorJsonLine(QByteArrayView nativePath, std::int32_t number, const QString& message);

} // namespace calvane
