#include "NumberPatterns.h"

#include <charconv>
#include <cmath>

namespace kestrova {

std::string DecimalPatternText(double v, int minDecimals, int maxDecimals, const RegionalSettings& rs) {
    if (!std::isfinite(v)) v = 0.0;
    if (maxDecimals < 0) maxDecimals = 0;
    if (minDecimals > maxDecimals) minDecimals = maxDecimals;

    // The shortest decimal that reads back as v, so that a value written as
    // 0.15 rounds as 0.15 and not as its binary neighbour below.
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    std::string digits;
    const char* p = buf;
    for (; p < result.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    long exponent = 0;
    if (p < result.ptr) {
        const char* e = p + 1;
        if (e < result.ptr && *e == '+') ++e;  // from_chars takes no plus sign
        std::from_chars(e, result.ptr, exponent);
    }

    // digits[0] stands at 10^exponent; keep those down to 10^-maxDecimals.
    const long keep = exponent + 1 + maxDecimals;
    bool roundUp = false;
    if (keep < 0) {
        digits.clear();
    } else if (static_cast<std::size_t>(keep) < digits.size()) {
        roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
    } else {
        digits.append(static_cast<std::size_t>(keep) - digits.size(), '0');
    }
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
        else ++digits[i - 1];
    }
    const std::size_t decimals = static_cast<std::size_t>(maxDecimals);
    if (digits.size() < decimals + 1) digits.insert(0, decimals + 1 - digits.size(), '0');

    std::string integer = digits.substr(0, digits.size() - decimals);
    std::string fraction = digits.substr(digits.size() - decimals);
    const std::size_t firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string::npos ? "0" : integer.substr(firstNonZero);
    while (fraction.size() > static_cast<std::size_t>(minDecimals) && fraction.back() == '0') fraction.pop_back();

    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string out = (v < 0 && !zero) ? "-" : "";
    out += integer;
    if (!fraction.empty()) out += rs.decimalSeparator + fraction;
    return out;
}

}  // namespace kestrova
