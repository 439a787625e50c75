#pragma once

#include <QSlider>

namespace calvane {

/// The player's position slider. Its scale is milliseconds, so while a file plays
/// the value changes at every tick of the playback timer, far more often than the
/// thumb moves by a pixel: a new value repaints the slider only when the thumb
/// is drawn somewhere else. A press of the left button in the groove puts the thumb
/// under the pointer at once (rather than a page step towards it), and the thumb
/// is then held as if it had been pressed.
class PositionSlider final : public QSlider
{
    Q_OBJECT
public:
    explicit PositionSlider(QWidget* parent = nullptr);

    /// Shows text in a tooltip beside the thumb.
    void showThumbText(const QString& text);
    /// Where the thumb is drawn for the current slider position.
    QRect thumbRect() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    /// What the last paint measured: the range, the pixels the thumb can travel
    /// (none yet: -1), the direction and where the thumb was drawn.
    struct Painted
    {
        int minimum = 0;
        int maximum = 0;
        int span = -1;
        bool upsideDown = false;
        int pixel = 0;
    };
    Painted m_painted;
};

} // namespace calvane
