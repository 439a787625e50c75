#pragma once

#include <QByteArray>

namespace calvane::test {

/// Bytes from hex text; blanks are ignored ("4D 54 68 64").
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

/// A header chunk with the given numbers.
inline QByteArray header(unsigned format, unsigned tracks, unsigned division)
{
    QByteArray h = hex("4D546864 00000006");
    for (unsigned v : {format, tracks, division}) {
        h += static_cast<char>(v >> 8);
        h += static_cast<char>(v & 0xFF);
    }
    return h;
}

/// A track chunk around the given event bytes (the length is right, though the reader never looks).
inline QByteArray track(const QByteArray& events)
{
    QByteArray t("MTrk");
    const auto n = static_cast<unsigned>(events.size());
    for (int shift : {24, 16, 8, 0}) {
        t += static_cast<char>((n >> shift) & 0xFF);
    }
    return t + events;
}

/// A meta event at delta 0 with a one-byte length.
inline QByteArray meta(unsigned char type, const QByteArray& text)
{
    QByteArray e = hex("00FF");
    e += static_cast<char>(type);
    e += static_cast<char>(text.size());
    return e + text;
}

inline const QByteArray kEndOfTrack = hex("00FF2F00");

} // namespace calvane::test
