#include "printer/drawing/Canvas.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfReader.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/EmfRecords.h"
#include "printer/drawing/Metafile.h"
#include "tests/printer/drawing/DrawingTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <random>

using namespace emf;
using namespace emf::layout;

namespace {

// One record of a recording, copied out, read through the record layouts.
struct Record {
    quint32 type = 0;
    QByteArray bytes;

    quint32 u32(quint32 at) const { return emf::u32(data(at)); }
    qint32 i32(quint32 at) const { return emf::i32(data(at)); }
    quint16 u16(quint32 at) const { return emf::u16(data(at)); }
    quint8 u8(quint32 at) const { return quint8(bytes[at]); }
    QPoint point(quint32 at) const { return QPoint(i32(at), i32(at + 4)); }
    QRect rect(quint32 at) const { return QRect(point(at), point(at + 8)); }
    QString utf16(quint32 at, quint32 chars) const {
        QString s;
        for (quint32 i = 0; i < chars; ++i)
            s.append(QChar(u16(at + 2 * i)));
        return s;
    }

private:
    const uchar *data(quint32 at) const { return reinterpret_cast<const uchar *>(bytes.constData()) + at; }
};

TMetafile recorded(int width, int height, const std::function<void(QPainter &)> &paint) {
    TMetafile page(width, height, 96, 96);
    TMetafileCanvas canvas(page);
    paint(canvas.Painter());
    canvas.End();
    return page;
}

QList<Record> recordsOf(const TMetafile &page) {
    QList<Record> out;
    page.Enumerate([&](const EmfRecord &r) {
        out.append({r.type, QByteArray(reinterpret_cast<const char *>(r.data), qsizetype(r.size))});
        return true;
    });
    return out;
}

int countOf(const QList<Record> &records, quint32 type) {
    return int(std::count_if(records.begin(), records.end(), [type](const Record &r) { return r.type == type; }));
}

QFont font(const char *family, int points, int weight = QFont::Normal) {
    QFont f(QString::fromLatin1(family));
    f.setPointSize(points);
    f.setWeight(QFont::Weight(weight));
    return f;
}

} // namespace

TEST(Recorder, ReplayMatchesDirectPainting) {
    const QImage direct = paintDirect(400, 500, paintSamplePage);
    QByteArray bytes;
    const QImage replayed = paintRecorded(400, 500, paintSamplePage, &bytes);
    ASSERT_FALSE(replayed.isNull());
    EXPECT_GT(inkShare(direct), 0.05);
    const double share = differingShare(direct, replayed);
    if (share > 0.002) {
        direct.save(QStringLiteral("/tmp/direct.png"));
        replayed.save(QStringLiteral("/tmp/replayed.png"));
    }
    EXPECT_LT(share, 0.002);
}

TEST(Recorder, TextBesideThePainterIsRecordedAsThePainterWould) {
    // Labels draw Latin text straight into the recording; the bytes must be those of the painter's own path,
    // pens and states set just before or restored just after included.
    QFont plain(QStringLiteral("Arial"));
    plain.setPointSize(9);
    plain.setKerning(false);
    plain.setStyleStrategy(QFont::PreferNoShaping);
    QFont underlined = plain;
    underlined.setUnderline(true);
    auto page = [&](bool beside) {
        return [&, beside](QPainter &painter) {
            std::unique_ptr<canvas::TextAdvances> advances;
            int texts = 0;
            auto text = [&](QPointF at, const QString &s) {
                ++texts;
                if (!beside) {
                    painter.drawText(at, s);
                    return;
                }
                advances = std::make_unique<canvas::TextAdvances>(painter.font(), painter.device());
                canvas::DrawText(painter, at, s, *advances);
            };
            painter.setFont(plain);
            painter.setPen(Qt::red);
            text({10, 20}, QStringLiteral("Row 961 col 1 text"));
            painter.save();
            painter.setPen(Qt::blue);
            painter.setBackgroundMode(Qt::OpaqueMode);
            painter.setBackground(Qt::yellow);
            text({10, 40}, QStringLiteral("AVATAR WAVE To."));
            painter.restore();
            text({10, 60}, QStringLiteral("after the restore"));
            painter.translate(5, 7);
            painter.fillRect(QRectF(0, 70, 50, 10), Qt::green);
            text({10, 80}, QStringLiteral("moved"));
            painter.setFont(underlined);
            text({10, 100}, QStringLiteral("underlined"));
            painter.setFont(plain);
            text({10, 120}, QString::fromUtf8("árvíztűrő tükörfúrógép"));
            text({10, 140}, QString());
            EXPECT_EQ(texts, 7);
        };
    };
    QByteArray painterBytes;
    QByteArray besideBytes;
    const QImage byPainter = paintRecorded(300, 200, page(false), &painterBytes);
    const QImage beside = paintRecorded(300, 200, page(true), &besideBytes);
    EXPECT_GT(painterBytes.size(), 1000);
    EXPECT_EQ(besideBytes, painterBytes);
    EXPECT_EQ(beside, byPainter);
}

TEST(Recorder, RememberedAdvancesMeasureAsTheFontDoes) {
    // Random Latin-1 texts in unshaped fonts of several sizes and styles: the sum of remembered advances is
    // the font's own measure, to the 1/64 pixel the font engine counts in.
    QImage device(1, 1, QImage::Format_ARGB32);
    device.setDotsPerMeterX(3780);
    device.setDotsPerMeterY(3780);
    std::mt19937 random(13);
    int compared = 0;
    for (const char *family : {"Arial", "Times New Roman"})
        for (int points : {7, 8, 12, 28})
            for (bool bold : {false, true}) {
                QFont font(QString::fromLatin1(family));
                font.setPointSize(points);
                font.setBold(bold);
                font.setKerning(false);
                font.setStyleStrategy(QFont::PreferNoShaping);
                canvas::TextAdvances advances(font, &device);
                const QFontMetricsF metrics(font, &device);
                for (int i = 0; i < 40; ++i) {
                    QString text;
                    for (int n = int(random() % 30); n > 0; --n) {
                        const int c = 32 + int(random() % 224);
                        text += QChar(c >= 127 && c < 160 ? c - 95 : c);
                    }
                    ASSERT_DOUBLE_EQ(advances.width(text), metrics.horizontalAdvance(text)) << text.toStdString();
                    ++compared;
                }
            }
    EXPECT_EQ(compared, 2 * 4 * 2 * 40);
}

// A line of text is one wide-text record holding its string, its reference point and an advance per
// character, drawn in the font last selected, which names its face, em height and weight; nothing else is
// drawn for it (no glyph outlines, no bitmaps).
TEST(Recorder, TextIsOneRecordWithItsStringAndFont) {
    const QString first = QStringLiteral("Összesen: 1 234 Ft");
    const QString second = QStringLiteral("Második sor");
    const TMetafile page = recorded(300, 120, [&](QPainter &p) {
        p.setFont(font("Arial", 12));
        p.drawText(20, 40, first);
        p.setFont(font("Times New Roman", 20, QFont::Bold));
        p.drawText(20, 80, second);
    });
    struct Font {
        QString face;
        qint32 height;
        qint32 weight;
    };
    std::map<quint32, Font> fonts;
    quint32 selected = 0;
    QList<QPair<QString, Font>> texts;
    const QList<Record> records = recordsOf(page);
    for (const Record &r : records) {
        if (r.type == EMR_EXTCREATEFONTINDIRECTW) {
            QString face = r.utf16(CreateFont::FaceName, CreateFont::FaceChars);
            face.truncate(face.indexOf(QChar(0)));
            fonts[r.u32(CreateFont::Handle)] = {face, r.i32(CreateFont::Height), r.i32(CreateFont::Weight)};
        } else if (r.type == EMR_SELECTOBJECT) {
            if (fonts.count(r.u32(Single::Value)))
                selected = r.u32(Single::Value);
        } else if (r.type == EMR_EXTTEXTOUTW) {
            const quint32 chars = r.u32(ExtTextOut::Chars);
            const quint32 at = r.u32(ExtTextOut::StringOffset);
            ASSERT_LE(at + 2 * chars, quint32(r.bytes.size()));
            ASSERT_TRUE(fonts.count(selected));
            texts.append({r.utf16(at, chars), fonts[selected]});
            // one advance per character, adding up to the run's width in that font
            const quint32 dx = r.u32(ExtTextOut::DxOffset);
            ASSERT_LE(dx + 4 * chars, quint32(r.bytes.size()));
            double total = 0;
            for (quint32 i = 0; i < chars; ++i)
                total += r.i32(dx + 4 * i);
            const QString text = r.utf16(at, chars);
            EmfRecorder device(1, 1, 96, 96);
            const QFont used = text == first ? font("Arial", 12) : font("Times New Roman", 20, QFont::Bold);
            EXPECT_NEAR(total, QFontMetricsF(used, &device).horizontalAdvance(text), 0.05 * total + 2);
        }
    }
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0].first, first);
    EXPECT_EQ(texts[0].second.face, QStringLiteral("Arial"));
    EXPECT_EQ(texts[0].second.height, -16); // 12 points at 96 pixels per inch, as an em height
    EXPECT_EQ(texts[0].second.weight, 400);
    EXPECT_EQ(texts[1].first, second);
    EXPECT_EQ(texts[1].second.face, QStringLiteral("Times New Roman"));
    EXPECT_EQ(texts[1].second.height, -27);
    EXPECT_EQ(texts[1].second.weight, 700);
    for (quint32 drawing :
         {EMR_POLYGON16, EMR_POLYGON, EMR_BEGINPATH, EMR_FILLPATH, EMR_STRETCHDIBITS, EMR_ALPHABLEND, EMR_EXTTEXTOUTA})
        EXPECT_EQ(countOf(records, drawing), 0) << drawing;
    const auto at =
        std::find_if(records.begin(), records.end(), [](const Record &r) { return r.type == EMR_EXTTEXTOUTW; });
    EXPECT_EQ(at->point(ExtTextOut::Reference), QPoint(20, 40));
}

// A pen or brush is created the first time it is used and selected again afterwards; when many have been
// made, the least recently used are deleted and their handles reused, never one still selected, and the
// header counts every handle.
TEST(Recorder, PensAndBrushesAreCreatedOnceAndReused) {
    const TMetafile page = recorded(200, 200, [](QPainter &p) {
        for (int i = 0; i < 20; ++i) {
            p.setPen(QPen(Qt::red, 2));
            p.setBrush(Qt::blue);
            p.drawRect(10, 10, 50, 50);
            p.setBrush(Qt::green);
            p.drawEllipse(70, 10, 50, 50);
        }
    });
    const QList<Record> records = recordsOf(page);
    EXPECT_EQ(countOf(records, EMR_EXTCREATEPEN), 1);
    EXPECT_EQ(countOf(records, EMR_CREATEBRUSHINDIRECT), 2);
    EXPECT_EQ(countOf(records, EMR_DELETEOBJECT), 0);
    EXPECT_EQ(countOf(records, EMR_RECTANGLE), 20);
    EXPECT_EQ(countOf(records, EMR_ELLIPSE), 20);

    const TMetafile many = recorded(200, 200, [](QPainter &p) {
        for (int i = 0; i < 100; ++i) {
            p.setBrush(QColor(i, 255 - i, 2 * i));
            p.drawRect(i, i, 20, 20);
        }
    });
    std::map<quint32, bool> live;
    quint32 brush = 0;
    quint32 highest = 0;
    size_t mostLive = 0;
    int created = 0;
    for (const Record &r : recordsOf(many)) {
        if (r.type == EMR_CREATEBRUSHINDIRECT || r.type == EMR_EXTCREATEPEN) {
            const quint32 handle = r.u32(CreateBrush::Handle);
            EXPECT_FALSE(live[handle]) << "handle " << handle << " made again while alive";
            live[handle] = true;
            highest = std::max(highest, handle);
            ++created;
        } else if (r.type == EMR_DELETEOBJECT) {
            const quint32 handle = r.u32(Single::Value);
            EXPECT_TRUE(live[handle]);
            EXPECT_NE(handle, brush) << "the selected brush was deleted";
            live[handle] = false;
        } else if (r.type == EMR_SELECTOBJECT && !(r.u32(Single::Value) & StockObject)) {
            brush = r.u32(Single::Value);
            EXPECT_TRUE(live[brush]);
        }
        mostLive =
            std::max<size_t>(mostLive, std::count_if(live.begin(), live.end(), [](auto &e) { return e.second; }));
    }
    EXPECT_EQ(created, 101); // a hundred brushes and the pen
    EXPECT_LE(mostLive, 40u);
    EXPECT_LT(highest, 45u);
    const auto header = parseHeader(reinterpret_cast<const uchar *>(many.Bytes().constData()), many.Bytes().size());
    ASSERT_TRUE(header);
    EXPECT_GT(header->handles, highest);
}

// A clip is set inside a saved state and undone by restoring it, so what is drawn after the painter drops
// the clip is not clipped, and every save is matched by a restore by the end of the page.
TEST(Recorder, AClipIsUndoneByRestore) {
    const TMetafile page = recorded(200, 100, [](QPainter &p) {
        p.fillRect(QRect(0, 0, 5, 5), Qt::black);
        p.save();
        p.setClipRect(QRect(10, 10, 20, 20));
        p.fillRect(QRect(0, 0, 200, 100), Qt::blue);
        p.restore();
        p.fillRect(QRect(150, 50, 10, 10), Qt::red);
        QPainterPath round;
        round.addEllipse(QRectF(50, 20, 40, 40));
        p.setClipPath(round);
        p.fillRect(QRect(0, 0, 200, 100), Qt::green); // still clipped when the page ends
    });
    QList<Record> sequence;
    int depth = 0;
    for (const Record &r : recordsOf(page)) {
        if (r.type == EMR_SAVEDC)
            ++depth;
        if (r.type == EMR_RESTOREDC) {
            EXPECT_EQ(r.i32(Single::Value), -1);
            --depth;
        }
        EXPECT_GE(depth, 0);
        if (r.type == EMR_SAVEDC || r.type == EMR_RESTOREDC || r.type == EMR_INTERSECTCLIPRECT ||
            r.type == EMR_EXTSELECTCLIPRGN || r.type == EMR_RECTANGLE || r.type == EMR_FILLPATH ||
            r.type == EMR_POLYGON16)
            sequence << r;
    }
    EXPECT_EQ(depth, 0);
    QList<quint32> types;
    for (const Record &r : sequence)
        types << r.type;
    const int save = int(types.indexOf(EMR_SAVEDC));
    ASSERT_GE(save, 1); // the first fill goes before any clip
    ASSERT_EQ(types.mid(save, 4), QList<quint32>({EMR_SAVEDC, EMR_INTERSECTCLIPRECT, types[save + 2], EMR_RESTOREDC}));
    EXPECT_EQ(sequence[save + 1].rect(Rectangle::Box), QRect(QPoint(10, 10), QPoint(30, 30)));
    EXPECT_NE(types[save + 4], EMR_SAVEDC); // the red square is drawn unclipped
    // the path clip is a region whose sizes match its rectangles
    const auto region =
        std::find_if(sequence.begin(), sequence.end(), [](const Record &r) { return r.type == EMR_EXTSELECTCLIPRGN; });
    ASSERT_NE(region, sequence.end());
    EXPECT_EQ(region->u32(ExtSelectClipRgn::Mode), quint32(RGN_COPY));
    const quint32 regionSize = region->u32(ExtSelectClipRgn::RegionSize);
    const quint32 count = region->u32(ExtSelectClipRgn::Region + RegionData::Count);
    EXPECT_GT(count, 1u);
    EXPECT_EQ(region->u32(ExtSelectClipRgn::Region + RegionData::HeaderSize), 32u);
    EXPECT_EQ(region->u32(ExtSelectClipRgn::Region + RegionData::RectsSize), 16 * count);
    EXPECT_EQ(regionSize, 32 + 16 * count);
    EXPECT_EQ(quint32(region->bytes.size()), ExtSelectClipRgn::Region + regionSize);
}

// The header describes the records that follow it: their total size and count, bounds and frame of the
// page (inclusive), the reference device, and a handle count above every handle used.
TEST(Recorder, HeaderMatchesTheRecords) {
    const struct {
        int width, height;
        double dpi;
    } sizes[] = {{400, 500, 96}, {1, 1, 96}, {2480, 3508, 300}};
    for (const auto &s : sizes) {
        SCOPED_TRACE(s.width);
        TMetafile page(s.width, s.height, s.dpi, s.dpi);
        {
            TMetafileCanvas canvas(page);
            paintSamplePage(canvas.Painter());
        }
        const QList<Record> records = recordsOf(page);
        ASSERT_GE(records.size(), 2);
        const Record &h = records.first();
        ASSERT_EQ(h.type, quint32(EMR_HEADER));
        EXPECT_EQ(h.u32(Common::Size), quint32(layout::Header::Length));
        qsizetype total = 0;
        quint32 highestHandle = 0;
        for (const Record &r : records) {
            EXPECT_EQ(r.bytes.size() % 4, 0);
            total += r.bytes.size();
            if (r.type == EMR_EXTCREATEPEN || r.type == EMR_CREATEBRUSHINDIRECT || r.type == EMR_EXTCREATEFONTINDIRECTW)
                highestHandle = std::max(highestHandle, r.u32(CreateBrush::Handle));
        }
        EXPECT_EQ(h.u32(layout::Header::Bytes), quint32(total));
        EXPECT_EQ(total, page.Bytes().size());
        EXPECT_EQ(h.u32(layout::Header::Records), quint32(records.size()));
        EXPECT_EQ(records.last().type, quint32(EMR_EOF));
        EXPECT_GT(h.u16(layout::Header::Handles), highestHandle);
        EXPECT_EQ(h.rect(layout::Header::Bounds), QRect(QPoint(0, 0), QPoint(s.width - 1, s.height - 1)));
        EXPECT_EQ(h.u32(layout::Header::Signature), Signature);
        EXPECT_EQ(h.point(layout::Header::Device), QPoint(s.width, s.height));
        EXPECT_NEAR(h.i32(layout::Header::Micrometers), s.width * 25400.0 / s.dpi, 1);
        const TMetafile back = [&] {
            TMetafile m;
            EXPECT_TRUE(m.LoadFromBytes(page.Bytes()));
            return m;
        }();
        EXPECT_EQ(back.Width(), s.width);
        EXPECT_EQ(back.Height(), s.height);
        EXPECT_FALSE(brokenRecord(page.Bytes()));
    }
}

// A bitmap record's offsets and sizes point at its own bytes: the info header right after the fixed part,
// the rows right after it, bottom row first, each padded to whole words.
TEST(Recorder, BitmapRecordsMatchTheirBytes) {
    QImage opaque(3, 2, QImage::Format_RGB32);
    opaque.setPixel(0, 0, qRgb(255, 0, 0));
    opaque.setPixel(1, 0, qRgb(0, 255, 0));
    opaque.setPixel(2, 0, qRgb(0, 0, 255));
    opaque.setPixel(0, 1, qRgb(10, 20, 30));
    opaque.setPixel(1, 1, qRgb(40, 50, 60));
    opaque.setPixel(2, 1, qRgb(70, 80, 90));
    QImage translucent(2, 2, QImage::Format_ARGB32);
    translucent.fill(qRgba(0, 0, 0, 0));
    translucent.setPixel(0, 0, qRgba(255, 255, 255, 255));
    const TMetafile page = recorded(200, 100, [&](QPainter &p) {
        p.drawImage(QRect(10, 10, 30, 20), opaque);
        p.drawImage(QRect(50, 10, 40, 40), translucent);
    });
    const QList<Record> records = recordsOf(page);
    ASSERT_EQ(countOf(records, EMR_STRETCHDIBITS), 1);
    ASSERT_EQ(countOf(records, EMR_ALPHABLEND), 1);
    for (const Record &r : records) {
        if (r.type == EMR_STRETCHDIBITS) {
            const quint32 bmi = r.u32(StretchDiBits::BmiOffset);
            const quint32 bits = r.u32(StretchDiBits::BitsOffset);
            EXPECT_EQ(bmi, quint32(StretchDiBits::Length));
            EXPECT_EQ(r.u32(StretchDiBits::BmiSize), quint32(BitmapInfo::Length));
            EXPECT_EQ(bits, bmi + BitmapInfo::Length);
            EXPECT_EQ(r.u32(StretchDiBits::BitsSize), 2u * 12); // 3 pixels of 3 bytes, padded to 12
            EXPECT_EQ(quint32(r.bytes.size()), bits + 24);
            EXPECT_EQ(r.point(StretchDiBits::Dest), QPoint(10, 10));
            EXPECT_EQ(r.point(StretchDiBits::DestSize), QPoint(30, 20));
            EXPECT_EQ(r.point(StretchDiBits::SourceSize), QPoint(3, 2));
            EXPECT_EQ(r.i32(bmi + BitmapInfo::Width), 3);
            EXPECT_EQ(r.i32(bmi + BitmapInfo::Height), 2); // positive: bottom row first
            EXPECT_EQ(r.u16(bmi + BitmapInfo::BitCount), 24);
            EXPECT_EQ(r.u32(bmi + BitmapInfo::ImageSize), 24u);
            // blue, green, red of the bottom row's first pixel, then the top row
            EXPECT_EQ(QList<int>({r.u8(bits), r.u8(bits + 1), r.u8(bits + 2)}), QList<int>({30, 20, 10}));
            EXPECT_EQ(QList<int>({r.u8(bits + 12), r.u8(bits + 13), r.u8(bits + 14)}), QList<int>({0, 0, 255}));
        } else if (r.type == EMR_ALPHABLEND) {
            const quint32 bmi = r.u32(BitBlt::BmiOffset);
            const quint32 bits = r.u32(BitBlt::BitsOffset);
            EXPECT_EQ(bmi, quint32(BitBlt::StretchLength));
            EXPECT_EQ(bits, bmi + BitmapInfo::Length);
            EXPECT_EQ(r.u32(BitBlt::BitsSize), 16u);
            EXPECT_EQ(quint32(r.bytes.size()), bits + 16);
            EXPECT_EQ(r.u16(bmi + BitmapInfo::BitCount), 32);
            EXPECT_EQ(r.point(BitBlt::SourceSize), QPoint(2, 2));
            EXPECT_EQ(r.u8(Blend::ConstantAlpha), 255);
            EXPECT_EQ(r.u8(Blend::AlphaFormat), 1); // per-pixel alpha
            // premultiplied, bottom row first: the opaque white pixel is the third of the four
            EXPECT_EQ(QList<int>({r.u8(bits + 8), r.u8(bits + 9), r.u8(bits + 10), r.u8(bits + 11)}),
                      QList<int>({255, 255, 255, 255}));
            EXPECT_EQ(r.u8(bits + 3), 0);
        }
    }
}
