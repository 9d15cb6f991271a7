#include "report/controls/ExprText.h"

#include "report/expr/FormatFloat.h"

#include <cmath>

namespace qrcontrols {

namespace {

constexpr int kMaxMoneyWidth = 255;
constexpr int kMaxMoneyDecimals = 18;

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a run of digits at `i` into `number`; false when it grows past `limit`.
bool readNumber(const QString &s, qsizetype &i, int limit, int &number) {
    number = 0;
    while (i < s.size() && isAsciiDigit(s[i])) {
        number = number * 10 + (s[i].unicode() - '0');
        if (number > limit)
            return false;
        ++i;
    }
    return true;
}

} // namespace

QString ExpressionCaption(const QString &expression) {
    return expression.isEmpty() ? QStringLiteral("(none)") : expression;
}

bool FormatMoneyMask(const QString &mask, double value, const QLocale &locale, QString &out) {
    QString result;
    int nextArgument = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c != QLatin1Char('%')) {
            result += c;
            continue;
        }
        if (++i >= mask.size())
            return false;
        if (mask[i] == QLatin1Char('%')) {
            result += mask[i];
            continue;
        }
        // [index:][-][width][.decimals]m
        int number = 0;
        bool haveNumber = isAsciiDigit(mask[i]);
        if (!readNumber(mask, i, kMaxMoneyWidth, number) || i >= mask.size())
            return false;
        if (haveNumber && mask[i] == QLatin1Char(':')) {
            nextArgument = number;
            haveNumber = false;
            number = 0;
            if (++i >= mask.size())
                return false;
        }
        bool left = false;
        if (!haveNumber && mask[i] == QLatin1Char('-')) {
            left = true;
            if (++i >= mask.size())
                return false;
        }
        if (!haveNumber) {
            if (!readNumber(mask, i, kMaxMoneyWidth, number) || i >= mask.size())
                return false;
        }
        const int width = number;
        int decimals = -1;
        if (mask[i] == QLatin1Char('.')) {
            ++i;
            if (!readNumber(mask, i, kMaxMoneyDecimals, decimals) || i >= mask.size())
                return false;
        }
        if (mask[i] != QLatin1Char('m') && mask[i] != QLatin1Char('M'))
            return false; // not a money form: the value is a float, no other conversion takes it
        if (nextArgument != 0)
            return false; // there is one value only
        ++nextArgument;

        QString money = locale.toCurrencyString(value, locale.currencySymbol(), decimals);
        if (money.size() < width) {
            const QString fill(width - money.size(), QLatin1Char(' '));
            money = left ? money + fill : fill + money;
        }
        result += money;
    }
    out = result;
    return true;
}

QString ExprValueText(const TQREvValue &value, const QString &mask) {
    switch (value.Kind) {
    case evInteger:
    case evFloat: {
        const double number = value.Kind == evInteger ? double(value.IntegerValue) : value.FloatValue;
        QString text;
        if (value.Kind == evFloat && mask.contains(QLatin1String("%m"))) {
            if (std::isfinite(number) && FormatMoneyMask(mask, number, QLocale::system(), text))
                return text;
        } else if (qrexpr::formatFloatMask(mask, number, text)) {
            return text;
        }
        return value.Kind == evInteger ? QString::number(value.IntegerValue) : qrexpr::floatText(number);
    }
    case evBoolean:
        return qrexpr::booleanText(value.BooleanValue);
    case evString:
    case evError:
        return value.Text;
    }
    return {};
}

} // namespace qrcontrols
