#pragma once

#include <QImage>
#include <QtGlobal>

/// Decodes a device-independent bitmap (info header with its colour table or masks, and the pixel bits)
/// as metafile records carry it. Every size is checked against the given byte counts; a bitmap that does
/// not fit, is larger than `maxPixels` or uses an unknown form gives a null image. `bottomUp` tells whether
/// the rows were stored bottom row first; `alpha` keeps the fourth byte of 32-bit pixels as premultiplied
/// alpha (alpha-blend records), otherwise it is ignored.
QImage decodeDib(const uchar *info, quint64 infoSize, const uchar *bits, quint64 bitsSize, bool *bottomUp = nullptr,
                 bool alpha = false, quint64 maxPixels = quint64(1) << 26);
