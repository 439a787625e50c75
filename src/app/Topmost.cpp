#include "app/Topmost.h"

#include <QWidget>

namespace calvane {

void SetTopmost(QWidget& window, bool on)
{
    const bool shown = window.isVisible();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        window.show();
    }
}

} // namespace calvane
