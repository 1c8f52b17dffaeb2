#include "batch/cycle_tables.h"

#include "analysis/analysis_tables.h"
#include "batch/output_names.h"

namespace batch {

std::vector<JobFile> cycleTableFiles(
    const Options& o, const std::string& file, const analysis::RunTables& tables)
{
    const std::vector<std::string> names = cycleTableNames(o, file);
    return { { names[0], analysis::cyclesCsv(tables.cycles) },
        { names[1], analysis::envelopeCsv(tables.envelope) },
        { names[2], analysis::backboneCsv(tables.positive, tables.negative) } };
}

}  // namespace batch
