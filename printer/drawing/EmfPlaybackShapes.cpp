// Shapes and paths: boxes, arcs, lines, polygons, polylines and Bezier runs, drawn at once or gathered into
// the path being built between its brackets, then filled or stroked.
#include "printer/drawing/EmfPlayback.h"

#include <QPainter>

#include <cmath>

namespace emf {

using namespace layout;

void Playback::preparePen(bool on) {
    m_painter->setPen(on ? m_dc.pen.pen : QPen(Qt::NoPen));
}

void Playback::prepareBrush(bool on) {
    if (!on) {
        m_painter->setBrush(Qt::NoBrush);
        return;
    }
    m_painter->setBrush(m_dc.brush.brush);
    const Qt::BrushStyle s = m_dc.brush.brush.style();
    const bool hatch = s >= Qt::HorPattern && s <= Qt::DiagCrossPattern;
    m_painter->setBackgroundMode(hatch && m_dc.bkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    m_painter->setBackground(colorFrom(m_dc.bkColor));
}

void Playback::drawShape(const QPainterPath &path, bool stroke, bool fill) {
    if (m_inPath) {
        m_path.addPath(path);
        return;
    }
    if (!m_painter || !drawable(path.controlPointRect()))
        return;
    preparePen(stroke);
    prepareBrush(fill);
    m_painter->drawPath(path);
}

// `count` points of 16 or 32 bits a coordinate from `pointsAt`; none when they do not fit the record.
QPolygonF Playback::points(const Rec &r, quint64 pointsAt, bool small, quint32 count) const {
    QPolygonF out;
    const quint64 width = small ? 4 : 8;
    if (!r.fits(pointsAt, quint64(count) * width))
        return out;
    out.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const quint64 at = pointsAt + i * width;
        out.append(small ? QPointF(r.i16(at), r.i16(at + 2)) : QPointF(r.i32(at), r.i32(at + 4)));
    }
    return out;
}

void Playback::polygon(const QPolygonF &pts, Qt::FillRule rule) {
    QPainterPath path;
    path.setFillRule(rule);
    path.addPolygon(pts);
    path.closeSubpath();
    if (m_inPath) {
        m_path.addPath(path);
    } else if (m_painter && drawable(pts.boundingRect())) {
        preparePen(true);
        prepareBrush(true);
        m_painter->drawPolygon(pts, rule);
    }
}

void Playback::polyline(const QPolygonF &pts) {
    if (m_inPath) {
        m_path.moveTo(pts[0]);
        for (const QPointF &p : pts)
            m_path.lineTo(p);
    } else if (m_painter && drawable(pts.boundingRect())) {
        preparePen(true);
        m_painter->drawPolyline(pts);
    }
}

// From the current position on; the last point becomes the current position.
void Playback::polylineTo(const QPolygonF &pts) {
    if (m_inPath) {
        for (const QPointF &p : pts)
            m_path.lineTo(p);
    } else if (m_painter) {
        QPolygonF line;
        line << m_dc.current << pts;
        if (drawable(line.boundingRect())) {
            preparePen(true);
            m_painter->drawPolyline(line);
        }
    }
    m_dc.current = pts.last();
}

// Cubic segments, three points each, after a start point or from the current position.
void Playback::bezier(const QPolygonF &pts, bool fromCurrent) {
    QPainterPath curve;
    qsizetype i = 0;
    if (fromCurrent) {
        curve.moveTo(m_dc.current);
    } else {
        curve.moveTo(pts[0]);
        i = 1;
    }
    for (; i + 2 < pts.size(); i += 3)
        curve.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
    if (fromCurrent)
        m_dc.current = curve.currentPosition();
    if (!m_inPath) {
        drawShape(curve, true, false);
    } else if (fromCurrent && m_path.elementCount() > 0) {
        for (qsizetype j = 0; j + 2 < pts.size(); j += 3)
            m_path.cubicTo(pts[j], pts[j + 1], pts[j + 2]);
    } else {
        m_path.addPath(curve);
    }
}

void Playback::onPoly(quint32 type, const Rec &r) {
    const bool small = type >= EMR_POLYBEZIER16;
    const QPolygonF pts = points(r, Poly::Points, small, r.u32(Poly::Count));
    if (pts.isEmpty())
        return;
    switch (small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type) {
    case EMR_POLYGON:
        return polygon(pts, m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    case EMR_POLYLINE:
        return polyline(pts);
    case EMR_POLYLINETO:
        return polylineTo(pts);
    case EMR_POLYBEZIER:
        return bezier(pts, false);
    case EMR_POLYBEZIERTO:
        return bezier(pts, true);
    default:
        return;
    }
}

void Playback::onPolyPoly(quint32 type, const Rec &r) {
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    const bool polygons = type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16;
    const quint32 polys = r.u32(PolyPoly::Polys);
    const quint32 total = r.u32(PolyPoly::Count);
    if (!r.fits(PolyPoly::Counts, quint64(polys) * 4))
        return;
    const QPolygonF pts = points(r, PolyPoly::Counts + quint64(polys) * 4, small, total);
    if (pts.isEmpty())
        return;
    QPainterPath path;
    path.setFillRule(m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    quint64 used = 0;
    for (quint32 i = 0; i < polys; ++i) {
        const quint32 n = r.u32(PolyPoly::Counts + quint64(i) * 4);
        if (n == 0 || used + n > total)
            return;
        const QPolygonF part = pts.mid(qsizetype(used), qsizetype(n));
        used += n;
        if (polygons) {
            path.addPolygon(part);
            path.closeSubpath();
        } else {
            path.moveTo(part[0]);
            for (const QPointF &p : part)
                path.lineTo(p);
        }
    }
    drawShape(path, true, polygons);
}

// Arc, chord and pie: counter-clockwise from the start radial to the end radial.
void Playback::onArc(quint32 type, const Rec &r) {
    const QRectF box = r.box(Arc::Box);
    if (box.width() <= 0 || box.height() <= 0)
        return;
    const QPointF c = box.center();
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / box.height(), (p.x() - c.x()) / box.width()) * 180 / M_PI;
    };
    const double a1 = angle(r.point(Arc::Start));
    double span = angle(r.point(Arc::End)) - a1;
    if (span <= 0)
        span += 360;
    QPainterPath path;
    if (type == EMR_PIE)
        path.moveTo(c);
    else
        path.arcMoveTo(box, a1);
    path.arcTo(box, a1, span);
    if (type != EMR_ARC)
        path.closeSubpath();
    drawShape(path, true, type != EMR_ARC);
}

void Playback::onBox(quint32 type, const Rec &r) {
    const QRectF box = r.box(Rectangle::Box);
    if (box.width() < 0 || box.height() < 0)
        return;
    const double ew = std::clamp(double(r.i32(RoundRect::CornerWidth)), 0.0, box.width() + 1);
    const double eh = std::clamp(double(r.i32(RoundRect::CornerHeight)), 0.0, box.height() + 1);
    if (m_inPath) {
        QPainterPath path;
        if (type == EMR_RECTANGLE)
            path.addRect(box);
        else if (type == EMR_ELLIPSE)
            path.addEllipse(box);
        else
            path.addRoundedRect(box, ew / 2, eh / 2);
        m_path.addPath(path);
        return;
    }
    if (!m_painter || !drawable(box))
        return;
    preparePen(true);
    prepareBrush(true);
    if (type == EMR_RECTANGLE)
        m_painter->drawRect(box);
    else if (type == EMR_ELLIPSE)
        m_painter->drawEllipse(box);
    else
        m_painter->drawRoundedRect(box, ew / 2, eh / 2);
}

void Playback::onLine(quint32 type, const Rec &r) {
    const QPointF to = r.point(Point::X);
    if (type == EMR_MOVETOEX) {
        m_dc.current = to;
        if (m_inPath)
            m_path.moveTo(to);
        return;
    }
    if (m_inPath) {
        m_path.lineTo(to);
    } else if (m_painter && drawable(QRectF(m_dc.current, to).normalized())) {
        preparePen(true);
        m_painter->drawLine(m_dc.current, to);
    }
    m_dc.current = to;
}

void Playback::onPixel(quint32, const Rec &r) {
    const QRectF pixel(r.point(SetPixel::X), QSizeF(1, 1));
    if (m_painter && !m_inPath && drawable(pixel))
        m_painter->fillRect(pixel, colorFrom(r.u32(SetPixel::Color)));
}

void Playback::onPath(quint32 type, const Rec &) {
    switch (type) {
    case EMR_BEGINPATH:
        m_inPath = true;
        m_path = QPainterPath();
        m_path.moveTo(m_dc.current);
        break;
    case EMR_ENDPATH:
        m_inPath = false;
        break;
    case EMR_ABORTPATH:
        m_inPath = false;
        m_path = QPainterPath();
        break;
    default: // close figure
        if (m_inPath)
            m_path.closeSubpath();
        break;
    }
}

void Playback::onDrawPath(quint32 type, const Rec &) {
    if (m_inPath)
        return;
    QPainterPath path = m_path;
    m_path = QPainterPath();
    path.setFillRule(m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawShape(path, type != EMR_FILLPATH, type != EMR_STROKEPATH);
}

} // namespace emf
