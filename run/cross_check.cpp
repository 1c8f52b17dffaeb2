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

    // Segment i (1-based, 2..N) runs from point i-1 to point i: its line y = slope·x + intercept
    // and its open X span (low, high), together so that one cache line holds all a pair needs.
    struct Segment
    {
        double low;
        double high;
        double slope;
        double intercept;
    };

    struct Segments
    {
        std::vector<Segment> at;  // indexed by segment number
        std::size_t firstFailure = 0;  // the segment whose slope or intercept fails first; 0: none
    };

    Segments describeSegments(const PreparedPoints& p)
    {
        const std::size_t n = p.size();
        Segments s;
        s.at.resize(n + 1);
        std::size_t firstBad = 0;
        bool thirdBad = false;
        for (std::size_t i = 2; i <= n; ++i) {
            const double x0 = p.x[i - 2];
            const double x1 = p.x[i - 1];
            const double k = (p.y[i - 1] - p.y[i - 2]) / (x1 - x0);
            const double c = p.y[i - 1] - x1 * k;
            s.at[i] = { std::min(x0, x1), std::max(x0, x1), k, c };
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

    // A crossing found on the walked segment, with the scanned segment it lies on.
    struct Hit
    {
        Index scanned;
        float x;
        double y;  // unrounded: it may lie beyond the single range, which is a failure
    };

    // Segments indexed by X span in equal buckets about as wide as a mean segment, so that a
    // walked segment only meets the segments whose spans overlap its own: only those can hold a
    // crossing. Each bucket lists its segments in ascending order.
    class SpanIndex
    {
    public:
        SpanIndex(const Segments& s, const PreparedPoints& p)
            : m_segments(s.at)
        {
            const std::size_t n = p.size();
            m_box.resize(n + 1);
            for (std::size_t i = 2; i <= n; ++i) {
                const Segment& seg = m_segments[i];
                const bool valid = p.x[i - 1] != p.x[i - 2] && std::isfinite(seg.slope)
                    && std::isfinite(seg.intercept);
                m_box[i] = boundsOf(seg, p.y[i - 2], p.y[i - 1], valid);
            }
            double lowest = m_segments[2].low;
            double highest = m_segments[2].high;
            double halfSpans = 0.0;
            for (std::size_t i = 2; i <= n; ++i) {
                lowest = std::min(lowest, m_segments[i].low);
                highest = std::max(highest, m_segments[i].high);
                halfSpans += 0.5 * m_segments[i].high - 0.5 * m_segments[i].low;
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

            m_start.assign(m_buckets + 1, 0);
            for (std::size_t i = 2; i <= n; ++i)
                for (std::size_t b = bucketOf(m_segments[i].low), e = bucketOf(m_segments[i].high);
                     b <= e; ++b)
                    ++m_start[b + 1];
            for (std::size_t b = 0; b < m_buckets; ++b)
                m_start[b + 1] += m_start[b];
            m_members.resize(m_start[m_buckets]);
            m_bounds.resize(m_start[m_buckets]);
            std::vector<std::size_t> fill(m_start.begin(), m_start.end() - 1);
            for (std::size_t i = 2; i <= n; ++i) {
                const std::size_t first = bucketOf(m_segments[i].low);
                const Bounds bounds = m_box[i];
                for (std::size_t b = first, e = bucketOf(m_segments[i].high); b <= e; ++b) {
                    m_bounds[fill[b]] = bounds;
                    m_members[fill[b]++] = static_cast<Index>(i) | (b == first ? kFirstBucket : 0);
                }
            }
        }

        // Calls visit(t, segment), in no particular order, once for every segment t whose open
        // X span overlaps that of segment a, except those whose boxes show that no crossing
        // with segment a can be found.
        template <typename Visit>
        void forEachCandidate(std::size_t a, Visit&& visit) const
        {
            const double low = m_segments[a].low;
            const double high = m_segments[a].high;
            const std::size_t first = bucketOf(low);
            const std::size_t last = bucketOf(high);
            const Bounds& walked = m_box[a];
            for (std::size_t b = first; b <= last; ++b) {
                for (std::size_t m = m_start[b], end = m_start[b + 1]; m != end; ++m) {
                    // The boxes lie outside the exact spans and loads, so this only passes over
                    // segments that cannot cross segment a; it reads memory in order.
                    if (!meet(m_bounds[m], walked))
                        continue;
                    const Index member = m_members[m];
                    // A segment listed in several of these buckets is met in the first only.
                    if (b != first && !(member & kFirstBucket))
                        continue;
                    const Index t = member & ~kFirstBucket;
                    const Segment& seg = m_segments[t];
                    if (seg.low < high && low < seg.high)
                        visit(t, seg);
                }
            }
        }

    private:
        static constexpr Index kFirstBucket = 0x80000000u;

        // A box around a segment, in single precision and rounded outwards: its X span, and
        // the loads its line can take near that span once every rounding of the crossing
        // arithmetic is allowed for.
        struct Bounds
        {
            float low;
            float high;
            float bottom;
            float top;
        };

        static Bounds boundsOf(const Segment& seg, double y0, double y1, bool valid)
        {
            if (!valid)
                return { -HUGE_VALF, HUGE_VALF, -HUGE_VALF, HUGE_VALF };
            constexpr double u = DBL_EPSILON / 2;
            const double reach = std::max(std::fabs(seg.low), std::fabs(seg.high));
            // How far the crossing's X, once computed and held in single precision, may lie
            // from where the two lines meet: kept well above the bound of the roundings.
            const double drift = reach * 1.2e-7 + 1e-44;
            // How far the line may stray from the points it was computed from.
            const double stray = 8 * u
                * (std::fabs(y0) + std::fabs(y1) + std::fabs(seg.intercept)
                    + reach * std::fabs(seg.slope));
            const double margin = 4 * (stray + std::fabs(seg.slope) * drift);
            return { below(seg.low), above(seg.high), below(std::min(y0, y1) - margin),
                above(std::max(y0, y1) + margin) };
        }

        static bool meet(const Bounds& a, const Bounds& b)
        {
            return a.low < b.high && b.low < a.high && a.bottom <= b.top && b.bottom <= a.top;
        }

        // The nearest single-precision value at or below `x` (at or above, for above()).
        static float below(double x)
        {
            if (x < -static_cast<double>(FLT_MAX))
                return -HUGE_VALF;
            if (x > static_cast<double>(FLT_MAX))
                return FLT_MAX;
            const auto f = static_cast<float>(x);
            return static_cast<double>(f) > x ? std::nextafter(f, -HUGE_VALF) : f;
        }

        static float above(double x)
        {
            return -below(-x);
        }

        std::size_t bucketOf(double x) const
        {
            const double v = (0.5 * x - m_halfLowest) * m_scale;
            if (!(v > 0.0))
                return 0;
            if (v >= static_cast<double>(m_buckets))
                return m_buckets - 1;
            return static_cast<std::size_t>(v);
        }

        const std::vector<Segment>& m_segments;
        double m_halfLowest = 0.0;
        double m_scale = 0.0;
        std::size_t m_buckets = 1;
        std::vector<std::size_t> m_start;
        std::vector<Index> m_members;
        std::vector<Bounds> m_bounds;  // beside m_members
        std::vector<Bounds> m_box;  // by segment
    };

    class CrossCheck
    {
    public:
        CrossCheck(RunHost& host, const PreparedPoints& points, const std::string& path,
            std::size_t& walked, std::size_t recordsInMemory)
            : m_host(host)
            , m_points(points)
            , m_walked(walked)
            , m_file(path)
            , m_limit(recordsInMemory)
        {
            m_records.filePath = path;
            const std::size_t room =
                std::min(points.size() + points.size() / 8 + 16, recordsInMemory);
            m_records.x.reserve(room);
            m_records.y.reserve(room);
            m_records.group.reserve(room);
        }

        CrossRecords run()
        {
            const std::size_t n = m_points.size();
            if (n >= 0x7FFFFFF0u)
                throw std::bad_alloc();
            writePoint(1);
            writePoint(2);
            if (n >= 3) {
                const Segments segments = describeSegments(m_points);
                const SpanIndex index(segments, m_points);
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
        void walk(const Segments& s, const SpanIndex& index, std::size_t a)
        {
            const std::size_t failure = s.firstFailure;
            if (failure == 3 && a == 3)
                throwSameX(3);
            const Segment& walked = s.at[a];
            const double k1 = walked.slope;
            const double c1 = walked.intercept;
            m_hits.clear();
            index.forEachCandidate(a, [&](Index t, const Segment& scanned) {
                const double k2 = scanned.slope;
                const double c2 = scanned.intercept;
                if (!(std::fabs(k1 - k2) > 0.01))
                    return;  // near-parallel: skipped whether or not they meet
                const double xc = (c2 - c1) / (k1 - k2);
                if (!(std::fabs(xc) <= static_cast<double>(FLT_MAX)))
                    return;  // cannot lie inside any span once held in single precision
                const auto xf = static_cast<float>(xc);
                const auto xs = static_cast<double>(xf);
                if (walked.low < xs && xs < walked.high && scanned.low < xs && xs < scanned.high)
                    m_hits.push_back({ t, xf, c2 + k2 * xc });
            });
            // Crossings are written in the order of the scanned segments.
            if (m_hits.size() > 1)
                std::sort(m_hits.begin(), m_hits.end(),
                    [](const Hit& l, const Hit& r) { return l.scanned < r.scanned; });
            for (const Hit& hit : m_hits) {
                if (failure != 0 && hit.scanned >= failure)
                    break;  // only the first walk gets here: its scan fails at that segment
                if (!(std::fabs(hit.y) <= static_cast<double>(FLT_MAX)))
                    throw RunFailure(FailureCode::Overflow,
                        "a crossing's load cannot be held in single precision", 0,
                        static_cast<std::int64_t>(a));
                const auto yf = static_cast<float>(hit.y);
                m_file.writeLine(
                    { ZoneValue::single(hit.x), ZoneValue::single(yf), ZoneValue::whole(m_group) });
                m_records.add(roundTripSingle(hit.x), roundTripSingle(yf), m_group, m_limit);
                m_host.drawDot(hit.x, -yf, kRed);
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
            m_records.add(x, y, m_group, m_limit);
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
        std::vector<Hit> m_hits;
        std::int64_t m_group = 1;
        std::size_t m_limit;
    };

}  // namespace

Rgb groupColour(std::int64_t group)
{
    const auto m = static_cast<std::uint8_t>((3 * (group % 255)) % 255);
    return Rgb { 0, static_cast<std::uint8_t>(255 - m), m };
}

CrossRecords runCrossCheck(RunHost& host, const PreparedPoints& points,
    const std::string& crossCheckFilePath, std::size_t recordsInMemory)
{
    host.setStatus("Cross checking...");
    if (!host.yield())
        throw RunStopped {};
    std::size_t walked = 2;
    try {
        CrossCheck check(host, points, crossCheckFilePath, walked, recordsInMemory);
        return check.run();
    } catch (const RunFailure& f) {
        if (f.pointIndex() != 0)
            throw;
        // A file failure: report the point the check had reached.
        throw RunFailure(f.code(), f.what(), f.line(), static_cast<std::int64_t>(walked));
    }
}

}  // namespace run
