#include "report/controls/Picture.h"

#include "printer/drawing/Canvas.h"
#include "printer/drawing/Units.h"
#include "report/controls/JpegDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qrcontrols {

namespace {

bool startsWith(const QByteArray &bytes, const char *magic, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.constData(), magic, size_t(length)) == 0;
}

bool isMetafile(const QByteArray &bytes) {
    return bytes.size() >= 44 && qFromLittleEndian<quint32>(bytes.constData()) == 1 &&
           std::memcmp(bytes.constData() + 40, " EMF", 4) == 0;
}

// The Qt reader for the raster formats we take, by their first bytes.
QByteArray rasterFormat(const QByteArray &bytes) {
    if (startsWith(bytes, "BM", 2))
        return "bmp";
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
        return "png";
    if (startsWith(bytes, "GIF87a", 6) || startsWith(bytes, "GIF89a", 6))
        return "gif";
    if (startsWith(bytes, "\0\0\1\0", 4))
        return "ico";
    return {};
}

// A bitmap file's resolution is in its info header, in pixels per metre; 0 there means none is stated.
void bitmapResolution(const QByteArray &bytes, double &dpiX, double &dpiY) {
    if (bytes.size() < 46 || qFromLittleEndian<quint32>(bytes.constData() + 14) < 40)
        return;
    const qint32 x = qFromLittleEndian<qint32>(bytes.constData() + 38);
    const qint32 y = qFromLittleEndian<qint32>(bytes.constData() + 42);
    if (x > 0 && y > 0) {
        dpiX = x * 0.0254;
        dpiY = y * 0.0254;
    }
}

bool usableDpi(double dpi) {
    return std::isfinite(dpi) && dpi > 0;
}

} // namespace

Picture Picture::FromBytes(const QByteArray &bytes, QString *error, quint64 maxPixels) {
    Picture picture;
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return Picture();
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("The picture is empty"));

    if (startsWith(bytes, "\xff\xd8\xff", 3)) {
        QString message;
        JpegPicture jpeg = DecodeJpeg(bytes, maxPixels, &message);
        if (jpeg.image.isNull())
            return fail(message);
        picture.m_kind = Kind::Jpeg;
        picture.m_image = jpeg.image;
        picture.m_dpiX = jpeg.dpiX;
        picture.m_dpiY = jpeg.dpiY;
        return picture;
    }

    if (isMetafile(bytes)) {
        auto metafile = std::make_shared<TMetafile>();
        if (!metafile->LoadFromBytes(bytes))
            return fail(QStringLiteral("The metafile is damaged"));
        picture.m_kind = Kind::Metafile;
        if (usableDpi(metafile->DpiX()) && usableDpi(metafile->DpiY())) {
            picture.m_dpiX = metafile->DpiX();
            picture.m_dpiY = metafile->DpiY();
        }
        picture.m_metafile = std::move(metafile);
        return picture;
    }

    const QByteArray format = rasterFormat(bytes);
    if (format.isEmpty())
        return fail(QStringLiteral("Unknown picture format"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (size.isValid() && quint64(size.width()) * quint64(size.height()) > maxPixels)
        return fail(QStringLiteral("The picture is too large (%1 x %2 pixels)").arg(size.width()).arg(size.height()));
    // Four bytes a pixel, in megabytes.
    reader.setAllocationLimit(int(std::min<quint64>(maxPixels / (256 * 1024) + 1, 1024)));
    QImage image = reader.read();
    if (image.isNull() || quint64(image.width()) * quint64(image.height()) > maxPixels)
        return fail(QStringLiteral("The picture is damaged: %1").arg(reader.errorString()));
    picture.m_kind = Kind::Bitmap;
    picture.m_image = std::move(image);
    if (format == "bmp")
        bitmapResolution(bytes, picture.m_dpiX, picture.m_dpiY);
    return picture;
}

Picture Picture::FromFile(const QString &path, QString *error, quint64 maxPixels) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open the picture %1: %2").arg(path, file.errorString());
        return {};
    }
    if (file.size() > MaxFileBytes) {
        if (error)
            *error = QStringLiteral("The picture %1 is too large").arg(path);
        return {};
    }
    return FromBytes(file.readAll(), error, maxPixels);
}

QSize Picture::PixelSize() const {
    switch (m_kind) {
    case Kind::None:
        return {};
    case Kind::Metafile:
        return {m_metafile->Width(), m_metafile->Height()};
    case Kind::Bitmap:
    case Kind::Jpeg:
        return m_image.size();
    }
    return {};
}

QSizeF Picture::NaturalSize(double fallbackDpiX, double fallbackDpiY) const {
    if (IsNull())
        return {};
    const double dpiX = usableDpi(m_dpiX) ? m_dpiX : fallbackDpiX;
    const double dpiY = usableDpi(m_dpiY) ? m_dpiY : fallbackDpiY;
    if (!usableDpi(dpiX) || !usableDpi(dpiY))
        return {};
    const QSize pixels = PixelSize();
    return {pixels.width() / dpiX * 254.0, pixels.height() / dpiY * 254.0};
}

QSize Picture::SizeOnDevice(double deviceDpiX, double deviceDpiY, double fallbackDpiX, double fallbackDpiY) const {
    const QSizeF natural = NaturalSize(fallbackDpiX, fallbackDpiY);
    return {rnd(natural.width() / 254.0 * deviceDpiX), rnd(natural.height() / 254.0 * deviceDpiY)};
}

void Picture::StretchDraw(QPainter &painter, const QRectF &target) const {
    switch (m_kind) {
    case Kind::None:
        return;
    case Kind::Metafile:
        canvas::StretchDraw(painter, target, *m_metafile);
        return;
    case Kind::Bitmap:
    case Kind::Jpeg:
        canvas::StretchDraw(painter, target, m_image);
        return;
    }
}

void DrawPicture(QPainter &painter, const Picture &picture, const QRect &target, const PicturePlacement &placement) {
    if (picture.IsNull())
        return;
    if (placement.stretch) {
        picture.StretchDraw(painter, QRectF(target));
        return;
    }
    const QSize size =
        picture.SizeOnDevice(placement.deviceDpiX, placement.deviceDpiY, placement.screenDpiX, placement.screenDpiY);
    QRect place(target.topLeft(), size);
    if (placement.center)
        place.translate((target.width() - size.width()) / 2, (target.height() - size.height()) / 2);
    canvas::ClipRect clip(painter, QRectF(target));
    picture.StretchDraw(painter, QRectF(place));
}

} // namespace qrcontrols
