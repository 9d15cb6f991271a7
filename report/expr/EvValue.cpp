#include "report/expr/EvValue.h"

#include <QLocale>

TQREvValue TQREvValue::integer(qint32 value) {
    TQREvValue v;
    v.Kind = evInteger;
    v.IntegerValue = value;
    return v;
}

TQREvValue TQREvValue::floating(double value) {
    TQREvValue v;
    v.Kind = evFloat;
    v.FloatValue = value;
    return v;
}

TQREvValue TQREvValue::string(const QString &text) {
    TQREvValue v;
    v.Kind = evString;
    v.Text = qrexpr::cutText(text);
    return v;
}

TQREvValue TQREvValue::boolean(bool value) {
    TQREvValue v;
    v.Kind = evBoolean;
    v.BooleanValue = value;
    return v;
}

TQREvValue TQREvValue::error(const QString &message) {
    TQREvValue v;
    v.Kind = evError;
    v.Text = qrexpr::cutText(message);
    return v;
}

namespace qrexpr {

QString cutText(const QString &text) {
    if (text.size() <= TQREvValue::MaxTextLength)
        return text;
    qsizetype n = TQREvValue::MaxTextLength;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QString floatText(double value) {
    QString s = QString::number(value, 'g', 15);
    const QString dec = QLocale::system().decimalPoint();
    if (dec != QLatin1String("."))
        s.replace(QLatin1Char('.'), dec);
    return s;
}

QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString valueText(const TQREvValue &value) {
    switch (value.Kind) {
    case evInteger:
        return QString::number(value.IntegerValue);
    case evFloat:
        return floatText(value.FloatValue);
    case evBoolean:
        return booleanText(value.BooleanValue);
    case evString:
    case evError:
        return value.Text;
    }
    return {};
}

QString kindName(TQREvKind kind) {
    switch (kind) {
    case evInteger:
        return QStringLiteral("integer");
    case evFloat:
        return QStringLiteral("float");
    case evString:
        return QStringLiteral("string");
    case evBoolean:
        return QStringLiteral("boolean");
    case evError:
        return QStringLiteral("error");
    }
    return {};
}

} // namespace qrexpr
