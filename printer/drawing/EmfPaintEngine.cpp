#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Units.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QTextItem>

#include <algorithm>
#include <cmath>

using namespace emf;

namespace {

constexpr int SubUnits = 16;       // logical units per user unit under a world transform
constexpr size_t ObjectLimit = 40; // created objects kept for reuse

quint32 colorOf(const QColor &c) {
    return colorRef(c.red(), c.green(), c.blue());
}

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

void writeRectL(ByteWriter &w, const QRect &r) {
    w.i32(r.left());
    w.i32(r.top());
    w.i32(r.right());
    w.i32(r.bottom());
}

} // namespace

EmfPaintEngine::EmfPaintEngine(EmfRecorder *device)
    : QPaintEngine(PrimitiveTransform | PixmapTransform | PatternTransform | PatternBrush | PainterPaths),
      m_device(device) {}

bool EmfPaintEngine::begin(QPaintDevice *) {
    m_transform = QTransform();
    m_clipDirty = true;
    setActive(true);
    return true;
}

bool EmfPaintEngine::end() {
    if (m_clipSaved) {
        record1(EMR_RESTOREDC, quint32(-1));
        m_dc = m_savedDc;
        m_clipSaved = false;
    }
    setActive(false);
    return true;
}

QByteArray &EmfPaintEngine::begin(quint32 type) {
    m_recordStart = m_records.size();
    ByteWriter w(m_records);
    w.u32(type);
    w.u32(0);
    return m_records;
}

void EmfPaintEngine::finish() {
    ByteWriter(m_records).pad4();
    ByteWriter::putU32(m_records, m_recordStart + 4, quint32(m_records.size() - m_recordStart));
    ++m_recordCount;
}

void EmfPaintEngine::record0(quint32 type) {
    begin(type);
    finish();
}

void EmfPaintEngine::record1(quint32 type, quint32 v) {
    ByteWriter w(begin(type));
    w.u32(v);
    finish();
}

void EmfPaintEngine::recordRect(quint32 type, const QRect &r) {
    ByteWriter w(begin(type));
    w.i32(r.left());
    w.i32(r.top());
    w.i32(r.right());
    w.i32(r.bottom());
    finish();
}

QByteArray EmfPaintEngine::bytes() const {
    const int width = m_device ? m_device->width() : 1;
    const int height = m_device ? m_device->height() : 1;
    const double dpiX = m_device ? m_device->dpiX() : 96;
    const double dpiY = m_device ? m_device->dpiY() : 96;
    QByteArray out;
    out.reserve(HeaderBytes + m_records.size() + 20);
    ByteWriter w(out);
    w.u32(EMR_HEADER);
    w.u32(HeaderBytes);
    writeRectL(w, QRect(0, 0, width, height)); // bounds, inclusive
    w.i32(0);                                  // frame in 0.01 mm
    w.i32(0);
    w.i32(rnd(width * 2540.0 / dpiX));
    w.i32(rnd(height * 2540.0 / dpiY));
    w.u32(Signature);
    w.u32(Version);
    w.u32(quint32(HeaderBytes + m_records.size() + 20));
    w.u32(quint32(m_recordCount + 2));
    w.u16(quint16(std::min<quint32>(m_maxHandle + 1, 0xFFFF)));
    w.u16(0);
    w.u32(0); // description
    w.u32(0);
    w.u32(0); // palette entries
    w.i32(width);
    w.i32(height);
    w.i32(std::max(1, rnd(width * 25.4 / dpiX)));
    w.i32(std::max(1, rnd(height * 25.4 / dpiY)));
    w.u32(0); // pixel format
    w.u32(0);
    w.u32(0); // OpenGL
    w.i32(std::max(1, rnd(width * 25400.0 / dpiX)));
    w.i32(std::max(1, rnd(height * 25400.0 / dpiY)));
    out.append(m_records);
    w.u32(EMR_EOF);
    w.u32(20);
    w.u32(0);
    w.u32(16);
    w.u32(20);
    return out;
}

void EmfPaintEngine::updateState(const QPaintEngineState &state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyPen)
        m_pen = state.pen();
    if (flags & DirtyBrush)
        m_brush = state.brush();
    if (flags & DirtyFont)
        m_font = state.font();
    if (flags & DirtyBackground)
        m_bgBrush = state.backgroundBrush();
    if (flags & DirtyBackgroundMode)
        m_bgMode = state.backgroundMode();
    if (flags & DirtyTransform)
        m_transform = state.transform();
    if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled | DirtyTransform))
        m_clipDirty = true;
}

// Clipping lives in a saved device context: a change restores the unclipped state, then saves and clips
// again, so a painter's save/restore never leaves a stale clip behind.
void EmfPaintEngine::applyClip() {
    if (!m_clipDirty)
        return;
    m_clipDirty = false;
    QPainter *p = painter();
    const bool clipping = p && p->hasClipping();
    QPainterPath clip;
    if (clipping)
        clip = p->combinedTransform().map(p->clipPath());
    if (clipping == m_clipSaved && (!clipping || clip == m_clip))
        return;
    m_clip = clip;
    if (m_clipSaved) {
        record1(EMR_RESTOREDC, quint32(-1));
        m_dc = m_savedDc;
        m_clipSaved = false;
    }
    if (!clipping)
        return;
    record0(EMR_SAVEDC);
    m_savedDc = m_dc;
    m_clipSaved = true;
    if (m_dc.scaled) {
        ByteWriter w(begin(EMR_MODIFYWORLDTRANSFORM));
        for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f})
            w.f32(f);
        w.u32(MWT_IDENTITY);
        finish();
        m_dc.scaled = false;
        m_dc.world = QTransform();
    }
    const QRectF box = clip.boundingRect();
    QPainterPath boxPath;
    boxPath.addRect(box);
    const bool isRect = clip.isEmpty() || (clip.subtracted(boxPath).isEmpty() && boxPath.subtracted(clip).isEmpty());
    if (isRect) {
        recordRect(EMR_INTERSECTCLIPRECT, clip.isEmpty() ? QRect(0, 0, 0, 0)
                                                         : QRect(QPoint(rnd(box.left()), rnd(box.top())),
                                                                 QPoint(rnd(box.right()), rnd(box.bottom()))));
        return;
    }
    const QRegion region(clip.toFillPolygon().toPolygon(), clip.fillRule());
    ByteWriter w(begin(EMR_EXTSELECTCLIPRGN));
    const int n = int(region.rectCount());
    w.u32(quint32(32 + 16 * n));
    w.u32(RGN_COPY);
    w.u32(32);
    w.u32(1);
    w.u32(quint32(n));
    w.u32(quint32(16 * n));
    const QRect bound = region.boundingRect();
    w.i32(bound.left());
    w.i32(bound.top());
    w.i32(bound.right() + 1);
    w.i32(bound.bottom() + 1);
    for (const QRect &r : region) {
        w.i32(r.left());
        w.i32(r.top());
        w.i32(r.right() + 1);
        w.i32(r.bottom() + 1);
    }
    finish();
}

void EmfPaintEngine::ensureMapping(bool needTransform) {
    applyClip();
    const bool scaled = needTransform && m_transform.type() > QTransform::TxTranslate;
    if (!scaled) {
        if (m_dc.scaled) {
            ByteWriter w(begin(EMR_MODIFYWORLDTRANSFORM));
            for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f})
                w.f32(f);
            w.u32(MWT_IDENTITY);
            finish();
            m_dc.scaled = false;
            m_dc.world = QTransform();
        }
        return;
    }
    const QTransform world = QTransform::fromScale(1.0 / SubUnits, 1.0 / SubUnits) * m_transform;
    if (m_dc.scaled && m_dc.world == world)
        return;
    ByteWriter w(begin(EMR_SETWORLDTRANSFORM));
    w.f32(float(world.m11()));
    w.f32(float(world.m12()));
    w.f32(float(world.m21()));
    w.f32(float(world.m22()));
    w.f32(float(world.dx()));
    w.f32(float(world.dy()));
    finish();
    m_dc.scaled = true;
    m_dc.world = world;
}

QPointF EmfPaintEngine::map(const QPointF &p) const {
    return m_dc.scaled ? p * SubUnits : m_transform.map(p);
}

QPoint EmfPaintEngine::mapI(const QPointF &p) const {
    const QPointF q = map(p);
    return QPoint(rnd(q.x()), rnd(q.y()));
}

// A box as the rectangle records hold it: one unit wider and taller than the painter's rectangle.
QRect EmfPaintEngine::gdiBox(const QRectF &r) const {
    const QRectF n = r.normalized();
    const QPoint tl = mapI(n.topLeft());
    const QPoint br = mapI(n.bottomRight());
    return QRect(QPoint(std::min(tl.x(), br.x()), std::min(tl.y(), br.y())),
                 QPoint(std::max(tl.x(), br.x()) + 1, std::max(tl.y(), br.y()) + 1));
}

quint32 EmfPaintEngine::object(const QByteArray &key, const QByteArray &body, quint32 type) {
    for (Object &o : m_objects)
        if (o.key == key) {
            o.lastUse = ++m_useClock;
            return o.handle;
        }
    releaseUnused();
    quint32 handle = 1;
    while (handle < m_handleUsed.size() && m_handleUsed[handle])
        ++handle;
    if (handle >= m_handleUsed.size())
        m_handleUsed.resize(handle + 1, false);
    m_handleUsed[handle] = true;
    m_maxHandle = std::max(m_maxHandle, handle);
    ByteWriter w(begin(type));
    w.u32(handle);
    w.bytes(body.constData(), body.size());
    finish();
    m_objects.push_back({key, handle, ++m_useClock});
    return handle;
}

void EmfPaintEngine::releaseUnused() {
    while (m_objects.size() >= ObjectLimit) {
        auto inUse = [this](quint32 h) {
            return h == m_dc.pen || h == m_dc.brush || h == m_dc.font ||
                   (m_clipSaved && (h == m_savedDc.pen || h == m_savedDc.brush || h == m_savedDc.font));
        };
        auto victim = m_objects.end();
        for (auto it = m_objects.begin(); it != m_objects.end(); ++it)
            if (!inUse(it->handle) && (victim == m_objects.end() || it->lastUse < victim->lastUse))
                victim = it;
        if (victim == m_objects.end())
            return;
        record1(EMR_DELETEOBJECT, victim->handle);
        m_handleUsed[victim->handle] = false;
        m_objects.erase(victim);
    }
}

void EmfPaintEngine::selectObject(quint32 handle, quint32 &slot) {
    if (slot == handle)
        return;
    record1(EMR_SELECTOBJECT, handle);
    slot = handle;
}

void EmfPaintEngine::selectNullPen() {
    selectObject(StockObject | NULL_PEN, m_dc.pen);
}
void EmfPaintEngine::selectNullBrush() {
    selectObject(StockObject | NULL_BRUSH, m_dc.brush);
}

void EmfPaintEngine::selectPen() {
    if (m_pen.style() == Qt::NoPen) {
        selectNullPen();
        return;
    }
    quint32 style = PS_SOLID;
    switch (m_pen.style()) {
    case Qt::DashLine:
        style = PS_DASH;
        break;
    case Qt::DotLine:
        style = PS_DOT;
        break;
    case Qt::DashDotLine:
        style = PS_DASHDOT;
        break;
    case Qt::DashDotDotLine:
        style = PS_DASHDOTDOT;
        break;
    default:
        break;
    }
    const bool cosmetic = m_pen.isCosmetic() || m_pen.widthF() <= 0;
    quint32 width = 1;
    if (!cosmetic) {
        style |= PS_GEOMETRIC;
        switch (m_pen.capStyle()) {
        case Qt::FlatCap:
            style |= PS_ENDCAP_FLAT;
            break;
        case Qt::RoundCap:
            style |= PS_ENDCAP_ROUND;
            break;
        default:
            style |= PS_ENDCAP_SQUARE;
            break;
        }
        switch (m_pen.joinStyle()) {
        case Qt::RoundJoin:
            style |= PS_JOIN_ROUND;
            break;
        case Qt::BevelJoin:
            style |= PS_JOIN_BEVEL;
            break;
        default:
            style |= PS_JOIN_MITER;
            break;
        }
        width = quint32(std::max(1, rnd(m_pen.widthF() * (m_dc.scaled ? SubUnits : 1))));
    }
    QByteArray body;
    ByteWriter w(body);
    w.u32(0); // no bitmap
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.u32(style);
    w.u32(width);
    w.u32(BS_SOLID);
    w.u32(colorOf(m_pen.color()));
    w.u32(0);
    w.u32(0);
    selectObject(object(QByteArray("P") + body, body, EMR_EXTCREATEPEN), m_dc.pen);
}

void EmfPaintEngine::selectBrush() {
    quint32 style = BS_SOLID;
    quint32 hatch = 0;
    QColor color = m_brush.color();
    switch (m_brush.style()) {
    case Qt::NoBrush:
        selectNullBrush();
        return;
    case Qt::HorPattern:
        style = BS_HATCHED;
        hatch = HS_HORIZONTAL;
        break;
    case Qt::VerPattern:
        style = BS_HATCHED;
        hatch = HS_VERTICAL;
        break;
    case Qt::CrossPattern:
        style = BS_HATCHED;
        hatch = HS_CROSS;
        break;
    case Qt::BDiagPattern:
        style = BS_HATCHED;
        hatch = HS_BDIAGONAL;
        break;
    case Qt::FDiagPattern:
        style = BS_HATCHED;
        hatch = HS_FDIAGONAL;
        break;
    case Qt::DiagCrossPattern:
        style = BS_HATCHED;
        hatch = HS_DIAGCROSS;
        break;
    case Qt::Dense1Pattern:
    case Qt::Dense2Pattern:
    case Qt::Dense3Pattern:
    case Qt::Dense4Pattern:
    case Qt::Dense5Pattern:
    case Qt::Dense6Pattern:
    case Qt::Dense7Pattern: {
        // Halftone patterns become their average tone over white.
        static const double coverage[] = {0.94, 0.88, 0.63, 0.5, 0.37, 0.12, 0.06};
        const double c = coverage[m_brush.style() - Qt::Dense1Pattern];
        color = QColor::fromRgbF(float(1 - c + c * color.redF()), float(1 - c + c * color.greenF()),
                                 float(1 - c + c * color.blueF()));
        break;
    }
    default:
        break;
    }
    QByteArray body;
    ByteWriter w(body);
    w.u32(style);
    w.u32(colorOf(color));
    w.u32(hatch);
    selectObject(object(QByteArray("B") + body, body, EMR_CREATEBRUSHINDIRECT), m_dc.brush);
    if (style == BS_HATCHED) {
        setBkMode(m_bgMode == Qt::OpaqueMode ? OPAQUE : TRANSPARENT);
        setBkColor(colorOf(m_bgBrush.color()));
    }
}

void EmfPaintEngine::selectFont(const QFont &font, qreal pixelSize) {
    if (pixelSize != m_fontRecordPixels || font != m_fontRecordFont) {
        m_fontRecordBody = fontRecordBody(font, pixelSize);
        m_fontRecordKey = QByteArray("F") + m_fontRecordBody;
        ByteWriter(m_fontRecordKey).f64(pixelSize);
        m_fontRecordFont = font;
        m_fontRecordPixels = pixelSize;
    }
    const QByteArray &key = m_fontRecordKey;
    const QByteArray &body = m_fontRecordBody;
    for (const Object &o : m_objects)
        if (o.key == key) {
            selectObject(object(key, body, EMR_EXTCREATEFONTINDIRECTW), m_dc.font);
            return;
        }
    // The exact size first, for our own player: the font record can only hold whole units.
    ByteWriter c(begin(EMR_GDICOMMENT));
    c.u32(16);
    c.u32(CommentId);
    c.u32(CommentFontPixelSize);
    c.f64(pixelSize);
    finish();
    selectObject(object(key, body, EMR_EXTCREATEFONTINDIRECTW), m_dc.font);
}

QByteArray EmfPaintEngine::fontRecordBody(const QFont &font, qreal pixelSize) {
    QByteArray body;
    ByteWriter w(body);
    w.i32(-std::max(1, rnd(pixelSize)));
    w.i32(0);
    w.i32(0);
    w.i32(0);
    w.i32(std::clamp(int(font.weight()), 1, 1000));
    w.u8(font.italic() ? 1 : 0);
    w.u8(0); // underline and strike-out arrive as their own strokes
    w.u8(0);
    w.u8(DEFAULT_CHARSET);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    QString face = font.family();
    if (face.isEmpty())
        face = QFontInfo(font).family();
    face.truncate(31);
    for (int i = 0; i < 32; ++i)
        w.u16(i < face.size() ? face.at(i).unicode() : 0);
    return body;
}

void EmfPaintEngine::setTextColor(quint32 c) {
    if (m_dc.textColor != c) {
        record1(EMR_SETTEXTCOLOR, c);
        m_dc.textColor = c;
    }
}

void EmfPaintEngine::setBkMode(int m) {
    if (m_dc.bkMode != m) {
        record1(EMR_SETBKMODE, quint32(m));
        m_dc.bkMode = m;
    }
}

void EmfPaintEngine::setBkColor(quint32 c) {
    if (m_dc.bkColor != c) {
        record1(EMR_SETBKCOLOR, c);
        m_dc.bkColor = c;
    }
}

void EmfPaintEngine::setTextAlign(quint32 a) {
    if (m_dc.textAlign != a) {
        record1(EMR_SETTEXTALIGN, a);
        m_dc.textAlign = a;
    }
}

void EmfPaintEngine::setPolyFill(int m) {
    if (m_dc.polyFill != m) {
        record1(EMR_SETPOLYFILLMODE, quint32(m));
        m_dc.polyFill = m;
    }
}

void EmfPaintEngine::drawRects(const QRectF *rects, int count) {
    ensureMapping(true);
    selectPen();
    selectBrush();
    for (int i = 0; i < count; ++i)
        recordRect(EMR_RECTANGLE, gdiBox(rects[i]));
}

void EmfPaintEngine::drawEllipse(const QRectF &rect) {
    ensureMapping(true);
    selectPen();
    selectBrush();
    recordRect(EMR_ELLIPSE, gdiBox(rect));
}

void EmfPaintEngine::drawRoundRect(const QRectF &rect, qreal ellipseWidth, qreal ellipseHeight) {
    // Called beside the painter, whose pending state changes have not reached us yet. Afterwards the state the
    // painter last handed us comes back: the painter may restore its own without telling us (it believes we
    // never saw the pending one), and text drawn next would take this call's pen as its colour.
    const PainterState state = takePainterState();
    ensureMapping(true);
    selectPen();
    selectBrush();
    const QRect box = gdiBox(rect);
    const int scale = m_dc.scaled ? SubUnits : 1;
    ByteWriter w(begin(EMR_ROUNDRECT));
    writeRectL(w, box);
    w.i32(std::max(0, rnd(ellipseWidth * scale * (m_dc.scaled ? 1 : std::abs(m_transform.m11())))));
    w.i32(std::max(0, rnd(ellipseHeight * scale * (m_dc.scaled ? 1 : std::abs(m_transform.m22())))));
    finish();
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
        const QPoint a = mapI(lines[i].p1());
        const QPoint b = mapI(lines[i].p2());
        ByteWriter w(begin(EMR_MOVETOEX));
        w.i32(a.x());
        w.i32(a.y());
        finish();
        ByteWriter l(begin(EMR_LINETO));
        l.i32(b.x());
        l.i32(b.y());
        finish();
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
            ByteWriter w(begin(EMR_SETPIXELV));
            w.i32(p.x());
            w.i32(p.y());
            w.u32(colorOf(m_pen.color()));
            finish();
        } else {
            ByteWriter w(begin(EMR_MOVETOEX));
            w.i32(p.x());
            w.i32(p.y());
            finish();
            ByteWriter l(begin(EMR_LINETO));
            l.i32(p.x());
            l.i32(p.y());
            finish();
        }
    }
}

void EmfPaintEngine::writePoints(quint32 type16, quint32 type32, const QList<QPoint> &pts) {
    const bool small = fitsInt16(pts);
    ByteWriter w(begin(small ? type16 : type32));
    writeRectL(w, boundsOf(pts));
    w.u32(quint32(pts.size()));
    for (const QPoint &p : pts) {
        if (small) {
            w.i16(qint16(p.x()));
            w.i16(qint16(p.y()));
        } else {
            w.i32(p.x());
            w.i32(p.y());
        }
    }
    finish();
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
            ByteWriter w(begin(EMR_MOVETOEX));
            w.i32(start.x());
            w.i32(start.y());
            finish();
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
                pts.append(mapI(path.elementAt(i)));
                pts.append(mapI(path.elementAt(i + 1)));
                pts.append(mapI(path.elementAt(i + 2)));
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
    QRectF b = path.controlPointRect();
    const QRect bounds(mapI(b.topLeft()), mapI(b.bottomRight()));
    ByteWriter w(begin(stroke && fill ? EMR_STROKEANDFILLPATH : stroke ? EMR_STROKEPATH : EMR_FILLPATH));
    writeRectL(w, bounds.normalized());
    finish();
}

void EmfPaintEngine::drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) {
    drawBitmap(r, pm.toImage(), sr);
}

void EmfPaintEngine::drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags) {
    drawBitmap(r, image, sr);
}

void EmfPaintEngine::drawBitmap(const QRectF &r, const QImage &image, const QRectF &sr) {
    if (image.isNull() || r.isEmpty())
        return;
    const int sx = std::clamp(int(std::floor(sr.left())), 0, image.width());
    const int sy = std::clamp(int(std::floor(sr.top())), 0, image.height());
    const int ex = std::clamp(int(std::ceil(sr.right())), sx, image.width());
    const int ey = std::clamp(int(std::ceil(sr.bottom())), sy, image.height());
    if (ex <= sx || ey <= sy)
        return;
    QImage part = (sx == 0 && sy == 0 && ex == image.width() && ey == image.height())
                      ? image
                      : image.copy(sx, sy, ex - sx, ey - sy);
    bool alpha = false;
    if (part.hasAlphaChannel()) {
        part = part.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < part.height() && !alpha; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(part.constScanLine(y));
            for (int x = 0; x < part.width(); ++x)
                if (qAlpha(line[x]) != 255) {
                    alpha = true;
                    break;
                }
        }
    }
    if (!alpha)
        part = part.convertToFormat(QImage::Format_BGR888);
    ensureMapping(true);
    const QRectF n = r.normalized();
    const QPoint tl = mapI(n.topLeft());
    const QPoint br = mapI(n.bottomRight());
    const int w = part.width();
    const int h = part.height();
    const qsizetype stride = part.bytesPerLine();
    const quint32 bitsSize = quint32(stride * h);
    if (!alpha && m_dc.stretchMode != 3) {
        record1(EMR_SETSTRETCHBLTMODE, 3);
        m_dc.stretchMode = 3;
    }
    ByteWriter out(begin(alpha ? EMR_ALPHABLEND : EMR_STRETCHDIBITS));
    writeRectL(out, QRect(tl, br - QPoint(1, 1)));
    if (alpha) {
        out.i32(tl.x());
        out.i32(tl.y());
        out.i32(br.x() - tl.x());
        out.i32(br.y() - tl.y());
        out.u8(0); // source over, constant alpha 255, per-pixel alpha
        out.u8(0);
        out.u8(255);
        out.u8(1);
        out.i32(0);
        out.i32(0);
        for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f})
            out.f32(f);
        out.u32(0);
        out.u32(0);
        out.u32(108);
        out.u32(40);
        out.u32(148);
        out.u32(bitsSize);
        out.i32(w);
        out.i32(h);
    } else {
        out.i32(tl.x());
        out.i32(tl.y());
        out.i32(0);
        out.i32(0);
        out.i32(w);
        out.i32(h);
        out.u32(80);
        out.u32(40);
        out.u32(120);
        out.u32(bitsSize);
        out.u32(0);
        out.u32(SRCCOPY);
        out.i32(br.x() - tl.x());
        out.i32(br.y() - tl.y());
    }
    out.u32(40);
    out.i32(w);
    out.i32(h); // bottom-up rows
    out.u16(1);
    out.u16(alpha ? 32 : 24);
    out.u32(0);
    out.u32(bitsSize);
    out.zeros(16);
    for (int y = h - 1; y >= 0; --y)
        out.bytes(reinterpret_cast<const char *>(part.constScanLine(y)), stride);
    finish();
}

void EmfPaintEngine::drawTextItem(const QPointF &p, const QTextItem &textItem) {
    recordText(p, textItem.text(), textItem.font(), textItem.width(), textItem.ascent(), textItem.descent());
}

void EmfPaintEngine::drawText(const QPointF &origin, const QString &text, const QFont &font, qreal width) {
    const PainterState state = takePainterState();
    const QFontMetricsF &metrics = textAdvances(font).metrics();
    recordText(origin, text, font, width, metrics.ascent(), metrics.descent());
    restorePainterState(state);
}

canvas::TextAdvances &EmfPaintEngine::textAdvances(const QFont &font) {
    if (!m_textAdvances || m_textAdvancesFont != font) {
        m_textAdvances.emplace(font, m_device);
        m_textAdvancesFont = font;
    }
    return *m_textAdvances;
}

void EmfPaintEngine::recordText(const QPointF &p, const QString &text, const QFont &font, qreal textWidth, qreal ascent,
                                qreal descent) {
    if (text.isEmpty())
        return;
    ensureMapping(true);
    qreal pixelSize = font.pixelSize() > 0 ? qreal(font.pixelSize()) : font.pointSizeF() * m_device->dpiY() / 72.0;
    const qreal scale = m_dc.scaled ? SubUnits : 1;
    selectFont(font, pixelSize * scale);
    setTextColor(colorOf(m_pen.color()));
    setBkMode(m_bgMode == Qt::OpaqueMode ? OPAQUE : TRANSPARENT);
    if (m_bgMode == Qt::OpaqueMode)
        setBkColor(colorOf(m_bgBrush.color()));
    setTextAlign(TA_BASELINE);

    // Advances spread so their sum is the run's width.
    canvas::TextAdvances &advances = textAdvances(font);
    const int n = int(text.size());
    m_advances.assign(size_t(n), 0);
    std::vector<qreal> &advance = m_advances;
    qreal natural = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isLowSurrogate())
            continue;
        advance[size_t(i)] = (c.isHighSurrogate() && i + 1 < n) ? advances.metrics().horizontalAdvance(text.mid(i, 2))
                                                                : advances.advance(c);
        natural += advance[size_t(i)];
    }
    const qreal width = textWidth > 0 ? textWidth : natural;
    const qreal k = natural > 0 ? width / natural : 1;
    const QPoint ref = mapI(p);
    const qsizetype stringBytes = (2 * n + 3) / 4 * 4;
    ByteWriter w(begin(EMR_EXTTEXTOUTW));
    // Bounds are device pixels, also under a world transform.
    const QRectF box = m_transform.mapRect(QRectF(p.x(), p.y() - ascent, width, ascent + descent));
    writeRectL(w, QRect(QPoint(rnd(box.left()), rnd(box.top())), QPoint(rnd(box.right()), rnd(box.bottom()))));
    w.u32(m_dc.scaled ? GM_ADVANCED : GM_COMPATIBLE);
    w.f32(0);
    w.f32(0);
    w.i32(ref.x());
    w.i32(ref.y());
    w.u32(quint32(n));
    w.u32(76);
    w.u32(0);
    writeRectL(w, QRect(0, 0, 0, 0));
    w.u32(quint32(76 + stringBytes));
    // The string and its advances written in place: a page holds thousands of them.
    char *out = w.grow(stringBytes + 4 * qsizetype(n));
    for (int i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        *out++ = char(u);
        *out++ = char(u >> 8);
    }
    for (qsizetype pad = stringBytes - 2 * n; pad > 0; --pad)
        *out++ = 0;
    qreal x = 0;
    int placed = 0;
    for (int i = 0; i < n; ++i) {
        x += advance[size_t(i)] * k * scale;
        const int next = rnd(x);
        const quint32 d = quint32(next - placed);
        *out++ = char(d);
        *out++ = char(d >> 8);
        *out++ = char(d >> 16);
        *out++ = char(d >> 24);
        placed = next;
    }
    finish();
}
