#include "gui/widgets/PaintThrottle.h"

#include <QScreen>

namespace calvane {

int FrameMilliseconds(const QWidget& widget)
{
    const QScreen* shown = widget.screen();
    const double hertz = shown ? shown->refreshRate() : 0;
    return hertz >= 1 ? static_cast<int>(1000 / hertz) : 16;
}

PaintThrottle::PaintThrottle(QList<QWidget*> widgets)
{
    for (QWidget* widget : widgets) {
        m_widgets.append(widget);
        widget->setUpdatesEnabled(false);
    }
    if (!widgets.isEmpty()) {
        m_frame = FrameMilliseconds(*widgets.first());
    }
}

void PaintThrottle::paintIfDue()
{
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= m_frame) {
        paintNow();
    }
}

void PaintThrottle::paintNow()
{
    if (!m_held) {
        return;
    }
    for (const QPointer<QWidget>& widget : m_widgets) {
        if (widget) {
            widget->setUpdatesEnabled(true);
            widget->repaint();
            widget->setUpdatesEnabled(false);
        }
    }
    m_sincePaint.start();
}

void PaintThrottle::release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    for (const QPointer<QWidget>& widget : m_widgets) {
        if (widget) {
            widget->setUpdatesEnabled(true);
            widget->repaint(); // before whatever follows: a box waits for the user
        }
    }
}

} // namespace calvane
