// Picture masks of FORMATNUMERIC and the expression control.
#include "ExprTestSupport.h"

#include "report/expr/FormatFloat.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

QString format(const QString &mask, double value) {
    QString out = QStringLiteral("untouched");
    EXPECT_TRUE(qrexpr::formatFloatMask(mask, value, out)) << mask.toStdString();
    return out;
}

TEST(ExprFormatFloat, Placeholders) {
    const struct {
        const char *mask;
        double value;
        const char *expected;
    } cases[] = {
        {"0.00", 3.14159, "3.14"},
        {"0.00", 2, "2.00"},
        {"0.00", 2.005, "2.00"}, // 2.005 is a little below in binary
        {"0.##", 1, "1"},
        {"0.##", 1.5, "1.5"},
        {"#.##", 0.5, ".5"},
        {"#", 0, ""},
        {"000", 7, "007"},
        {"0", 2.4, "2"},
        {"0", 1234.6, "1235"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", 999, "999"},
        {"#,##0", 1000, "1,000"},
        {"000-0000", 5551234, "555-1234"},
        {"0.00", -1.5, "-1.50"},
        {"0.00", -0.001, "0.00"}, // rounds to nothing: no sign
        {"'Total: '0.0", 2, "Total: 2.0"},
        {"\"x\"0", 5, "x5"},
        {"0 %", 12, "12 %"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        EXPECT_EQ(format(QString::fromLatin1(c.mask), c.value), loc(c.expected));
    }
}

TEST(ExprFormatFloat, SectionsAndScientific) {
    const struct {
        const char *mask;
        double value;
        const char *expected;
    } cases[] = {
        {"0;(0);zero", 5, "5"},         {"0;(0);zero", -5, "(5)"},          {"0;(0);zero", 0, "zero"},
        {"0;;zero", -5, "-5"}, // an empty section falls back to the first
        {"0.0;", -2, "-2.0"},           {"0.00E+00", 12345, "1.23E+04"},    {"0.00E+00", 0.000123, "1.23E-04"},
        {"0.00E-00", 12345, "1.23E04"}, {"00.0e+0", 12345, "12.3e+3"},      {"0.00E+00", 0, "0.00E+00"},
        {"0.0E+00", 9.96, "1.0E+01"},   {"0E+00 0E+00", 12, "1E+00 2E+00"}, // a second marker is text
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        EXPECT_EQ(format(QString::fromLatin1(c.mask), c.value), loc(c.expected));
    }
}

TEST(ExprFormatFloat, GeneralFormatAndRefusal) {
    EXPECT_EQ(format(QString(), 2.5), qrexpr::floatText(2.5));
    EXPECT_EQ(format(QStringLiteral("0"), 1e19), qrexpr::floatText(1e19));
    EXPECT_EQ(format(QStringLiteral("0.00E+00"), 1e19), loc("1.00E+19"));
    EXPECT_EQ(format(QStringLiteral("0"), std::numeric_limits<double>::infinity()),
              qrexpr::floatText(std::numeric_limits<double>::infinity()));
    QString out = QStringLiteral("kept");
    EXPECT_FALSE(qrexpr::formatFloatMask(QString(225, QLatin1Char('0')), 1, out));
    EXPECT_EQ(out, QStringLiteral("kept"));
    EXPECT_TRUE(qrexpr::formatFloatMask(QString(224, QLatin1Char('#')), 1, out));
    EXPECT_EQ(out, QStringLiteral("1"));
}

} // namespace
