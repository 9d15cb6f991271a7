// Mapping from the painter's coordinates to the records', and the device context's objects and modes: pens,
// brushes and fonts are created once and selected again, colours and modes written only when they change.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/Units.h"

#include <QFontInfo>
#include <QPainter>

#include <algorithm>

using namespace emf;

namespace {

constexpr size_t ObjectLimit = 40; // created objects kept for reuse

} // namespace

void EmfPaintEngine::resetWorld() {
    RecordWriter w = start(EMR_MODIFYWORLDTRANSFORM, layout::Transform::ModifyLength);
    w.f32(layout::Transform::M11, 1.f);
    w.f32(layout::Transform::M22, 1.f);
    w.u32(layout::Transform::Mode, MWT_IDENTITY);
    w.finish();
    m_dc.scaled = false;
    m_dc.world = QTransform();
}

// Whole device pixels where the painter only translates; beyond that, a world transform and coordinates in
// sixteenths of a user unit, so rotated and scaled drawing keeps its precision.
void EmfPaintEngine::ensureMapping(bool needTransform) {
    applyClip();
    const bool scaled = needTransform && m_transform.type() > QTransform::TxTranslate;
    if (!scaled) {
        if (m_dc.scaled)
            resetWorld();
        return;
    }
    const QTransform world = QTransform::fromScale(1.0 / SubUnits, 1.0 / SubUnits) * m_transform;
    if (m_dc.scaled && m_dc.world == world)
        return;
    using T = layout::Transform;
    RecordWriter w = start(EMR_SETWORLDTRANSFORM, T::Length);
    w.f32(T::M11, float(world.m11()));
    w.f32(T::M12, float(world.m12()));
    w.f32(T::M21, float(world.m21()));
    w.f32(T::M22, float(world.m22()));
    w.f32(T::Dx, float(world.dx()));
    w.f32(T::Dy, float(world.dy()));
    w.finish();
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

// The handle of an object with this key, creating it (on the lowest free handle) the first time.
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
    // Every object record starts with its handle; the body is the rest of its fixed part.
    RecordWriter w = start(type, layout::CreateBrush::Handle + 4);
    w.u32(layout::CreateBrush::Handle, handle);
    w.tail().bytes(body.constData(), body.size());
    w.finish();
    m_objects.push_back({key, handle, ++m_useClock});
    return handle;
}

// Deletes the least recently used objects beyond the limit, never one selected now or in the saved state.
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

namespace {

quint32 penStyle(const QPen &pen) {
    switch (pen.style()) {
    case Qt::DashLine:
        return PS_DASH;
    case Qt::DotLine:
        return PS_DOT;
    case Qt::DashDotLine:
        return PS_DASHDOT;
    case Qt::DashDotDotLine:
        return PS_DASHDOTDOT;
    default:
        return PS_SOLID;
    }
}

quint32 penEnds(const QPen &pen) {
    const quint32 cap = pen.capStyle() == Qt::FlatCap    ? PS_ENDCAP_FLAT
                        : pen.capStyle() == Qt::RoundCap ? PS_ENDCAP_ROUND
                                                         : PS_ENDCAP_SQUARE;
    const quint32 join = pen.joinStyle() == Qt::RoundJoin   ? PS_JOIN_ROUND
                         : pen.joinStyle() == Qt::BevelJoin ? PS_JOIN_BEVEL
                                                            : PS_JOIN_MITER;
    return cap | join;
}

// A brush's style and hatch; halftone patterns become their average tone over white.
quint32 brushStyle(const QBrush &brush, quint32 &hatch, QColor &color) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                             Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    static const quint32 hatchCodes[] = {HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL,
                                         HS_BDIAGONAL,  HS_CROSS,    HS_DIAGCROSS};
    for (size_t i = 0; i < std::size(hatches); ++i)
        if (brush.style() == hatches[i]) {
            hatch = hatchCodes[i];
            return BS_HATCHED;
        }
    if (brush.style() >= Qt::Dense1Pattern && brush.style() <= Qt::Dense7Pattern) {
        static const double coverage[] = {0.94, 0.88, 0.63, 0.5, 0.37, 0.12, 0.06};
        const double c = coverage[brush.style() - Qt::Dense1Pattern];
        color = QColor::fromRgbF(float(1 - c + c * color.redF()), float(1 - c + c * color.greenF()),
                                 float(1 - c + c * color.blueF()));
    }
    return BS_SOLID;
}

} // namespace

void EmfPaintEngine::selectPen() {
    if (m_pen.style() == Qt::NoPen) {
        selectObject(StockObject | NULL_PEN, m_dc.pen);
        return;
    }
    quint32 style = penStyle(m_pen);
    quint32 width = 1;
    if (!m_pen.isCosmetic() && m_pen.widthF() > 0) {
        style |= PS_GEOMETRIC | penEnds(m_pen);
        width = quint32(std::max(1, rnd(m_pen.widthF() * (m_dc.scaled ? SubUnits : 1))));
    }
    using P = layout::ExtCreatePen;
    QByteArray body(P::Length - P::BmiOffset, '\0'); // no bitmap, no style entries
    auto put = [&](quint32 at, quint32 v) { ByteWriter::putU32(body, at - P::BmiOffset, v); };
    put(P::Style, style);
    put(P::Width, width);
    put(P::BrushStyle, BS_SOLID);
    put(P::Color, colorOf(m_pen.color()));
    selectObject(object(QByteArray("P") + body, body, EMR_EXTCREATEPEN), m_dc.pen);
}

void EmfPaintEngine::selectBrush() {
    if (m_brush.style() == Qt::NoBrush) {
        selectObject(StockObject | NULL_BRUSH, m_dc.brush);
        return;
    }
    quint32 hatch = 0;
    QColor color = m_brush.color();
    const quint32 style = brushStyle(m_brush, hatch, color);
    using B = layout::CreateBrush;
    QByteArray body(B::Length - B::Style, '\0');
    ByteWriter::putU32(body, B::Style - B::Style, style);
    ByteWriter::putU32(body, B::Color - B::Style, colorOf(color));
    ByteWriter::putU32(body, B::Hatch - B::Style, hatch);
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
    const QByteArray &body = m_fontRecordBody;
    const QByteArray &key = m_fontRecordKey;
    const bool known = std::any_of(m_objects.begin(), m_objects.end(), [&](const Object &o) { return o.key == key; });
    if (!known) {
        // The exact size first, for our own player: the font record can only hold whole units.
        using C = layout::Comment;
        RecordWriter c = start(EMR_GDICOMMENT, C::Length);
        c.u32(C::DataSize, C::Length - C::Identifier);
        c.u32(C::Identifier, CommentId);
        c.u32(C::Kind, CommentFontPixelSize);
        c.f64(C::Value, pixelSize);
        c.finish();
    }
    selectObject(object(key, body, EMR_EXTCREATEFONTINDIRECTW), m_dc.font);
}

// The body of a font record after its type and handle.
QByteArray EmfPaintEngine::fontRecordBody(const QFont &font, qreal pixelSize) {
    using F = layout::CreateFont;
    QByteArray body(F::Length - F::Height, '\0');
    auto at = [](quint32 offset) { return offset - F::Height; };
    ByteWriter::putU32(body, at(F::Height), quint32(-std::max(1, rnd(pixelSize))));
    ByteWriter::putU32(body, at(F::Weight), quint32(std::clamp(int(font.weight()), 1, 1000)));
    body[at(F::Italic)] = font.italic() ? 1 : 0; // underline and strike-out arrive as their own strokes
    body[at(F::CharSet)] = char(DEFAULT_CHARSET);
    QString face = font.family();
    if (face.isEmpty())
        face = QFontInfo(font).family();
    face.truncate(F::FaceChars - 1);
    for (qsizetype i = 0; i < face.size(); ++i) {
        body[at(F::FaceName) + 2 * i] = char(face.at(i).unicode());
        body[at(F::FaceName) + 2 * i + 1] = char(face.at(i).unicode() >> 8);
    }
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
