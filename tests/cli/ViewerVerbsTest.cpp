#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

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
