#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

/// A connection to a folder of table files: each table is one SQLite file `<folder>/<Table>.db` holding a
/// table of that name. Table files are attached on first use, so SQL names tables as usual.
///
/// Outside a transaction every write is committed at once (WAL journal, full sync). A writer leaves its table
/// files in rollback-journal mode when it closes as their last user, so that a reader of a folder it cannot
/// write (an installed help set) can read them and no reader leaves side files behind.
///
/// A table file that cannot be written (its folder or itself write-protected) is attached read-only, also on a
/// read-write connection. A reader attaches a file left in WAL mode with no writer at work (no `-shm` beside
/// it) as immutable, which creates no files; it attaches it anew once a writer has been at work.
class TDatabase : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString AliasName READ AliasName WRITE SetAliasName)
    Q_PROPERTY(QStringList Params READ Params WRITE SetParams)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TDatabase(QObject *owner = nullptr);
    ~TDatabase() override;

    const QString &AliasName() const { return m_alias; }
    void SetAliasName(const QString &alias) { m_alias = alias; }
    /// "Path=<folder>" first; further entries are kept but not read.
    const QStringList &Params() const { return m_params; }
    void SetParams(const QStringList &params);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    /// The folder of the "Path=" parameter, as given.
    QString Path() const;
    /// The folder actually opened (found regardless of the case of its name); valid while connected.
    const QString &Folder() const { return m_folder; }

    void Open();
    void Close();
    bool Connected() const { return m_db != nullptr; }

    /// Milliseconds a write waits for another connection's lock before failing.
    void SetBusyTimeout(int ms);

    /// Begins a transaction; on a read-write connection it takes the write lock at once, so what is read inside
    /// it stays what the file holds until the commit.
    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return m_inTransaction; }
    /// Counts the transactions begun: tells one transaction from the next.
    quint64 TransactionSerial() const { return m_transactionSerial; }

    /// The file of a table in this folder, found regardless of case; empty when there is none.
    QString tableFile(const QString &tableName) const;
    /// Attaches a table's file (once) and returns the schema name SQL reaches it by.
    QString attachTable(const QString &tableName);
    /// True when the attached table file cannot be written through this connection.
    bool schemaReadOnly(const QString &schema) const;
    /// True when a table file attached as immutable may have been changed since (a writer has been at work):
    /// reattach() reads it as it is now.
    bool attachmentStale(const QString &schema) const;
    void reattach(const QString &schema);

    /// Prepares a statement, attaching table files the SQL names on the way. Raises on failure. `files`, when
    /// given, receives the table files the statement reads or writes, so a later failure can name them.
    sqlite3_stmt *prepare(const QString &sql, QStringList *files = nullptr);
    /// Runs a statement without result rows.
    void exec(const QString &sql);
    sqlite3 *handle() const { return m_db; }
    /// The table files attached so far, for messages about the whole connection (a failed commit).
    QString attachedFiles() const;

    /// Raises the engine's current error for the given file.
    [[noreturn]] void raise(const QString &file) const;
    [[noreturn]] void raise(const QString &file, int rc) const;

    /// Called after every transaction ends (commit or rollback) with the outcome.
    std::function<void(bool committed)> AfterTransaction;

    /// The open connection with this alias, or null.
    static TDatabase *findByAlias(const QString &alias);

signals:
    /// The connection is about to close: data sets on it close first.
    void aboutToClose();

private:
    void checkConnected() const;

    QString m_alias;
    QStringList m_params;
    bool m_readOnly = false;
    QString m_folder;
    sqlite3 *m_db = nullptr;
    struct Immutable {
        QString file;
        qint64 size = 0;
        qint64 modified = 0;
    };
    QStringList m_attached;                // schema names, lower case
    QHash<QString, Immutable> m_immutable; // by schema name, lower case: files attached as immutable
    bool m_inTransaction = false;
    quint64 m_transactionSerial = 0;
    int m_busyTimeoutMs = 2000;
    QStringList *m_schemasSeen = nullptr; // set while prepare() wants to know the schemas a statement reaches
};

/// How a data set reaches its connection: one it was given, the open connection of an alias, or a connection
/// of its own over a folder of table files.
class DatabaseBinding {
public:
    DatabaseBinding();
    ~DatabaseBinding();
    const QString &name() const { return m_name; }
    void setName(const QString &name);
    void setDatabase(TDatabase *database);
    /// The connection in use, or null before the first connect().
    TDatabase *database() const;
    /// Finds or makes the connection (not yet opened).
    TDatabase *connect(bool readOnly);

private:
    QString m_name;
    QPointer<TDatabase> m_database;
    std::unique_ptr<TDatabase> m_own;
};

/// Writes a table's buffered changes to disk. Posts outside a transaction are already committed, so this moves
/// the write-ahead log into the table file; inside a transaction the commit at its end does the work.
class TTable;
void SaveTableChanges(TTable *table);

/// Finds `relative` below `base`, matching each component regardless of case when the exact name does not
/// exist. Returns the path with the names as they are on disk, or the exact path when nothing matches.
QString resolvePathIgnoringCase(const QString &base, const QString &relative);
