// The `tavik expr` verb, run as a user runs it.
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

// `tavik expr` with these arguments.
CliRun expr(const QStringList &args) {
    return tavik(QStringList{QStringLiteral("expr")} + args);
}

class ExprVerb : public ::testing::Test {
protected:
    void SetUp() override { execSql(dbFile(), kOrdersSql); }
    QString dbFile() const { return folder.filePath(QStringLiteral("Orders.db")); }
    QStringList over(const char *sql) const {
        return {QStringLiteral("--db"), dbFile(), QStringLiteral("--sql"), QString::fromLatin1(sql)};
    }

    TempFolder folder;
};

TEST_F(ExprVerb, OneValueWithItsKind) {
    const struct {
        const char *expression;
        const char *line;
    } cases[] = {
        {"2 + 3 * 4", "integer\t14\n"},
        {"'Page ' + STR(3)", "string\tPage 3\n"},
        {"NOT (1 = 2)", "boolean\tTrue\n"},
        {"7 / 0", "error\tCannot divide by 0\n"},
        {"APPNAME", "string\tTavikEditor\n"},
        // a report's own entries as they are before generation
        {"'Page ' + STR(PAGENUMBER) + REPORTTITLE", "string\tPage 0\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression);
        const CliRun run = expr({QString::fromUtf8(c.expression)});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, QString::fromUtf8(c.line));
    }
    EXPECT_EQ(expr({QStringLiteral("7 / 2")}).out,
              QStringLiteral("float\t3") + QLocale::system().decimalPoint() + QStringLiteral("5\n"));
}

TEST_F(ExprVerb, RecordsAndAggregates) {
    CliRun run =
        expr(QStringList{QStringLiteral("SUM(QTY) + COUNT"), QStringLiteral("--each")} + over("SELECT * FROM Orders"));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("integer\t3\ninteger\t5\ninteger\t9\n"));
    run = expr(QStringList{QStringLiteral("MAX([Q.AMOUNT])")} + over("SELECT * FROM Orders"));
    EXPECT_EQ(run.out, QStringLiteral("float\t200\n"));
    run = expr(QStringList{QStringLiteral("[O.CUSTOMER]"), QStringLiteral("--name"), QStringLiteral("O")} +
               over("SELECT * FROM Orders WHERE QTY = 1"));
    EXPECT_EQ(run.out, QStringLiteral("string\tNagy\n"));
    run = expr(QStringList{QStringLiteral("COUNT")} + over("SELECT * FROM Orders WHERE QTY > 5"));
    EXPECT_EQ(run.out, QStringLiteral("integer\t0\n"));
}

// The file is read whatever its name, and the query cannot change it.
TEST_F(ExprVerb, AnyDatabaseFileReadOnly) {
    const QString shop = folder.filePath(QStringLiteral("shop.db"));
    ASSERT_TRUE(QFile::rename(dbFile(), shop));
    const QStringList onShop = {QStringLiteral("--db"), shop, QStringLiteral("--sql")};
    CliRun run =
        expr(QStringList{QStringLiteral("SUM(QTY)")} + onShop + QStringList{QStringLiteral("SELECT * FROM Orders")});
    EXPECT_EQ(run.out, QStringLiteral("integer\t6\n")) << run.err.toStdString();
    run = expr(QStringList{QStringLiteral("1")} + onShop + QStringList{QStringLiteral("DELETE FROM Orders")});
    EXPECT_EQ(run.status, 1);
    run = expr(QStringList{QStringLiteral("COUNT")} + onShop + QStringList{QStringLiteral("SELECT * FROM Orders")});
    EXPECT_EQ(run.out, QStringLiteral("integer\t3\n"));
}

TEST_F(ExprVerb, VariablesActAsReportEntries) {
    CliRun run =
        expr({QStringLiteral("'Page ' + STR(PAGENUMBER + BONUS)"), QStringLiteral("--var"),
              QStringLiteral("PAGENUMBER=4"), QStringLiteral("--var"), QStringLiteral("Bonus=PAGENUMBER * 10")});
    EXPECT_EQ(run.out, QStringLiteral("string\tPage 44\n"));
    run = expr(QStringList{QStringLiteral("DOUBLE"), QStringLiteral("--each"), QStringLiteral("--var"),
                           QStringLiteral("DOUBLE=QTY*2")} +
               over("SELECT QTY FROM Orders"));
    EXPECT_EQ(run.out, QStringLiteral("integer\t4\ninteger\t2\ninteger\t6\n"));
}

// Faults of the data file name the file the user gave, not the folder it sits in.
TEST_F(ExprVerb, DataFaultsNameTheFile) {
    const QString text = folder.filePath(QStringLiteral("notes.txt"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(100, 'x'));
    notes.close();
    CliRun run =
        expr({QStringLiteral("1"), QStringLiteral("--db"), text, QStringLiteral("--sql"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, QStringLiteral("tavik: %1: file is not a database\n").arg(text));
    run = expr(QStringList{QStringLiteral("1")} + over("SELEC * FROM Orders"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, QStringLiteral("tavik: %1: near \"SELEC\": syntax error\n").arg(dbFile()));
}

TEST_F(ExprVerb, UsageFaultsEndWithOneLine) {
    const QList<QStringList> faults = {
        {},
        {QStringLiteral("1"), QStringLiteral("--each")},
        {QStringLiteral("1"), QStringLiteral("--db"), dbFile()},
        {QStringLiteral("1"), QStringLiteral("--var"), QStringLiteral("NOEQUALS")},
        {QStringLiteral("1"), QStringLiteral("--var"), QStringLiteral(" =1")},
        {QStringLiteral("1"), QStringLiteral("--db"), folder.filePath(QStringLiteral("None.db")),
         QStringLiteral("--sql"), QStringLiteral("SELECT 1")},
        QStringList{QStringLiteral("1")} + over("SELECT * FROM Missing"),
    };
    for (const QStringList &args : faults) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const CliRun run = expr(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    }
}

} // namespace
