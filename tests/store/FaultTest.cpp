#include "tests/store/HelpFixture.h"

#include "store/DatabaseError.h"

#include <QFile>
#include <QProcess>

#include <sqlite3.h>
#include <sys/stat.h>

TEST(StoreFaults, MissingFolderAndMissingTableNameWhatIsMissing) {
    TempFolder folder;
    HelpTopicStore store;
    const QString noFolder = errorOf([&] { store.open(folder.filePath("nowhere")); });
    EXPECT_TRUE(noFolder.contains(QStringLiteral("nowhere/Help"))) << noFolder.toStdString();
    EXPECT_TRUE(noFolder.contains(QStringLiteral("folder not found"))) << noFolder.toStdString();

    folder.mkdir(QStringLiteral("help"));
    const QString noTable = errorOf([&] { store.open(folder.path()); });
    EXPECT_TRUE(noTable.contains(QStringLiteral("HelpData.db"))) << noTable.toStdString();
    EXPECT_FALSE(store.TableHelp->Active());
}

TEST(StoreFaults, AFileThatIsNotADatabaseIsReportedByName) {
    TempFolder folder;
    const QString help = folder.mkdir(QStringLiteral("Help"));
    QFile f(help + QStringLiteral("/HelpData.db"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    HelpTopicStore store;
    const QString text = errorOf([&] { store.open(folder.path()); });
    EXPECT_TRUE(text.contains(QStringLiteral("HelpData.db"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("not a database"))) << text.toStdString();
}

using Faults = HelpFixture;

TEST_F(Faults, MissingDisplayIndexStopsTheOpen) {
    store.close();
    execSql(helpDir + "/HelpData.db", "DROP INDEX SORSZAMSZOV;");
    HelpTopicStore other;
    const QString text = errorOf([&] { other.open(folder.path()); });
    EXPECT_TRUE(text.contains(QStringLiteral("SORSZAMSZOV"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("HelpData.db"))) << text.toStdString();
}

TEST_F(Faults, MissingParentIndexStopsThePassBeforeItChangesAnything) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(one, QStringLiteral("child"));
    table()->First();
    table()->Edit();
    field("TEMPPONT")->SetAsString(QStringLiteral("1")); // the pass would clear this first
    table()->Post();
    const QStringList before = fileRows();
    execSql(helpDir + "/HelpData.db", "DROP INDEX SZULO;");
    const QString text = errorOf([&] { store.RenumberOutline(false); });
    EXPECT_TRUE(text.contains(QStringLiteral("SZULO"))) << text.toStdString();
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(table()->IndexFieldNames(), QStringLiteral("SORSZAMSZOV"));
}

TEST_F(Faults, AnErrorInThePassLeavesTheTableAsBeforeThePass) {
    addTopic(0, QStringLiteral("one"));
    const int two = addTopic(0, QStringLiteral("two"));
    const int three = addTopic(0, QStringLiteral("three"));
    const int child = addTopic(three, QStringLiteral("child"));
    addTopic(child, QStringLiteral("grandchild"));
    int calls = 0;
    store.EndBusy = [&] { ++calls; };
    // Fails late: when re-parenting reaches the grandchild, after many rows of the pass were written.
    execSql(helpDir + "/HelpData.db", "CREATE TRIGGER boom BEFORE UPDATE OF SZULO ON HelpData WHEN NEW.SZULO = '2.1' "
                                      "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), two));
    table()->Delete();
    const QStringList before = fileRows();
    const QStringList shownBefore = numbers();
    calls = 0;
    const QString text = errorOf([&] { store.RenumberOutline(true); });
    EXPECT_TRUE(text.contains(QStringLiteral("injected failure"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("HelpData.db"))) << text.toStdString();
    EXPECT_EQ(fileRows(), before);
    EXPECT_EQ(numbers(), shownBefore);
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(table()->IndexFieldNames(), QStringLiteral("SORSZAMSZOV"));
    EXPECT_EQ(calls, 1); // the busy cursor went away

    execSql(helpDir + "/HelpData.db", "DROP TRIGGER boom;");
    store.RenumberOutline(true);
    EXPECT_EQ(numbers(), QStringList({"1:one", "2:three", "2.1:child", "2.1.1:grandchild"}));
}

TEST_F(Faults, ALockHeldByAnotherProgramFailsThePostAndKeepsTheRowPending) {
    addTopic(0, QStringLiteral("one"));
    store.DatabaseHelp->SetBusyTimeout(50);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open((helpDir + "/HelpData.db").toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    table()->Edit();
    field("TEMAKOR")->SetAsString(QStringLiteral("changed"));
    const QString text = errorOf([&] { table()->Post(); });
    EXPECT_TRUE(text.contains(QStringLiteral("locked"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("HelpData.db"))) << text.toStdString();
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(field("TEMAKOR")->AsString(), QStringLiteral("changed"));
    // A pass that has rows to number cannot run either, and leaves everything as it was.
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    table()->Post();
    table()->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("unnumbered"));
    table()->First();
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QStringList before = numbers();
    EXPECT_FALSE(errorOf([&] { store.RenumberOutline(false); }).isEmpty());
    EXPECT_EQ(numbers(), before);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_NO_THROW(store.RenumberOutline(false));
    EXPECT_TRUE(fileRows().first().contains(QStringLiteral("changed")));
}

TEST_F(Faults, AFullDiskFailsTheNewRowAndKeepsWhatWasPosted) {
    addTopic(0, QStringLiteral("kept"));
    store.DatabaseHelp->exec(QStringLiteral("PRAGMA HelpData.max_page_count = 6"));
    QString failure;
    int posted = 0;
    for (int i = 0; i < 200 && failure.isEmpty(); ++i) {
        table()->Insert();
        field("TEMAKOR")->SetAsString(QStringLiteral("topic %1").arg(i));
        field("WORDS")->SetAsString(QString(250, QLatin1Char('a' + i % 26)));
        failure = errorOf([&] { table()->Post(); });
        if (failure.isEmpty())
            ++posted;
    }
    ASSERT_FALSE(failure.isEmpty()) << "the page limit was never reached";
    EXPECT_TRUE(failure.contains(QStringLiteral("full"))) << failure.toStdString();
    EXPECT_EQ(table()->State(), dsInsert);
    table()->Cancel();
    EXPECT_EQ(fileRows().size(), posted + 1);
}

TEST_F(Faults, AWriteProtectedFileOpensForReadingAndRefusesWritesWithItsName) {
    addTopic(0, QStringLiteral("kept"));
    store.close();
    const QString file = helpDir + "/HelpData.db";
    // Root ignores permission bits; the immutable attribute stops it too, where the machine allows setting it.
    const bool immutable = runningAsRoot();
    const int protect = immutable ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file})
                                  : chmod(file.toUtf8().constData(), 0444);
    auto unprotect = [&] {
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file});
        else
            chmod(file.toUtf8().constData(), 0644);
    };
    QFile probe(file);
    if (protect != 0 || probe.open(QIODevice::ReadWrite)) {
        unprotect();
        GTEST_SKIP() << "this machine cannot write-protect a file against this user";
    }
    HelpTopicStore other;
    QString text = errorOf([&] { other.open(folder.path()); });
    EXPECT_TRUE(text.isEmpty()) << text.toStdString();
    EXPECT_EQ(other.TableHelp->RecordCount(), 1);
    EXPECT_TRUE(other.ReadOnly());
    // Refused before anything is typed: no edit starts that could never be stored.
    text = errorOf([&] { other.TableHelp->Edit(); });
    EXPECT_EQ(other.TableHelp->State(), dsBrowse);
    other.close();
    unprotect();
    EXPECT_TRUE(text.contains(QStringLiteral("HelpData.db"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("read-only"))) << text.toStdString();
}
