#pragma once

#include "store/DataSet.h"
#include "store/Database.h"

#include <QPointer>

class TDatabase;
struct sqlite3_stmt;

/// A table of a folder connection, read in the order of one of its indexes; every post, insert and delete
/// is written to the table file before the cursor moves on.
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
    /// Reads every row again from the file (after a rollback, for instance).
    void Refresh();
    /// Reads the rows again only when another connection has committed changes to the file since.
    void RefreshIfChanged();

    QString sourceName() const override;
    QString schemaName() const { return m_schema; }

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override;
    void doClose() override;
    bool readOnly() const override;
    qint64 doInsert(const QVector<QVariant> &values) override;
    void doUpdate(qint64 id, const QVector<QVariant> &oldValues, const QVector<QVariant> &values) override;
    void doDelete(qint64 id) override;
    QVector<int> orderColumns() const override;

private:
    void resolveOrder(const QString &names);
    bool findIndex(const QString &fieldNames, QVector<int> *orderCols);
    void bindRow(sqlite3_stmt *stmt, const QVector<QVariant> &values, int first);
    void finalizeStatements();
    void stepWrite(sqlite3_stmt *stmt);
    qint64 dataVersion();

    DatabaseBinding m_binding;
    QString m_tableName;
    QString m_indexFieldNames;
    bool m_readOnly = false;
    QString m_schema;
    QString m_file;
    QVector<int> m_orderCols;
    QStringList m_columnNames;
    qint64 m_dataVersion = -1;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_update = nullptr;
    sqlite3_stmt *m_delete = nullptr;
};
