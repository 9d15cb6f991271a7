// Texts of values shared by fields and expressions.
#include "store/ValueText.h"

#include <QLocale>
#include <QTime>

#include <gtest/gtest.h>

TEST(ValueText, TimeFormatsLoseOnlyTheirZone) {
    const struct {
        const char *format, *expected;
    } cases[] = {
        // clang-format off
        {"HH:mm:ss t", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"HH:mm:ss", "HH:mm:ss"},
        {"HH 'o''clock' t", "HH 'o''clock'"},
        {"'at' HH:mm 't' t", "'at' HH:mm 't'"},
        {"H.mm.ss (t)", "H.mm.ss ()"},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(withoutTimeZone(QString::fromLatin1(c.format)), QString::fromLatin1(c.expected)) << c.format;
    const QString text = longTimeText(QTime(22, 5, 0));
    EXPECT_TRUE(text.contains(QLatin1String("05"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("UTC")) || text.endsWith(QLatin1Char(' '))) << text.toStdString();
}

TEST(ValueText, FloatsInTheGeneralFormat) {
    const QString point = QLocale::system().decimalPoint();
    EXPECT_EQ(floatText(2.5), QStringLiteral("2") + point + QStringLiteral("5"));
    EXPECT_EQ(floatText(0.1 + 0.2), QStringLiteral("0") + point + QStringLiteral("3"));
    EXPECT_EQ(floatText(1e20), QStringLiteral("1e+20"));
    EXPECT_EQ(floatText(123456789012345678.0), QStringLiteral("1") + point + QStringLiteral("23456789012346e+17"));
    EXPECT_EQ(floatText(-0.00001), QStringLiteral("-1e-05"));
}
