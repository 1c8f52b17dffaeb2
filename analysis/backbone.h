#pragma once

#include "run/finished_run.h"

#include <optional>
#include <vector>

namespace analysis {

using run::CurveSide;

enum class Side
{
    Positive,
    Negative
};

// The bilinear idealisation of one side's backbone. Every value is empty when the backbone
// has no point beyond the origin or no positive load; a single value is empty when it cannot
// be held (a division by zero).
struct BackboneRow
{
    Side side = Side::Positive;
    std::optional<double> peakLoad;
    std::optional<double> peakDeformation;
    std::optional<double> elasticStiffness;
    std::optional<double> yieldLoad;
    std::optional<double> yieldDeformation;
    std::optional<double> ultimateDeformation;
    std::optional<double> energyToUltimate;
    std::optional<double> ductility;
};

// Analyses `points` as the given side: the negative side's points are mirrored (both
// coordinates negated) first, and its row holds the mirrored, positive values. O(N).
BackboneRow analyseBackbone(const CurveSide& points, Side side);

}  // namespace analysis
