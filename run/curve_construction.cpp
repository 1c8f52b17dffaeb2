#include "run/curve_construction.h"

#include "run/point_preparation.h"
#include "run/run_failure.h"
#include "run/run_pace.h"

namespace run {

namespace {

    enum class Side
    {
        Positive,
        Negative
    };

    // Progress counts the records of both passes.
    struct PassProgress
    {
        std::int64_t before;  // records the passes before this one read
        std::int64_t total;
    };

    // One pass over the records for one side. `next(x, y, g)` hands over the next record and
    // returns whether another follows.
    template <typename NextRecord>
    void buildSide(RunHost& host, Side side, double reachStart, TextWriter& file,
        PassProgress progress, NextRecord&& next)
    {
        const bool positive = side == Side::Positive;
        file.writeText(kCurveHeader);
        double reach = reachStart;
        double followed = 0;
        bool following = false;
        Pace pace(&host, progress.total, 4096);
        std::int64_t counter = 0;
        const auto keep = [&](double x, double y) {
            file.writeLine({ ZoneValue::of(x), ZoneValue::of(y) });
            host.drawLineTo(plotCoordinate(x), plotCoordinate(-y), kRed);
            pace.step(progress.before + counter, Pace::kDrawingCost);
        };

        host.drawDot(0.0f, 0.0f, kRed);
        bool more = true;
        while (more) {
            double x = 0;
            double y = 0;
            double g = 0;
            more = next(x, y, g);
            ++counter;
            pace.step(progress.before + counter);
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

    void buildSide(
        RunHost& host, const CrossRecords& records, Side side, double reachStart, TextWriter& file)
    {
        const auto count = static_cast<std::int64_t>(records.count());
        const PassProgress progress { side == Side::Positive ? 0 : count, 2 * count };
        if (records.inMemory) {
            std::size_t r = 0;
            buildSide(host, side, reachStart, file, progress, [&](double& x, double& y, double& g) {
                x = records.x[r];
                y = records.y[r];
                g = static_cast<double>(records.group[r]);
                return ++r < records.size();
            });
            return;
        }
        TextReader reader(records.filePath, TextReader::Links::Refuse);
        buildSide(host, side, reachStart, file, progress, [&](double& x, double& y, double& g) {
            x = readNumberItem(reader);
            y = readNumberItem(reader);
            g = readNumberItem(reader);
            return !reader.atEnd();
        });
    }

}  // namespace

std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath)
{
    host.enterPhase(RunPhase::Curve);
    host.setStatus("Varnel creating...");
    yieldOrStop(host);
    {
        TextWriter positive(positivePath);
        buildSide(host, records, Side::Positive, smallestX, positive);
        positive.close();
    }
    auto negative = std::make_unique<TextWriter>(negativePath);
    buildSide(host, records, Side::Negative, largestX, *negative);
    negative->flush();
    const auto total = 2 * static_cast<std::int64_t>(records.count());
    host.progress(total, total);
    return negative;
}

}  // namespace run
