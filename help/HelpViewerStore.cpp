#include "help/HelpViewerStore.h"

#include "help/HelpPages.h"
#include "store/Database.h"
#include "store/HelpData.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QDir>

HelpViewerStore::HelpViewerStore(QObject *parent)
    : QObject(parent), DatabaseTV(new TDatabase(this)), TableTV(new TTable(this)), QuerySearch(new TQuery(this)) {
    DatabaseTV->setObjectName(QStringLiteral("DatabaseTV"));
    DatabaseTV->SetAliasName(QStringLiteral("DBTavik"));
    DatabaseTV->SetReadOnly(true);
    TableTV->setObjectName(QStringLiteral("TableTV"));
    TableTV->SetDatabase(DatabaseTV);
    TableTV->SetTableName(HelpData::TableName);
    TableTV->SetIndexFieldNames(HelpData::OrderDisplay);
    TableTV->SetFieldDefs(HelpData::viewerFields());
    QuerySearch->setObjectName(QStringLiteral("QuerySearch"));
    QuerySearch->SetDatabase(DatabaseTV);
    QuerySearch->SetSQL(HelpData::querySearchSql());
    TFieldDef title;
    title.Name = HelpData::TEMAKOR;
    title.DataType = ftString;
    title.Size = 50;
    title.DisplayLabel = QStringLiteral("Témakör");
    QuerySearch->SetFieldDefs({title});
}

void HelpViewerStore::setStartDir(const QString &startDir) {
    m_startDir = startDir;
    DatabaseTV->Close();
    DatabaseTV->SetParams({QStringLiteral("Path=") + QDir(startDir).filePath(QStringLiteral("help"))});
}

void HelpViewerStore::open() {
    if (!DatabaseTV->Connected())
        DatabaseTV->Open();
    if (!TableTV->Active())
        TableTV->Open();
    TableTV->First();
}

void HelpViewerStore::closeTable() {
    TableTV->Close();
}

void HelpViewerStore::refresh() {
    TableTV->RefreshIfChanged();
}

bool HelpViewerStore::LocateTopic(const QString &title) {
    return TableTV->Active() && TableTV->Locate(HelpData::TEMAKOR, title);
}

QString HelpViewerStore::BlankPage() const {
    return helppages::blankPage(m_startDir);
}

QString HelpViewerStore::CurrentPage() const {
    if (!TableTV->Active() || TableTV->IsEmpty())
        return BlankPage();
    const TField *page = TableTV->FieldByName(HelpData::HELPHTML);
    return helppages::pageToShow(m_startDir, page->AsString(), page->IsNull());
}

QString HelpViewerStore::SearchPattern(const QString &text) {
    QString lowered = text;
    for (QChar &c : lowered)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return QLatin1Char('%') + lowered + QLatin1Char('%');
}

QString HelpViewerStore::CountText(int count) {
    return QString::number(count) + QStringLiteral(" témakör összesen");
}

int HelpViewerStore::Search(const QString &text) {
    QuerySearch->Close();
    QuerySearch->Params(0).SetAsString(SearchPattern(text));
    QuerySearch->Open();
    return QuerySearch->RecordCount();
}

QStringList HelpViewerStore::SearchResults() const {
    QStringList titles;
    if (!QuerySearch->Active())
        return titles;
    const TField *title = QuerySearch->FieldByName(HelpData::TEMAKOR);
    const qint64 keep = QuerySearch->Bookmark();
    for (QuerySearch->First(); !QuerySearch->Eof(); QuerySearch->Next())
        titles << title->AsString();
    QuerySearch->GotoBookmark(keep);
    return titles;
}
