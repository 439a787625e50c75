#include "gui/widgets/BackdropLabel.h"

#include <QEvent>
#include <QPainter>

namespace calvane {

BackdropLabel::BackdropLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BackdropLabel::paintEvent(QPaintEvent* event)
{
    if (m_backdrop.isNull() && parentWidget()) {
        const qreal ratio = devicePixelRatioF();
        m_backdrop = QPixmap(size() * ratio);
        m_backdrop.setDevicePixelRatio(ratio);
        // The parent alone, on the window background, without its children.
        parentWidget()->render(&m_backdrop, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    }
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_backdrop);
    }
    QLabel::paintEvent(event);
}

void BackdropLabel::moveEvent(QMoveEvent* event)
{
    m_backdrop = QPixmap();
    QLabel::moveEvent(event);
}

void BackdropLabel::resizeEvent(QResizeEvent* event)
{
    m_backdrop = QPixmap();
    QLabel::resizeEvent(event);
}

void BackdropLabel::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
    case QEvent::EnabledChange:
        m_backdrop = QPixmap();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

} // namespace calvane
