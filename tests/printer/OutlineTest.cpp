#include "printer/OutlineTreeWidget.h"
#include "printer/QROutline.h"
#include "tests/printer/PrinterTestSupport.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

TQROutlineEntry entry(const QString &title, int level, int key, int page = 1) {
    TQROutlineEntry e;
    e.Title = title;
    e.Level = level;
    e.Key = key;
    e.Page = page;
    e.Area = QRect(QPoint(10 * key, 20), QPoint(100 * key, 200));
    return e;
}

// The tree as text: one line per node, indented by depth.
QString dump(QTreeWidgetItem *item, int depth = 0) {
    QString out = QString(depth * 2, QLatin1Char(' ')) + item->text(0) + QLatin1Char('\n');
    for (int i = 0; i < item->childCount(); ++i)
        out += dump(item->child(i), depth + 1);
    return out;
}

QString dump(QTreeWidget &tree) {
    QString out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        out += dump(tree.topLevelItem(i));
    return out;
}

} // namespace

TEST(Outline, TreeFollowsTheLatestNodeOfEachLevel) {
    QTreeWidget widget;
    OutlineTreeWidget nodes(&widget);
    TQROutline outline;
    outline.AddEntry(entry(QStringLiteral("A"), 1, 1));
    outline.AddEntry(entry(QStringLiteral("B"), 3, 2)); // no level-2 node yet: top level
    outline.AddEntry(entry(QStringLiteral("C"), 2, 3)); // follows levels 1 and 3: child of A
    outline.AddEntry(entry(QStringLiteral("D"), 3, 4));
    outline.AddEntry(entry(QStringLiteral("E"), 1, 5));
    outline.AddEntry(entry(QStringLiteral("F"), 0, 6));  // out of range: taken as level 1
    outline.AddEntry(entry(QStringLiteral("G"), 99, 7)); // deeper than 31: no parent at 30, top level
    outline.AttachTree(&nodes);
    EXPECT_EQ(dump(widget), QStringLiteral("A\n  C\n    D\nB\nE\nF\nG\n"));
    EXPECT_EQ(nodes.item(2)->data(0, Qt::UserRole).toInt(), 3);

    outline.ClearEntries();
    outline.RebuildTree();
    EXPECT_EQ(widget.topLevelItemCount(), 0);
    outline.AddEntry(entry(QStringLiteral("X"), 1, 1));
    TQROutline empty;
    empty.AttachTree(&nodes);
    EXPECT_EQ(widget.topLevelItemCount(), 0);
    outline.AttachTree(nullptr); // no tree: nothing to build
}

TEST(Outline, FindEntryGivesTheFirstMatch) {
    TQROutline outline;
    QRect area(1, 2, 3, 4);
    qint32 page = 9;
    outline.FindEntry(1, area, page);
    EXPECT_EQ(page, 0);
    EXPECT_TRUE(area.isNull());
    outline.AddEntry(entry(QStringLiteral("one"), 1, 5, 3));
    outline.AddEntry(entry(QStringLiteral("two"), 1, 5, 4));
    outline.FindEntry(5, area, page);
    EXPECT_EQ(page, 3);
    EXPECT_EQ(area, QRect(QPoint(50, 20), QPoint(500, 200)));
    outline.FindEntry(6, area, page);
    EXPECT_EQ(page, 0);
}

TEST(Outline, EntryLayout) {
    TQROutlineEntry e =
        entry(QStringLiteral("Árvíztűrő tükörfúrógép, a very long title that runs past fifty-one"), 2, 7, 12);
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
