#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace calvane {

/// The time one frame of a widget's screen stays on view, in milliseconds.
int FrameMilliseconds(const QWidget& widget);

/// Widgets that change faster than a screen can show: while it lives they paint
/// only when paintIfDue() finds a frame's time gone since their last paint, not
/// at every change, or when paintNow() asks for it (before a box: the user reads
/// the box beside them). release() (or the end of its scope) paints them at once
/// with what they show by then and lets them paint as usual again.
class PaintThrottle
{
public:
    explicit PaintThrottle(QList<QWidget*> widgets);
    ~PaintThrottle() { release(); }
    PaintThrottle(const PaintThrottle&) = delete;
    PaintThrottle& operator=(const PaintThrottle&) = delete;

    void paintIfDue();
    void paintNow();
    void release();

private:
    QList<QPointer<QWidget>> m_widgets;
    QElapsedTimer m_sincePaint;
    int m_frame = 16;
    bool m_held = true;
};

} // namespace calvane
