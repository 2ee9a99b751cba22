#pragma once
#include <QString>

namespace LWFormat {
// Locale-independent number text: full stop, no grouping, at most maxDigits fraction digits
// rounded ties-to-even on the value's shortest decimal form, trailing zeros dropped.
// A negative value that rounds to zero gives "0".
QString num(double value, int maxDigits = 3);
} // namespace LWFormat
