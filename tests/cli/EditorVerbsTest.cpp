#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(insert(dir.path(), {"--under", "1", "--title", "Egy-egy", "--words", "szó", "--context", "77",
                                  "--page", "/far/away/lap.htm"}),
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
    EXPECT_EQ(tavik({QStringLiteral("insert"), dir.path(), "--under", "1", "--title", "x", "--context", "12x"}).status, 1);
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
