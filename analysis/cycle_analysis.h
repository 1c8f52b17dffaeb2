#pragma once

#include "run/finished_run.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace analysis {

// Which point of each cycle the envelope takes.
enum class EnvelopeKind
{
    Load,  // the peak load of each side
    Deformation,  // the load at the largest deformation of each side
};

// How reversals, cycles and levels are told apart, and what the envelope takes.
struct CycleOptions
{
    double cycleTolerance = 0.01;  // deadband, as a share of the record's X range
    double turnBackRatio = 0.25;  // a turn-back shorter than this share of its neighbours goes
    double levelTolerance = 0.05;  // amplitude change, as a share of the level's first amplitude
    EnvelopeKind envelope = EnvelopeKind::Load;
};

// Why the options cannot be used, in words for the user; empty when they can. The batch and
// the window both check the options here, so they refuse the same values.
std::string checkCycleOptions(const CycleOptions& options);

// A reversal of X: a row (0-based) where X turns, a peak or a valley.
struct Reversal
{
    std::size_t row = 0;
    bool peak = false;
};

// The reversals of `x` with a deadband of `cycleTolerance` times the X range, in record order,
// peaks and valleys alternating. O(N).
std::vector<Reversal> findReversals(const std::vector<double>& x, double cycleTolerance);

// Removes each short turn-back (a pair of reversals whose swing is less than `ratio` times the
// shorter swing on either side of it), first ones first, until none is left. O(number of
// reversals).
std::vector<Reversal> removeTurnBacks(
    const std::vector<double>& x, std::vector<Reversal> reversals, double ratio);

// A point of the plane, in the record's own signs.
struct PlanePoint
{
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const PlanePoint&, const PlanePoint&) = default;
};

// A cycle's closed loop, enough to draw it: its start S, the rows firstRow … lastRow (0-based,
// both included, never empty), its end E. S and E lie on the record at the smaller of the two
// peaks' deformations; the rows after E up to the next peak belong to no loop.
struct CycleLoop
{
    PlanePoint start;
    std::size_t firstRow = 0;
    std::size_t lastRow = 0;
    PlanePoint end;
    // The cycle's peak, valley and next peak (0-based rows).
    std::size_t peak = 0;
    std::size_t valley = 0;
    std::size_t nextPeak = 0;
};

// One row of the cycle table. An empty optional is an empty field (a division by zero, or a
// crossing that is not there).
struct CycleRow
{
    std::size_t cycle = 0;
    std::size_t level = 0;
    std::size_t cycleInLevel = 0;
    std::int64_t firstLine = 0;  // the data file's lines of the cycle's two peaks
    std::int64_t lastLine = 0;
    double uPos = 0.0;
    double fUPos = 0.0;
    double uNeg = 0.0;
    double fUNeg = 0.0;
    double fMax = 0.0;
    double uFMax = 0.0;
    double fMin = 0.0;
    double uFMin = 0.0;
    double stiffness = 0.0;
    double energy = 0.0;
    double cumulativeEnergy = 0.0;
    std::optional<double> damping;
    std::optional<double> residualPos;
    std::optional<double> residualNeg;
    std::optional<double> retentionPos;
    std::optional<double> retentionNeg;
};

struct Cycles
{
    std::vector<CycleRow> rows;
    std::vector<CycleLoop> loops;  // one per row
};

// The cycles of a run's rows. O(N). Options that checkCycleOptions refuses give no cycles.
Cycles analyseCycles(const run::Rows& rows, const CycleOptions& options = {});

}  // namespace analysis
