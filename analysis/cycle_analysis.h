#pragma once

#include "run/point_preparation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace analysis {

// How reversals and levels are told apart.
struct CycleOptions
{
    double cycleTolerance = 0.01;  // deadband, as a share of the record's X range
    double levelTolerance = 0.05;  // amplitude change, as a share of the level's first amplitude
};

// Why the options cannot be used, in words for the user; empty when they can. The batch and
// the window both check the options here, so they refuse the same values.
std::string checkCycleOptions(const CycleOptions& options);

// One cycle: from a peak to the next peak, points numbered from 1. An empty optional is an
// empty field (a division by zero, or a value that cannot be held).
struct CycleRow
{
    std::size_t cycle = 0;
    std::size_t level = 0;
    std::size_t firstPoint = 0;
    std::size_t lastPoint = 0;
    double uPos = 0.0;
    double fUPos = 0.0;
    double uNeg = 0.0;
    double fUNeg = 0.0;
    double fMax = 0.0;
    double fMin = 0.0;
    std::optional<double> stiffness;
    double energy = 0.0;
    double cumulativeEnergy = 0.0;
    std::optional<double> damping;
    std::optional<double> retentionPos;
    std::optional<double> retentionNeg;
};

// The 1-based indices of the peaks and valleys of X, in record order.
struct Reversals
{
    std::vector<std::size_t> peaks;
    std::vector<std::size_t> valleys;
};

// Finds the reversals of `x` with a deadband of `cycleTolerance` times the X range. O(N).
Reversals findReversals(const std::vector<double>& x, double cycleTolerance);

// The per-cycle table of the prepared points (x[i], y[i]). O(N). `x` and `y` have one size.
// Options that checkCycleOptions refuses give no rows.
std::vector<CycleRow> analyseCycles(
    const std::vector<double>& x, const std::vector<double>& y, const CycleOptions& options = {});

// The per-cycle table of a finished run's prepared points.
inline std::vector<CycleRow> analyseCycles(
    const run::PreparedPoints& points, const CycleOptions& options = {})
{
    return analyseCycles(points.x, points.y, options);
}

}  // namespace analysis
