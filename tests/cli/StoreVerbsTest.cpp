#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void expectOneLineError(const CliRun &r, const char *containing) {
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(containing))) << r.err.toStdString();
}

} // namespace

TEST(TavikInit, MakesAnEmptyTableAndTheBlankPageButNeverTouchesATable) {
    TempFolder dir;
    const CliRun first = tavik({QStringLiteral("init"), dir.path()});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.isEmpty()) << first.err.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("Help/HelpData.db")).isFile());
    EXPECT_TRUE(QFileInfo(dir.filePath("Help/HTML/Blank.htm")).isFile());
    EXPECT_TRUE(tavik({QStringLiteral("outline"), dir.path()}).out.isEmpty());

    execSql(dir.filePath("Help/HelpData.db"), "INSERT INTO HelpData(KOD, TEMAKOR) VALUES (1, 'kept')");
    expectOneLineError(tavik({QStringLiteral("init"), dir.path()}), "exists already");
    EXPECT_EQ(tavik({QStringLiteral("outline"), dir.path()}).lines().size(), 1);
}

TEST(TavikOutline, PrintsEveryRowInDisplayOrderTabSeparated) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    // Three top-level topics; 3 has 3.1 with 3.1.1 — stored with parents only, as another tool might.
    execSql(dir.filePath("Help/HelpData.db"),
        "INSERT INTO HelpData(KOD, SZULO, MELYSEG, TEMAKOR) VALUES (1, NULL, 1, 'Egy'), (2, NULL, 1, 'Kettő'),"
        " (3, NULL, 1, 'Három'), (4, '3', 2, 'Alpont'), (5, '3.1', 3, 'Al-alpont');");
    ASSERT_EQ(tavik({QStringLiteral("renumber"), dir.path()}).status, 0);
    const CliRun r = tavik({QStringLiteral("outline"), dir.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(),
              QStringList({"1\t\t1\t1\t01.\t1\t1\tEgy", "2\t\t2\t2\t02.\t1\t1\tKettő", "3\t\t3\t3\t03.\t1\t0\tHárom",
                           "4\t3\t3.1\t1\t03.01.\t2\t0\tAlpont", "5\t3.1\t3.1.1\t1\t03.01.01.\t3\t1\tAl-alpont"}));

    // Delete 2 and renumber with re-parenting: 1, 2, 2.1, 2.1.1.
    execSql(dir.filePath("Help/HelpData.db"), "DELETE FROM HelpData WHERE KOD = 2");
    ASSERT_EQ(tavik({QStringLiteral("renumber"), dir.path(), QStringLiteral("--reparent")}).status, 0);
    QStringList numbers;
    for (const QString &line : tavik({QStringLiteral("outline"), dir.path()}).lines())
        numbers << line.section(QLatin1Char('\t'), 2, 2) + QLatin1Char('<') + line.section(QLatin1Char('\t'), 1, 1);
    EXPECT_EQ(numbers, QStringList({"1<", "2<", "2.1<2", "2.1.1<2.1"}));
}

TEST(TavikErrors, OneLineOnStderrAndStatusOne) {
    TempFolder dir;
    expectOneLineError(tavik({QStringLiteral("outline"), dir.filePath("missing")}), "folder not found");
    expectOneLineError(tavik({QStringLiteral("outline"), dir.path()}), "Help");
    dir.mkdir(QStringLiteral("help"));
    expectOneLineError(tavik({QStringLiteral("renumber"), dir.path()}), "HelpData.db");
    expectOneLineError(tavik({QStringLiteral("frobnicate")}), "unknown verb");
    expectOneLineError(tavik({QStringLiteral("renumber"), dir.path(), QStringLiteral("--sideways")}), "--sideways");
    expectOneLineError(tavik({QStringLiteral("outline")}), "usage");
    expectOneLineError(tavik({}), "usage");
}

TEST(TavikImport, BuildsTheOutlineAndItsPages) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    QFile src(dir.filePath("outline.txt"));
    ASSERT_TRUE(src.open(QIODevice::WriteOnly));
    src.write("# comment\n= Első\nwords: egy kettő\ncontext: 10\npage: elso.htm\nSzöveg <b>.\n- pont\n"
              "== Alatta\npage: alatta.htm\n= Második\n");
    src.close();
    const CliRun r = tavik({QStringLiteral("import"), dir.path(), src.fileName(), QStringLiteral("--pages")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = tavik({QStringLiteral("outline"), dir.path()}).lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("1\t1.1\t1\t01.01.\t2\t1\tAlatta"))) << lines[1].toStdString();
    QFile page(dir.filePath("Help/HTML/elso.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("Szöveg &lt;b&gt;."))); // page text is escaped
    EXPECT_TRUE(html.contains(QStringLiteral("<li>pont</li>")));
    EXPECT_TRUE(html.contains(QStringLiteral("Alatta")));

    // A topic two levels below the one before it is refused, and nothing is added.
    ASSERT_TRUE(src.open(QIODevice::WriteOnly | QIODevice::Truncate));
    src.write("= Fent\n=== Túl mélyen\n");
    src.close();
    expectOneLineError(tavik({QStringLiteral("import"), dir.path(), src.fileName()}), "level");
    // Eleven levels: the deepest number would not fit in its 20 characters.
    ASSERT_TRUE(src.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int level = 1; level <= 11; ++level)
        src.write(QByteArray(level, '=') + " Szint\n");
    src.close();
    expectOneLineError(tavik({QStringLiteral("import"), dir.path(), src.fileName()}), "too deep");
    EXPECT_EQ(tavik({QStringLiteral("outline"), dir.path()}).lines().size(), 3);
}
