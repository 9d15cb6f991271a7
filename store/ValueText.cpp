#include "store/ValueText.h"

#include <QLocale>

QString floatText(double value) {
    QString s = QString::number(value, 'g', 15);
    const QString dec = QLocale::system().decimalPoint();
    if (dec != QLatin1String("."))
        s.replace(QLatin1Char('.'), dec);
    return s;
}
