#pragma once

#include "store/DataSet.h"
#include "store/Database.h"

#include <QHash>
#include <QPointer>

class TDatabase;
struct sqlite3_stmt;

/// A table of a folder connection, read in the order of one of its indexes; every post, insert and delete
/// is written to the table file before the cursor moves on.
///
/// Other writers may change the file meanwhile. A post writes only the fields the edit changed, merged into the
/// row as the file holds it then; when another writer changed one of those fields since the edit began, it
/// writes nothing and raises EDatabaseConflict.
class TTable : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
    Q_PROPERTY(QString TableName READ TableName WRITE SetTableName)
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE SetIndexFieldNames)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TTable(QObject *owner = nullptr);
    ~TTable() override;

    /// The connection's alias, or a folder of table files.
    const QString &DatabaseName() const { return m_binding.name(); }
    void SetDatabaseName(const QString &name);
    /// Uses this connection, whatever DatabaseName says.
    void SetDatabase(TDatabase *database);
    TDatabase *database() const;

    const QString &TableName() const { return m_tableName; }
    void SetTableName(const QString &name);
    /// The order of the moves: fields of an index of the table, separated by ";". Empty: insertion order.
    const QString &IndexFieldNames() const { return m_indexFieldNames; }
    void SetIndexFieldNames(const QString &names);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

    /// Tells whether the table has an index whose leading fields are these ("SZULO", "A;B").
    bool HasIndexOn(const QString &fieldNames);
    /// Reads every row again from the file (after a rollback, for instance); a pending row stays pending.
    void Refresh();
    /// Reads the rows again only when another connection has committed changes to the file since; a pending
    /// row stays pending. Inside a write transaction the rows are then what the file holds until the commit.
    void RefreshIfChanged();

    /// Called inside the write of a new row, after BeforePost: the last chance to fit the row to what the file
    /// holds now (a key another writer took meanwhile). Fields written here go into the stored row.
    Hook BeforeInsertWrite;

    QString sourceName() const override;
    QString schemaName() const { return m_schema; }

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override;
    void doClose() override;
    bool readOnly() const override;
    qint64 doInsert(QVector<QVariant> &values) override;
    void doUpdate(qint64 id, const QVector<QVariant> &original, QVector<QVariant> &values) override;
    void doDelete(qint64 id) override;
    QVector<int> orderColumns() const override;

private:
    void resolveOrder(const QString &names);
    bool findIndex(const QString &fieldNames, QVector<int> *orderCols);
    void bindRow(sqlite3_stmt *stmt, const QVector<QVariant> &values, int first);
    void finalizeStatements();
    void stepWrite(sqlite3_stmt *stmt);
    qint64 dataVersion();
    /// The row as the file holds it now, in the fields' forms; false when it is gone.
    bool readRow(qint64 id, QVector<QVariant> &values);
    /// Runs a write inside a transaction: the one under way, or one of its own.
    template <typename F> void writeTransaction(F &&body);

    DatabaseBinding m_binding;
    QString m_tableName;
    QString m_indexFieldNames;
    bool m_readOnly = false;
    QString m_schema;
    QString m_file;
    QVector<int> m_orderCols;
    QStringList m_columnNames;
    qint64 m_dataVersion = -1;
    quint64 m_freshIn = 0; // the transaction in which the rows were found to be what the file holds
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_select = nullptr;
    QHash<QByteArray, sqlite3_stmt *> m_updates; // by the columns they write
    sqlite3_stmt *m_delete = nullptr;
};
