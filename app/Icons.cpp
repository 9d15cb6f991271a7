#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace icons {

namespace {

template <typename Draw> QIcon make(Draw draw) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pm);
}

} // namespace

QIcon deleteIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

QIcon cancelIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0x20, 0x50, 0xB0), 2.0, Qt::SolidLine, Qt::RoundCap));
        QPainterPath arc;
        arc.moveTo(12.5, 12);
        arc.cubicTo(13.5, 6, 8, 3.5, 4.5, 6.5);
        p.drawPath(arc);
        p.setBrush(QColor(0x20, 0x50, 0xB0));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(2, 3.5), QPointF(7.5, 4.5), QPointF(3.5, 9.5)}));
    });
}

QIcon insertIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 1.5, 9, 12));
        p.setPen(QPen(QColor(0x10, 0x90, 0x30), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11.5, 8), QPointF(11.5, 15));
        p.drawLine(QPointF(8, 11.5), QPointF(15, 11.5));
    });
}

QIcon postIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0x10, 0x90, 0x30), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    });
}

QIcon openIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0x90, 0x70, 0x10), 1));
        p.setBrush(QColor(0xF0, 0xC8, 0x50));
        p.drawPolygon(QPolygonF({QPointF(1.5, 4.5), QPointF(6, 4.5), QPointF(7.5, 6), QPointF(14.5, 6),
                                 QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
    });
}

QIcon printIcon() {
    return make([](QPainter &p) {
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(0xA0, 0xA0, 0xA0));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
    });
}

} // namespace icons
