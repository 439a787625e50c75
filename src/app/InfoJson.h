#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace calvane {

struct MidiFileInfo;

/// A JSON string literal of the text, as UTF-8 (control characters and U+0000 escaped).
QByteArray JsonString(const QString& text);

/// {"file", "format", "tracks", "division", "title", "copyright"} on one line.
QByteArray InfoJsonLine(const QString& file, const MidiFileInfo& info);

/// {"file", "error", "message"} on one line.
QByteArray ErrorJsonLine(const QString& file, std::int32_t number, const QString& message);

} // namespace calvane
