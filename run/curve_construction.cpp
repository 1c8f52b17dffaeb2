#include "run/curve_construction.h"

#include "run/point_preparation.h"
#include "run/run_failure.h"
#include "run/run_pace.h"

namespace run {

CurveStream::CurveStream(double smallestX, double largestX)
    : m_positive { true, smallestX, 0, false, {} }
    , m_negative { false, largestX, 0, false, {} }
{
}

void CurveStream::Side::take(double x, double y, double g, bool first)
{
    if (positive ? y < 0 : y > 0)
        return;
    const auto keep = [&] {
        kept.push_back(x);
        kept.push_back(y);
    };
    if (positive && first)
        keep();
    if (following && g == followed) {
        keep();
        reach = x;
    } else if (g > followed) {
        // A later group is taken up only where it reaches beyond the curve so far.
        if (positive ? x > reach : x < reach) {
            following = true;
            keep();
            followed = g;
        } else {
            following = false;
        }
    }
}

void CurveStream::take(double x, double y, std::int64_t group)
{
    const auto g = static_cast<double>(group);
    m_positive.take(x, y, g, m_first);
    m_negative.take(x, y, g, m_first);
    m_first = false;
}

namespace {

    void writeSide(RunHost& host, const std::vector<double>& kept, TextWriter& file,
        std::int64_t before, std::int64_t total)
    {
        file.writeText(kCurveHeader);
        host.drawDot(0.0f, 0.0f, kRed);
        Pace pace(&host, total, 256);
        for (std::size_t i = 0; i < kept.size(); i += 2) {
            file.writeLine({ ZoneValue::of(kept[i]), ZoneValue::of(kept[i + 1]) });
            host.drawLineTo(plotCoordinate(kept[i]), plotCoordinate(-kept[i + 1]), kRed);
            pace.step(before + static_cast<std::int64_t>(i / 2) + 1, 1 + Pace::kDrawingCost);
        }
    }

}  // namespace

std::unique_ptr<TextWriter> CurveStream::finish(RunHost& host, const std::string& positivePath,
    const std::string& negativePath, const std::string& positiveName,
    const std::string& negativeName)
{
    host.enterPhase(RunPhase::Curve);
    host.setStatus("Varnel creating...");
    yieldOrStop(host);
    const auto positiveCount = static_cast<std::int64_t>(m_positive.kept.size() / 2);
    const auto total = positiveCount + static_cast<std::int64_t>(m_negative.kept.size() / 2);
    {
        TextWriter positive(positivePath, positiveName);
        writeSide(host, m_positive.kept, positive, 0, total);
        positive.close();
    }
    auto negative = std::make_unique<TextWriter>(negativePath, negativeName);
    writeSide(host, m_negative.kept, *negative, positiveCount, total);
    negative->flush();
    host.progress(total, total);
    return negative;
}

CurveSides CurveStream::sides() const
{
    const auto side = [](const std::vector<double>& kept) {
        CurveSide points;
        points.x.reserve(kept.size() / 2);
        points.y.reserve(kept.size() / 2);
        for (std::size_t i = 0; i < kept.size(); i += 2) {
            points.x.push_back(kept[i]);
            points.y.push_back(kept[i + 1]);
        }
        return points;
    };
    return { side(m_positive.kept), side(m_negative.kept) };
}

std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath)
{
    CurveStream stream(smallestX, largestX);
    if (records.inMemory) {
        for (std::size_t r = 0; r < records.size(); ++r)
            stream.take(records.x[r], records.y[r], records.group[r]);
    } else {
        TextReader reader(records.filePath, TextReader::Links::Refuse);
        do {
            const double x = readNumberItem(reader);
            const double y = readNumberItem(reader);
            const auto g = static_cast<std::int64_t>(readNumberItem(reader));
            stream.take(x, y, g);
        } while (!reader.atEnd());
    }
    return stream.finish(host, positivePath, negativePath);
}

}  // namespace run
