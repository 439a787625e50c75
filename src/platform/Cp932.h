#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace calvane {

/// Code page 932 (Shift_JIS as Windows maps it) to text. A byte or byte pair that
/// is not valid code page 932, and a lead byte cut off by the end of the data,
/// each become one U+FFFD; every valid byte keeps its meaning, NUL included (U+0000).
QString DecodeCp932(QByteArrayView bytes);

/// Text to code page 932. A character that code page 932 cannot hold becomes "?"
/// (one "?" for a surrogate pair), as the Windows conversion does by default.
QByteArray EncodeCp932(QStringView text);

} // namespace calvane
