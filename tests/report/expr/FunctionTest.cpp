// The function library: the registry, every built-in and the aggregates' running state.
#include "ExprTestSupport.h"

#include "report/expr/Environment.h"
#include "report/expr/FunctionLibrary.h"
#include "report/expr/Functions.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

namespace {

TEST(ExprFunctions, LogicalAndConversion) {
    expectAll({
        {"IF(1 = 1, 'yes', 2)", {evString, "yes"}},
        {"IF(1 = 2, 'yes', 2)", {evInteger, "2"}},
        {"IF(1 = 1, 1/0, 2)", {evError, "Cannot divide by 0"}},
        {"IF(1, 2, 3)", {evError, "Wrong arguments for IF"}},
        {"IF(TRUE, 1)", {evError, "Wrong arguments for IF"}},
        {"TRUE", {evBoolean, "True"}},
        {"false", {evBoolean, "False"}},
        {"TRUE()", {evBoolean, "True"}},
        {"TRUE(1)", {evError, "Too many arguments"}},
        {"FALSE(1, 2)", {evError, "Too many arguments"}},
        {"STR(TRUE)", {evString, "True"}},
        {"STR(42)", {evString, "42"}},
        {"STR(2.5)", {evString, f("2.5")}},
        {"STR(1/3)", {evString, f("0.333333333333333")}},
        {"STR('a')", {evError, "Conversion error"}},
        {"STR(1/0)", {evError, "Conversion error"}},
        {"STR(1, 2)", {evError, "Conversion error"}},
        {"TYPEOF(1/0)", {evString, "ERROR"}},
        {"TYPEOF(1.5)", {evString, "FLOAT"}},
        {"TYPEOF(1)", {evString, "INTEGER"}},
        {"TYPEOF('a')", {evString, "STRING"}},
        {"TYPEOF(TRUE)", {evString, "BOOLEAN"}},
        {"TYPEOF()", {evError, "Wrong arguments for TypeOf"}},
        {"'Page ' + STR(3)", {evString, "Page 3"}},
    });
}

TEST(ExprFunctions, Texts) {
    expectAll({
        {"UPPER('abc')", {evString, "ABC"}},
        {"LOWER('ÁRVÍZ')", {evString, "árvíz"}},
        {"UPPER(5)", {evError, ""}},
        {"UPPER(FOO(1))", {evError, "Unknown function : FOO"}},
        {"UPPER()", {evError, "Missing argument for UPPER"}},
        {"LOWER('a', 'b')", {evError, "Missing argument for LOWER"}},
        {"PRETTY('hELLO wORLD')", {evString, "Hello world"}},
        {"PRETTY('ébredj')", {evString, "Ébredj"}},
        {"PRETTY('')", {evString, ""}},
        {"PRETTY(1)", {evError, ""}},
        {"PRETTY()", {evError, "Missing argument for PRETTY"}},
        {"COPY('abcdef', 2, 3)", {evString, "bcd"}},
        {"COPY('abc', 0, 2)", {evString, "ab"}},
        {"COPY('abc', (-5), 2)", {evString, "ab"}},
        {"COPY('abc', 5, 2)", {evString, ""}},
        {"COPY('abc', 2, 2147483647)", {evString, "bc"}},
        {"COPY('abc', 2147483647, 2147483647)", {evString, ""}},
        {"COPY('abc', 2, (-1))", {evString, ""}},
        {"COPY('', 1, 1)", {evString, ""}},
        {"COPY('abc', 2, 2.0)", {evError, ""}},
        {"COPY('abc', 2)", {evError, ""}},
        {"COPY(1, 2, 3)", {evError, ""}},
    });
    // a surrogate pair is one character for PRETTY and is never split by COPY
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(evaluateOnce(QStringLiteral("COPY('%1b', 2, 2)").arg(smile)).Text, QStringLiteral("b"));
    EXPECT_EQ(evaluateOnce(QStringLiteral("COPY('a%1', 1, 2)").arg(smile)).Text, QStringLiteral("a"));
    EXPECT_EQ(evaluateOnce(QStringLiteral("PRETTY('%1AB')").arg(smile)).Text, smile + QStringLiteral("ab"));
}

// Casing works one character at a time, so a text keeps its length: letters whose full mapping would make
// two or three of them (ß, the ﬁ ligature, ŉ, a dotted İ lowered) stay one.
TEST(ExprFunctions, CasingKeepsTheLength) {
    expectAll({
        {"UPPER('straße')", {evString, "STRAßE"}},
        {"UPPER('árvíztűrő tükörfúrógép')", {evString, "ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP"}},
        {"UPPER('ﬁx ŉ ǰ')", {evString, "ﬁX ŉ ǰ"}},
        {"LOWER('ŠKODA ŽALUZIE')", {evString, "škoda žaluzie"}},
        {"PRETTY('ßAB')", {evString, "ßab"}},
        {"PRETTY('ﬁRST')", {evString, "ﬁrst"}},
        {"PRETTY('ŐSZ')", {evString, "Ősz"}},
    });
    for (const char *text : {"ß", "ﬁ", "ﬀ", "ŉ", "ǰ", "ΐ", "ſt", "Ὓ", "İ"})
        for (const char *function : {"UPPER", "LOWER", "PRETTY"}) {
            const QString argument = QString::fromUtf8(text);
            const TQREvValue v = evaluateOnce(QStringLiteral("%1('%2')").arg(QLatin1String(function), argument));
            EXPECT_EQ(v.Text.size(), argument.size()) << function << " " << text;
        }
}

TEST(ExprFunctions, Numbers) {
    expectAll({
        {"INT(-2.7)", {evInteger, "-2"}},
        {"INT(7)", {evInteger, "7"}},
        {"INT(4294967297.5)", {evInteger, "1"}},
        {"INT(2147483648.0)", {evInteger, "-2147483648"}},
        {"INT(1E300)", {evInteger, "0"}},
        {"INT(1E308 * 10)", {evError, "Wrong arguments for INT"}},
        {"INT('1')", {evError, "Wrong arguments for INT"}},
        {"FRAC(-2.75)", {evFloat, f("-0.75")}},
        {"FRAC(3)", {evFloat, "0"}},
        {"FRAC('x')", {evError, ""}},
        {"SQRT(4)", {evFloat, "2"}},
        {"SQRT(2.25)", {evFloat, f("1.5")}},
        {"SQRT(-1)", {evError, "Invalid argument to SQRT function"}},
        {"SQRT('4')", {evError, "Invalid argument to SQRT function"}},
        {"SQRT(1, 2)", {evError, "Invalid argument to SQRT function"}},
        {"DIV(7, 2)", {evInteger, "3"}},
        {"DIV(-7, 2)", {evInteger, "-3"}},
        {"DIV(2.5, 1)", {evInteger, "2"}},
        {"DIV(3.5, 1)", {evInteger, "4"}},
        {"DIV(1, 0)", {evError, "Division by Zero"}},
        {"DIV(1, 0.4)", {evError, "Division by Zero"}},
        {"DIV(1)", {evError, "Wrong arguments for DIV"}},
        {"DIV('7', 2)", {evError, "Wrong arguments for DIV"}},
        // the one overflowing quotient wraps instead of trapping
        {"DIV(-2147483648,-1)", {evInteger, "-2147483648"}},
        {"DIV(1E30, 1)", {evError, "Wrong arguments for DIV"}},
        {"FORMATNUMERIC('0.00', 3.14159)", {evString, f("3.14")}},
        {"FORMATNUMERIC('0.00', 2)", {evString, f("2.00")}},
        {"FORMATNUMERIC(3, '0')", {evError, ""}},
        {"FORMATNUMERIC('0')", {evError, ""}},
    });
    const QString longMask(230, QLatin1Char('0'));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("FORMATNUMERIC('%1', 1)").arg(longMask)),
                        {evError, "Invalid format or value specified"}));
}

TEST(ExprFunctions, DateAndTimeFollowTheLocale) {
    const TQREvValue date = evaluateOnce(QStringLiteral("DATE"));
    ASSERT_EQ(date.Kind, evString);
    const QLocale locale = QLocale::system();
    // the call may straddle midnight
    EXPECT_TRUE(date.Text == locale.toString(QDate::currentDate(), QLocale::ShortFormat) ||
                date.Text == locale.toString(QDate::currentDate().addDays(-1), QLocale::ShortFormat));
    // the locale's long time form, without the name of a time zone
    const TQREvValue time = evaluateOnce(QStringLiteral("TIME"));
    ASSERT_EQ(time.Kind, evString);
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    EXPECT_FALSE(time.Text.contains(zone)) << time.Text.toStdString();
    EXPECT_FALSE(time.Text.contains(QLatin1String("UTC")) || time.Text.contains(QLatin1String("GMT")));
    EXPECT_EQ(time.Text, time.Text.trimmed());
    const QString start = evaluateOnce(QStringLiteral("AppStartTime")).Text;
    EXPECT_FALSE(start.contains(zone) || start.isEmpty()) << start.toStdString();
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("TIME(1)")), {evError, ""}));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("DATE(1)")), {evError, ""}));
}

// Feeds an aggregate expression one value per record through a report-style constant.
class Aggregates : public ::testing::Test {
protected:
    void SetUp() override {
        environment.AddEntry(QStringLiteral("V"), QStringLiteral("0"));
        environment.PrepareAll();
        evaluator.SetOwnEnvironment(&environment);
    }
    void TearDown() override {
        evaluator.Discard();
        environment.ReleaseAll();
    }
    TQREvValue run(const QString &expression, const QList<TQREvValue> &values) {
        evaluator.Compile(expression);
        accumulate(values);
        return evaluator.Evaluate();
    }
    void accumulate(const QList<TQREvValue> &values) {
        for (const TQREvValue &v : values) {
            TQREvEnvironment::StoreValue(environment.FindConstant(QStringLiteral("V")), v);
            evaluator.Accumulate();
        }
    }

    TQREvEnvironment environment;
    TQREvaluator evaluator;
};

TQREvValue i(qint32 v) {
    return TQREvValue::integer(v);
}
TQREvValue d(double v) {
    return TQREvValue::floating(v);
}
TQREvValue s(const char *v) {
    return TQREvValue::string(QString::fromUtf8(v));
}
TQREvValue b(bool v) {
    return TQREvValue::boolean(v);
}

TEST_F(Aggregates, Sum) {
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {i(1), i(2), i(3)}), {evInteger, "6"}));
    // the first value fixes the kind; a later value of the other numeric kind does not show
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {d(1.5), i(2)}), {evFloat, f("1.5")}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {i(2), d(1.5), i(3)}), {evInteger, "5"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {}), {evInteger, "0"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {i(1), b(true), TQREvValue::error(), i(2)}), {evInteger, "3"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {i(1), s("a"), i(2)}), {evError, ""}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {s("a")}), {evError, ""}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V)"), {i(2147483647), i(1)}), {evInteger, "-2147483648"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(V, V)"), {i(1)}), {evInteger, "0"})); // no total yet
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM()"), {i(1)}), {evInteger, "0"}));
}

TEST_F(Aggregates, ResetStartsTheTotalOver) {
    run(QStringLiteral("SUM(V) + COUNT"), {i(5), i(6)});
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "13"}));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "13"})); // reading does not accumulate
    evaluator.ResetAggregates();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "0"}));
    accumulate({i(4)});
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "5"}));
}

TEST_F(Aggregates, Average) {
    EXPECT_TRUE(valueIs(run(QStringLiteral("AVERAGE(V)"), {i(1), i(2)}), {evFloat, f("1.5")}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("AVERAGE(V)"), {}), {evInteger, "0"})); // never reset
    evaluator.ResetAggregates();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evFloat, "0"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("AVERAGE(V)"), {s("x"), i(2)}), {evError, ""}));
}

TEST_F(Aggregates, MaxAndMin) {
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V)"), {s("b"), s("a"), s("c")}), {evString, "c"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MIN(V)"), {s("b"), s("a"), s("c")}), {evString, "a"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MIN(V)"), {b(true), b(false)}), {evBoolean, "False"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V)"), {i(3), i(7), i(7), i(5)}), {evInteger, "7"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MIN(V)"), {i(3), d(2.5), i(4)}), {evFloat, f("2.5")}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V)"), {i(3), s("z"), i(4)}), {evInteger, "4"}));
    EXPECT_TRUE(
        valueIs(run(QStringLiteral("MAX(V)"), {TQREvValue::error(QStringLiteral("bad")), i(4)}), {evError, "bad"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V)"), {}), {evInteger, "0"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V, V)"), {i(1)}), {evInteger, "0"}));
}

TEST_F(Aggregates, MaxAndMinOfTextsFollowTheCodePage) {
    EXPECT_TRUE(valueIs(run(QStringLiteral("MAX(V)"), {s("Ős"), s("Út"), s("Zab")}), {evString, "Út"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("MIN(V)"), {s("ágy"), s("Šaft")}), {evString, "Šaft"}));
}

TEST_F(Aggregates, Count) {
    EXPECT_TRUE(valueIs(run(QStringLiteral("COUNT"), {i(0), i(0), i(0), i(0), i(0)}), {evInteger, "5"}));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "5"}));
    EXPECT_TRUE(valueIs(run(QStringLiteral("COUNT(1)"), {i(0)}), {evError, "COUNT - Too many arguments"}));
    // nested aggregates accumulate too: the inner tally is 1, 2, 3
    EXPECT_TRUE(valueIs(run(QStringLiteral("SUM(COUNT)"), {i(0), i(0), i(0)}), {evInteger, "6"}));
}

TEST_F(Aggregates, EveryArgumentIsEvaluatedEvenTheBranchNotChosen) {
    run(QStringLiteral("IF(TRUE, 1, COUNT)"), {i(0), i(0), i(0)});
    EXPECT_TRUE(evaluator.HasAggregates());
    TQREvCountFunction *count = nullptr;
    for (const auto &element : evaluator.Queue()->Items)
        if (auto *c = dynamic_cast<TQREvCountFunction *>(element.get()))
            count = c;
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->Tally, 3);
    evaluator.Compile(QStringLiteral("1 + IF(TRUE, 2, 3)"));
    EXPECT_FALSE(evaluator.HasAggregates());
}

TEST(ExprRegistry, BuiltInsInTheirOrderWithTheirTexts) {
    struct Entry {
        const char *name;
        const char *description;
        const char *types;
    };
    const Entry expected[] = {
        {"IF", "IF(<Exp>, <X>, <Y>)|Returns <X> or <Y> depending on the boolean expression <Exp>", "5BVV"},
        {"STR", "STR(<X>)|Convert a numeric <X> to a string", "7N"},
        {"UPPER", "UPPER(<X>)|Converts a string to upper case letters", "7S"},
        {"LOWER", "LOWER(<X>)|Converts a string to lower case letters", "7S"},
        {"PRETTY", "PRETTY(<X>)|Makes the first character upper case and the rest lower case", "7S"},
        {"TIME", "TIME|Return current time as a string", "1"},
        {"DATE", "DATE|Return current date as a string", "1"},
        {"COPY", "COPY(<X>, <St>,<Len>)|Returns a substring of string X", "7SNN"},
        {"SUM", "SUM(<X>)|Sums the numeric <X>", "3N"},
        {"COUNT", "COUNT|Increments for each iteration", "3"},
        {"MAX", "MAX(<X>)|Returns the highest <X>", "3V"},
        {"MIN", "MIN(<X>)|Returns the lowest <X>", "3V"},
        {"AVERAGE", "AVERAGE(<X>)|Returns the average of numeric <X>", "3N"},
        {"TRUE", "TRUE|boolean value", "5"},
        {"FALSE", "FALSE|boolean value", "5"},
        {"INT", "INT(<X>)|Returns the integer part of <X>", "2N"},
        {"FRAC", "FRAC(<X>)|Returns the fractional part of <X>", "2N"},
        {"SQRT", "SQRT(<X>)|Returns square root of <X>", "2N"},
        {"DIV", "DIV(<X>, <Y>) | Integer division of <X> by <Y>", "2NN"},
        {"TYPEOF", "TYPEOF(<Exp>)|Returns the data type of <Exp>", "6N"},
        {"FORMATNUMERIC", "FORMATNUMERIC(<F>,<N>)|Formats numeric <N> using the mask in <F>", "7SN"},
    };
    TQRFunctionLibrary *registry = FunctionRegistry();
    ASSERT_NE(registry, nullptr);
    ASSERT_GE(registry->Count(), 21);
    for (int n = 0; n < 21; ++n) {
        const TQRLibraryEntry *entry = registry->EntryAt(n);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->Name, QString::fromLatin1(expected[n].name));
        EXPECT_EQ(entry->Description, QString::fromLatin1(expected[n].description));
        EXPECT_EQ(entry->ArgumentTypes, QString::fromLatin1(expected[n].types));
        EXPECT_EQ(entry->Vendor, registry->EntryAt(0)->Vendor);
    }
    EXPECT_EQ(registry->EntryAt(registry->Count()), nullptr);
    EXPECT_EQ(registry->EntryAt(-1), nullptr);
    EXPECT_TRUE(dynamic_cast<TQREvAverageFunction *>(registry->CreateFunctionElement(QStringLiteral("average")).get()));
    auto unknown = registry->CreateFunctionElement(QStringLiteral("Nope"));
    auto *error = dynamic_cast<TQREvElementError *>(unknown.get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message, QStringLiteral("Unknown function : Nope"));
    EXPECT_EQ(qrexpr::functionCategories().value(3), QStringLiteral("Statistical"));
    EXPECT_EQ(qrexpr::argumentPrompt(QLatin1Char('S'), 2), QStringLiteral("Argument 2 - text Value"));
}

// A function another library registers: twice its numeric argument, and a running product.
class TwiceFunction : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override {
        if (ArgumentCount() == 1 && Argument(0).Kind == evInteger)
            value = TQREvValue::integer(2 * Argument(0).IntegerValue);
        else
            value = TQREvValue::error(QStringLiteral("TWICE wants an integer"));
    }
};

class ShadowStr : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override { value = TQREvValue::string(QStringLiteral("shadow")); }
};

TEST(ExprRegistry, RegisteredFunctionsAreCalledAndTheFirstOfANameWins) {
    const int before = FunctionRegistry()->Count();
    RegisterReportFunction(qrFunctionClass<TwiceFunction>, QStringLiteral("TWICE"),
                           QStringLiteral("TWICE(<X>)|Doubles"), QStringLiteral("2N"), QStringLiteral("Tests"));
    RegisterReportFunction(qrFunctionClass<ShadowStr>, QStringLiteral("STR"), QStringLiteral("STR(<X>)|Shadow"),
                           QStringLiteral("7N"), QStringLiteral("Tests"));
    EXPECT_EQ(FunctionRegistry()->Count(), before + 2);
    EXPECT_EQ(FunctionRegistry()->EntryAt(before + 1)->Description, QStringLiteral("STR(<X>)|Shadow"));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("twice(21) + 1")), {evInteger, "43"}));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("TWICE('a')")), {evError, "TWICE wants an integer"}));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringLiteral("STR(1)")), {evString, "1"}));
}

} // namespace
