#include "settings/run_settings.h"

#include "settings/decimal_range.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace settings {

namespace {

    bool isSkipped(char c)
    {
        return c == ' ' || c == '\t' || c == '\n';
    }

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
    double readRadixInteger(const std::string& s, std::size_t i, int base)
    {
        double value = 0.0;
        for (; i < s.size(); ++i) {
            const int d = digitValue(s[i], base);
            if (d < 0)
                break;
            value = value * base + d;
        }
        return value;
    }

    std::int16_t roundAndClamp(double value, std::int16_t lowest)
    {
        // nearbyint rounds half to even in the default rounding mode.
        double r = std::isnan(value) ? 0.0 : std::nearbyint(value);
        if (r < -32768.0)
            r = -32768.0;
        if (r > 32767.0)
            r = 32767.0;
        auto v = static_cast<std::int16_t>(r);
        return v < lowest ? lowest : v;
    }

    bool setCoefficient(float& field, std::string_view text)
    {
        const double v = readSettingsNumber(text);
        if (!(std::fabs(v) <= static_cast<double>(FLT_MAX)))
            return false;
        field = static_cast<float>(v);
        return true;
    }

}  // namespace

RunSettings& runSettings()
{
    static RunSettings record;
    return record;
}

double readSettingsNumber(std::string_view text)
{
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!isSkipped(c))
            s.push_back(c);

    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return readRadixInteger(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return readRadixInteger(s, 2, 8);
        return 0.0;
    }

    // Longest prefix of the form [sign] digits [. digits] [E [sign] digits].
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            end = j;
        }
    }

    // from_chars does not take a '+' in the exponent's place either, so hand it a clean copy.
    std::string number = s.substr(mantissaStart, end - mantissaStart);
    if (const auto e = number.find_first_of("Ee");
        e != std::string::npos && e + 1 < number.size() && number[e + 1] == '+')
        number.erase(e + 1, 1);
    double value = 0.0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        value = decimalOverflows(number) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

void setXColumn(RunSettings& s, std::string_view text)
{
    s.XColumn = roundAndClamp(readSettingsNumber(text), 1);
}

void setYColumn(RunSettings& s, std::string_view text)
{
    s.YColumn = roundAndClamp(readSettingsNumber(text), 1);
}

void setSkipLines(RunSettings& s, std::string_view text)
{
    s.SkipLines = roundAndClamp(readSettingsNumber(text), 0);
}

bool setXCoefficient(RunSettings& s, std::string_view text)
{
    return setCoefficient(s.XCoefficient, text);
}

bool setYCoefficient(RunSettings& s, std::string_view text)
{
    return setCoefficient(s.YCoefficient, text);
}

void applyStartupDefaults(RunSettings& s)
{
    setXColumn(s, "1");
    setYColumn(s, "2");
    setSkipLines(s, "0");
    setXCoefficient(s, "1");
    setYCoefficient(s, "1");
    s.OutputMode = 1;
    s.KeepWorkingFiles = 0;
}

}  // namespace settings
