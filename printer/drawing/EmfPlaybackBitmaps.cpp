// Bitmap records: a device-independent bitmap stretched into its destination (mirrored for a negative
// extent), a pattern or constant fill where the record has no bitmap, alpha blending for the records
// that ask for it.
#include "printer/drawing/EmfPlayback.h"

#include "printer/drawing/Dib.h"

#include <QPainter>

namespace emf {

using namespace layout;

namespace {

// Where a bitmap record puts its bitmap, and how.
struct Blit {
    QRectF dest;
    QRectF src;
    quint32 offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0, rop = SRCCOPY;
    bool bottomUpOrigin = false; // the source's y counts from the bitmap's bottom row
    double opacity = 1;
};

// The fields of a bitmap record; none when it is too short or of a form not drawn.
std::optional<Blit> blitOf(quint32 type, const Rec &r) {
    Blit b;
    switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND: {
        using B = BitBlt;
        if (r.size() < (type == EMR_BITBLT ? B::Length : B::StretchLength))
            return std::nullopt;
        b.dest = QRectF(r.point(B::Dest), QSizeF(r.i32(B::DestSize), r.i32(B::DestSize + 4)));
        if (type != EMR_ALPHABLEND)
            b.rop = r.u32(B::Rop);
        else
            b.opacity = r.u8(Blend::ConstantAlpha) / 255.0;
        const QSizeF size = type == EMR_BITBLT ? b.dest.size() : QSizeF(r.i32(B::SourceSize), r.i32(B::SourceSize + 4));
        b.src = QRectF(r.point(B::Source), size);
        b.offBmi = r.u32(B::BmiOffset);
        b.cbBmi = r.u32(B::BmiSize);
        b.offBits = r.u32(B::BitsOffset);
        b.cbBits = r.u32(B::BitsSize);
        return b;
    }
    case EMR_STRETCHDIBITS: {
        using S = StretchDiBits;
        if (r.size() < S::Length)
            return std::nullopt;
        b.dest = QRectF(r.point(S::Dest), QSizeF(r.i32(S::DestSize), r.i32(S::DestSize + 4)));
        b.src = QRectF(r.point(S::Source), QSizeF(r.i32(S::SourceSize), r.i32(S::SourceSize + 4)));
        b.offBmi = r.u32(S::BmiOffset);
        b.cbBmi = r.u32(S::BmiSize);
        b.offBits = r.u32(S::BitsOffset);
        b.cbBits = r.u32(S::BitsSize);
        b.rop = r.u32(S::Rop);
        b.bottomUpOrigin = true;
        return b;
    }
    case EMR_SETDIBITSTODEVICE: {
        using D = SetDiBitsToDevice;
        if (r.size() < D::Length || r.u32(D::StartScan) != 0) // bitmaps in bands are not drawn
            return std::nullopt;
        const QSizeF size(r.i32(D::Size), r.i32(D::Size + 4));
        b.dest = QRectF(r.point(D::Dest), size);
        b.src = QRectF(r.point(D::Source), size);
        b.offBmi = r.u32(D::BmiOffset);
        b.cbBmi = r.u32(D::BmiSize);
        b.offBits = r.u32(D::BitsOffset);
        b.cbBits = r.u32(D::BitsSize);
        b.bottomUpOrigin = true;
        return b;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

void Playback::onBitmap(quint32 type, const Rec &r) {
    const std::optional<Blit> b = blitOf(type, r);
    if (!b || b->dest.width() == 0 || b->dest.height() == 0 || !m_painter || m_inPath)
        return;
    const QRectF area = b->dest.normalized();
    if (!drawable(area))
        return;
    if (b->cbBmi == 0) { // no source: a pattern or constant fill
        if (b->rop == PATCOPY)
            m_painter->fillRect(area, m_dc.brush.brush);
        else if (b->rop == BLACKNESS)
            m_painter->fillRect(area, Qt::black);
        else if (b->rop == WHITENESS)
            m_painter->fillRect(area, Qt::white);
        return;
    }
    if (!r.fits(b->offBmi, b->cbBmi) || !r.fits(b->offBits, b->cbBits) || b->offBmi < 8 || b->offBits < 8)
        return;
    bool bottomUp = false;
    QImage image = decodeDib(r.at(b->offBmi), b->cbBmi, r.at(b->offBits), b->cbBits, &bottomUp, type == EMR_ALPHABLEND);
    if (image.isNull())
        return;
    QRectF s = b->src.normalized();
    if (b->bottomUpOrigin && bottomUp)
        s.moveTop(image.height() - s.bottom());
    s = s.intersected(QRectF(image.rect()));
    if (s.isEmpty())
        return;
    if (b->dest.width() < 0 || b->dest.height() < 0)
        image = image.mirrored(b->dest.width() < 0, b->dest.height() < 0);
    if (b->dest.width() < 0)
        s.moveLeft(image.width() - s.right());
    if (b->dest.height() < 0)
        s.moveTop(image.height() - s.bottom());
    m_painter->save();
    m_painter->setOpacity(b->opacity);
    if (b->rop == SRCAND)
        m_painter->setCompositionMode(QPainter::CompositionMode_Multiply);
    else if (b->rop == SRCPAINT)
        m_painter->setCompositionMode(QPainter::CompositionMode_Lighten);
    m_painter->drawImage(area, image, s);
    m_painter->restore();
}

} // namespace emf
