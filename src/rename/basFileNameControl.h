#pragma once

#include "platform/Paths.h"

#include <QString>
#include <QStringView>

#include <cstdint>

namespace calvane {

/// 1-based position of the first character of the title that may not stand in a
/// file name (" * , / : ; < > ? \ | CR LF, the same on every platform); 0 when
/// there is none. Throws RuntimeError 6 when the position does not fit 16 bits.
std::int16_t FindInvalidTitleChar(QStringView title);

/// The title with each character FindInvalidTitleChar refuses put in a form a
/// name may hold: its full-width look-alike (＂＊，／：；＜＞？＼｜), and one space
/// for each line break (CR LF, or a CR or LF alone).
QString ReplaceRefusedChars(QStringView title);

} // namespace calvane
