#pragma once

#include "printer/QROutline.h"

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

/// Shows an outline in a QTreeWidget; each item carries its entry's key as user data of column 0.
class OutlineTreeWidget : public TQROutlineNodes {
public:
    explicit OutlineTreeWidget(QTreeWidget *tree);
    void Clear() override;
    void BeginUpdate() override;
    void EndUpdate() override;
    int AddChild(int parent, const QString &caption, qint32 key) override;

    QTreeWidgetItem *item(int node) const { return m_items.value(node); }

private:
    QTreeWidget *m_tree;
    QList<QTreeWidgetItem *> m_items;
};
