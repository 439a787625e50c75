#include "platform/JsonText.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

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

QByteArray JsonPathFields(const char* field, QByteArrayView nativePath)
{
    const QString path = PathFromNative(nativePath);
    QByteArray out = JsonString(QString::fromLatin1(field)) + ": " + JsonString(ShownPath(path));
    if (HasEscapedBytes(path)) {
        out += ", " + JsonString(QString::fromLatin1(field) + QStringLiteral("_hex")) + ": \"" +
               nativePath.toByteArray().toHex() + '"';
    }
    return out;
}

} // namespace calvane
