#include "printer/QROutline.h"
#include "tests/printer/PrinterTestSupport.h"

#include <gtest/gtest.h>

TEST(Outline, FindEntryGivesTheFirstMatch) {
    TQROutline outline;
    QRect area(1, 2, 3, 4);
    qint32 page = 9;
    outline.FindEntry(1, area, page);
    EXPECT_EQ(page, 0);
    EXPECT_TRUE(area.isNull());
    outline.AddEntry(outlineEntry(QStringLiteral("one"), 1, 5, 3));
    outline.AddEntry(outlineEntry(QStringLiteral("two"), 1, 5, 4));
    outline.FindEntry(5, area, page);
    EXPECT_EQ(page, 3);
    EXPECT_EQ(area, QRect(QPoint(50, 20), QPoint(500, 200)));
    outline.FindEntry(6, area, page);
    EXPECT_EQ(page, 0);
}

TEST(Outline, EntryLayout) {
    TQROutlineEntry e =
        outlineEntry(QStringLiteral("Árvíztűrő tükörfúrógép, a very long title that runs past fifty-one"), 2, 7, 12);
    e.Key = -7;
    const QByteArray bytes = e.toBytes();
    ASSERT_EQ(bytes.size(), 80);
    EXPECT_EQ(uchar(bytes[0]), 51);
    EXPECT_EQ(uchar(bytes[7]), 0xFB); // ű in Windows-1250
    EXPECT_EQ(get32(bytes, 52), 2);
    EXPECT_EQ(get32(bytes, 56), 70); // left, top, right, bottom
    EXPECT_EQ(get32(bytes, 60), 20);
    EXPECT_EQ(get32(bytes, 64), 701);
    EXPECT_EQ(get32(bytes, 68), 201);
    EXPECT_EQ(get32(bytes, 72), 12);
    EXPECT_EQ(get32(bytes, 76), -7);
    const TQROutlineEntry back = TQROutlineEntry::fromBytes(bytes);
    EXPECT_EQ(back.Title, e.Title.left(51));
    EXPECT_EQ(back.Level, 2);
    EXPECT_EQ(back.Area, e.Area);
    EXPECT_EQ(back.Key, -7);
}
