#pragma once

#include <QString>

/// A float as text in the general format: up to 15 significant digits, exponent form where that format
/// takes it, the locale's decimal separator. A float field's text and the expression language's STR both
/// write floats this way, so a printed field and STR of it agree.
QString floatText(double value);
