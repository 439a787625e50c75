#pragma once

#include <QPixmap>

namespace calvane {

/// The player buttons' pictures by their resource numbers: 101 pause (two bars),
/// 102 play (a right-pointing triangle), 103 return to start (two left-pointing
/// triangles), 104 stop (a filled square). 15 by 15 pixels, 103 16 by 15.
/// An unknown number gives a null pixmap.
QPixmap ButtonPicture(int number);

} // namespace calvane
