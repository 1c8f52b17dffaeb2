#pragma once

#include "analysis/envelope.h"
#include "run/finished_run.h"

#include <optional>
#include <vector>

namespace analysis {

using run::CurveSide;

// The bilinear idealisation of one side's backbone. Every value is empty when the backbone
// has no point beyond the origin or no positive load; a single value is empty when it cannot
// be held (a division by zero, an overflow).
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

// A side's backbone from the first-cycle envelope: the origin, then level by level the first
// cycle's point (mirrored, both coordinates negated, on the negative side) when it lies beyond
// the origin and beyond every point kept before. The points are those of the envelope's kind,
// so the envelope option moves the backbone too.
std::vector<PlanePoint> backbonePoints(const std::vector<EnvelopeRow>& envelope, Side side);

// The idealisation of a backbone as backbonePoints gives it (the negative side mirrored, so its row
// holds positive values). O(N).
BackboneRow analyseBackbone(const std::vector<PlanePoint>& backbone, Side side);

}  // namespace analysis
