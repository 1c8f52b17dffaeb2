#pragma once

// The cross check as a plain double loop over every pair of segments, slopes and intercepts
// computed afresh for every use: slow, but obviously what the check must do. The fast check
// is compared with it.

#include "run/cross_check.h"
#include "run/run_failure.h"
#include "run/text_records.h"

#include <cfloat>
#include <cmath>

struct ReferenceResult
{
    bool failed = false;
    std::int64_t failedAt = 0;
};

inline ReferenceResult referenceCrossCheck(
    run::RunHost& host, const run::PreparedPoints& p, const std::string& path)
{
    using run::ZoneValue;
    const auto n = static_cast<std::int64_t>(p.size());
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

    host.setStatus("Cross checking...");
    host.yield();
    run::TextWriter file(path);
    std::int64_t g = 1;
    file.writeLine({ ZoneValue::of(X(1)), ZoneValue::of(Y(1)), ZoneValue::whole(g) });
    file.writeLine({ ZoneValue::of(X(2)), ZoneValue::of(Y(2)), ZoneValue::whole(g) });
    for (std::int64_t a = 3; a <= n; ++a) {
        host.yield();
        const Line l1 = line(a);
        if (!l1.ok)
            return { true, a };
        for (std::int64_t t = 2; t <= n; ++t) {
            const Line l2 = line(t);
            if (!l2.ok)
                return { true, t };
            if (!(std::fabs(l1.k - l2.k) > 0.01))
                continue;
            const double xc = (l2.c - l1.c) / (l1.k - l2.k);
            const double yc = l2.c + l2.k * xc;
            if (!std::isfinite(xc) || std::fabs(xc) > FLT_MAX)
                continue;
            const auto xf = static_cast<float>(xc);
            bool crossing = false;
            const bool aRising = X(a) > X(a - 1);
            const bool tRising = X(t) > X(t - 1);
            const bool inT = tRising ? X(t - 1) < xf && xf < X(t) : X(t) < xf && xf < X(t - 1);
            const bool inA = aRising ? X(a - 1) < xf && xf < X(a) : X(a) < xf && xf < X(a - 1);
            crossing = inT && inA;
            if (!crossing)
                continue;
            if (!std::isfinite(yc) || std::fabs(yc) > FLT_MAX)
                return { true, a };
            const auto yf = static_cast<float>(yc);
            file.writeLine({ ZoneValue::single(xf), ZoneValue::single(yf), ZoneValue::whole(g) });
            host.drawDot(xf, -yf, run::kRed);
            ++g;
        }
        file.writeLine({ ZoneValue::of(X(a)), ZoneValue::of(Y(a)), ZoneValue::whole(g) });
        host.drawLineTo(run::plotCoordinate(X(a)), run::plotCoordinate(-Y(a)), run::groupColour(g));
    }
    file.close();
    return {};
}
