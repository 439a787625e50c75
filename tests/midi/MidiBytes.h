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

/// A Standard MIDI File with the given title and copyright (their bytes as stored).
inline QByteArray MidiWithTitle(const QByteArray& title, const QByteArray& copyright = {})
{
    QByteArray events = meta(0x03, title);
    if (!copyright.isEmpty()) {
        events += meta(0x02, copyright);
    }
    return header(1, 1, 480) + track(events + kEndOfTrack);
}

/// A variable-length quantity (delta time or length).
inline QByteArray vlq(unsigned value)
{
    QByteArray out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7) {
        out.prepend(static_cast<char>(0x80 | (value & 0x7F)));
    }
    return out;
}

/// An event: its delta time, then its bytes in hex.
inline QByteArray event(unsigned delta, const char* bytes)
{
    return vlq(delta) + hex(bytes);
}

/// A tempo meta event (microseconds per quarter note).
inline QByteArray tempoEvent(unsigned delta, unsigned micros)
{
    QByteArray e = vlq(delta) + hex("FF5103");
    for (int shift : {16, 8, 0}) {
        e += static_cast<char>((micros >> shift) & 0xFF);
    }
    return e;
}

/// Four quarter notes at 120 BPM, then four at 60 BPM (480 ticks per quarter): 6 seconds.
inline QByteArray tempoChangeSong()
{
    QByteArray events = tempoEvent(0, 500000);
    for (int i = 0; i < 8; ++i) {
        if (i == 4) {
            events += tempoEvent(0, 1000000);
        }
        events += event(0, "903C64") + event(480, "803C40");
    }
    return header(0, 1, 480) + track(events + kEndOfTrack);
}

/// 25 frames per second, 40 ticks per frame (1000 ticks a second); the last event at tick 6000.
inline QByteArray smpteSong()
{
    return header(0, 1, 0xE728) + track(event(0, "903C64") + event(6000, "803C40") + kEndOfTrack);
}

} // namespace calvane::test
