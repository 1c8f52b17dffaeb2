#pragma once

// The cross check as a plain double loop over every pair of segments, slopes and intercepts
// computed afresh for every use: slow, but obviously what the check must do. The fast check
// is compared with it, in the tests, the fuzzers and the benchmarks.

#include "run/cross_check.h"
#include "run/run_failure.h"
#include "run/text_records.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

struct ReferenceResult
{
    bool failed = false;
    std::int64_t failedAt = 0;  // the prepared point whose segment failed
    run::CrossRecords records;  // the records as the fast check hands them on
};

inline ReferenceResult referenceCrossCheck(
    run::RunHost& host, const run::PreparedPoints& p, const std::string& path)
{
    using run::ZoneValue;
    const auto n = static_cast<std::int64_t>(p.size());
    // Indices from 1, as the algorithm counts points.
    const auto X = [&](std::int64_t i) { return p.x[static_cast<std::size_t>(i - 1)]; };
    const auto Y = [&](std::int64_t i) { return p.y[static_cast<std::size_t>(i - 1)]; };

    struct Line
    {
        double k, c;
        bool ok;
    };

    const auto line = [&](std::int64_t i) {
        if (X(i) - X(i - 1) == 0)
            return Line { 0, 0, false };
        const double k = (Y(i) - Y(i - 1)) / (X(i) - X(i - 1));
        const double c = Y(i) - X(i) * k;
        return Line { k, c, std::isfinite(k) && std::isfinite(c) };
    };

    ReferenceResult result;
    run::CrossRecords& records = result.records;
    const auto failAt = [&](std::int64_t i) {
        result.failed = true;
        result.failedAt = i;
        return result;
    };
    std::int64_t g = 1;
    run::TextWriter file(path);
    const auto keepPoint = [&](std::int64_t i) {
        file.writeLine({ ZoneValue::of(X(i)), ZoneValue::of(Y(i)), ZoneValue::whole(g) });
        records.x.push_back(X(i));
        records.y.push_back(Y(i));
        records.group.push_back(g);
    };

    host.setStatus("Cross checking...");
    host.yield();
    keepPoint(1);
    keepPoint(2);
    for (std::int64_t a = 3; a <= n; ++a) {
        host.yield();
        const Line l1 = line(a);
        if (!l1.ok)
            return failAt(a);
        for (std::int64_t t = 2; t <= n; ++t) {
            const Line l2 = line(t);
            if (!l2.ok)
                return failAt(t);
            if (!(std::fabs(l1.k - l2.k) > 0.01))
                continue;
            const double xc = (l2.c - l1.c) / (l1.k - l2.k);
            const double yc = l2.c + l2.k * xc;
            if (!std::isfinite(xc) || std::fabs(xc) > FLT_MAX)
                continue;
            const auto xf = static_cast<float>(xc);
            const bool aRising = X(a) > X(a - 1);
            const bool tRising = X(t) > X(t - 1);
            const bool inT = tRising ? X(t - 1) < xf && xf < X(t) : X(t) < xf && xf < X(t - 1);
            const bool inA = aRising ? X(a - 1) < xf && xf < X(a) : X(a) < xf && xf < X(a - 1);
            if (!(inT && inA))
                continue;
            if (!std::isfinite(yc) || std::fabs(yc) > FLT_MAX)
                return failAt(a);
            const auto yf = static_cast<float>(yc);
            file.writeLine({ ZoneValue::single(xf), ZoneValue::single(yf), ZoneValue::whole(g) });
            records.x.push_back(run::roundTripSingle(xf));
            records.y.push_back(run::roundTripSingle(yf));
            records.group.push_back(g);
            host.drawDot(xf, -yf, run::kRed);
            ++g;
        }
        keepPoint(a);
        host.drawLineTo(run::plotCoordinate(X(a)), run::plotCoordinate(-Y(a)), run::groupColour(g));
    }
    file.close();
    return result;
}
