// The MIDI information reader on arbitrary bytes: it must never crash, hang or
// read outside the buffer, and it must agree with a plain step-by-step reading
// (every search over the whole buffer, nothing clever) on every input.

#include "midi/StepReading.h"
#include "midi/basMIDIInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view buf(reinterpret_cast<const char*>(data), size);
    const calvane::MidiFileInfo info =
        calvane::ParseMIDIInfo(QByteArrayView(buf.data(), static_cast<qsizetype>(size)));
    if (!(info == calvane::test::ReadBySteps(buf).info)) {
        std::abort();
    }
    return 0;
}
