#include "settings/number_text.h"

#include <charconv>
#include <limits>
#include <string>

namespace settings {

namespace {

    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    int digitValue(char c, int base)
    {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        return v < base ? v : -1;
    }

    // Integer in the given base; digits beyond what a double can hold still grow the value.
    ScannedNumber readRadixInteger(std::string_view text, int base, NumberRules::End end)
    {
        double value = 0.0;
        std::size_t i = 2;
        for (; i < text.size(); ++i) {
            const int d = digitValue(text[i], base);
            if (d < 0)
                break;
            value = value * base + d;
        }
        if (end == NumberRules::End::TextEnd && i != text.size())
            return {};
        return { ScannedNumber::Kind::Number, value };
    }

    // Where the parts of a decimal number lie in its text.
    struct DecimalParts
    {
        std::size_t digitsStart = 0;  // after the sign
        std::size_t pointAt = 0;  // the point, or the end of the digits when there is none
        std::size_t fractionEnd = 0;
        std::size_t exponentStart = 0;  // its sign or first digit; == end when there is none
        std::size_t end = 0;
        bool negative = false;
    };

    // For a number that std::from_chars found out of range: true when its magnitude is too
    // large for a double, false when it is too small.
    bool overflows(std::string_view text, const DecimalParts& p)
    {
        long long magnitude = 0;  // decimal exponent of the first significant digit, plus one
        std::size_t i = p.digitsStart;
        while (i < p.pointAt && text[i] == '0')
            ++i;
        if (i < p.pointAt) {
            magnitude = static_cast<long long>(p.pointAt - i);
        } else {
            i = p.pointAt < p.fractionEnd ? p.pointAt + 1 : p.fractionEnd;
            const std::size_t fractionStart = i;
            while (i < p.fractionEnd && text[i] == '0')
                ++i;
            magnitude = -static_cast<long long>(i - fractionStart);
        }
        long long exponent = 0;
        bool negativeExponent = false;
        i = p.exponentStart;
        if (i < p.end && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        for (; i < p.end; ++i)
            if (exponent < 1000000000)
                exponent = exponent * 10 + (text[i] - '0');
        return magnitude + (negativeExponent ? -exponent : exponent) > 0;
    }

    ScannedNumber readDecimal(std::string_view text, NumberRules::End end)
    {
        DecimalParts p;
        std::size_t i = 0;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            p.negative = text[i] == '-';
            ++i;
        }
        p.digitsStart = i;
        std::size_t digits = 0;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        digits = i - p.digitsStart;
        p.pointAt = i;
        if (i < text.size() && text[i] == '.') {
            ++i;
            const std::size_t fractionStart = i;
            while (i < text.size() && isDigit(text[i]))
                ++i;
            digits += i - fractionStart;
        }
        p.fractionEnd = i;
        if (digits == 0)
            return {};
        p.exponentStart = p.end = i;
        if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
            std::size_t j = i + 1;
            if (j < text.size() && (text[j] == '+' || text[j] == '-'))
                ++j;
            if (j < text.size() && isDigit(text[j])) {
                while (j < text.size() && isDigit(text[j]))
                    ++j;
                p.exponentStart = i + 1;
                p.end = j;
            }
        }
        if (end == NumberRules::End::TextEnd && p.end != text.size())
            return {};

        // The shape is checked first: from_chars would also take "inf", "nan" and a partial text.
        const char* const first = text.data() + p.digitsStart;
        const char* const last = text.data() + p.end;
        double v = 0.0;
        const auto r = std::from_chars(first, last, v);
        ScannedNumber::Kind kind = ScannedNumber::Kind::Number;
        if (r.ec == std::errc::result_out_of_range) {
            if (overflows(text, p)) {
                kind = ScannedNumber::Kind::TooLarge;
                v = std::numeric_limits<double>::infinity();
            } else {
                v = 0.0;
            }
        } else if (r.ec != std::errc() || r.ptr != last) {
            return {};
        }
        return { kind, p.negative ? -v : v };
    }

}  // namespace

ScannedNumber scanNumber(std::string_view text, NumberRules rules)
{
    if (rules.skipBlanks) {
        std::string kept;
        kept.reserve(text.size());
        for (char c : text)
            if (c != ' ' && c != '\t' && c != '\n')
                kept.push_back(c);
        rules.skipBlanks = false;
        return scanNumber(kept, rules);
    }
    if (rules.radixPrefixes && text.size() >= 2 && text[0] == '&') {
        if (text[1] == 'H' || text[1] == 'h')
            return readRadixInteger(text, 16, rules.end);
        if (text[1] == 'O' || text[1] == 'o')
            return readRadixInteger(text, 8, rules.end);
        return {};
    }
    return readDecimal(text, rules.end);
}

}  // namespace settings
