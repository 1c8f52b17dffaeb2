#include "run/cross_check.h"
#include "run/run_failure.h"
#include "tests/support/recording_host.h"
#include "tests/support/reference_cross_check.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>

using run::PreparedPoints;

namespace {

struct Outcome
{
    std::string file;
    std::vector<std::string> drawing;
    std::vector<std::string> statuses;
    bool failed = false;
    std::int64_t failedAt = 0;
};

Outcome fast(const PreparedPoints& p)
{
    TempFolder dir;
    RecordingHost host;
    Outcome o;
    try {
        run::runCrossCheck(host, p, dir.file("a.buf"));
    } catch (const run::RunFailure& f) {
        o.failed = true;
        o.failedAt = f.pointIndex();
    }
    o.file = readFile(dir.file("a.buf"));
    o.drawing = host.drawing;
    o.statuses = host.statuses;
    return o;
}

Outcome reference(const PreparedPoints& p)
{
    TempFolder dir;
    RecordingHost host;
    Outcome o;
    const ReferenceResult r = referenceCrossCheck(host, p, dir.file("a.buf"));
    o.failed = r.failed;
    o.failedAt = r.failedAt;
    o.file = readFile(dir.file("a.buf"));
    o.drawing = host.drawing;
    o.statuses = host.statuses;
    return o;
}

void expectSameAsReference(const PreparedPoints& p, const std::string& what)
{
    const Outcome f = fast(p);
    const Outcome r = reference(p);
    ASSERT_EQ(f.failed, r.failed) << what;
    ASSERT_EQ(f.failedAt, r.failedAt) << what;
    ASSERT_EQ(f.file, r.file) << what;
    ASSERT_EQ(f.drawing, r.drawing) << what;
    ASSERT_EQ(f.statuses, r.statuses) << what;
}

// Prepared points hold only values that survived the point file's text.
void add(PreparedPoints& p, double x, double y)
{
    p.x.push_back(run::roundTripDouble(x));
    p.y.push_back(run::roundTripDouble(y));
}

// A cyclic record of growing amplitude with hysteresis and noise, as a test machine records.
PreparedPoints cyclicRecord(std::mt19937_64& rng, int samples, double noise)
{
    std::normal_distribution<double> jitter(0.0, noise);
    PreparedPoints p;
    const double cycles = 2 + static_cast<double>(rng() % 8);
    double previousX = NAN;
    for (int i = 0; i < samples; ++i) {
        const double t = cycles * 2 * M_PI * i / samples;
        const double amplitude = 1 + 3 * t / (cycles * 2 * M_PI);
        const double x = amplitude * std::sin(t) + jitter(rng);
        const double y = 2 * x - 0.8 * amplitude * std::cos(t) + jitter(rng);
        if (x == previousX)
            continue;
        previousX = x;
        add(p, x, y);
    }
    return p;
}

// Random walks on a coarse grid: crossings at end points, parallel and collinear segments.
PreparedPoints gridWalk(std::mt19937_64& rng, int samples, int grid)
{
    PreparedPoints p;
    std::uniform_int_distribution<int> step(-grid, grid);
    double x = 0;
    double y = 0;
    add(p, x, y);
    while (static_cast<int>(p.size()) < samples) {
        const int dx = step(rng);
        if (dx == 0)
            continue;
        x += dx * 0.25;
        y += step(rng) * 0.5;
        add(p, x, y);
    }
    return p;
}

// Segments whose slopes differ by about the 0.01 threshold.
PreparedPoints nearlyParallel(std::mt19937_64& rng, int samples)
{
    PreparedPoints p;
    std::uniform_real_distribution<double> offset(-0.02, 0.02);
    for (int i = 0; i < samples; ++i) {
        const double x = (i % 2 == 0 ? 1.0 : -1.0) * (1 + i * 0.01);
        const double slope = 1.0 + (i % 3) * 0.005 + offset(rng) * 0.5;
        add(p, x, slope * x + offset(rng));
    }
    return p;
}

}  // namespace

// ---- the fast check gives exactly what the plain double loop gives ----

TEST(CrossCheck, SameAsPlainLoopOnCyclicRecords)
{
    std::mt19937_64 rng(1);
    for (int round = 0; round < 400; ++round) {
        const int samples = 3 + static_cast<int>(rng() % (round < 360 ? 60 : 1500));
        const double noise = (round % 3) * 0.01;
        expectSameAsReference(cyclicRecord(rng, samples, noise), "cyclic " + std::to_string(round));
    }
}

TEST(CrossCheck, SameAsPlainLoopOnScaledAndShiftedRecords)
{
    // Large offsets and scales stress the rounding allowances of the candidate search.
    std::mt19937_64 rng(12);
    const double scales[] = { 1e-9, 1e-3, 1, 1e3, 1e8 };
    const double offsets[] = { 0, 1e3, 1e6, -1e9 };
    for (int round = 0; round < 200; ++round) {
        const PreparedPoints base = cyclicRecord(rng, 20 + static_cast<int>(rng() % 300), 0.02);
        const double sx = scales[rng() % 5];
        const double sy = scales[rng() % 5];
        const double ox = offsets[rng() % 4] * sx;
        PreparedPoints p;
        for (std::size_t i = 0; i < base.size(); ++i)
            add(p, base.x[i] * sx + ox, base.y[i] * sy);
        bool distinct = true;
        for (std::size_t i = 1; i < p.size(); ++i)
            distinct = distinct && p.x[i] != p.x[i - 1];
        if (distinct)
            expectSameAsReference(p, "scaled " + std::to_string(round));
    }
}

TEST(CrossCheck, SameAsPlainLoopWithLongSegmentsAmongShortOnes)
{
    // A few long strokes across a dense record: their boxes cover many cells of the index.
    std::mt19937_64 rng(13);
    for (int round = 0; round < 100; ++round) {
        PreparedPoints p = cyclicRecord(rng, 100 + static_cast<int>(rng() % 400), 0.01);
        PreparedPoints q;
        for (std::size_t i = 0; i < p.size(); ++i) {
            q.x.push_back(p.x[i]);
            q.y.push_back(p.y[i]);
            if (rng() % 60 == 0) {
                add(q, (rng() % 2 ? 50.0 : -50.0) + static_cast<double>(i) * 1e-3,
                    static_cast<double>(rng() % 40) - 20.0);
            }
        }
        bool distinct = true;
        for (std::size_t i = 1; i < q.size(); ++i)
            distinct = distinct && q.x[i] != q.x[i - 1];
        if (distinct)
            expectSameAsReference(q, "strokes " + std::to_string(round));
    }
}

TEST(CrossCheck, SameAsPlainLoopOnGridWalks)
{
    std::mt19937_64 rng(2);
    for (int round = 0; round < 1500; ++round) {
        const int samples = 2 + static_cast<int>(rng() % 40);
        expectSameAsReference(
            gridWalk(rng, samples, 1 + round % 4), "grid " + std::to_string(round));
    }
}

TEST(CrossCheck, SameAsPlainLoopOnNearlyParallelSegments)
{
    std::mt19937_64 rng(3);
    for (int round = 0; round < 300; ++round)
        expectSameAsReference(nearlyParallel(rng, 3 + static_cast<int>(rng() % 50)),
            "parallel " + std::to_string(round));
}

TEST(CrossCheck, SameAsPlainLoopWithZeroWidthAndUnholdableSegments)
{
    std::mt19937_64 rng(4);
    for (int round = 0; round < 600; ++round) {
        PreparedPoints p = gridWalk(rng, 3 + static_cast<int>(rng() % 30), 2);
        const std::size_t n = p.size();
        switch (round % 4) {
        case 0:  // a repeated X somewhere
            p.x[1 + rng() % (n - 1)] = p.x[rng() % n];
            break;
        case 1:  // two repeated X values
            for (int k = 0; k < 2; ++k) {
                const std::size_t i = 1 + rng() % (n - 1);
                p.x[i] = p.x[i - 1];
            }
            break;
        case 2:  // a slope too steep to hold
            p.x[1 + rng() % (n - 1)] += 1e-300;
            p.y[rng() % n] = 1e300;
            break;
        default:  // huge loads: intercepts and crossing loads beyond the single range
            p.y[rng() % n] = 1e39 * ((rng() % 2) ? 1 : -1);
            break;
        }
        expectSameAsReference(p, "faulty " + std::to_string(round));
    }
}

TEST(CrossCheck, SameAsPlainLoopWhereTheStepsAddUpPastTheDoubleRange)
{
    // Steps of 1e308 each: the record's width and the steps' sum are infinite, their ratio none.
    PreparedPoints p;
    for (int i = 0; i < 12; ++i)
        add(p, (i % 4 == 1 ? 1e308 : i % 4 == 3 ? -1e308 : 0.0) + i, i % 3 - 1.0);
    expectSameAsReference(p, "past the double range");
}

TEST(CrossCheck, ZeroWidthSegmentNamesItsEndPoint)
{
    PreparedPoints p;
    for (double x : { 0.0, 1.0, 2.0, 3.0, 3.0, 4.0, 4.0 })
        add(p, x, x * x);
    const Outcome f = fast(p);
    EXPECT_TRUE(f.failed);
    EXPECT_EQ(f.failedAt, 5);  // points 4 and 5 share X; the first walk meets it first

    PreparedPoints q;
    for (double x : { 0.0, 1.0, 1.0, 3.0 })
        add(q, x, x);
    EXPECT_EQ(fast(q).failedAt, 3);
}

// ---- the cross-check file ----

TEST(CrossCheck, TwoPointsAndNoCrossing)
{
    PreparedPoints p;
    add(p, 1, 2);
    add(p, 3, -4);
    EXPECT_EQ(
        fast(p).file, " 1             2             1 \r\n 3            -4             1 \r\n");

    PreparedPoints line;
    for (int i = 0; i < 10; ++i)
        add(line, i, i % 3);
    const Outcome o = fast(line);
    EXPECT_EQ(o.file.find(" 2 \r\n"), std::string::npos);  // every record in group 1
}

TEST(CrossCheck, ACrossingIsWrittenOnBothSegmentsAndAdvancesTheGroup)
{
    // Segment 3 (1,0)-(3,2) and segment 5 (3,0)-(1,2) cross at (2,1).
    PreparedPoints p;
    for (auto [x, y] :
        { std::pair { 0.0, 0.0 }, { 1.0, 0.0 }, { 3.0, 2.0 }, { 3.5, 0.0 }, { 1.0, 2.5 } })
        add(p, x, y);
    RecordingHost host;
    TempFolder dir;
    const run::CrossRecords r = run::runCrossCheck(host, p, dir.file("a.buf"));
    const std::vector<std::int64_t> groups { 1, 1, 1, 2, 2, 2, 3 };
    EXPECT_EQ(r.group, groups);
    // The crossing stands before point 3 and before point 5, at the same place.
    EXPECT_EQ(r.x[2], r.x[5]);
    EXPECT_EQ(r.y[2], r.y[5]);
    EXPECT_GT(r.x[2], 1.0);
    EXPECT_LT(r.x[2], 3.0);
    EXPECT_EQ(host.statuses, std::vector<std::string> { "Cross checking..." });
    EXPECT_EQ(host.drawing[0].rfind("dot ", 0), 0u);
    EXPECT_NE(host.drawing[0].find("255,0,0"), std::string::npos);
    EXPECT_EQ(host.drawing[1], "to 3 -2 0,249,6");  // group 2's colour
}

TEST(CrossCheck, ATurningPointCountsWhereSinglePrecisionPutsItInsideBothSpans)
{
    // 0.7 in single precision is 0.699999988: just inside (0.5, 0.7) and (0.6, 0.7).
    PreparedPoints p;
    for (auto [x, y] : { std::pair { 0.0, 0.0 }, { 0.5, 0.0 }, { 0.7, 1.0 }, { 0.6, 0.0 } })
        add(p, x, y);
    TempFolder dir;
    RecordingHost host;
    const run::CrossRecords r = run::runCrossCheck(host, p, dir.file("a.buf"));
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r.x[2], 0.7);
    EXPECT_EQ(r.x[4], 0.7);
    EXPECT_EQ(r.group, (std::vector<std::int64_t> { 1, 1, 1, 2, 2, 3 }));
    const std::string file = readFile(dir.file("a.buf"));
    const std::size_t third = file.find("\r\n", file.find("\r\n") + 2) + 2;
    EXPECT_EQ(file.substr(third, 31), " 0.7           1             1 ");
}

TEST(CrossCheck, GroupColoursCycle)
{
    EXPECT_EQ(run::groupColour(1), (run::Rgb { 0, 252, 3 }));
    EXPECT_EQ(run::groupColour(85), (run::Rgb { 0, 255, 0 }));
    EXPECT_EQ(run::groupColour(86), (run::Rgb { 0, 252, 3 }));
    EXPECT_EQ(run::groupColour(84), (run::Rgb { 0, 3, 252 }));
}

// ---- a second thread walking ahead changes nothing ----

namespace {

// Keeps every record it takes, bit for bit; fails once it has taken `failAfter`.
class KeepingSink : public run::CrossRecordSink
{
public:
    std::vector<std::uint64_t> bits;
    std::size_t failAfter = SIZE_MAX;

    void take(double x, double y, std::int64_t group) override
    {
        if (bits.size() / 3 == failAfter)
            throw run::RunFailure(run::FailureCode::OutOfMemory, "sink full");
        bits.push_back(std::bit_cast<std::uint64_t>(x));
        bits.push_back(std::bit_cast<std::uint64_t>(y));
        bits.push_back(static_cast<std::uint64_t>(group));
    }
};

struct Streamed
{
    std::string file;
    std::vector<std::string> drawing;
    std::vector<std::uint64_t> records;
    std::string failure;  // code, point and detail; empty when it finished
};

Streamed stream(const PreparedPoints& p, run::Threads threads, const std::string& path,
    std::size_t sinkFailsAfter = SIZE_MAX)
{
    RecordingHost host;
    KeepingSink sink;
    sink.failAfter = sinkFailsAfter;
    Streamed s;
    try {
        run::runCrossCheck(host, p, path, sink, threads);
    } catch (const run::RunFailure& f) {
        s.failure = std::to_string(static_cast<int>(f.code())) + " "
            + std::to_string(f.pointIndex()) + " " + f.what();
    }
    if (path != "/dev/full")
        s.file = readFile(path);
    s.drawing = std::move(host.drawing);
    s.records = std::move(sink.bits);
    return s;
}

// Returns the one thread's stream, which the two threads' matched.
Streamed expectSameWithTwoThreads(
    const PreparedPoints& p, const std::string& what, std::size_t sinkFailsAfter = SIZE_MAX)
{
    TempFolder dir;
    const bool full = what.find("full") != std::string::npos;
    const Streamed one =
        stream(p, run::Threads::One, full ? "/dev/full" : dir.file("1.buf"), sinkFailsAfter);
    const Streamed two =
        stream(p, run::Threads::Two, full ? "/dev/full" : dir.file("2.buf"), sinkFailsAfter);
    EXPECT_EQ(one.failure, two.failure) << what;
    EXPECT_TRUE(one.file == two.file) << what;
    EXPECT_TRUE(one.drawing == two.drawing) << what;
    EXPECT_TRUE(one.records == two.records) << what;
    return one;
}

}  // namespace

TEST(CrossCheck, TwoThreadsGiveTheSameStream)
{
    std::mt19937_64 rng(21);
    for (int round = 0; round < 7; ++round) {
        const PreparedPoints p = round == 6
            ? gridWalk(rng, 1500, 1)
            : cyclicRecord(rng, 1000 + static_cast<int>(rng() % 1500), 0.2 * (1 + round % 3));
        const Streamed s = expectSameWithTwoThreads(p, "record " + std::to_string(round));
        EXPECT_EQ(s.failure, "");
        if (round < 6) {
            EXPECT_GT(s.records.size() / 3, 3 * p.size());  // many crossings per walked segment
        }
    }
}

TEST(CrossCheck, TwoThreadsFailAndStopWhereOneDoes)
{
    std::mt19937_64 rng(22);
    // A crossing's load beyond the single range, met in the middle of the walks.
    PreparedPoints huge = cyclicRecord(rng, 4000, 0.2);
    for (std::size_t i = 2500; i < 2600; ++i)
        huge.y[i] *= 1e40;
    const auto failsMidway = [](const Streamed& s, const std::string& failure) {
        EXPECT_EQ(s.failure.substr(0, failure.size()), failure);
        EXPECT_GT(s.records.size() / 3, 3000u);
    };
    failsMidway(expectSameWithTwoThreads(huge, "huge load"), "6 ");
    // The file's writes fail once its buffer fills; the sink fails after some records.
    const PreparedPoints noisy = cyclicRecord(rng, 4000, 0.2);
    failsMidway(expectSameWithTwoThreads(noisy, "disk full"), "61 0 ");
    failsMidway(expectSameWithTwoThreads(noisy, "sink fails", 12345), "7 0 sink full");
    // Segments of zero width, in either half of the set-up: the first walk fails at the first.
    for (const std::vector<std::size_t>& segments :
        std::vector<std::vector<std::size_t>> { { 3 }, { 1500 }, { 3700 }, { 1500, 3700 } }) {
        PreparedPoints same = noisy;
        for (const std::size_t segment : segments)
            same.x[segment - 1] = same.x[segment - 2];
        const std::string first = std::to_string(segments[0]);
        const Streamed s = expectSameWithTwoThreads(same, "same X at " + first);
        EXPECT_EQ(s.failure.substr(0, 4 + first.size()), "11 " + first + " ");
    }

    // A stop request: the second thread stops and is joined before the stop reaches the caller.
    const PreparedPoints longer = cyclicRecord(rng, 30000, 0.05);
    for (const int yields : { 2, 3 }) {
        RecordingHost host;
        host.recordDrawing = false;
        host.stopAfterYields = yields;
        KeepingSink sink;
        EXPECT_THROW(
            run::runCrossCheck(host, longer, "", sink, run::Threads::Two), run::RunStopped);
        EXPECT_EQ(host.yields, yields);
    }
}
