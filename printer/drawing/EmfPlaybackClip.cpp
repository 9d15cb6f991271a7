// Clipping: rectangles, regions and paths combined with the current clip, offset, undone by restoring a
// saved state; and regions filled with a brush.
#include "printer/drawing/EmfPlayback.h"

#include <QPainter>

#include <cmath>

namespace emf {

using namespace layout;

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
        combineRegions(mode, devicePath, asRegion);
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

void Playback::combineRegions(int mode, const QPainterPath &devicePath, const QRegion *asRegion) {
    const int huge = int(HugeCoordinate);
    auto toRegion = [](const QPainterPath &path) { return QRegion(path.toFillPolygon().toPolygon(), path.fillRule()); };
    const QRegion current = !m_dc.clipOn        ? QRegion(QRect(-huge, -huge, 2 * huge, 2 * huge))
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
    if (size < RegionData::Rects || !r.fits(at, size))
        return std::nullopt;
    const quint32 count = r.u32(at + RegionData::Count);
    if (quint64(count) * 16 > size - RegionData::Rects)
        return std::nullopt;
    const int huge = int(HugeCoordinate);
    std::vector<QRect> rects;
    rects.reserve(count);
    bool banded = true;
    for (quint32 i = 0; i < count; ++i) {
        const quint64 p = at + RegionData::Rects + quint64(i) * 16;
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

void Playback::onClipRect(quint32 type, const Rec &r) {
    if (!m_valid)
        return;
    QPainterPath p;
    p.addRect(r.rect(Rectangle::Box));
    setClip((m_dc.world * pageTransform()).map(p), type == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
}

void Playback::onClipRegion(quint32, const Rec &r) {
    const quint32 cb = r.u32(ExtSelectClipRgn::RegionSize), mode = r.u32(ExtSelectClipRgn::Mode);
    if (cb == 0) { // no region: copying it clears the clip
        if (mode == RGN_COPY) {
            m_dc.clipOn = false;
            applyClip();
        }
        return;
    }
    if (mode < RGN_AND || mode > RGN_COPY || !r.fits(ExtSelectClipRgn::Region, cb))
        return;
    if (const auto rgn = region(r, ExtSelectClipRgn::Region, cb)) {
        QPainterPath path;
        path.addRegion(*rgn);
        setClip(path, int(mode), &*rgn);
    }
}

void Playback::onOffsetClip(quint32, const Rec &r) {
    if (!m_dc.clipOn || !m_valid)
        return;
    const QTransform t = m_dc.world * pageTransform();
    const QPointF d = t.map(r.point(Point::X)) - t.map(QPointF(0, 0));
    m_dc.clip.translate(d);
    if (m_dc.clipIsRegion && d == QPointF(d.toPoint()) && std::abs(d.x()) < HugeCoordinate &&
        std::abs(d.y()) < HugeCoordinate)
        m_dc.clipRegion.translate(d.toPoint());
    else
        m_dc.clipIsRegion = false;
    applyClip();
}

void Playback::onClipPath(quint32, const Rec &r) {
    if (m_valid && !m_path.isEmpty())
        setClip((m_dc.world * pageTransform()).map(m_path), int(r.u32(Single::Value)));
    m_path = QPainterPath();
}

void Playback::onFillRegion(quint32 type, const Rec &r) {
    if (!m_painter || m_inPath || !m_valid)
        return;
    QBrush brush = m_dc.brush.brush;
    quint64 at = PaintRgn::Region;
    if (type == EMR_FILLRGN) {
        const quint32 handle = r.u32(FillRgn::Brush);
        const auto it = m_objects.find(handle);
        if (it != m_objects.end() && it->second.kind == GdiObject::Brush)
            brush = it->second.brush;
        else if (const auto stock = stockBrush(handle))
            brush = *stock;
        at = FillRgn::Region;
    }
    const auto rgn = region(r, at, r.u32(FillRgn::RegionSize));
    if (!rgn || rgn->isEmpty() || !drawable(QRectF(-1, -1, 2, 2)))
        return;
    QPainterPath path;
    path.addRegion(*rgn);
    m_painter->save();
    m_painter->setWorldTransform(m_target * m_callerTransform);
    m_painter->fillPath(path, brush);
    m_painter->restore();
}

} // namespace emf
