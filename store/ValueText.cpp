#include "store/ValueText.h"

#include <QLocale>
#include <QTime>

QString floatText(double value) {
    QString s = QString::number(value, 'g', 15);
    const QString dec = QLocale::system().decimalPoint();
    if (dec != QLatin1String("."))
        s.replace(QLatin1Char('.'), dec);
    return s;
}

QString withoutTimeZone(const QString &format) {
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            out += c;
            continue;
        }
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
    }
    return out.trimmed();
}

QString longTimeText(const QTime &time) {
    const QLocale locale = QLocale::system();
    return locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}
