#pragma once

#include "analysis/backbone.h"
#include "analysis/cycle_analysis.h"
#include "analysis/envelope.h"

#include <string>
#include <vector>

namespace analysis {

// The tables as CSV text: a header line, then one line per row, each ending with CR LF.
// Numbers are the shortest text that reads back to the same value (negative zero as "0");
// an empty value, or one that is not finite, is an empty field.
std::string cyclesCsv(const std::vector<CycleRow>& rows);
std::string envelopeCsv(const std::vector<EnvelopeRow>& rows);
std::string backboneCsv(const BackboneRow& positive, const BackboneRow& negative);

// Both sides of a curve as one table "side,x,y": the positive side's points in order, then the
// negative side's, each as its curve file holds it (the negative side not mirrored).
std::string curveCsv(const CurveSide& positive, const CurveSide& negative);

}  // namespace analysis
