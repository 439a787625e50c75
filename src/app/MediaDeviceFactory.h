#pragma once

#include "player/MciDevice.h"

#include <memory>

namespace calvane {

/// The media device the program plays through.
std::unique_ptr<MciDevice> CreateMediaDevice();

} // namespace calvane
