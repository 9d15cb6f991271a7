// A table and another connection writing the same file, interleaved: what a post writes and what it refuses.
#include "store/DatabaseError.h"
#include "tests/store/HelpFixture.h"

namespace {

struct Other {
    explicit Other(const QString &folder) {
        db.SetParams({QStringLiteral("Path=") + folder});
        t.SetDatabase(&db);
        t.SetTableName(HelpData::TableName);
        t.SetIndexFieldNames(HelpData::OrderDisplay);
        t.SetFieldDefs(HelpData::editorFields());
        t.Open();
    }
    void change(int kod, const QString &fieldName, const QString &value) {
        t.RefreshIfChanged();
        ASSERT_TRUE(t.Locate(HelpData::KOD, kod));
        t.Edit();
        t.FieldByName(fieldName)->SetAsString(value);
        t.Post();
    }
    TDatabase db;
    TTable t;
};

} // namespace

using OtherConnection = HelpFixture;

// A post stores only the fields its edit changed: the other connection's title and the numbers its pass gave
// stay. Moving to another row (which posts without a pass) merges the same way.
TEST_F(OtherConnection, APostWritesOnlyWhatItsEditChanged) {
    const int one = addTopic(0, QStringLiteral("one"));
    const int two = addTopic(0, QStringLiteral("two"));
    addTopic(0, QStringLiteral("three"));
    Other other(helpDir);
    ASSERT_TRUE(table()->Locate(HelpData::KOD, two));
    table()->Edit();
    field("WORDS")->SetAsString(QStringLiteral("my words"));
    other.change(two, HelpData::TEMAKOR, QStringLiteral("two (renamed)"));
    other.change(two, HelpData::ERTEK, QStringLiteral("9"));
    table()->First(); // stores the edit on the way
    ASSERT_TRUE(table()->Locate(HelpData::KOD, two));
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("two (renamed)"));
    EXPECT_EQ(field("ERTEK")->AsString(), QStringLiteral("9"));
    EXPECT_EQ(field("WORDS")->AsString(), QStringLiteral("my words"));
    const QStringList rows = fileRows();
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("2|<null>|9|2|02.|1|<null>|1|<null>|two (renamed)|my words|")))
        << rows[1].toStdString();
    Q_UNUSED(one);
}

// Both changed the same field: nothing is written, EDatabaseConflict names the field, the edit stays pending on
// the row as stored (the other's value in that field, this edit's other changes kept); posting again stores it.
TEST_F(OtherConnection, TheSameFieldChangedOnBothSidesIsRefused) {
    const int one = addTopic(0, QStringLiteral("one"));
    Other other(helpDir);
    ASSERT_TRUE(table()->Locate(HelpData::KOD, one));
    table()->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("mine"));
    field("WORDS")->SetAsString(QStringLiteral("my words"));
    other.change(one, HelpData::TEMAKOR, QStringLiteral("theirs"));
    const QStringList before = fileRows();
    QStringList names;
    try {
        table()->Post();
    } catch (const EDatabaseConflict &conflict) {
        names = conflict.fieldNames();
        EXPECT_EQ(conflict.refused().value(field("TEMAKOR")->Column()).toString(), QStringLiteral("mine"));
    }
    EXPECT_EQ(names, QStringList({"TEMAKOR"}));
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("theirs"));
    EXPECT_EQ(field("WORDS")->AsString(), QStringLiteral("my words"));
    table()->Post();
    EXPECT_TRUE(fileRows()[0].contains(QStringLiteral("|theirs|my words|"))) << fileRows()[0].toStdString();
}

// Reading the rows again keeps a pending edit (what it changed, on the row as stored now) and a pending insert;
// an edit whose row another connection deleted is dropped.
TEST_F(OtherConnection, ReadingAgainKeepsThePendingRow) {
    const int one = addTopic(0, QStringLiteral("one"));
    const int two = addTopic(0, QStringLiteral("two"));
    Other other(helpDir);
    ASSERT_TRUE(table()->Locate(HelpData::KOD, one));
    table()->Edit();
    field("WORDS")->SetAsString(QStringLiteral("typed"));
    other.change(one, HelpData::TEMAKOR, QStringLiteral("one (renamed)"));
    table()->RefreshIfChanged();
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(field("WORDS")->AsString(), QStringLiteral("typed"));
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("one (renamed)"));
    table()->Cancel();

    table()->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("new"));
    other.change(two, HelpData::TEMAKOR, QStringLiteral("two (renamed)"));
    table()->RefreshIfChanged();
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("new"));
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_EQ(table()->Lookup(HelpData::KOD, two, HelpData::TEMAKOR).toString(), QStringLiteral("two (renamed)"));
    table()->Cancel();

    ASSERT_TRUE(table()->Locate(HelpData::KOD, two));
    table()->Edit();
    field("WORDS")->SetAsString(QStringLiteral("lost with its row"));
    ASSERT_TRUE(other.t.Locate(HelpData::KOD, two));
    other.t.Delete();
    table()->RefreshIfChanged();
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(table()->RecordCount(), 1);
}
