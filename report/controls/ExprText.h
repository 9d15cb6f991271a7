#pragma once

#include "report/expr/EvValue.h"

#include <QLocale>
#include <QString>

namespace qrcontrols {

/// What an expression control shows while it is designed: its expression, or "(none)" when that is empty.
QString ExpressionCaption(const QString &expression);

/// The text an expression control prints for a value.
///
/// An integer goes through `mask` as a picture mask; so does a float, unless the mask holds "%m": then it is
/// a money mask (see FormatMoneyMask). A mask the picture formatter refuses, or a money mask with anything
/// but money forms in it, prints the general format. Texts and error messages print as they are, booleans
/// as "True" or "False". Numbers use the system locale's separators and currency.
QString ExprValueText(const TQREvValue &value, const QString &mask);

/// Formats `value` with a money mask: text as it stands, "%%" for a percent sign, and money forms
/// `%[0:][-][width][.decimals]m` (or `M`) that print the value in the locale's currency format, with the
/// locale's currency digits unless decimals are given, right-aligned in `width` characters (left with `-`).
/// Every money form takes the one value. Any other `%` form, a second value asked for, a width above 255 or
/// more than 18 decimals is refused: returns false and leaves `out` alone. No text of the mask is ever
/// handed to a printf-style routine.
bool FormatMoneyMask(const QString &mask, double value, const QLocale &locale, QString &out);

} // namespace qrcontrols
