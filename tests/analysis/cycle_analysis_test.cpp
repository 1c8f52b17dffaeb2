#include "analysis/run_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace analysis;

namespace {

run::Rows rowsOf(const std::vector<double>& x, const std::vector<double>& y)
{
    run::Rows rows;
    rows.x = x;
    rows.y = y;
    for (std::size_t i = 0; i < x.size(); ++i)
        rows.lines.push(static_cast<std::int64_t>(i) + 1);
    return rows;
}

void expectRelative(double actual, double expected)
{
    EXPECT_NEAR(actual, expected, 1e-9 * std::abs(expected));
}

// An elastic-perfectly-plastic test: the deformation runs 0 -> +u -> -u ... through `targets`,
// the load follows F += K du clamped to +-Fy, and each straight piece of the path (elastic or
// plastic) is sampled at its ends and at `steps` points between, so that the polyline is the
// path itself.
run::Rows elasticPlastic(double k, double fy, const std::vector<double>& targets, int steps)
{
    std::vector<double> x { 0 };
    std::vector<double> y { 0 };
    const auto lineTo = [&](double u, double f) {
        const double u0 = x.back();
        const double f0 = y.back();
        for (int s = 1; s <= steps; ++s) {
            x.push_back(u0 + (u - u0) * s / (steps + 1));
            y.push_back(f0 + (f - f0) * s / (steps + 1));
        }
        x.push_back(u);
        y.push_back(f);
    };
    for (const double target : targets) {
        const double direction = target > x.back() ? 1 : -1;
        const double yieldAt = x.back() + (direction * fy - y.back()) / k;
        if (direction * (target - yieldAt) > 0) {
            lineTo(yieldAt, direction * fy);
            lineTo(target, direction * fy);
        } else {
            lineTo(target, y.back() + k * (target - x.back()));
        }
    }
    return rowsOf(x, y);
}

std::vector<double> swings(const std::vector<double>& amplitudes, int perLevel)
{
    std::vector<double> targets;
    for (const double u : amplitudes)
        for (int c = 0; c < perLevel; ++c) {
            targets.push_back(u);
            targets.push_back(-u);
        }
    targets.push_back(0);
    return targets;
}

run::FinishedRun finishedRun(run::Rows rows)
{
    run::FinishedRun run;
    run.rows = std::move(rows);
    return run;
}

}  // namespace

TEST(CycleAnalysis, ElasticPlasticLoopsHaveTheirClosedForms)
{
    const double k = 100;
    const double fy = 50;
    const std::vector<double> amplitudes { 2, 3.5, 5.25, 7.125 };
    for (const EnvelopeKind kind : { EnvelopeKind::Load, EnvelopeKind::Deformation }) {
        CycleOptions options;
        options.envelope = kind;
        const RunTables t = analyseFinishedRun(
            finishedRun(elasticPlastic(k, fy, swings(amplitudes, 3), 4)), options);
        ASSERT_EQ(t.cycles.size(), 11u);  // 12 peaks
        double cumulative = 0;
        for (const CycleRow& row : t.cycles) {
            SCOPED_TRACE(row.cycle);
            // The third cycle of a level climbs to the next amplitude but closes at its own.
            const std::size_t level = (row.cycle + 2) / 3;
            const double u0 = amplitudes[level - 1];
            EXPECT_EQ(row.level, level);
            EXPECT_EQ(row.cycleInLevel, row.cycle - 3 * (level - 1));
            EXPECT_EQ(row.uPos, u0);
            EXPECT_EQ(row.uNeg, -u0);
            EXPECT_EQ(row.fUPos, fy);
            EXPECT_EQ(row.fUNeg, -fy);
            EXPECT_EQ(row.fMax, fy);
            EXPECT_EQ(row.uFMax, u0);  // the plateau's point furthest out
            EXPECT_EQ(row.fMin, -fy);
            EXPECT_EQ(row.uFMin, -u0);
            expectRelative(row.stiffness, fy / u0);
            expectRelative(row.energy, 4 * fy * (u0 - fy / k));
            expectRelative(*row.damping, 2 / std::numbers::pi * (1 - fy / (k * u0)));
            expectRelative(*row.residualPos, u0 - fy / k);
            expectRelative(*row.residualNeg, -(u0 - fy / k));
            EXPECT_EQ(*row.retentionPos, 1);
            EXPECT_EQ(*row.retentionNeg, 1);
            cumulative += row.energy;
            EXPECT_EQ(row.cumulativeEnergy, cumulative);
        }
        EXPECT_FALSE(t.loopsReversed);

        // Each level's first and last cycle on each side; the backbone climbs straight to the
        // first amplitude and stays at Fy, so the idealisation is the elastic-plastic curve.
        ASSERT_EQ(t.envelope.size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const EnvelopeRow& e = t.envelope[i];
            const double sign = i < 4 ? 1 : -1;
            EXPECT_EQ(e.side, i < 4 ? Side::Positive : Side::Negative);
            EXPECT_EQ(e.level, i % 4 + 1);
            EXPECT_EQ(e.cycles, i % 4 == 3 ? 2u : 3u);
            EXPECT_EQ(e.uFirst, sign * amplitudes[i % 4]);
            EXPECT_EQ(e.fLast, sign * fy);
        }
        for (const BackboneRow& b : { t.positive, t.negative }) {
            EXPECT_EQ(*b.peakLoad, fy);
            EXPECT_EQ(*b.peakDeformation, 2);
            expectRelative(*b.elasticStiffness, fy / 2);
            EXPECT_EQ(*b.ultimateDeformation, 7.125);
            expectRelative(*b.yieldLoad, fy);
            expectRelative(*b.ductility, 7.125 / 2);
        }
        const std::vector<PlanePoint> bilinear { { 0, 0 },
            { -*t.negative.yieldDeformation, -*t.negative.yieldLoad },
            { -7.125, -*t.negative.yieldLoad } };
        EXPECT_EQ(t.negativeLines.bilinear, bilinear);
        EXPECT_EQ(t.negativeLines.backbone.back(), (PlanePoint { -7.125, -fy }));
    }
}

TEST(CycleAnalysis, ElasticRecordDissipatesNothing)
{
    const double k = 37.5;
    const RunTables t = analyseFinishedRun(
        finishedRun(elasticPlastic(k, 1e9, swings({ 1.3, 2.9, 4.1 }, 2), 7)), {});
    ASSERT_EQ(t.cycles.size(), 5u);
    for (const CycleRow& row : t.cycles) {
        EXPECT_NEAR(row.energy, 0, 1e-9 * k * row.uPos * row.uPos);
        expectRelative(row.stiffness, k);
    }
}

TEST(CycleAnalysis, LoopsRunningBackwardsPointToTheLoadsSign)
{
    run::Rows rows = elasticPlastic(100, 50, swings({ 2, 3 }, 2), 1);
    const RunTables right = analyseFinishedRun(finishedRun(rows), {});
    for (double& y : rows.y)
        y = -y;
    const RunTables reversed = analyseFinishedRun(finishedRun(rows), {});
    EXPECT_FALSE(right.loopsReversed);
    EXPECT_TRUE(reversed.loopsReversed);
    EXPECT_EQ(reversed.totalEnergy, -right.totalEnergy);
    EXPECT_EQ(reversed.medianStiffness, -right.medianStiffness);
    // Three cycles: the middle stiffness.
    EXPECT_EQ(right.medianStiffness, right.cycles[1].stiffness);
}

TEST(CycleAnalysis, LoopsCloseAtTheSmallerPeaksDeformation)
{
    // Peaks at 5, 4 and 6 (rows 1, 5, 9 from 0), valleys at -4 (rows 3, 7); blank lines in
    // the data file before rows 4 and 9. Cycle 1 starts where X falls back through 4 and ends at
    // row 5; cycle 2 starts at row 5 and ends where X climbs through 4.
    run::Rows rows;
    rows.x = { 0, 5, 3, -4, 0, 4, 1, -4, 2, 6, 0 };
    rows.y = { 0, 50, 10, -40, -5, 40, 0, -45, 10, 60, 0 };
    for (const std::int64_t line : { 3, 4, 5, 6, 8, 9, 10, 11, 12, 15, 16 })
        rows.lines.push(line);
    const Cycles c = analyseCycles(rows);
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.loops[0].start, (PlanePoint { 4, 30 }));
    EXPECT_EQ(c.loops[0].firstRow, 2u);
    EXPECT_EQ(c.loops[0].lastRow, 4u);
    EXPECT_EQ(c.loops[0].end, (PlanePoint { 4, 40 }));
    EXPECT_EQ(c.loops[1].start, (PlanePoint { 4, 40 }));
    EXPECT_EQ(c.loops[1].firstRow, 6u);
    EXPECT_EQ(c.loops[1].lastRow, 8u);
    EXPECT_EQ(c.loops[1].end, (PlanePoint { 4, 35 }));

    const CycleRow& a = c.rows[0];
    EXPECT_EQ(a.firstLine, 4);
    EXPECT_EQ(a.lastLine, 9);
    EXPECT_EQ(a.fUPos, 40);  // of the smaller peak
    EXPECT_EQ(a.energy, -20 + 105 - 90 + 70);
    EXPECT_DOUBLE_EQ(*a.residualPos, 1.6);
    EXPECT_DOUBLE_EQ(*a.residualNeg, 4.0 / 9);
    const CycleRow& b = c.rows[1];
    EXPECT_EQ(b.firstLine, 9);
    EXPECT_EQ(b.lastLine, 15);
    EXPECT_EQ(b.energy, -60 + 112.5 - 105 + 45);
    EXPECT_EQ(b.fMin, -45);
    EXPECT_EQ(b.uFMin, -4);
    EXPECT_EQ(*b.residualPos, 1);  // a row at load 0
    EXPECT_DOUBLE_EQ(*b.residualNeg, 10.0 / 11);

    // A load of 0 throughout: retention and damping divide by zero, and no load changes sign.
    rows.y.assign(rows.y.size(), 0.0);
    for (const CycleRow& row : analyseCycles(rows).rows) {
        EXPECT_FALSE(row.retentionPos || row.retentionNeg || row.damping || row.residualPos
            || row.residualNeg);
        EXPECT_EQ(row.stiffness, 0);
    }
}

TEST(CycleAnalysis, LevelsAndRetentionFollowTheLevelsFirstCycle)
{
    // Amplitude 20 three times; 21 (exactly 5 % more: same level); 21.5 twice (a new level).
    std::vector<double> x { 0 };
    std::vector<double> y { 0 };
    const double pos[] = { 10, 10, 10, 10.5, 10.75, 10.75, 10.75 };
    const double scale[] = { 1, 0.9, 0.85, 0.8, 0.7, 0.35, 0.35 };
    for (int k = 0; k < 7; ++k) {
        x.insert(x.end(), { pos[k], -pos[k] });
        y.insert(y.end(), { 100 * scale[k], -200 * scale[k] });
    }
    const Cycles c = analyseCycles(rowsOf(x, y));
    ASSERT_EQ(c.rows.size(), 6u);
    const std::size_t levels[] = { 1, 1, 1, 1, 2, 2 };
    const std::size_t inLevel[] = { 1, 2, 3, 4, 1, 2 };
    const double retention[] = { 1, 0.9, 0.85, 0.8, 1, 0.5 };
    for (std::size_t k = 0; k < c.rows.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(c.rows[k].level, levels[k]);
        EXPECT_EQ(c.rows[k].cycleInLevel, inLevel[k]);
        EXPECT_EQ(*c.rows[k].retentionPos, retention[k]);
        EXPECT_EQ(*c.rows[k].retentionNeg, retention[k]);
    }
}

TEST(CycleAnalysis, ReversalsClearTheDeadbandAndShortTurnBacksGo)
{
    struct Case
    {
        std::vector<double> x;
        double tolerance;
        std::vector<std::size_t> rows;  // 0-based, peaks and valleys alternating
    };

    const Case scans[] = {
        { {}, 0.01, {} },
        { { 5 }, 0.01, {} },
        { { 0, -10, 10, -10 }, 0.01, { 1, 2 } },  // starts downwards
        // A 0.1 dip in a range of 20 is no reversal at 1 %, but is one at 0.
        { { 0, 10, 9.9, 10.5, -10, 0 }, 0.01, { 3, 4 } },
        { { 0, 10, 9.9, 10.5, -10, 0 }, 0, { 1, 2, 3, 4 } },
        // A turn of exactly the deadband (2 in a range of 10) is no reversal.
        { { 0, 8, 6, 8.5, -1.5 }, 0.2, { 3 } },
        // The last candidate is no reversal.
        { { 0, 10, 0, 10 }, 0.01, { 1, 2 } },
    };
    for (const Case& c : scans) {
        std::vector<std::size_t> found;
        bool peak = c.x.size() > 1 && c.x[c.rows.empty() ? 0 : c.rows[0]] > c.x[0];
        for (const Reversal& r : findReversals(c.x, c.tolerance)) {
            found.push_back(r.row);
            EXPECT_EQ(r.peak, peak);
            peak = !peak;
        }
        EXPECT_EQ(found, c.rows);
    }

    // Turn-backs among reversals at these X, alternating valley, peak, ...
    struct TurnBacks
    {
        std::vector<double> x;
        double ratio;
        std::vector<std::size_t> kept;
    };

    const TurnBacks turnBacks[] = {
        { { -10, 10, 9, 20, -20 }, 0.25, { 0, 3, 4 } },
        { { -10, 10, 9, 20, -20 }, 0, { 0, 1, 2, 3, 4 } },
        // 1 is not less than a quarter of 20 and 4.
        { { -10, 10, 9, 13, -20 }, 0.25, { 0, 1, 2, 3, 4 } },
        // The first and last reversals never go.
        { { 10, 9, 20, -20 }, 0.25, { 0, 1, 2, 3 } },
        // Removing (9, 8.8) leaves (10, 8) a turn-back between 20 and 12: the search goes back.
        { { -10, 10, 8, 9, 8.8, 20, -20 }, 0.25, { 0, 5, 6 } },
        { { -10, 10, 9, 20, 19, 30, -30 }, 0.25, { 0, 5, 6 } },
    };
    for (const TurnBacks& c : turnBacks) {
        std::vector<Reversal> list;
        for (std::size_t i = 0; i < c.x.size(); ++i)
            list.push_back({ i, (i % 2 == 1) == (c.x[0] < c.x[1]) });
        std::vector<std::size_t> kept;
        for (const Reversal& r : removeTurnBacks(c.x, list, c.ratio))
            kept.push_back(r.row);
        EXPECT_EQ(kept, c.kept);
    }
}

TEST(CycleAnalysis, RefusesOptionsOutsideTheirRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    struct Case
    {
        double cycle;
        double turnBack;
        double level;
        bool good;
    };

    for (const Case c : { Case { 0, 0, 0, true }, Case { 0.4999, 0.9999, 10, true },
             Case { 0.5, 0.25, 0.05, false }, Case { -0.01, 0.25, 0.05, false },
             Case { nan, 0.25, 0.05, false }, Case { 0.01, 1, 0.05, false },
             Case { 0.01, -0.1, 0.05, false }, Case { 0.01, nan, 0.05, false },
             Case { 0.01, 0.25, -1, false }, Case { 0.01, 0.25, nan, false },
             Case { 0.01, 0.25, inf, false } }) {
        SCOPED_TRACE(testing::Message() << c.cycle << " " << c.turnBack << " " << c.level);
        EXPECT_EQ(checkCycleOptions({ c.cycle, c.turnBack, c.level }).empty(), c.good);
    }
    const run::Rows rows = rowsOf({ 0, 10, -10, 10, -10, 0 }, { 0, 1, -1, 1, -1, 0 });
    EXPECT_EQ(analyseCycles(rows).rows.size(), 1u);
    EXPECT_TRUE(analyseCycles(rows, { 0.5 }).rows.empty());
}

TEST(CycleAnalysis, OverflowingWorkLeavesDampingEmpty)
{
    // |F u| overflows on a record near the double range; the energy itself stays finite.
    const run::Rows rows =
        rowsOf({ 0, 1e300, -1e300, 1e300, -1e300, 0 }, { 0, 1e10, -1e10, 1e10, -1e10, 0 });
    const Cycles c = analyseCycles(rows);
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_FALSE(c.rows[0].damping);
    EXPECT_TRUE(std::isfinite(c.rows[0].energy));
}
