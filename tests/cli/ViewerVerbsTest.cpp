#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WriteProtection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

TEST(TavikViewerVerbs, TreeAndSearchPrintWhatTheViewerShows) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    auto insert = [&](const QStringList &args) {
        const CliRun r = tavik(QStringList({QStringLiteral("insert"), dir.path()}) + args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r.out.trimmed();
    };
    const QString a = insert({"--top", "--title", "Állatok", "--words", "kutya macska"});
    const QString a1 = insert({"--under", a, "--title", "Kutyák", "--words", "kutya eb"});
    insert({"--under", a1, "--title", "Pulik", "--words", "puli Állat"});
    insert({"--top", "--title", "Növények"});
    const CliRun tree = tavik({QStringLiteral("tree"), dir.path()});
    ASSERT_EQ(tree.status, 0) << tree.err.toStdString();
    EXPECT_EQ(tree.lines(), QStringList({"Állatok", "  Kutyák", "    Pulik", "Növények"}));

    const CliRun kutya = tavik({QStringLiteral("search"), dir.path(), QStringLiteral("KUTYA")});
    EXPECT_EQ(kutya.lines(), QStringList({"Kutyák", "Állatok", "2 témakör összesen"}));
    // Only A-Z are lowered: ÁLLAT looks for "Állat".
    EXPECT_EQ(tavik({QStringLiteral("search"), dir.path(), QStringLiteral("ÁLLAT")}).lines(),
              QStringList({"Pulik", "1 témakör összesen"}));
    EXPECT_EQ(tavik({QStringLiteral("search"), dir.path(), QString()}).lines().last(),
              QStringLiteral("3 témakör összesen"));
}

// A help set installed read-only (folder 555, files 444, immutable for root) is read by every reading verb,
// whether its last writer left it in rollback-journal or in WAL mode, and no verb leaves a file behind.
TEST(TavikViewerVerbs, AReadOnlyHelpSetIsReadAndLeftAsItIs) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    ASSERT_EQ(tavik({"insert", dir.path(), "--top", "--title", "Telepítés", "--words", "telepítés frissítés"}).status,
              0);
    ASSERT_EQ(tavik({"insert", dir.path(), "--under", "1", "--title", "Frissítés"}).status, 0);
    const QString file = dir.filePath("Help/HelpData.db");
    for (const bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "left in WAL mode" : "rollback-journal mode");
        if (wal) {
            sqlite3 *db = nullptr;
            ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        const QStringList files = namesBelow(dir.path());
        WriteProtection protection(dir.path());
        if (!protection.active())
            GTEST_SKIP() << "this machine cannot write-protect a folder against this user";
        const CliRun tree = tavik({QStringLiteral("tree"), dir.path()});
        EXPECT_EQ(tree.status, 0) << tree.err.toStdString();
        EXPECT_EQ(tree.lines(), QStringList({"Telepítés", "  Frissítés"}));
        const CliRun search = tavik({QStringLiteral("search"), dir.path(), QStringLiteral("frissítés")});
        EXPECT_EQ(search.status, 0) << search.err.toStdString();
        EXPECT_EQ(search.lines(), QStringList({"Telepítés", "1 témakör összesen"}));
        const CliRun outline = tavik({QStringLiteral("outline"), dir.path()});
        EXPECT_EQ(outline.status, 0) << outline.err.toStdString();
        EXPECT_EQ(outline.lines().size(), 2);
        // A writing verb says why it cannot write, and writes nothing.
        const CliRun insert = tavik({"insert", dir.path(), "--top", "--title", "Új"});
        EXPECT_EQ(insert.status, 1);
        EXPECT_TRUE(insert.err.contains(QStringLiteral("csak olvasható"))) << insert.err.toStdString();
        EXPECT_EQ(namesBelow(dir.path()), files);
    }
}
