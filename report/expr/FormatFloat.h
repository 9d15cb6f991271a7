#pragma once

#include <QString>

namespace qrexpr {

/// Formats a number with a picture mask, as FORMATNUMERIC and the expression control's mask do.
///
/// `0` a digit or zero, `#` a digit or nothing, the first `.` the decimal point (the locale's separator),
/// `,` anywhere turns on the locale's thousands grouping, `E+`/`E-`/`e+`/`e-` followed by zeros scientific
/// notation with at least that many exponent digits, text in single or double quotes as it stands, and up to
/// three `;`-separated sections for positive, negative and zero values (an empty or missing one falls back
/// to the first). An empty mask, or more than 18 integer digits without scientific notation, gives the
/// general format. Returns false (and leaves `out` alone) for a mask of 225 characters or more.
bool formatFloatMask(const QString &mask, double value, QString &out);

} // namespace qrexpr
