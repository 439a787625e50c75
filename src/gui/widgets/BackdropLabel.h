#pragma once

#include <QLabel>
#include <QPixmap>

namespace calvane {

/// A label whose text changes many times a second. A plain label is
/// transparent, so each new text also repaints whatever lies beneath it (a
/// frame's border and title, drawn by the style at every paint). This one keeps
/// a picture of what its parent draws under it and paints that itself: a new
/// text repaints the label alone, and it looks exactly like a plain label.
/// The picture is taken again after the label moves or resizes and after a
/// change of style, palette or parent; a parent that changes its look in any
/// other way under the label (a new frame title over it, say) is not seen.
class BackdropLabel final : public QLabel
{
    Q_OBJECT
public:
    explicit BackdropLabel(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap m_backdrop; ///< null until painted, and after anything that changes it
};

} // namespace calvane
