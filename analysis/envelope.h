#pragma once

#include "analysis/cycle_analysis.h"

#include <cstddef>
#include <vector>

namespace analysis {

enum class Side
{
    Positive,
    Negative
};

// One level's envelope points on one side: the first and the last cycle's point, in the
// record's own signs.
struct EnvelopeRow
{
    Side side = Side::Positive;
    std::size_t level = 0;
    std::size_t cycles = 0;
    double uFirst = 0.0;
    double fFirst = 0.0;
    double uLast = 0.0;
    double fLast = 0.0;
};

// The envelope table: a positive row per level in level order, then a negative row per level.
// `kind` picks each cycle's point: the peak loads, or the loads at the peak deformations.
std::vector<EnvelopeRow> envelopeRows(const std::vector<CycleRow>& cycles, EnvelopeKind kind);

}  // namespace analysis
