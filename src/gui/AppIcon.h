#pragma once

#include <QIcon>

namespace calvane {

/// The program's icon in every size it is drawn at (16 to 256 pixels).
QIcon AppIcon();

} // namespace calvane
