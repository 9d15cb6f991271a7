#include "store/Table.h"

#include "store/Database.h"
#include "store/DatabaseError.h"

#include <QDir>

#include "store/SqliteValues.h"

#include <sqlite3.h>

namespace {

QString quoted(const QString &name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QStringList splitFieldNames(const QString &names) {
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = n.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

} // namespace

TTable::TTable(QObject *owner) : TDataSet(owner) {}

TTable::~TTable() {
    try {
        Close();
    } catch (...) {
    }
    finalizeStatements();
}

void TTable::SetDatabaseName(const QString &name) {
    if (Active())
        fail(QStringLiteral("Cannot change the database of an open table"));
    m_binding.setName(name);
}

void TTable::SetDatabase(TDatabase *database) {
    if (Active())
        fail(QStringLiteral("Cannot change the database of an open table"));
    m_binding.setDatabase(database);
}

TDatabase *TTable::database() const {
    return m_binding.database();
}

void TTable::SetTableName(const QString &name) {
    if (Active())
        fail(QStringLiteral("Cannot change the name of an open table"));
    m_tableName = name;
}

QString TTable::sourceName() const {
    if (!m_file.isEmpty())
        return m_file;
    const TDatabase *db = database();
    const QString folder = db ? (db->Folder().isEmpty() ? db->Path() : db->Folder()) : m_binding.name();
    return folder.isEmpty() ? m_tableName : QDir(folder).filePath(m_tableName + QLatin1String(".db"));
}

bool TTable::readOnly() const {
    const TDatabase *db = database();
    return m_readOnly || (db && (db->ReadOnly() || (!m_schema.isEmpty() && Active() && db->schemaReadOnly(m_schema))));
}

void TTable::doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) {
    if (m_tableName.isEmpty())
        fail(QStringLiteral("No table name"));
    TDatabase *db = m_binding.connect(m_readOnly);
    if (!db->Connected())
        db->Open();
    m_schema = db->attachTable(m_tableName);
    m_file = db->tableFile(m_tableName);
    connect(db, &TDatabase::aboutToClose, this, &TTable::Close, Qt::UniqueConnection);

    columns.clear();
    m_columnNames.clear();
    {
        sqlite3_stmt *info =
            db->prepare(QStringLiteral("PRAGMA %1.table_info(%2)").arg(quoted(m_schema), quoted(m_tableName)));
        int rc;
        while ((rc = sqlite3_step(info)) == SQLITE_ROW) {
            Column c;
            c.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 1)));
            c.type =
                fieldTypeFromDeclared(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 2))));
            columns.append(c);
            m_columnNames << c.name;
        }
        sqlite3_finalize(info);
        if (rc != SQLITE_DONE)
            db->raise(m_file, rc);
    }
    if (columns.isEmpty())
        fail(QStringLiteral("table %1 not found").arg(m_tableName));

    QStringList select;
    for (const QString &n : std::as_const(m_columnNames))
        select << quoted(n);
    sqlite3_stmt *stmt = db->prepare(QStringLiteral("SELECT rowid, %1 FROM %2.%3 ORDER BY rowid")
                                         .arg(select.join(QLatin1Char(',')), quoted(m_schema), quoted(m_tableName)));
    const int n = int(columns.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto row = std::make_unique<Row>();
        row->id = sqlite3_column_int64(stmt, 0);
        row->values.resize(n);
        for (int i = 0; i < n; ++i)
            row->values[i] = readColumn(stmt, i + 1);
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        db->raise(m_file, rc);
    resolveOrder(m_indexFieldNames);
    m_dataVersion = dataVersion();
}

qint64 TTable::dataVersion() {
    TDatabase *db = database();
    if (!db || !db->Connected() || m_schema.isEmpty())
        return -1;
    sqlite3_stmt *stmt = db->prepare(QStringLiteral("PRAGMA %1.data_version").arg(quoted(m_schema)));
    qint64 version = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}

void TTable::Refresh() {
    reload();
}

void TTable::RefreshIfChanged() {
    if (!Active())
        return;
    TDatabase *db = database();
    if (db->attachmentStale(m_schema)) {
        finalizeStatements();
        db->reattach(m_schema);
        reload();
    } else if (dataVersion() != m_dataVersion) {
        reload();
    }
    if (db->InTransaction())
        m_freshIn = db->TransactionSerial();
}

void TTable::doClose() {
    finalizeStatements();
    m_orderCols.clear();
}

void TTable::finalizeStatements() {
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_select);
    for (sqlite3_stmt *update : std::as_const(m_updates))
        sqlite3_finalize(update);
    m_updates.clear();
    sqlite3_finalize(m_delete);
    m_insert = m_select = m_delete = nullptr;
}

bool TTable::HasIndexOn(const QString &fieldNames) {
    return findIndex(fieldNames, nullptr);
}

bool TTable::findIndex(const QString &fieldNames, QVector<int> *orderCols) {
    const QStringList wanted = splitFieldNames(fieldNames);
    if (wanted.isEmpty())
        return true;
    TDatabase *db = m_binding.connect(m_readOnly);
    if (!db->Connected())
        db->Open();
    const QString schema = db->attachTable(m_tableName);
    sqlite3_stmt *list =
        db->prepare(QStringLiteral("PRAGMA %1.index_list(%2)").arg(quoted(schema), quoted(m_tableName)));
    QStringList indexes;
    while (sqlite3_step(list) == SQLITE_ROW)
        indexes << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(list, 1)));
    sqlite3_finalize(list);
    for (const QString &index : std::as_const(indexes)) {
        sqlite3_stmt *info = db->prepare(QStringLiteral("PRAGMA %1.index_info(%2)").arg(quoted(schema), quoted(index)));
        QStringList cols;
        while (sqlite3_step(info) == SQLITE_ROW)
            cols << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 2)));
        sqlite3_finalize(info);
        bool match = cols.size() >= wanted.size();
        for (int i = 0; match && i < wanted.size(); ++i)
            match = QString::compare(cols[i], wanted[i], Qt::CaseInsensitive) == 0;
        if (match) {
            if (orderCols) {
                orderCols->clear();
                for (const QString &c : std::as_const(cols))
                    for (int k = 0; k < m_columnNames.size(); ++k)
                        if (QString::compare(m_columnNames[k], c, Qt::CaseInsensitive) == 0)
                            *orderCols << k;
            }
            return true;
        }
    }
    return false;
}

void TTable::resolveOrder(const QString &names) {
    QVector<int> cols;
    if (!splitFieldNames(names).isEmpty() && !findIndex(names, &cols))
        fail(QStringLiteral("index on %1 not found").arg(names));
    m_orderCols = cols;
}

void TTable::SetIndexFieldNames(const QString &names) {
    if (!Active()) {
        m_indexFieldNames = names;
        return;
    }
    CheckBrowseMode();
    resolveOrder(names); // raises before anything changes when the index is missing
    m_indexFieldNames = names;
    reorder();
}

QVector<int> TTable::orderColumns() const {
    return m_orderCols;
}

void TTable::stepWrite(sqlite3_stmt *stmt) {
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE)
        database()->raise(m_file, rc);
}

void TTable::bindRow(sqlite3_stmt *stmt, const QVector<QVariant> &values, int first) {
    const QVector<Column> &cols = columns();
    for (int i = 0; i < values.size(); ++i)
        bindValue(stmt, first + i, values[i], cols[i].type);
}

template <typename F> void TTable::writeTransaction(F &&body) {
    TDatabase *db = database();
    if (db->InTransaction()) {
        body();
        return;
    }
    db->StartTransaction();
    try {
        body();
        db->Commit();
    } catch (...) {
        db->Rollback();
        throw;
    }
}

bool TTable::readRow(qint64 id, QVector<QVariant> &values) {
    TDatabase *db = database();
    if (!m_select) {
        QStringList names;
        for (const QString &n : std::as_const(m_columnNames))
            names << quoted(n);
        m_select = db->prepare(QStringLiteral("SELECT %1 FROM %2.%3 WHERE rowid=?")
                                   .arg(names.join(QLatin1Char(',')), quoted(m_schema), quoted(m_tableName)));
    }
    sqlite3_bind_int64(m_select, 1, id);
    const int rc = sqlite3_step(m_select);
    if (rc == SQLITE_ROW) {
        values.resize(m_columnNames.size());
        for (int i = 0; i < values.size(); ++i)
            values[i] = readColumn(m_select, i);
    }
    sqlite3_reset(m_select);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        db->raise(m_file, rc);
    if (rc == SQLITE_DONE)
        return false;
    canonicalize(values);
    return true;
}

qint64 TTable::doInsert(QVector<QVariant> &values) {
    TDatabase *db = database();
    qint64 id = 0;
    writeTransaction([&] {
        if (BeforeInsertWrite)
            BeforeInsertWrite(this); // writes through the fields into the pending row, which `values` is
        if (!m_insert) {
            QStringList names, marks;
            for (const QString &n : std::as_const(m_columnNames)) {
                names << quoted(n);
                marks << QStringLiteral("?");
            }
            m_insert = db->prepare(QStringLiteral("INSERT INTO %1.%2(%3) VALUES(%4)")
                                       .arg(quoted(m_schema), quoted(m_tableName), names.join(QLatin1Char(',')),
                                            marks.join(QLatin1Char(','))));
        }
        bindRow(m_insert, values, 1);
        stepWrite(m_insert);
        id = sqlite3_last_insert_rowid(db->handle());
    });
    return id;
}

void TTable::doUpdate(qint64 id, const QVector<QVariant> &original, QVector<QVariant> &values) {
    TDatabase *db = database();
    writeTransaction([&] {
        // Inside a transaction whose rows were found to be the file's, a row held as the edit began is the
        // row in the file: no need to read it again (a pass posts every row).
        QVector<QVariant> current;
        const QVector<QVariant> *held = heldValues(id);
        if (m_freshIn == db->TransactionSerial() && held && *held == original)
            current = original;
        else if (!readRow(id, current))
            fail(QStringLiteral("the row was deleted by another program"));
        QList<int> ours, conflicts;
        QStringList conflictNames;
        for (int c = 0; c < values.size() && c < current.size(); ++c) {
            if (values[c] == original.value(c))
                continue;
            ours << c;
            if (current[c] != original.value(c) && current[c] != values[c]) {
                conflicts << c;
                conflictNames << m_columnNames.value(c);
            }
        }
        if (!conflicts.isEmpty())
            throw EDatabaseConflict(
                EDatabaseError::inFile(sourceName(), QStringLiteral("another program changed %1 of the row meanwhile")
                                                         .arg(conflictNames.join(QStringLiteral(", "))))
                    .message(),
                conflicts, conflictNames, current, values);
        QVector<QVariant> merged = current;
        for (int c : std::as_const(ours))
            merged[c] = values[c];
        if (!ours.isEmpty()) {
            QByteArray key;
            for (int c : std::as_const(ours))
                key += QByteArray::number(c) + ',';
            sqlite3_stmt *&update = m_updates[key];
            if (!update) {
                QStringList sets;
                for (int c : std::as_const(ours))
                    sets << quoted(m_columnNames[c]) + QStringLiteral("=?");
                update = db->prepare(QStringLiteral("UPDATE %1.%2 SET %3 WHERE rowid=?")
                                         .arg(quoted(m_schema), quoted(m_tableName), sets.join(QLatin1Char(','))));
            }
            const QVector<Column> &cols = columns();
            int index = 1;
            for (int c : std::as_const(ours))
                bindValue(update, index++, values[c], cols[c].type);
            sqlite3_bind_int64(update, index, id);
            stepWrite(update);
            if (sqlite3_changes(db->handle()) == 0)
                fail(QStringLiteral("the row was deleted by another program"));
        }
        values = merged;
    });
}

void TTable::doDelete(qint64 id) {
    TDatabase *db = database();
    if (!m_delete)
        m_delete =
            db->prepare(QStringLiteral("DELETE FROM %1.%2 WHERE rowid=?").arg(quoted(m_schema), quoted(m_tableName)));
    sqlite3_bind_int64(m_delete, 1, id);
    stepWrite(m_delete);
    if (sqlite3_changes(db->handle()) == 0)
        fail(QStringLiteral("the row was deleted by another program"));
}
