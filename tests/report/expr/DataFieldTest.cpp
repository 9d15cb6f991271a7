// Fields of data sets in expressions: lookup by name and component name, kinds by field type, reopening.
#include "ExprTestSupport.h"

#include "report/expr/Environment.h"

#include "store/Query.h"
#include "store/ValueText.h"

#include "tests/support/TestSupport.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

QList<MemoryDataSet::ColumnDef> everyType() {
    return {
        {QStringLiteral("S"), ftString},     {QStringLiteral("I"), ftInteger},   {QStringLiteral("SI"), ftSmallint},
        {QStringLiteral("W"), ftWord},       {QStringLiteral("AI"), ftAutoInc},  {QStringLiteral("LI"), ftLargeint},
        {QStringLiteral("BCD"), ftBCD},      {QStringLiteral("FMT"), ftFMTBcd},  {QStringLiteral("F"), ftFloat},
        {QStringLiteral("CUR"), ftCurrency}, {QStringLiteral("B"), ftBoolean},   {QStringLiteral("D"), ftDate},
        {QStringLiteral("T"), ftTime},       {QStringLiteral("DT"), ftDateTime}, {QStringLiteral("TS"), ftTimeStamp},
        {QStringLiteral("M"), ftMemo},       {QStringLiteral("BL"), ftBlob},     {QStringLiteral("BY"), ftBytes}};
}

TEST(ExprDataFields, KindFollowsTheFieldType) {
    const QDateTime when(QDate(2024, 3, 9), QTime(13, 4, 5));
    MemoryDataSet data(QStringLiteral("Q"), everyType(),
                       {{QStringLiteral("szöveg"), 7, 8, 9, 10, 11, 1.25, 2.5, 3.75, 4.5, true, when, when, when, when,
                         QStringLiteral("memo"), QByteArray("\x01"), QByteArray("\x02")}});
    data.Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    auto display = [&](const char *field) { return data.FieldByName(QString::fromLatin1(field))->DisplayText(); };
    const struct {
        const char *name;
        Expected expected;
    } cases[] = {
        {"S", {evString, "szöveg"}},
        {"I", {evInteger, "7"}},
        {"SI", {evInteger, "8"}},
        {"W", {evInteger, "9"}},
        {"AI", {evInteger, "10"}},
        {"LI", {evError, "Field LI is of unknown type"}},
        {"BCD", {evFloat, localized("1.25")}},
        {"FMT", {evFloat, localized("2.5")}},
        {"F", {evFloat, localized("3.75")}},
        {"CUR", {evFloat, localized("4.5")}},
        {"B", {evBoolean, "True"}},
        {"D", {evString, display("D")}},
        {"T", {evString, display("T")}},
        {"DT", {evString, display("DT")}},
        {"TS", {evString, display("TS")}},
        {"M", {evError, "Field M is of unknown type"}},
        {"BL", {evError, "Field BL is of unknown type"}},
        {"BY", {evError, "Field BY is of unknown type"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(valueIs(evaluator.EvaluateOnce(QString::fromLatin1(c.name)), c.expected));
    }
    EXPECT_FALSE(display("D").isEmpty());
    // a time reads as the locale's long time, without a zone's name, as TIME does
    EXPECT_EQ(display("T"), longTimeText(QTime(13, 4, 5)));
}

TEST(ExprDataFields, NullsAndUnreadableValues) {
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("N"), ftInteger}, {QStringLiteral("S"), ftString}},
                       {{QVariant(), QVariant()}, {QStringLiteral("abc"), QString(300, QLatin1Char('x'))}});
    data.Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    evaluator.Compile(QStringLiteral("STR(N) + S"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evString, "0"}));
    data.Next();
    // the data layer's complaint becomes the value, nothing is thrown
    const TQREvValue bad = evaluator.EvaluateOnce(QStringLiteral("N"));
    EXPECT_EQ(bad.Kind, evError);
    EXPECT_TRUE(bad.Text.contains(QStringLiteral("abc"))) << bad.Text.toStdString();
    EXPECT_EQ(evaluator.EvaluateOnce(QStringLiteral("S")).Text.size(), 255);
}

TEST(ExprDataFields, NamesFindTheirDataSet) {
    MemoryDataSet orders(QStringLiteral("Orders"),
                         {{QStringLiteral("AMOUNT"), ftInteger}, {QStringLiteral("Order Date"), ftString}},
                         {{100, QStringLiteral("tegnap")}});
    MemoryDataSet q(QStringLiteral("Q"), {{QStringLiteral("AMOUNT"), ftInteger}, {QStringLiteral("X-Y"), ftInteger}},
                    {{7, 3}});
    orders.Open();
    q.Open();
    TQRDataSetList list;
    list.Add(&orders);
    list.Add(&q);
    TQREvaluator evaluator;
    evaluator.SetDatasetList(&list);
    const struct {
        const char *expression;
        Expected expected;
    } cases[] = {
        {"[Q.AMOUNT]", {evInteger, "7"}},
        {"[q.amount]", {evInteger, "7"}},
        {"Q.AMOUNT", {evInteger, "7"}},
        {"[AMOUNT]", {evInteger, "100"}}, // the first listed data set with the field
        {"amount", {evInteger, "100"}},
        {"[ORDERS.Order Date]", {evString, "tegnap"}},
        {"[Order Date]", {evString, "tegnap"}},
        {"[X.AMOUNT]", {evError, "Unknown function : X.AMOUNT"}},
        {"[Q.Order Date]", {evError, "Unknown function : Q.Order Date"}},
        // the sign exchange leaves bracketed names alone
        {"10 - [X-Y] + 1", {evInteger, "8"}},
        {"10 - [Q.X-Y] - 1", {evInteger, "6"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_TRUE(valueIs(evaluator.EvaluateOnce(QString::fromLatin1(c.expression)), c.expected));
    }
}

TEST(ExprDataFields, FieldsFollowTheCursorAndSurviveReopening) {
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("AMOUNT"), ftFloat}}, {{50.0}, {150.0}});
    data.Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    evaluator.Compile(QStringLiteral("IF([Q.AMOUNT] > 100, [Q.AMOUNT] * 2, 0) + 1"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "1"}));
    data.Next();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evFloat, "301"}));
    // reopening makes new field objects; the compiled expression finds the field again
    data.Close();
    data.setRows({{400.0}});
    data.Open();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evFloat, "801"}));
}

TEST(ExprDataFields, ADestroyedDataSetGivesAnError) {
    auto data = std::make_unique<MemoryDataSet>(QStringLiteral("Q"),
                                                QList<MemoryDataSet::ColumnDef>{{QStringLiteral("A"), ftInteger}},
                                                QList<QVariantList>{{1}});
    data->Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(data.get());
    evaluator.Compile(QStringLiteral("A + 1"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "2"}));
    data.reset();
    EXPECT_EQ(evaluator.Evaluate().Kind, evError);
    EXPECT_EQ(evaluator.DatasetList()->At(0), nullptr);
}

TEST(ExprDataFields, EnvironmentEntriesSeeTheSameDataSets) {
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("QTY"), ftInteger}}, {{3}});
    data.Open();
    TQRDataSetList list;
    list.Add(&data);
    TQREvEnvironment functions;
    functions.SetDatasetList(&list);
    functions.AddEntry(QStringLiteral("Double"), QStringLiteral("QTY * 2"));
    functions.PrepareAll();
    TQREvaluator evaluator;
    evaluator.SetDatasetList(&list);
    evaluator.SetOwnEnvironment(&functions);
    EXPECT_TRUE(valueIs(evaluator.EvaluateOnce(QStringLiteral("DOUBLE + QTY")), {evInteger, "9"}));
    functions.ReleaseAll();
}

// A query over a folder of table files, as reports read them.
TEST(ExprDataFields, QueryOverTableFiles) {
    TempFolder folder;
    execSql(folder.filePath(QStringLiteral("Orders.db")), kOrdersSql);
    TQuery query;
    query.setObjectName(QStringLiteral("Q"));
    query.SetDatabaseName(folder.path());
    query.SetSQL({QStringLiteral("SELECT * FROM Orders ORDER BY AMOUNT")});
    query.Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&query);
    evaluator.Compile(QStringLiteral("SUM([Q.AMOUNT] * QTY)"));
    QStringList seen;
    for (query.First(); !query.Eof(); query.Next()) {
        evaluator.Accumulate();
        seen << qrexpr::valueText(evaluator.Evaluate());
    }
    EXPECT_EQ(seen,
              QStringList({QStringLiteral("80"), localized(QStringLiteral("381")), localized(QStringLiteral("981"))}));
}

} // namespace
