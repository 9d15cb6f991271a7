#include "store/HelpViewer.h"

#include "store/Database.h"
#include "store/HelpData.h"
#include "store/HelpPages.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QDir>

#include <algorithm>

void ContentsTree::clear() {
    m_nodes.clear();
    LevelNodes.fill(-1);
}

void ContentsTree::AddTopicNode(int i, const QString &title) {
    // LevelNodes is indexed by the topic's depth, not by where its node landed: a topic out of step with the
    // outline goes under the deepest node of the current path whose topic is shallower than it, and its later
    // siblings (same depth) go beside it, not below it. A depth below 1 starts a new top-level node as depth 1
    // does; a depth above 20 gets a parent but is never one.
    const int slot = i < 0 ? 0 : i;
    int parent = -1;
    for (int k = std::min(slot, Levels) - 1; k >= 0; --k) {
        if (LevelNodes[size_t(k)] >= 0) {
            parent = LevelNodes[size_t(k)];
            break;
        }
    }
    ContentsNode node;
    node.title = title;
    node.parent = parent;
    node.level = parent >= 0 ? m_nodes[parent].level + 1 : 0;
    m_nodes.append(node);
    if (slot < Levels) {
        for (int k = slot; k < Levels; ++k)
            LevelNodes[size_t(k)] = -1;
        LevelNodes[size_t(slot)] = int(m_nodes.size()) - 1;
    }
}

void ContentsTree::build(TDataSet *table) {
    clear();
    if (!table || !table->Active())
        return;
    const TField *depth = table->FieldByName(QStringLiteral("MELYSEG"));
    const TField *title = table->FieldByName(QStringLiteral("TEMAKOR"));
    m_nodes.reserve(table->RecordCount());
    for (table->First(); !table->Eof(); table->Next())
        AddTopicNode(depth->AsInteger() - 1, title->AsString());
}

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
    title.Name = QStringLiteral("TEMAKOR");
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
    return TableTV->Active() && TableTV->Locate(QStringLiteral("TEMAKOR"), title);
}

QString HelpViewerStore::BlankPage() const {
    return HelpPages::blankPage(m_startDir);
}

QString HelpViewerStore::CurrentPage() const {
    if (!TableTV->Active() || TableTV->IsEmpty())
        return BlankPage();
    const TField *page = TableTV->FieldByName(QStringLiteral("HELPHTML"));
    return HelpPages::pageToShow(m_startDir, page->AsString(), page->IsNull());
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
    const TField *title = QuerySearch->FieldByName(QStringLiteral("TEMAKOR"));
    const qint64 keep = QuerySearch->Bookmark();
    for (QuerySearch->First(); !QuerySearch->Eof(); QuerySearch->Next())
        titles << title->AsString();
    QuerySearch->GotoBookmark(keep);
    return titles;
}
