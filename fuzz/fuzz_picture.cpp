// Reads arbitrary bytes as an image control's picture (JPEG through libjpeg, bitmaps through Qt's readers,
// metafiles through our player) and draws it stretched and clipped. Seeds: fuzz/seeds/picture.
//
// Nothing may crash, trip a sanitizer, end the process or print; a refused picture comes with its message.
#include "report/controls/Picture.h"

#include "fuzz/GuiFuzzing.h"

#include <QImage>
#include <QPainter>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    // A small cap keeps each run quick; the cap's check is what matters here.
    const qrcontrols::Picture picture = qrcontrols::Picture::FromBytes(bytes, &error, 1 << 20);
    if (picture.IsNull()) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    const QSize pixels = picture.PixelSize();
    if (picture.kind() != qrcontrols::Picture::Kind::Metafile &&
        quint64(pixels.width()) * quint64(pixels.height()) > (1u << 20))
        __builtin_trap();
    static QImage page(64, 64, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    qrcontrols::DrawPicture(painter, picture, QRect(8, 8, 40, 40), {true});
    qrcontrols::DrawPicture(painter, picture, QRect(8, 8, 40, 40), {false, true});
    return 0;
}
