#pragma once

// The value of a decimal number text ([sign] digits [. digits] [E [sign] digits]) worked out
// by the standard library's correctly rounded conversion, independently of the project's own
// reader, as the tests and the fuzzers compare with. Locale-free.

#include <charconv>
#include <cstddef>
#include <limits>
#include <string_view>

// The value of `text`, which must have the shape above: infinite beyond the double range, a zero
// of its sign below it.
inline double decimalValue(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    static_cast<void>(end);
    if (error == std::errc::result_out_of_range) {
        // Beyond the range or below it: the decimal exponent of the first significant digit
        // tells which.
        long exponent = 0;
        std::size_t i = 0;
        long digitsBeforePoint = 0;
        long firstDigit = 0;  // position of the first non-zero digit relative to the point
        bool found = false;
        long position = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++position) {
            ++digitsBeforePoint;
            if (!found && text[i] != '0') {
                found = true;
                firstDigit = position;
            }
        }
        if (i < text.size() && text[i] == '.')
            for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++position)
                if (!found && text[i] != '0') {
                    found = true;
                    firstDigit = position;
                }
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            const bool minus = i < text.size() && text[i] == '-';
            if (i < text.size() && (text[i] == '+' || text[i] == '-'))
                ++i;
            for (; i < text.size() && exponent < 100000; ++i)
                exponent = exponent * 10 + (text[i] - '0');
            if (minus)
                exponent = -exponent;
        }
        const long magnitude = digitsBeforePoint - firstDigit + exponent;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}
