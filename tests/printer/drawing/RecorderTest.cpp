#include "printer/drawing/Canvas.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Metafile.h"
#include "tests/printer/drawing/DrawingTestSupport.h"

#include <QPainter>

#include <memory>
#include <random>

#include <gtest/gtest.h>

using namespace emf;

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
