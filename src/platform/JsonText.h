#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace calvane {

/// A JSON string literal of the text, as UTF-8 (control characters and U+0000 escaped).
QByteArray JsonString(const QString& text);

/// The same for text that is UTF-8 already.
QByteArray JsonStringOfUtf8(QByteArrayView utf8);

/// The JSON fields that name a file for scripts, e.g. `"file": "/music/曲.mid"`. The
/// text is the path as the windows show it: each name that is not UTF-8 in its code
/// page 932 reading. For such a path a second field `"<field>_hex"` follows with
/// the path's bytes in hex, so that a script can find the file again although two
/// names may read alike.
QByteArray JsonPathFields(const char* field, QByteArrayView nativePath);

} // namespace calvane
