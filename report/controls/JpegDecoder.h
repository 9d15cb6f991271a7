#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace qrcontrols {

/// A decoded JPEG picture: its pixels and the resolution its file states (0 when it states none).
struct JpegPicture {
    QImage image;
    double dpiX = 0;
    double dpiY = 0;
};

/// Decodes a JPEG file held in memory. Damaged data (truncated, corrupt entropy data, bad markers), a picture
/// of more than `maxPixels` pixels or an endless progression of scans gives a null image and one message in
/// `error`; the decoder never ends the process and never prints. Grey, colour and CMYK pictures come out as
/// 32-bit RGB.
JpegPicture DecodeJpeg(const QByteArray &bytes, quint64 maxPixels, QString *error = nullptr);

} // namespace qrcontrols
