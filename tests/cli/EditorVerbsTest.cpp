#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

QStringList column(const QString &dir, int index) {
    QStringList out;
    for (const QString &line : tavik({QStringLiteral("outline"), dir}).lines())
        out << line.section(QLatin1Char('\t'), index, index);
    return out;
}

QString insert(const QString &dir, const QStringList &args) {
    const CliRun r = tavik(QStringList({QStringLiteral("insert"), dir}) + args);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return r.out.trimmed();
}

} // namespace

TEST(TavikEditorVerbs, InsertEditAndDeleteLeaveWhatTheEditorLeaves) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    EXPECT_EQ(insert(dir.path(), {"--top", "--title", "Egy"}), QStringLiteral("1"));
    EXPECT_EQ(insert(dir.path(), {"--top", "--title", "Kettő"}), QStringLiteral("2"));
    EXPECT_EQ(insert(dir.path(), {"--under", "1", "--title", "Egy-egy", "--words", "szó", "--context", "77", "--page",
                                  "/far/away/lap.htm"}),
              QStringLiteral("3"));
    EXPECT_EQ(insert(dir.path(), {"--under", "1", "--title", "Egy-kettő"}), QStringLiteral("4"));
    EXPECT_EQ(column(dir.path(), 2), QStringList({"1", "1.1", "1.2", "2"}));
    EXPECT_EQ(column(dir.path(), 6), QStringList({"0", "1", "1", "1"}));

    ASSERT_EQ(tavik({QStringLiteral("edit"), dir.path(), QStringLiteral("2"), QStringLiteral("--title"),
                     QStringLiteral("Kettő (új)")})
                  .status,
              0);
    EXPECT_EQ(column(dir.path(), 7).last(), QStringLiteral("Kettő (új)"));

    // A topic with children is refused with the editor's own message.
    const CliRun refused = tavik({QStringLiteral("delete"), dir.path(), QStringLiteral("1")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.trimmed(),
              QStringLiteral("tavik: A szülőponthoz tartoznak gyermek pontok, így az nem törölhető!"));
    ASSERT_EQ(tavik({QStringLiteral("delete"), dir.path(), QStringLiteral("3")}).status, 0);
    EXPECT_EQ(column(dir.path(), 2), QStringList({"1", "1.1", "2"}));
    EXPECT_EQ(column(dir.path(), 7), QStringList({"Egy", "Egy-kettő", "Kettő (új)"}));
}

TEST(TavikEditorVerbs, BadInputChangesNothing) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    insert(dir.path(), {"--top", "--title", "Egy"});
    const QStringList before = tavik({QStringLiteral("outline"), dir.path()}).lines();
    EXPECT_EQ(tavik({QStringLiteral("insert"), dir.path(), "--under", "1", "--title", "x", "--context", "12x"}).status,
              1);
    EXPECT_EQ(tavik({QStringLiteral("insert"), dir.path(), "--under", "9", "--title", "x"}).status, 1);
    EXPECT_EQ(tavik({QStringLiteral("insert"), dir.path(), "--title", "neither under nor top"}).status, 1);
    EXPECT_EQ(tavik({QStringLiteral("edit"), dir.path(), "1", "--context", "99999999999"}).status, 1);
    EXPECT_EQ(tavik({QStringLiteral("delete"), dir.path(), "42"}).status, 1);
    EXPECT_EQ(tavik({QStringLiteral("outline"), dir.path()}).lines(), before);
    // The next key is still 2: refused inserts took none.
    EXPECT_EQ(insert(dir.path(), {"--top", "--title", "Kettő"}), QStringLiteral("2"));
}

TEST(TavikEditorVerbs, ANumberThatWouldNotFitIsRefused) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    QString parent = insert(dir.path(), {"--top", "--title", "1"});
    for (int depth = 2; depth <= 10; ++depth)
        parent = insert(dir.path(), {"--under", parent, "--title", QString::number(depth)});
    const CliRun r = tavik({QStringLiteral("insert"), dir.path(), "--under", parent, "--title", "too deep"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("20 karakteres"))) << r.err.toStdString();
    EXPECT_EQ(column(dir.path(), 2).size(), 10);
}

// A value longer than its field is refused, naming the field and its width, and so is a TAB or a line break
// (they would break the one-line outline and tree); nothing is cut and nothing changes.
TEST(TavikEditorVerbs, ValuesAFieldCannotHoldAreRefusedNotCut) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    insert(dir.path(), {"--top", "--title", "Egy"});
    const QStringList before = tavik({QStringLiteral("outline"), dir.path()}).lines();
    const struct {
        QStringList args;
        const char *message;
    } cases[] = {
        {{"insert", dir.path(), "--top", "--title", QString(301, QLatin1Char('x'))},
         "tavik: --title: TEMAKOR holds at most 50 characters, this text has 301"},
        {{"edit", dir.path(), "1", "--title", QString(49, QLatin1Char('x')) + QStringLiteral("🙂")},
         "tavik: --title: TEMAKOR holds at most 50 characters, this text has 51"},
        {{"edit", dir.path(), "1", "--words", QString(251, QLatin1Char('w'))},
         "tavik: --words: WORDS holds at most 250 characters, this text has 251"},
        {{"edit", dir.path(), "1", "--page", "/far/" + QString(81, QLatin1Char('p'))},
         "tavik: --page: HELPHTML holds at most 80 characters, this text has 81"},
        {{"insert", dir.path(), "--top", "--title", "két\tmező"}, "tavik: --title: TEMAKOR cannot hold a TAB"},
        {{"edit", dir.path(), "1", "--title", "két\nsor"}, "tavik: --title: TEMAKOR cannot hold a TAB"},
        {{"edit", dir.path(), "1", "--words", "a\rb"}, "tavik: --words: WORDS cannot hold a TAB"},
    };
    for (const auto &c : cases) {
        const CliRun r = tavik(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
    EXPECT_EQ(tavik({QStringLiteral("outline"), dir.path()}).lines(), before);
    // Fifty characters fit, an emoji among them.
    const QString fifty = QString(48, QLatin1Char('x')) + QStringLiteral("🙂");
    ASSERT_EQ(tavik({"edit", dir.path(), "1", "--title", fifty}).status, 0);
    EXPECT_EQ(column(dir.path(), 7), QStringList({fifty}));
}

// Without the parent index no renumber pass can run: a delete and an insert report it and change nothing.
TEST(TavikEditorVerbs, WithoutTheParentIndexDeleteAndInsertChangeNothing) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    insert(dir.path(), {"--top", "--title", "Egy"});
    insert(dir.path(), {"--top", "--title", "Kettő"});
    insert(dir.path(), {"--under", "1", "--title", "Egy-egy"});
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.filePath("Help/HelpData.db").toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP INDEX SZULO", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const QStringList before = tavik({QStringLiteral("outline"), dir.path()}).lines();
    for (const QStringList &args : {QStringList{"delete", dir.path(), "3"}, QStringList{"delete", dir.path(), "2"},
                                    QStringList{"insert", dir.path(), "--top", "--title", "Három"},
                                    QStringList{"insert", dir.path(), "--under", "1", "--title", "Egy-kettő"},
                                    QStringList{"edit", dir.path(), "2", "--title", "Kettő (új)"}}) {
        const CliRun r = tavik(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("index on SZULO not found"))) << r.err.toStdString();
    }
    EXPECT_EQ(tavik({QStringLiteral("outline"), dir.path()}).lines(), before);
}
