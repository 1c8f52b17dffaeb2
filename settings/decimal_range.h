#pragma once

#include <string_view>

namespace settings {

// For a decimal number text that std::from_chars found out of range: true when its
// magnitude is too large for a double (it overflowed), false when it is too small
// (it underflowed). The text is [sign] digits [. digits] [E|e [sign] digits].
inline bool decimalOverflows(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    long long magnitude = 0;  // decimal exponent of the first significant digit, plus one
    long long beforePoint = 0;
    bool seenPoint = false;
    bool seenSignificant = false;
    long long leadingZerosAfterPoint = 0;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        const char c = text[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!seenPoint) {
            if (seenSignificant || c != '0') {
                seenSignificant = true;
                ++beforePoint;
            }
        } else if (!seenSignificant) {
            if (c == '0')
                ++leadingZerosAfterPoint;
            else
                seenSignificant = true;
        }
    }
    magnitude = beforePoint > 0 ? beforePoint : -leadingZerosAfterPoint;
    long long exponent = 0;
    bool negativeExponent = false;
    if (i < text.size()) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        for (; i < text.size(); ++i)
            if (exponent < 1000000000)
                exponent = exponent * 10 + (text[i] - '0');
    }
    return magnitude + (negativeExponent ? -exponent : exponent) > 0;
}

}  // namespace settings
