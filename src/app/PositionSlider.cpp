#include "app/PositionSlider.h"

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
