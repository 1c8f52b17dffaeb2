#include "run/exact_read_back.h"

#include "run/text_records.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace run {

namespace {

    __extension__ typedef unsigned __int128 Wide;

    constexpr int kMaxPow5 = 55;  // the largest power of five below 2^128

    constexpr std::array<Wide, kMaxPow5 + 1> kPow5 = [] {
        std::array<Wide, kMaxPow5 + 1> p {};
        p[0] = 1;
        for (int i = 1; i <= kMaxPow5; ++i)
            p[static_cast<std::size_t>(i)] = p[static_cast<std::size_t>(i - 1)] * 5;
        return p;
    }();

    // Powers of ten that a double holds exactly.
    constexpr int kExactPow10 = 22;
    constexpr std::array<double, kExactPow10 + 1> kPow10 = [] {
        std::array<double, kExactPow10 + 1> p {};
        double v = 1.0;
        for (double& x : p) {
            x = v;
            v *= 10.0;
        }
        return p;
    }();

    constexpr std::uint64_t tenTo(int n)
    {
        std::uint64_t v = 1;
        while (n-- > 0)
            v *= 10;
        return v;
    }

    int bitLength(Wide v)
    {
        const auto high = static_cast<std::uint64_t>(v >> 64);
        if (high != 0)
            return 128 - std::countl_zero(high);
        return 64 - std::countl_zero(static_cast<std::uint64_t>(v));
    }

    Wide pow5(int n)
    {
        return kPow5[static_cast<std::size_t>(n)];
    }

    // floor(log10(2^n)) for |n| < 1650.
    int floorLog10Pow2(int n)
    {
        return (n * 78913) >> 18;
    }

    // What is left below the last kept digit, against half a unit of it.
    enum class Rest
    {
        Zero,
        BelowHalf,
        Half,
        AboveHalf
    };

    Rest compare(Wide rest, Wide half)
    {
        if (rest == 0)
            return Rest::Zero;
        return rest < half ? Rest::BelowHalf : rest == half ? Rest::Half : Rest::AboveHalf;
    }

    // Rounds m·2^e (m > 0) to `Digits` significant decimals, half to even: decimal·10^exp10.
    // The decimal may come out as 10^Digits when rounding carries. False when the exact
    // arithmetic does not fit in 128 bits.
    template <int Digits>
    bool roundToDigits(std::uint64_t m, int e, std::uint64_t& decimal, int& exp10)
    {
        const int log2 = e + 63 - std::countl_zero(m);
        // floor(log10) of the value or one less: one digit too many is dropped below.
        int k = floorLog10Pow2(log2) - (Digits - 1);
        Wide q = 0;
        Rest rest = Rest::Zero;
        if (k <= 0) {
            // m·2^e·10^-k = m·5^-k · 2^(e-k)
            if (-k > kMaxPow5 || bitLength(m) + bitLength(pow5(-k)) > 128)
                return false;
            const Wide n = Wide(m) * pow5(-k);
            const int shift = e - k;
            if (shift >= 0) {
                if (bitLength(n) + shift > 127)
                    return false;
                q = n << shift;
            } else {
                const int s = -shift;
                if (s >= 128)
                    return false;
                q = n >> s;
                rest = compare(n & ((Wide(1) << s) - 1), Wide(1) << (s - 1));
            }
        } else {
            // m·2^e / 10^k = m·2^(e-k) / 5^k
            if (k > kMaxPow5)
                return false;
            Wide num = m;
            Wide den = pow5(k);
            const int shift = e - k;
            if (shift >= 0) {
                if (bitLength(num) + shift > 127)
                    return false;
                num <<= shift;
            } else {
                if (bitLength(den) - shift > 127)
                    return false;
                den <<= -shift;
            }
            q = num / den;
            const Wide r = num - q * den;
            // 5^k is odd, so only a divisor with twos in it can leave exactly half.
            rest = r == 0      ? Rest::Zero
                : r < den - r  ? Rest::BelowHalf
                : r == den - r ? Rest::Half
                               : Rest::AboveHalf;
        }
        auto digits = static_cast<std::uint64_t>(q);
        if (q >= tenTo(Digits)) {
            // One digit too many: it joins the rest.
            const std::uint64_t last = digits % 10;
            digits /= 10;
            ++k;
            rest = last > 5 ? Rest::AboveHalf
                : last == 5 ? (rest == Rest::Zero ? Rest::Half : Rest::AboveHalf)
                : last == 0 && rest == Rest::Zero ? Rest::Zero
                                                  : Rest::BelowHalf;
        }
        if (rest == Rest::AboveHalf || (rest == Rest::Half && (digits & 1) != 0))
            ++digits;
        decimal = digits;
        exp10 = k;
        return true;
    }

    // The double nearest decimal / 10^k for a k past the exact powers of ten: the quotient
    // by 5^k carried to at least 55 bits in 128-bit arithmetic, its remainder as the sticky
    // bit, rounded to 53 bits half to even, then scaled by 2^-k.
    bool smallNearestDouble(std::uint64_t decimal, int k, double& result)
    {
        if (k > kMaxPow5)
            return false;
        const Wide den = pow5(k);
        const int shift = 127 - bitLength(decimal);
        const Wide num = Wide(decimal) << shift;
        const Wide q = num / den;
        const bool inexact = num - q * den != 0;
        const int drop = bitLength(q) - 53;
        const int exp2 = drop - shift - k;
        if (drop < 2 || 1023 + exp2 < 1)
            return false;
        auto mantissa = static_cast<std::uint64_t>(q >> drop);
        const Wide rest = q & ((Wide(1) << drop) - 1);
        const Wide half = Wide(1) << (drop - 1);
        if (rest > half || (rest == half && (inexact || (mantissa & 1) != 0)))
            ++mantissa;
        const double scale = std::bit_cast<double>(static_cast<std::uint64_t>(1023 + exp2) << 52);
        result = static_cast<double>(mantissa) * scale;
        return true;
    }

    // The double nearest decimal·10^exp10 (decimal < 2^53), or false when that takes more
    // than one exact rounding.
    bool nearestDouble(std::uint64_t decimal, int exp10, double& result)
    {
        // Trailing zeros move into the exponent, so short decimals of small values stay exact.
        while (exp10 < -kExactPow10 && decimal % 10 == 0) {
            decimal /= 10;
            ++exp10;
        }
        const auto d = static_cast<double>(decimal);
        if (exp10 >= 0 && exp10 <= kExactPow10) {
            result = d * kPow10[static_cast<std::size_t>(exp10)];
            return true;
        }
        if (exp10 < 0 && exp10 >= -kExactPow10) {
            result = d / kPow10[static_cast<std::size_t>(-exp10)];
            return true;
        }
        if (exp10 < 0)
            return smallNearestDouble(decimal, -exp10, result);
        if (exp10 > kMaxPow5)
            return false;
        // decimal·5^k exactly, rounded to 53 bits half to even, then scaled by 2^k: the result
        // stays far from the ends of the double range here.
        if (bitLength(decimal) + bitLength(pow5(exp10)) > 128)
            return false;
        const Wide n = Wide(decimal) * pow5(exp10);
        const int drop = bitLength(n) - 53;
        if (drop <= 0 || exp10 + drop > 900)
            return false;
        auto mantissa = static_cast<std::uint64_t>(n >> drop);
        const Wide rest = n & ((Wide(1) << drop) - 1);
        const Wide half = Wide(1) << (drop - 1);
        if (rest > half || (rest == half && (mantissa & 1) != 0))
            ++mantissa;  // 2^53 is still exact
        const double scale =
            std::bit_cast<double>(static_cast<std::uint64_t>(1023 + exp10 + drop) << 52);
        result = static_cast<double>(mantissa) * scale;
        return true;
    }

}  // namespace

bool decimalDigitsSingle(float value, std::uint64_t& digits, int& exp10)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t biased = (bits >> 23) & 0xFF;
    std::uint64_t m = bits & 0x7FFFFF;
    if (biased == 0xFF || (biased == 0 && m == 0))
        return false;
    int e = -149;
    if (biased != 0) {
        m |= 0x800000;
        e = static_cast<int>(biased) - 150;
    }
    return roundToDigits<7>(m, e, digits, exp10);
}

bool decimalDigitsDouble(double value, std::uint64_t& digits, int& exp10)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
    if (biased == 0x7FF || (biased == 0 && m == 0))
        return false;
    int e = -1074;
    if (biased != 0) {
        m |= std::uint64_t(1) << 52;
        e = biased - 1075;
    }
    return roundToDigits<15>(m, e, digits, exp10);
}

bool exactReadBackSingle(float value, double& result)
{
    if (value == 0.0f) {
        result = 0.0;  // a negative zero is written as zero
        return true;
    }
    std::uint64_t decimal = 0;
    int exp10 = 0;
    if (!decimalDigitsSingle(value, decimal, exp10) || !nearestDouble(decimal, exp10, result))
        return false;
    if (std::signbit(value))
        result = -result;
    return true;
}

bool exactReadBackDouble(double value, double& result)
{
    if (value == 0.0) {
        result = 0.0;
        return true;
    }
    std::uint64_t decimal = 0;
    int exp10 = 0;
    if (!decimalDigitsDouble(value, decimal, exp10) || !nearestDouble(decimal, exp10, result))
        return false;
    if (std::signbit(value))
        result = -result;
    return true;
}

double readBackSingle(float value)
{
    double result = 0.0;
    if (exactReadBackSingle(value, result))
        return result;
    return roundTripSingle(value);
}

double readBackDouble(double value, bool& overflow)
{
    overflow = false;
    double result = 0.0;
    if (exactReadBackDouble(value, result))
        return result;
    const double text = roundTripDouble(value);
    // A text beyond the double range reads back as an infinity, never as 0.
    overflow = std::isinf(text) && std::isfinite(value);
    return text;
}

}  // namespace run
