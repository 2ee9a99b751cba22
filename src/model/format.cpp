#include "model/format.h"

#include <charconv>
#include <cmath>
#include <string>

namespace LWFormat {

QString num(double value, int maxDigits)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-∞") : QStringLiteral("∞");
    maxDigits = std::clamp(maxDigits, 0, 40);

    // Round the shortest decimal form, as a decimal formatter does, so 0.125 -> "0.12" and
    // 2.675 -> "2.68" at two digits.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const auto ePos = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    const int exponent = std::stoi(sci.substr(ePos + 1));

    // Lay the digits out so that intDigits of them stand before the decimal point.
    int intDigits = exponent + 1;
    if (intDigits <= 0) {
        digits.insert(0, size_t(1 - intDigits), '0');
        intDigits = 1;
    }
    const size_t keep = size_t(intDigits + maxDigits);
    if (digits.size() < keep)
        digits.append(keep - digits.size(), '0');

    std::string kept = digits.substr(0, keep);
    const std::string rest = digits.substr(keep);
    bool roundUp = false;
    if (!rest.empty() && rest[0] >= '5') {
        const bool exactHalf = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
        roundUp = !exactHalf || ((kept.back() - '0') % 2 == 1);
    }
    if (roundUp) {
        int i = int(kept.size()) - 1;
        while (i >= 0 && kept[size_t(i)] == '9')
            kept[size_t(i--)] = '0';
        if (i < 0) {
            kept.insert(0, 1, '1');
            ++intDigits;
        } else {
            ++kept[size_t(i)];
        }
    }

    std::string intPart = kept.substr(0, size_t(intDigits));
    std::string fracPart = kept.substr(size_t(intDigits));
    const auto nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    while (!fracPart.empty() && fracPart.back() == '0')
        fracPart.pop_back();

    std::string out;
    const bool isZero = intPart == "0" && fracPart.empty();
    if (value < 0 && !isZero)
        out += '-';
    out += intPart;
    if (!fracPart.empty())
        out += '.' + fracPart;
    return QString::fromStdString(out);
}

} // namespace LWFormat
