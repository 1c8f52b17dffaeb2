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
        const char* digits;  // after the sign
        const char* point;  // the point, or the end of the digits when there is none
        const char* fractionEnd;
        const char* exponent;  // its sign or first digit; == end when there is none
        const char* end;
    };

    // For a number that std::from_chars found out of range: true when its magnitude is too
    // large for a double, false when it is too small.
    bool overflows(const DecimalParts& p)
    {
        long long magnitude = 0;  // decimal exponent of the first significant digit, plus one
        const char* c = p.digits;
        while (c != p.point && *c == '0')
            ++c;
        if (c != p.point) {
            magnitude = p.point - c;
        } else {
            const char* const fraction = p.point == p.fractionEnd ? p.point : p.point + 1;
            c = fraction;
            while (c != p.fractionEnd && *c == '0')
                ++c;
            magnitude = -(c - fraction);
        }
        long long exponent = 0;
        bool negativeExponent = false;
        c = p.exponent;
        if (c != p.end && (*c == '+' || *c == '-'))
            negativeExponent = *c++ == '-';
        for (; c != p.end; ++c)
            if (exponent < 1000000000)
                exponent = exponent * 10 + (*c - '0');
        return magnitude + (negativeExponent ? -exponent : exponent) > 0;
    }

    ScannedNumber readDecimal(std::string_view text, NumberRules::End end)
    {
        const char* c = text.data();
        const char* const last = c + text.size();
        bool negative = false;
        if (c != last && (*c == '+' || *c == '-')) {
            negative = *c == '-';
            ++c;
        }
        const char* const digits = c;
        while (c != last && isDigit(*c))
            ++c;
        const char* const point = c;
        bool anyDigit = c != digits;
        if (c != last && *c == '.') {
            ++c;
            const char* const fraction = c;
            while (c != last && isDigit(*c))
                ++c;
            anyDigit = anyDigit || c != fraction;
        }
        if (!anyDigit)
            return {};
        const char* const fractionEnd = c;
        const char* exponent = c;
        if (c != last && (*c == 'E' || *c == 'e')) {
            const char* e = c + 1;
            if (e != last && (*e == '+' || *e == '-'))
                ++e;
            if (e != last && isDigit(*e)) {
                while (e != last && isDigit(*e))
                    ++e;
                exponent = c + 1;
                c = e;
            }
        }
        if (end == NumberRules::End::TextEnd && c != last)
            return {};

        // The shape was checked above: from_chars would also take "inf", "nan" and a partial text.
        double v = 0.0;
        const auto r = std::from_chars(digits, c, v);
        ScannedNumber::Kind kind = ScannedNumber::Kind::Number;
        if (r.ec == std::errc::result_out_of_range) {
            if (overflows({ digits, point, fractionEnd, exponent, c })) {
                kind = ScannedNumber::Kind::TooLarge;
                v = std::numeric_limits<double>::infinity();
            } else {
                v = 0.0;
            }
        } else if (r.ec != std::errc() || r.ptr != c) {
            return {};
        }
        return { kind, negative ? -v : v };
    }

    // Kept apart from the plain path, which reads every value of a data file.
    [[gnu::noinline]] ScannedNumber scanWithoutBlanks(std::string_view text, NumberRules rules)
    {
        std::string kept;
        kept.reserve(text.size());
        for (char c : text)
            if (c != ' ' && c != '\t' && c != '\n')
                kept.push_back(c);
        rules.skipBlanks = false;
        return scanNumber(kept, rules);
    }

}  // namespace

ScannedNumber scanNumber(std::string_view text, NumberRules rules)
{
    if (rules.skipBlanks)
        return scanWithoutBlanks(text, rules);
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
