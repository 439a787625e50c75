#include "app/PositionSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

namespace calvane {

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

QRect PositionSlider::thumbRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void PositionSlider::showThumbText(const QString& text)
{
    QToolTip::showText(mapToGlobal(thumbRect().bottomLeft()), text, this);
}

void PositionSlider::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton && minimum() < maximum() &&
        !thumbRect().contains(at)) {
        // The value whose thumb is centred under the pointer.
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect thumb = thumbRect();
        const int span = groove.width() - thumb.width();
        const int x = at.x() - thumb.width() / 2 - groove.x();
        setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, option.upsideDown));
    }
    QSlider::mousePressEvent(event); // now on the thumb: held from here
}

void PositionSlider::sliderChange(SliderChange change)
{
    if (change == SliderValueChange && thumbRect() == m_paintedThumb) {
        return;
    }
    QSlider::sliderChange(change);
}

void PositionSlider::paintEvent(QPaintEvent* event)
{
    m_paintedThumb = thumbRect();
    QSlider::paintEvent(event);
}

} // namespace calvane
