// A command that reports failure has changed nothing: its checks run before the table is touched, and a post
// or delete is undone with its renumber pass.
#include "help/HelpEditor.h"
#include "store/DatabaseError.h"
#include "tests/help/ScriptedDialogs.h"
#include "tests/store/HelpFixture.h"

class FailingCommands : public HelpFixture {
protected:
    void SetUp() override {
        HelpFixture::SetUp();
        const int one = addTopic(0, QStringLiteral("one"));
        addTopic(one, QStringLiteral("one.one"));
        addTopic(0, QStringLiteral("two"));
        addTopic(0, QStringLiteral("three"));
    }
    void typeTitle(const QString &title) { field("TEMAKOR")->SetAsString(title); }

    ScriptedDialogs dialogs;
    HelpEditor editor{&store, &dialogs, folder.path()};
};

// Without the parent order no pass can number the outline: the delete and the post are refused before the
// table is touched, and the new topic stays pending with what was typed.
TEST_F(FailingCommands, WithoutTheParentIndexDeleteAndInsertChangeNothing) {
    execSql(helpDir + "/HelpData.db", "DROP INDEX SZULO;");
    const QStringList before = fileRows();
    ASSERT_TRUE(table()->Locate(HelpData::TEMAKOR, QStringLiteral("two")));
    dialogs.answers = {true};
    EXPECT_TRUE(errorOf([&] { editor.Delete(); }).contains(QStringLiteral("index on SZULO not found")));
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:one.one", "2:two", "3:three"}));

    ASSERT_TRUE(editor.Insert());
    typeTitle(QStringLiteral("four"));
    EXPECT_TRUE(errorOf([&] { editor.Post(); }).contains(QStringLiteral("index on SZULO not found")));
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("four"));
    EXPECT_FALSE(editor.StorePending().isEmpty()); // leaving stores nothing either
    EXPECT_EQ(fileRows(), before);
}

// A pass that fails after the post or the delete undoes them too: the row is pending again, the topic is
// still there, and the next key is the same.
TEST_F(FailingCommands, APassThatFailsUndoesItsPostOrDelete) {
    execSql(helpDir + "/HelpData.db",
            "CREATE TRIGGER boom BEFORE UPDATE OF ERTEK ON HelpData WHEN NEW.ERTEK = '2' AND OLD.ERTEK = '3' "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;"
            "CREATE TRIGGER late BEFORE UPDATE OF VEGPONT ON HelpData WHEN NEW.TEMAKOR = 'four' "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
    const QStringList before = fileRows();
    ASSERT_TRUE(table()->Locate(HelpData::TEMAKOR, QStringLiteral("two")));
    dialogs.answers = {true};
    EXPECT_TRUE(errorOf([&] { editor.Delete(); }).contains(QStringLiteral("injected failure")));
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("two"));

    ASSERT_TRUE(table()->Locate(HelpData::TEMAKOR, QStringLiteral("three")));
    ASSERT_TRUE(editor.Insert());
    typeTitle(QStringLiteral("four"));
    const QString key = field("KOD")->AsString();
    EXPECT_TRUE(errorOf([&] { editor.Post(); }).contains(QStringLiteral("injected failure")));
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("four"));
    EXPECT_EQ(field("KOD")->AsString(), key);

    execSql(helpDir + "/HelpData.db", "DROP TRIGGER boom; DROP TRIGGER late;");
    ASSERT_TRUE(editor.Post());
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:one.one", "2:two", "3:three", "3.1:four"}));
    EXPECT_EQ(field("KOD")->AsString(), key);
}

// After a table that failed to open, a command says why it cannot open, not that a field is missing; once the
// table is there, the command works.
TEST_F(FailingCommands, CommandsOnATableThatFailedToOpenReportTheOpenError) {
    store.close();
    const QString file = helpDir + "/HelpData.db";
    ASSERT_TRUE(QFile::rename(file, file + ".away"));
    HelpTopicStore closed;
    QString openError = errorOf([&] { closed.open(folder.path()); });
    ASSERT_FALSE(openError.isEmpty());
    HelpEditor onClosed(&closed, &dialogs, folder.path());
    for (const auto &command : std::initializer_list<std::function<void()>>{
             [&] { onClosed.Insert(); }, [&] { onClosed.Post(); }, [&] { onClosed.Delete(); }}) {
        const QString text = errorOf(command);
        EXPECT_EQ(text, openError);
        EXPECT_FALSE(text.contains(QStringLiteral("Field"))) << text.toStdString();
    }
    ASSERT_TRUE(QFile::rename(file + ".away", file));
    EXPECT_TRUE(onClosed.Insert());
    EXPECT_EQ(closed.TableHelp->RecordCount(), 4);
}
