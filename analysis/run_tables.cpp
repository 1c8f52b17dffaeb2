#include "analysis/run_tables.h"

namespace analysis {

RunTables analyseFinishedRun(const run::FinishedRun& run, const CycleOptions& options)
{
    RunTables tables;
    tables.cycles = analyseCycles(run.points, options);
    tables.positive = analyseBackbone(run.curve.positive, Side::Positive);
    tables.negative = analyseBackbone(run.curve.negative, Side::Negative);
    return tables;
}

}  // namespace analysis
