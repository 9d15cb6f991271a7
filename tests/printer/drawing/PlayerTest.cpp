#include "printer/drawing/Canvas.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfPlayer.h"
#include "printer/drawing/Metafile.h"
#include "tests/printer/drawing/DrawingTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <random>

using namespace emf;

namespace {

qint32 pack16(int x, int y) {
    return qint32(quint32(x & 0xFFFF) | quint32(y & 0xFFFF) << 16);
}

// A record of `type` with fixed values, then raw bytes.
QByteArray rawRecord(quint32 type, const QList<qint32> &values, const QByteArray &tail = {}) {
    QByteArray r;
    ByteWriter w(r);
    w.u32(type);
    w.u32(0);
    for (qint32 v : values)
        w.i32(v);
    r.append(tail);
    w.pad4();
    ByteWriter::putU32(r, 4, quint32(r.size()));
    return r;
}

// A 2 x 2 24-bit bitmap, bottom row first: red green / blue white.
QByteArray dibInfo() {
    QByteArray b;
    ByteWriter w(b);
    w.u32(40);
    w.i32(2);
    w.i32(2);
    w.u16(1);
    w.u16(24);
    w.u32(0);
    w.u32(16);
    w.zeros(16);
    return b;
}

QByteArray dibBits() {
    const uchar bits[] = {255, 0, 0, 255, 255, 255, 0, 0, /* blue white */ 0, 0, 255, 0, 255, 0, 0, 0 /* red green */};
    return QByteArray(reinterpret_cast<const char *>(bits), sizeof bits);
}

QByteArray stretchBlt(int x, int y, int cx, int cy, const QByteArray &info, const QByteArray &bits) {
    QList<qint32> v = {0, 0, 0, 0, x, y, cx, cy, qint32(SRCCOPY), 0, 0};
    for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f}) {
        qint32 i;
        std::memcpy(&i, &f, 4);
        v << i;
    }
    v << 0 << 0 << 108 << qint32(info.size()) << qint32(108 + info.size()) << qint32(bits.size()) << 2 << 2;
    return rawRecord(EMR_STRETCHBLT, v, info + bits);
}

QRgb at(const QImage &image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

TMetafile loaded(const QByteArray &bytes) {
    TMetafile m;
    EXPECT_TRUE(m.LoadFromBytes(bytes));
    return m;
}

} // namespace

TEST(Recording, HeaderDescribesThePage) {
    const struct {
        int width, height;
        double dpi;
    } sizes[] = {{794, 1123, 96}, {1, 1, 96}, {2480, 3508, 300}, {1000, 500, 72}};
    for (const auto &s : sizes) {
        TMetafile page(s.width, s.height, s.dpi, s.dpi);
        {
            TMetafileCanvas canvas(page);
            canvas->drawText(0, 10, QStringLiteral("x"));
        }
        const QByteArray bytes = page.Bytes();
        EXPECT_EQ(bytes.mid(40, 4), QByteArray(" EMF"));
        EXPECT_EQ(u32(reinterpret_cast<const uchar *>(bytes.constData()) + 48), quint32(bytes.size()));
        int records = 0;
        quint32 last = 0;
        page.Enumerate([&](const EmfRecord &r) {
            ++records;
            last = r.type;
            return true;
        });
        EXPECT_EQ(u32(reinterpret_cast<const uchar *>(bytes.constData()) + 52), quint32(records));
        EXPECT_EQ(last, quint32(EMR_EOF));
        const TMetafile back = loaded(bytes);
        EXPECT_EQ(back.Width(), s.width);
        EXPECT_EQ(back.Height(), s.height);
        EXPECT_NEAR(back.DpiX(), s.dpi, 0.5);
    }
}

TEST(Recording, TextStaysSearchableText) {
    TMetafile page(300, 100, 96, 96);
    {
        TMetafileCanvas canvas(page);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(12);
        canvas->setFont(font);
        canvas->drawText(20, 40, QStringLiteral("Összesen: 1 234 Ft"));
        // A font-less machine draws empty boxes of one width for every letter.
        EXPECT_NE(canvas::TextWidth(canvas.Painter(), QStringLiteral("IIII")),
                  canvas::TextWidth(canvas.Painter(), QStringLiteral("WWWW")));
    }
    QList<EmfRecord> texts;
    page.Enumerate([&](const EmfRecord &r) {
        if (r.isText())
            texts << r;
        return true;
    });
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0].type, quint32(EMR_EXTTEXTOUTW));
    EXPECT_EQ(texts[0].chars, 18u);
    EXPECT_EQ(u32(texts[0].data + 44), 18u);
    EXPECT_EQ(texts[0].stringOffset, u32(texts[0].data + 48));
    EXPECT_EQ(texts[0].text(), QStringLiteral("Összesen: 1 234 Ft"));
    const auto runs = page.Texts();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].position, QPointF(20, 40));
}

TEST(Recording, CopiedToTheClipboard) {
    TMetafile page(120, 80, 96, 96);
    {
        TMetafileCanvas canvas(page);
        canvas->fillRect(QRect(10, 10, 30, 20), Qt::black);
    }
    page.CopyToClipboard();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(QStringLiteral("image/x-emf")), page.Bytes());
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    ASSERT_EQ(picture.size(), QSize(120, 80));
    EXPECT_EQ(at(picture, 20, 20), 0u);
    EXPECT_EQ(at(picture, 60, 60), 0xFFFFFFu);
}

TEST(Recording, StretchedAndTransformedDrawing) {
    // Stretched to twice the size, the page looks as if painted twice as large.
    auto paint = [](QPainter &p) { paintSamplePage(p); };
    TMetafile page(400, 500, 96, 96);
    {
        TMetafileCanvas canvas(page);
        paint(canvas.Painter());
    }
    const QImage big = replay(page, 800, 1000);
    const QImage direct = paintDirect(800, 1000, [&](QPainter &p) {
        p.scale(2, 2);
        paint(p);
    });
    EXPECT_LT(differingShare(big, direct), 0.03);
    // Into an offset rectangle: nothing outside it.
    const QImage offset = replay(page, 800, 1000, QRectF(400, 500, 400, 500));
    EXPECT_EQ(inkShare(offset.copy(0, 0, 400, 1000)), 0);
    EXPECT_LT(differingShare(offset.copy(400, 500, 400, 500), paintDirect(400, 500, paint)), 0.002);

    // Painter transforms beyond a translation go through the world transform.
    auto rotated = [](QPainter &p) {
        p.translate(200, 250);
        p.rotate(30);
        p.scale(1.5, 0.75);
        p.setBrush(QColor(100, 150, 250));
        p.drawRect(-80, -40, 160, 80);
        p.drawEllipse(QPointF(0, 0), 30, 20);
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(14);
        p.setFont(f);
        p.drawText(-70, -50, QStringLiteral("Rotated text"));
        p.resetTransform();
        p.translate(10.5, 0);
        p.drawText(20, 480, QStringLiteral("Translated"));
    };
    EXPECT_LT(differingShare(paintDirect(400, 500, rotated), paintRecorded(400, 500, rotated)), 0.01);
}

TEST(Recording, ClipIsUndoneByRestore) {
    auto paint = [](QPainter &p) {
        for (int i = 0; i < 5; ++i) {
            p.save();
            p.setClipRect(QRect(10 + 30 * i, 10, 20, 20));
            p.fillRect(QRect(0, 0, 200, 100), QColor(0, 0, 200));
            p.save();
            p.setClipRect(QRect(0, 15, 200, 5), Qt::IntersectClip);
            p.fillRect(QRect(0, 0, 200, 100), QColor(200, 0, 0));
            p.restore();
            p.restore();
        }
        QPainterPath round;
        round.addEllipse(QRectF(50, 50, 40, 40));
        p.setClipPath(round);
        p.fillRect(QRect(0, 0, 200, 100), Qt::darkGreen);
        p.setClipping(false);
        p.fillRect(QRect(180, 80, 10, 10), Qt::black);
    };
    const QImage direct = paintDirect(200, 100, paint);
    const QImage replayed = paintRecorded(200, 100, paint);
    EXPECT_LT(differingShare(direct, replayed), 0.003);
    EXPECT_EQ(at(replayed, 185, 85), 0u);
    EXPECT_EQ(at(replayed, 15, 12), qRgb(0, 0, 200) & 0xFFFFFF);
    EXPECT_EQ(at(replayed, 15, 17), qRgb(200, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(at(replayed, 35, 12), 0xFFFFFFu);
}

TEST(Player, RecordsOfOtherPrograms) {
    // Text in a single-byte code page; an unknown record is passed over.
    const QByteArray ansi("\xF5\xDB\xE8", 3); // ő Ű č in Windows-1250
    EmfBuilder textFile;
    textFile.record(999, {1, 2, 3});
    textFile.raw(rawRecord(EMR_EXTTEXTOUTA, {0, 0, 0, 0, 1, 0, 0, 10, 50, 3, 76, 0, 0, 0, 0, 0, 0}, ansi));
    textFile.raw(rawRecord(EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 10, 70, 1, 76, ETO_GLYPH_INDEX, 0, 0, 0, 0, 0},
                           QByteArray("\x24\x00", 2))); // a glyph number is not a character
    const TMetafile text = loaded(textFile.bytes());
    ASSERT_EQ(text.Texts().size(), 1);
    EXPECT_EQ(text.Texts()[0].text, QStringLiteral("őŰč"));
    EXPECT_EQ(text.Texts()[0].position, QPointF(10, 50));
    bool seen = false;
    text.Enumerate([&](const EmfRecord &r) {
        if (r.type == EMR_EXTTEXTOUTA) {
            seen = true;
            EXPECT_EQ(r.chars, 3u);
            EXPECT_EQ(r.stringOffset, 76u);
            EXPECT_EQ(r.text(), QStringLiteral("őŰč"));
        }
        return true;
    });
    EXPECT_TRUE(seen);

    // Mapping mode with window and viewport extents: 1000 logical units over 100 pixels.
    EmfBuilder mapped;
    mapped.record(EMR_SETMAPMODE, {MM_ANISOTROPIC})
        .record(EMR_SETWINDOWEXTEX, {1000, 1000})
        .record(EMR_SETVIEWPORTEXTEX, {100, 100})
        .record(EMR_SELECTOBJECT, {qint32(StockObject | BLACK_BRUSH)})
        .record(EMR_SELECTOBJECT, {qint32(StockObject | NULL_PEN)})
        .record(EMR_RECTANGLE, {0, 0, 500, 500});
    const QImage m = replay(loaded(mapped.bytes()), 100, 100);
    EXPECT_EQ(at(m, 25, 25), 0u);
    EXPECT_EQ(at(m, 75, 75), 0xFFFFFFu);

    // A metric mapping mode, y up: boxes come with their corners the other way round (127 units = 50 px).
    EmfBuilder metric;
    metric.record(EMR_SETMAPMODE, {MM_LOMETRIC})
        .record(EMR_SELECTOBJECT, {qint32(StockObject | BLACK_BRUSH)})
        .record(EMR_RECTANGLE, {0, 0, 127, -127})
        .record(EMR_ELLIPSE, {127, -127, 254, -254});
    const QImage lm = replay(loaded(metric.bytes()), 100, 100);
    EXPECT_EQ(at(lm, 25, 25), 0u);
    EXPECT_EQ(at(lm, 75, 75), 0u);
    EXPECT_EQ(at(lm, 75, 25), 0xFFFFFFu);

    // A region filled with a stock brush takes that brush's colour.
    QByteArray region;
    ByteWriter rw(region);
    for (qint32 v : {32, 1, 1, 16, 10, 10, 40, 40, 10, 10, 40, 40})
        rw.i32(v);
    EmfBuilder filled;
    filled.raw(
        rawRecord(EMR_FILLRGN, {10, 10, 40, 40, qint32(region.size()), qint32(StockObject | GRAY_BRUSH)}, region));
    EXPECT_EQ(at(replay(loaded(filled.bytes()), 100, 100), 25, 25), 0x808080u);

    // Clip regions: a banded one, less one whose rectangles overlap.
    auto regionRecord = [](int mode, const QList<QRect> &rects) {
        QByteArray data;
        ByteWriter w(data);
        for (qint32 v : {32, 1, int(rects.size()), int(16 * rects.size()), 0, 0, 100, 100})
            w.i32(v);
        for (const QRect &r : rects)
            for (int v : {r.left(), r.top(), r.right() + 1, r.bottom() + 1})
                w.i32(v);
        return rawRecord(EMR_EXTSELECTCLIPRGN, {qint32(data.size()), mode}, data);
    };
    EmfBuilder clipped;
    clipped.raw(regionRecord(RGN_COPY, {QRect(0, 0, 50, 100), QRect(60, 0, 40, 100)}))
        .raw(regionRecord(RGN_DIFF, {QRect(0, 40, 100, 20), QRect(20, 0, 10, 100)}))
        .record(EMR_SELECTOBJECT, {qint32(StockObject | BLACK_BRUSH)})
        .record(EMR_SELECTOBJECT, {qint32(StockObject | NULL_PEN)})
        .record(EMR_RECTANGLE, {0, 0, 101, 101});
    const QImage c = replay(loaded(clipped.bytes()), 100, 100);
    EXPECT_EQ(at(c, 10, 10), 0u);
    EXPECT_EQ(at(c, 80, 80), 0u);
    EXPECT_EQ(at(c, 55, 10), 0xFFFFFFu);
    EXPECT_EQ(at(c, 10, 50), 0xFFFFFFu);
    EXPECT_EQ(at(c, 25, 10), 0xFFFFFFu);

    // 16-bit polygon with a created brush; a pattern fill without a bitmap.
    EmfBuilder shapes;
    shapes.record(EMR_CREATEBRUSHINDIRECT, {1, BS_SOLID, qint32(colorRef(0, 128, 0)), 0})
        .record(EMR_SELECTOBJECT, {1})
        .record(EMR_POLYGON16, {10, 10, 90, 90, 3, pack16(10, 10), pack16(90, 10), pack16(50, 90)})
        .record(EMR_BITBLT, {0, 0, 0, 0, 0, 90, 10, 10, qint32(PATCOPY), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const QImage s = replay(loaded(shapes.bytes()), 100, 100);
    EXPECT_EQ(at(s, 50, 30), qRgb(0, 128, 0) & 0xFFFFFF);
    EXPECT_EQ(at(s, 15, 80), 0xFFFFFFu);
    EXPECT_EQ(at(s, 5, 95), qRgb(0, 128, 0) & 0xFFFFFF);

    // Bitmaps: stretched, and copied one to one.
    EmfBuilder bitmaps;
    bitmaps.raw(stretchBlt(0, 0, 100, 100, dibInfo(), dibBits()));
    const QImage b = replay(loaded(bitmaps.bytes()), 100, 100);
    EXPECT_EQ(at(b, 25, 25), 0xFF0000u);
    EXPECT_EQ(at(b, 75, 25), 0x00FF00u);
    EXPECT_EQ(at(b, 25, 75), 0x0000FFu);
    EXPECT_EQ(at(b, 75, 75), 0xFFFFFFu);
}

TEST(Player, UntrustedRecordsAreSkipped) {
    const QByteArray rect = rawRecord(EMR_RECTANGLE, {60, 60, 80, 80});
    QByteArray shortBits = dibBits().left(10);
    QByteArray wideInfo = dibInfo();
    ByteWriter::putU32(wideInfo, 4, 100000);
    const struct {
        const char *name;
        QByteArray record;
    } cases[] = {
        {"polygon count beyond the record", rawRecord(EMR_POLYGON16, {0, 0, 9, 9, 0x7FFFFFFF, pack16(1, 1)})},
        {"poly-polygon counts that do not add up", rawRecord(EMR_POLYPOLYGON16, {0, 0, 9, 9, 2, 3, 2, 5, 0, 0, 0})},
        {"bitmap larger than its record", stretchBlt(0, 0, 50, 50, dibInfo(), shortBits)},
        {"bitmap far too wide", stretchBlt(0, 0, 50, 50, wideInfo, dibBits())},
        {"bitmap offsets outside",
         rawRecord(EMR_STRETCHDIBITS, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 1 << 30, 40, 80, 16, 0, qint32(SRCCOPY), 10, 10})},
        {"text longer than its record",
         rawRecord(EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 5, 5, 1 << 28, 76, 0, 0, 0, 0, 0, 0})},
        {"text offset outside", rawRecord(EMR_EXTTEXTOUTW, {0, 0, 0, 0, 1, 0, 0, 5, 5, 2, -4, 0, 0, 0, 0, 0, 0})},
        {"zero window extent", rawRecord(EMR_SETWINDOWEXTEX, {0, 0})},
        {"restore without save", rawRecord(EMR_RESTOREDC, {-5})},
        {"unknown object", rawRecord(EMR_SELECTOBJECT, {12345})},
        {"font of extreme height", rawRecord(EMR_EXTCREATEFONTINDIRECTW, QList<qint32>(24, 0) << INT_MIN)},
        {"region of huge count", rawRecord(EMR_EXTSELECTCLIPRGN, {48, RGN_COPY, 32, 1, 0x10000000, 16, 0, 0, 5, 5})},
        {"short record", rawRecord(EMR_STRETCHBLT, {1, 2})},
    };
    for (const auto &c : cases) {
        EmfBuilder file;
        file.record(EMR_SELECTOBJECT, {qint32(StockObject | BLACK_BRUSH)}).raw(c.record).raw(rect);
        const TMetafile m = loaded(file.bytes());
        const QImage image = replay(m, 100, 100);
        EXPECT_EQ(at(image, 70, 70), 0u) << c.name; // drawing went on after the bad record
        for (const auto &run : m.Texts())
            EXPECT_TRUE(run.text.isEmpty() || run.text.size() < 100) << c.name;
    }

    // Huge extents: nothing drawn, nothing hangs.
    EmfBuilder huge;
    huge.record(EMR_SETMAPMODE, {MM_ANISOTROPIC})
        .record(EMR_SETWINDOWEXTEX, {1, 1})
        .record(EMR_SETVIEWPORTEXTEX, {INT_MAX, INT_MAX})
        .record(EMR_ELLIPSE, {-1000, -1000, 1000, 1000})
        .record(EMR_SETVIEWPORTEXTEX, {-INT_MAX, 1});
    replay(loaded(huge.bytes()), 100, 100);

    // A record claiming more bytes than remain ends the walk.
    QByteArray truncated = EmfBuilder().raw(rect).bytes();
    ByteWriter::putU32(truncated, 88 + 4, 0x7FFFFFF0);
    int seen = 0;
    forEachEmfRecord(truncated, [&](const EmfRecord &) { return ++seen; });
    EXPECT_EQ(seen, 1);
    EXPECT_FALSE(TMetafile().LoadFromBytes(truncated.left(100)));
    EXPECT_FALSE(TMetafile().LoadFromBytes(QByteArray(100, 'x')));
}

// Pages with a few bytes changed (at random, or a word set to an extreme value) load and play without
// harm, and most of them still draw most of the page: one bad record does not spoil the rest.
TEST(Player, MutatedPagesStillPlay) {
    TMetafile page(400, 500, 96, 96);
    {
        TMetafileCanvas canvas(page);
        paintSamplePage(canvas.Painter());
    }
    const QByteArray original = page.Bytes();
    const QImage clean = replay(page, 200, 250);
    const int cleanTexts = int(page.Texts().size());
    std::mt19937 random(11);
    const qint32 extremes[] = {0, -1, 1, INT_MIN, INT_MAX, 0x7FFF, -0x8000, 1 << 20};
    const int rounds = 300;
    int loaded = 0, played = 0, textsKept = 0;
    for (int round = 0; round < rounds; ++round) {
        QByteArray b = original;
        for (int k = 0; k < 4; ++k) {
            const qsizetype pos = qsizetype(random() % quint32(b.size() - 4));
            if (random() % 2)
                b[pos] = char(random());
            else
                ByteWriter::putU32(b, pos & ~qsizetype(3), quint32(extremes[random() % 8]));
        }
        TMetafile m;
        if (!m.LoadFromBytes(b))
            continue;
        ++loaded;
        if (differingShare(replay(m, 200, 250), clean) < 0.25)
            ++played;
        if (m.Texts().size() >= cleanTexts - 2)
            ++textsKept;
    }
    EXPECT_GE(loaded, rounds * 95 / 100);
    EXPECT_GE(played, loaded * 9 / 10);
    EXPECT_GE(textsKept, loaded * 85 / 100);
}

// Inputs the fuzzer once crashed on, replayed as the fuzz target does.
TEST(Player, FuzzFindings) {
    const QDir dir(sourceDir() + QStringLiteral("/tests/printer/drawing/fuzz-findings"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const EmfPlayer player(file.readAll());
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        player.play(painter, QRectF(0, 0, 64, 64));
        player.texts();
    }
}
