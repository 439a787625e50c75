#include "gui/widgets/PositionSlider.h"

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
    // Called at every tick while a file plays: the thumb's place is worked out from
    // what the last paint measured, without asking the style again.
    if (change == SliderValueChange && m_painted.span >= 0 && minimum() == m_painted.minimum &&
        maximum() == m_painted.maximum &&
        QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), m_painted.span,
                                        m_painted.upsideDown) == m_painted.pixel) {
        return;
    }
    QSlider::sliderChange(change);
}

void PositionSlider::paintEvent(QPaintEvent* event)
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    m_painted = {minimum(), maximum(), groove.width() - thumbRect().width(), option.upsideDown, 0};
    m_painted.pixel = QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), m_painted.span,
                                                      option.upsideDown);
    QSlider::paintEvent(event);
}

} // namespace calvane
