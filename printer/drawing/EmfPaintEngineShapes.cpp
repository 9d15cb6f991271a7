// Shapes and paths: rectangles, ellipses and rounded rectangles as their own records, lines and points,
// polygons in 16-bit points where they fit, and paths as path brackets, or as open polylines and Bezier runs
// where a stroked path has open figures.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/Units.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace emf;

namespace {

bool fitsInt16(const QList<QPoint> &pts) {
    return std::all_of(pts.begin(), pts.end(), [](const QPoint &p) {
        return p.x() >= -32768 && p.x() <= 32767 && p.y() >= -32768 && p.y() <= 32767;
    });
}

QRect boundsOf(const QList<QPoint> &pts) {
    if (pts.isEmpty())
        return {};
    int l = pts[0].x(), r = l, t = pts[0].y(), b = t;
    for (const QPoint &p : pts) {
        l = std::min(l, p.x());
        r = std::max(r, p.x());
        t = std::min(t, p.y());
        b = std::max(b, p.y());
    }
    return QRect(QPoint(l, t), QPoint(r, b));
}

} // namespace

void EmfPaintEngine::drawRects(const QRectF *rects, int count) {
    ensureMapping(true);
    selectPen();
    selectBrush();
    for (int i = 0; i < count; ++i)
        recordBox(EMR_RECTANGLE, gdiBox(rects[i]));
}

void EmfPaintEngine::drawEllipse(const QRectF &rect) {
    ensureMapping(true);
    selectPen();
    selectBrush();
    recordBox(EMR_ELLIPSE, gdiBox(rect));
}

void EmfPaintEngine::drawRoundRect(const QRectF &rect, qreal ellipseWidth, qreal ellipseHeight) {
    // Called beside the painter, whose pending state changes have not reached us yet; text drawn next must not
    // take this call's pen as its colour.
    const PainterState state = takePainterState();
    ensureMapping(true);
    selectPen();
    selectBrush();
    const QRect box = gdiBox(rect);
    const double sx = m_dc.scaled ? SubUnits : std::abs(m_transform.m11());
    const double sy = m_dc.scaled ? SubUnits : std::abs(m_transform.m22());
    using R = layout::RoundRect;
    RecordWriter w = start(EMR_ROUNDRECT, R::Length);
    w.rect(R::Box, box);
    w.i32(R::CornerWidth, std::max(0, rnd(ellipseWidth * sx)));
    w.i32(R::CornerHeight, std::max(0, rnd(ellipseHeight * sy)));
    w.finish();
    restorePainterState(state);
}

EmfPaintEngine::PainterState EmfPaintEngine::takePainterState() {
    PainterState state{m_pen, m_brush, m_bgBrush, m_bgMode, m_transform};
    if (QPainter *p = painter()) {
        m_pen = p->pen();
        m_brush = p->brush();
        m_bgBrush = p->background();
        m_bgMode = p->backgroundMode();
        m_transform = p->combinedTransform();
        m_clipDirty = true;
    }
    return state;
}

void EmfPaintEngine::restorePainterState(const PainterState &state) {
    m_pen = state.pen;
    m_brush = state.brush;
    m_bgBrush = state.bgBrush;
    m_bgMode = state.bgMode;
    m_transform = state.transform;
    m_clipDirty = true;
}

void EmfPaintEngine::drawLines(const QLineF *lines, int count) {
    ensureMapping(true);
    selectPen();
    for (int i = 0; i < count; ++i) {
        recordPoint(EMR_MOVETOEX, mapI(lines[i].p1()));
        recordPoint(EMR_LINETO, mapI(lines[i].p2()));
    }
}

void EmfPaintEngine::drawPoints(const QPointF *points, int count) {
    ensureMapping(true);
    const bool thin = m_pen.isCosmetic() || m_pen.widthF() <= 1;
    if (m_pen.style() == Qt::NoPen)
        return;
    if (!thin)
        selectPen();
    for (int i = 0; i < count; ++i) {
        const QPoint p = mapI(points[i]);
        if (thin) {
            RecordWriter w = start(EMR_SETPIXELV, layout::SetPixel::Length);
            w.point(layout::SetPixel::X, p);
            w.u32(layout::SetPixel::Color, colorOf(m_pen.color()));
            w.finish();
        } else { // a wide pen's dot: a line of no length
            recordPoint(EMR_MOVETOEX, p);
            recordPoint(EMR_LINETO, p);
        }
    }
}

void EmfPaintEngine::writePoints(quint32 type16, quint32 type32, const QList<QPoint> &pts) {
    const bool small = fitsInt16(pts);
    RecordWriter w = start(small ? type16 : type32, layout::Poly::Points);
    w.rect(layout::Poly::Bounds, boundsOf(pts));
    w.u32(layout::Poly::Count, quint32(pts.size()));
    ByteWriter points = w.tail();
    for (const QPoint &p : pts) {
        if (small) {
            points.i16(qint16(p.x()));
            points.i16(qint16(p.y()));
        } else {
            points.i32(p.x());
            points.i32(p.y());
        }
    }
    w.finish();
}

void EmfPaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) {
    if (count <= 0)
        return;
    ensureMapping(true);
    QList<QPoint> pts;
    pts.reserve(count);
    for (int i = 0; i < count; ++i)
        pts.append(mapI(points[i]));
    selectPen();
    if (mode == PolylineMode) {
        writePoints(EMR_POLYLINE16, EMR_POLYLINE, pts);
        return;
    }
    selectBrush();
    setPolyFill(mode == WindingMode ? WINDING : ALTERNATE);
    writePoints(EMR_POLYGON16, EMR_POLYGON, pts);
}

void EmfPaintEngine::writePathBody(const QPainterPath &path) {
    record0(EMR_BEGINPATH);
    QPoint start;
    QPoint last;
    bool open = false;
    auto closeIfBack = [&] {
        if (open && last == start)
            record0(EMR_CLOSEFIGURE);
        open = false;
    };
    const int n = path.elementCount();
    for (int i = 0; i < n;) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            closeIfBack();
            start = last = mapI(e);
            recordPoint(EMR_MOVETOEX, start);
            open = true;
            ++i;
        } else if (e.isLineTo()) {
            QList<QPoint> pts;
            while (i < n && path.elementAt(i).isLineTo())
                pts.append(mapI(path.elementAt(i++)));
            last = pts.last();
            writePoints(EMR_POLYLINETO16, EMR_POLYLINETO, pts);
        } else if (e.isCurveTo()) {
            QList<QPoint> pts;
            while (i + 2 < n && path.elementAt(i).isCurveTo()) {
                pts << mapI(path.elementAt(i)) << mapI(path.elementAt(i + 1)) << mapI(path.elementAt(i + 2));
                i += 3;
            }
            if (pts.isEmpty()) {
                ++i;
                continue;
            }
            last = pts.last();
            writePoints(EMR_POLYBEZIERTO16, EMR_POLYBEZIERTO, pts);
        } else {
            ++i;
        }
    }
    closeIfBack();
    record0(EMR_ENDPATH);
}

// Other readers close every figure of a stroked path, so open figures drawn without a fill go out as
// polylines and Bezier runs, which stay open everywhere. False, with nothing written, when a figure is
// closed.
bool EmfPaintEngine::writeOpenFigures(const QPainterPath &path) {
    struct Figure {
        QList<QPoint> points; // the polyline
        QList<QPoint> bezier; // the same as cubic segments: start, then three points a segment
        bool curved = false;
    };
    QList<Figure> figures;
    const int n = path.elementCount();
    for (int i = 0; i < n;) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || figures.isEmpty()) {
            const QPoint start = mapI(e);
            figures.append({{start}, {start}, false});
            if (e.isMoveTo()) {
                ++i;
                continue;
            }
        }
        Figure &f = figures.last();
        if (e.isCurveTo() && i + 2 < n) {
            f.bezier << mapI(e) << mapI(path.elementAt(i + 1)) << mapI(path.elementAt(i + 2));
            f.points << f.bezier.last();
            f.curved = true;
            i += 3;
        } else {
            const QPoint to = mapI(e);
            f.bezier << f.points.last() << to << to; // a straight cubic
            f.points << to;
            ++i;
        }
    }
    for (const Figure &f : std::as_const(figures))
        if (f.points.size() > 1 && f.points.first() == f.points.last())
            return false;
    for (const Figure &f : std::as_const(figures)) {
        if (f.points.size() < 2)
            continue;
        if (f.curved)
            writePoints(EMR_POLYBEZIER16, EMR_POLYBEZIER, f.bezier);
        else
            writePoints(EMR_POLYLINE16, EMR_POLYLINE, f.points);
    }
    return true;
}

void EmfPaintEngine::drawPath(const QPainterPath &path) {
    if (path.isEmpty())
        return;
    ensureMapping(true);
    const bool stroke = m_pen.style() != Qt::NoPen;
    const bool fill = m_brush.style() != Qt::NoBrush;
    if (!stroke && !fill)
        return;
    selectPen();
    if (!fill && writeOpenFigures(path))
        return;
    selectBrush();
    setPolyFill(path.fillRule() == Qt::WindingFill ? WINDING : ALTERNATE);
    writePathBody(path);
    const QRectF b = path.controlPointRect();
    recordBox(stroke && fill ? EMR_STROKEANDFILLPATH
              : stroke       ? EMR_STROKEPATH
                             : EMR_FILLPATH,
              QRect(mapI(b.topLeft()), mapI(b.bottomRight())).normalized());
}
