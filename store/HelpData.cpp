#include "store/HelpData.h"

#include "store/Database.h"
#include "store/DatabaseError.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace HelpData {

namespace {

TFieldDef def(const QString &name, TFieldType type, int size = 0, const QString &label = {}, bool visible = true) {
    TFieldDef d;
    d.Name = name;
    d.DataType = type;
    d.Size = size;
    d.DisplayLabel = label;
    d.Visible = visible;
    return d;
}

} // namespace

QList<TFieldDef> editorFields() {
    return {
        def(KOD, ftInteger, 0, {}, false),
        def(SZULO, ftString, 20, {}, false),
        def(ERTEK, ftString, 20, {}, false),
        def(SORSZAM, ftInteger, 0, {}, false),
        def(SORSZAMSZOV, ftString, 40, QStringLiteral("Sorszám")),
        def(MELYSEG, ftInteger, 0, {}, false),
        def(TEMPPONT, ftString, 1, {}, false),
        def(VEGPONT, ftBoolean, 0, {}, false),
        def(HELPCONTEXT, ftInteger, 0, QStringLiteral("Help context")),
        def(TEMAKOR, ftString, 50, QStringLiteral("Témakör")),
        def(WORDS, ftString, 250),
        def(HELPHTML, ftString, 80, {}, false),
    };
}

QList<TFieldDef> viewerFields() {
    return {
        def(KOD, ftInteger),
        def(SZULO, ftString, 20),
        def(ERTEK, ftString, 20),
        def(SORSZAM, ftInteger),
        def(SORSZAMSZOV, ftString, 40, QStringLiteral("Sorszám")),
        def(TEMPPONT, ftString, 1),
        def(MELYSEG, ftInteger),
        def(VEGPONT, ftBoolean),
        def(HELPCONTEXT, ftInteger, 0, QStringLiteral("Help context")),
        def(TEMAKOR, ftString, 50, QStringLiteral("Témakör")),
        def(WORDS, ftString, 250),
        def(HELPHTML, ftString, 80),
    };
}

QList<TFieldDef> queryFields() {
    QList<TFieldDef> fields = editorFields();
    for (TFieldDef &f : fields) {
        f.Visible = true;
        if (f.Name == WORDS)
            f.Size = 50;
    }
    return fields;
}

void createTable(const QString &folder) {
    if (!QFileInfo(folder).isDir())
        throw EDatabaseError::inFile(folder, QStringLiteral("folder not found"));
    TDatabase probe;
    probe.SetParams({QStringLiteral("Path=") + folder});
    const QString existing = probe.tableFile(TableName);
    if (!existing.isEmpty())
        throw EDatabaseError::inFile(existing, QStringLiteral("the table exists already; it is left as it is"));
    const QString file = QDir(folder).filePath(TableName + QLatin1String(".db"));
    sqlite3 *db = nullptr;
    const QByteArray path = file.toUtf8();
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE,
                        nullptr) != SQLITE_OK) {
        const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("cannot create the file");
        sqlite3_close(db);
        throw EDatabaseError::inFile(file, text);
    }
    const char *schema =
        "BEGIN;"
        "CREATE TABLE HelpData (KOD INTEGER, SZULO TEXT, ERTEK TEXT, SORSZAM INTEGER, SORSZAMSZOV TEXT, "
        "MELYSEG INTEGER, TEMPPONT TEXT, VEGPONT INTEGER, HELPCONTEXT INTEGER, TEMAKOR TEXT, WORDS TEXT, "
        "HELPHTML TEXT);"
        "CREATE INDEX SORSZAMSZOV ON HelpData (SORSZAMSZOV, KOD);"
        "CREATE INDEX SZULO ON HelpData (SZULO, KOD);"
        "COMMIT;";
    char *error = nullptr;
    if (sqlite3_exec(db, schema, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = QString::fromUtf8(error ? error : "cannot create the table");
        sqlite3_free(error);
        sqlite3_close(db);
        QFile::remove(file);
        throw EDatabaseError::inFile(file, text);
    }
    sqlite3_close(db);
}

QStringList queryHelpSql() {
    return {QStringLiteral("SELECT max(KOD)"), QStringLiteral("FROM helpdata")};
}

QStringList szulopontQuerySql() {
    return {QStringLiteral("SELECT *"), QStringLiteral("  FROM HelpData"),
            QStringLiteral("   WHERE (MELYSEG=:PMELYSEG)"), QStringLiteral("        AND  (NOT(ERTEK = :PERTEK))")};
}

QStringList keresQuerySql() {
    return {QStringLiteral("SELECT *"), QStringLiteral("  FROM HelpData"), QStringLiteral("  WHERE (SZULO=:PSZULO) "),
            QStringLiteral("  ORDER BY ERTEK, SORSZAM")};
}

QStringList querySearchSql() {
    return {QStringLiteral("SELECT TEMAKOR"), QStringLiteral("FROM HelpData"),
            QStringLiteral("WHERE  (WORDS LIKE :param1)"), QStringLiteral("GROUP BY TEMAKOR")};
}

} // namespace HelpData
