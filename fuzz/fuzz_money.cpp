// Prints numbers through arbitrary masks as an expression field does, and through the money formatter in
// several locales. Seeds: fuzz/seeds/money.
//
// Input: one byte choosing the locale, eight bytes of a double (its bits also give an integer), then the mask
// as UTF-8. Nothing may crash or trip a sanitizer; a mask's money forms may only widen the text so far.
#include "report/controls/ExprText.h"

#include "report/expr/FormatFloat.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 9)
        return 0;
    static const QLocale locales[] = {
        QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Hungarian, QLocale::Hungary),
        QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Hindi, QLocale::India)};
    const QLocale &locale = locales[data[0] % (sizeof locales / sizeof locales[0])];
    double value;
    std::memcpy(&value, data + 1, sizeof value);
    qint32 integer;
    std::memcpy(&integer, data + 1, sizeof integer);
    const QString mask = QString::fromUtf8(reinterpret_cast<const char *>(data + 9), qsizetype(size - 9));

    QString money;
    if (qrcontrols::FormatMoneyMask(mask, value, locale, money)) {
        // Each form yields at most 255 characters of padding or one currency text (under 500 characters).
        if (money.size() > mask.size() * 500 + 500)
            __builtin_trap();
    }
    const QString asFloat = qrcontrols::ExprValueText(TQREvValue::floating(value), mask);
    qrcontrols::ExprValueText(TQREvValue::integer(integer), mask);
    // A float under a money mask prints the money text or, refused, the general format.
    if (mask.contains(QLatin1String("%m"))) {
        QString system;
        const bool taken = std::isfinite(value) && qrcontrols::FormatMoneyMask(mask, value, QLocale::system(), system);
        if (asFloat != (taken ? system : qrexpr::floatText(value)))
            __builtin_trap();
    }
    return 0;
}
