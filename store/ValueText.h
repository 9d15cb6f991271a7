#pragma once

#include <QString>

class QTime;

/// A float as text in the general format: up to 15 significant digits, exponent form where that format
/// takes it, the locale's decimal separator. A float field's text and the expression language's STR both
/// write floats this way, so a printed field and STR of it agree.
QString floatText(double value);

/// A time of day in the locale's long time format without the time zone's name ("22:05:00", not
/// "22:05:00 UTC"): a time field's text, the expression language's TIME and AppStartTime.
QString longTimeText(const QTime &time);
/// A time format with its time-zone fields ('t' outside quotes) taken out, with the blanks next to them.
QString withoutTimeZone(const QString &format);
