#include "printer/preview/QRPreviewIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Ink(0x30, 0x30, 0x30);
const QColor Blue(0x20, 0x50, 0xB0);
const QColor Green(0x10, 0x90, 0x30);
const QColor Red(0xC0, 0x20, 0x20);

// A sheet of paper with a folded corner, in the given rectangle.
void sheet(QPainter &p, const QRectF &r) {
    p.setPen(QPen(Ink, 1));
    p.setBrush(Qt::white);
    const double fold = r.width() / 3;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
    p.drawPolyline(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                              QPointF(r.right(), r.top() + fold)}));
}

void lines(QPainter &p, double left, double right, double top, int count) {
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + 3 * i), QPointF(right, top + 3 * i));
}

void magnifier(QPainter &p, const QPointF &centre, double radius) {
    p.setPen(QPen(Blue, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xE8, 0xF0, 0xFF, 200));
    p.drawEllipse(centre, radius, radius);
    const double d = radius * 0.72;
    p.drawLine(centre + QPointF(d, d), centre + QPointF(d + 5, d + 5));
}

// A triangle pointing left (dir -1) or right (+1) with its tip at x.
void arrow(QPainter &p, double x, int dir) {
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPolygon(QPolygonF({QPointF(x, 12), QPointF(x - dir * 8, 5), QPointF(x - dir * 8, 19)}));
}

void bar(QPainter &p, double x) {
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRect(QRectF(x, 5, 2.5, 14));
}

void printer(QPainter &p) {
    p.setPen(QPen(Ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 8));
    p.setBrush(QColor(0xB0, 0xB0, 0xB8));
    p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7));
    p.setBrush(Green);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(18.5, 12), 1, 1);
}

void draw(QPainter &p, int image) {
    switch (image) {
    case 0: // zoom to fit: a whole page under the glass
        sheet(p, QRectF(3.5, 2.5, 12, 16));
        magnifier(p, QPointF(14, 13), 5);
        break;
    case 1: // 100 %
        sheet(p, QRectF(3.5, 2.5, 14, 19));
        p.setPen(Ink);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 6, QFont::Bold));
        p.drawText(QRectF(2, 7, 18, 10), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    case 2: // zoom to width: arrows to both edges
        sheet(p, QRectF(3.5, 2.5, 17, 19));
        p.setPen(QPen(Blue, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 12), QPointF(18, 12));
        p.drawPolyline(QPolygonF({QPointF(9, 9), QPointF(6, 12), QPointF(9, 15)}));
        p.drawPolyline(QPolygonF({QPointF(15, 9), QPointF(18, 12), QPointF(15, 15)}));
        break;
    case 3:
        bar(p, 4);
        arrow(p, 8, -1);
        arrow(p, 14, -1);
        break;
    case 4:
        arrow(p, 8, -1);
        break;
    case 5:
        arrow(p, 16, 1);
        break;
    case 6:
        arrow(p, 10, 1);
        arrow(p, 16, 1);
        bar(p, 17.5);
        break;
    case 7: // printer setup: the printer with a spanner mark
        printer(p);
        p.setPen(QPen(Red, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 21), QPointF(21, 15));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(20.5, 15.5), 2, 2);
        break;
    case 8:
        printer(p);
        lines(p, 8, 16, 17, 2);
        break;
    case 9: // load: a folder
        p.setPen(QPen(QColor(0x90, 0x70, 0x20), 1));
        p.setBrush(QColor(0xF0, 0xC8, 0x50));
        p.drawPolygon(QPolygonF({QPointF(2.5, 6.5), QPointF(9, 6.5), QPointF(11, 8.5), QPointF(21.5, 8.5),
                                 QPointF(21.5, 19.5), QPointF(2.5, 19.5)}));
        p.setBrush(QColor(0xF8, 0xDC, 0x80));
        p.drawPolygon(QPolygonF({QPointF(4.5, 11.5), QPointF(22.5, 11.5), QPointF(20.5, 19.5), QPointF(2.5, 19.5)}));
        break;
    case 10: // save: a diskette
        p.setPen(QPen(Ink, 1));
        p.setBrush(Blue);
        p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 3.5, 11, 7));
        p.setBrush(QColor(0xD0, 0xD0, 0xD0));
        p.drawRect(QRectF(7.5, 13.5, 9, 7));
        break;
    case 11: // search
        sheet(p, QRectF(3.5, 2.5, 12, 16));
        lines(p, 5.5, 12, 7, 3);
        magnifier(p, QPointF(14, 13), 4.5);
        break;
    case 12: // go to page: a page with a number
        sheet(p, QRectF(4.5, 2.5, 15, 19));
        p.setPen(Blue);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 7, QFont::Bold));
        p.drawText(QRectF(4, 8, 15, 12), Qt::AlignCenter, QStringLiteral("#"));
        break;
    case 13: // cancel
        p.setPen(QPen(Red, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case 14: // copy: two sheets
        sheet(p, QRectF(3.5, 2.5, 11, 14));
        sheet(p, QRectF(9.5, 7.5, 11, 14));
        break;
    default:
        break;
    }
}

} // namespace

QIcon PreviewIcon(int image) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pm(24 * scale, 24 * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, image);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
