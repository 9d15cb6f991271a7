#include "printer/drawing/EmfPlayer.h"

#include "printer/drawing/Dib.h"
#include "printer/drawing/EmfFormat.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

using namespace emf;

namespace {

constexpr double HugeCoordinate = 1e7; // device pixels beyond this are not drawn
constexpr int MaxSaveDepth = 1024;
constexpr quint32 MaxHandles = 65535;

QColor colorFrom(quint32 ref) {
    return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}

struct GdiObject {
    enum Kind { Pen, Brush, Font } kind = Pen;
    QPen pen;
    QBrush brush;
    QFont font;
    double fontPixels = 12; // em height in logical units
    double escapement = 0;  // tenths of a degree
    bool underline = false;
};

struct Dc {
    int mapMode = MM_TEXT;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    GdiObject pen;
    GdiObject brush;
    GdiObject font;
    quint32 textColor = 0;
    quint32 bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    quint32 textAlign = 0;
    int polyFill = ALTERNATE;
    QPointF current;
    bool clipOn = false;
    QPainterPath clip; // reference device pixels
    bool clipIsRegion = false;
    QRegion clipRegion; // the same clip as pixel rectangles, while it came from region records
    Dc() {
        pen.kind = GdiObject::Pen;
        pen.pen = QPen(Qt::black, 0);
        brush.kind = GdiObject::Brush;
        brush.brush = QBrush(Qt::white);
        font.kind = GdiObject::Font;
        font.font = QFont(QStringLiteral("MS Sans Serif"));
        font.fontPixels = 13;
    }
};

// One record with checked access: reads outside the record give 0 and mark it bad.
class Rec {
public:
    Rec(const uchar *p, quint32 size) : m_p(p), m_size(size) {}
    quint32 size() const { return m_size; }
    bool fits(quint64 offset, quint64 length) const { return offset <= m_size && length <= m_size - offset; }
    quint32 u32(quint64 at) const { return fits(at, 4) ? emf::u32(m_p + at) : 0; }
    qint32 i32(quint64 at) const { return fits(at, 4) ? emf::i32(m_p + at) : 0; }
    qint16 i16(quint64 at) const { return fits(at, 2) ? emf::i16(m_p + at) : 0; }
    float f32(quint64 at) const { return fits(at, 4) ? emf::f32(m_p + at) : 0.f; }
    const uchar *at(quint64 offset) const { return m_p + offset; }
    // An exclusive rectangle record box as the painter's rectangle. Programs drawing in a mapping mode
    // whose y axis points up give the corners in either order.
    QRectF box(quint64 at) const {
        const double l = i32(at), t = i32(at + 4), r = i32(at + 8), b = i32(at + 12);
        return QRectF(QPointF(std::min(l, r), std::min(t, b)), QPointF(std::max(l, r) - 1, std::max(t, b) - 1));
    }
    QRectF rect(quint64 at) const {
        return QRectF(QPointF(i32(at), i32(at + 4)), QPointF(i32(at + 8), i32(at + 12))).normalized();
    }

private:
    const uchar *m_p;
    quint32 m_size;
};

bool finite(const QTransform &t) {
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        if (!std::isfinite(v) || std::abs(v) > 1e9)
            return false;
    return std::abs(t.determinant()) > 1e-18;
}

class Playback {
public:
    Playback(const QByteArray &bytes, const Header &header) : m_bytes(bytes), m_header(header) {}

    void play(QPainter *painter, const QRectF &target);
    QList<EmfPlayer::TextRun> texts;

private:
    void record(quint32 type, const Rec &r);
    void updateTransform();
    void applyClip();
    void setClip(const QPainterPath &devicePath, int mode, const QRegion *asRegion = nullptr);
    QTransform pageTransform() const; // logical -> reference device
    bool drawable(const QRectF &logical) const;
    void preparePen(bool on);
    void prepareBrush(bool on);
    void drawShape(const QPainterPath &path, bool stroke, bool fill);
    void text(const Rec &r, bool wide);
    void bitmap(quint32 type, const Rec &r);
    QPolygonF points(const Rec &r, quint64 countAt, quint64 pointsAt, bool small, quint32 count) const;
    void poly(quint32 type, const Rec &r);
    void polyPoly(quint32 type, const Rec &r);
    void arc(quint32 type, const Rec &r);
    void createFont(const Rec &r);
    void createPen(quint32 type, const Rec &r);
    void createBrush(quint32 type, const Rec &r);
    void selectObject(quint32 handle);
    std::optional<QRegion> region(const Rec &r, quint64 at, quint64 size) const;

    const QByteArray &m_bytes;
    const Header &m_header;
    QPainter *m_painter = nullptr;
    QTransform m_target; // reference device -> painter's user space
    QTransform m_callerTransform;
    QPainterPath m_callerClip;
    bool m_callerClipped = false;
    bool m_valid = true; // current mapping is usable
    Dc m_dc;
    std::vector<Dc> m_saved;
    std::map<quint32, GdiObject> m_objects;
    bool m_inPath = false;
    QPainterPath m_path;
    double m_nextFontPixels = 0;
    std::optional<QFontMetricsF> m_metrics; // of the last text's font
    QFont m_metricsFont;
    double m_deviceDpi = 96;
};

QTransform Playback::pageTransform() const {
    double sx = 1, sy = 1;
    const double unit[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
    switch (m_dc.mapMode) {
    case MM_LOMETRIC:
    case MM_HIMETRIC:
    case MM_LOENGLISH:
    case MM_HIENGLISH:
    case MM_TWIPS:
        sx = m_header.pixelsPerMmX * unit[m_dc.mapMode];
        sy = -m_header.pixelsPerMmY * unit[m_dc.mapMode];
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = m_dc.viewportExt.width() / m_dc.windowExt.width();
        sy = m_dc.viewportExt.height() / m_dc.windowExt.height();
        if (m_dc.mapMode == MM_ISOTROPIC) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default:
        break;
    }
    return QTransform::fromTranslate(-m_dc.windowOrg.x(), -m_dc.windowOrg.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(m_dc.viewportOrg.x(), m_dc.viewportOrg.y());
}

void Playback::updateTransform() {
    const QTransform full = m_dc.world * pageTransform();
    m_valid = finite(full);
    if (m_painter && m_valid)
        m_painter->setWorldTransform(full * m_target * m_callerTransform);
}

void Playback::applyClip() {
    if (!m_painter)
        return;
    m_painter->setWorldTransform(m_callerTransform);
    if (m_callerClipped)
        m_painter->setClipPath(m_callerClip);
    else
        m_painter->setClipping(false);
    if (m_dc.clipOn) {
        m_painter->setWorldTransform(m_target * m_callerTransform);
        m_painter->setClipPath(m_dc.clip, m_callerClipped ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    updateTransform();
}

// Combines a clip in reference pixels with the current one. Clips made of region records combine as
// regions: path operations on a few thousand rectangles take seconds.
void Playback::setClip(const QPainterPath &devicePath, int mode, const QRegion *asRegion) {
    if (!m_dc.clipOn && mode == RGN_AND)
        mode = RGN_COPY;
    if (mode != RGN_COPY && (asRegion || (m_dc.clipOn && m_dc.clipIsRegion))) {
        const QRect everything(-int(HugeCoordinate), -int(HugeCoordinate), 2 * int(HugeCoordinate),
                               2 * int(HugeCoordinate));
        auto toRegion = [](const QPainterPath &path) {
            return QRegion(path.toFillPolygon().toPolygon(), path.fillRule());
        };
        const QRegion current = !m_dc.clipOn        ? QRegion(everything)
                                : m_dc.clipIsRegion ? m_dc.clipRegion
                                                    : toRegion(m_dc.clip);
        const QRegion other = asRegion ? *asRegion : toRegion(devicePath);
        switch (mode) {
        case RGN_AND:
            m_dc.clipRegion = current & other;
            break;
        case RGN_OR:
            m_dc.clipRegion = m_dc.clipOn ? current | other : current;
            break;
        case RGN_XOR:
            m_dc.clipRegion = current ^ other;
            break;
        default:
            m_dc.clipRegion = current - other;
            break;
        }
        m_dc.clipIsRegion = true;
        m_dc.clip = QPainterPath();
        m_dc.clip.addRegion(m_dc.clipRegion);
        m_dc.clipOn = true;
        applyClip();
        return;
    }
    m_dc.clipIsRegion = mode == RGN_COPY && asRegion;
    if (m_dc.clipIsRegion)
        m_dc.clipRegion = *asRegion;
    QPainterPath current = m_dc.clip;
    if (!m_dc.clipOn) {
        current = QPainterPath();
        current.addRect(QRectF(-HugeCoordinate, -HugeCoordinate, 2 * HugeCoordinate, 2 * HugeCoordinate));
    }
    switch (mode) {
    case RGN_AND:
        m_dc.clip = current.intersected(devicePath);
        break;
    case RGN_OR:
        m_dc.clip = m_dc.clipOn ? current.united(devicePath) : current;
        break;
    case RGN_XOR:
        m_dc.clip = current.united(devicePath).subtracted(current.intersected(devicePath));
        break;
    case RGN_DIFF:
        m_dc.clip = current.subtracted(devicePath);
        break;
    default:
        m_dc.clip = devicePath;
        break;
    }
    m_dc.clipOn = true;
    applyClip();
}

bool Playback::drawable(const QRectF &logical) const {
    if (!m_valid)
        return false;
    const QRectF d = (m_dc.world * pageTransform()).mapRect(logical);
    return std::isfinite(d.left()) && std::isfinite(d.right()) && std::isfinite(d.top()) && std::isfinite(d.bottom()) &&
           std::abs(d.left()) < HugeCoordinate && std::abs(d.right()) < HugeCoordinate &&
           std::abs(d.top()) < HugeCoordinate && std::abs(d.bottom()) < HugeCoordinate;
}

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

QPolygonF Playback::points(const Rec &r, quint64, quint64 pointsAt, bool small, quint32 count) const {
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

void Playback::poly(quint32 type, const Rec &r) {
    const bool small = type >= EMR_POLYBEZIER16;
    const quint32 count = r.u32(24);
    const QPolygonF pts = points(r, 24, 28, small, count);
    if (pts.isEmpty())
        return;
    const quint32 kind = small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type;
    QPainterPath path;
    path.setFillRule(m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    switch (kind) {
    case EMR_POLYGON:
        path.addPolygon(pts);
        path.closeSubpath();
        if (m_inPath) {
            m_path.addPath(path);
            return;
        }
        if (m_painter && drawable(pts.boundingRect())) {
            preparePen(true);
            prepareBrush(true);
            m_painter->drawPolygon(pts, path.fillRule());
        }
        return;
    case EMR_POLYLINE:
        if (m_inPath) {
            m_path.moveTo(pts[0]);
            for (const QPointF &p : pts)
                m_path.lineTo(p);
            return;
        }
        if (m_painter && drawable(pts.boundingRect())) {
            preparePen(true);
            m_painter->drawPolyline(pts);
        }
        return;
    case EMR_POLYLINETO:
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
        return;
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIERTO: {
        QPainterPath curve;
        qsizetype i = 0;
        if (kind == EMR_POLYBEZIER) {
            curve.moveTo(pts[0]);
            i = 1;
        } else {
            curve.moveTo(m_dc.current);
        }
        for (; i + 2 < pts.size(); i += 3)
            curve.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
        if (kind == EMR_POLYBEZIERTO)
            m_dc.current = curve.currentPosition();
        if (m_inPath) {
            if (kind == EMR_POLYBEZIERTO && m_path.elementCount() > 0) {
                for (qsizetype j = 0; j + 2 < pts.size(); j += 3)
                    m_path.cubicTo(pts[j], pts[j + 1], pts[j + 2]);
            } else {
                m_path.addPath(curve);
            }
            return;
        }
        drawShape(curve, true, false);
        return;
    }
    default:
        return;
    }
}

void Playback::polyPoly(quint32 type, const Rec &r) {
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    const bool polygon = type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16;
    const quint32 polys = r.u32(24);
    const quint32 total = r.u32(28);
    if (!r.fits(32, quint64(polys) * 4))
        return;
    const quint64 pointsAt = 32 + quint64(polys) * 4;
    const QPolygonF pts = points(r, 28, pointsAt, small, total);
    if (pts.isEmpty())
        return;
    QPainterPath path;
    path.setFillRule(m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    quint64 used = 0;
    for (quint32 i = 0; i < polys; ++i) {
        const quint32 n = r.u32(32 + quint64(i) * 4);
        if (n == 0 || used + n > total)
            return;
        const QPolygonF part = pts.mid(qsizetype(used), qsizetype(n));
        used += n;
        if (polygon) {
            path.addPolygon(part);
            path.closeSubpath();
        } else {
            path.moveTo(part[0]);
            for (const QPointF &p : part)
                path.lineTo(p);
        }
    }
    drawShape(path, true, polygon);
}

void Playback::arc(quint32 type, const Rec &r) {
    const QRectF box = r.box(8);
    if (box.width() <= 0 || box.height() <= 0)
        return;
    const QPointF c = box.center();
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / box.height(), (p.x() - c.x()) / box.width()) * 180 / M_PI;
    };
    const double a1 = angle(QPointF(r.i32(24), r.i32(28)));
    double span = angle(QPointF(r.i32(32), r.i32(36))) - a1;
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

void Playback::createPen(quint32 type, const Rec &r) {
    const quint32 handle = r.u32(8);
    if (handle == 0 || handle > MaxHandles)
        return;
    GdiObject o;
    o.kind = GdiObject::Pen;
    quint32 style;
    qint32 width;
    quint32 color;
    if (type == EMR_CREATEPEN) {
        if (r.size() < 28)
            return;
        style = r.u32(12);
        width = r.i32(16);
        color = r.u32(24);
    } else {
        if (r.size() < 52)
            return;
        style = r.u32(28);
        width = r.i32(32);
        color = r.u32(40);
    }
    const quint32 dash = style & PS_STYLE_MASK;
    if (dash == PS_NULL) {
        o.pen = QPen(Qt::NoPen);
    } else {
        const bool geometric = (style & PS_GEOMETRIC) || width > 1;
        QPen pen(colorFrom(color));
        if (geometric) {
            pen.setWidthF(std::clamp(double(width), 1.0, 32767.0));
            const quint32 cap = style & PS_ENDCAP_MASK, join = style & PS_JOIN_MASK;
            pen.setCapStyle(cap == PS_ENDCAP_FLAT     ? Qt::FlatCap
                            : cap == PS_ENDCAP_SQUARE ? Qt::SquareCap
                                                      : Qt::RoundCap);
            pen.setJoinStyle(join == PS_JOIN_MITER   ? Qt::MiterJoin
                             : join == PS_JOIN_BEVEL ? Qt::BevelJoin
                                                     : Qt::RoundJoin);
            if (!(style & PS_GEOMETRIC)) { // a wide cosmetic-style pen still has round ends
                pen.setCapStyle(Qt::RoundCap);
                pen.setJoinStyle(Qt::RoundJoin);
            }
        } else {
            pen.setWidth(0);
            pen.setCapStyle(Qt::FlatCap);
        }
        switch (dash) {
        case PS_DASH:
            pen.setStyle(Qt::DashLine);
            break;
        case PS_DOT:
        case PS_ALTERNATE:
            pen.setStyle(Qt::DotLine);
            break;
        case PS_DASHDOT:
            pen.setStyle(Qt::DashDotLine);
            break;
        case PS_DASHDOTDOT:
            pen.setStyle(Qt::DashDotDotLine);
            break;
        default:
            break;
        }
        o.pen = pen;
    }
    m_objects[handle] = o;
}

void Playback::createBrush(quint32 type, const Rec &r) {
    const quint32 handle = r.u32(8);
    if (handle == 0 || handle > MaxHandles)
        return;
    GdiObject o;
    o.kind = GdiObject::Brush;
    if (type == EMR_CREATEBRUSHINDIRECT) {
        if (r.size() < 24)
            return;
        const quint32 style = r.u32(12);
        const QColor color = colorFrom(r.u32(16));
        const quint32 hatch = r.u32(20);
        if (style == BS_NULL) {
            o.brush = QBrush(Qt::NoBrush);
        } else if (style == BS_HATCHED) {
            static const Qt::BrushStyle styles[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                    Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
            o.brush = QBrush(color, hatch < 6 ? styles[hatch] : Qt::SolidPattern);
        } else {
            o.brush = QBrush(color);
        }
    } else { // a pattern brush from a bitmap
        const quint32 offBmi = r.u32(16), cbBmi = r.u32(20), offBits = r.u32(24), cbBits = r.u32(28);
        if (!r.fits(offBmi, cbBmi) || !r.fits(offBits, cbBits))
            return;
        const QImage image = decodeDib(r.at(offBmi), cbBmi, r.at(offBits), cbBits);
        if (image.isNull())
            return;
        o.brush = QBrush(image);
    }
    m_objects[handle] = o;
}

void Playback::createFont(const Rec &r) {
    const quint32 handle = r.u32(8);
    if (handle == 0 || handle > MaxHandles || r.size() < 12 + 92)
        return;
    GdiObject o;
    o.kind = GdiObject::Font;
    const qint32 height = r.i32(12);
    QString face;
    for (int i = 0; i < 32; ++i) {
        const quint16 c = emf::u16(r.at(40 + 2 * i));
        if (!c)
            break;
        face.append(QChar(c));
    }
    QFont font(face.isEmpty() ? QStringLiteral("MS Sans Serif") : face);
    const qint32 weight = r.i32(28);
    font.setWeight(QFont::Weight(std::clamp(weight == 0 ? 400 : weight, 1, 1000)));
    font.setItalic(r.at(32)[0] != 0);
    font.setUnderline(r.at(33)[0] != 0);
    font.setStrikeOut(r.at(34)[0] != 0);
    double pixels = std::abs(double(height));
    if (height > 0) { // a cell height: take off the internal leading
        QFont probe(font);
        probe.setPixelSize(100);
        const QFontMetricsF m(probe);
        if (m.height() > 0)
            pixels = height * 100.0 / m.height();
    }
    if (pixels < 1)
        pixels = 13;
    if (m_nextFontPixels > 0 && std::abs(m_nextFontPixels - pixels) < 1)
        pixels = m_nextFontPixels;
    m_nextFontPixels = 0;
    o.fontPixels = std::min(pixels, 1e5);
    o.escapement = r.i32(20);
    font.setPointSizeF(o.fontPixels * 72.0 / m_deviceDpi);
    o.font = font;
    m_objects[handle] = o;
}

// The stock brushes, none for another stock object.
std::optional<QBrush> stockBrush(quint32 handle) {
    if (!(handle & StockObject))
        return std::nullopt;
    switch (handle & ~StockObject) {
    case WHITE_BRUSH:
        return QBrush(Qt::white);
    case LTGRAY_BRUSH:
        return QBrush(QColor(192, 192, 192));
    case GRAY_BRUSH:
        return QBrush(QColor(128, 128, 128));
    case DKGRAY_BRUSH:
        return QBrush(QColor(64, 64, 64));
    case BLACK_BRUSH:
        return QBrush(Qt::black);
    case NULL_BRUSH:
        return QBrush(Qt::NoBrush);
    default:
        return std::nullopt;
    }
}

void Playback::selectObject(quint32 handle) {
    if (const auto brush = stockBrush(handle)) {
        m_dc.brush.brush = *brush;
        return;
    }
    if (handle & StockObject) {
        switch (handle & ~StockObject) {
        case WHITE_PEN:
            m_dc.pen.pen = QPen(Qt::white, 0);
            break;
        case BLACK_PEN:
            m_dc.pen.pen = QPen(Qt::black, 0);
            break;
        case NULL_PEN:
            m_dc.pen.pen = QPen(Qt::NoPen);
            break;
        case OEM_FIXED_FONT:
        case ANSI_FIXED_FONT:
        case SYSTEM_FIXED_FONT:
        case ANSI_VAR_FONT:
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT:
        case DEFAULT_GUI_FONT:
            m_dc.font = Dc().font;
            m_dc.font.font.setPointSizeF(m_dc.font.fontPixels * 72.0 / m_deviceDpi);
            break;
        default:
            break;
        }
        return;
    }
    const auto it = m_objects.find(handle);
    if (it == m_objects.end())
        return;
    switch (it->second.kind) {
    case GdiObject::Pen:
        m_dc.pen = it->second;
        break;
    case GdiObject::Brush:
        m_dc.brush = it->second;
        break;
    case GdiObject::Font:
        m_dc.font = it->second;
        break;
    }
}

void Playback::text(const Rec &r, bool wide) {
    if (r.size() < 76)
        return;
    const QPointF ref(r.i32(36), r.i32(40));
    const quint32 chars = r.u32(44);
    const quint32 offString = r.u32(48);
    const quint32 options = r.u32(52);
    const QRectF rect = r.rect(56);
    const quint32 offDx = r.u32(72);
    if (chars > (1u << 24) || !r.fits(offString, quint64(chars) * (wide ? 2 : 1)))
        return;
    if (options & ETO_GLYPH_INDEX) // glyph numbers of a font we do not have, not characters
        return;
    QString s;
    if (wide) {
        s.resize(qsizetype(chars));
        for (quint32 i = 0; i < chars; ++i)
            s[i] = QChar(emf::u16(r.at(offString + 2 * i)));
    } else {
        QStringDecoder decoder("windows-1250");
        s = decoder.decode(QByteArrayView(reinterpret_cast<const char *>(r.at(offString)), qsizetype(chars)));
    }
    std::vector<double> dx;
    const bool pdy = options & ETO_PDY;
    if (offDx && r.fits(offDx, quint64(chars) * (pdy ? 8 : 4))) {
        dx.reserve(chars);
        for (quint32 i = 0; i < chars; ++i)
            dx.push_back(r.i32(offDx + quint64(i) * (pdy ? 8 : 4)));
    }

    const GdiObject &f = m_dc.font;
    if (!m_metrics || m_metricsFont != f.font) {
        m_metrics.emplace(f.font, m_painter ? m_painter->device() : nullptr);
        m_metricsFont = f.font;
    }
    const QFontMetricsF &metrics = *m_metrics;
    const double natural = metrics.horizontalAdvance(s);
    double total = natural;
    if (!dx.empty() && qsizetype(dx.size()) == s.size()) {
        total = 0;
        for (double d : dx)
            total += d;
    }
    QPointF origin = (m_dc.textAlign & TA_UPDATECP) ? m_dc.current : ref;
    double x = 0;
    switch (m_dc.textAlign & TA_HORZMASK) {
    case TA_RIGHT:
        x = -total;
        break;
    case TA_CENTER:
        x = -total / 2;
        break;
    default:
        break;
    }
    double baseline = 0;
    switch (m_dc.textAlign & TA_VERTMASK) {
    case TA_BASELINE:
        break;
    case TA_BOTTOM:
        baseline = -metrics.descent();
        break;
    default:
        baseline = metrics.ascent();
        break;
    }
    if (m_dc.textAlign & TA_UPDATECP)
        m_dc.current.rx() += ((m_dc.textAlign & TA_HORZMASK) == TA_RIGHT) ? -total : total;

    // Rotated fonts turn about the reference point.
    QTransform local = QTransform::fromTranslate(origin.x(), origin.y());
    if (f.escapement != 0)
        local.rotate(-f.escapement / 10.0);
    const QRectF box(x, baseline - metrics.ascent(), std::abs(total), metrics.ascent() + metrics.descent());
    if (!m_painter) {
        if (m_valid) {
            const QTransform toPage = local * m_dc.world * pageTransform();
            texts.append({toPage.map(QPointF(0, 0)), s, toPage.mapRect(box), f.font});
        }
        return;
    }
    if (!drawable(local.mapRect(box)) || s.isEmpty())
        return;
    m_painter->save();
    if (options & ETO_CLIPPED)
        m_painter->setClipRect(rect, Qt::IntersectClip);
    if ((options & ETO_OPAQUE) && drawable(rect))
        m_painter->fillRect(rect, colorFrom(m_dc.bkColor));
    m_painter->setWorldTransform(local * m_painter->worldTransform());
    if (m_dc.bkMode == OPAQUE)
        m_painter->fillRect(box, colorFrom(m_dc.bkColor));
    // Very large or strongly distorted glyphs are filled as outlines: the glyph cache would render them as
    // bitmaps of any size.
    const QTransform full = m_painter->worldTransform();
    const double sx = std::hypot(full.m11(), full.m12()), sy = std::hypot(full.m21(), full.m22());
    const bool outlines = f.fontPixels * std::max(sx, sy) > 256 || std::max(sx, sy) > 8 * std::min(sx, sy);
    QFont outlineFont = f.font;
    outlineFont.setPixelSize(std::max(1, int(std::lround(f.fontPixels))));
    const QColor color = colorFrom(m_dc.textColor);
    m_painter->setFont(f.font);
    m_painter->setPen(color);
    auto draw = [&](const QPointF &at, const QString &part) {
        if (!outlines) {
            m_painter->drawText(at, part);
            return;
        }
        QPainterPath path;
        path.addText(at, outlineFont, part);
        m_painter->fillPath(path, color);
    };
    if (dx.empty() || qsizetype(dx.size()) != s.size() ||
        std::abs(natural - total) <= std::max(1.0, 0.02 * std::abs(total))) {
        draw(QPointF(x, baseline), s);
    } else {
        double at = x;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s.at(i).isLowSurrogate())
                continue;
            const qsizetype len = s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
            draw(QPointF(at, baseline), s.mid(i, len));
            for (qsizetype j = 0; j < len; ++j)
                at += dx[size_t(i + j)];
        }
    }
    m_painter->restore();
}

void Playback::bitmap(quint32 type, const Rec &r) {
    QRectF dest;
    QRectF src;
    quint32 offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0, rop = SRCCOPY;
    bool bottomUpOrigin = false;
    double opacity = 1;
    switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
        if (r.size() < (type == EMR_BITBLT ? 100u : 108u))
            return;
        dest = QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        if (type != EMR_ALPHABLEND)
            rop = r.u32(40);
        else
            opacity = r.at(42)[0] / 255.0;
        src = QRectF(r.i32(44), r.i32(48), type == EMR_BITBLT ? dest.width() : r.i32(100),
                     type == EMR_BITBLT ? dest.height() : r.i32(104));
        offBmi = r.u32(84);
        cbBmi = r.u32(88);
        offBits = r.u32(92);
        cbBits = r.u32(96);
        break;
    case EMR_STRETCHDIBITS:
        if (r.size() < 80)
            return;
        dest = QRectF(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        src = QRectF(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        offBmi = r.u32(48);
        cbBmi = r.u32(52);
        offBits = r.u32(56);
        cbBits = r.u32(60);
        rop = r.u32(68);
        bottomUpOrigin = true;
        break;
    case EMR_SETDIBITSTODEVICE:
        if (r.size() < 76 || r.u32(68) != 0)
            return;
        dest = QRectF(r.i32(24), r.i32(28), r.i32(40), r.i32(44));
        src = QRectF(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        offBmi = r.u32(48);
        cbBmi = r.u32(52);
        offBits = r.u32(56);
        cbBits = r.u32(60);
        bottomUpOrigin = true;
        break;
    default:
        return;
    }
    if (dest.width() == 0 || dest.height() == 0 || !m_painter || m_inPath)
        return;
    const QRectF area = dest.normalized();
    if (!drawable(area))
        return;
    if (cbBmi == 0) { // no source: a pattern or constant fill
        if (rop == PATCOPY)
            m_painter->fillRect(area, m_dc.brush.brush);
        else if (rop == BLACKNESS)
            m_painter->fillRect(area, Qt::black);
        else if (rop == WHITENESS)
            m_painter->fillRect(area, Qt::white);
        return;
    }
    if (!r.fits(offBmi, cbBmi) || !r.fits(offBits, cbBits) || offBmi < 8 || offBits < 8)
        return;
    bool bottomUp = false;
    QImage image = decodeDib(r.at(offBmi), cbBmi, r.at(offBits), cbBits, &bottomUp, type == EMR_ALPHABLEND);
    if (image.isNull())
        return;
    QRectF s = src.normalized();
    if (bottomUpOrigin && bottomUp)
        s.moveTop(image.height() - s.bottom());
    s = s.intersected(QRectF(image.rect()));
    if (s.isEmpty())
        return;
    if (dest.width() < 0 || dest.height() < 0)
        image = image.mirrored(dest.width() < 0, dest.height() < 0);
    if (dest.width() < 0)
        s.moveLeft(image.width() - s.right());
    if (dest.height() < 0)
        s.moveTop(image.height() - s.bottom());
    m_painter->save();
    m_painter->setOpacity(opacity);
    if (rop == SRCAND)
        m_painter->setCompositionMode(QPainter::CompositionMode_Multiply);
    else if (rop == SRCPAINT)
        m_painter->setCompositionMode(QPainter::CompositionMode_Lighten);
    m_painter->drawImage(area, image, s);
    m_painter->restore();
}

namespace {

QRegion uniteAll(const std::vector<QRect> &rects, size_t from, size_t to) {
    if (to - from == 1)
        return QRegion(rects[from]);
    const size_t middle = from + (to - from) / 2;
    return uniteAll(rects, from, middle) | uniteAll(rects, middle, to);
}

} // namespace

// The rectangles of region data, or none when they do not fit. A well-formed region lists its rectangles
// in bands, top to bottom and left to right, and is taken as it is; others are united, as long as they are
// few enough that overlaps cannot multiply them beyond reason.
std::optional<QRegion> Playback::region(const Rec &r, quint64 at, quint64 size) const {
    constexpr quint32 MaxLooseRects = 1024;
    if (size < 32 || !r.fits(at, size))
        return std::nullopt;
    const quint32 count = r.u32(at + 8);
    if (quint64(count) * 16 > size - 32)
        return std::nullopt;
    const int huge = int(HugeCoordinate);
    std::vector<QRect> rects;
    rects.reserve(count);
    bool banded = true;
    for (quint32 i = 0; i < count; ++i) {
        const quint64 p = at + 32 + quint64(i) * 16;
        const int left = std::clamp(r.i32(p), -huge, huge), top = std::clamp(r.i32(p + 4), -huge, huge);
        const int right = std::clamp(r.i32(p + 8), -huge, huge), bottom = std::clamp(r.i32(p + 12), -huge, huge);
        if (right <= left || bottom <= top)
            continue;
        const QRect rect(QPoint(left, top), QPoint(right - 1, bottom - 1));
        if (banded && !rects.empty()) {
            const QRect &last = rects.back();
            banded = rect.top() == last.top() ? rect.bottom() == last.bottom() && rect.left() > last.right() + 1
                                              : rect.top() > last.bottom();
        }
        rects.push_back(rect);
    }
    if (rects.empty())
        return QRegion();
    if (banded) {
        QRegion out;
        out.setRects(rects.data(), int(rects.size()));
        return out;
    }
    if (rects.size() > MaxLooseRects)
        return std::nullopt;
    return uniteAll(rects, 0, rects.size());
}

void Playback::record(quint32 type, const Rec &r) {
    switch (type) {
    case EMR_GDICOMMENT:
        if (r.size() >= 28 && r.u32(8) >= 16 && r.u32(12) == CommentId && r.u32(16) == CommentFontPixelSize) {
            const double px = emf::f64(r.at(20));
            if (std::isfinite(px) && px > 0 && px < 1e5)
                m_nextFontPixels = px;
        }
        return;
    case EMR_SETMAPMODE: {
        const quint32 mode = r.u32(8);
        if (mode >= MM_TEXT && mode <= MM_ANISOTROPIC) {
            m_dc.mapMode = int(mode);
            updateTransform();
        }
        return;
    }
    case EMR_SETWINDOWEXTEX:
    case EMR_SETVIEWPORTEXTEX: {
        const qint32 cx = r.i32(8), cy = r.i32(12);
        if (cx == 0 || cy == 0)
            return;
        (type == EMR_SETWINDOWEXTEX ? m_dc.windowExt : m_dc.viewportExt) = QSizeF(cx, cy);
        updateTransform();
        return;
    }
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTORGEX:
        (type == EMR_SETWINDOWORGEX ? m_dc.windowOrg : m_dc.viewportOrg) = QPointF(r.i32(8), r.i32(12));
        updateTransform();
        return;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const qint32 xn = r.i32(8), xd = r.i32(12), yn = r.i32(16), yd = r.i32(20);
        if (xn == 0 || xd == 0 || yn == 0 || yd == 0)
            return;
        QSizeF &ext = type == EMR_SCALEWINDOWEXTEX ? m_dc.windowExt : m_dc.viewportExt;
        ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
        updateTransform();
        return;
    }
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
        if (r.size() < 32)
            return;
        const QTransform t(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28));
        const quint32 mode = type == EMR_SETWORLDTRANSFORM ? quint32(MWT_SET) : r.u32(32);
        if (mode != MWT_IDENTITY && !finite(t))
            return;
        switch (mode) {
        case MWT_IDENTITY:
            m_dc.world = QTransform();
            break;
        case MWT_LEFTMULTIPLY:
            m_dc.world = t * m_dc.world;
            break;
        case MWT_RIGHTMULTIPLY:
            m_dc.world = m_dc.world * t;
            break;
        case MWT_SET:
            m_dc.world = t;
            break;
        default:
            return;
        }
        updateTransform();
        return;
    }
    case EMR_SETBKMODE:
        m_dc.bkMode = r.u32(8) == TRANSPARENT ? TRANSPARENT : OPAQUE;
        return;
    case EMR_SETBKCOLOR:
        m_dc.bkColor = r.u32(8);
        return;
    case EMR_SETTEXTCOLOR:
        m_dc.textColor = r.u32(8);
        return;
    case EMR_SETTEXTALIGN:
        m_dc.textAlign = r.u32(8);
        return;
    case EMR_SETPOLYFILLMODE:
        m_dc.polyFill = r.u32(8) == WINDING ? WINDING : ALTERNATE;
        return;
    case EMR_SAVEDC:
        if (m_saved.size() < MaxSaveDepth)
            m_saved.push_back(m_dc);
        return;
    case EMR_RESTOREDC: {
        const qint32 n = r.i32(8);
        qsizetype index = n < 0 ? qsizetype(m_saved.size()) + n : qsizetype(n) - 1;
        if (index < 0 || index >= qsizetype(m_saved.size()))
            return;
        m_dc = m_saved[size_t(index)];
        m_saved.resize(size_t(index));
        applyClip();
        return;
    }
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN:
        createPen(type, r);
        return;
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        createBrush(type, r);
        return;
    case EMR_EXTCREATEFONTINDIRECTW:
        createFont(r);
        return;
    case EMR_SELECTOBJECT:
        selectObject(r.u32(8));
        return;
    case EMR_DELETEOBJECT:
        m_objects.erase(r.u32(8));
        return;
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT: {
        if (!m_valid)
            return;
        QPainterPath p;
        p.addRect(r.rect(8));
        setClip((m_dc.world * pageTransform()).map(p), type == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
        return;
    }
    case EMR_EXTSELECTCLIPRGN: {
        const quint32 cb = r.u32(8), mode = r.u32(12);
        if (cb == 0) {
            if (mode == RGN_COPY) {
                m_dc.clipOn = false;
                applyClip();
            }
            return;
        }
        if (mode < RGN_AND || mode > RGN_COPY || !r.fits(16, cb))
            return;
        if (const auto rgn = region(r, 16, cb)) {
            QPainterPath path;
            path.addRegion(*rgn);
            setClip(path, int(mode), &*rgn);
        }
        return;
    }
    case EMR_OFFSETCLIPRGN:
        if (m_dc.clipOn && m_valid) {
            const QTransform t = m_dc.world * pageTransform();
            const QPointF d = t.map(QPointF(r.i32(8), r.i32(12))) - t.map(QPointF(0, 0));
            m_dc.clip.translate(d);
            if (m_dc.clipIsRegion && d == QPointF(d.toPoint()) && std::abs(d.x()) < HugeCoordinate &&
                std::abs(d.y()) < HugeCoordinate)
                m_dc.clipRegion.translate(d.toPoint());
            else
                m_dc.clipIsRegion = false;
            applyClip();
        }
        return;
    case EMR_SELECTCLIPPATH:
        if (m_valid && !m_path.isEmpty())
            setClip((m_dc.world * pageTransform()).map(m_path), int(r.u32(8)));
        m_path = QPainterPath();
        return;
    case EMR_MOVETOEX:
        m_dc.current = QPointF(r.i32(8), r.i32(12));
        if (m_inPath)
            m_path.moveTo(m_dc.current);
        return;
    case EMR_LINETO: {
        const QPointF to(r.i32(8), r.i32(12));
        if (m_inPath) {
            m_path.lineTo(to);
        } else if (m_painter && drawable(QRectF(m_dc.current, to).normalized())) {
            preparePen(true);
            m_painter->drawLine(m_dc.current, to);
        }
        m_dc.current = to;
        return;
    }
    case EMR_SETPIXELV:
        if (m_painter && !m_inPath && drawable(QRectF(r.i32(8), r.i32(12), 1, 1)))
            m_painter->fillRect(QRectF(r.i32(8), r.i32(12), 1, 1), colorFrom(r.u32(16)));
        return;
    case EMR_RECTANGLE:
    case EMR_ELLIPSE:
    case EMR_ROUNDRECT: {
        const QRectF box = r.box(8);
        if (box.width() < 0 || box.height() < 0)
            return;
        QPainterPath path;
        if (type == EMR_RECTANGLE) {
            if (m_inPath) {
                path.addRect(box);
                m_path.addPath(path);
            } else if (m_painter && drawable(box)) {
                preparePen(true);
                prepareBrush(true);
                m_painter->drawRect(box);
            }
        } else if (type == EMR_ELLIPSE) {
            if (m_inPath) {
                path.addEllipse(box);
                m_path.addPath(path);
            } else if (m_painter && drawable(box)) {
                preparePen(true);
                prepareBrush(true);
                m_painter->drawEllipse(box);
            }
        } else {
            const double ew = std::clamp(double(r.i32(24)), 0.0, box.width() + 1);
            const double eh = std::clamp(double(r.i32(28)), 0.0, box.height() + 1);
            if (m_inPath) {
                path.addRoundedRect(box, ew / 2, eh / 2);
                m_path.addPath(path);
            } else if (m_painter && drawable(box)) {
                preparePen(true);
                prepareBrush(true);
                m_painter->drawRoundedRect(box, ew / 2, eh / 2);
            }
        }
        return;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
        arc(type, r);
        return;
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
        poly(type, r);
        return;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        polyPoly(type, r);
        return;
    case EMR_BEGINPATH:
        m_inPath = true;
        m_path = QPainterPath();
        m_path.moveTo(m_dc.current);
        return;
    case EMR_ENDPATH:
        m_inPath = false;
        return;
    case EMR_ABORTPATH:
        m_inPath = false;
        m_path = QPainterPath();
        return;
    case EMR_CLOSEFIGURE:
        if (m_inPath)
            m_path.closeSubpath();
        return;
    case EMR_FILLPATH:
    case EMR_STROKEPATH:
    case EMR_STROKEANDFILLPATH: {
        if (m_inPath)
            return;
        QPainterPath path = m_path;
        m_path = QPainterPath();
        path.setFillRule(m_dc.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
        drawShape(path, type != EMR_FILLPATH, type != EMR_STROKEPATH);
        return;
    }
    case EMR_FILLRGN:
    case EMR_PAINTRGN: {
        if (!m_painter || m_inPath || !m_valid)
            return;
        const quint32 cb = r.u32(24);
        QBrush brush = m_dc.brush.brush;
        quint64 at = 28;
        if (type == EMR_FILLRGN) {
            const auto it = m_objects.find(r.u32(28));
            if (it != m_objects.end() && it->second.kind == GdiObject::Brush)
                brush = it->second.brush;
            else if (const auto stock = stockBrush(r.u32(28)))
                brush = *stock;
            at = 32;
        }
        const auto rgn = region(r, at, cb);
        if (!rgn || rgn->isEmpty() || !drawable(QRectF(-1, -1, 2, 2)))
            return;
        QPainterPath path;
        path.addRegion(*rgn);
        m_painter->save();
        m_painter->setWorldTransform(m_target * m_callerTransform);
        m_painter->fillPath(path, brush);
        m_painter->restore();
        return;
    }
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        if (!m_inPath)
            text(r, type == EMR_EXTTEXTOUTW);
        return;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE:
    case EMR_ALPHABLEND:
        bitmap(type, r);
        return;
    default:
        return; // unknown or without effect on the picture
    }
}

void Playback::play(QPainter *painter, const QRectF &target) {
    m_painter = painter;
    const QRectF frame = m_header.framePixels;
    if (painter) {
        m_deviceDpi = painter->device() ? painter->device()->logicalDpiY() : 96;
        if (m_deviceDpi <= 0)
            m_deviceDpi = 96;
        painter->save();
        m_callerTransform = painter->worldTransform();
        m_callerClipped = painter->hasClipping();
        if (m_callerClipped)
            m_callerClip = painter->clipPath();
        m_target = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                   QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height()) *
                   QTransform::fromTranslate(target.left(), target.top());
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter->setBackgroundMode(Qt::TransparentMode);
    }
    m_dc.font.font.setPointSizeF(m_dc.font.fontPixels * 72.0 / m_deviceDpi);
    updateTransform();
    forEachEmfRecord(m_bytes, [this](const EmfRecord &rec) {
        if (rec.type != EMR_HEADER)
            record(rec.type, Rec(rec.data, rec.size));
        return true;
    });
    if (painter)
        painter->restore();
    m_painter = nullptr;
}

} // namespace

EmfPlayer::EmfPlayer(const QByteArray &emf) : m_bytes(emf) {
    m_header = emf::parseHeader(reinterpret_cast<const uchar *>(m_bytes.constData()), m_bytes.size());
}

void EmfPlayer::play(QPainter &painter, const QRectF &target) const {
    if (!m_header || !target.isValid() || !painter.isActive())
        return;
    Playback(m_bytes, *m_header).play(&painter, target);
}

QList<EmfPlayer::TextRun> EmfPlayer::texts() const {
    if (!m_header)
        return {};
    Playback playback(m_bytes, *m_header);
    playback.play(nullptr, QRectF(m_header->framePixels));
    return playback.texts;
}
