#include "run/cross_check.h"

#include "run/run_failure.h"
#include "run/text_records.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace run {

namespace {

    using Index = std::uint32_t;

    // Segment i (1-based, 2..N) runs from point i-1 to point i; arrays are indexed by i.
    struct Segments
    {
        std::vector<double> slope;
        std::vector<double> intercept;
        std::vector<double> low;  // the open X span (low, high)
        std::vector<double> high;
        std::size_t firstFailure = 0;  // the segment whose slope or intercept fails first; 0: none
    };

    Segments describeSegments(const PreparedPoints& p)
    {
        const std::size_t n = p.size();
        Segments s;
        s.slope.resize(n + 1);
        s.intercept.resize(n + 1);
        s.low.resize(n + 1);
        s.high.resize(n + 1);
        std::size_t firstBad = 0;
        bool thirdBad = false;
        for (std::size_t i = 2; i <= n; ++i) {
            const double x0 = p.x[i - 2];
            const double x1 = p.x[i - 1];
            const double k = (p.y[i - 1] - p.y[i - 2]) / (x1 - x0);
            const double c = p.y[i - 1] - x1 * k;
            s.slope[i] = k;
            s.intercept[i] = c;
            s.low[i] = std::min(x0, x1);
            s.high[i] = std::max(x0, x1);
            // A zero X width divides by zero; so does anything the slope cannot hold.
            const bool bad = x1 == x0 || !std::isfinite(k) || !std::isfinite(c);
            if (bad && firstBad == 0)
                firstBad = i;
            if (bad && i == 3)
                thirdBad = true;
        }
        // The walk meets segment 3 first, then scans segments 2, 3, ... in order.
        if (n >= 3)
            s.firstFailure = thirdBad ? 3 : firstBad;
        return s;
    }

    // Segments indexed by X span in equal buckets, so that a walked segment only meets the
    // segments whose spans overlap its own: only those can hold a crossing.
    class SpanIndex
    {
    public:
        explicit SpanIndex(const Segments& s, std::size_t n)
            : m_segments(s)
            , m_stamp(n + 1, 0)
        {
            double lowest = s.low[2];
            double highest = s.high[2];
            double halfSpans = 0.0;
            for (std::size_t i = 2; i <= n; ++i) {
                lowest = std::min(lowest, s.low[i]);
                highest = std::max(highest, s.high[i]);
                halfSpans += 0.5 * s.high[i] - 0.5 * s.low[i];
            }
            // Halves keep the range finite for any finite coordinates.
            m_halfLowest = 0.5 * lowest;
            const double halfRange = 0.5 * highest - m_halfLowest;
            const double meanHalfSpan = halfSpans / static_cast<double>(n - 1);
            double buckets = 1.0;
            if (halfRange > 0.0 && meanHalfSpan > 0.0)
                buckets = std::clamp(halfRange / meanHalfSpan, 1.0, 2.0 * static_cast<double>(n));
            m_buckets = static_cast<std::size_t>(buckets);
            m_scale = static_cast<double>(m_buckets) / halfRange;
            if (!(m_scale > 0.0) || !std::isfinite(m_scale)) {
                m_buckets = 1;
                m_scale = 0.0;
            }

            // Bucket lists in ascending segment order (compressed rows).
            m_start.assign(m_buckets + 1, 0);
            for (std::size_t i = 2; i <= n; ++i)
                for (std::size_t b = bucketOf(s.low[i]), e = bucketOf(s.high[i]); b <= e; ++b)
                    ++m_start[b + 1];
            for (std::size_t b = 0; b < m_buckets; ++b)
                m_start[b + 1] += m_start[b];
            m_members.resize(m_start[m_buckets]);
            std::vector<std::size_t> fill(m_start.begin(), m_start.end() - 1);
            for (std::size_t i = 2; i <= n; ++i)
                for (std::size_t b = bucketOf(s.low[i]), e = bucketOf(s.high[i]); b <= e; ++b)
                    m_members[fill[b]++] = static_cast<Index>(i);
        }

        // The segments whose open X span overlaps that of segment a, in ascending order.
        const std::vector<Index>& candidates(std::size_t a)
        {
            m_candidates.clear();
            const double low = m_segments.low[a];
            const double high = m_segments.high[a];
            const std::size_t first = bucketOf(low);
            const std::size_t last = bucketOf(high);
            const auto overlaps = [&](Index t) {
                return m_segments.low[t] < high && low < m_segments.high[t];
            };
            if (first == last) {
                for (std::size_t m = m_start[first]; m < m_start[first + 1]; ++m)
                    if (overlaps(m_members[m]))
                        m_candidates.push_back(m_members[m]);
                return m_candidates;
            }
            ++m_round;
            for (std::size_t b = first; b <= last; ++b)
                for (std::size_t m = m_start[b]; m < m_start[b + 1]; ++m) {
                    const Index t = m_members[m];
                    if (m_stamp[t] != m_round && overlaps(t)) {
                        m_stamp[t] = m_round;
                        m_candidates.push_back(t);
                    }
                }
            std::sort(m_candidates.begin(), m_candidates.end());
            return m_candidates;
        }

    private:
        std::size_t bucketOf(double x) const
        {
            const double v = (0.5 * x - m_halfLowest) * m_scale;
            if (!(v > 0.0))
                return 0;
            if (v >= static_cast<double>(m_buckets))
                return m_buckets - 1;
            return static_cast<std::size_t>(v);
        }

        const Segments& m_segments;
        std::vector<std::uint64_t> m_stamp;
        std::uint64_t m_round = 0;
        double m_halfLowest = 0.0;
        double m_scale = 0.0;
        std::size_t m_buckets = 1;
        std::vector<std::size_t> m_start;
        std::vector<Index> m_members;
        std::vector<Index> m_candidates;
    };

    class CrossCheck
    {
    public:
        CrossCheck(RunHost& host, const PreparedPoints& points, const std::string& path,
            std::size_t& walked)
            : m_host(host)
            , m_points(points)
            , m_walked(walked)
            , m_file(path)
        {
            const std::size_t room = points.size() + points.size() / 8 + 16;
            m_records.x.reserve(room);
            m_records.y.reserve(room);
            m_records.group.reserve(room);
        }

        CrossRecords run()
        {
            const std::size_t n = m_points.size();
            if (n >= 0xFFFFFFF0u)
                throw std::bad_alloc();
            writePoint(1);
            writePoint(2);
            if (n >= 3) {
                const Segments segments = describeSegments(m_points);
                SpanIndex index(segments, n);
                for (std::size_t a = 3; a <= n; ++a) {
                    m_walked = a;
                    if (!m_host.yield())
                        throw RunStopped {};
                    walk(segments, index, a);
                }
            }
            m_file.close();
            return std::move(m_records);
        }

    private:
        void walk(const Segments& s, SpanIndex& index, std::size_t a)
        {
            const std::size_t failure = s.firstFailure;
            if (failure == 3 && a == 3)
                throwSameX(3);
            const double k1 = s.slope[a];
            const double c1 = s.intercept[a];
            const double low = s.low[a];
            const double high = s.high[a];
            for (const Index t : index.candidates(a)) {
                if (failure != 0 && t >= failure)
                    break;  // only the first walk can get here: the scan fails at that segment
                const double k2 = s.slope[t];
                const double c2 = s.intercept[t];
                if (!(std::fabs(k1 - k2) > 0.01))
                    continue;  // near-parallel: skipped whether or not they meet
                const double xc = (c2 - c1) / (k1 - k2);
                if (!(std::fabs(xc) <= static_cast<double>(FLT_MAX)))
                    continue;  // cannot lie inside any span once held in single precision
                const auto xf = static_cast<float>(xc);
                const auto xs = static_cast<double>(xf);
                if (!(low < xs && xs < high && s.low[t] < xs && xs < s.high[t]))
                    continue;
                const double yc = c2 + k2 * xc;
                if (!(std::fabs(yc) <= static_cast<double>(FLT_MAX)))
                    throw RunFailure(FailureCode::Overflow,
                        "a crossing's load cannot be held in single precision", 0,
                        static_cast<std::int64_t>(a));
                const auto yf = static_cast<float>(yc);
                m_file.writeLine(
                    { ZoneValue::single(xf), ZoneValue::single(yf), ZoneValue::whole(m_group) });
                m_records.x.push_back(roundTripSingle(xf));
                m_records.y.push_back(roundTripSingle(yf));
                m_records.group.push_back(m_group);
                m_host.drawDot(xf, -yf, kRed);
                ++m_group;
            }
            if (failure != 0 && a == 3)
                throwSameX(failure);
            writePoint(a);
            m_host.drawLineTo(plotCoordinate(m_points.x[a - 1]), plotCoordinate(-m_points.y[a - 1]),
                groupColour(m_group));
        }

        void writePoint(std::size_t i)
        {
            const double x = m_points.x[i - 1];
            const double y = m_points.y[i - 1];
            m_file.writeLine({ ZoneValue::of(x), ZoneValue::of(y), ZoneValue::whole(m_group) });
            m_records.x.push_back(x);
            m_records.y.push_back(y);
            m_records.group.push_back(m_group);
        }

        [[noreturn]] void throwSameX(std::size_t segment)
        {
            throw RunFailure(FailureCode::DivisionByZero,
                "points " + std::to_string(segment - 1) + " and " + std::to_string(segment)
                    + " of the prepared record share an X value",
                0, static_cast<std::int64_t>(segment));
        }

        RunHost& m_host;
        const PreparedPoints& m_points;
        std::size_t& m_walked;  // the point the walk has reached, for failure reports
        TextWriter m_file;
        CrossRecords m_records;
        std::int64_t m_group = 1;
    };

}  // namespace

Rgb groupColour(std::int64_t group)
{
    const auto m = static_cast<std::uint8_t>((3 * (group % 255)) % 255);
    return Rgb { 0, static_cast<std::uint8_t>(255 - m), m };
}

CrossRecords runCrossCheck(
    RunHost& host, const PreparedPoints& points, const std::string& crossCheckFilePath)
{
    host.setStatus("Cross checking...");
    if (!host.yield())
        throw RunStopped {};
    std::size_t walked = 2;
    try {
        CrossCheck check(host, points, crossCheckFilePath, walked);
        return check.run();
    } catch (const RunFailure& f) {
        if (f.pointIndex() != 0)
            throw;
        // A file failure: report the point the check had reached.
        throw RunFailure(f.code(), f.what(), f.line(), static_cast<std::int64_t>(walked));
    }
}

}  // namespace run
