#include "store/Query.h"

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/SqliteValues.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace {

// Names of `:NAME` parameters outside quotes and comments, each once, in order of appearance.
QStringList parameterNames(const QString &sql) {
    QStringList names;
    const int n = int(sql.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar q = c;
            for (++i; i < n && sql[i] != q; ++i) {
            }
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < n && (sql[i + 1].isLetter() || sql[i + 1] == QLatin1Char('_'))) {
            int j = i + 1;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_')))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            bool seen = false;
            for (const QString &s : std::as_const(names))
                seen = seen || QString::compare(s, name, Qt::CaseInsensitive) == 0;
            if (!seen)
                names << name;
            i = j - 1;
        }
    }
    return names;
}

} // namespace

void TParam::SetValue(const QVariant &value) {
    m_value = value;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        m_type = ftInteger;
        break;
    case QMetaType::Double:
        m_type = ftFloat;
        break;
    case QMetaType::Bool:
        m_type = ftBoolean;
        break;
    case QMetaType::QDateTime:
        m_type = ftDateTime;
        break;
    case QMetaType::QString:
        m_type = ftString;
        break;
    default:
        break;
    }
}

TQuery::TQuery(QObject *owner) : TDataSet(owner) {}

TQuery::~TQuery() {
    try {
        Close();
    } catch (...) {
    }
}

void TQuery::SetDatabaseName(const QString &name) {
    if (Active())
        fail(QStringLiteral("Cannot change the database of an open query"));
    m_binding.setName(name);
}

void TQuery::SetDatabase(TDatabase *database) {
    if (Active())
        fail(QStringLiteral("Cannot change the database of an open query"));
    m_binding.setDatabase(database);
}

TDatabase *TQuery::database() const {
    return m_binding.database();
}

void TQuery::SetSQL(const QStringList &lines) {
    Close();
    m_sql = lines;
    QList<TParam> params;
    for (const QString &name : parameterNames(lines.join(QLatin1Char('\n')))) {
        TParam p(name);
        // keep values already set on a parameter of the same name
        for (const TParam &old : std::as_const(m_params))
            if (QString::compare(old.Name(), name, Qt::CaseInsensitive) == 0)
                p = old;
        params << p;
    }
    m_params = params;
}

TParam &TQuery::Params(int index) {
    if (index < 0 || index >= m_params.size())
        fail(QStringLiteral("Parameter index %1 out of range").arg(index));
    return m_params[index];
}

TParam *TQuery::FindParam(const QString &name) {
    for (TParam &p : m_params)
        if (QString::compare(p.Name(), name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

TParam &TQuery::ParamByName(const QString &name) {
    TParam *p = FindParam(name);
    if (!p)
        fail(QStringLiteral("Parameter '%1' not found").arg(name));
    return *p;
}

QString TQuery::sourceName() const {
    const TDatabase *db = database();
    if (db)
        return db->Folder().isEmpty() ? db->Path() : db->Folder();
    return m_binding.name();
}

QString TQuery::resultColumnName(const QString &name) {
    static const QRegularExpression aggregate(
        QStringLiteral("^\\s*(max|min|sum|avg|count)\\s*\\(\\s*([^()]*?)\\s*\\)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = aggregate.match(name);
    if (!m.hasMatch())
        return name;
    QString arg = m.captured(2);
    if (arg.contains(QLatin1Char('.')))
        arg = arg.section(QLatin1Char('.'), -1);
    if (arg == QLatin1String("*"))
        arg = QStringLiteral("*");
    return m.captured(1).toUpper() + QStringLiteral(" OF ") + arg.toUpper();
}

void TQuery::doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) {
    if (m_sql.join(QString()).trimmed().isEmpty())
        fail(QStringLiteral("No SQL statement"));
    TDatabase *db = m_binding.connect(false);
    if (!db->Connected())
        db->Open();
    connect(db, &TDatabase::aboutToClose, this, &TQuery::Close, Qt::UniqueConnection);
    QStringList files; // named by a failure while the rows are read
    sqlite3_stmt *stmt = db->prepare(m_sql.join(QLatin1Char('\n')), &files);
    // Parameters by position: the engine numbers distinct names in order of appearance, as SetSQL does.
    const int count = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= count; ++i) {
        const char *raw = sqlite3_bind_parameter_name(stmt, i);
        const QString name = raw ? QString::fromUtf8(raw).mid(1) : QString();
        const TParam *p = FindParam(name);
        if (!p && i - 1 < m_params.size())
            p = &m_params[i - 1];
        bindValue(stmt, i, p ? p->Value() : QVariant(), p ? p->DataType() : ftUnknown);
    }
    const int n = sqlite3_column_count(stmt);
    columns.clear();
    columns.resize(n);
    QVector<bool> typed(n, false);
    for (int i = 0; i < n; ++i) {
        columns[i].name = resultColumnName(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        const char *decl = sqlite3_column_decltype(stmt, i);
        columns[i].type = decl ? fieldTypeFromDeclared(QString::fromUtf8(decl)) : ftUnknown;
        typed[i] = columns[i].type != ftUnknown;
    }
    int rc;
    qint64 id = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto row = std::make_unique<Row>();
        row->id = ++id;
        row->values.resize(n);
        for (int i = 0; i < n; ++i) {
            row->values[i] = readColumn(stmt, i);
            if (!typed[i] && !row->values[i].isNull()) {
                // An expression column takes the type of its first value.
                switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER:
                    columns[i].type = ftInteger;
                    break;
                case SQLITE_FLOAT:
                    columns[i].type = ftFloat;
                    break;
                case SQLITE_BLOB:
                    columns[i].type = ftBlob;
                    break;
                default:
                    columns[i].type = ftString;
                    break;
                }
                typed[i] = true;
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        db->raise(files.join(QStringLiteral(", ")), rc);
    for (int i = 0; i < n; ++i)
        if (!typed[i] && columns[i].name.contains(QLatin1String(" OF ")))
            columns[i].type = ftInteger; // an aggregate over no rows
}
