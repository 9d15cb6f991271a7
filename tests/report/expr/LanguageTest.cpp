// The expression language: grammar, coercion, operators, compile faults and the compiled form.
#include "ExprTestSupport.h"

#include "report/expr/Environment.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(ExprLanguage, PrecedenceAndLeftToRightMeaning) {
    expectAll({
        {"2 + 3 * 4", {evInteger, "14"}},
        {"(2 + 3) * 4", {evInteger, "20"}},
        {"7 / 2", {evFloat, f("3.5")}},
        {"10 - 3 - 2", {evInteger, "5"}},
        {"10 - 3 + 2", {evInteger, "9"}},
        {"20 - 3 - 2 - 1", {evInteger, "14"}},
        {"8 / 4 * 2", {evFloat, "4"}},
        {"8 / 4 / 2", {evFloat, "1"}},
        {"-3 + 5", {evInteger, "2"}},
        {"2*(-3)", {evInteger, "-6"}},
        {"+7", {evInteger, "7"}},
        {"10 - (3 - 2)", {evInteger, "9"}},
        {"10 - (3 + 2) + 1", {evInteger, "6"}},
        // OR binds like + and AND like *.
        {"1 + 2 or 4", {evInteger, "7"}},
        {"2 * 3 and 1", {evInteger, "2"}},
        {"(1 > 0) and (2 < 3)", {evBoolean, "True"}},
        {"(1 > 0) AND (2 > 3) Or (1 = 1)", {evBoolean, "True"}},
    });
}

// Readings of the grammar a user may not expect, kept on purpose: signs split before numbers are read, a
// blank before a unary minus, comparisons that do not chain, quotes without escapes.
TEST(ExprLanguage, SignsBlanksAndComparisonsAsTheGrammarReadsThem) {
    expectAll({
        {"2*-3", {evError, "Illegal character in numeric contant \"2*\""}},
        {"1E-5", {evError, "Illegal character in numeric contant \"1E\""}},
        {"1E5", {evFloat, "100000"}},
        {"'it''s'", {evString, "it''s"}},
        {"", {evString, " "}},
        // the first comparison splits, so comparisons neither chain nor sit inside AND without parentheses
        {"2 > 1 > 0", {evError, "Illegal character in numeric contant \"1 > 0\""}},
        {"1 > 0 and 2 < 3", {evError, "Illegal character in numeric contant \"2 < 3\""}},
        // a sign after a blank is an operator with nothing before it; parentheses give the negative number
        {"2 > -1", {evError, "Error in expression : "}},
        {"2 > (-1)", {evBoolean, "True"}},
        // OR and AND need a blank on both sides; tabs are ordinary characters
        {"TRUE or\tFALSE", {evError, "Unknown function : TRUE or\tFALSE"}},
    });
}

TEST(ExprLanguage, CoercionOfMixedOperands) {
    expectAll({
        {"1 = '1'", {evBoolean, "True"}},
        {"1 + 2.5", {evFloat, f("3.5")}},
        {"2.5 + 1", {evFloat, f("3.5")}},
        {"1 < 2.5", {evBoolean, "True"}},
        {"'No. ' + 5", {evString, "No. 5"}},
        {"'x' + 1.5", {evString, "x" + f("1.5")}},
        {"TRUE + 1", {evString, "True1"}},
        {"TRUE = 'True'", {evBoolean, "True"}},
        {"0.1 + 0.2 = 0.3", {evBoolean, "False"}},
        {"'' + (0.1 + 0.2)", {evString, f("0.3")}},
    });
}

TEST(ExprLanguage, Comparisons) {
    expectAll({
        {"'A' < 'a'", {evBoolean, "True"}},
        {"'abc' = 'ABC'", {evBoolean, "False"}},
        {"'ab' < 'abc'", {evBoolean, "True"}},
        {"'abc' <> 'abd'", {evBoolean, "True"}},
        {"'b' >= 'abc'", {evBoolean, "True"}},
        {"2 <= 2", {evBoolean, "True"}},
        {"-2 < (-1)", {evBoolean, "True"}},
        {"1.5 >= 1.5", {evBoolean, "True"}},
        {"TRUE = TRUE", {evBoolean, "True"}},
        {"TRUE <> FALSE", {evBoolean, "True"}},
        {"NOT (1 = 2)", {evBoolean, "True"}},
        {"not(1 = 1)", {evBoolean, "False"}},
        {"NOT NOT (1 = 1)", {evBoolean, "True"}},
    });
}

// Texts order as their Windows-1250 bytes do, not as Unicode numbers them: Hungarian and Czech letters sit
// where the code page puts them, so group keys and MIN/MAX over titles follow the printed order of old files.
TEST(ExprLanguage, TextsOrderByTheirWindows1250Bytes) {
    expectAll({
        {"'Ő' < 'Ú'", {evBoolean, "True"}}, // D5 < DA, though U+0150 > U+00DA
        {"'Š' < 'á'", {evBoolean, "True"}}, // 8A < E1
        {"'ű' < 'ü'", {evBoolean, "True"}}, // FB < FC, though U+0171 > U+00FC
        {"'z' < 'á'", {evBoolean, "True"}}, // letters beyond ASCII come after it
        {"'Ő' >= 'Ú'", {evBoolean, "False"}},
        {"'árvíz' < 'árvíztűrő'", {evBoolean, "True"}},
        {"'Ő' = 'Ő'", {evBoolean, "True"}},
        {"'Ő' <= 'Ő'", {evBoolean, "True"}},
        // characters outside the code page come after all of it, in their own order
        {"'ž' < '€'", {evBoolean, "False"}}, // 9E > 80
        {"'ÿ' < '€'", {evBoolean, "False"}}, // U+00FF is not in the code page
        {"'€' < 'Ω'", {evBoolean, "True"}},
    });
}

TEST(ExprLanguage, OperatorMessages) {
    expectAll({
        {"7 / 0", {evError, "Cannot divide by 0"}},
        {"7.5 / 0.0", {evError, "Cannot divide by 0"}},
        {"TRUE + FALSE", {evError, "Cannot add boolean expressions"}},
        {"'a' - 'b'", {evError, "Cannot subtract string expressions"}},
        {"TRUE - FALSE", {evError, "Cannot subtract boolean expressions"}},
        {"'a' * 'b'", {evError, "Cannot multiply string expressions"}},
        {"TRUE * TRUE", {evError, "Cannot multiply boolean expressions"}},
        {"'a' / 'b'", {evError, "Cannot divide string expressions"}},
        {"TRUE / TRUE", {evError, "Cannot divide boolean expressions"}},
        {"TRUE < FALSE", {evError, "Operator < is not compatible with boolean expressions"}},
        {"TRUE >= FALSE", {evError, "Operator >= is not compatible with boolean expressions"}},
        {"1.5 or 2.5", {evError, "Operator OR is not compatible with numeric expressions"}},
        {"1.5 and 2.5", {evError, "Operator AND is not compatible with numeric expressions"}},
        {"'a' or 'b'", {evError, "Operator OR is not compatible with string expressions"}},
        {"'a' and 'b'", {evError, "Operator AND is not compatible with string expressions"}},
        {"NOT 5", {evError, "Invalid use of NOT"}},
        {"NOT (1/0)", {evError, "Invalid use of NOT"}},
        // the left operand's error wins
        {"(1/0) + FOO", {evError, "Cannot divide by 0"}},
        {"FOO + (1/0)", {evError, "Unknown function : FOO"}},
    });
}

TEST(ExprLanguage, IntegerAndBitwiseArithmetic) {
    expectAll({
        {"2147483647 + 1", {evInteger, "-2147483648"}},
        {"2147483647 * 2", {evInteger, "-2"}},
        {"65536 * 65536", {evInteger, "0"}},
        {"0 - 2147483647 - 2", {evInteger, "2147483647"}},
        {"3 or 4", {evInteger, "7"}},
        {"6 and 3", {evInteger, "2"}},
        {"TRUE or FALSE", {evBoolean, "True"}},
    });
}

TEST(ExprLanguage, Numbers) {
    expectAll({
        {"007", {evInteger, "7"}},
        {"2147483647", {evInteger, "2147483647"}},
        {"2147483648", {evFloat, "2147483648"}},
        {"99999999999", {evFloat, "99999999999"}},
        {"1.", {evFloat, "1"}},
        {"0.5e1", {evFloat, "5"}},
        {"12AB", {evError, "Illegal character in numeric contant \"12AB\""}},
        {"1.2.3", {evError, "Illegal character in numeric contant \"1.2.3\""}},
        {"1e400", {evError, "Illegal character in numeric contant \"1e400\""}},
    });
}

TEST(ExprLanguage, CompileFaultsBecomeValues) {
    expectAll({
        {"'abc", {evError, "Missing '"}},
        {"'", {evError, "Missing '"}},
        {"(1 + 2", {evError, "Missing )"}},
        {"(", {evError, "Missing )"}},
        {"[Name", {evError, "Missing ]"}},
        {"[", {evError, "Missing ]"}},
        {"#5", {evError, "Error in expression : #5"}},
        {"FOO(1)", {evError, "Unknown function : FOO"}},
        {"foo(1)", {evError, "Unknown function : FOO"}},
        {"foo", {evError, "Unknown function : foo"}},
        {"foo()", {evError, "Unknown function : foo"}},
        {"FOO(", {evError, "Unknown function : "}},
        {"[Some Name.With Dots]", {evError, "Unknown function : Some Name.With Dots"}},
        // A NOT needs a blank or a parenthesis after it.
        {"NOTE", {evError, "Unknown function : NOTE"}},
        {"nothing(1)", {evError, "Unknown function : NOTHING"}},
    });
}

// Faults the grammar leaves open get an orderly error instead of reading outside the text.
TEST(ExprLanguage, EmptyFactorsAreErrors) {
    expectAll({
        {"()", {evError, "Error in expression : "}},
        {"+", {evError, "Error in expression : "}},
        {"NOT", {evError, "Error in expression : "}},
        {"not  ", {evError, "Error in expression : "}},
        {"1 + ", {evError, "Error in expression : "}},
        {"2 * ( )", {evError, "Error in expression : "}},
        {"[]", {evError, "Unknown function : "}},
    });
    TQREvaluator evaluator;
    evaluator.Compile(QStringLiteral("IF(,1,2)"));
    ASSERT_GE(evaluator.Queue()->Items.size(), 2u);
    auto *error = dynamic_cast<TQREvElementError *>(evaluator.Queue()->Items[1].get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message, QStringLiteral("Error in expression : "));
}

TEST(ExprLanguage, TextsAreBoundTo255Characters) {
    const QString a300(300, QLatin1Char('a'));
    EXPECT_EQ(evaluateOnce(QLatin1Char('\'') + a300 + QLatin1Char('\'')).Text.size(), 255);
    const QString b200(200, QLatin1Char('b'));
    const TQREvValue joined = evaluateOnce(QStringLiteral("'%1' + '%1'").arg(b200));
    EXPECT_EQ(joined.Text, QString(255, QLatin1Char('b')));
    EXPECT_EQ(evaluateOnce(QLatin1Char('#') + a300).Text.size(), 255);
    // a surrogate pair is never cut in half
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    const TQREvValue v = evaluateOnce(QLatin1Char('\'') + QString(254, QLatin1Char('x')) + pair + QLatin1Char('\''));
    EXPECT_EQ(v.Text, QString(254, QLatin1Char('x')));
}

// The nesting limit keeps the stack safe; what meets it is told so, not blamed on a valid factor.
TEST(ExprLanguage, DeepNestingIsRefusedNotACrash) {
    const Expected tooDeep{evError, "Expression too deeply nested"};
    const QString deep = QString(5000, QLatin1Char('(')) + QLatin1Char('1') + QString(5000, QLatin1Char(')'));
    EXPECT_TRUE(valueIs(evaluateOnce(deep), tooDeep));
    QStringList ones(300, QStringLiteral("1"));
    EXPECT_TRUE(valueIs(evaluateOnce(ones.join(QLatin1Char('+'))), {evInteger, "300"}));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringList(1000, QStringLiteral("1")).join(QLatin1Char('+'))), tooDeep));
    EXPECT_TRUE(valueIs(evaluateOnce(QStringList(1000, QStringLiteral("2")).join(QLatin1Char('*'))), tooDeep));
    EXPECT_EQ(evaluateOnce(QString(4000, QLatin1Char('-')) + QLatin1Char('1')).Kind, evError);
}

TEST(ExprEvaluator, CompiledFormIsPrefixOrder) {
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("A"), ftInteger}, {QStringLiteral("B"), ftInteger}},
                       {{2, 5}});
    data.Open();
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    evaluator.Compile(QStringLiteral("A + B * 2"));
    const auto &items = evaluator.Queue()->Items;
    ASSERT_EQ(items.size(), 5u);
    auto op = [&](size_t i) { return dynamic_cast<TQREvElementOperator *>(items[i].get()); };
    auto field = [&](size_t i) { return dynamic_cast<TQREvElementDataField *>(items[i].get()); };
    ASSERT_TRUE(op(0) && op(2) && field(1) && field(3));
    EXPECT_EQ(op(0)->Operation, opPlus);
    EXPECT_EQ(field(1)->FieldIndex, 0);
    EXPECT_EQ(op(2)->Operation, opMul);
    EXPECT_EQ(field(3)->FieldIndex, 1);
    auto *two = dynamic_cast<TQREvElementConstant *>(items[4].get());
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->StoredValue.IntegerValue, 2);
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "12"}));

    evaluator.Compile(QStringLiteral("IF(TRUE, 1, 2)"));
    ASSERT_EQ(evaluator.Queue()->Items.size(), 6u); // IF, TRUE, end of TRUE, 1, 2, end of IF
    EXPECT_TRUE(evaluator.Queue()->Items[2]->isArgumentEnd());
    EXPECT_TRUE(evaluator.Queue()->Items[5]->isArgumentEnd());
}

TEST(ExprEvaluator, LifecycleAndNotPrepared) {
    TQREvaluator evaluator;
    EXPECT_FALSE(evaluator.IsCompiled());
    try {
        evaluator.Evaluate();
        FAIL() << "no exception";
    } catch (const EQRExprError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Evaluator not prepared"));
    }
    EXPECT_THROW(evaluator.Accumulate(), EQRExprError);
    evaluator.Compile(QStringLiteral("1"));
    evaluator.Compile(QStringLiteral("2")); // recompiling discards the old queue
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "2"}));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "2"}));
    const int prepared = GlobalEnvironment()->PrepareCount();
    evaluator.Discard();
    evaluator.Discard(); // a second discard releases nothing
    EXPECT_EQ(GlobalEnvironment()->PrepareCount(), prepared - 1);
    EXPECT_FALSE(evaluator.IsCompiled());
    EXPECT_EQ(evaluator.Queue(), nullptr);
    EXPECT_TRUE(valueIs(evaluator.EvaluateOnce(QStringLiteral("'x'")), {evString, "x"}));
    EXPECT_FALSE(evaluator.IsCompiled());
}

// A subclass resolves names its own way; one that appends nothing leaves an empty queue.
class SilentNames : public TQREvaluator {
public:
    void HandleName(const QString &name) override { names << name; }
    QStringList names;
};

TEST(ExprEvaluator, SubclassHandlesNamesAndEmptyQueue) {
    SilentNames evaluator;
    evaluator.Compile(QStringLiteral("Whatever"));
    EXPECT_EQ(evaluator.names, QStringList{QStringLiteral("Whatever")});
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evError, ""}));
}

TEST(ExprEvaluator, DatasetListOwnership) {
    TQREvaluator evaluator;
    EXPECT_FALSE(evaluator.HasDatasetList());
    TQRDataSetList *own = evaluator.DatasetList();
    EXPECT_EQ(evaluator.DatasetList(), own);
    TQRDataSetList shared;
    evaluator.SetDatasetList(&shared); // the own list is freed (the sanitizer build would see a leak or reuse)
    EXPECT_EQ(evaluator.DatasetList(), &shared);
    evaluator.SetDatasetList(nullptr);
    EXPECT_FALSE(evaluator.HasDatasetList());
}

} // namespace

namespace {

// The value of walking the compiled queue element by element, without any shortcut.
TQREvValue walkQueue(TQREvaluator &evaluator) {
    TQRFiFo &queue = *evaluator.Queue();
    queue.Rewind();
    TQREvValue value;
    qrEvaluateElement(*queue.Next(), queue, value);
    return value;
}

// Numeric expressions take a shortcut past the queue; it must agree with the queue walk everywhere,
// including where it hands over (texts, errors, mixed pairs, division by zero).
TEST(ExprEvaluator, NumericShortcutAgreesWithTheQueue) {
    MemoryDataSet data(QStringLiteral("Q"),
                       {{QStringLiteral("I"), ftInteger},
                        {QStringLiteral("F"), ftFloat},
                        {QStringLiteral("B"), ftBoolean},
                        {QStringLiteral("S"), ftString}},
                       {{7, 2.5, true, QStringLiteral("x")},
                        {0, 0.0, false, QString()},
                        {QVariant(), QVariant(), QVariant(), QVariant()},
                        {-2147483647, -1e300, true, QStringLiteral("12")}});
    data.Open();
    const char *expressions[] = {
        "I + F * 2",
        "I / I",
        "F / 0",
        "I / 0",
        "I * 2147483647",
        "(I > 3) and B",
        "NOT B",
        "NOT I",
        "B = TRUE",
        "B < FALSE",
        "I + B",
        "I + S",
        "S = '12'",
        "F or 1",
        "I or 3",
        "IF(B, I, F)",
        "IF(I, 1, 2)",
        "IF(B, 'a', 1)",
        "IF(F > 1, F * 2, 0) + 1",
        "1 / 3 = 0.333333333333333",
        "-I - -2",
        "(I <> 7) or (F >= 2.5)",
        "7 and 3.5",
    };
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    for (const char *text : expressions) {
        evaluator.Compile(QString::fromLatin1(text));
        for (data.First(); !data.Eof(); data.Next()) {
            SCOPED_TRACE(std::string(text) + " at record " + std::to_string(data.RecNo()));
            const TQREvValue fast = evaluator.Evaluate();
            const TQREvValue walked = walkQueue(evaluator);
            EXPECT_EQ(fast.Kind, walked.Kind);
            EXPECT_EQ(qrexpr::valueText(fast), qrexpr::valueText(walked));
        }
    }
}

// The shortcut's fused steps (a field or constant taken with its operator, a field read once however often it
// is named) and its limits (nesting, number of fields) against the walk.
TEST(ExprEvaluator, NumericShortcutStepsAgreeWithTheQueue) {
    QList<MemoryDataSet::ColumnDef> columns = {
        {QStringLiteral("I"), ftInteger}, {QStringLiteral("F"), ftFloat}, {QStringLiteral("B"), ftBoolean}};
    QVariantList first = {7, 2.5, true};
    QVariantList second = {0, -0.5, false};
    QStringList many;
    for (int i = 0; i < 18; ++i) {
        columns.append({QStringLiteral("C%1").arg(i), ftInteger});
        first.append(i);
        second.append(-i);
        many << QStringLiteral("C%1").arg(i);
    }
    MemoryDataSet data(QStringLiteral("Q"), columns, {first, second, QVariantList(columns.size())});
    data.Open();
    QString deep = QStringLiteral("I");
    for (int i = 0; i < 40; ++i)
        deep = QStringLiteral("I + (%1)").arg(deep);
    const QStringList expressions = {
        QStringLiteral("I + F"),
        QStringLiteral("F - I"),
        QStringLiteral("I * I + I"),
        QStringLiteral("F > 2"),
        QStringLiteral("I >= 7"),
        QStringLiteral("I <= 0"),
        QStringLiteral("F = 2.5"),
        QStringLiteral("F <> 2.5"),
        QStringLiteral("B = B"),
        QStringLiteral("B <> FALSE"),
        QStringLiteral("B > B"),
        QStringLiteral("I or I"),
        QStringLiteral("B and B"),
        QStringLiteral("F and 1"),
        QStringLiteral("B or 1"),
        QStringLiteral("NOT (I > 3)"),
        QStringLiteral("NOT NOT B"),
        QStringLiteral("IF(I > 3, I, F) * 2"),
        QStringLiteral("IF(B, B, I)"),
        QStringLiteral("IF(I > 3, 1, 0) + IF(F > 1, 2.5, 0)"),
        QStringLiteral("I / F"),
        QStringLiteral("F / I"),
        QStringLiteral("(I + 1) / (I - 7)"),
        QStringLiteral("2147483647 + I"),
        QStringLiteral("I * 2147483647 * I"),
        QStringLiteral("-I"),
        QStringLiteral("1 / 2 = 0.5"),
        deep,
        many.join(QStringLiteral(" + ")),
    };
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    for (const QString &text : expressions) {
        evaluator.Compile(text);
        for (data.First(); !data.Eof(); data.Next()) {
            SCOPED_TRACE(text.left(40).toStdString() + " at record " + std::to_string(data.RecNo()));
            const TQREvValue fast = evaluator.Evaluate();
            const TQREvValue walked = walkQueue(evaluator);
            EXPECT_EQ(fast.Kind, walked.Kind);
            EXPECT_EQ(qrexpr::valueText(fast), qrexpr::valueText(walked));
        }
    }
    evaluator.Compile(many.join(QStringLiteral(" + ")));
    data.First();
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evInteger, "153"}));
}

// Texts joined by the text shortcut against the walk: literal, STR and number pieces, the cut at every join
// (long texts, a surrogate pair at the bound), and constant entries that stop being numbers or go away.
TEST(ExprEvaluator, TextShortcutAgreesWithTheQueue) {
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("I"), ftInteger}, {QStringLiteral("F"), ftFloat}},
                       {{7, 2.5}, {0, -0.125}, {QVariant(), QVariant()}});
    data.Open();
    TQREvEnvironment functions;
    functions.AddEntry(QStringLiteral("P"), QStringLiteral("3"));
    functions.PrepareAll();
    const QString y254(254, QLatin1Char('y'));
    const QString x200(200, QLatin1Char('x'));
    const QStringList expressions = {
        QStringLiteral("'No ' + STR(I)"),
        QStringLiteral("'a' + I + 1"),
        QStringLiteral("I + 1 + 'a'"),
        QStringLiteral("'a' + (I > 3) + STR(F)"),
        QStringLiteral("STR(F * 2) + ' ' + STR(I / 0)"),
        QStringLiteral("'p' + STR(P) + P + 'q'"),
        QStringLiteral("'k' + '%1' + '%2zz'").arg(y254, pair),
        QStringLiteral("'%1' + ('%2' + '%3') + 'w'").arg(x200, QString(54, QLatin1Char('y')), pair),
        QStringLiteral("('%1' + '%2') + 'w'").arg(y254, pair),
        QStringLiteral("'%1%2' + STR(I)").arg(y254, pair),
    };
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    evaluator.SetOwnEnvironment(&functions);
    const auto agree = [&](const QString &text) {
        for (data.First(); !data.Eof(); data.Next()) {
            SCOPED_TRACE(text.left(40).toStdString() + " at record " + std::to_string(data.RecNo()));
            const TQREvValue fast = evaluator.Evaluate();
            const TQREvValue walked = walkQueue(evaluator);
            EXPECT_EQ(fast.Kind, walked.Kind);
            EXPECT_EQ(fast.Text, walked.Text);
        }
    };
    for (const QString &text : expressions) {
        evaluator.Compile(text);
        agree(text);
    }
    // a constant's text set past the bound from outside still joins as the walk joins it
    evaluator.Compile(QStringLiteral("'x' + ('y' + STR(I))"));
    for (const auto &element : evaluator.Queue()->Items)
        if (element->isString())
            static_cast<TQREvElementString &>(*element).Text = QString(5000, QLatin1Char('z'));
    agree(QStringLiteral("long constants"));
    evaluator.Compile(QStringLiteral("'p' + STR(P) + P"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evString, "p33"}));
    TQREvEnvironment::StoreValue(functions.FindConstant(QStringLiteral("P")), TQREvValue::string(QStringLiteral("s")));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evError, "Conversion error"}));
    evaluator.Compile(QStringLiteral("'p' + P"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evString, "ps"}));
    functions.RemoveEntry(QStringLiteral("P"));
    EXPECT_TRUE(valueIs(evaluator.Evaluate(), {evError, "Unknown function : P"}));
    evaluator.Discard();
    functions.ReleaseAll();
}

// Texts made per record are written into buffers the elements reuse: a value still held must keep its text,
// and the digits and the cut must be those of the general path.
TEST(ExprEvaluator, TextsMadePerRecordStayWithTheirValues) {
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString z250(250, QLatin1Char('z'));
    MemoryDataSet data(QStringLiteral("Q"), {{QStringLiteral("I"), ftInteger}, {QStringLiteral("S"), ftString}},
                       {{0, QString(254, QLatin1Char('x'))},
                        {-1, QStringLiteral("a")},
                        {10, QString()},
                        {100, QStringLiteral("b")},
                        {2147483647, QString(253, QLatin1Char('y'))},
                        {qlonglong(-2147483648LL), pair}});
    data.Open();
    const struct {
        QString text;
        std::function<QString(const QString &s, const QString &i)> whole; // before the cut
    } cases[] = {
        {QStringLiteral("'No ' + STR(I)"), [](const QString &, const QString &i) { return QStringLiteral("No ") + i; }},
        {QStringLiteral("S + STR(I)"), [](const QString &s, const QString &i) { return s + i; }},
        {QStringLiteral("S + '%1'").arg(pair), [&](const QString &s, const QString &) { return s + pair; }},
        {QStringLiteral("'%1' + S").arg(z250), [&](const QString &s, const QString &) { return z250 + s; }},
    };
    TQREvaluator evaluator;
    evaluator.DatasetList()->Add(&data);
    for (const auto &c : cases) {
        evaluator.Compile(c.text);
        QList<TQREvValue> held;
        for (data.First(); !data.Eof(); data.Next())
            held << evaluator.Evaluate();
        int row = 0;
        for (data.First(); !data.Eof(); data.Next(), ++row) {
            SCOPED_TRACE(c.text.left(20).toStdString() + " at record " + std::to_string(row + 1));
            const QString s = data.FieldByName(QStringLiteral("S"))->AsString();
            const QString i = QString::number(data.FieldByName(QStringLiteral("I"))->AsInteger());
            EXPECT_EQ(held[row].Kind, evString);
            EXPECT_EQ(held[row].Text, qrexpr::cutText(c.whole(s, i)));
            EXPECT_EQ(held[row].Text, walkQueue(evaluator).Text);
        }
    }
}

} // namespace
