#include "run/curve_construction.h"

#include "run/exact_read_back.h"
#include "run/point_preparation.h"
#include "run/run_failure.h"
#include "run/run_pace.h"

#include <cmath>
#include <cstdint>

namespace run {

void CurveStream::Kept::add(Kind kind, std::size_t first)
{
    ++m_size;
    if (!m_runs.empty()) {
        Run& last = m_runs.back();
        if (last.kind == kind && last.first + last.count == first && last.count < UINT32_MAX) {
            ++last.count;
            return;
        }
    }
    m_runs.push_back({ first, 1, kind });
}

void CurveStream::Kept::addPoint(std::size_t index)
{
    add(Kind::Points, index);
}

void CurveStream::Kept::addCrossing(float x, float y)
{
    m_crossings.push_back(x);
    m_crossings.push_back(y);
    add(Kind::Crossings, m_crossings.size() / 2 - 1);
}

void CurveStream::Kept::addValue(double x, double y)
{
    m_values.push_back(x);
    m_values.push_back(y);
    add(Kind::Values, m_values.size() / 2 - 1);
}

template <typename F>
void CurveStream::Kept::forEach(const PreparedPoints* points, F&& f) const
{
    for (const Run& run : m_runs) {
        const std::size_t end = run.first + run.count;
        switch (run.kind) {
        case Kind::Points:
            for (std::size_t i = run.first; i < end; ++i)
                f(points->x[i], points->y[i]);
            break;
        case Kind::Crossings:
            for (std::size_t i = run.first; i < end; ++i)
                f(readBackSingle(m_crossings[2 * i]), readBackSingle(m_crossings[2 * i + 1]));
            break;
        case Kind::Values:
            for (std::size_t i = run.first; i < end; ++i)
                f(m_values[2 * i], m_values[2 * i + 1]);
            break;
        }
    }
}

double CurveStream::Reach::exact()
{
    if (pending) {
        value = readBackSingle(single);
        pending = false;
    }
    return value;
}

namespace {

    // Whether two values lie so far apart that what a single's digits read back as (within
    // 5.1e-7 of it, relative) cannot lie on the other side of the other value.
    bool clearlyApart(double a, double b)
    {
        return std::fabs(a - b) > 2e-6 * (std::fabs(a) + std::fabs(b));
    }

    // A record held by value; a prepared point's also by its number.
    struct ValueRecord
    {
        double x;
        double y;
        const std::size_t* point = nullptr;

        bool below() const
        {
            return y < 0;
        }

        bool above() const
        {
            return y > 0;
        }

        // x > reach, or x < reach on the negative side.
        template <typename Reach>
        bool beyond(Reach& reach, bool positive) const
        {
            const double r =
                !reach.pending || !clearlyApart(x, reach.single) ? reach.exact() : reach.single;
            return positive ? x > r : x < r;
        }

        template <typename Reach>
        Reach asReach() const
        {
            return { x };
        }

        void keepIn(CurveStream::Kept& kept) const
        {
            if (point)
                kept.addPoint(*point);
            else
                kept.addValue(x, y);
        }
    };

    // A crossing: its digits' values are worked out only where a comparison needs them.
    struct CrossingRecord
    {
        float x;
        float y;
        mutable double readX = 0.0;
        mutable bool known = false;

        // A single and what its digits read back as have the same sign.
        bool below() const
        {
            return y < 0;
        }

        bool above() const
        {
            return y > 0;
        }

        double exactX() const
        {
            if (!known) {
                readX = readBackSingle(x);
                known = true;
            }
            return readX;
        }

        template <typename Reach>
        bool beyond(Reach& reach, bool positive) const
        {
            const double near = reach.pending ? static_cast<double>(reach.single) : reach.value;
            if (clearlyApart(static_cast<double>(x), near)) {
                const auto mine = static_cast<double>(x);
                return positive ? mine > near : mine < near;
            }
            const double r = reach.exact();
            return positive ? exactX() > r : exactX() < r;
        }

        template <typename Reach>
        Reach asReach() const
        {
            if (known)
                return { readX };
            return { 0.0, x, true };
        }

        void keepIn(CurveStream::Kept& kept) const
        {
            kept.addCrossing(x, y);
        }
    };

}  // namespace

CurveStream::CurveStream(double smallestX, double largestX, const PreparedPoints* points)
    : m_points(points)
    , m_positive { true, { smallestX }, 0, false, {} }
    , m_negative { false, { largestX }, 0, false, {} }
{
}

template <typename Record>
void CurveStream::Side::take(const Record& record, double g, bool first)
{
    if (positive ? record.below() : record.above())
        return;
    if (positive && first)
        record.keepIn(kept);
    if (following && g == followed) {
        record.keepIn(kept);
        reach = record.template asReach<Reach>();
    } else if (g > followed) {
        // A later group is taken up only where it reaches beyond the curve so far.
        if (record.beyond(reach, positive)) {
            following = true;
            record.keepIn(kept);
            followed = g;
        } else {
            following = false;
        }
    }
}

template <typename Record>
void CurveStream::takeRecord(const Record& record, std::int64_t group)
{
    const auto g = static_cast<double>(group);
    m_positive.take(record, g, m_first);
    m_negative.take(record, g, m_first);
    m_first = false;
}

void CurveStream::take(double x, double y, std::int64_t group)
{
    takeRecord(ValueRecord { x, y }, group);
}

void CurveStream::takePoint(std::size_t index, double x, double y, std::int64_t group)
{
    takeRecord(ValueRecord { x, y, m_points ? &index : nullptr }, group);
}

void CurveStream::takeCrossing(float x, float y, std::int64_t group)
{
    takeRecord(CrossingRecord { x, y }, group);
}

namespace {

    // Writes a side and keeps its points as the file holds them.
    void writeSide(RunHost& host, const CurveStream::Kept& kept, const PreparedPoints* points,
        TextWriter& file, std::int64_t before, std::int64_t total, CurveSide& side)
    {
        side.x.reserve(kept.size());
        side.y.reserve(kept.size());
        file.writeText(kCurveHeader);
        host.drawDot(0.0f, 0.0f, kRed);
        Pace pace(&host, total, 256);
        std::int64_t done = before;
        kept.forEach(points, [&](double x, double y) {
            file.writeLine({ ZoneValue::of(x), ZoneValue::of(y) });
            side.x.push_back(x);
            side.y.push_back(y);
            host.drawLineTo(plotCoordinate(x), plotCoordinate(-y), kRed);
            pace.step(++done, 1 + Pace::kDrawingCost);
        });
    }

}  // namespace

std::unique_ptr<TextWriter> CurveStream::finish(RunHost& host, const std::string& positivePath,
    const std::string& negativePath, const std::string& positiveName,
    const std::string& negativeName)
{
    host.enterPhase(RunPhase::Curve);
    host.setStatus("Varnel creating...");
    yieldOrStop(host);
    const auto positiveCount = static_cast<std::int64_t>(m_positive.kept.size());
    const auto total = positiveCount + static_cast<std::int64_t>(m_negative.kept.size());
    {
        TextWriter positive(positivePath, positiveName);
        writeSide(host, m_positive.kept, m_points, positive, 0, total, m_sides.positive);
        positive.close();
    }
    auto negative = std::make_unique<TextWriter>(negativePath, negativeName);
    writeSide(host, m_negative.kept, m_points, *negative, positiveCount, total, m_sides.negative);
    negative->flush();
    host.progress(total, total);
    return negative;
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
