#include "rename/basFileNameControl.h"

#include "errors/RuntimeError.h"

#include <limits>

namespace calvane {
namespace {

/// A control character other than NUL, CR and LF (those have their own rules).
bool isOtherControl(char16_t c)
{
    return (c >= 0x01 && c < 0x20 && c != u'\r' && c != u'\n') || c == 0x7F;
}

/// What stands in a name for a refused character: its full-width look-alike, a
/// space for CR, LF and a tab; 0 for a character that is not refused or is left out.
char16_t lookAlikeOfRefused(char16_t c)
{
    switch (c) {
    case u'"':
        return u'\uFF02';
    case u'*':
        return u'\uFF0A';
    case u',':
        return u'\uFF0C';
    case u'/':
        return u'\uFF0F';
    case u':':
        return u'\uFF1A';
    case u';':
        return u'\uFF1B';
    case u'<':
        return u'\uFF1C';
    case u'>':
        return u'\uFF1E';
    case u'?':
        return u'\uFF1F';
    case u'\\':
        return u'\uFF3C';
    case u'|':
        return u'\uFF5C';
    case u'\r':
    case u'\n':
    case u'\t':
        return u' ';
    default:
        return 0;
    }
}

} // namespace

std::int16_t FindInvalidTitleChar(QStringView title)
{
    for (qsizetype i = 0; i < title.size(); ++i) {
        const char16_t c = title[i].unicode();
        if (lookAlikeOfRefused(c) != 0 || isOtherControl(c)) {
            if (i + 1 > std::numeric_limits<std::int16_t>::max()) {
                throw RuntimeError(ErrNo::Overflow);
            }
            return static_cast<std::int16_t>(i + 1);
        }
    }
    return 0;
}

QString ReplaceRefusedChars(QStringView title)
{
    QString out;
    out.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        const char16_t c = title[i].unicode();
        if (c == u'\r' && i + 1 < title.size() && title[i + 1] == u'\n') {
            continue; // CR LF is one line break: one space, from its LF
        }
        const char16_t lookAlike = lookAlikeOfRefused(c);
        if (lookAlike != 0) {
            out += QChar(lookAlike);
        } else if (!isOtherControl(c)) {
            out += QChar(c);
        }
    }
    return out;
}

} // namespace calvane
