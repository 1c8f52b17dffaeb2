#pragma once

#include "analysis/backbone.h"
#include "analysis/cycle_analysis.h"
#include "analysis/envelope.h"
#include "run/finished_run.h"

#include <vector>

namespace analysis {

// What a plot draws of one side, in the side's own signs (the negative side's points negative).
struct SideLines
{
    std::vector<PlanePoint> firstCycleEnvelope;  // each level's first cycle, in level order
    std::vector<PlanePoint> lastCycleEnvelope;  // each level's last cycle
    std::vector<PlanePoint> backbone;  // from the origin
    // The origin, the yield point (Dy, Py) and (Du, Py); empty when the row lacks one of them.
    std::vector<PlanePoint> bilinear;
};

// The tables of a finished run, and what a plot of them needs.
struct RunTables
{
    std::vector<CycleRow> cycles;
    std::vector<CycleLoop> loops;  // one per cycle
    std::vector<EnvelopeRow> envelope;
    BackboneRow positive;
    BackboneRow negative = negativeRow();
    SideLines positiveLines;
    SideLines negativeLines;

    // The sum of every cycle's energy and the median of the stiffnesses (0 without cycles);
    // both negative means the loops run the wrong way round, as when the load's sign is
    // reversed.
    double totalEnergy = 0.0;
    double medianStiffness = 0.0;
    bool loopsReversed = false;

private:
    static BackboneRow negativeRow()
    {
        BackboneRow row;
        row.side = Side::Negative;
        return row;
    }
};

// The tables of a run's rows. O(N) in the rows, O(C log C) in the cycles.
RunTables analyseRows(const run::Rows& rows, const CycleOptions& options);

// The same for a finished run's rows.
RunTables analyseFinishedRun(const run::FinishedRun& run, const CycleOptions& options);

// What the sign check says, without the data file's name in front.
inline constexpr const char* kLoopsReversedMessage =
    "the loops run the wrong way round (negative total energy and stiffness): is the load's sign "
    "reversed? A negative Y coefficient turns it";

}  // namespace analysis
