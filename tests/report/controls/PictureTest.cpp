// Pictures of image controls: reading JPEG, bitmap and metafile bytes from outside, their natural size, and
// drawing them into a rectangle.
#include "report/controls/Picture.h"

#include "printer/drawing/Metafile.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using qrcontrols::Picture;

namespace {

// A JPEG written by libjpeg itself, with the density the file should state (unit 0: none), grey or in colour,
// and in the given scans (none: a baseline file).
QByteArray encodeJpeg(const QImage &source, int density = 0, int unit = 0, bool gray = false,
                      const std::vector<jpeg_scan_info> &scans = {}) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (gray)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (!scans.empty()) {
        cinfo.scan_info = scans.data();
        cinfo.num_scans = int(scans.size());
    }
    cinfo.density_unit = UINT8(unit);
    cinfo.X_density = UINT16(unit ? density : 1);
    cinfo.Y_density = UINT16(unit ? density : 1);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar *>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

// Left half blue, right half red.
QImage halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height, Qt::blue);
    p.fillRect(width / 2, 0, width - width / 2, height, Qt::red);
    return image;
}

QByteArray encodeBmp(const QImage &image, double dpi) {
    QImage copy = image;
    copy.setDotsPerMeterX(qRound(dpi / 0.0254));
    copy.setDotsPerMeterY(qRound(dpi / 0.0254));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(copy.save(&buffer, "BMP"));
    return bytes;
}

// The offset of the first marker of `type` (0xFFxx) after the start of image.
qsizetype markerAt(const QByteArray &jpeg, uchar type) {
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xff && uchar(jpeg[i + 1]) == type)
            return i;
    return -1;
}

bool near(QRgb a, QColor b) {
    return std::abs(qRed(a) - b.red()) < 40 && std::abs(qGreen(a) - b.green()) < 40 &&
           std::abs(qBlue(a) - b.blue()) < 40;
}

struct Loaded {
    Picture picture;
    QString error;
};
Loaded load(const QByteArray &bytes, quint64 maxPixels = Picture::DefaultMaxPixels) {
    Loaded result;
    result.picture = Picture::FromBytes(bytes, &result.error, maxPixels);
    return result;
}

} // namespace

TEST(Picture, JpegDecodesWithItsResolution) {
    const Loaded dpi = load(encodeJpeg(halves(600, 300), 300, 1));
    ASSERT_FALSE(dpi.picture.IsNull()) << dpi.error.toStdString();
    EXPECT_EQ(dpi.picture.kind(), Picture::Kind::Jpeg);
    EXPECT_EQ(dpi.picture.PixelSize(), QSize(600, 300));
    EXPECT_TRUE(near(dpi.picture.Image().pixel(10, 150), Qt::blue));
    EXPECT_TRUE(near(dpi.picture.Image().pixel(590, 150), Qt::red));
    // 600 pixels at 300 per inch are two inches, 50.8 mm, whatever the screen.
    EXPECT_EQ(dpi.picture.NaturalSize(), QSizeF(508, 254));
    EXPECT_EQ(dpi.picture.NaturalSize(120, 120), QSizeF(508, 254));
    EXPECT_EQ(dpi.picture.SizeOnDevice(600, 600), QSize(1200, 600));

    const Loaded perCm = load(encodeJpeg(halves(100, 100), 100, 2)); // 254 per inch
    ASSERT_FALSE(perCm.picture.IsNull());
    EXPECT_DOUBLE_EQ(perCm.picture.DpiX(), 254);
    EXPECT_EQ(perCm.picture.SizeOnDevice(508, 254), QSize(200, 100));

    // No resolution stated: the picture's pixels are the screen's.
    const Loaded none = load(encodeJpeg(halves(192, 96)));
    ASSERT_FALSE(none.picture.IsNull());
    EXPECT_EQ(none.picture.DpiX(), 0);
    EXPECT_EQ(none.picture.NaturalSize(96, 96), QSizeF(508, 254));
    EXPECT_EQ(none.picture.SizeOnDevice(300, 300, 96, 96), QSize(600, 300));

    const Loaded gray = load(encodeJpeg(halves(64, 64), 72, 1, true));
    ASSERT_FALSE(gray.picture.IsNull());
    const QRgb left = gray.picture.Image().pixel(5, 5);
    EXPECT_TRUE(qRed(left) == qGreen(left) && qGreen(left) == qBlue(left));
}

TEST(Picture, DamagedJpegGivesNoPictureAndOneMessage) {
    const QByteArray good = encodeJpeg(halves(256, 256), 96, 1);
    ASSERT_FALSE(load(good).picture.IsNull());

    QByteArray truncated = good.left(good.size() / 2);
    QByteArray badHuffman = good;
    const qsizetype dht = markerAt(good, 0xc4);
    ASSERT_GT(dht, 0);
    for (qsizetype i = dht + 5; i < dht + 21; ++i) // the code counts: far more codes than can exist
        badHuffman[i] = char(0xff);
    QByteArray noWidth = good;
    const qsizetype sof = markerAt(good, 0xc0);
    ASSERT_GT(sof, 0);
    noWidth[sof + 7] = 0;
    noWidth[sof + 8] = 0;
    QByteArray garbledScan = good;
    const qsizetype sos = markerAt(good, 0xda);
    ASSERT_GT(sos, 0);
    for (qsizetype i = sos + 40; i < garbledScan.size() - 2; i += 7)
        garbledScan[i] = char(0xff); // markers where none may be
    const QByteArray headerOnly = good.left(sos);

    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {{"truncated", truncated},    {"bad Huffman table", badHuffman},
                 {"zero width", noWidth},     {"garbled scan", garbledScan},
                 {"header only", headerOnly}, {"signature only", QByteArray("\xff\xd8\xff", 3)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded result = load(c.bytes);
        EXPECT_TRUE(result.picture.IsNull());
        EXPECT_EQ(result.picture.PixelSize(), QSize());
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_FALSE(result.error.contains(QLatin1Char('\n')));
    }
}

TEST(Picture, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    // A few hundred bytes claiming 65,000 x 65,000 pixels (16 GB decoded).
    QByteArray huge = encodeJpeg(halves(16, 16), 96, 1);
    const qsizetype sof = markerAt(huge, 0xc0);
    ASSERT_GT(sof, 0);
    qToBigEndian<quint16>(65000, huge.data() + sof + 5);
    qToBigEndian<quint16>(65000, huge.data() + sof + 7);
    const Loaded jpeg = load(huge);
    EXPECT_TRUE(jpeg.picture.IsNull());
    EXPECT_TRUE(jpeg.error.contains(QStringLiteral("65000 x 65000"))) << jpeg.error.toStdString();

    // The cap is the caller's: a small picture over a small cap is refused too.
    const QByteArray small = encodeJpeg(halves(100, 100));
    EXPECT_TRUE(load(small, 9999).picture.IsNull());
    EXPECT_FALSE(load(small, 10000).picture.IsNull());

    QByteArray bmp = encodeBmp(halves(8, 8), 96);
    qToLittleEndian<qint32>(100000, bmp.data() + 18);
    qToLittleEndian<qint32>(100000, bmp.data() + 22);
    const Loaded bitmap = load(bmp);
    EXPECT_TRUE(bitmap.picture.IsNull());
    EXPECT_FALSE(bitmap.error.isEmpty());
}

// A grey picture sent in up to `count` scans: the DC scan, then each AC coefficient from 8 bits short of
// exact down to exact, coefficient by coefficient (568 scans in all).
std::vector<jpeg_scan_info> manyScans(std::size_t count) {
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k <= 63; ++k) {
        scans.push_back({1, {0}, k, k, 0, 8});
        for (int bit = 8; bit > 0; --bit)
            scans.push_back({1, {0}, k, k, bit, bit - 1});
    }
    if (count < scans.size())
        scans.resize(count); // an unfinished script is still a valid file
    return scans;
}

TEST(Picture, ProgressiveFilesDecodeWithinTheirBudget) {
    // A progressive file keeps the whole picture's coefficients (6 MB here) besides its pixels; a cap of
    // exactly its pixels allows for them.
    QImage source(2000, 1500, QImage::Format_RGB32);
    source.fill(Qt::gray);
    const Loaded exact = load(encodeJpeg(source, 0, 0, true, manyScans(10)), 2000 * 1500);
    ASSERT_FALSE(exact.picture.IsNull()) << exact.error.toStdString();
    EXPECT_EQ(exact.picture.PixelSize(), QSize(2000, 1500));

    // Each scan is a pass over the whole picture; a file of more than a few hundred is refused.
    EXPECT_FALSE(load(encodeJpeg(halves(16, 16), 0, 0, true, manyScans(400))).picture.IsNull());
    const Loaded refused = load(encodeJpeg(halves(16, 16), 0, 0, true, manyScans(600)));
    EXPECT_TRUE(refused.picture.IsNull());
    EXPECT_TRUE(refused.error.contains(QStringLiteral("scans"))) << refused.error.toStdString();
}

TEST(Picture, BitmapsAndMetafilesKnowTheirSize) {
    const Loaded bmp = load(encodeBmp(halves(300, 150), 150));
    ASSERT_FALSE(bmp.picture.IsNull()) << bmp.error.toStdString();
    EXPECT_EQ(bmp.picture.kind(), Picture::Kind::Bitmap);
    EXPECT_NEAR(bmp.picture.NaturalSize().width(), 508, 0.1); // 2 inches
    EXPECT_EQ(bmp.picture.SizeOnDevice(300, 300), QSize(600, 300));
    EXPECT_TRUE(near(bmp.picture.Image().pixel(299, 0), Qt::red));

    // A bitmap stating no resolution (0 pixels per metre) is in screen pixels.
    QByteArray plain = encodeBmp(halves(96, 48), 150);
    qToLittleEndian<qint32>(0, plain.data() + 38);
    qToLittleEndian<qint32>(0, plain.data() + 42);
    const Loaded unstated = load(plain);
    ASSERT_FALSE(unstated.picture.IsNull());
    EXPECT_EQ(unstated.picture.DpiX(), 0);
    EXPECT_EQ(unstated.picture.SizeOnDevice(200, 200, 96, 96), QSize(200, 100));

    TMetafile recording(400, 200, 200, 200);
    {
        TMetafileCanvas canvas(recording);
        canvas->fillRect(0, 0, 400, 200, Qt::green);
    }
    const Loaded emf = load(recording.Bytes());
    ASSERT_FALSE(emf.picture.IsNull()) << emf.error.toStdString();
    EXPECT_EQ(emf.picture.kind(), Picture::Kind::Metafile);
    EXPECT_EQ(emf.picture.PixelSize(), QSize(400, 200));
    EXPECT_EQ(emf.picture.SizeOnDevice(100, 100), QSize(200, 100));
    const Loaded cutEmf = load(recording.Bytes().left(recording.Bytes().size() - 10));
    EXPECT_TRUE(cutEmf.picture.IsNull());
    EXPECT_FALSE(cutEmf.error.isEmpty());

    for (const QByteArray &bytes : {QByteArray(), QByteArray("not a picture at all"), QByteArray("BM\0\0", 4)}) {
        const Loaded nothing = load(bytes);
        EXPECT_TRUE(nothing.picture.IsNull());
        EXPECT_FALSE(nothing.error.isEmpty());
    }
    QString error;
    EXPECT_TRUE(Picture::FromFile(QStringLiteral("/nonexistent/picture.jpg"), &error).IsNull());
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/picture.jpg")));
}

TEST(Picture, DrawingStretchesCentresAndClips) {
    const Loaded loaded = load(encodeBmp(halves(100, 100), 96));
    ASSERT_FALSE(loaded.picture.IsNull());
    const Picture &picture = loaded.picture;
    const QRect target(50, 50, 40, 40);
    auto draw = [&](qrcontrols::PicturePlacement placement) {
        QImage page(200, 200, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        qrcontrols::DrawPicture(painter, picture, target, placement);
        EXPECT_FALSE(painter.hasClipping());
        EXPECT_EQ(painter.transform(), QTransform());
        painter.end();
        return page;
    };
    // Nothing outside the target, whatever the placement.
    auto outsideIsWhite = [&](const QImage &page) {
        int painted = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (!target.contains(x, y) && page.pixel(x, y) != qRgb(255, 255, 255))
                    ++painted;
        return painted == 0;
    };

    // At its natural size from the corner: the picture's blue left 40 pixels show, cut at the target.
    const QImage corner = draw({});
    EXPECT_TRUE(outsideIsWhite(corner));
    EXPECT_TRUE(near(corner.pixel(51, 51), Qt::blue));
    EXPECT_TRUE(near(corner.pixel(89, 89), Qt::blue));

    // Centred: its middle 40 pixels, 20 blue then 20 red.
    const QImage centred = draw({false, true});
    EXPECT_TRUE(outsideIsWhite(centred));
    EXPECT_TRUE(near(centred.pixel(55, 70), Qt::blue));
    EXPECT_TRUE(near(centred.pixel(85, 70), Qt::red));

    // Stretched: the whole picture in the target.
    const QImage stretched = draw({true});
    EXPECT_TRUE(outsideIsWhite(stretched));
    EXPECT_TRUE(near(stretched.pixel(50, 50), Qt::blue));
    EXPECT_TRUE(near(stretched.pixel(89, 89), Qt::red));

    // On a device of twice the resolution the picture is twice as many pixels: 100 device pixels of blue.
    qrcontrols::PicturePlacement fine;
    fine.deviceDpiX = fine.deviceDpiY = 192;
    QImage page(300, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        qrcontrols::DrawPicture(painter, picture, QRect(0, 0, 300, 300), fine);
    }
    EXPECT_TRUE(near(page.pixel(98, 10), Qt::blue));
    EXPECT_TRUE(near(page.pixel(102, 10), Qt::red));
    EXPECT_TRUE(near(page.pixel(198, 10), Qt::red));
    EXPECT_EQ(page.pixel(202, 10), qRgb(255, 255, 255));

    // No picture, nothing drawn.
    const Picture empty;
    QImage blank(20, 20, QImage::Format_RGB32);
    blank.fill(Qt::white);
    {
        QPainter painter(&blank);
        qrcontrols::DrawPicture(painter, empty, QRect(0, 0, 20, 20), {true});
    }
    EXPECT_EQ(blank.pixel(10, 10), qRgb(255, 255, 255));
}
