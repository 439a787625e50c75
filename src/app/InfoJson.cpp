#include "app/InfoJson.h"

#include "midi/basMIDIInfo.h"

namespace calvane {

QByteArray JsonString(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += QByteArray("\\u00") + QByteArray::number(static_cast<unsigned char>(c) >> 4, 16) +
                       QByteArray::number(static_cast<unsigned char>(c) & 0xF, 16);
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

QByteArray InfoJsonLine(const QString& file, const MidiFileInfo& info,
                        const std::optional<PlaybackFigures>& playback)
{
    const QByteArray null("null");
    return "{\"file\": " + JsonString(file) + ", \"format\": " + QByteArray::number(info.Format) +
           ", \"tracks\": " + QByteArray::number(info.Tracks) +
           ", \"division\": " + QByteArray::number(info.Division) + ", \"title\": " + JsonString(info.Title) +
           ", \"copyright\": " + JsonString(info.Copyright) +
           ", \"length_ms\": " + (playback ? QByteArray::number(playback->lengthMs) : null) +
           ", \"tempo\": " + (playback ? QByteArray::number(playback->tempo) : null) + "}";
}

QByteArray ErrorJsonLine(const QString& file, std::int32_t number, const QString& message)
{
    return "{\"file\": " + JsonString(file) + ", \"error\": " + QByteArray::number(number) +
           ", \"message\": " + JsonString(message) + "}";
}

} // namespace calvane
