#pragma once

#include "printer/drawing/Metafile.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;

namespace qrcontrols {

/// The picture of an image control or of a report's background: a bitmap (BMP, or PNG, GIF or icon through
/// Qt's readers), a JPEG decoded by libjpeg-turbo, or a metafile replayed by our EMF player. Loading is for
/// outside bytes: anything damaged, unknown or larger than the pixel cap gives no picture and one message.
class Picture {
public:
    enum class Kind { None, Bitmap, Jpeg, Metafile };

    /// Pictures above this many pixels are refused (32 megapixels: a 128-MB bitmap at 32 bits per pixel).
    static constexpr quint64 DefaultMaxPixels = quint64(1) << 25;
    /// Files above this size are not read.
    static constexpr qint64 MaxFileBytes = qint64(256) << 20;

    Picture() = default;

    /// The picture in `bytes`, its format found from its first bytes. A null picture, with the reason in
    /// `error`, when the bytes hold none we can read.
    static Picture FromBytes(const QByteArray &bytes, QString *error = nullptr, quint64 maxPixels = DefaultMaxPixels);
    static Picture FromFile(const QString &path, QString *error = nullptr, quint64 maxPixels = DefaultMaxPixels);

    bool IsNull() const { return m_kind == Kind::None; }
    Kind kind() const { return m_kind; }
    /// Width and height in the picture's own pixels.
    QSize PixelSize() const;
    /// The resolution the file states, in pixels per inch; 0 when it states none.
    double DpiX() const { return m_dpiX; }
    double DpiY() const { return m_dpiY; }
    /// The raster of a bitmap or JPEG; null for a metafile.
    const QImage &Image() const { return m_image; }
    /// The recording of a metafile; none otherwise.
    const TMetafile *Metafile() const { return m_metafile.get(); }

    /// The size the picture is meant to have, in 0.1 mm: its pixels at its own resolution, or at
    /// `fallbackDpi` (the screen's) when it states none.
    QSizeF NaturalSize(double fallbackDpiX = 96, double fallbackDpiY = 96) const;
    /// The natural size in pixels of a device of the given resolution, rounded.
    QSize SizeOnDevice(double deviceDpiX, double deviceDpiY, double fallbackDpiX = 96, double fallbackDpiY = 96) const;

    /// Draws the whole picture stretched into `target`; a bitmap's pixels are repeated or dropped, not blended.
    void StretchDraw(QPainter &painter, const QRectF &target) const;

private:
    Kind m_kind = Kind::None;
    QImage m_image;
    std::shared_ptr<const TMetafile> m_metafile;
    double m_dpiX = 0;
    double m_dpiY = 0;
};

/// How an image control places its picture.
struct PicturePlacement {
    /// Fill the target rectangle.
    bool stretch = false;
    /// Otherwise, centre the natural-size picture in it (else it starts at the top-left corner).
    bool center = false;
    /// Resolution of the painter's device, pixels per inch.
    double deviceDpiX = 96;
    double deviceDpiY = 96;
    /// Resolution taken for a picture that states none (the screen's).
    double screenDpiX = 96;
    double screenDpiY = 96;
};

/// Draws a picture into `target` (device pixels) as an image control prints it: stretched, or at its natural
/// size from the top-left corner or centred, cut to the target so a larger picture never spills over the
/// band. The painter's state is the same afterwards. A null picture draws nothing.
void DrawPicture(QPainter &painter, const Picture &picture, const QRect &target, const PicturePlacement &placement);

} // namespace qrcontrols
