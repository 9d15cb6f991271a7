#pragma once

#include "store/Field.h"

#include <QList>
#include <QString>
#include <QStringList>

/// The help topic table: its fields as each reader declares them, the stored schema and the named queries.
namespace HelpData {

inline const QString TableName = QStringLiteral("HelpData");
inline const QString OrderDisplay = QStringLiteral("SORSZAMSZOV");
inline const QString OrderParent = QStringLiteral("SZULO");

// The table's fields, by the names every reader and writer uses.
inline const QString KOD = QStringLiteral("KOD");
inline const QString SZULO = QStringLiteral("SZULO");
inline const QString ERTEK = QStringLiteral("ERTEK");
inline const QString SORSZAM = QStringLiteral("SORSZAM");
inline const QString SORSZAMSZOV = QStringLiteral("SORSZAMSZOV");
inline const QString MELYSEG = QStringLiteral("MELYSEG");
inline const QString TEMPPONT = QStringLiteral("TEMPPONT");
inline const QString VEGPONT = QStringLiteral("VEGPONT");
inline const QString HELPCONTEXT = QStringLiteral("HELPCONTEXT");
inline const QString TEMAKOR = QStringLiteral("TEMAKOR");
inline const QString WORDS = QStringLiteral("WORDS");
inline const QString HELPHTML = QStringLiteral("HELPHTML");
/// The result column of `QueryHelp`.
inline const QString MaxOfKod = QStringLiteral("MAX OF KOD");

/// The editor's fields: KOD … HELPHTML, showing only SORSZAMSZOV, HELPCONTEXT, TEMAKOR and WORDS.
QList<TFieldDef> editorFields();
/// The viewer's fields: the same with TEMPPONT before MELYSEG, all shown.
QList<TFieldDef> viewerFields();
/// The fields the editor's queries declare: all twelve, but WORDS only 50 wide.
QList<TFieldDef> queryFields();

/// Creates `<folder>/HelpData.db` with the table and both indexes. Raises when a table file is there already.
void createTable(const QString &folder);

// SQL lines of the named queries, exactly as stored.
QStringList queryHelpSql();
QStringList szulopontQuerySql();
QStringList keresQuerySql();
QStringList querySearchSql();

} // namespace HelpData
