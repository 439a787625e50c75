#pragma once

#include "platform/Paths.h"

#include <QString>
#include <QStringView>

#include <cstdint>

namespace calvane {

/// 1-based position of the first character of the title that may not stand in a
/// file name (" * , / : ; < > ? \ | CR LF, the same on every platform, and every
/// other control character: U+0001 to U+001F and U+007F, which would put a tab
/// or a terminal's escape sequence into a name); 0 when there is none. Throws
/// RuntimeError 6 when the position does not fit 16 bits.
std::int16_t FindInvalidTitleChar(QStringView title);

/// The title with each character FindInvalidTitleChar refuses put in a form a
/// name may hold: its full-width look-alike (＂＊，／：；＜＞？＼｜), one space
/// for each line break (CR LF, or a CR or LF alone) and for a tab; the other
/// control characters are left out.
QString ReplaceRefusedChars(QStringView title);

} // namespace calvane
