#include "printer/preview/OutlineTreeWidget.h"
#include "printer/QROutline.h"
#include "tests/printer/PrinterTestSupport.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

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

TEST(OutlineTreeWidget, TreeFollowsTheLatestNodeOfEachLevel) {
    QTreeWidget widget;
    OutlineTreeWidget nodes(&widget);
    TQROutline outline;
    outline.AddEntry(outlineEntry(QStringLiteral("A"), 1, 1));
    outline.AddEntry(outlineEntry(QStringLiteral("B"), 3, 2)); // no level-2 node yet: top level
    outline.AddEntry(outlineEntry(QStringLiteral("C"), 2, 3)); // follows levels 1 and 3: child of A
    outline.AddEntry(outlineEntry(QStringLiteral("D"), 3, 4));
    outline.AddEntry(outlineEntry(QStringLiteral("E"), 1, 5));
    outline.AddEntry(outlineEntry(QStringLiteral("F"), 0, 6));  // out of range: taken as level 1
    outline.AddEntry(outlineEntry(QStringLiteral("G"), 99, 7)); // deeper than 31: no parent at 30, top level
    outline.AttachTree(&nodes);
    EXPECT_EQ(dump(widget), QStringLiteral("A\n  C\n    D\nB\nE\nF\nG\n"));
    EXPECT_EQ(nodes.item(2)->data(0, Qt::UserRole).toInt(), 3);

    outline.ClearEntries();
    outline.RebuildTree();
    EXPECT_EQ(widget.topLevelItemCount(), 0);
    outline.AddEntry(outlineEntry(QStringLiteral("X"), 1, 1));
    TQROutline empty;
    empty.AttachTree(&nodes);
    EXPECT_EQ(widget.topLevelItemCount(), 0);
    outline.AttachTree(nullptr); // no tree: nothing to build
}
