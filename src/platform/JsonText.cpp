#include "platform/JsonText.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

namespace calvane {

QByteArray JsonString(const QString& text)
{
    return JsonStringOfUtf8(text.toUtf8());
}

QByteArray JsonStringOfUtf8(QByteArrayView utf8)
{
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
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
    const QByteArray name = JsonStringOfUtf8(field);
    if (IsWellFormedUtf8(nativePath)) {
        return name + ": " + JsonStringOfUtf8(nativePath); // shown as it is
    }
    return name + ": " + JsonString(ShownPath(PathFromNative(nativePath))) + ", " +
           JsonStringOfUtf8(QByteArray(field) + "_hex") + ": \"" + nativePath.toByteArray().toHex() + '"';
}

} // namespace calvane
