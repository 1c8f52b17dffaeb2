#include "analysis/cycle_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace analysis;

namespace {

struct Record
{
    std::vector<double> x;
    std::vector<double> y;

    void add(double px, double py)
    {
        x.push_back(px);
        y.push_back(py);
    }
};

// An elastic-perfectly-plastic record (K = 100, Fy = 50, so Fy/K = 0.5) with three cycles at
// each amplitude, corners and the zero points of the unloading lines sampled exactly.
Record elasticPlastic(const std::vector<double>& amplitudes)
{
    Record r;
    r.add(0, 0);
    r.add(0.5, 50);
    for (double u : amplitudes)
        for (int c = 0; c < 3; ++c) {
            r.add(u, 50);
            r.add(u - 0.5, 0);
            r.add(u - 1, -50);
            r.add(-u, -50);
            r.add(-u + 0.5, 0);
            r.add(-u + 1, 50);
        }
    r.add(amplitudes.back(), 50);
    return r;
}

}  // namespace

TEST(CycleAnalysis, ElasticPlasticLoopsDissipateTheirClosedFormEnergy)
{
    const Record r = elasticPlastic({ 2, 3, 4 });
    const auto rows = analyseCycles(r.x, r.y);
    ASSERT_EQ(rows.size(), 8u);  // nine peaks: the record's last point is no reversal
    double cumulative = 0;
    for (const CycleRow& row : rows) {
        SCOPED_TRACE(row.cycle);
        const double u0 = row.uPos;
        EXPECT_EQ(row.fUPos, 50);
        EXPECT_EQ(row.uNeg, -u0);
        EXPECT_EQ(row.fUNeg, -50);
        EXPECT_EQ(row.fMax, 50);
        EXPECT_EQ(row.fMin, -50);
        EXPECT_EQ(*row.stiffness, 50 / u0);
        EXPECT_EQ(row.level, (row.cycle + 2) / 3);
        EXPECT_EQ(*row.retentionPos, 1);
        EXPECT_EQ(*row.retentionNeg, 1);
        cumulative += row.energy;
        EXPECT_EQ(row.cumulativeEnergy, cumulative);
        if (r.x[row.lastPoint - 1] != u0) {
            // The cycle that climbs to the next amplitude: 50 * (2u0 - 1) + 50 * (u0 + unext - 1).
            EXPECT_EQ(row.energy, 50 * (2 * u0 - 1) + 50 * (2 * u0));
            continue;
        }
        EXPECT_EQ(row.energy, 4 * 50 * (u0 - 0.5));
        EXPECT_DOUBLE_EQ(*row.damping, 2 / std::numbers::pi * (1 - 50 / (100 * u0)));
    }
    EXPECT_EQ(rows[0].firstPoint, 3u);
    EXPECT_EQ(rows[0].lastPoint, 9u);
}

TEST(CycleAnalysis, ElasticRecordDissipatesNothing)
{
    Record r;
    for (int i = 0; i < 4; ++i)
        for (double u : { 0, 1, 2, 1, 0, -1, -2, -1 })
            r.add(u, 3 * u);
    r.add(0, 0);
    const auto rows = analyseCycles(r.x, r.y);
    ASSERT_EQ(rows.size(), 3u);
    for (const CycleRow& row : rows) {
        EXPECT_EQ(row.energy, 0);
        EXPECT_EQ(*row.damping, 0);
        EXPECT_EQ(*row.stiffness, 3);
    }
}

TEST(CycleAnalysis, DampingWeighsEachSidesOwnPeakWork)
{
    // One lopsided loop (3, 6) -> (2, -2) -> (-1, -2) -> (0, 6) -> (3, 6), area 24.
    const std::vector<double> x { 0, 3, 2, -1, 0, 3, 0 };
    const std::vector<double> y { 0, 6, -2, -2, 6, 6, 0 };
    const auto rows = analyseCycles(x, y);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].energy, 24);
    EXPECT_EQ(*rows[0].stiffness, 2);
    EXPECT_DOUBLE_EQ(*rows[0].damping, 24 / (std::numbers::pi * (3 * 6 + 1 * 2)));
}

TEST(CycleAnalysis, RetentionFollowsTheLevelsFirstCycle)
{
    // Amplitude 20 three times, scaled 1, 0.9, 0.85; then 21 (exactly 5 % more: same level),
    // then 21.5 (a new level) twice.
    Record r;
    r.add(0, 0);
    const double pos[] = { 10, 10, 10, 10.5, 10.75, 10.75 };
    const double scale[] = { 1, 0.9, 0.85, 0.8, 0.7, 0.35 };
    for (int k = 0; k < 6; ++k) {
        r.add(pos[k], 100 * scale[k]);
        r.add(-pos[k], -200 * scale[k]);
    }
    r.add(10.75, 0);
    r.add(0, 0);
    const auto rows = analyseCycles(r.x, r.y);
    ASSERT_EQ(rows.size(), 6u);
    const std::size_t levels[] = { 1, 1, 1, 1, 2, 2 };
    const double retention[] = { 1, 0.9, 0.85, 0.8, 1, 0.5 };
    for (std::size_t k = 0; k < rows.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(rows[k].level, levels[k]);
        EXPECT_EQ(*rows[k].retentionPos, retention[k]);
        EXPECT_EQ(*rows[k].retentionNeg, retention[k]);
    }
    // With no load at all, every retention and every damping divides by zero.
    r.y.assign(r.y.size(), 0.0);
    for (const CycleRow& row : analyseCycles(r.x, r.y)) {
        EXPECT_FALSE(row.retentionPos);
        EXPECT_FALSE(row.damping);
        EXPECT_EQ(*row.stiffness, 0);
    }
}

TEST(CycleAnalysis, ReversalsNeedToClearTheDeadband)
{
    struct Case
    {
        std::vector<double> x;
        double tolerance;
        std::vector<std::size_t> peaks;
        std::vector<std::size_t> valleys;
    };

    const Case cases[] = {
        { {}, 0.01, {}, {} },
        { { 5 }, 0.01, {}, {} },
        { { 0, 10, -10, 5 }, 0.01, { 2 }, { 3 } },  // one peak: no cycle
        { { 0, -10, 10, -10 }, 0.01, { 3 }, { 2 } },  // starts downwards
        // A 0.1 dip in a range of 20 is no reversal at 1 %, but is one at 0.
        { { 0, 10, 9.9, 10.5, -10, 0 }, 0.01, { 4 }, { 5 } },
        { { 0, 10, 9.9, 10.5, -10, 0 }, 0, { 2, 4 }, { 3, 5 } },
        // Within the deadband of the start, nothing turns.
        { { 0, 0.1, -0.1, 0.1, 10, 0 }, 0.05, { 5 }, {} },
        // A turn of exactly the deadband (2 in a range of 10) is no reversal.
        { { 0, 8, 6, 8.5, -1.5 }, 0.2, { 4 }, {} },
        { { 0, -8, -6, -8.5, 1.5 }, 0.2, {}, { 4 } },
        // The last candidate is no reversal.
        { { 0, 10, 0, 10 }, 0.01, { 2 }, { 3 } },
    };
    for (const Case& c : cases) {
        const Reversals r = findReversals(c.x, c.tolerance);
        EXPECT_EQ(r.peaks, c.peaks);
        EXPECT_EQ(r.valleys, c.valleys);
    }
    const Case& onePeak = cases[2];
    EXPECT_TRUE(analyseCycles(onePeak.x, onePeak.x).empty());
}

TEST(CycleAnalysis, RefusesToleranceOutsideItsRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    struct Case
    {
        double cycle;
        double level;
        bool good;
    };

    for (const Case c : { Case { 0, 0, true }, Case { 0.4999, 10, true }, Case { 0.5, 0.05, false },
             Case { -0.01, 0.05, false }, Case { nan, 0.05, false }, Case { 0.01, -1, false },
             Case { 0.01, nan, false }, Case { 0.01, inf, false } }) {
        SCOPED_TRACE(testing::Message() << c.cycle << " " << c.level);
        EXPECT_EQ(checkCycleOptions({ c.cycle, c.level }).empty(), c.good);
    }
    const std::vector<double> x { 0, 10, -10, 10, -10, 0 };
    EXPECT_EQ(analyseCycles(x, x).size(), 1u);
    EXPECT_TRUE(analyseCycles(x, x, { 0.5, 0.05 }).empty());
}
