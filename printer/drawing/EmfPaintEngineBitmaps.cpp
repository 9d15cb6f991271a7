// Pictures as device-independent bitmaps: 24-bit rows without alpha (stretched, colours repeated or dropped),
// 32-bit premultiplied rows for pictures that are partly transparent.
#include "printer/drawing/EmfPaintEngine.h"

#include <QImage>
#include <QPixmap>

#include <cmath>

using namespace emf;

namespace {

// The whole-pixel part of `image` that the source rectangle covers, as the record will carry it.
QImage sourcePart(const QImage &image, const QRectF &sr) {
    const int sx = std::clamp(int(std::floor(sr.left())), 0, image.width());
    const int sy = std::clamp(int(std::floor(sr.top())), 0, image.height());
    const int ex = std::clamp(int(std::ceil(sr.right())), sx, image.width());
    const int ey = std::clamp(int(std::ceil(sr.bottom())), sy, image.height());
    if (ex <= sx || ey <= sy)
        return {};
    if (sx == 0 && sy == 0 && ex == image.width() && ey == image.height())
        return image;
    return image.copy(sx, sy, ex - sx, ey - sy);
}

// Whether any pixel is not fully opaque; the part is made premultiplied ARGB when it has an alpha channel.
bool translucent(QImage &part) {
    if (!part.hasAlphaChannel())
        return false;
    part = part.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < part.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(part.constScanLine(y));
        for (int x = 0; x < part.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return true;
    }
    return false;
}

} // namespace

void EmfPaintEngine::drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) {
    drawBitmap(r, pm.toImage(), sr);
}

void EmfPaintEngine::drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags) {
    drawBitmap(r, image, sr);
}

void EmfPaintEngine::drawBitmap(const QRectF &r, const QImage &image, const QRectF &sr) {
    if (image.isNull() || r.isEmpty())
        return;
    QImage part = sourcePart(image, sr);
    if (part.isNull())
        return;
    const bool alpha = translucent(part);
    if (!alpha)
        part = part.convertToFormat(QImage::Format_BGR888);
    ensureMapping(true);
    const QRectF n = r.normalized();
    const QPoint tl = mapI(n.topLeft());
    const QPoint br = mapI(n.bottomRight());
    const QPoint size(part.width(), part.height());
    const qsizetype stride = part.bytesPerLine();
    const quint32 bitsSize = quint32(stride * part.height());
    if (!alpha && m_dc.stretchMode != 3) {
        record1(EMR_SETSTRETCHBLTMODE, 3);
        m_dc.stretchMode = 3;
    }
    using S = layout::StretchDiBits;
    using A = layout::BitBlt;
    const quint32 fixed = alpha ? A::StretchLength : S::Length;
    RecordWriter w = start(alpha ? EMR_ALPHABLEND : EMR_STRETCHDIBITS, fixed);
    w.rect(S::Bounds, QRect(tl, br - QPoint(1, 1)));
    if (alpha) {
        w.point(A::Dest, tl);
        w.point(A::DestSize, br - tl);
        w.u8(layout::Blend::ConstantAlpha, 255); // source over, per-pixel alpha
        w.u8(layout::Blend::AlphaFormat, 1);
        w.f32(A::Transform, 1.f); // identity: m11 and m22
        w.f32(A::Transform + 12, 1.f);
        w.u32(A::BmiOffset, fixed);
        w.u32(A::BmiSize, layout::BitmapInfo::Length);
        w.u32(A::BitsOffset, fixed + layout::BitmapInfo::Length);
        w.u32(A::BitsSize, bitsSize);
        w.point(A::SourceSize, size);
    } else {
        w.point(S::Dest, tl);
        w.point(S::SourceSize, size);
        w.u32(S::BmiOffset, fixed);
        w.u32(S::BmiSize, layout::BitmapInfo::Length);
        w.u32(S::BitsOffset, fixed + layout::BitmapInfo::Length);
        w.u32(S::BitsSize, bitsSize);
        w.u32(S::Rop, SRCCOPY);
        w.point(S::DestSize, br - tl);
    }
    ByteWriter info = w.tail();
    info.u32(layout::BitmapInfo::Length);
    info.i32(part.width());
    info.i32(part.height()); // positive: bottom row first
    info.u16(1);
    info.u16(alpha ? 32 : 24);
    info.u32(0);
    info.u32(bitsSize);
    info.zeros(16);
    for (int y = part.height() - 1; y >= 0; --y)
        info.bytes(reinterpret_cast<const char *>(part.constScanLine(y)), stride);
    w.finish();
}
