#include "analysis/cycle_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

namespace {

    // The quotient, or nothing when it cannot be held (a zero or overflowing denominator).
    std::optional<double> quotient(double numerator, double denominator)
    {
        if (denominator == 0.0)
            return std::nullopt;
        const double q = numerator / denominator;
        if (!std::isfinite(q))
            return std::nullopt;
        return q;
    }

    enum class Trend
    {
        None,
        Up,
        Down
    };

}  // namespace

std::string checkCycleOptions(const CycleOptions& options)
{
    // Written so that NaN fails each test.
    if (!(options.cycleTolerance >= 0.0 && options.cycleTolerance < 0.5))
        return "The cycle tolerance must be at least 0 and less than 0.5.";
    if (!(options.levelTolerance >= 0.0 && std::isfinite(options.levelTolerance)))
        return "The level tolerance must be a number of at least 0.";
    return {};
}

Reversals findReversals(const std::vector<double>& x, double cycleTolerance)
{
    Reversals found;
    if (x.size() < 2)
        return found;
    const auto [smallest, largest] = std::minmax_element(x.begin(), x.end());
    const double range = *largest - *smallest;
    const double deadband = cycleTolerance * range;
    // Indices below are 0-based; the table numbers points from 1.
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
                found.peaks.push_back(c + 1);
                trend = Trend::Down;
                c = i;
            }
            break;
        case Trend::Down:
            if (x[i] < x[c]) {
                c = i;
            } else if (x[i] - x[c] > deadband) {
                found.valleys.push_back(c + 1);
                trend = Trend::Up;
                c = i;
            }
            break;
        }
    }
    return found;
}

std::vector<CycleRow> analyseCycles(
    const std::vector<double>& x, const std::vector<double>& y, const CycleOptions& options)
{
    std::vector<CycleRow> rows;
    if (!checkCycleOptions(options).empty() || x.size() != y.size())
        return rows;
    const Reversals reversals = findReversals(x, options.cycleTolerance);
    if (reversals.peaks.size() < 2)
        return rows;
    // Peaks and valleys alternate, so the valley after the first peak follows it in its list.
    std::size_t valley = 0;
    while (reversals.valleys[valley] < reversals.peaks[0])
        ++valley;

    rows.reserve(reversals.peaks.size() - 1);
    double cumulative = 0.0;
    std::size_t level = 0;
    double levelAmplitude = 0.0;
    double levelFPos = 0.0;
    double levelFNeg = 0.0;
    for (std::size_t k = 0; k + 1 < reversals.peaks.size(); ++k, ++valley) {
        const std::size_t p = reversals.peaks[k] - 1;
        const std::size_t next = reversals.peaks[k + 1] - 1;
        const std::size_t v = reversals.valleys[valley] - 1;
        CycleRow row;
        row.cycle = k + 1;
        row.firstPoint = p + 1;
        row.lastPoint = next + 1;
        row.uPos = x[p];
        row.fUPos = y[p];
        row.uNeg = x[v];
        row.fUNeg = y[v];
        row.fMax = y[p];
        row.fMin = y[p];
        double energy = 0.0;
        for (std::size_t i = p; i < next; ++i) {
            energy += (y[i] + y[i + 1]) / 2 * (x[i + 1] - x[i]);
            row.fMax = std::max(row.fMax, y[i + 1]);
            row.fMin = std::min(row.fMin, y[i + 1]);
        }
        row.energy = energy;
        cumulative += energy;
        row.cumulativeEnergy = cumulative;
        const double amplitude = row.uPos - row.uNeg;
        row.stiffness = quotient(row.fUPos - row.fUNeg, amplitude);
        row.damping = quotient(energy,
            std::numbers::pi * (std::abs(row.fUPos * row.uPos) + std::abs(row.fUNeg * row.uNeg)));

        if (level == 0
            || std::abs(amplitude - levelAmplitude) > options.levelTolerance * levelAmplitude) {
            ++level;
            levelAmplitude = amplitude;
            levelFPos = row.fUPos;
            levelFNeg = row.fUNeg;
        }
        row.level = level;
        row.retentionPos = quotient(row.fUPos, levelFPos);
        row.retentionNeg = quotient(row.fUNeg, levelFNeg);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace analysis
