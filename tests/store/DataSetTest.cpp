#include "tests/store/HelpFixture.h"

#include "store/DatabaseError.h"

#include <QFileInfo>
#include <QSignalSpy>

#include <sqlite3.h>

using Cursor = HelpFixture;

TEST_F(Cursor, MovesReportEndsLikeTheClassicLoops) {
    TTable *t = table();
    EXPECT_TRUE(t->Bof());
    EXPECT_TRUE(t->Eof());
    t->Last();
    EXPECT_TRUE(t->Bof() && t->Eof());
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    addTopic(0, QStringLiteral("c"));
    QStringList forward, backward;
    for (t->First(); !t->Eof(); t->Next())
        forward << field("TEMAKOR")->AsString();
    for (t->Last(); !t->Bof(); t->Prior())
        backward << field("TEMAKOR")->AsString();
    EXPECT_EQ(forward, QStringList({"a", "b", "c"}));
    EXPECT_EQ(backward, QStringList({"c", "b", "a"}));
    // Past either end the cursor stays on the end row.
    t->Last();
    t->Next();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("c"));
}

TEST_F(Cursor, NullsReadAsEmptyAndZeroAlsoOnAnEmptyTable) {
    EXPECT_EQ(field("TEMAKOR")->AsString(), QString());
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 0);
    EXPECT_FALSE(field("VEGPONT")->AsBoolean());
    EXPECT_TRUE(field("KOD")->IsNull());
}

TEST_F(Cursor, MovingAwayPostsAChangedRowAndCancelsAnUnchangedOne) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    TTable *t = table();
    t->First();
    t->Edit();
    field("WORDS")->SetAsString(QStringLiteral("kutya macska"));
    t->Next(); // stores the change
    EXPECT_EQ(t->State(), dsBrowse);
    t->First();
    EXPECT_EQ(field("WORDS")->AsString(), QStringLiteral("kutya macska"));
    t->Edit();
    t->Next(); // nothing changed: cancelled
    EXPECT_EQ(t->State(), dsBrowse);
    // An insert with a title is stored unnumbered by a move; one without changes is dropped.
    t->Insert();
    t->Cancel();
    EXPECT_EQ(t->RecordCount(), 2);
    t->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("new"));
    t->First();
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_TRUE(t->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("new")));
    EXPECT_TRUE(field("ERTEK")->IsNull());
}

TEST_F(Cursor, CancelDropsPendingChangesAndAFailedPostKeepsThem) {
    addTopic(0, QStringLiteral("a"));
    TTable *t = table();
    t->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("changed"));
    t->Cancel();
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("a"));
    t->Cancel(); // nothing pending: nothing happens
    EXPECT_EQ(t->State(), dsBrowse);

    t->BeforePost = [](TDataSet *) { throw EDatabaseError(QStringLiteral("refused")); };
    t->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("pending"));
    EXPECT_THROW(t->Post(), EDatabaseError);
    EXPECT_EQ(t->State(), dsEdit);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("pending"));
}

TEST_F(Cursor, TextsAreCutToTheFieldWidthAndEmptyTextsStoredAsNull) {
    addTopic(0, QString(60, QLatin1Char('x')));
    EXPECT_EQ(field("TEMAKOR")->AsString().size(), 50);
    table()->Edit();
    field("WORDS")->SetAsString(QString());
    field("HELPHTML")->SetAsString(QStringLiteral(""));
    table()->Post();
    EXPECT_TRUE(field("WORDS")->IsNull());
    EXPECT_TRUE(field("HELPHTML")->IsNull());
    // A 20-character number is the most SZULO and ERTEK hold.
    table()->Edit();
    field("SZULO")->SetAsString(QStringLiteral("1.1.1.1.1.1.1.1.1.1.1"));
    EXPECT_EQ(field("SZULO")->AsString(), QStringLiteral("1.1.1.1.1.1.1.1.1.1."));
    table()->Cancel();
}

TEST_F(Cursor, IntegerFieldsRefuseWhatIsNotA32BitInteger) {
    addTopic(0, QStringLiteral("a"));
    table()->Edit();
    EXPECT_THROW(field("HELPCONTEXT")->SetAsString(QStringLiteral("12a")), EDatabaseError);
    EXPECT_THROW(field("HELPCONTEXT")->SetAsString(QStringLiteral("2147483648")), EDatabaseError);
    field("HELPCONTEXT")->SetAsString(QStringLiteral("-2147483648"));
    EXPECT_EQ(field("HELPCONTEXT")->AsInteger(), -2147483647 - 1);
    table()->Cancel();
}

TEST_F(Cursor, LocateIgnoresCaseAndFindsTheFirstInDisplayOrder) {
    addTopic(0, QStringLiteral("Állat"));
    addTopic(0, QStringLiteral("állat"));
    EXPECT_TRUE(table()->Locate(QStringLiteral("temakor"), QStringLiteral("ÁLLAT")));
    EXPECT_EQ(field("ERTEK")->AsString(), QStringLiteral("1"));
    EXPECT_FALSE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("nincs")));
    EXPECT_EQ(field("ERTEK")->AsString(), QStringLiteral("1"));
    EXPECT_TRUE(table()->Locate(QStringLiteral("KOD"), 2));
}

TEST_F(Cursor, DeleteMakesTheNextRowCurrentAndRefusesAnEmptyTable) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    addTopic(0, QStringLiteral("c"));
    TTable *t = table();
    t->First();
    t->Next();
    t->Delete();
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("c"));
    t->Delete();
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("a"));
    t->Delete();
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_THROW(t->Delete(), EDatabaseError);
}

TEST_F(Cursor, GridRowsShowThePendingInsertAndEditWithoutMovingTheCursor) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    TTable *t = table();
    const int title = field("TEMAKOR")->Index();
    t->First();
    t->Next();
    t->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("new"));
    EXPECT_EQ(t->DisplayRowCount(), 3);
    EXPECT_EQ(t->DisplayCurrentRow(), 1);
    EXPECT_EQ(t->DisplayValue(0, title).toString(), QStringLiteral("a"));
    EXPECT_EQ(t->DisplayValue(1, title).toString(), QStringLiteral("new"));
    EXPECT_EQ(t->DisplayValue(2, title).toString(), QStringLiteral("b"));
    EXPECT_EQ(t->DisplayBookmark(1), 0);
    t->Cancel();
    t->First();
    t->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("edited"));
    EXPECT_EQ(t->DisplayValue(0, title).toString(), QStringLiteral("edited"));
    EXPECT_EQ(t->DisplayRowCount(), 2);
    t->Cancel();
}

TEST_F(Cursor, DisabledControlsHearOfChangesOnceWhenEnabled) {
    addTopic(0, QStringLiteral("a"));
    QSignalSpy rows(table(), &TDataSet::rowsChanged);
    QSignalSpy current(table(), &TDataSet::currentChanged);
    table()->DisableControls();
    addTopic(0, QStringLiteral("b"));
    table()->First();
    EXPECT_EQ(rows.count(), 0);
    EXPECT_EQ(current.count(), 0);
    table()->EnableControls();
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(current.count(), 1);
}

// Moves send no signal while nobody listens; whoever connects later, after others came and went, hears them.
TEST_F(Cursor, ListenersConnectedAfterOthersLeftHearEveryMove) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    TTable *t = table();
    int heard = 0;
    auto first = QObject::connect(t, &TDataSet::currentChanged, [&] { ++heard; });
    t->Last();
    QObject::disconnect(first);
    t->First();
    EXPECT_EQ(heard, 1);
    {
        QObject listener;
        QObject::connect(t, &TDataSet::currentChanged, &listener, [&] { ++heard; });
    } // gone with its receiver
    QObject::disconnect(t, nullptr, nullptr, nullptr);
    QSignalSpy spy(t, &TDataSet::currentChanged);
    t->Next();
    t->Prior();
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(heard, 1);
}

TEST_F(Cursor, ReadOnlyConnectionCannotWrite) {
    addTopic(0, QStringLiteral("a"));
    TDatabase db;
    db.SetAliasName(QStringLiteral("DBTavik"));
    db.SetReadOnly(true);
    db.SetParams({QStringLiteral("Path=") + folder.path() + QStringLiteral("/help")}); // another case, same folder
    TTable t;
    t.SetDatabase(&db);
    t.SetTableName(QStringLiteral("HelpData"));
    t.SetIndexFieldNames(QStringLiteral("SORSZAMSZOV"));
    t.SetFieldDefs(HelpData::viewerFields());
    t.Open();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_THROW(t.Edit(), EDatabaseError);
    EXPECT_THROW(t.Insert(), EDatabaseError);
    EXPECT_THROW(t.Delete(), EDatabaseError);
    EXPECT_THROW(db.exec(QStringLiteral("UPDATE HelpData SET TEMAKOR='x'")), EDatabaseError);
    try {
        db.exec(QStringLiteral("DELETE FROM HelpData"));
        ADD_FAILURE() << "a read-only connection deleted rows";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("HelpData.db"))) << e.message().toStdString();
    }
    // Not even SQL that attaches the file again, or a new one, opens it for writing.
    const QString file = helpDir + QStringLiteral("/HelpData.db");
    EXPECT_THROW(db.exec(QStringLiteral("ATTACH DATABASE 'file:%1?mode=rw' AS w").arg(file)), EDatabaseError);
    db.exec(QStringLiteral("ATTACH DATABASE '%1' AS again").arg(file));
    EXPECT_THROW(db.exec(QStringLiteral("DELETE FROM again.HelpData")), EDatabaseError);
    EXPECT_THROW(db.exec(QStringLiteral("ATTACH DATABASE '%1' AS made").arg(folder.filePath("New.db"))),
                 EDatabaseError);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("New.db")));
    EXPECT_EQ(fileRows().size(), 1);
    // The reader sees the editor's later posts when it opens again.
    addTopic(0, QStringLiteral("b"));
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST_F(Cursor, TableFileIsFoundWhateverTheCaseOfItsName) {
    store.close();
    ASSERT_TRUE(QFile::rename(helpDir + "/HelpData.db", helpDir + "/HELPDATA.DB"));
    HelpTopicStore other;
    other.open(folder.path());
    EXPECT_TRUE(other.TableHelp->Active());
    other.QueryHelp->Open();
    EXPECT_EQ(other.QueryHelp->FieldByName(QStringLiteral("MAX OF KOD"))->AsInteger(), 0);
}

using Queries = HelpFixture;

TEST_F(Queries, AnUnnamedAggregateIsCalledMaxOfKodAndIsNullWhenEmpty) {
    store.QueryHelp->Open();
    TField *max = store.QueryHelp->FindField(QStringLiteral("MAX OF KOD"));
    ASSERT_NE(max, nullptr);
    EXPECT_TRUE(max->IsNull());
    EXPECT_EQ(max->AsInteger(), 0);
    store.QueryHelp->Close();
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    store.QueryHelp->Open();
    EXPECT_EQ(store.QueryHelp->FieldByName(QStringLiteral("max of kod"))->AsInteger(), 2);
    EXPECT_EQ(TQuery::resultColumnName(QStringLiteral("count(*)")), QStringLiteral("COUNT OF *"));
    EXPECT_EQ(TQuery::resultColumnName(QStringLiteral("TEMAKOR")), QStringLiteral("TEMAKOR"));
}

TEST_F(Queries, ParametersAreSetByPositionAndDeclaredWidthsBoundWhatIsRead) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(0, QStringLiteral("two"));
    addTopic(one, QStringLiteral("child b"));
    addTopic(one, QStringLiteral("child a"));
    ASSERT_TRUE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("child a")));
    table()->Edit();
    field("WORDS")->SetAsString(QString(120, QLatin1Char('w')));
    table()->Post();

    TQuery *k = store.KeresQuery;
    ASSERT_EQ(k->ParamCount(), 1);
    EXPECT_EQ(k->Params(0).Name(), QStringLiteral("PSZULO"));
    k->Params(0).SetAsString(QStringLiteral("1"));
    k->Open();
    EXPECT_EQ(k->RecordCount(), 2);
    EXPECT_EQ(k->FieldByName(QStringLiteral("TEMAKOR"))->AsString(), QStringLiteral("child b")); // ORDER BY ERTEK
    k->Next();
    EXPECT_EQ(k->FieldByName(QStringLiteral("WORDS"))->AsString().size(), 50);
    k->Close();
    k->Params(0).SetAsString(QString());
    k->Open();
    EXPECT_TRUE(k->IsEmpty()); // top-level topics have a null parent, which equals nothing

    TQuery *p = store.SzulopontQuery;
    ASSERT_EQ(p->ParamCount(), 2);
    p->Params(0).SetAsInteger(1);
    p->Params(1).SetAsString(QString());
    p->Open();
    EXPECT_EQ(p->RecordCount(), 2);
}

TEST_F(Queries, SearchPatternMatchesInsideWordsAndGroupsByTitle) {
    const int a = addTopic(0, QStringLiteral("Állatok"));
    addTopic(a, QStringLiteral("Állatok"));
    addTopic(0, QStringLiteral("Növények"));
    addTopic(0, QStringLiteral("Üres"));
    const char *words[] = {"kutya macska", "macska", "fa virág", nullptr};
    int i = 0;
    for (table()->First(); !table()->Eof(); table()->Next(), ++i) {
        table()->Edit();
        field("WORDS")->SetAsString(words[i] ? QString::fromUtf8(words[i]) : QString());
        table()->Post();
    }
    TQuery search;
    search.SetDatabaseName(helpDir);
    search.SetSQL(HelpData::querySearchSql());
    search.Params(0).SetAsString(QStringLiteral("%macska%"));
    search.Open();
    EXPECT_EQ(search.RecordCount(), 1); // two topics, one title
    search.Close();
    search.Params(0).SetAsString(QStringLiteral("%%"));
    search.Open();
    EXPECT_EQ(search.RecordCount(), 2); // every title whose words are not null
}

TEST(SqlTables, AnyTableOfTheFolderCanBeNamedAndTyped) {
    TempFolder folder;
    execSql(folder.filePath("Orders.db"),
            "CREATE TABLE Orders (ID INTEGER, CUSTOMER TEXT, AMOUNT REAL, PAID BOOLEAN, DAY DATE, NOTE MEMO);"
            "INSERT INTO Orders VALUES (1, 'Kovács', 150.5, 1, '2026-03-01', 'hosszú megjegyzés');"
            "INSERT INTO Orders VALUES (2, 'Nagy', 20, 0, '2026-03-02', NULL);");
    TQuery q;
    q.setObjectName(QStringLiteral("Q"));
    q.SetDatabaseName(folder.path());
    q.SetSQL({QStringLiteral("SELECT * FROM orders"), QStringLiteral("WHERE AMOUNT > :MIN ORDER BY ID")});
    q.Params(0).SetAsFloat(10);
    q.Open();
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldByName(QStringLiteral("amount"))->DataType(), ftFloat);
    EXPECT_EQ(q.FieldByName(QStringLiteral("PAID"))->DataType(), ftBoolean);
    EXPECT_EQ(q.FieldByName(QStringLiteral("DAY"))->DataType(), ftDate);
    EXPECT_EQ(q.FieldByName(QStringLiteral("NOTE"))->DataType(), ftMemo);
    EXPECT_EQ(q.FieldAt(1)->AsString(), QStringLiteral("Kovács"));
    EXPECT_DOUBLE_EQ(q.FieldByName(QStringLiteral("AMOUNT"))->AsFloat(), 150.5);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("PAID"))->AsBoolean());
    EXPECT_EQ(q.FieldByName(QStringLiteral("DAY"))->AsDateTime().date(), QDate(2026, 3, 1));
    EXPECT_EQ(q.FieldByName(QStringLiteral("NOTE"))->AsBytes(), QStringLiteral("hosszú megjegyzés").toUtf8());
    EXPECT_EQ(q.FieldByName(QStringLiteral("ID"))->ClassName(), QStringLiteral("TIntegerField"));
    EXPECT_EQ(q.FindField(QStringLiteral("missing")), nullptr);
    EXPECT_THROW(q.Edit(), EDatabaseError);

    TQuery bad;
    bad.SetDatabaseName(folder.path());
    bad.SetSQL({QStringLiteral("SELECT * FROM Nowhere")});
    try {
        bad.Open();
        FAIL() << "a missing table opened";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Nowhere.db"))) << e.message().toStdString();
    }
}

// A calculated field follows the current row and its pending changes, and is never stored or searched.
TEST_F(Cursor, CalculatedFieldsFollowTheRowAndAreNotStored) {
    TTable *t = table();
    t->Close();
    TFieldDef label;
    label.Name = QStringLiteral("LABEL");
    label.DataType = ftMemo;
    label.Calculated = true;
    QList<TFieldDef> defs = t->FieldDefs();
    t->SetFieldDefs(defs << label);
    int calculations = 0;
    bool failing = false;
    t->OnCalcFields = [&](TDataSet *d) {
        ++calculations;
        if (failing)
            throw std::runtime_error("no page");
        TField *f = d->FieldByName(QStringLiteral("LABEL"));
        f->SetAsString(d->FieldByName(QStringLiteral("ERTEK"))->AsString() + QLatin1Char(' ') +
                       d->FieldByName(QStringLiteral("TEMAKOR"))->AsString());
        f->SetAsString(f->AsString() + QLatin1Char('!')); // what it set so far, not a calculation again
    };
    t->Open();
    EXPECT_TRUE(field("LABEL")->IsNull()); // no row: nothing to calculate
    EXPECT_EQ(calculations, 0);
    addTopic(0, QStringLiteral("Alma"));
    addTopic(0, QStringLiteral("Körte"));
    QStringList labels;
    for (t->First(); !t->Eof(); t->Next())
        labels << field("LABEL")->AsString();
    EXPECT_EQ(labels, QStringList({"1 Alma!", "2 Körte!"}));

    // A pending edit shows in it; it stays the data set's own.
    t->First();
    t->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("Szilva"));
    EXPECT_EQ(field("LABEL")->AsString(), QStringLiteral("1 Szilva!"));
    EXPECT_THROW(field("LABEL")->SetAsString(QStringLiteral("x")), EDatabaseError);
    t->Post();
    EXPECT_EQ(field("LABEL")->AsString(), QStringLiteral("1 Szilva!"));
    EXPECT_THROW(t->Locate(QStringLiteral("LABEL"), QStringLiteral("1 Szilva!")), EDatabaseError);
    EXPECT_EQ(numbers(), QStringList({"1:Szilva", "2:Körte"}));
    EXPECT_TRUE(fileRows().join(QLatin1Char('|')).contains(QStringLiteral("Szilva")));
    EXPECT_FALSE(fileRows().join(QLatin1Char('|')).contains(QLatin1Char('!')));

    // A calculation that fails reaches the reader, and the next read calculates again.
    failing = true;
    EXPECT_THROW(field("LABEL")->AsString(), std::runtime_error);
    failing = false;
    EXPECT_EQ(field("LABEL")->AsString(), QStringLiteral("1 Szilva!"));
}
