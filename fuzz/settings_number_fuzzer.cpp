// The settings boxes' number reader and the setters, on any text a user could type or paste.
// The decimal reading is compared with the standard library's conversion of the same longest
// numeric prefix.
#include "fuzz_support.h"
#include "settings/run_settings.h"
#include "tests/support/decimal_text.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The longest [sign] digits [. digits] [E [sign] digits] prefix of the text with blanks, tabs
// and line feeds taken out, as the library converts it; nullopt-like NaN for "&" prefixes.
double plainDecimal(std::string_view text, bool& radix)
{
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            s.push_back(c);
    radix = s.size() >= 2 && s[0] == '&';
    if (radix)
        return 0.0;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i)
        ++digits;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i)
            ++digits;
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
    return decimalValue(std::string_view(s).substr(0, end));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double v = settings::readSettingsNumber(text);
    fuzz::check(!std::isnan(v), "a settings text read as NaN");

    bool radix = false;
    const double expected = plainDecimal(text, radix);
    if (!radix)
        fuzz::check(std::bit_cast<std::uint64_t>(v) == std::bit_cast<std::uint64_t>(expected),
            "decimal settings text read differently from the library's conversion");
    else
        fuzz::check(v >= 0.0 || v == 0.0, "an &H/&O integer read as negative");

    settings::RunSettings s;
    s.XCoefficient = 7.0f;
    s.YCoefficient = -7.0f;
    settings::setXColumn(s, text);
    settings::setYColumn(s, text);
    settings::setSkipLines(s, text);
    fuzz::check(s.XColumn >= 1 && s.YColumn >= 1, "a column below 1");
    fuzz::check(s.XColumn == s.YColumn, "the two column setters disagree");
    fuzz::check(s.SkipLines >= 0, "a negative skip count");
    if (v >= 1.0 && v <= 32767.0)
        fuzz::check(s.XColumn == static_cast<std::int16_t>(std::nearbyint(v)),
            "a column in range was not rounded to its nearest integer");

    const bool held = settings::setXCoefficient(s, text);
    const bool heldY = settings::setYCoefficient(s, text);
    fuzz::check(held == heldY, "the two coefficient setters disagree");
    if (held) {
        fuzz::check(std::fabs(v) <= static_cast<double>(FLT_MAX), "an unholdable value was held");
        fuzz::check(s.XCoefficient == static_cast<float>(v) && std::isfinite(s.XCoefficient),
            "a coefficient not rounded to single precision");
    } else {
        fuzz::check(s.XCoefficient == 7.0f && s.YCoefficient == -7.0f,
            "a refused coefficient changed the field");
    }
    return 0;
}
