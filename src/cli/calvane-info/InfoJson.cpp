#include "cli/calvane-info/InfoJson.h"

#include "midi/basMIDIInfo.h"
#include "platform/JsonText.h"

namespace calvane {

QByteArray InfoJsonLine(QByteArrayView nativePath, const MidiInfoRead& read,
                        const std::optional<PlaybackFigures>& playback, const QString& eucJp)
{
    const QByteArray null("null");
    const MidiFileInfo& info = read.info;
    const QByteArray hint =
        eucJp.isEmpty() ? QByteArray() : ", \"hint\": \"euc-jp\", \"hint_title\": " + JsonString(eucJp);
    return "{" + JsonPathFields("file", nativePath) + ", \"smf\": " + (read.hasHeader ? "true" : "false") +
           ", \"format\": " + QByteArray::number(info.Format) +
           ", \"tracks\": " + QByteArray::number(info.Tracks) +
           ", \"division\": " + QByteArray::number(info.Division) + ", \"title\": " + JsonString(info.Title) +
           ", \"copyright\": " + JsonString(info.Copyright) +
           ", \"length_ms\": " + (playback ? QByteArray::number(playback->lengthMs) : null) +
           ", \"tempo\": " + (playback ? QByteArray::number(playback->tempo) : null) + hint + "}";
}

QByteArray ErrorJsonLine(QByteArrayView nativePath, std::int32_t number, const QString& message)
{
    return "{" + JsonPathFields("file", nativePath) + ", \"error\": " + QByteArray::number(number) +
           ", \"message\": " + JsonString(message) + "}";
}

} // namespace calvane
