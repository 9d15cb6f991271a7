#include "printer/drawing/Dib.h"

#include "printer/drawing/EmfFormat.h"

#include <algorithm>
#include <bit>
#include <climits>

namespace {

enum Compression : quint32 { BI_RGB = 0, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5 };

struct Mask {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Mask(quint32 m = 0) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m >> shift);
            if (bits > 8) { // keep the top 8 bits
                shift += bits - 8;
                bits = 8;
            }
        }
    }
    int value(quint32 px) const {
        if (!mask)
            return 0;
        const quint32 v = (px & mask) >> shift & ((1u << bits) - 1);
        return bits == 8 ? int(v) : int(v * 255 / ((1u << bits) - 1));
    }
};

} // namespace

QImage decodeDib(const uchar *info, quint64 infoSize, const uchar *bits, quint64 bitsSize, bool *bottomUp, bool alpha,
                 quint64 maxPixels) {
    if (infoSize < 40)
        return {};
    const quint32 headerSize = emf::u32(info);
    if (headerSize < 40 || headerSize > infoSize)
        return {};
    const qint64 width = emf::i32(info + 4);
    const qint64 rawHeight = emf::i32(info + 8);
    const int bitCount = emf::u16(info + 14);
    const quint32 compression = emf::u32(info + 16);
    const quint32 clrUsed = emf::u32(info + 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == qint64(INT_MIN))
        return {};
    const qint64 height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (bottomUp)
        *bottomUp = rawHeight > 0;
    if (quint64(width) * quint64(height) > maxPixels || width > 65535 || height > 65535)
        return {};

    if (compression == BI_JPEG || compression == BI_PNG) {
        QImage image;
        image.loadFromData(bits, int(std::min<quint64>(bitsSize, INT_MAX)), compression == BI_PNG ? "PNG" : "JPEG");
        if (!image.isNull() && quint64(image.width()) * quint64(image.height()) > maxPixels)
            return {};
        return image;
    }
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return {};
    if (compression == BI_BITFIELDS && bitCount != 16 && bitCount != 32)
        return {};

    const quint64 stride = (quint64(width) * quint64(bitCount) + 31) / 32 * 4;
    if (stride * quint64(height) > bitsSize)
        return {};

    // Colour table or masks follow the header.
    QList<QRgb> palette;
    Mask red, green, blue;
    if (bitCount <= 8) {
        quint64 colors = clrUsed ? clrUsed : (1u << bitCount);
        if (colors > 256)
            colors = 256;
        if (headerSize + colors * 4 > infoSize)
            return {};
        for (quint64 i = 0; i < colors; ++i) {
            const uchar *c = info + headerSize + i * 4;
            palette.append(qRgb(c[2], c[1], c[0]));
        }
        while (palette.size() < (1 << bitCount))
            palette.append(qRgb(0, 0, 0));
    } else if (compression == BI_BITFIELDS) {
        const quint64 at = 40; // masks follow the 40-byte header, or sit inside the longer header forms
        if (at + 12 > infoSize)
            return {};
        red = Mask(emf::u32(info + at));
        green = Mask(emf::u32(info + at + 4));
        blue = Mask(emf::u32(info + at + 8));
    } else if (bitCount == 16) {
        red = Mask(0x7C00);
        green = Mask(0x03E0);
        blue = Mask(0x001F);
    }

    alpha = alpha && bitCount == 32 && compression == BI_RGB;
    QImage image(int(width), int(height), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (qint64 y = 0; y < height; ++y) {
        const uchar *row = bits + stride * quint64(rawHeight > 0 ? height - 1 - y : y);
        QRgb *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
                out[x] = palette[row[x >> 3] >> (7 - (x & 7)) & 1];
                break;
            case 4:
                out[x] = palette[(x & 1) ? row[x >> 1] & 0xF : row[x >> 1] >> 4];
                break;
            case 8:
                out[x] = palette[row[x]];
                break;
            case 16: {
                const quint32 px = emf::u16(row + 2 * x);
                out[x] = qRgb(red.value(px), green.value(px), blue.value(px));
                break;
            }
            case 24:
                out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            default: {
                if (compression == BI_BITFIELDS) {
                    const quint32 px = emf::u32(row + 4 * x);
                    out[x] = qRgb(red.value(px), green.value(px), blue.value(px));
                } else {
                    const uchar *p = row + 4 * x;
                    out[x] = alpha ? qRgba(std::min(p[2], p[3]), std::min(p[1], p[3]), std::min(p[0], p[3]), p[3])
                                   : qRgb(p[2], p[1], p[0]);
                }
                break;
            }
            }
        }
    }
    return image;
}
