#pragma once

#include "player/MidiOutput.h"

namespace calvane {

/// The real outputs: port -1 is the FluidSynth synthesizer, port k RtMidi output port k.
class PlatformMidiOutputs final : public MidiOutputs
{
public:
    MidiOutputDeviceList Devices() override;
    std::unique_ptr<MidiOutput> Open(int port, QString* why) override;
};

} // namespace calvane
