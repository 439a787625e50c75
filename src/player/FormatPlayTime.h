#pragma once

#include <QString>

#include <cstdint>

namespace calvane {

/// The time text of the player and the information panel: minutes with at least
/// two digits, a colon, seconds with two digits and exactly three decimals
/// (83456 ms gives "01:23.456").
QString FormatPlayTime(std::int32_t milliseconds);

} // namespace calvane
