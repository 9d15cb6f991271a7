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
