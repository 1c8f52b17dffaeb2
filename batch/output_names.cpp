#include "batch/output_names.h"

#include "analysis/analysis_tables.h"
#include "run/run_driver.h"

namespace batch {

std::string nameBase(const std::string& file)
{
    try {
        return run::runNameBase(file);
    } catch (const run::RunFailure&) {
        return {};
    }
}

std::string besideName(const std::string& file, const std::string& extension)
{
    return nameBase(file) + extension;
}

std::string pictureName(const Options& options, const std::string& file)
{
    return options.plot == PlotMode::OneFile ? options.plotName
                                             : besideName(file, options.plotName);
}

std::vector<std::string> cycleTableNames(const Options& options, const std::string& file)
{
    if (!options.cycles)
        return {};
    return { besideName(file, analysis::kCyclesFileSuffix),
        besideName(file, analysis::kBackboneFileSuffix) };
}

}  // namespace batch
