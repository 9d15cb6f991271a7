#pragma once

#include <QObject>
#include <QString>

#include <functional>

class TDatabase;
class TDataSet;
class TQuery;
class TTable;

/// The sort text of an outline number: one-character components get a leading "0", each component ends
/// with "." (1.2 -> 01.02., 10.3 -> 10.03., an empty number -> ".").
QString PadOutlineNumber(const QString &number);

/// A topic to add at the end of the outline: its level (1 = top) relative to the topics added with it.
struct NewTopic {
    int level = 1;
    QString title;
    QString words;
    qint32 helpContext = 0;
    bool hasHelpContext = false;
    QString page;
};

/// The editor's side of the help topic table: its read-write connection, table and queries, the record
/// hooks that give new topics their key and save every post, and the two outline passes.
///
/// A renumber pass with its leaf pass is one transaction: it either completes or leaves the table exactly
/// as it was. Windows take part through the callbacks only (detach the grid, show the busy cursor).
class HelpTopicStore : public QObject {
    Q_OBJECT

public:
    explicit HelpTopicStore(QObject *parent = nullptr);
    ~HelpTopicStore() override;

    TDatabase *DatabaseHelp;
    TTable *TableHelp;
    TQuery *QueryHelp;
    TQuery *SzulopontQuery;
    TQuery *KeresQuery;

    /// Points the connection at `<startDir>/Help` and opens the table in display order. A help set whose folder
    /// or table file cannot be written opens read-only.
    void open(const QString &startDir);
    void close();
    /// True when the open table cannot be written (a help set installed read-only).
    bool ReadOnly() const;

    /// Runs a command's writes as one transaction on what the file holds now: the rows are read again first
    /// when another writer changed the file. On any error nothing is written, the rows are read back as they
    /// were and the pending row is pending again. Inside another write it runs as part of that one.
    void write(const std::function<void()> &body);
    /// Raises, before anything changes, when the table lacks the parent order a renumber pass walks in.
    void checkParentOrder();

    /// Derives every topic's number, ordinal, depth and sort text from the parent numbers; with
    /// ReparentChildren, a renumbered topic's subtree follows it. Ends with the leaf pass.
    void RenumberOutline(bool ReparentChildren);
    /// Sets every row's leaf flag from the depths in display order.
    void MarkLeaves();

    /// Adds a whole outline after the last top-level topic and renumbers, in one transaction. Each topic's
    /// level is at most one deeper than the topic before it. `beforeCommit` runs last inside the transaction,
    /// with the new keys (their numbers final); when it raises, nothing is added. Returns the new keys in order.
    QList<qint32> AppendOutline(const QList<NewTopic> &topics,
                                const std::function<void(const QList<qint32> &)> &beforeCommit = {});

    // Record hooks of TableHelp.
    void TableHelpAfterInsert(TDataSet *dataSet);
    void TableHelpBeforePost(TDataSet *dataSet);
    void TableHelpAfterPost(TDataSet *dataSet);
    /// Inside the write of a new topic: a key another writer took since the insert began is not used twice.
    void TableHelpBeforeInsertWrite(TDataSet *dataSet);

    // What a window does around a pass: the grid stops redrawing, the busy cursor shows.
    std::function<void()> DetachGrid;
    std::function<void()> AttachGrid;
    std::function<void()> BeginBusy;
    std::function<void()> EndBusy;

private:
    qint32 nextKey();
    void markLeavesInPass();
    void runPass(const std::function<void()> &body);

    quint64 m_keyTakenIn = 0; // the transaction in which the pending topic's key was taken, 0 outside one
};
