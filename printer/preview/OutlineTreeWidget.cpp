#include "printer/preview/OutlineTreeWidget.h"

#include <QTreeWidget>

OutlineTreeWidget::OutlineTreeWidget(QTreeWidget *tree) : m_tree(tree) {}

void OutlineTreeWidget::Clear() {
    m_tree->clear();
    m_items.clear();
}

void OutlineTreeWidget::BeginUpdate() {
    m_tree->setUpdatesEnabled(false);
}

void OutlineTreeWidget::EndUpdate() {
    m_tree->setUpdatesEnabled(true);
}

int OutlineTreeWidget::AddChild(int parent, const QString &caption, qint32 key) {
    QTreeWidgetItem *item =
        parent >= 0 && parent < m_items.size() ? new QTreeWidgetItem(m_items[parent]) : new QTreeWidgetItem(m_tree);
    item->setText(0, caption);
    item->setData(0, Qt::UserRole, key);
    m_items.append(item);
    return int(m_items.size() - 1);
}
