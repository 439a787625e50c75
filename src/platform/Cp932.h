#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace calvane {

/// Code page 932 (Shift_JIS as Windows maps it) to text. A byte or byte pair that
/// is not valid code page 932, and a lead byte cut off by the end of the data,
/// each become one U+FFFD; every valid byte keeps its meaning, NUL included (U+0000).
/// The single bytes 80, A0, FD, FE and FF are U+0080, U+F8F0, U+F8F1, U+F8F2 and U+F8F3.
QString DecodeCp932(QByteArrayView bytes);

/// Text to code page 932. A character that code page 932 cannot hold becomes "?"
/// (one "?" for a surrogate pair, one for a lone surrogate), as the Windows
/// conversion does by default. The five single bytes above come back as they went in.
QByteArray EncodeCp932(QStringView text);

/// A text kept as bytes by old and new writers alike (a MIDI title, a stored
/// name): bytes that are well-formed UTF-8 and hold at least one character beyond
/// ASCII are read as UTF-8, what files written today store; any other bytes as
/// code page 932 (DecodeCp932). The few code page 932 texts that are also
/// well-formed UTF-8 (half-width katakana in pairs such as C3 BD) read as UTF-8.
QString DecodeUtf8OrCp932(QByteArrayView bytes);

/// Whether DecodeUtf8OrCp932 reads the bytes as UTF-8.
bool ReadsAsUtf8(QByteArrayView bytes);

} // namespace calvane
