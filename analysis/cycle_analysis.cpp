#include "analysis/cycle_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace analysis {

namespace {

    // The quotient, or nothing when the denominator is 0.
    std::optional<double> quotient(double numerator, double denominator)
    {
        if (denominator == 0.0)
            return std::nullopt;
        return numerator / denominator;
    }

    enum class Trend
    {
        None,
        Up,
        Down
    };

    // The point at `xc` on the segment (i, i + 1): row i + 1 itself when it lies there.
    PlanePoint pointAt(
        const std::vector<double>& x, const std::vector<double>& y, std::size_t i, double xc)
    {
        if (x[i + 1] == xc)
            return { x[i + 1], y[i + 1] };
        return { xc, y[i] + (y[i + 1] - y[i]) * (xc - x[i]) / (x[i + 1] - x[i]) };
    }

    // Walks a loop's points in order, S, the rows, E: the energy and the extreme loads. The sum
    // runs over consecutive points only: E and S share their X, so closing the polyline would
    // add a segment of zero width.
    class LoopWalk
    {
    public:
        explicit LoopWalk(const PlanePoint& start)
            : m_last(start)
            , m_max(start)
            , m_min(start)
        {
        }

        void add(const PlanePoint& p)
        {
            m_energy += (m_last.y + p.y) / 2 * (p.x - m_last.x);
            m_last = p;
            // On a plateau the point furthest out counts.
            if (p.y > m_max.y || (p.y == m_max.y && p.x > m_max.x))
                m_max = p;
            if (p.y < m_min.y || (p.y == m_min.y && p.x < m_min.x))
                m_min = p;
        }

        double energy() const
        {
            return m_energy;
        }

        const PlanePoint& max() const
        {
            return m_max;
        }

        const PlanePoint& min() const
        {
            return m_min;
        }

    private:
        PlanePoint m_last;
        PlanePoint m_max;
        PlanePoint m_min;
        double m_energy = 0.0;
    };

}  // namespace

std::string checkCycleOptions(const CycleOptions& options)
{
    // Written so that NaN fails each test.
    if (!(options.cycleTolerance >= 0.0 && options.cycleTolerance < 0.5))
        return "The cycle tolerance must be at least 0 and less than 0.5.";
    if (!(options.turnBackRatio >= 0.0 && options.turnBackRatio < 1.0))
        return "The turn-back ratio must be at least 0 and less than 1.";
    if (!(options.levelTolerance >= 0.0 && std::isfinite(options.levelTolerance)))
        return "The level tolerance must be a number of at least 0.";
    if (options.envelope != EnvelopeKind::Load && options.envelope != EnvelopeKind::Deformation)
        return "The envelope must take the peak load or the largest deformation.";
    return {};
}

std::vector<Reversal> findReversals(const std::vector<double>& x, double cycleTolerance)
{
    std::vector<Reversal> found;
    if (x.size() < 2)
        return found;
    const auto [smallest, largest] = std::minmax_element(x.begin(), x.end());
    const double range = *largest - *smallest;
    const double deadband = cycleTolerance * range;
    Trend trend = Trend::None;
    std::size_t c = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        switch (trend) {
        case Trend::None:
            if (x[i] > x[0] + deadband) {
                trend = Trend::Up;
                c = i;
            } else if (x[i] < x[0] - deadband) {
                trend = Trend::Down;
                c = i;
            }
            break;
        case Trend::Up:
            if (x[i] > x[c]) {
                c = i;
            } else if (x[c] - x[i] > deadband) {
                found.push_back({ c, true });
                trend = Trend::Down;
                c = i;
            }
            break;
        case Trend::Down:
            if (x[i] < x[c]) {
                c = i;
            } else if (x[i] - x[c] > deadband) {
                found.push_back({ c, false });
                trend = Trend::Up;
                c = i;
            }
            break;
        }
    }
    return found;
}

std::vector<Reversal> removeTurnBacks(
    const std::vector<double>& x, std::vector<Reversal> reversals, double ratio)
{
    // The list is linked both ways so that a removal costs nothing; `at` walks it with its
    // position j. A removal at j leaves every window before j - 2 as it was (none of them held a
    // turn-back), so the search goes on from j - 2 rather than from the start, with the same
    // outcome.
    constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    const std::size_t n = reversals.size();
    if (n < 4)
        return reversals;
    std::vector<std::size_t> next(n);
    std::vector<std::size_t> previous(n);
    for (std::size_t i = 0; i < n; ++i) {
        next[i] = i + 1 < n ? i + 1 : none;
        previous[i] = i == 0 ? none : i - 1;
    }
    const auto swing = [&](std::size_t a, std::size_t b) {
        return std::abs(x[reversals[b].row] - x[reversals[a].row]);
    };
    std::size_t at = 1;
    std::size_t j = 1;
    while (next[at] != none && next[next[at]] != none) {
        const std::size_t before = previous[at];
        const std::size_t after = next[at];
        const std::size_t beyond = next[after];
        if (swing(at, after) < ratio * std::min(swing(before, at), swing(after, beyond))) {
            next[before] = beyond;
            previous[beyond] = before;
            // On from position max(1, j - 2); `before` stands at j - 1.
            const std::size_t target = j > 3 ? j - 2 : 1;
            at = before;
            --j;
            for (; j > target; --j)
                at = previous[at];
            for (; j < target; ++j)
                at = next[at];
        } else {
            at = after;
            ++j;
        }
    }
    std::vector<Reversal> kept;
    for (std::size_t i = 0; i != none; i = next[i])
        kept.push_back(reversals[i]);
    return kept;
}

Cycles analyseCycles(const run::Rows& rows, const CycleOptions& options)
{
    Cycles cycles;
    const std::vector<double>& x = rows.x;
    const std::vector<double>& y = rows.y;
    if (!checkCycleOptions(options).empty() || x.size() != y.size())
        return cycles;
    const std::vector<Reversal> reversals =
        removeTurnBacks(x, findReversals(x, options.cycleTolerance), options.turnBackRatio);
    const auto lineOf = [&](std::size_t row) -> std::int64_t {
        return row < rows.lines.size() ? rows.lines[row] : 0;
    };

    double cumulative = 0.0;
    std::size_t level = 0;
    std::size_t inLevel = 0;
    std::size_t first = 0;  // the level's first cycle, an index into cycles.rows
    // Peaks and valleys alternate: a peak two places on is the next peak.
    for (std::size_t i = 0; i + 2 < reversals.size(); ++i) {
        if (!reversals[i].peak)
            continue;
        const std::size_t p = reversals[i].row;
        const std::size_t v = reversals[i + 1].row;
        const std::size_t q = reversals[i + 2].row;
        const double xc = std::min(x[p], x[q]);
        const std::size_t loopPeak = x[p] <= x[q] ? p : q;

        // X falls from above xc at P(k) to below it at V(k), and climbs back to xc by P(k+1), so
        // both searches find their segment; the bounds only keep a broken record in range.
        CycleLoop loop { {}, 0, 0, {}, p, v, q };
        if (x[p] == xc) {
            loop.start = { x[p], y[p] };
            loop.firstRow = p + 1;
        } else {
            std::size_t a = p;
            while (a + 1 < v && !(x[a] > xc && xc >= x[a + 1]))
                ++a;
            loop.start = pointAt(x, y, a, xc);
            loop.firstRow = a + 1;
        }
        std::size_t b = v;
        while (b + 1 < q && !(x[b] < xc && xc <= x[b + 1]))
            ++b;
        loop.end = pointAt(x, y, b, xc);
        loop.lastRow = b;

        LoopWalk walk(loop.start);
        for (std::size_t r = loop.firstRow; r <= loop.lastRow; ++r)
            walk.add({ x[r], y[r] });
        walk.add(loop.end);

        CycleRow row;
        row.cycle = cycles.rows.size() + 1;
        row.firstLine = lineOf(p);
        row.lastLine = lineOf(q);
        row.uPos = xc;
        row.fUPos = y[loopPeak];
        row.uNeg = x[v];
        row.fUNeg = y[v];
        row.fMax = walk.max().y;
        row.uFMax = walk.max().x;
        row.fMin = walk.min().y;
        row.uFMin = walk.min().x;
        row.stiffness = (row.fUPos - row.fUNeg) / (row.uPos - row.uNeg);
        row.energy = walk.energy();
        cumulative += row.energy;
        row.cumulativeEnergy = cumulative;
        const double work =
            std::numbers::pi * (std::abs(row.fUPos * row.uPos) + std::abs(row.fUNeg * row.uNeg));
        if (work != 0.0 && std::isfinite(work))
            row.damping = row.energy / work;
        for (std::size_t r = p; r < v; ++r)
            if (y[r] > 0 && 0 >= y[r + 1]) {
                row.residualPos =
                    y[r + 1] == 0 ? x[r + 1] : x[r] + (x[r + 1] - x[r]) * y[r] / (y[r] - y[r + 1]);
                break;
            }
        for (std::size_t r = v; r < q; ++r)
            if (y[r] < 0 && 0 <= y[r + 1]) {
                row.residualNeg = y[r + 1] == 0
                    ? x[r + 1]
                    : x[r] + (x[r + 1] - x[r]) * (-y[r]) / (y[r + 1] - y[r]);
                break;
            }

        const double amplitude = row.uPos - row.uNeg;
        if (cycles.rows.empty()) {
            level = 1;
            inLevel = 1;
        } else {
            const CycleRow& opening = cycles.rows[first];
            const double levelAmplitude = opening.uPos - opening.uNeg;
            if (std::abs(amplitude - levelAmplitude) > options.levelTolerance * levelAmplitude) {
                ++level;
                inLevel = 1;
            } else {
                ++inLevel;
            }
        }
        row.level = level;
        row.cycleInLevel = inLevel;
        if (inLevel == 1)
            first = cycles.rows.size();
        const CycleRow& opening = inLevel == 1 ? row : cycles.rows[first];
        row.retentionPos = quotient(row.fUPos, opening.fUPos);
        row.retentionNeg = quotient(row.fUNeg, opening.fUNeg);
        cycles.rows.push_back(row);
        cycles.loops.push_back(loop);
    }
    return cycles;
}

}  // namespace analysis
