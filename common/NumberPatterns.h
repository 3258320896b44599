#pragma once
// Numbers with a fixed number of decimals, as the summaries show rates and
// ratios: the regional decimal separator, at least one integer digit, halves
// rounded away from zero.

#include <string>

#include "RegionalSettings.h"

namespace kestrova {

// v rounded to maxDecimals decimals, trailing zeros dropped down to minDecimals.
std::string DecimalPatternText(double v, int minDecimals, int maxDecimals, const RegionalSettings& rs);

// "##.###": at most three decimals (25, 29.97, 23.976).
inline std::string UpToThreeDecimalsText(double v, const RegionalSettings& rs) {
    return DecimalPatternText(v, 0, 3, rs);
}
// "#.#0": exactly two decimals (1.33, 1.00).
inline std::string TwoDecimalsText(double v, const RegionalSettings& rs) { return DecimalPatternText(v, 2, 2, rs); }
// "#0.0": exactly one decimal (0.0, 1.5).
inline std::string OneDecimalText(double v, const RegionalSettings& rs) { return DecimalPatternText(v, 1, 1, rs); }

}  // namespace kestrova
