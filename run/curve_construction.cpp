#include "run/curve_construction.h"

#include "run/point_preparation.h"
#include "run/run_failure.h"

namespace run {

namespace {

    enum class Side
    {
        Positive,
        Negative
    };

    // One pass over the records for one side. `counter` is the number of records read so far,
    // kept by the caller for failure reports.
    void buildSide(RunHost& host, const CrossRecords& records, Side side, double reachStart,
        TextWriter& file, std::size_t& counter)
    {
        const bool positive = side == Side::Positive;
        file.writeText(kCurveHeader);
        double reach = reachStart;
        std::int64_t followed = 0;
        bool following = false;
        const auto keep = [&](double x, double y) {
            file.writeLine({ ZoneValue::of(x), ZoneValue::of(y) });
            host.drawLineTo(plotCoordinate(x), plotCoordinate(-y), kRed);
        };

        host.drawDot(0.0f, 0.0f, kRed);
        counter = 0;
        const std::size_t n = records.size();
        for (std::size_t r = 0; r < n; ++r) {
            const double x = records.x[r];
            const double y = records.y[r];
            const std::int64_t g = records.group[r];
            ++counter;
            if (positive ? y < 0 : y > 0)
                continue;
            if (positive && counter == 1)
                keep(x, y);
            if (following && g == followed) {
                keep(x, y);
                reach = x;
            } else if (g > followed) {
                // A later group is taken up only where it reaches beyond the curve so far.
                if (positive ? x > reach : x < reach) {
                    following = true;
                    keep(x, y);
                    followed = g;
                } else {
                    following = false;
                }
            }
        }
    }

}  // namespace

std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath)
{
    host.setStatus("Varnel creating...");
    if (!host.yield())
        throw RunStopped {};
    std::size_t counter = 0;
    try {
        {
            TextWriter positive(positivePath);
            buildSide(host, records, Side::Positive, smallestX, positive, counter);
            positive.close();
        }
        auto negative = std::make_unique<TextWriter>(negativePath);
        buildSide(host, records, Side::Negative, largestX, *negative, counter);
        negative->flush();
        return negative;
    } catch (const RunFailure& f) {
        // A file failure: report how far the failing pass had read.
        throw RunFailure(f.code(), f.what(), f.line(), static_cast<std::int64_t>(counter));
    }
}

}  // namespace run
