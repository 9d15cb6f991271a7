// Replays arbitrary bytes as a page recording onto a small image, and lists its text. Seeds: fuzz/seeds/emf
// (recordings of ours and records as other programs write them).
#include "printer/drawing/EmfPlayer.h"

#include "fuzz/GuiFuzzing.h"

#include <QImage>
#include <QPainter>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    EmfPlayer player(bytes);
    if (!player.isValid())
        return 0;
    static QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        player.play(painter, QRectF(0, 0, 64, 64));
    }
    player.texts();
    return 0;
}
