#include "report/expr/FormatFloat.h"

#include "report/expr/EvValue.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace qrexpr {

namespace {

constexpr int kMaxMaskLength = 225;

bool isQuote(QChar c) {
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}
bool isPlaceholder(QChar c) {
    return c == QLatin1Char('0') || c == QLatin1Char('#');
}

// Up to three sections split at ';' outside quotes.
QStringList sections(const QString &mask) {
    QStringList result;
    QString current;
    QChar quote;
    for (const QChar c : mask) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            result << current;
            current.clear();
            if (result.size() == 3)
                return result;
            continue;
        }
        current += c;
    }
    result << current;
    return result;
}

// The length of an exponent marker at i ("E+00"), 0 when there is none.
int exponentMarker(const QString &s, qsizetype i) {
    if (i + 2 >= s.size() || (s[i] != QLatin1Char('E') && s[i] != QLatin1Char('e')))
        return 0;
    if (s[i + 1] != QLatin1Char('+') && s[i + 1] != QLatin1Char('-'))
        return 0;
    qsizetype j = i + 2;
    while (j < s.size() && s[j] == QLatin1Char('0'))
        ++j;
    return j > i + 2 ? int(j - i) : 0;
}

// What a section asks for.
struct Picture {
    int integerPlaces = 0;    // digit placeholders before the decimal point
    int minIntegerDigits = 0; // placeholders from the first '0' before the point on
    int decimals = 0;         // placeholders after the point
    int minDecimals = 0;      // up to the last '0' after the point
    bool point = false;
    bool grouping = false;
    bool scientific = false;
    QChar exponentChar;
    bool exponentAlwaysSigned = false;
    int exponentDigits = 0;
};

Picture analyse(const QString &section) {
    Picture p;
    int firstZero = -1;
    QChar quote;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
        } else if (isPlaceholder(c)) {
            if (p.point) {
                ++p.decimals;
                if (c == QLatin1Char('0'))
                    p.minDecimals = p.decimals;
            } else {
                if (c == QLatin1Char('0') && firstZero < 0)
                    firstZero = p.integerPlaces;
                ++p.integerPlaces;
            }
        } else if (c == QLatin1Char('.')) {
            p.point = true;
        } else if (c == QLatin1Char(',')) {
            p.grouping = true;
        } else if (const int marker = exponentMarker(section, i); marker > 0) {
            if (!p.scientific) {
                p.scientific = true;
                p.exponentChar = c;
                p.exponentAlwaysSigned = section[i + 1] == QLatin1Char('+');
                p.exponentDigits = marker - 2;
            }
            i += marker - 1;
        }
    }
    p.minIntegerDigits = firstZero < 0 ? 0 : p.integerPlaces - firstZero;
    return p;
}

// The digits to show: integer digits, fraction digits, and the exponent text in scientific notation.
struct Digits {
    QString integer;
    QString fraction;
    QString exponent;
};

Digits fixedDigits(double magnitude, int decimals) {
    const QString text = QString::number(magnitude, 'f', decimals);
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    return {dot < 0 ? text : text.left(dot), dot < 0 ? QString() : text.mid(dot + 1), QString()};
}

// As many digits before the point as the picture has places there; the exponent makes up the rest.
Digits scientificDigits(double magnitude, const Picture &p) {
    Digits d;
    int exponent = 0;
    if (magnitude == 0) {
        d.integer = QStringLiteral("0");
        d.fraction = QString(p.decimals, QLatin1Char('0'));
    } else {
        const int significant = std::max(p.integerPlaces + p.decimals, 1);
        const QString text = QString::number(magnitude, 'e', significant - 1); // d.ddde+XX, correctly rounded
        const qsizetype e = text.indexOf(QLatin1Char('e'));
        const QString mantissa = text.left(e).remove(QLatin1Char('.'));
        const int power = text.mid(e + 1).toInt();
        if (p.integerPlaces > 0) {
            d.integer = mantissa.left(p.integerPlaces);
            d.fraction = mantissa.mid(p.integerPlaces);
            exponent = power - (p.integerPlaces - 1);
        } else {
            d.fraction = mantissa;
            exponent = power + 1;
        }
    }
    QString digits = QString::number(std::abs(exponent));
    while (digits.size() < p.exponentDigits)
        digits.prepend(QLatin1Char('0'));
    const QString sign = exponent < 0 ? QStringLiteral("-") : p.exponentAlwaysSigned ? QStringLiteral("+") : QString();
    d.exponent = QString(p.exponentChar) + sign + digits;
    return d;
}

QString render(const QString &section, const Picture &p, Digits d, const QLocale &locale) {
    if (d.integer == QLatin1String("0"))
        d.integer.clear();
    while (d.integer.size() < p.minIntegerDigits)
        d.integer.prepend(QLatin1Char('0'));
    while (d.fraction.size() > p.minDecimals && d.fraction.endsWith(QLatin1Char('0')))
        d.fraction.chop(1);

    const QString &integer = d.integer;
    const qsizetype digitCount = integer.size();
    const QString group = locale.groupSeparator();
    QString out;
    auto emitDigit = [&](qsizetype j) {
        if (j < 0 || j >= digitCount)
            return;
        out += integer[j];
        const qsizetype fromRight = digitCount - 1 - j;
        if (p.grouping && fromRight > 0 && fromRight % 3 == 0)
            out += group;
    };
    // Integer digits go right-aligned into the integer placeholders; extra ones go before the first of them.
    int integerIndex = 0;
    int fractionIndex = 0;
    bool integerShown = false;
    bool inFraction = false;
    bool exponentShown = false;
    QChar quote;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
        } else if (isQuote(c)) {
            quote = c;
        } else if (isPlaceholder(c) && !inFraction) {
            const qsizetype j = integerIndex - (p.integerPlaces - digitCount);
            if (j >= 0)
                for (qsizetype k = integerIndex == 0 ? 0 : j; k <= j; ++k)
                    emitDigit(k);
            integerShown = true;
            ++integerIndex;
        } else if (isPlaceholder(c)) {
            if (fractionIndex < d.fraction.size())
                out += d.fraction[fractionIndex];
            ++fractionIndex;
        } else if (c == QLatin1Char('.') && !inFraction) {
            if (!integerShown)
                for (qsizetype k = 0; k < digitCount; ++k)
                    emitDigit(k);
            integerShown = true;
            inFraction = true;
            if (!d.fraction.isEmpty())
                out += locale.decimalPoint();
        } else if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            // the grouping flag, or a second point: nothing to show
        } else if (const int marker = exponentMarker(section, i); marker > 0) {
            // the first marker shows the exponent; later ones are text (their zeros are no placeholders)
            out += exponentShown ? section.mid(i, marker) : d.exponent;
            exponentShown = true;
            i += marker - 1;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool formatFloatMask(const QString &mask, double value, QString &out) {
    if (mask.size() >= kMaxMaskLength)
        return false;
    if (mask.isEmpty() || !std::isfinite(value)) {
        out = floatText(value);
        return true;
    }
    const QStringList parts = sections(mask);
    QString section = parts[0];
    bool minus = false;
    if (value < 0) {
        if (parts.size() > 1 && !parts[1].isEmpty())
            section = parts[1];
        else
            minus = true;
    } else if (value == 0 && parts.size() > 2 && !parts[2].isEmpty()) {
        section = parts[2];
    }
    const Picture p = analyse(section);
    const double magnitude = std::fabs(value);
    if (!p.scientific && magnitude >= 1e18) {
        out = floatText(value);
        return true;
    }
    const Digits digits = p.scientific ? scientificDigits(magnitude, p) : fixedDigits(magnitude, p.decimals);
    const QLocale locale = QLocale::system();
    QString text = render(section, p, digits, locale);
    // A value that rounds to nothing shows no sign.
    const bool nothing =
        std::all_of(digits.integer.begin(), digits.integer.end(), [](QChar c) { return c == QLatin1Char('0'); }) &&
        std::all_of(digits.fraction.begin(), digits.fraction.end(), [](QChar c) { return c == QLatin1Char('0'); });
    if (minus && !nothing)
        text.prepend(locale.negativeSign());
    out = text;
    return true;
}

} // namespace qrexpr
