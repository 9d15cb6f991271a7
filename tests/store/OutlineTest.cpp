#include "tests/store/HelpFixture.h"

#include "store/DatabaseError.h"

#include <sqlite3.h>

TEST(PadOutlineNumber, PadsOneDigitComponentsAndEndsEachWithADot) {
    const struct {
        const char *number;
        const char *padded;
    } cases[] = {
        {"1.2", "01.02."},  {"10.3", "10.03."},
        {"12", "12."},      {"", "."},
        {"3", "03."},       {"1.100", "01.100."},
        {"1.10", "01.10."}, {"1.1.1.1.1.1.1.1.1.1", "01.01.01.01.01.01.01.01.01.01."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PadOutlineNumber(QString::fromLatin1(c.number)), QString::fromLatin1(c.padded)) << c.number;
}

TEST(PadOutlineNumber, SortTextsListTheOutlineInReadingOrder) {
    EXPECT_LT(PadOutlineNumber(QStringLiteral("1.9")), PadOutlineNumber(QStringLiteral("1.10")));
    EXPECT_LT(PadOutlineNumber(QStringLiteral("1.10")), PadOutlineNumber(QStringLiteral("2")));
    EXPECT_LT(PadOutlineNumber(QStringLiteral("1")), PadOutlineNumber(QStringLiteral("1.1")));
    EXPECT_LT(PadOutlineNumber(QStringLiteral("9.5")), PadOutlineNumber(QStringLiteral("10")));
}

using Outline = HelpFixture;

TEST_F(Outline, EmptyTablePassesChangeNothing) {
    EXPECT_NO_THROW(store.RenumberOutline(false));
    EXPECT_NO_THROW(store.RenumberOutline(true));
    EXPECT_NO_THROW(store.MarkLeaves());
    EXPECT_TRUE(table()->IsEmpty());
    EXPECT_EQ(table()->State(), dsBrowse);
}

TEST_F(Outline, FirstTopicGetsKeyOneAndTopLevelFields) {
    const int kod = addTopic(0, QStringLiteral("Első"));
    EXPECT_EQ(kod, 1);
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), 1));
    EXPECT_TRUE(field("SZULO")->IsNull());
    EXPECT_EQ(field("ERTEK")->AsString(), QStringLiteral("1"));
    EXPECT_EQ(field("SORSZAM")->AsInteger(), 1);
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 1);
    EXPECT_EQ(field("SORSZAMSZOV")->AsString(), QStringLiteral("01."));
    EXPECT_TRUE(field("VEGPONT")->AsBoolean());
}

TEST_F(Outline, NextKeyIsTheLargestPlusOne) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    const int c = addTopic(0, QStringLiteral("c"));
    // Make the keys 1, 2, 7: the next topic gets 8.
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), c));
    table()->Edit();
    field("KOD")->SetAsInteger(7);
    table()->Post();
    EXPECT_EQ(addTopic(0, QStringLiteral("d")), 8);
    // A cancelled insert uses no key.
    table()->Insert();
    EXPECT_EQ(field("KOD")->AsInteger(), 9);
    table()->Cancel();
    EXPECT_EQ(addTopic(0, QStringLiteral("e")), 9);
}

TEST_F(Outline, PostWithoutLeafFlagStoresFalseUntilTheLeafPass) {
    table()->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("x"));
    table()->Post();
    EXPECT_FALSE(field("VEGPONT")->IsNull());
    EXPECT_FALSE(field("VEGPONT")->AsBoolean());
    store.MarkLeaves();
    EXPECT_TRUE(field("VEGPONT")->AsBoolean());
}

TEST_F(Outline, NewChildBecomesItsParentsLastChild) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(0, QStringLiteral("two"));
    addTopic(one, QStringLiteral("one-a"));
    addTopic(one, QStringLiteral("one-b"));
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:one-a", "1.2:one-b", "2:two"}));
}

TEST_F(Outline, LeafFlagsFollowDepthsInDisplayOrder) {
    const int one = addTopic(0, QStringLiteral("1"));
    const int a = addTopic(one, QStringLiteral("1.1"));
    addTopic(one, QStringLiteral("1.2"));
    addTopic(0, QStringLiteral("2"));
    addTopic(a, QStringLiteral("1.1.1"));
    QStringList leaves;
    for (table()->First(); !table()->Eof(); table()->Next())
        leaves << field("ERTEK")->AsString() + (field("VEGPONT")->AsBoolean() ? "=leaf" : "=node");
    EXPECT_EQ(leaves, QStringList({"1=node", "1.1=node", "1.1.1=leaf", "1.2=leaf", "2=leaf"}));
}

TEST_F(Outline, DeletingATopLevelTopicCarriesLaterSubtreesAlong) {
    addTopic(0, QStringLiteral("one"));
    const int two = addTopic(0, QStringLiteral("two"));
    const int three = addTopic(0, QStringLiteral("three"));
    const int child = addTopic(three, QStringLiteral("child"));
    addTopic(child, QStringLiteral("grandchild"));
    deleteTopic(two);
    EXPECT_EQ(numbers(), QStringList({"1:one", "2:three", "2.1:child", "2.1.1:grandchild"}));
    ASSERT_TRUE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("GRANDCHILD")));
    EXPECT_EQ(field("SZULO")->AsString(), QStringLiteral("2.1"));
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 3);
}

TEST_F(Outline, DeletingAMiddleSiblingClosesTheGap) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(one, QStringLiteral("a"));
    const int b = addTopic(one, QStringLiteral("b"));
    const int c = addTopic(one, QStringLiteral("c"));
    addTopic(c, QStringLiteral("c1"));
    deleteTopic(b);
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:a", "1.2:c", "1.2.1:c1"}));
}

TEST_F(Outline, DeletingTheOnlyTopicLeavesAnEmptyTable) {
    const int only = addTopic(0, QStringLiteral("only"));
    deleteTopic(only);
    EXPECT_TRUE(table()->IsEmpty());
    EXPECT_TRUE(fileRows().isEmpty());
}

TEST_F(Outline, TenthChildAndTenthTopLevelTopicSortInReadingOrder) {
    QList<int> top;
    for (int i = 1; i <= 10; ++i)
        top << addTopic(0, QStringLiteral("t%1").arg(i));
    for (int i = 1; i <= 10; ++i)
        addTopic(top[0], QStringLiteral("c%1").arg(i));
    const int tenChild = addTopic(top[9], QStringLiteral("under ten"));
    const QStringList n = numbers();
    EXPECT_EQ(n[10], QStringLiteral("1.10:c10"));
    EXPECT_EQ(n[11], QStringLiteral("2:t2"));
    EXPECT_EQ(n.last(), QStringLiteral("10.1:under ten"));
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), tenChild));
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 2);
    ASSERT_TRUE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("c10")));
    EXPECT_EQ(field("SORSZAMSZOV")->AsString(), QStringLiteral("01.10."));
    const int deep = addTopic(int(field("KOD")->AsInteger()), QStringLiteral("under 1.10"));
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), deep));
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 3);
}

TEST_F(Outline, DepthCountsComponentsBeyondTwoDigitNumbers) {
    // A child of 12.15 is at depth 3, however long the components are.
    QList<int> top;
    for (int i = 1; i <= 12; ++i)
        top << addTopic(0, QStringLiteral("t%1").arg(i));
    int parent = 0;
    for (int i = 1; i <= 15; ++i)
        parent = addTopic(top[11], QStringLiteral("c%1").arg(i));
    const int kid = addTopic(parent, QStringLiteral("kid"));
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), kid));
    EXPECT_EQ(field("ERTEK")->AsString(), QStringLiteral("12.15.1"));
    EXPECT_EQ(field("MELYSEG")->AsInteger(), 3);
}

TEST_F(Outline, ANumberLongerThanItsFieldStopsThePassAndChangesNothing) {
    // Ten levels fill ERTEK (19 characters); an eleventh, stored past the editor's check, would be cut.
    int parent = 0;
    for (int level = 1; level <= 10; ++level)
        parent = addTopic(parent, QStringLiteral("level %1").arg(level));
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), parent));
    const QString tenth = field("ERTEK")->AsString();
    ASSERT_EQ(tenth.size(), 19);
    table()->Insert();
    field("SZULO")->SetAsString(tenth);
    field("TEMAKOR")->SetAsString(QStringLiteral("level 11"));
    table()->Post();
    const QStringList before = fileRows();
    try {
        store.RenumberOutline(false);
        FAIL() << "the pass cut a number";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("HelpData.db"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(tenth + QStringLiteral(".1"))) << e.message().toStdString();
    }
    EXPECT_EQ(fileRows(), before);
}

TEST_F(Outline, ReparentingLeavesSiblingsWhoseNumberStartsWithTheOldNumber) {
    // 22 top-level topics; 3 and 21 have children. Deleting 1 renumbers 3 -> 2 and 21 -> 20: the subtree of
    // 21 (now 20) must not be taken for the subtree of the old 2, nor 20's for 2's.
    QList<int> top;
    for (int i = 1; i <= 22; ++i)
        top << addTopic(0, QStringLiteral("t%1").arg(i));
    addTopic(top[2], QStringLiteral("under 3"));
    addTopic(top[20], QStringLiteral("under 21"));
    addTopic(top[1], QStringLiteral("under 2"));
    deleteTopic(top[0]);
    const QStringList n = numbers();
    EXPECT_TRUE(n.contains(QStringLiteral("1.1:under 2"))) << n.join(' ').toStdString();
    EXPECT_TRUE(n.contains(QStringLiteral("2.1:under 3"))) << n.join(' ').toStdString();
    EXPECT_TRUE(n.contains(QStringLiteral("20.1:under 21"))) << n.join(' ').toStdString();
    EXPECT_EQ(n.size(), 24);
}

TEST_F(Outline, AnUnnumberedTopicDoesNotCaptureOtherSubtrees) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(one, QStringLiteral("one-a"));
    // Stored by moving away: no number yet.
    table()->Insert();
    field("TEMAKOR")->SetAsString(QStringLiteral("loose"));
    table()->First();
    ASSERT_TRUE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("loose")));
    EXPECT_TRUE(field("ERTEK")->IsNull());
    const int two = addTopic(0, QStringLiteral("two"));
    addTopic(two, QStringLiteral("two-a"));
    store.RenumberOutline(true);
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:one-a", "2:loose", "3:two", "3.1:two-a"}));
}

TEST_F(Outline, TopicsStoredWithoutNumbersDoNotCaptureLaterTopics) {
    // Parents only, as another tool stores them: no old number is a prefix of anything.
    store.close();
    execSql(helpDir + "/HelpData.db",
            "INSERT INTO HelpData(KOD, SZULO, TEMAKOR) VALUES (1, NULL, 'one'), (2, '1', 'one-a'), (3, NULL, 'two'),"
            " (4, '2', 'two-a'), (5, NULL, 'three');");
    store.open(folder.path());
    store.RenumberOutline(true);
    EXPECT_EQ(numbers(), QStringList({"1:one", "1.1:one-a", "2:two", "2.1:two-a", "3:three"}));
}

TEST_F(Outline, APassAfterAPassChangesNoNumberAndAPostPassNoParent) {
    const int one = addTopic(0, QStringLiteral("one"));
    const int a = addTopic(one, QStringLiteral("a"));
    addTopic(a, QStringLiteral("b"));
    addTopic(0, QStringLiteral("two"));
    const QStringList before = numbers();
    QStringList parents;
    for (table()->First(); !table()->Eof(); table()->Next())
        parents << field("SZULO")->AsString();
    store.RenumberOutline(false);
    store.RenumberOutline(false);
    EXPECT_EQ(numbers(), before);
    QStringList after;
    for (table()->First(); !table()->Eof(); table()->Next()) {
        after << field("SZULO")->AsString();
        EXPECT_TRUE(field("TEMPPONT")->IsNull());
    }
    EXPECT_EQ(after, parents);
}

TEST_F(Outline, PassKeepsTheCurrentRowAndEndsInDisplayOrder) {
    addTopic(0, QStringLiteral("one"));
    const int two = addTopic(0, QStringLiteral("two"));
    addTopic(0, QStringLiteral("three"));
    ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), two));
    store.RenumberOutline(true);
    EXPECT_EQ(field("KOD")->AsInteger(), two);
    EXPECT_EQ(table()->IndexFieldNames(), QStringLiteral("SORSZAMSZOV"));
    EXPECT_EQ(table()->State(), dsBrowse);
}

TEST_F(Outline, CallbacksFrameEveryPass) {
    QStringList calls;
    store.BeginBusy = [&] { calls << "busy"; };
    store.EndBusy = [&] { calls << "idle"; };
    store.DetachGrid = [&] { calls << "detach"; };
    store.AttachGrid = [&] { calls << "attach"; };
    addTopic(0, QStringLiteral("one"));
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), QStringLiteral("busy"));
    EXPECT_EQ(calls.last(), QStringLiteral("idle"));
    EXPECT_EQ(calls.count("attach") > 0, true);
}

TEST_F(Outline, EveryPostReachesTheFile) {
    const int one = addTopic(0, QStringLiteral("one"));
    addTopic(one, QStringLiteral("child"));
    const QStringList rows = fileRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringLiteral("1|<null>|1|1|01.|1|<null>|0|<null>|one|<null>|<null>"));
    EXPECT_EQ(rows[1], QStringLiteral("2|1|1.1|1|01.01.|2|<null>|1|<null>|child|<null>|<null>"));
}
