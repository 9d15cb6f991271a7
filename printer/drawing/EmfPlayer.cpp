// The walk over a metafile's records and the table that hands each record kind to its handler. The handlers
// are split by concern; see EmfPlayback.h.
#include "printer/drawing/EmfPlayer.h"

#include "printer/drawing/EmfPlayback.h"

#include <QPaintDevice>
#include <QPainter>

namespace emf {

const std::vector<Playback::Handler> &Playback::handlers() {
    static const std::vector<Handler> table = [] {
        std::vector<Handler> t(EMR_SETTEXTJUSTIFICATION + 1, nullptr);
        auto set = [&t](std::initializer_list<quint32> types, Handler handler) {
            for (quint32 type : types)
                t[type] = handler;
        };
        set({EMR_GDICOMMENT}, &Playback::onComment);
        set({EMR_SETMAPMODE}, &Playback::onMapMode);
        set({EMR_SETWINDOWEXTEX, EMR_SETVIEWPORTEXTEX}, &Playback::onExtent);
        set({EMR_SETWINDOWORGEX, EMR_SETVIEWPORTORGEX}, &Playback::onOrigin);
        set({EMR_SCALEVIEWPORTEXTEX, EMR_SCALEWINDOWEXTEX}, &Playback::onScaleExtent);
        set({EMR_SETWORLDTRANSFORM, EMR_MODIFYWORLDTRANSFORM}, &Playback::onWorldTransform);
        set({EMR_SETBKMODE, EMR_SETBKCOLOR, EMR_SETTEXTCOLOR, EMR_SETTEXTALIGN, EMR_SETPOLYFILLMODE},
            &Playback::onMode);
        set({EMR_SAVEDC}, &Playback::onSave);
        set({EMR_RESTOREDC}, &Playback::onRestore);
        set({EMR_CREATEPEN, EMR_EXTCREATEPEN}, &Playback::onCreatePen);
        set({EMR_CREATEBRUSHINDIRECT, EMR_CREATEDIBPATTERNBRUSHPT}, &Playback::onCreateBrush);
        set({EMR_EXTCREATEFONTINDIRECTW}, &Playback::onCreateFont);
        set({EMR_SELECTOBJECT}, &Playback::onSelect);
        set({EMR_DELETEOBJECT}, &Playback::onDelete);
        set({EMR_INTERSECTCLIPRECT, EMR_EXCLUDECLIPRECT}, &Playback::onClipRect);
        set({EMR_EXTSELECTCLIPRGN}, &Playback::onClipRegion);
        set({EMR_OFFSETCLIPRGN}, &Playback::onOffsetClip);
        set({EMR_SELECTCLIPPATH}, &Playback::onClipPath);
        set({EMR_FILLRGN, EMR_PAINTRGN}, &Playback::onFillRegion);
        set({EMR_MOVETOEX, EMR_LINETO}, &Playback::onLine);
        set({EMR_SETPIXELV}, &Playback::onPixel);
        set({EMR_RECTANGLE, EMR_ELLIPSE, EMR_ROUNDRECT}, &Playback::onBox);
        set({EMR_ARC, EMR_CHORD, EMR_PIE}, &Playback::onArc);
        set({EMR_POLYBEZIER, EMR_POLYGON, EMR_POLYLINE, EMR_POLYBEZIERTO, EMR_POLYLINETO, EMR_POLYBEZIER16,
             EMR_POLYGON16, EMR_POLYLINE16, EMR_POLYBEZIERTO16, EMR_POLYLINETO16},
            &Playback::onPoly);
        set({EMR_POLYPOLYLINE, EMR_POLYPOLYGON, EMR_POLYPOLYLINE16, EMR_POLYPOLYGON16}, &Playback::onPolyPoly);
        set({EMR_BEGINPATH, EMR_ENDPATH, EMR_ABORTPATH, EMR_CLOSEFIGURE}, &Playback::onPath);
        set({EMR_FILLPATH, EMR_STROKEPATH, EMR_STROKEANDFILLPATH}, &Playback::onDrawPath);
        set({EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW}, &Playback::onText);
        set({EMR_BITBLT, EMR_STRETCHBLT, EMR_STRETCHDIBITS, EMR_SETDIBITSTODEVICE, EMR_ALPHABLEND},
            &Playback::onBitmap);
        return t;
    }();
    return table;
}

// Unknown records and those without effect on the picture are passed over.
void Playback::record(quint32 type, const Rec &r) {
    const std::vector<Handler> &table = handlers();
    if (type < table.size() && table[type])
        (this->*table[type])(type, r);
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

} // namespace emf

EmfPlayer::EmfPlayer(const QByteArray &emf) : m_bytes(emf) {
    m_header = emf::parseHeader(reinterpret_cast<const uchar *>(m_bytes.constData()), m_bytes.size());
}

void EmfPlayer::play(QPainter &painter, const QRectF &target) const {
    if (!m_header || !target.isValid() || !painter.isActive())
        return;
    emf::Playback(m_bytes, *m_header).play(&painter, target);
}

QList<EmfPlayer::TextRun> EmfPlayer::texts() const {
    if (!m_header)
        return {};
    emf::Playback playback(m_bytes, *m_header);
    playback.play(nullptr, QRectF(m_header->framePixels));
    return playback.texts;
}
