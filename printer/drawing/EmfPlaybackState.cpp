// Mapping (map modes, window and viewport, world transform), the device context's modes and saved states,
// and the pens, brushes and fonts records create and select.
#include "printer/drawing/EmfPlayback.h"

#include "printer/drawing/Dib.h"

#include <QPainter>

#include <cmath>

namespace emf {

using namespace layout;

PlayDc::PlayDc() {
    pen.kind = GdiObject::Pen;
    pen.pen = QPen(Qt::black, 0);
    brush.kind = GdiObject::Brush;
    brush.brush = QBrush(Qt::white);
    font.kind = GdiObject::Font;
    font.font = QFont(QStringLiteral("MS Sans Serif"));
    font.fontPixels = 13;
}

bool finiteTransform(const QTransform &t) {
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        if (!std::isfinite(v) || std::abs(v) > 1e9)
            return false;
    return std::abs(t.determinant()) > 1e-18;
}

QTransform Playback::pageTransform() const {
    double sx = 1, sy = 1;
    const double unit[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440}; // millimetres per logical unit
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
    m_valid = finiteTransform(full);
    if (m_painter && m_valid)
        m_painter->setWorldTransform(full * m_target * m_callerTransform);
}

bool Playback::drawable(const QRectF &logical) const {
    if (!m_valid)
        return false;
    const QRectF d = (m_dc.world * pageTransform()).mapRect(logical);
    for (double v : {d.left(), d.right(), d.top(), d.bottom()})
        if (!std::isfinite(v) || std::abs(v) >= HugeCoordinate)
            return false;
    return true;
}

// Our own comment: the exact pixel size of the font created next.
void Playback::onComment(quint32, const Rec &r) {
    if (r.size() >= Comment::Length && r.u32(Comment::DataSize) >= Comment::Length - Comment::Identifier &&
        r.u32(Comment::Identifier) == CommentId && r.u32(Comment::Kind) == CommentFontPixelSize) {
        const double px = emf::f64(r.at(Comment::Value));
        if (std::isfinite(px) && px > 0 && px < 1e5)
            m_nextFontPixels = px;
    }
}

void Playback::onMapMode(quint32, const Rec &r) {
    const quint32 mode = r.u32(Single::Value);
    if (mode >= MM_TEXT && mode <= MM_ANISOTROPIC) {
        m_dc.mapMode = int(mode);
        updateTransform();
    }
}

void Playback::onExtent(quint32 type, const Rec &r) {
    const qint32 cx = r.i32(Extent::Cx), cy = r.i32(Extent::Cy);
    if (cx == 0 || cy == 0)
        return;
    (type == EMR_SETWINDOWEXTEX ? m_dc.windowExt : m_dc.viewportExt) = QSizeF(cx, cy);
    updateTransform();
}

void Playback::onOrigin(quint32 type, const Rec &r) {
    (type == EMR_SETWINDOWORGEX ? m_dc.windowOrg : m_dc.viewportOrg) = r.point(Point::X);
    updateTransform();
}

void Playback::onScaleExtent(quint32 type, const Rec &r) {
    using S = ScaleExtent;
    const qint32 xn = r.i32(S::XNum), xd = r.i32(S::XDenom), yn = r.i32(S::YNum), yd = r.i32(S::YDenom);
    if (xn == 0 || xd == 0 || yn == 0 || yd == 0)
        return;
    QSizeF &ext = type == EMR_SCALEWINDOWEXTEX ? m_dc.windowExt : m_dc.viewportExt;
    ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
    updateTransform();
}

void Playback::onWorldTransform(quint32 type, const Rec &r) {
    using T = Transform;
    if (r.size() < T::Length)
        return;
    const QTransform t(r.f32(T::M11), r.f32(T::M12), r.f32(T::M21), r.f32(T::M22), r.f32(T::Dx), r.f32(T::Dy));
    const quint32 mode = type == EMR_SETWORLDTRANSFORM ? quint32(MWT_SET) : r.u32(T::Mode);
    if (mode != MWT_IDENTITY && !finiteTransform(t))
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
}

void Playback::onMode(quint32 type, const Rec &r) {
    const quint32 v = r.u32(Single::Value);
    switch (type) {
    case EMR_SETBKMODE:
        m_dc.bkMode = v == TRANSPARENT ? TRANSPARENT : OPAQUE;
        break;
    case EMR_SETBKCOLOR:
        m_dc.bkColor = v;
        break;
    case EMR_SETTEXTCOLOR:
        m_dc.textColor = v;
        break;
    case EMR_SETTEXTALIGN:
        m_dc.textAlign = v;
        break;
    default:
        m_dc.polyFill = v == WINDING ? WINDING : ALTERNATE;
        break;
    }
}

void Playback::onSave(quint32, const Rec &) {
    if (m_saved.size() < MaxSaveDepth)
        m_saved.push_back(m_dc);
}

// A negative number counts back from the latest save, a positive one names a save from the first.
void Playback::onRestore(quint32, const Rec &r) {
    const qint32 n = r.i32(Single::Value);
    const qsizetype index = n < 0 ? qsizetype(m_saved.size()) + n : qsizetype(n) - 1;
    if (index < 0 || index >= qsizetype(m_saved.size()))
        return;
    m_dc = m_saved[size_t(index)];
    m_saved.resize(size_t(index));
    applyClip();
}

namespace {

Qt::PenStyle dashOf(quint32 style) {
    switch (style & PS_STYLE_MASK) {
    case PS_DASH:
        return Qt::DashLine;
    case PS_DOT:
    case PS_ALTERNATE:
        return Qt::DotLine;
    case PS_DASHDOT:
        return Qt::DashDotLine;
    case PS_DASHDOTDOT:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

QPen penOf(quint32 style, qint32 width, quint32 color) {
    if ((style & PS_STYLE_MASK) == PS_NULL)
        return QPen(Qt::NoPen);
    QPen pen(colorFrom(color));
    if ((style & PS_GEOMETRIC) || width > 1) {
        pen.setWidthF(std::clamp(double(width), 1.0, 32767.0));
        const quint32 cap = style & PS_ENDCAP_MASK, join = style & PS_JOIN_MASK;
        pen.setCapStyle(cap == PS_ENDCAP_FLAT ? Qt::FlatCap : cap == PS_ENDCAP_SQUARE ? Qt::SquareCap : Qt::RoundCap);
        pen.setJoinStyle(join == PS_JOIN_MITER ? Qt::MiterJoin : join == PS_JOIN_BEVEL ? Qt::BevelJoin : Qt::RoundJoin);
        if (!(style & PS_GEOMETRIC)) { // a wide cosmetic-style pen still has round ends
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
        }
    } else {
        pen.setWidth(0);
        pen.setCapStyle(Qt::FlatCap);
    }
    if (dashOf(style) != Qt::SolidLine)
        pen.setStyle(dashOf(style));
    return pen;
}

} // namespace

void Playback::onCreatePen(quint32 type, const Rec &r) {
    const quint32 handle = r.u32(CreatePen::Handle);
    if (handle == 0 || handle > MaxHandles)
        return;
    GdiObject o;
    o.kind = GdiObject::Pen;
    if (type == EMR_CREATEPEN) {
        if (r.size() < CreatePen::Length)
            return;
        o.pen = penOf(r.u32(CreatePen::Style), r.i32(CreatePen::Width), r.u32(CreatePen::Color));
    } else {
        if (r.size() < ExtCreatePen::Length)
            return;
        o.pen = penOf(r.u32(ExtCreatePen::Style), r.i32(ExtCreatePen::Width), r.u32(ExtCreatePen::Color));
    }
    m_objects[handle] = o;
}

void Playback::onCreateBrush(quint32 type, const Rec &r) {
    const quint32 handle = r.u32(CreateBrush::Handle);
    if (handle == 0 || handle > MaxHandles)
        return;
    GdiObject o;
    o.kind = GdiObject::Brush;
    if (type == EMR_CREATEBRUSHINDIRECT) {
        if (r.size() < CreateBrush::Length)
            return;
        const quint32 style = r.u32(CreateBrush::Style);
        const QColor color = colorFrom(r.u32(CreateBrush::Color));
        const quint32 hatch = r.u32(CreateBrush::Hatch);
        static const Qt::BrushStyle styles[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (style == BS_NULL)
            o.brush = QBrush(Qt::NoBrush);
        else if (style == BS_HATCHED)
            o.brush = QBrush(color, hatch < 6 ? styles[hatch] : Qt::SolidPattern);
        else
            o.brush = QBrush(color);
    } else { // a pattern brush from a bitmap
        using P = PatternBrush;
        const quint32 offBmi = r.u32(P::BmiOffset), cbBmi = r.u32(P::BmiSize);
        const quint32 offBits = r.u32(P::BitsOffset), cbBits = r.u32(P::BitsSize);
        if (!r.fits(offBmi, cbBmi) || !r.fits(offBits, cbBits))
            return;
        const QImage image = decodeDib(r.at(offBmi), cbBmi, r.at(offBits), cbBits);
        if (image.isNull())
            return;
        o.brush = QBrush(image);
    }
    m_objects[handle] = o;
}

void Playback::onCreateFont(quint32, const Rec &r) {
    using F = CreateFont;
    const quint32 handle = r.u32(F::Handle);
    if (handle == 0 || handle > MaxHandles || r.size() < F::Length)
        return;
    GdiObject o;
    o.kind = GdiObject::Font;
    const qint32 height = r.i32(F::Height);
    QString face;
    for (quint32 i = 0; i < F::FaceChars; ++i) {
        const quint16 c = emf::u16(r.at(F::FaceName + 2 * i));
        if (!c)
            break;
        face.append(QChar(c));
    }
    QFont font(face.isEmpty() ? QStringLiteral("MS Sans Serif") : face);
    const qint32 weight = r.i32(F::Weight);
    font.setWeight(QFont::Weight(std::clamp(weight == 0 ? 400 : weight, 1, 1000)));
    font.setItalic(r.u8(F::Italic) != 0);
    font.setUnderline(r.u8(F::Underline) != 0);
    font.setStrikeOut(r.u8(F::StrikeOut) != 0);
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
    o.escapement = r.i32(F::Escapement);
    font.setPointSizeF(o.fontPixels * 72.0 / m_deviceDpi);
    o.font = font;
    m_objects[handle] = o;
}

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

void Playback::selectStock(quint32 handle) {
    if (const auto brush = stockBrush(handle)) {
        m_dc.brush.brush = *brush;
        return;
    }
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
        m_dc.font = PlayDc().font;
        m_dc.font.font.setPointSizeF(m_dc.font.fontPixels * 72.0 / m_deviceDpi);
        break;
    default:
        break;
    }
}

void Playback::onSelect(quint32, const Rec &r) {
    const quint32 handle = r.u32(Single::Value);
    if (handle & StockObject)
        return selectStock(handle);
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

void Playback::onDelete(quint32, const Rec &r) {
    m_objects.erase(r.u32(Single::Value));
}

} // namespace emf
