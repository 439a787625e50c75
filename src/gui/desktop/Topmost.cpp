#include "gui/desktop/Topmost.h"

#include <QWidget>
#include <QWindow>

namespace calvane {

void SetTopmost(QWidget& window, bool on)
{
    Qt::WindowFlags flags = window.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* handle = window.windowHandle()) {
        // The window that exists takes the flag: QWidget::setWindowFlags would
        // destroy it and make a new one, which blinks.
        window.overrideWindowFlags(flags);
        handle->setFlags(flags);
        return;
    }
    window.setWindowFlags(flags); // not made yet: it is made with the flag
}

} // namespace calvane
