// A help set installed read-only beside the program it documents, and readers that leave nothing behind.
#include "help/ContentsTree.h"
#include "help/HelpEditor.h"
#include "help/HelpViewerStore.h"
#include "tests/help/ScriptedDialogs.h"
#include "tests/store/HelpFixture.h"
#include "tests/support/WriteProtection.h"

#include <QFile>

namespace {

// The journal mode the file's header gives: 1 rollback journal, 2 write-ahead log.
int journalMode(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = f.read(20);
    return header.size() == 20 && header[18] == header[19] ? header[18] : -1;
}

QStringList treeOf(HelpViewerStore &viewer) {
    ContentsTree tree;
    tree.build(viewer.TableTV);
    QStringList lines;
    for (const ContentsNode &n : tree.nodes())
        lines << QString(2 * n.level, QLatin1Char(' ')) + n.title;
    return lines;
}

} // namespace

class ReadOnlyHelp : public HelpFixture {
protected:
    void SetUp() override {
        HelpFixture::SetUp();
        const int one = addTopic(0, QStringLiteral("Első"));
        addTopic(one, QStringLiteral("Első alatt"));
        addTopic(0, QStringLiteral("Második"));
        table()->Locate(HelpData::KOD, one);
        table()->Edit();
        field("WORDS")->SetAsString(QStringLiteral("kezdés indítás"));
        table()->Post();
        store.close();
        file = helpDir + QStringLiteral("/HelpData.db");
    }
    /// Leaves the file in WAL mode with no writer at work, as a copy of a file a writer had open is.
    void leaveInWalMode() {
        execSql(file, "PRAGMA journal_mode=WAL;");
        ASSERT_EQ(journalMode(file), 2);
        ASSERT_FALSE(QFile::exists(file + QStringLiteral("-shm")));
    }

    QString file;
};

// The writer that closes last leaves the file in rollback-journal mode, with no side files.
TEST_F(ReadOnlyHelp, AWriterLeavesTheFileReadableWithoutSideFiles) {
    EXPECT_EQ(journalMode(file), 1);
    EXPECT_EQ(namesBelow(folder.path()), QStringList({"Help", "Help/HelpData.db"}));
    // While another connection has it open, the writer closing first leaves it to that one.
    HelpTopicStore writer;
    writer.open(folder.path());
    HelpViewerStore viewer;
    viewer.setStartDir(folder.path());
    viewer.open();
    writer.close();
    EXPECT_EQ(journalMode(file), 2);
    viewer.closeTable();
    viewer.DatabaseTV->Close();
    writer.open(folder.path());
    writer.close();
    EXPECT_EQ(journalMode(file), 1);
    EXPECT_EQ(namesBelow(folder.path()), QStringList({"Help", "Help/HelpData.db"}));
}

// A reader of a file left in WAL mode makes no -wal or -shm file, where it could.
TEST_F(ReadOnlyHelp, ReadersLeaveNoSideFiles) {
    leaveInWalMode();
    const QStringList before = namesBelow(folder.path());
    {
        HelpViewerStore viewer;
        viewer.setStartDir(folder.path());
        viewer.open();
        EXPECT_EQ(treeOf(viewer), QStringList({"Első", "  Első alatt", "Második"}));
        EXPECT_EQ(viewer.Search(QStringLiteral("indítás")), 1);
    }
    EXPECT_EQ(namesBelow(folder.path()), before);
    // Once a writer has been at work, the reader sees what it stored.
    HelpViewerStore viewer;
    viewer.setStartDir(folder.path());
    viewer.open();
    HelpTopicStore writer;
    writer.open(folder.path());
    ScriptedDialogs dialogs;
    HelpEditor editor(&writer, &dialogs, folder.path());
    ASSERT_TRUE(editor.Insert());
    writer.TableHelp->FieldByName(HelpData::TEMAKOR)->SetAsString(QStringLiteral("Harmadik"));
    ASSERT_TRUE(editor.Post());
    viewer.refresh();
    EXPECT_EQ(treeOf(viewer), QStringList({"Első", "  Első alatt", "  Harmadik", "Második"}));
}

// Folder 555, files 444 (and immutable where root runs the tests): the viewer reads, searches and shows the
// pages; the editor opens it read-only and refuses every change in one Hungarian sentence. Nothing is made.
TEST_F(ReadOnlyHelp, AWriteProtectedHelpSetIsReadAndRefusesChanges) {
    for (const bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "left in WAL mode" : "rollback-journal mode");
        if (wal)
            leaveInWalMode();
        const QStringList before = namesBelow(folder.path());
        WriteProtection protection(folder.path());
        if (!protection.active())
            GTEST_SKIP() << "this machine cannot write-protect a folder against this user";

        HelpViewerStore viewer;
        viewer.setStartDir(folder.path());
        ASSERT_NO_THROW(viewer.open());
        EXPECT_EQ(treeOf(viewer), QStringList({"Első", "  Első alatt", "Második"}));
        EXPECT_EQ(viewer.Search(QStringLiteral("kezdés")), 1);
        EXPECT_TRUE(viewer.LocateTopic(QStringLiteral("második")));

        HelpTopicStore writer;
        ASSERT_NO_THROW(writer.open(folder.path()));
        EXPECT_TRUE(writer.ReadOnly());
        ScriptedDialogs dialogs;
        HelpEditor editor(&writer, &dialogs, folder.path());
        EXPECT_FALSE(editor.Insert());
        EXPECT_FALSE(editor.BeginEdit());
        EXPECT_FALSE(editor.Post());
        EXPECT_FALSE(editor.Delete());
        editor.SetPage(QStringLiteral("x.htm"));
        EXPECT_EQ(dialogs.shown, QStringList(5, "plain|" + HelpEditor::ReadOnlyText));
        EXPECT_EQ(writer.TableHelp->State(), dsBrowse);
        writer.close();
        viewer.DatabaseTV->Close();
        EXPECT_EQ(namesBelow(folder.path()), before);
    }
}
