#include "gui/widgets/ButtonPictures.h"

#include <QPainter>
#include <QPolygonF>

namespace calvane {

QPixmap ButtonPicture(int number)
{
    const QSize size(number == 103 ? 16 : 15, 15);
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    switch (number) {
    case 101:
        p.drawRect(QRectF(3, 2, 3, 11));
        p.drawRect(QRectF(9, 2, 3, 11));
        break;
    case 102:
        p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(12, 7.5), QPointF(4, 13)}));
        break;
    case 103:
        p.drawPolygon(QPolygonF({QPointF(8, 2), QPointF(1, 7.5), QPointF(8, 13)}));
        p.drawPolygon(QPolygonF({QPointF(15, 2), QPointF(8, 7.5), QPointF(15, 13)}));
        break;
    case 104:
        p.drawRect(QRectF(3, 3, 9, 9));
        break;
    default:
        return {};
    }
    return picture;
}

} // namespace calvane
