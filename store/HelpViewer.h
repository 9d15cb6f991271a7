#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

class TDatabase;
class TDataSet;
class TQuery;
class TTable;

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

/// The reader's side of the help table: the viewer's own read-only connection, its table in display order,
/// locating a topic by title and the keyword search.
class HelpViewerStore : public QObject {
    Q_OBJECT

public:
    explicit HelpViewerStore(QObject *parent = nullptr);

    TDatabase *DatabaseTV;
    TTable *TableTV;
    TQuery *QuerySearch;

    /// Points the (closed) connection at `<startDir>/help`.
    void setStartDir(const QString &startDir);
    const QString &StartDir() const { return m_startDir; }
    /// Opens the connection and the table (if they are not open) and goes to the first topic.
    void open();
    /// Reads the rows again when the editor has posted since they were read.
    void refresh();
    /// Closes the table; the connection stays open.
    void closeTable();

    /// Makes the first topic in display order with this title (ignoring case) current.
    bool LocateTopic(const QString &title);
    /// The file to show for the current topic ("" = a built-in empty page).
    QString CurrentPage() const;
    /// The blank page ("" = a built-in empty page).
    QString BlankPage() const;

    /// Runs the search for the text; the result titles are the rows of QuerySearch. Returns their count.
    int Search(const QString &text);
    QStringList SearchResults() const;
    /// "%" + the text with only A-Z lowered + "%".
    static QString SearchPattern(const QString &text);
    /// "N témakör összesen".
    static QString CountText(int count);

private:
    QString m_startDir;
};
