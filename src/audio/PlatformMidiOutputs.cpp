#include "audio/PlatformMidiOutputs.h"

#include "audio/FluidSynthOutput.h"
#include "audio/RtMidiPortOutput.h"

namespace calvane {

MidiOutputDeviceList PlatformMidiOutputs::Devices()
{
    return {QString::fromUtf16(u"内蔵シンセサイザー (FluidSynth)"), RtMidiPortNames()};
}

std::unique_ptr<MidiOutput> PlatformMidiOutputs::Open(int port, QString* why)
{
    if (port == -1) {
        return FluidSynthOutput::Open(why);
    }
    return RtMidiPortOutput::Open(port, why);
}

} // namespace calvane
