#pragma once

#include "platform/TextCodecs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace calvane {

class MessageBoxes;
class ErrorReporter;

/// Header numbers and the first track's title and copyright of one MIDI file.
/// The empty record is all zeros and empty texts.
struct MidiFileInfo
{
    std::int16_t Format = 0;
    std::int16_t Tracks = 0;
    std::int16_t Division = 0;
    QString Title;
    QString Copyright;

    bool operator==(const MidiFileInfo&) const = default;
};

/// The text of a title or copyright event. Auto: bytes that are well-formed UTF-8
/// and hold at least one character beyond ASCII are read as UTF-8 (what files
/// written today store); any other bytes as code page 932 (DecodeCp932), as old
/// Japanese files store them. The few Shift_JIS texts that are also well-formed
/// UTF-8 (half-width katakana in pairs such as C3 BD) are therefore read as
/// UTF-8. Another encoding is the user's choice (DecodeText).
QString DecodeMetaText(QByteArrayView bytes, TextEncoding encoding = TextEncoding::Auto);

/// The byte-pattern reading of a whole file's bytes. Never fails: bytes without a
/// header chunk, or with one cut short, give the empty record; a header without a
/// track gives the numbers with empty texts.
///
/// The text of a meta event follows its count. A count of one byte below 0x80 is
/// the length. A count byte of 0x80 or more starts a variable-length quantity, as
/// texts of 128 bytes and more are stored: where the count bytes form a whole one
/// (at most four bytes) and that many bytes follow them within the file, they are
/// the text; otherwise the first count byte is the length and the text starts
/// behind it, as older readers took it (cut off by the end of the bytes).
MidiFileInfo ParseMIDIInfo(QByteArrayView bytes);

/// ReadMIDIInfo's answer: the record, or why the file could not be read.
struct MidiInfoRead
{
    MidiFileInfo info;
    /// The bytes of the title and the copyright as stored, for another reading.
    QByteArray titleBytes;
    QByteArray copyrightBytes;
    /// 0; 53 for an absent (missing, hidden, not regular) file; else the mapped errno.
    std::int32_t error = 0;
    /// A whole header chunk was found ("MThd" and the 14 bytes from it on).
    bool hasHeader = false;
};

/// Which texts a read looks for. Without the copyright a read ends at the title,
/// mostly within the first piece: a file without a copyright notice is not read
/// to its end.
enum class MidiTexts
{
    TitleAndCopyright,
    TitleOnly, ///< Copyright stays empty
};

/// Reads the file in bounded pieces, whatever its size, and parses it as
/// ParseMIDIInfo does; the holes of a sparse file are skipped. A read that fails
/// part way is an error like an unreadable file. Throws RuntimeError only for the
/// truly unexpected (out of memory). pieceBytes is the most read at once; the
/// texts are read in the given encoding.
MidiInfoRead ReadMIDIInfo(const QByteArray& nativePath, qint64 pieceBytes = qint64{1} << 20,
                          MidiTexts texts = MidiTexts::TitleAndCopyright,
                          TextEncoding encoding = TextEncoding::Auto);

/// Whether GetMIDIInfo tells of a file that is not there (absent: 53). A batch
/// does not: it finds the file gone itself and says so in its own way.
enum class MissingFile
{
    Tell,
    Quiet,
};

/// The reader as the windows use it: a missing or unreadable file shows
/// "MIDI情報の取得に失敗しました" (a missing one only with MissingFile::Tell) and
/// gives the empty record; anything unexpected goes to ReportError with
/// "basMIDIInfo.GetMIDIInfo".
MidiFileInfo GetMIDIInfo(const QByteArray& nativePath, MessageBoxes& boxes, ErrorReporter& reporter,
                         MissingFile missing = MissingFile::Tell);
MidiFileInfo GetMIDIInfo(const QString& path, MessageBoxes& boxes, ErrorReporter& reporter,
                         MissingFile missing = MissingFile::Tell);

} // namespace calvane
