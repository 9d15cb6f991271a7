#pragma once

#include <QString>
#include <QVector>

#include <array>

class TDataSet;

/// One node of the contents tree: a title under a parent node (-1 at the top), at a level from 0.
struct ContentsNode {
    QString title;
    int parent = -1;
    int level = 0;
};

/// The contents tree as the viewer builds it from the topics in display order: each topic goes under the
/// node most recently added one level above it (`LevelNodes`).
///
/// A topic whose depth is below 1 or above 20, or more than one level below the topic before it, goes under
/// the deepest node of this build on the current path whose topic is shallower than it (at the top when there
/// is none); `LevelNodes` only ever holds nodes of the current build on the current path.
class ContentsTree {
public:
    ContentsTree() { clear(); }
    void clear();
    /// Adds a node for a topic of depth i + 1.
    void AddTopicNode(int i, const QString &title);
    /// Clears the tree and adds every row of the table from the first, in its order (MELYSEG, TEMAKOR).
    void build(TDataSet *table);
    const QVector<ContentsNode> &nodes() const { return m_nodes; }

    static constexpr int Levels = 20;
    std::array<int, Levels> LevelNodes; // by depth - 1: node indexes; -1 where no node of this build is on the path

private:
    QVector<ContentsNode> m_nodes;
};
