#pragma once

#include "analysis/backbone.h"
#include "analysis/cycle_analysis.h"
#include "run/finished_run.h"

#include <vector>

namespace analysis {

// Both tables of a finished run.
struct RunTables
{
    std::vector<CycleRow> cycles;
    BackboneRow positive;
    BackboneRow negative = negativeRow();

private:
    static BackboneRow negativeRow()
    {
        BackboneRow row;
        row.side = Side::Negative;
        return row;
    }
};

// The tables of a finished run: the cycles of its prepared points and the backbones of its
// curve. O(N).
RunTables analyseFinishedRun(const run::FinishedRun& run, const CycleOptions& options);

}  // namespace analysis
