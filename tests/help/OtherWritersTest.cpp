// Two writers on one help set, interleaved as the editor window and `tavik` (or a second window) meet.
#include "help/HelpEditor.h"
#include "tests/help/ScriptedDialogs.h"
#include "tests/store/HelpFixture.h"

class OtherWriters : public HelpFixture {
protected:
    void SetUp() override {
        HelpFixture::SetUp();
        for (const char *title : {"Egy", "Kettő", "Három", "Négy", "Öt", "Hat"})
            addTopic(0, QString::fromUtf8(title));
        other.open(folder.path());
    }

    /// The table as the file holds it now, read by a third connection in display order.
    struct Reader {
        explicit Reader(const QString &folder) {
            db.SetReadOnly(true);
            db.SetParams({QStringLiteral("Path=") + folder});
            t.SetDatabase(&db);
            t.SetTableName(HelpData::TableName);
            t.SetIndexFieldNames(HelpData::OrderDisplay);
            t.Open();
        }
        TDatabase db;
        TTable t;
    };
    QString stored(const QString &title, const QString &fieldName) {
        Reader r(helpDir);
        return r.t.Locate(HelpData::TEMAKOR, title) ? r.t.FieldByName(fieldName)->AsString() : QStringLiteral("<none>");
    }
    QStringList storedColumn(const QString &fieldName) {
        Reader r(helpDir);
        QStringList out;
        for (r.t.First(); !r.t.Eof(); r.t.Next())
            out << r.t.FieldByName(fieldName)->AsString();
        return out;
    }
    void locate(HelpTopicStore &s, const char *title) {
        ASSERT_TRUE(s.TableHelp->Locate(HelpData::TEMAKOR, QString::fromUtf8(title))) << title;
    }
    void set(HelpTopicStore &s, const QString &fieldName, const QString &value) {
        s.TableHelp->FieldByName(fieldName)->SetAsString(value);
    }
    /// `tavik insert --top` or `tavik edit`, run by the other writer from start to end.
    void otherInsertsAtTheTop(const QString &title) {
        ASSERT_TRUE(otherEditor.Insert());
        otherEditor.MakeTopLevel();
        set(other, HelpData::TEMAKOR, title);
        ASSERT_TRUE(otherEditor.Post());
    }

    ScriptedDialogs dialogs, otherDialogs;
    HelpEditor editor{&store, &dialogs, folder.path()};
    HelpTopicStore other;
    HelpEditor otherEditor{&other, &otherDialogs, folder.path()};
};

// Neither a key nor a number is given twice, whether the other writer inserts before this writer's insert
// begins (its rows were read before) or while it is pending (its key was taken before).
TEST_F(OtherWriters, InsertsGetTheirOwnKeysAndNumbers) {
    otherInsertsAtTheTop(QStringLiteral("Hét (tavik)"));
    ASSERT_TRUE(editor.Insert()); // the window still holds the six topics it read
    editor.MakeTopLevel();
    set(store, HelpData::TEMAKOR, QStringLiteral("Nyolc (ablak)"));
    const int pendingKey = field("KOD")->AsInteger();
    otherInsertsAtTheTop(QStringLiteral("Kilenc (tavik)")); // takes the pending topic's key
    ASSERT_TRUE(editor.Post());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();

    EXPECT_EQ(pendingKey, 8);
    EXPECT_EQ(storedColumn(HelpData::TEMAKOR), QStringList({"Egy", "Kettő", "Három", "Négy", "Öt", "Hat", "Hét (tavik)",
                                                            "Kilenc (tavik)", "Nyolc (ablak)"}));
    EXPECT_EQ(storedColumn(HelpData::ERTEK), QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    QStringList keys = storedColumn(HelpData::KOD);
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), 9);
    EXPECT_EQ(stored(QStringLiteral("Nyolc (ablak)"), HelpData::KOD), QStringLiteral("9"));
    // The window shows the file as it is, its own topic current.
    EXPECT_EQ(numbers().size(), 9);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("Nyolc (ablak)"));
}

// A post writes only the fields its user changed: the other writer's title stays, and so do the numbers the
// other writer's delete gave the topic.
TEST_F(OtherWriters, APostMergesOnlyTheFieldsThisUserChanged) {
    locate(store, "Kettő");
    ASSERT_TRUE(editor.BeginEdit());
    set(store, HelpData::WORDS, QStringLiteral("új szavak"));

    locate(other, "Kettő");
    ASSERT_TRUE(otherEditor.BeginEdit());
    set(other, HelpData::TEMAKOR, QStringLiteral("Kettő (átírva)"));
    ASSERT_TRUE(otherEditor.Post());
    locate(other, "Egy");
    otherDialogs.answers = {true};
    ASSERT_TRUE(otherEditor.Delete()); // topic 2 becomes topic 1

    ASSERT_TRUE(editor.Post());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(stored(QStringLiteral("Kettő (átírva)"), HelpData::WORDS), QStringLiteral("új szavak"));
    EXPECT_EQ(stored(QStringLiteral("Kettő (átírva)"), HelpData::ERTEK), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("Kettő (átírva)"), HelpData::SORSZAMSZOV), QStringLiteral("01."));
    EXPECT_EQ(storedColumn(HelpData::ERTEK), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("Kettő (átírva)")); // the window shows the merged row
}

// Where both changed the same field, nothing is written: the refusal says in Hungarian what was typed and what
// is stored, the field shows the stored value, this user's other changes stay pending, and F2 then stores them.
TEST_F(OtherWriters, TheSameFieldChangedByBothIsRefusedAndTheStoredValueShown) {
    locate(store, "Három");
    ASSERT_TRUE(editor.BeginEdit());
    set(store, HelpData::TEMAKOR, QStringLiteral("Három (ablak)"));
    set(store, HelpData::WORDS, QStringLiteral("ablak szavai"));

    locate(other, "Három");
    ASSERT_TRUE(otherEditor.BeginEdit());
    set(other, HelpData::TEMAKOR, QStringLiteral("Három (tavik)"));
    ASSERT_TRUE(otherEditor.Post());

    EXPECT_FALSE(editor.Post());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0],
              QStringLiteral("message|Figyelmeztetés a felhasználónak!|A témakört közben egy másik program is "
                             "módosította, ezért a változtatás nem került rögzítésre.\n"
                             "Témakör: az Ön által megadott érték „Három (ablak)”, a tárolt érték „Három (tavik)”.\n"
                             "A mező most a tárolt értéket mutatja, a többi változtatás megmaradt; az F2 rögzíti."));
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("Három (tavik)"));
    EXPECT_EQ(field("WORDS")->AsString(), QStringLiteral("ablak szavai"));
    EXPECT_EQ(stored(QStringLiteral("Három (tavik)"), HelpData::WORDS), QString()); // nothing was written

    ASSERT_TRUE(editor.Post());
    EXPECT_EQ(stored(QStringLiteral("Három (tavik)"), HelpData::WORDS), QStringLiteral("ablak szavai"));
    EXPECT_EQ(dialogs.shown.size(), 1);
}

// A new topic goes under the topic it was inserted under, whatever number that topic has when it is stored; a
// parent deleted meanwhile refuses the post and keeps the new topic pending.
TEST_F(OtherWriters, ANewTopicGoesUnderItsParentByKey) {
    locate(store, "Három");
    ASSERT_TRUE(editor.Insert());
    set(store, HelpData::TEMAKOR, QStringLiteral("Három alatt"));
    locate(other, "Egy");
    otherDialogs.answers = {true};
    ASSERT_TRUE(otherEditor.Delete()); // "Három" is topic 2 now
    ASSERT_TRUE(editor.Post());
    EXPECT_EQ(stored(QStringLiteral("Három alatt"), HelpData::ERTEK), QStringLiteral("2.1"));
    EXPECT_EQ(stored(QStringLiteral("Három alatt"), HelpData::MELYSEG), QStringLiteral("2"));

    locate(store, "Négy");
    ASSERT_TRUE(editor.Insert());
    set(store, HelpData::TEMAKOR, QStringLiteral("Árva"));
    other.TableHelp->RefreshIfChanged();
    locate(other, "Négy");
    otherDialogs.answers = {true};
    ASSERT_TRUE(otherEditor.Delete());
    const QStringList before = fileRows();
    EXPECT_FALSE(editor.Post());
    EXPECT_EQ(dialogs.shown.last(), "plain|" + HelpEditor::ParentGoneText);
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("Árva"));
    editor.MakeTopLevel();
    ASSERT_TRUE(editor.Post());
    EXPECT_EQ(stored(QStringLiteral("Árva"), HelpData::ERTEK), QStringLiteral("5"));
}

// A delete answered after another writer gave the topic a child, or deleted it, deletes nothing.
TEST_F(OtherWriters, ADeleteChecksAgainOnWhatTheFileHoldsWhenItIsAnswered) {
    locate(store, "Öt");
    int asked = 0;
    struct Answering : ScriptedDialogs {
        std::function<void()> meanwhile;
        bool confirm(const QString &caption, const QString &text) override {
            meanwhile();
            return ScriptedDialogs::confirm(caption, text);
        }
    } answering;
    HelpEditor slow(&store, &answering, folder.path());
    answering.meanwhile = [&] {
        ++asked;
        locate(other, "Öt");
        ASSERT_TRUE(otherEditor.Insert());
        set(other, HelpData::TEMAKOR, QStringLiteral("Öt alatt"));
        ASSERT_TRUE(otherEditor.Post());
    };
    answering.answers = {true, true};
    EXPECT_FALSE(slow.Delete());
    EXPECT_EQ(answering.shown.last(), "plain|" + HelpEditor::ChildrenText);
    EXPECT_EQ(stored(QStringLiteral("Öt"), HelpData::ERTEK), QStringLiteral("5"));
    EXPECT_EQ(stored(QStringLiteral("Öt alatt"), HelpData::ERTEK), QStringLiteral("5.1"));

    locate(store, "Hat");
    answering.meanwhile = [&] {
        ++asked;
        locate(other, "Hat");
        otherDialogs.answers = {true};
        ASSERT_TRUE(otherEditor.Delete());
    };
    EXPECT_FALSE(slow.Delete());
    EXPECT_EQ(answering.shown.last(), "plain|" + HelpEditor::GoneText);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(storedColumn(HelpData::TEMAKOR), QStringList({"Egy", "Kettő", "Három", "Négy", "Öt", "Öt alatt"}));
}
