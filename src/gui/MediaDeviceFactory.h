#pragma once

#include "player/MciDevice.h"

#include <memory>

namespace calvane {

class MidiOutputs;

/// The media device the program plays through, over the given outputs (which
/// must outlive it) and the real clock.
std::unique_ptr<MciDevice> CreateMediaDevice(MidiOutputs& outputs);

} // namespace calvane
