#pragma once

#include <cstdint>

namespace run {

// The values that formatted numbers read back as, computed without the text: the value is
// rounded to its decimal digits in exact integer arithmetic (half to even on the exact binary
// value, as the formatting does), and the decimal is turned into the nearest double by one
// exact multiply or divide, or by 128-bit integer arithmetic past the exact powers of ten.
// What that cannot settle (singles below about 1e-25, doubles below about 1e-17 unless their
// digits end in zeros, doubles above about 1e48, infinities and NaNs) goes through the text.
// Results are bit for bit those of roundTripSingle / roundTripDouble.

// The value that the "%.7G" text of a single reads back as.
double readBackSingle(float value);

// The value that the "%.15G" text of a double reads back as. `overflow` is set when that text
// lies beyond the double range; the value is then the infinity of its sign, as the text round
// trip gives.
double readBackDouble(double value, bool& overflow);

inline double readBackDouble(double value)
{
    bool overflow = false;
    return readBackDouble(value, overflow);
}

// The significant digits of the "%.7G" text of a single and the "%.15G" text of a double:
// |value| rounded half to even to digits·10^exp10, digits having 7 (15) digits, or being
// 10^7 (10^15) where rounding carries. False for zero, infinities and NaNs, and where the
// exact arithmetic does not reach.
bool decimalDigitsSingle(float value, std::uint64_t& digits, int& exp10);
bool decimalDigitsDouble(double value, std::uint64_t& digits, int& exp10);

// The exact paths alone: false when the text is needed. Public so that the share of values
// taking the text can be measured.
bool exactReadBackSingle(float value, double& result);
bool exactReadBackDouble(double value, double& result);

}  // namespace run
