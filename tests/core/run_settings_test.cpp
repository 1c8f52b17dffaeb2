#include "settings/run_settings.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using settings::RunSettings;

// ---- reading a number from a settings text ----

TEST(ReadSettingsNumber, TakesTheLongestNumericPrefix)
{
    EXPECT_EQ(settings::readSettingsNumber("12abc"), 12.0);
    EXPECT_EQ(settings::readSettingsNumber("1 2"), 12.0);
    EXPECT_EQ(settings::readSettingsNumber("\t-1\n.5"), -1.5);
    EXPECT_EQ(settings::readSettingsNumber("1e3"), 1000.0);
    EXPECT_EQ(settings::readSettingsNumber("1E-2x"), 0.01);
    EXPECT_EQ(settings::readSettingsNumber("2e"), 2.0);
    EXPECT_EQ(settings::readSettingsNumber("2e+"), 2.0);
    EXPECT_EQ(settings::readSettingsNumber("1.2.3"), 1.2);
    EXPECT_EQ(settings::readSettingsNumber(".5"), 0.5);
    EXPECT_EQ(settings::readSettingsNumber("+7"), 7.0);
}

TEST(ReadSettingsNumber, TextWithoutANumberReadsAsZero)
{
    EXPECT_EQ(settings::readSettingsNumber(""), 0.0);
    EXPECT_EQ(settings::readSettingsNumber("-"), 0.0);
    EXPECT_EQ(settings::readSettingsNumber("abc"), 0.0);
    EXPECT_EQ(settings::readSettingsNumber("."), 0.0);
    EXPECT_EQ(settings::readSettingsNumber("\r1"), 0.0);  // a carriage return is not skipped
}

TEST(ReadSettingsNumber, HexadecimalAndOctalPrefixes)
{
    EXPECT_EQ(settings::readSettingsNumber("&H10"), 16.0);
    EXPECT_EQ(settings::readSettingsNumber("&hff"), 255.0);
    EXPECT_EQ(settings::readSettingsNumber("&O17"), 15.0);
    EXPECT_EQ(settings::readSettingsNumber("&O19"), 1.0);
    EXPECT_EQ(settings::readSettingsNumber("&X1"), 0.0);
}

TEST(ReadSettingsNumber, BeyondTheDoubleRange)
{
    EXPECT_EQ(settings::readSettingsNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(settings::readSettingsNumber("-1e400"), -HUGE_VAL);
    EXPECT_EQ(settings::readSettingsNumber("1e-400"), 0.0);
    EXPECT_EQ(settings::readSettingsNumber("0.000001e-320"), 0.0);
}

// ---- setters ----

TEST(RunSettingsSetters, ColumnsRoundHalfToEvenAndClampToOne)
{
    RunSettings s;
    const std::pair<const char*, int> cases[] = { { "", 1 }, { "0", 1 }, { "-5", 1 }, { "abc", 1 },
        { "2.5", 2 }, { "3.5", 4 }, { "12abc", 12 }, { "1 2", 12 }, { "1e9", 32767 },
        { "-1e400", 1 }, { "1e400", 32767 } };
    for (const auto& [text, expected] : cases) {
        settings::setXColumn(s, text);
        settings::setYColumn(s, text);
        EXPECT_EQ(s.XColumn, expected) << text;
        EXPECT_EQ(s.YColumn, expected) << text;
    }
}

TEST(RunSettingsSetters, SkipLinesClampsToZero)
{
    RunSettings s;
    const std::pair<const char*, int> cases[] = { { "", 0 }, { "-2", 0 }, { "0.5", 0 },
        { "1.5", 2 }, { "-1.5", 0 }, { "40000", 32767 } };
    for (const auto& [text, expected] : cases) {
        settings::setSkipLines(s, text);
        EXPECT_EQ(s.SkipLines, expected) << text;
    }
}

TEST(RunSettingsSetters, CoefficientsAreSinglePrecisionWithoutClamp)
{
    RunSettings s;
    EXPECT_TRUE(settings::setXCoefficient(s, ""));
    EXPECT_EQ(s.XCoefficient, 0.0f);
    EXPECT_TRUE(settings::setXCoefficient(s, "-2"));
    EXPECT_EQ(s.XCoefficient, -2.0f);
    EXPECT_TRUE(settings::setXCoefficient(s, "1e3"));
    EXPECT_EQ(s.XCoefficient, 1000.0f);
    EXPECT_TRUE(settings::setYCoefficient(s, "&H10"));
    EXPECT_EQ(s.YCoefficient, 16.0f);
    EXPECT_TRUE(settings::setYCoefficient(s, "0.1"));
    EXPECT_EQ(s.YCoefficient, 0.1f);
    EXPECT_NE(static_cast<double>(s.YCoefficient), 0.1);
}

TEST(RunSettingsSetters, CoefficientBeyondSinglePrecisionLeavesTheFieldAndSaysSo)
{
    RunSettings s;
    ASSERT_TRUE(settings::setXCoefficient(s, "3"));
    EXPECT_FALSE(settings::setXCoefficient(s, "1e39"));
    EXPECT_FALSE(settings::setXCoefficient(s, "-1e400"));
    EXPECT_EQ(s.XCoefficient, 3.0f);
    EXPECT_TRUE(settings::setXCoefficient(s, "3.4e38"));
    EXPECT_EQ(s.XCoefficient, 3.4e38f);
}

TEST(RunSettingsSetters, StartupDefaults)
{
    RunSettings s;
    s.DataFilePath = "/tmp/a.prn";
    settings::applyStartupDefaults(s);
    EXPECT_EQ(s.XColumn, 1);
    EXPECT_EQ(s.YColumn, 2);
    EXPECT_EQ(s.SkipLines, 0);
    EXPECT_EQ(s.XCoefficient, 1.0f);
    EXPECT_EQ(s.YCoefficient, 1.0f);
    EXPECT_EQ(s.OutputMode, 1);
    EXPECT_EQ(s.KeepWorkingFiles, 0);
    EXPECT_EQ(s.DataFilePath, "/tmp/a.prn");
}
