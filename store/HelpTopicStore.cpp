#include "store/HelpTopicStore.h"

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QDir>

#include <limits>

QString PadOutlineNumber(const QString &number) {
    QString s = number + QLatin1Char('.');
    QString result;
    int dot;
    while ((dot = int(s.indexOf(QLatin1Char('.')))) >= 0) {
        const QString c = s.left(dot);
        if (c.size() == 1)
            result += QLatin1Char('0') + c + QLatin1Char('.');
        else
            result += c + QLatin1Char('.');
        s = s.mid(dot + 1, 999);
    }
    return result;
}

HelpTopicStore::HelpTopicStore(QObject *parent)
    : QObject(parent), DatabaseHelp(new TDatabase(this)), TableHelp(new TTable(this)), QueryHelp(new TQuery(this)),
      SzulopontQuery(new TQuery(this)), KeresQuery(new TQuery(this)) {
    DatabaseHelp->setObjectName(QStringLiteral("DatabaseHelp"));
    DatabaseHelp->SetAliasName(QStringLiteral("DBhelp"));

    TableHelp->setObjectName(QStringLiteral("TableHelp"));
    TableHelp->SetDatabase(DatabaseHelp);
    TableHelp->SetTableName(HelpData::TableName);
    TableHelp->SetIndexFieldNames(HelpData::OrderDisplay);
    TableHelp->SetFieldDefs(HelpData::editorFields());
    TableHelp->AfterInsert = [this](TDataSet *ds) { TableHelpAfterInsert(ds); };
    TableHelp->BeforePost = [this](TDataSet *ds) { TableHelpBeforePost(ds); };
    TableHelp->AfterPost = [this](TDataSet *ds) { TableHelpAfterPost(ds); };
    TableHelp->BeforeInsertWrite = [this](TDataSet *ds) { TableHelpBeforeInsertWrite(ds); };

    QueryHelp->setObjectName(QStringLiteral("QueryHelp"));
    QueryHelp->SetDatabase(DatabaseHelp);
    QueryHelp->SetSQL(HelpData::queryHelpSql());

    SzulopontQuery->setObjectName(QStringLiteral("SzulopontQuery"));
    SzulopontQuery->SetDatabase(DatabaseHelp);
    SzulopontQuery->SetSQL(HelpData::szulopontQuerySql());
    SzulopontQuery->SetFieldDefs(HelpData::queryFields());

    KeresQuery->setObjectName(QStringLiteral("KeresQuery"));
    KeresQuery->SetDatabase(DatabaseHelp);
    KeresQuery->SetSQL(HelpData::keresQuerySql());
    KeresQuery->SetFieldDefs(HelpData::queryFields());
}

HelpTopicStore::~HelpTopicStore() = default;

void HelpTopicStore::open(const QString &startDir) {
    DatabaseHelp->Close();
    DatabaseHelp->SetParams({QStringLiteral("Path=") + QDir(startDir).filePath(QStringLiteral("Help"))});
    DatabaseHelp->Open();
    TableHelp->SetIndexFieldNames(HelpData::OrderDisplay);
    TableHelp->Open();
}

void HelpTopicStore::close() {
    DatabaseHelp->Close();
}

bool HelpTopicStore::ReadOnly() const {
    return TableHelp->Active() && !TableHelp->CanModify();
}

qint32 HelpTopicStore::nextKey() {
    QueryHelp->Close();
    QueryHelp->Open();
    const qint64 largest = QueryHelp->FieldByName(HelpData::MaxOfKod)->AsLargeInt();
    QueryHelp->Close();
    if (largest >= std::numeric_limits<qint32>::max())
        throw EDatabaseError::inFile(TableHelp->sourceName(), QStringLiteral("no free topic key is left"));
    return qint32(largest + 1);
}

void HelpTopicStore::TableHelpAfterInsert(TDataSet *) {
    TableHelp->FieldByName(HelpData::KOD)->SetAsInteger(nextKey());
    m_keyTakenIn = DatabaseHelp->InTransaction() ? DatabaseHelp->TransactionSerial() : 0;
}

// A key taken before this write's transaction may have been taken by another writer since: the new topic then
// gets the next free one, so no two topics share a key.
void HelpTopicStore::TableHelpBeforeInsertWrite(TDataSet *) {
    if (m_keyTakenIn != 0 && m_keyTakenIn == DatabaseHelp->TransactionSerial())
        return;
    TField *kod = TableHelp->FieldByName(HelpData::KOD);
    const qint32 free = nextKey();
    if (kod->AsLargeInt() < free)
        kod->SetAsInteger(free);
}

void HelpTopicStore::write(const std::function<void()> &body) {
    TTable *t = TableHelp;
    if (DatabaseHelp->InTransaction()) {
        body();
        return;
    }
    t->UpdateRecord(); // the pending row as it stands, with what is typed in the edits
    const TDataSet::PendingRow pending = t->SavePending();
    const qint64 bookmark = t->Bookmark();
    auto undo = [&](const TDataSet::PendingRow &keep) {
        DatabaseHelp->Rollback();
        try {
            // A row still pending as it should stay is kept through the reading (the texts being typed too).
            const TDataSet::PendingRow now = t->SavePending();
            const bool same = now.state == keep.state && now.row == keep.row && now.buffer == keep.buffer;
            if (!same)
                t->Cancel();
            if (t->IndexFieldNames() != HelpData::OrderDisplay)
                t->SetIndexFieldNames(HelpData::OrderDisplay);
            t->Refresh();
            if (!same) {
                t->GotoBookmark(bookmark);
                t->RestorePending(keep);
            }
        } catch (...) {
        }
    };
    DatabaseHelp->StartTransaction();
    try {
        t->RefreshIfChanged();
        body();
        DatabaseHelp->Commit();
    } catch (const EDatabaseConflict &) {
        // The post of the pending row was refused: it stays pending as the refusal left it, on the stored row.
        undo(t->SavePending());
        throw;
    } catch (...) {
        undo(pending);
        throw;
    }
    SaveTableChanges(t); // the posts inside the transaction skipped it
}

void HelpTopicStore::TableHelpBeforePost(TDataSet *) {
    TField *leaf = TableHelp->FieldByName(HelpData::VEGPONT);
    if (leaf->IsNull())
        leaf->SetAsBoolean(false);
}

void HelpTopicStore::TableHelpAfterPost(TDataSet *) {
    SaveTableChanges(TableHelp);
}

// Runs a pass inside a write (its own, or the command's it is part of) with the grid detached and the busy
// cursor shown. On any error the window is restored and the error goes on; the write undoes the rest.
void HelpTopicStore::runPass(const std::function<void()> &body) {
    if (BeginBusy)
        BeginBusy();
    if (DetachGrid)
        DetachGrid();
    TableHelp->DisableControls();
    try {
        write([this, &body] {
            TableHelp->CheckBrowseMode();
            body();
        });
    } catch (...) {
        TableHelp->EnableControls();
        if (AttachGrid)
            AttachGrid();
        if (EndBusy)
            EndBusy();
        throw;
    }
    TableHelp->EnableControls();
    if (AttachGrid)
        AttachGrid();
    if (EndBusy)
        EndBusy();
}

void HelpTopicStore::RenumberOutline(bool ReparentChildren) {
    TTable *t = TableHelp;
    if (!t->Active())
        t->Open();
    checkParentOrder();
    runPass([this, t, ReparentChildren] {
        TField *kodF = t->FieldByName(HelpData::KOD);
        TField *szuloF = t->FieldByName(HelpData::SZULO);
        TField *ertekF = t->FieldByName(HelpData::ERTEK);
        TField *sorszamF = t->FieldByName(HelpData::SORSZAM);
        TField *szovF = t->FieldByName(HelpData::SORSZAMSZOV);
        TField *melysegF = t->FieldByName(HelpData::MELYSEG);
        TField *markF = t->FieldByName(HelpData::TEMPPONT);
        TField *leafF = t->FieldByName(HelpData::VEGPONT);

        const qint32 startKod = kodF->AsInteger();

        // Clear the marks of the last pass.
        t->First();
        while (!t->Eof()) {
            t->Edit();
            markF->Clear();
            t->Post();
            t->Next();
        }

        t->SetIndexFieldNames(HelpData::OrderParent);
        t->First();
        qint32 n = 1;
        QString previous = QStringLiteral("0");
        bool firstRow = true;
        while (!t->Eof()) {
            const QString szulo = szuloF->AsString();
            if (firstRow || szulo != previous) {
                n = 1;
                previous = szulo;
                firstRow = false;
            }
            t->Edit();
            sorszamF->SetAsInteger(n);
            const QString number = szulo.isEmpty() ? QString::number(n) : szulo + QLatin1Char('.') + QString::number(n);
            // A number cut to the field's width would name another topic: the whole pass is undone instead.
            if (number.size() > ertekF->Size())
                throw EDatabaseError::inFile(t->sourceName(),
                                             QStringLiteral("the outline number %1 is longer than %2 characters")
                                                 .arg(number)
                                                 .arg(ertekF->Size()));
            const QString old = ertekF->AsString();
            ertekF->SetAsString(number);
            // Depth counts the components of the parent number, so numbers of any width give the right depth.
            melysegF->SetAsInteger(szulo.isEmpty() ? 1 : szulo.count(QLatin1Char('.')) + 2);
            szovF->SetAsString(PadOutlineNumber(ertekF->AsString()));
            t->Post();
            n = n == std::numeric_limits<qint32>::max() ? n : n + 1;

            // Carry the subtree along. A topic never numbered before has no subtree to carry; a sibling whose
            // number merely begins with the old number (2 versus 20) is not part of it.
            if (ReparentChildren && number != old && !old.isEmpty() && !leafF->AsBoolean()) {
                const qint64 here = t->Bookmark();
                const QString prefix = old + QLatin1Char('.');
                const int cut = int(old.size());
                // In this order the parents that begin with the old number form one run; the walk can stop
                // at the first parent beyond it.
                QList<qint64> subtree;
                for (; !t->Eof(); t->Next()) {
                    const QString s = szuloF->AsString();
                    if (s == old || s.startsWith(prefix)) {
                        if (markF->AsString() != QLatin1String("1"))
                            subtree << t->Bookmark();
                    } else if (!s.isEmpty() && QString::compare(s, old, Qt::CaseSensitive) > 0 && !s.startsWith(old)) {
                        break;
                    }
                }
                for (qint64 row : std::as_const(subtree)) {
                    t->GotoBookmark(row);
                    const QString s = number + szuloF->AsString().mid(cut);
                    if (s.size() > szuloF->Size())
                        throw EDatabaseError::inFile(
                            t->sourceName(), QStringLiteral("the outline number %1 is longer than %2 characters")
                                                 .arg(s)
                                                 .arg(szuloF->Size()));
                    t->Edit();
                    szuloF->SetAsString(s);
                    markF->SetAsString(QStringLiteral("1"));
                    t->Post();
                }
                t->GotoBookmark(here);
            }
            t->Next();
        }

        t->SetIndexFieldNames(HelpData::OrderDisplay);
        t->Locate(HelpData::KOD, startKod);
        markLeavesInPass();
    });
}

void HelpTopicStore::markLeavesInPass() {
    TTable *t = TableHelp;
    if (DetachGrid)
        DetachGrid();
    TField *kodF = t->FieldByName(HelpData::KOD);
    TField *melysegF = t->FieldByName(HelpData::MELYSEG);
    TField *leafF = t->FieldByName(HelpData::VEGPONT);
    const qint32 startKod = kodF->AsInteger();
    t->Last();
    qint32 following = 0;
    while (!t->Bof()) {
        const qint32 depth = melysegF->AsInteger();
        t->Edit();
        leafF->SetAsBoolean(following <= depth);
        t->Post();
        following = melysegF->AsInteger();
        t->Prior();
    }
    t->Locate(HelpData::KOD, startKod);
    if (AttachGrid)
        AttachGrid();
}

void HelpTopicStore::checkParentOrder() {
    // Without the parent order siblings would not be adjacent; stop before anything changes.
    if (!TableHelp->HasIndexOn(HelpData::OrderParent))
        throw EDatabaseError::inFile(TableHelp->sourceName(),
                                     QStringLiteral("index on %1 not found").arg(HelpData::OrderParent));
}

void HelpTopicStore::MarkLeaves() {
    if (!TableHelp->Active())
        TableHelp->Open();
    runPass([this] { markLeavesInPass(); });
}

QList<qint32> HelpTopicStore::AppendOutline(const QList<NewTopic> &topics,
                                            const std::function<void(const QList<qint32> &)> &beforeCommit) {
    TTable *t = TableHelp;
    if (!t->Active())
        t->Open();
    // Check the shape and the parent order first, so a bad outline adds nothing.
    int previous = 0;
    for (const NewTopic &topic : topics) {
        if (topic.level < 1 || topic.level > previous + 1)
            throw EDatabaseError::inFile(
                t->sourceName(),
                QStringLiteral("topic \"%1\" is more than one level below the topic before it").arg(topic.title));
        previous = topic.level;
    }
    checkParentOrder();
    QList<qint32> keys;
    write([&] {
        t->CheckBrowseMode();
        // Parents are numbered as the renumber pass will number them: new top-level topics follow the existing
        // ones (as the file holds them now).
        int topCount = 0;
        {
            TField *szulo = t->FieldByName(HelpData::SZULO);
            for (t->First(); !t->Eof(); t->Next())
                topCount += szulo->IsNull();
        }
        QStringList parents;
        QStringList path;      // number of the latest topic at each level
        QList<int> childCount; // children given so far to the latest topic at each level
        const int width = t->FieldByName(HelpData::ERTEK)->Size();
        for (const NewTopic &topic : topics) {
            const int level = topic.level;
            path = path.mid(0, level - 1);
            childCount = childCount.mid(0, level - 1); // the new topic has no children yet
            childCount << 0;
            const QString parent = level == 1 ? QString() : path.last();
            const int ordinal = level == 1 ? ++topCount : ++childCount[level - 2];
            const QString number =
                parent.isEmpty() ? QString::number(ordinal) : parent + QLatin1Char('.') + QString::number(ordinal);
            if (number.size() > width)
                throw EDatabaseError::inFile(
                    t->sourceName(), QStringLiteral("the outline is too deep: number %1 does not fit").arg(number));
            path << number;
            parents << parent;
        }
        for (int i = 0; i < topics.size(); ++i) {
            const NewTopic &topic = topics[i];
            t->Insert();
            t->FieldByName(HelpData::SZULO)->SetAsString(parents[i]);
            t->FieldByName(HelpData::MELYSEG)->SetAsInteger(topic.level);
            t->FieldByName(HelpData::TEMAKOR)->SetAsString(topic.title);
            t->FieldByName(HelpData::WORDS)->SetAsString(topic.words);
            if (topic.hasHelpContext)
                t->FieldByName(HelpData::HELPCONTEXT)->SetAsInteger(topic.helpContext);
            t->FieldByName(HelpData::HELPHTML)->SetAsString(topic.page);
            keys << t->FieldByName(HelpData::KOD)->AsInteger();
            t->Post();
        }
        RenumberOutline(false);
        if (beforeCommit)
            beforeCommit(keys);
    });
    return keys;
}
