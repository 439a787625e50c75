// The MIDI information reader on arbitrary bytes: it must never crash, hang or
// read outside the buffer, and every record it gives must be self-consistent.

#include "midi/basMIDIInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const calvane::MidiFileInfo info = calvane::ParseMIDIInfo(bytes);
    // A title or copyright holds at most 255 bytes, each giving at most one UTF-16 unit.
    if (info.Title.size() > 255 || info.Copyright.size() > 255) {
        std::abort();
    }
    if (!bytes.contains(QByteArrayView("MThd")) && !(info == calvane::MidiFileInfo{})) {
        std::abort();
    }
    return 0;
}
