#include "help/ContentsTree.h"

#include "store/DataSet.h"
#include "store/HelpData.h"

#include <algorithm>

void ContentsTree::clear() {
    m_nodes.clear();
    LevelNodes.fill(-1);
}

void ContentsTree::AddTopicNode(int i, const QString &title) {
    // LevelNodes is indexed by the topic's depth, not by where its node landed: a topic out of step with the
    // outline goes under the deepest node of the current path whose topic is shallower than it, and its later
    // siblings (same depth) go beside it, not below it. A depth below 1 starts a new top-level node as depth 1
    // does; a depth above 20 gets a parent but is never one.
    const int slot = i < 0 ? 0 : i;
    int parent = -1;
    for (int k = std::min(slot, Levels) - 1; k >= 0; --k) {
        if (LevelNodes[size_t(k)] >= 0) {
            parent = LevelNodes[size_t(k)];
            break;
        }
    }
    ContentsNode node;
    node.title = title;
    node.parent = parent;
    node.level = parent >= 0 ? m_nodes[parent].level + 1 : 0;
    m_nodes.append(node);
    if (slot < Levels) {
        for (int k = slot; k < Levels; ++k)
            LevelNodes[size_t(k)] = -1;
        LevelNodes[size_t(slot)] = int(m_nodes.size()) - 1;
    }
}

void ContentsTree::build(TDataSet *table) {
    clear();
    if (!table || !table->Active())
        return;
    const TField *depth = table->FieldByName(HelpData::MELYSEG);
    const TField *title = table->FieldByName(HelpData::TEMAKOR);
    m_nodes.reserve(table->RecordCount());
    for (table->First(); !table->Eof(); table->Next())
        AddTopicNode(depth->AsInteger() - 1, title->AsString());
}
