// The text an expression control prints for each kind of value, and the money masks.
#include "report/controls/ExprText.h"

#include "report/expr/FormatFloat.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using qrcontrols::ExprValueText;
using qrcontrols::FormatMoneyMask;

namespace {

std::optional<QString> money(const QString &mask, double value, const QLocale &locale) {
    QString out = QStringLiteral("untouched");
    if (!FormatMoneyMask(mask, value, locale, out)) {
        EXPECT_EQ(out, QStringLiteral("untouched")) << mask.toStdString();
        return std::nullopt;
    }
    return out;
}

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale hu(QLocale::Hungarian, QLocale::Hungary);

} // namespace

TEST(ExprText, ValuesPrintByKind) {
    EXPECT_EQ(ExprValueText(TQREvValue::floating(1234.5), QStringLiteral("#,##0.00")), loc("1,234.50"));
    EXPECT_EQ(ExprValueText(TQREvValue::integer(1234), QStringLiteral("#,##0.00")), loc("1,234.00"));
    EXPECT_EQ(ExprValueText(TQREvValue::integer(-7), QString()), QStringLiteral("-7"));
    EXPECT_EQ(ExprValueText(TQREvValue::integer(std::numeric_limits<qint32>::min()), QString()),
              QStringLiteral("-2147483648"));
    EXPECT_EQ(ExprValueText(TQREvValue::floating(2.5), QString()), loc("2.5"));
    EXPECT_EQ(ExprValueText(TQREvValue::boolean(true), QStringLiteral("0.00")), QStringLiteral("True"));
    EXPECT_EQ(ExprValueText(TQREvValue::boolean(false), QString()), QStringLiteral("False"));
    // Texts are never masks' business, not even a text that looks like a number.
    EXPECT_EQ(ExprValueText(TQREvValue::string(QStringLiteral("12")), QStringLiteral("0.00")), QStringLiteral("12"));
    EXPECT_EQ(ExprValueText(TQREvValue::string(QStringLiteral(" ")), QString()), QStringLiteral(" "));
    EXPECT_EQ(ExprValueText(TQREvValue::error(QStringLiteral("Unknown field")), QStringLiteral("%m")),
              QStringLiteral("Unknown field"));

    EXPECT_EQ(qrcontrols::ExpressionCaption(QString()), QStringLiteral("(none)"));
    EXPECT_EQ(qrcontrols::ExpressionCaption(QStringLiteral("SUM(Q.AMOUNT)")), QStringLiteral("SUM(Q.AMOUNT)"));
}

TEST(ExprText, MoneyMaskAppliesToFloatsOnly) {
    // The same mask: an integer reads it as a picture (its zeros are placeholders, "%m" is text); a float
    // reads it as a money mask (its zeros are text).
    const QString mask = QStringLiteral("0.00 %m");
    EXPECT_EQ(ExprValueText(TQREvValue::integer(7), mask), loc("7.00 %m"));
    const QString asFloat = ExprValueText(TQREvValue::floating(7.5), mask);
    EXPECT_EQ(asFloat, QStringLiteral("0.00 ") + QLocale::system().toCurrencyString(7.5));
    EXPECT_NE(asFloat, loc("7.50 %m"));
    // A mask without "%m" is a picture mask for floats too, even with other percent signs in it.
    EXPECT_EQ(ExprValueText(TQREvValue::floating(12), QStringLiteral("0 %")), QStringLiteral("12 %"));
}

TEST(ExprText, MoneyFormsFollowTheLocale) {
    EXPECT_EQ(money(QStringLiteral("%m"), 1234.5, us), QStringLiteral("$1,234.50"));
    EXPECT_EQ(money(QStringLiteral("%m"), -1234.5, us), QStringLiteral("($1,234.50)"));
    EXPECT_EQ(money(QStringLiteral("%m"), 1234.5, hu), QStringLiteral("1\u00a0234,50\u00a0Ft"));
    EXPECT_EQ(money(QStringLiteral("%.0m"), 1234.5, us), QStringLiteral("$1,235"));
    EXPECT_EQ(money(QStringLiteral("%M"), 0.125, us), QStringLiteral("$0.13"));
    EXPECT_EQ(money(QStringLiteral("Total: %m."), 2, us), QStringLiteral("Total: $2.00."));
    EXPECT_EQ(money(QStringLiteral("[%12m]"), 1234.5, us), QStringLiteral("[   $1,234.50]"));
    EXPECT_EQ(money(QStringLiteral("[%-12m]"), 1234.5, us), QStringLiteral("[$1,234.50   ]"));
    EXPECT_EQ(money(QStringLiteral("[%3m]"), 1234.5, us), QStringLiteral("[$1,234.50]")); // never cut
    EXPECT_EQ(money(QStringLiteral("%0:m=%0:m"), 1, us), QStringLiteral("$1.00=$1.00"));
    EXPECT_EQ(money(QStringLiteral("%m=%0:m"), 1, us), QStringLiteral("$1.00=$1.00"));
    EXPECT_EQ(money(QStringLiteral("100%% %m"), 3, us), QStringLiteral("100% $3.00"));
    EXPECT_EQ(money(QStringLiteral("%%m"), 3, us), QStringLiteral("%m"));
    EXPECT_EQ(money(QStringLiteral("%.18m"), 1, us)->size(), 21);
}

TEST(ExprText, AnythingButMoneyFormsPrintsTheGeneralFormat) {
    // Each of these would take a second value, or a value of another type, from a printf-style routine.
    const char *hostile[] = {"%m %s",    "%s%m",
                             "%d %m",    "%n%m",
                             "%m%m",     "%m %1:m",
                             "%0:m %m",  "%m %*m",
                             "%m %.*m",  "%m%",
                             "%m %-",    "%m %256m",
                             "%m %.19m", "%m %5:m",
                             "%m %p",    "%m %x",
                             "%m %:m",   "%m %--5m",
                             "%m%ls",    "%m %lf",
                             "%m %e",    "%m %99999999999999999999m"};
    for (const char *mask : hostile) {
        SCOPED_TRACE(mask);
        EXPECT_FALSE(money(QString::fromLatin1(mask), 1234.5, us).has_value());
        EXPECT_EQ(ExprValueText(TQREvValue::floating(1234.5), QString::fromLatin1(mask)), loc("1234.5"));
    }
    // Values a money form cannot show print in the general format too.
    EXPECT_EQ(ExprValueText(TQREvValue::floating(std::numeric_limits<double>::infinity()), QStringLiteral("%m")),
              qrexpr::floatText(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(ExprValueText(TQREvValue::floating(std::nan("")), QStringLiteral("%m")), qrexpr::floatText(std::nan("")));
}

TEST(ExprText, AMaskThePictureFormatterRefusesPrintsTheGeneralFormat) {
    const QString tooLong = QStringLiteral("0.00") + QString(230, QLatin1Char('#'));
    QString unused;
    ASSERT_FALSE(qrexpr::formatFloatMask(tooLong, 1, unused));
    EXPECT_EQ(ExprValueText(TQREvValue::integer(42), tooLong), QStringLiteral("42"));
    EXPECT_EQ(ExprValueText(TQREvValue::floating(0.25), tooLong), loc("0.25"));
    // Long money masks are not refused for their length: the text around the form is the user's.
    const QString longMoney = QString(300, QLatin1Char('x')) + QStringLiteral("%m");
    EXPECT_EQ(ExprValueText(TQREvValue::floating(1), longMoney).size(),
              300 + QLocale::system().toCurrencyString(1.0).size());
}
