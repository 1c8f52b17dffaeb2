#include "bench/plain_cross_check.h"

#include "run/run_failure.h"
#include "run/text_records.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace bench {

using run::FailureCode;
using run::RunFailure;
using run::ZoneValue;

run::CrossRecords plainCrossCheck(
    run::RunHost& host, const run::PreparedPoints& points, const std::string& crossCheckFilePath)
{
    const auto n = static_cast<std::int64_t>(points.size());
    // Indices from 1, as the algorithm counts points.
    const auto X = [&](std::int64_t i) { return points.x[static_cast<std::size_t>(i - 1)]; };
    const auto Y = [&](std::int64_t i) { return points.y[static_cast<std::size_t>(i - 1)]; };
    const auto segment = [&](std::int64_t i, double& k, double& c) {
        const double dx = X(i) - X(i - 1);
        if (dx == 0.0)
            throw RunFailure(FailureCode::DivisionByZero, "segment of zero width", 0, i);
        k = (Y(i) - Y(i - 1)) / dx;
        c = Y(i) - X(i) * k;
        if (!std::isfinite(k) || !std::isfinite(c))
            throw RunFailure(FailureCode::Overflow, "slope or intercept not finite", 0, i);
    };
    const auto inside = [&](std::int64_t i, float x) {
        const double xd = x;
        return X(i) > X(i - 1) ? X(i - 1) < xd && xd < X(i) : X(i) < xd && xd < X(i - 1);
    };

    run::CrossRecords records;
    std::int64_t group = 1;
    run::TextWriter file(crossCheckFilePath);
    const auto keepPoint = [&](std::int64_t i) {
        file.writeLine({ ZoneValue::of(X(i)), ZoneValue::of(Y(i)), ZoneValue::whole(group) });
        records.x.push_back(X(i));
        records.y.push_back(Y(i));
        records.group.push_back(group);
    };

    host.setStatus("Cross checking...");
    if (!host.yield())
        throw run::RunStopped {};
    keepPoint(1);
    keepPoint(2);
    for (std::int64_t a = 3; a <= n; ++a) {
        if (!host.yield())
            throw run::RunStopped {};
        double k1 = 0.0;
        double c1 = 0.0;
        segment(a, k1, c1);
        for (std::int64_t t = 2; t <= n; ++t) {
            double k2 = 0.0;
            double c2 = 0.0;
            segment(t, k2, c2);
            if (!(std::fabs(k1 - k2) > 0.01))
                continue;
            const double xc = (c2 - c1) / (k1 - k2);
            const double yc = c2 + k2 * xc;
            // An X that a float cannot hold lies inside no span.
            if (!(std::fabs(xc) <= FLT_MAX))
                continue;
            const auto xs = static_cast<float>(xc);
            if (!inside(t, xs) || !inside(a, xs))
                continue;
            if (!(std::fabs(yc) <= FLT_MAX))
                throw RunFailure(FailureCode::Overflow, "crossing beyond single precision", 0, a);
            const auto ys = static_cast<float>(yc);
            file.writeLine(
                { ZoneValue::single(xs), ZoneValue::single(ys), ZoneValue::whole(group) });
            records.x.push_back(run::roundTripSingle(xs));
            records.y.push_back(run::roundTripSingle(ys));
            records.group.push_back(group);
            host.drawDot(xs, -ys, run::kRed);
            ++group;
        }
        keepPoint(a);
        const auto blue = static_cast<std::uint8_t>((3 * group) % 255);
        host.drawLineTo(run::plotCoordinate(X(a)), run::plotCoordinate(-Y(a)),
            run::Rgb { 0, static_cast<std::uint8_t>(255 - blue), blue });
    }
    file.close();
    return records;
}

}  // namespace bench
