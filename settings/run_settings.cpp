#include "settings/run_settings.h"

#include "settings/number_text.h"

#include <cfloat>
#include <cmath>

namespace settings {

namespace {

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
    constexpr NumberRules boxRule { true, true, NumberRules::End::Anything };
    const ScannedNumber n = scanNumber(text, boxRule);
    return n.kind == ScannedNumber::Kind::NotANumber ? 0.0 : n.value;
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
    s.OutputMode = kTwoOutputFiles;
    s.KeepWorkingFiles = kDeleteWorkingFiles;
}

}  // namespace settings
