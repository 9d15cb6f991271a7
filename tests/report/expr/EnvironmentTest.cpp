// Environments: report variables, the global environment, preparation and the stored form.
#include "ExprTestSupport.h"

#include "report/expr/Environment.h"

#include <gtest/gtest.h>

namespace {

// A report's Functions as a report creates them, prepared for a run.
class ReportEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        functions.AddEntry(QStringLiteral("PageNumber"), QStringLiteral("0"));
        functions.AddEntry(QStringLiteral("COLUMNNUMBER"), QStringLiteral("0"));
        functions.AddEntry(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
    }
    void TearDown() override { evaluator.Discard(); }
    TQREvValue evaluate(const QString &text) {
        evaluator.SetOwnEnvironment(&functions);
        evaluator.Compile(text);
        return evaluator.Evaluate();
    }

    TQREvEnvironment functions;
    TQREvaluator evaluator;
};

TEST_F(ReportEnvironment, ConstantsAreOverwrittenDuringARun) {
    EXPECT_EQ(functions.Strings(), QStringList({QStringLiteral("PAGENUMBER"), QStringLiteral("COLUMNNUMBER"),
                                                QStringLiteral("REPORTTITLE")}));
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("'Page ' + STR(PAGENUMBER)")), {evString, "Page 0"}));
    TQREvEnvironment::StoreInteger(functions.FindConstant(QStringLiteral("pagenumber")), 3);
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evString, "Page 3"}));
    TQREvEnvironment::StoreText(functions.FindConstant(QStringLiteral("REPORTTITLE")), QStringLiteral("Kézikönyv"));
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("REPORTTITLE")), {evString, "Kézikönyv"}));
    TQREvEnvironment::StoreValue(functions.FindConstant(QStringLiteral("COLUMNNUMBER")), TQREvValue::floating(2.5));
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("ColumnNumber")), {evFloat, localized("2.5")}));
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, StoreOperationsIgnoreElementsOfTheWrongClass) {
    functions.PrepareAll();
    TQREvElement *page = functions.FindConstant(QStringLiteral("PAGENUMBER"));
    TQREvElement *title = functions.FindConstant(QStringLiteral("REPORTTITLE"));
    TQREvEnvironment::StoreText(page, QStringLiteral("x"));
    TQREvEnvironment::StoreInteger(title, 7);
    TQREvEnvironment::StoreValue(title, TQREvValue::integer(7));
    TQREvEnvironment::StoreInteger(nullptr, 1);
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("PAGENUMBER")), {evInteger, "0"}));
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("REPORTTITLE")), {evString, ""}));
    TQREvEnvironment::StoreValue(title, TQREvValue::string(QStringLiteral("T")));
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("REPORTTITLE")), {evString, "T"}));
    EXPECT_EQ(functions.FindConstant(QStringLiteral("NOPE")), nullptr);
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("NOPE")), {evError, ""}));
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, PreparationIsCounted) {
    EXPECT_FALSE(functions.IsPrepared());
    EXPECT_EQ(functions.FindConstant(QStringLiteral("PAGENUMBER")), nullptr);
    EXPECT_THROW(functions.EntryValue(QStringLiteral("PAGENUMBER")), EQRExprError);
    functions.PrepareAll();
    functions.PrepareAll();
    functions.ReleaseAll();
    EXPECT_TRUE(functions.IsPrepared());
    EXPECT_NE(functions.FindConstant(QStringLiteral("PAGENUMBER")), nullptr);
    // an entry added to a prepared environment is compiled at once; an existing name keeps its expression
    functions.AddEntry(QStringLiteral("Later"), QStringLiteral("40 + 2"));
    functions.AddEntry(QStringLiteral("PAGENUMBER"), QStringLiteral("99"));
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("LATER")), {evInteger, "42"}));
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("PAGENUMBER")), {evInteger, "0"}));
    functions.ReleaseAll();
    EXPECT_FALSE(functions.IsPrepared());
    EXPECT_EQ(functions.FindConstant(QStringLiteral("PAGENUMBER")), nullptr);
    functions.ReleaseAll(); // unbalanced: stays at zero
    EXPECT_EQ(functions.PrepareCount(), 0);
    functions.PrepareAll();
    EXPECT_TRUE(functions.IsPrepared());
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, ReportEntriesComeBeforeGlobalOnes) {
    functions.AddEntry(QStringLiteral("AppName"), QStringLiteral("'Mine'"));
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("APPNAME")), {evString, "Mine"}));
    EXPECT_EQ(evaluate(QStringLiteral("AppStartDate")).Kind, evString);
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("Missing")), {evError, "Unknown function : Missing"}));
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, RecursionIsStopped) {
    functions.AddEntry(QStringLiteral("A"), QStringLiteral("A + 1"));
    functions.AddEntry(QStringLiteral("B"), QStringLiteral("C * 2"));
    functions.AddEntry(QStringLiteral("C"), QStringLiteral("B"));
    functions.AddEntry(QStringLiteral("D"), QStringLiteral("PAGENUMBER + PAGENUMBER + 1"));
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("A")), {evError, "Recursive calls not allowed"}));
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("B")), {evError, "Recursive calls not allowed"}));
    // an entry used twice in one expression is not a recursion
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("D + D")), {evInteger, "2"}));
    EXPECT_FALSE(functions.Entry(functions.IndexOf(QStringLiteral("A")))->InEvaluation());
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, ARemovedEntryIsForgottenByReferences) {
    functions.AddEntry(QStringLiteral("Gone"), QStringLiteral("5"));
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(evaluate(QStringLiteral("GONE * 2")), {evInteger, "10"}));
    functions.RemoveEntry(QStringLiteral("gone"));
    EXPECT_EQ(functions.IndexOf(QStringLiteral("GONE")), -1);
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evError, "Unknown function : GONE"}));
    functions.Clear();
    EXPECT_EQ(functions.Count(), 0);
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evError, "Unknown function : GONE"}));
    functions.ReleaseAll();
}

TEST_F(ReportEnvironment, EntriesDoNotAccumulate) {
    functions.AddEntry(QStringLiteral("Total"), QStringLiteral("SUM(1)"));
    functions.PrepareAll();
    evaluate(QStringLiteral("TOTAL + COUNT"));
    evaluator.Accumulate();
    evaluator.Accumulate();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "2"}));
    functions.ReleaseAll();
}

TEST(ExprGlobalEnvironment, ApplicationEntries) {
    TQREvEnvironment *global = GlobalEnvironment();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->Strings().mid(0, 3),
              QStringList({QStringLiteral("APPSTARTTIME"), QStringLiteral("APPSTARTDATE"), QStringLiteral("APPNAME")}));
    EXPECT_EQ(global->Data().value(2), QStringLiteral("'TavikEditor'"));
    for (const char *name : {"APPNAME", "appname", "[AppName]", "AppName()"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(valueIs(evaluateOnce(QString::fromLatin1(name)), {evString, "TavikEditor"}));
    }
    const TQREvValue date = evaluateOnce(QStringLiteral("AppStartDate"));
    const TQREvValue time = evaluateOnce(QStringLiteral("AppStartTime"));
    EXPECT_EQ(date.Kind, evString);
    EXPECT_EQ(time.Kind, evString);
    EXPECT_FALSE(date.Text.isEmpty());
    // taken once: the same text every time
    EXPECT_EQ(evaluateOnce(QStringLiteral("AppStartTime")).Text, time.Text);
    // once prepared, the global entries stay compiled whatever evaluators come and go
    EXPECT_TRUE(global->IsPrepared());
}

TEST(ExprStoredForm, NamesThenExpressions) {
    TQREvEnvironment functions;
    functions.SetStrings({QStringLiteral("PAGENUMBER"), QStringLiteral("COLUMNNUMBER"), QStringLiteral("REPORTTITLE")});
    EXPECT_EQ(functions.Data(), QStringList({QString(), QString(), QString()}));
    functions.SetData({QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("''")});
    EXPECT_EQ(functions.Data(), QStringList({QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("''")}));
    // through the published properties as well, as a generic streamer reads and writes them
    EXPECT_EQ(functions.property("Strings").toStringList(), functions.Strings());
    EXPECT_EQ(functions.property("DATA").toStringList(), functions.Data());
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("REPORTTITLE")), {evString, ""}));
    functions.ReleaseAll();

    // reading the names again replaces every entry; DATA attaches only to entries without an expression
    TQREvEnvironment copy;
    copy.AddEntry(QStringLiteral("OLD"), QStringLiteral("1"));
    copy.setProperty("Strings", functions.Strings());
    copy.setProperty("DATA", functions.Data());
    EXPECT_EQ(copy.Strings(), functions.Strings());
    EXPECT_EQ(copy.Data(), functions.Data());
    copy.SetData({QStringLiteral("7"), QStringLiteral("7"), QStringLiteral("7")});
    EXPECT_EQ(copy.Data(), functions.Data());
}

// A DATA list shorter than the names leaves no entry without an expression.
TEST(ExprStoredForm, ShortDataGivesEmptyExpressions) {
    TQREvEnvironment functions;
    functions.SetStrings({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    functions.SetData({QStringLiteral("1")});
    EXPECT_EQ(functions.Data(), QStringList({QStringLiteral("1"), QString(), QString()}));
    functions.PrepareAll();
    EXPECT_TRUE(valueIs(functions.EntryValue(QStringLiteral("C")), {evString, " "}));
    functions.ReleaseAll();

    // names without any DATA at all still give usable entries
    TQREvEnvironment namesOnly;
    namesOnly.SetStrings({QStringLiteral("X")});
    namesOnly.PrepareAll();
    TQREvaluator evaluator;
    evaluator.SetOwnEnvironment(&namesOnly);
    EXPECT_TRUE(valueIs(evaluator.EvaluateOnce(QStringLiteral("X + 'y'")), {evString, " y"}));
    namesOnly.ReleaseAll();
}

} // namespace
