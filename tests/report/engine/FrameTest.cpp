// Frame edges drawn as strips whose thickness follows the device's pixels per 0.1 mm.
#include "EngineTestSupport.h"

#include "report/engine/QRFrame.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Dark pixels of a white image, counted per row and column.
struct Ink {
    explicit Ink(const QImage &image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    ++total;
                    rows.insert(y);
                    columns.insert(x);
                }
    }
    int total = 0;
    QSet<int> rows;
    QSet<int> columns;
};

QImage paint(const TQRFrame &frame, double factor, const QRect &rect = QRect(10, 10, 100, 60)) {
    QImage image(130, 90, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    frame.PaintFrame(painter, rect, factor, factor);
    return image;
}

} // namespace

TEST(Frame, ThicknessOnDevices) {
    TQRFrame frame(nullptr);
    const double printer600 = 600 / 254.0; // pixels per 0.1 mm
    const double screen96 = 96 / 254.0;
    EXPECT_EQ(frame.Thickness(printer600), 8); // 8.33 points' worth of pixels
    EXPECT_EQ(frame.Thickness(screen96), 1);
    frame.SetWidth(3);
    EXPECT_EQ(frame.Thickness(printer600), 25);
    EXPECT_EQ(frame.Thickness(screen96), 4);
    frame.SetWidth(0);
    EXPECT_EQ(frame.Thickness(printer600), 0);
    frame.SetWidth(-1);
    EXPECT_EQ(frame.Thickness(printer600), 1);
    EXPECT_EQ(frame.Thickness(screen96), 1);
    frame.SetWidth(-4);
    EXPECT_EQ(frame.Thickness(printer600), 0); // never a strip reaching outside the rectangle
}

TEST(Frame, EdgesInsideTheRectangle) {
    TQRFrame frame(nullptr);
    EXPECT_FALSE(frame.AnySide());
    EXPECT_EQ(Ink(paint(frame, 600 / 254.0)).total, 0);

    frame.SetDrawTop(true);
    EXPECT_TRUE(frame.AnySide());
    Ink top(paint(frame, 600 / 254.0));
    EXPECT_EQ(top.rows, (QSet<int>{10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(top.total, 8 * 100);

    frame.SetDrawTop(false);
    frame.SetDrawRight(true);
    Ink right(paint(frame, 600 / 254.0));
    EXPECT_EQ(right.columns, (QSet<int>{102, 103, 104, 105, 106, 107, 108, 109}));
    EXPECT_EQ(right.total, 8 * 60);

    frame.SetDrawTop(true);
    frame.SetDrawBottom(true);
    frame.SetDrawLeft(true);
    Ink all(paint(frame, 96 / 254.0));
    EXPECT_EQ(all.total, 2 * 100 + 2 * 60 - 4); // one-pixel outline, corners once
    EXPECT_EQ(*std::min_element(all.rows.cbegin(), all.rows.cend()), 10);
    EXPECT_EQ(*std::max_element(all.rows.cbegin(), all.rows.cend()), 69);

    frame.SetWidth(0);
    EXPECT_EQ(Ink(paint(frame, 600 / 254.0)).total, 0);
    frame.SetWidth(-1);
    EXPECT_EQ(Ink(paint(frame, 600 / 254.0)).total, 2 * 100 + 2 * 60 - 4);
    frame.SetWidth(-7);
    EXPECT_EQ(Ink(paint(frame, 600 / 254.0)).total, 0);
}

TEST(Frame, ColourAndCopy) {
    TQRFrame frame(nullptr);
    frame.SetColor(QColor(0x80, 0, 0));
    frame.SetDrawLeft(true);
    frame.SetWidth(2);
    const QImage image = paint(frame, 96 / 254.0);
    EXPECT_EQ(image.pixel(10, 30), QColor(0x80, 0, 0).rgb());
    EXPECT_EQ(image.pixel(12, 30), QColor(0x80, 0, 0).rgb()); // 2 points at 96 dpi: 3 pixels (2.67)
    EXPECT_EQ(image.pixel(13, 30), QColor(Qt::white).rgb());
    EXPECT_EQ(image.pixel(9, 30), QColor(Qt::white).rgb());
    TQRFrame copy(nullptr);
    copy.Assign(frame);
    EXPECT_EQ(paint(copy, 96 / 254.0), image);
}
