#include "run/exact_read_back.h"
#include "run/text_records.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

std::uint64_t bitsOf(double v)
{
    return std::bit_cast<std::uint64_t>(v);
}

void expectSingleAsText(float v)
{
    ASSERT_EQ(bitsOf(run::readBackSingle(v)), bitsOf(run::roundTripSingle(v)))
        << std::hexfloat << v << " = " << std::defaultfloat << v;
}

void expectDoubleAsText(double v)
{
    bool overflow = true;
    const double got = run::readBackDouble(v, overflow);
    ASSERT_EQ(bitsOf(got), bitsOf(run::roundTripDouble(v))) << std::hexfloat << v;
    char text[run::kMaxNumberText];
    const char* end = run::formatDouble(text, v) - 1;
    double parsed = 0.0;
    bool textOverflow = false;
    run::parseNumber(
        std::string_view(text + 1, static_cast<std::size_t>(end - text - 1)), parsed, textOverflow);
    ASSERT_EQ(overflow, textOverflow) << std::hexfloat << v;
}

// The values either side of v, a few steps out, both signs.
template <typename Float>
std::vector<Float> around(Float v)
{
    std::vector<Float> out;
    Float up = v;
    Float down = v;
    for (int i = 0; i < 3; ++i) {
        out.insert(out.end(), { up, down, -up, -down });
        up = std::nextafter(up, std::numeric_limits<Float>::infinity());
        down = std::nextafter(down, Float(0));
    }
    return out;
}

// Values whose exact decimal expansion ends one digit past `digits` in a 5: r·5^a / 2^j with
// r odd and r·5^a of digits + 1 decimals, so the rounding is a tie broken to even.
template <typename Float>
std::vector<Float> ties(int digits, std::mt19937_64& rng)
{
    constexpr int mantissaBits = std::numeric_limits<Float>::digits;
    const double low = std::pow(10.0, digits);
    std::vector<Float> out;
    while (out.size() < 20000) {
        const int a = 1 + static_cast<int>(rng() % 12);
        const double five = std::pow(5.0, a);
        const auto lowR = static_cast<std::uint64_t>(std::ceil(low / five));
        const auto r = (lowR + rng() % (9 * lowR)) | 1;  // r·5^a in [10^digits, 10^(digits+1))
        if (static_cast<double>(r) * five >= low * 10)
            continue;
        const int j = static_cast<int>(rng() % static_cast<std::uint64_t>(a + 1));
        const double kept = static_cast<double>(r) * std::pow(5.0, a - j);  // exact below 2^53
        if (kept >= std::ldexp(1.0, mantissaBits))
            continue;
        out.push_back(static_cast<Float>(std::ldexp(kept, -j)));
    }
    return out;
}

}  // namespace

TEST(ExactReadBack, EdgesOfTheRangesPowersOfTenAndTies)
{
    std::vector<float> singles = { 0.0f, -0.0f, std::numeric_limits<float>::infinity(), -INFINITY,
        NAN, -NAN };
    std::vector<double> doubles = { 0.0, -0.0, std::numeric_limits<double>::infinity(), -INFINITY,
        NAN, -NAN };
    for (float v : { FLT_MIN, FLT_MAX, FLT_TRUE_MIN, 1.0f, 16777216.0f, 33554432.0f })
        for (float n : around(v))
            singles.push_back(n);
    for (double v : { DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 1.0, 9007199254740992.0, 1e-8, 1e48 })
        for (double n : around(v))
            doubles.push_back(n);
    for (int p = -46; p <= 39; ++p)
        for (float n : around(std::pow(10.0f, static_cast<float>(p))))
            singles.push_back(n);
    for (int p = -324; p <= 308; ++p)
        for (double n : around(std::pow(10.0, p)))
            doubles.push_back(n);
    std::mt19937_64 rng(3);
    for (float v : ties<float>(7, rng))
        singles.push_back(v);
    for (double v : ties<double>(15, rng))
        doubles.push_back(v);
    // A tie at both parities, written out: 12345675 rounds up to ...68, 12345665 down to ...66.
    EXPECT_EQ(run::readBackSingle(12345675.0f), 12345680.0);
    EXPECT_EQ(run::readBackSingle(12345665.0f), 12345660.0);

    for (float v : singles)
        expectSingleAsText(v);
    for (double v : doubles)
        expectDoubleAsText(v);
}

TEST(ExactReadBack, RandomBitPatternsAndDataLikeValues)
{
    std::mt19937_64 rng(5);
    for (int i = 0; i < 1'500'000; ++i) {
        expectSingleAsText(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
        expectDoubleAsText(std::bit_cast<double>(rng()));
    }
    // Values of the size a test record holds never need the text.
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    for (int i = 0; i < 500'000; ++i) {
        const double v = mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 13) - 6);
        double exact = 0.0;
        ASSERT_TRUE(run::exactReadBackSingle(static_cast<float>(v), exact)) << v;
        ASSERT_EQ(bitsOf(exact), bitsOf(run::roundTripSingle(static_cast<float>(v))));
        ASSERT_TRUE(run::exactReadBackDouble(v, exact)) << v;
        ASSERT_EQ(bitsOf(exact), bitsOf(run::roundTripDouble(v)));
    }
}

TEST(ExactReadBack, TextBeyondTheDoubleRangeIsAnOverflow)
{
    bool overflow = false;
    // DBL_MAX has the text 1.79769313486232E+308, past the largest double.
    EXPECT_EQ(run::readBackDouble(DBL_MAX, overflow), HUGE_VAL);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(run::readBackDouble(-DBL_MAX, overflow), -HUGE_VAL);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(run::readBackDouble(1.79769313486231e308, overflow), 1.79769313486231e308);
    EXPECT_FALSE(overflow);
}
