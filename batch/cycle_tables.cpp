#include "batch/cycle_tables.h"

#include "analysis/analysis_tables.h"
#include "analysis/run_tables.h"
#include "batch/output_names.h"
#include "run/run_failure.h"
#include "run/whole_file.h"

#include <new>

namespace batch {

bool writeCycleTables(
    const Options& o, std::size_t job, const run::FinishedRun& run, Console& console)
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
        const analysis::RunTables tables = analysis::analyseFinishedRun(run, o.cycleOptions);
        // A warning about the data, not a failure: the tables are written all the same.
        if (tables.loopsReversed)
            console.print(job, file + ": " + analysis::kLoopsReversedMessage);
        const std::string texts[] = { analysis::cyclesCsv(tables.cycles),
            analysis::envelopeCsv(tables.envelope),
            analysis::backboneCsv(tables.positive, tables.negative) };
        // All are written whole before any takes its name.
        std::vector<run::PendingFile> pending;
        for (std::size_t i = 0; i < names.size(); ++i)
            pending.emplace_back(names[i], texts[i], std::vector<std::string> { file });
        for (run::PendingFile& table : pending)
            table.commit();
    } catch (const run::RunFailure& failure) {
        return fail(failure.what());
    } catch (const std::bad_alloc&) {
        return fail("the tables do not fit in memory");
    }
    if (!o.quiet)
        console.print(
            job, file + ": cycle tables " + names[0] + ", " + names[1] + " and " + names[2]);
    return true;
}

}  // namespace batch
