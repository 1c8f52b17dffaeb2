#include "batch/cycle_tables.h"

#include "analysis/analysis_tables.h"
#include "analysis/run_tables.h"
#include "batch/output_names.h"

#include <new>

namespace batch {

bool writeCycleTables(const Options& o, std::size_t job, const std::vector<double>& x,
    const std::vector<double>& y, Console& console)
{
    const std::string& file = o.files[job];
    const auto fail = [&](const std::string& why) {
        console.print(job, file + ": " + why + "; no cycle tables written");
        return false;
    };
    // A table's name that clashes with a data file of the batch refused the whole job before
    // its run, with the run's other names.
    const std::vector<std::string> names = cycleTableNames(o, file);
    try {
        const analysis::RunTablesResult result =
            analysis::analyseFinishedRun(x, y, file, o.settings.OutputMode == 2, o.cycleOptions);
        if (!result)
            return fail(result.message);
        const std::string texts[] = { analysis::cyclesCsv(result.tables.cycles),
            analysis::backboneCsv(result.tables.positive, result.tables.negative) };
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string error = analysis::replaceFile(names[i], texts[i]);
            if (!error.empty())
                return fail(error);
        }
    } catch (const std::bad_alloc&) {
        return fail("the tables do not fit in memory");
    }
    if (!o.quiet)
        console.print(job, file + ": cycle tables " + names[0] + " and " + names[1]);
    return true;
}

}  // namespace batch
