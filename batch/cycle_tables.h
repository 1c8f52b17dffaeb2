#pragma once

#include "analysis/run_tables.h"
#include "batch/job_files.h"
#include "batch/options.h"

#include <string>
#include <vector>

namespace batch {

// The cycle, envelope and backbone tables of the run of `file` as files, for --cycles.
std::vector<JobFile> cycleTableFiles(
    const Options& options, const std::string& file, const analysis::RunTables& tables);

}  // namespace batch
