// Clipping lives in a saved device context: a change restores the unclipped state, then saves and clips
// again, so a painter's save/restore never leaves a stale clip behind.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/Units.h"

#include <QPainter>
#include <QRegion>

using namespace emf;

void EmfPaintEngine::restoreUnclipped() {
    if (!m_clipSaved)
        return;
    record1(EMR_RESTOREDC, quint32(-1));
    m_dc = m_savedDc;
    m_clipSaved = false;
}

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
    restoreUnclipped();
    if (!clipping)
        return;
    record0(EMR_SAVEDC);
    m_savedDc = m_dc;
    m_clipSaved = true;
    if (m_dc.scaled) // the clip is in device pixels
        resetWorld();
    const QRectF box = clip.boundingRect();
    QPainterPath boxPath;
    boxPath.addRect(box);
    const bool isRect = clip.isEmpty() || (clip.subtracted(boxPath).isEmpty() && boxPath.subtracted(clip).isEmpty());
    if (!isRect) {
        writeClipRegion(clip);
        return;
    }
    recordBox(EMR_INTERSECTCLIPRECT, clip.isEmpty() ? QRect(0, 0, 0, 0)
                                                    : QRect(QPoint(rnd(box.left()), rnd(box.top())),
                                                            QPoint(rnd(box.right()), rnd(box.bottom()))));
}

// A clip of any other shape as the region of its pixels, replacing the clip.
void EmfPaintEngine::writeClipRegion(const QPainterPath &clip) {
    using R = layout::RegionData;
    using C = layout::ExtSelectClipRgn;
    const QRegion region(clip.toFillPolygon().toPolygon(), clip.fillRule());
    const quint32 n = quint32(region.rectCount());
    const quint32 regionSize = R::Rects + 16 * n;
    RecordWriter w = start(EMR_EXTSELECTCLIPRGN, C::Region + R::Rects);
    w.u32(C::RegionSize, regionSize);
    w.u32(C::Mode, RGN_COPY);
    w.u32(C::Region + R::HeaderSize, R::Rects);
    w.u32(C::Region + R::Kind, 1); // rectangles
    w.u32(C::Region + R::Count, n);
    w.u32(C::Region + R::RectsSize, 16 * n);
    // region rectangles are exclusive of their right and bottom edges
    w.rect(C::Region + R::Bounds, region.boundingRect().adjusted(0, 0, 1, 1));
    ByteWriter rects = w.tail();
    for (const QRect &r : region) {
        rects.i32(r.left());
        rects.i32(r.top());
        rects.i32(r.right() + 1);
        rects.i32(r.bottom() + 1);
    }
    w.finish();
}
