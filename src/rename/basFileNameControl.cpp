#include "rename/basFileNameControl.h"

#include "errors/RuntimeError.h"

#include <limits>

namespace calvane {
namespace {

/// What stands in a name for a refused character: its full-width look-alike, a
/// space for CR and LF; 0 for a character that is not refused.
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
        return u' ';
    default:
        return 0;
    }
}

} // namespace

std::int16_t FindInvalidTitleChar(QStringView title)
{
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (lookAlikeOfRefused(title[i].unicode()) != 0) {
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
        out += QChar(lookAlike != 0 ? lookAlike : c);
    }
    return out;
}

} // namespace calvane
