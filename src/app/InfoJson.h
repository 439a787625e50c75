#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace calvane {

struct MidiFileInfo;

/// A JSON string literal of the text, as UTF-8 (control characters and U+0000 escaped).
QByteArray JsonString(const QString& text);

/// What the media device tells of a file: its length and the tempo at its start.
struct PlaybackFigures
{
    std::int64_t lengthMs = 0;
    std::int64_t tempo = 0;
};

/// {"file", "format", "tracks", "division", "title", "copyright", "length_ms", "tempo"}
/// on one line; the last two are null without playback figures.
QByteArray InfoJsonLine(const QString& file, const MidiFileInfo& info,
                        const std::optional<PlaybackFigures>& playback);

/// {"file", "error", "message"} on one line.
QByteArray ErrorJsonLine(const QString& file, std::int32_t number, const QString& message);

} // namespace calvane
