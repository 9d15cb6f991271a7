#include "store/Database.h"

#include "store/DatabaseError.h"
#include "store/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>
#include <unistd.h>

namespace {

QList<TDatabase *> &openDatabases() {
    static QList<TDatabase *> list;
    return list;
}

QString quoted(const QString &name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Notes the attached schemas a statement being prepared reads or writes; allows everything.
int noteSchemas(void *data, int action, const char *, const char *, const char *schema, const char *) {
    QStringList *seen = *static_cast<QStringList **>(data);
    if (seen && schema &&
        (action == SQLITE_READ || action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE)) {
        const QString name = QString::fromUtf8(schema);
        if (name != QLatin1String("main") && name != QLatin1String("temp") &&
            !seen->contains(name, Qt::CaseInsensitive))
            seen->append(name);
    }
    return SQLITE_OK;
}

// Both a file and its folder must be writable to write it: the journal is made beside it.
bool canWrite(const QString &file) {
    const QByteArray path = QFile::encodeName(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    return ::access(path.constData(), W_OK) == 0 && ::access(folder.constData(), W_OK) == 0;
}

// The header's read and write versions are 2 in WAL mode.
bool inWalMode(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = f.read(20);
    return header.size() == 20 && header[18] == 2 && header[19] == 2;
}

} // namespace

QString resolvePathIgnoringCase(const QString &base, const QString &relative) {
    const QString exact = base.isEmpty() ? relative : QDir(base).filePath(relative);
    if (QFileInfo::exists(exact))
        return QDir::cleanPath(exact);
    QString current;
    QStringList parts;
    if (QDir::isAbsolutePath(exact)) {
        current = QStringLiteral("/");
        parts = QDir::cleanPath(exact).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    } else {
        current = QStringLiteral(".");
        parts = QDir::cleanPath(exact).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }
    for (const QString &part : parts) {
        const QString direct = QDir(current).filePath(part);
        if (part == QLatin1String(".") || part == QLatin1String("..") || QFileInfo::exists(direct)) {
            current = direct;
            continue;
        }
        const QStringList entries =
            QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QString match;
        for (const QString &e : entries) {
            if (QString::compare(e, part, Qt::CaseInsensitive) == 0) {
                match = e;
                break;
            }
        }
        if (match.isEmpty())
            return QDir::cleanPath(exact);
        current = QDir(current).filePath(match);
    }
    return QDir::cleanPath(current);
}

TDatabase::TDatabase(QObject *owner) : QObject(owner) {}

TDatabase::~TDatabase() {
    try {
        Close();
    } catch (...) {
    }
}

void TDatabase::SetParams(const QStringList &params) {
    if (Connected())
        throw EDatabaseError(QStringLiteral("Cannot change the parameters of an open connection"));
    m_params = params;
}

void TDatabase::SetReadOnly(bool readOnly) {
    if (Connected())
        throw EDatabaseError(QStringLiteral("Cannot change an open connection to read-only"));
    m_readOnly = readOnly;
}

QString TDatabase::Path() const {
    for (const QString &p : m_params)
        if (p.startsWith(QLatin1String("Path="), Qt::CaseInsensitive))
            return p.mid(5);
    return {};
}

TDatabase *TDatabase::findByAlias(const QString &alias) {
    if (alias.isEmpty())
        return nullptr;
    for (TDatabase *db : openDatabases())
        if (QString::compare(db->m_alias, alias, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}

void TDatabase::SetBusyTimeout(int ms) {
    m_busyTimeoutMs = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

void TDatabase::Open() {
    if (Connected())
        return;
    const QString path = Path();
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("Connection %1 has no Path= parameter").arg(m_alias));
    const QString folder = resolvePathIgnoringCase(QString(), path);
    if (!QFileInfo(folder).isDir())
        throw EDatabaseError::inFile(path, QStringLiteral("folder not found"));
    sqlite3 *db = nullptr;
    // Attached files inherit these flags: on a read-only connection not even an ATTACH in some SQL text can
    // open a file for writing.
    const int access = m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(":memory:", &db, access | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw EDatabaseError::inFile(folder, text);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, m_busyTimeoutMs);
    sqlite3_set_authorizer(db, noteSchemas, &m_schemasSeen);
    m_db = db;
    m_folder = QFileInfo(folder).absoluteFilePath();
    m_attached.clear();
    m_inTransaction = false;
    openDatabases().append(this);
}

void TDatabase::Close() {
    if (!m_db)
        return;
    emit aboutToClose();
    if (m_inTransaction) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
    }
    // The last user of a file leaves it in rollback-journal mode, which any reader can read without making a
    // file. While another connection has it open the switch fails at once and the file stays as it is.
    if (!m_readOnly) {
        sqlite3_busy_timeout(m_db, 0);
        for (const QString &schema : std::as_const(m_attached)) {
            if (schemaReadOnly(schema))
                continue;
            const QString sql = QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(quoted(schema));
            sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
    }
    openDatabases().removeAll(this);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_attached.clear();
    m_immutable.clear();
}

void TDatabase::checkConnected() const {
    if (!m_db)
        throw EDatabaseError(QStringLiteral("Connection %1 is not open").arg(m_alias.isEmpty() ? Path() : m_alias));
}

void TDatabase::raise(const QString &file) const {
    raise(file, m_db ? sqlite3_extended_errcode(m_db) : SQLITE_ERROR);
}

void TDatabase::raise(const QString &file, int rc) const {
    QString text = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (text.isEmpty() || text == QLatin1String("not an error"))
        text = QString::fromUtf8(sqlite3_errstr(rc));
    throw EDatabaseError::inFile(file.isEmpty() ? m_folder : file, text);
}

QString TDatabase::tableFile(const QString &tableName) const {
    const QString folder = m_folder.isEmpty() ? resolvePathIgnoringCase(QString(), Path()) : m_folder;
    const QString wanted = tableName + QLatin1String(".db");
    const QString exact = QDir(folder).filePath(wanted);
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : entries)
        if (QString::compare(e, wanted, Qt::CaseInsensitive) == 0)
            return QDir(folder).filePath(e);
    return {};
}

QString TDatabase::attachTable(const QString &tableName) {
    checkConnected();
    const QString schema = tableName;
    if (m_attached.contains(schema.toLower()))
        return schema;
    const QString file = tableFile(tableName);
    if (file.isEmpty())
        throw EDatabaseError::inFile(QDir(m_folder).filePath(tableName + QLatin1String(".db")),
                                     QStringLiteral("table %1 not found").arg(tableName));
    const bool writing = !m_readOnly && canWrite(file);
    // Reading a WAL file needs its -shm beside it; without a writer at work there is none, and making one would
    // fail in a write-protected folder or leave a file behind. Read as immutable instead.
    const bool immutable = !writing && inWalMode(file) && !QFileInfo::exists(file + QLatin1String("-shm"));
    QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    uri += writing     ? QLatin1String("?mode=rw")
           : immutable ? QLatin1String("?mode=ro&immutable=1")
                       : QLatin1String("?mode=ro");
    const QString sql = QStringLiteral("ATTACH DATABASE '%1' AS %2")
                            .arg(QString(uri).replace(QLatin1Char('\''), QLatin1String("''")), quoted(schema));
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        raise(file);
    try {
        // Reading the schema tells a damaged or foreign file at once.
        const QString check = QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(quoted(schema));
        if (sqlite3_exec(m_db, check.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            raise(file);
        if (writing && !schemaReadOnly(schema)) {
            const QString wal = QStringLiteral("PRAGMA %1.journal_mode=WAL").arg(quoted(schema));
            if (sqlite3_exec(m_db, wal.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                raise(file);
            const QString sync = QStringLiteral("PRAGMA %1.synchronous=FULL").arg(quoted(schema));
            if (sqlite3_exec(m_db, sync.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                raise(file);
        }
    } catch (...) {
        const QString detach = QStringLiteral("DETACH DATABASE %1").arg(quoted(schema));
        sqlite3_exec(m_db, detach.toUtf8().constData(), nullptr, nullptr, nullptr);
        throw;
    }
    m_attached.append(schema.toLower());
    if (immutable) {
        const QFileInfo info(file);
        m_immutable.insert(schema.toLower(), {file, info.size(), info.lastModified().toMSecsSinceEpoch()});
    }
    return schema;
}

bool TDatabase::schemaReadOnly(const QString &schema) const {
    return !m_db || sqlite3_db_readonly(m_db, schema.toUtf8().constData()) != 0;
}

bool TDatabase::attachmentStale(const QString &schema) const {
    const auto it = m_immutable.constFind(schema.toLower());
    if (it == m_immutable.constEnd())
        return false;
    const QFileInfo info(it->file);
    return QFileInfo::exists(it->file + QLatin1String("-shm")) || info.size() != it->size ||
           info.lastModified().toMSecsSinceEpoch() != it->modified;
}

void TDatabase::reattach(const QString &schema) {
    checkConnected();
    const QString detach = QStringLiteral("DETACH DATABASE %1").arg(quoted(schema));
    if (sqlite3_exec(m_db, detach.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        raise(tableFile(schema));
    m_attached.removeAll(schema.toLower());
    m_immutable.remove(schema.toLower());
    attachTable(schema);
}

QString TDatabase::attachedFiles() const {
    QStringList files;
    for (const QString &schema : m_attached) {
        const QString file = tableFile(schema);
        if (!file.isEmpty())
            files << file;
    }
    return files.isEmpty() ? m_folder : files.join(QStringLiteral(", "));
}

sqlite3_stmt *TDatabase::prepare(const QString &sql, QStringList *files) {
    checkConnected();
    const QByteArray text = sql.toUtf8();
    for (int attempt = 0; attempt < 16; ++attempt) {
        sqlite3_stmt *stmt = nullptr;
        QStringList schemas;
        m_schemasSeen = files ? &schemas : nullptr;
        const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr);
        m_schemasSeen = nullptr;
        if (rc == SQLITE_OK) {
            if (files) {
                files->clear();
                for (const QString &schema : std::as_const(schemas)) {
                    const QString file = tableFile(schema);
                    if (!file.isEmpty())
                        *files << file;
                }
            }
            return stmt;
        }
        sqlite3_finalize(stmt);
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        static const QLatin1String noTable("no such table: ");
        if (message.startsWith(noTable)) {
            QString name = message.mid(noTable.size());
            if (name.contains(QLatin1Char('.')))
                name = name.section(QLatin1Char('.'), -1);
            if (!m_attached.contains(name.toLower()) && !tableFile(name).isEmpty()) {
                attachTable(name);
                continue;
            }
            throw EDatabaseError::inFile(QDir(m_folder).filePath(name + QLatin1String(".db")),
                                         QStringLiteral("table %1 not found").arg(name));
        }
        raise(m_folder, rc);
    }
    raise(m_folder);
}

void TDatabase::exec(const QString &sql) {
    QStringList files;
    sqlite3_stmt *stmt = prepare(sql, &files);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        raise(files.join(QStringLiteral(", ")), rc);
}

void TDatabase::StartTransaction() {
    checkConnected();
    if (m_inTransaction)
        throw EDatabaseError::inFile(m_folder, QStringLiteral("a transaction is already active"));
    if (sqlite3_exec(m_db, m_readOnly ? "BEGIN" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        raise(attachedFiles());
    m_inTransaction = true;
    ++m_transactionSerial;
}

void TDatabase::Commit() {
    checkConnected();
    if (!m_inTransaction)
        return;
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // A commit that fails (disk full, lock) leaves nothing half written: roll the rest back.
        const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        if (AfterTransaction)
            AfterTransaction(false);
        throw EDatabaseError::inFile(attachedFiles(), text);
    }
    m_inTransaction = false;
    if (AfterTransaction)
        AfterTransaction(true);
}

void TDatabase::Rollback() {
    checkConnected();
    if (!m_inTransaction)
        return;
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_inTransaction = false;
    if (AfterTransaction)
        AfterTransaction(false);
}

DatabaseBinding::DatabaseBinding() = default;
DatabaseBinding::~DatabaseBinding() = default;

void DatabaseBinding::setName(const QString &name) {
    m_name = name;
    m_database = nullptr;
}

void DatabaseBinding::setDatabase(TDatabase *database) {
    m_database = database;
}

TDatabase *DatabaseBinding::database() const {
    return m_database ? m_database.data() : m_own.get();
}

TDatabase *DatabaseBinding::connect(bool readOnly) {
    if (m_database)
        return m_database;
    if (TDatabase *byAlias = TDatabase::findByAlias(m_name)) {
        m_database = byAlias;
        return byAlias;
    }
    if (!m_own)
        m_own = std::make_unique<TDatabase>();
    if (m_own->Path() != m_name || m_own->ReadOnly() != readOnly) {
        m_own->Close();
        m_own->SetParams({QStringLiteral("Path=") + m_name});
        m_own->SetReadOnly(readOnly);
    }
    return m_own.get();
}

void SaveTableChanges(TTable *table) {
    if (!table || !table->Active())
        return;
    TDatabase *db = table->database();
    if (!db || !db->Connected() || db->InTransaction() || db->ReadOnly())
        return;
    // Every post is committed already; fold the log into the table file so a copy of the file alone is whole.
    const QString schema = table->schemaName();
    if (schema.isEmpty())
        return;
    sqlite3_wal_checkpoint_v2(db->handle(), schema.toUtf8().constData(), SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}
