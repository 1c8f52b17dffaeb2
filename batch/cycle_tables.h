#pragma once

#include "batch/console.h"
#include "batch/options.h"
#include "run/finished_run.h"

#include <cstddef>
#include <string>

namespace batch {

// Writes the cycle, envelope and backbone tables of the finished run of `options.files[job]`;
// returns false after printing why they could not be written. No table replaces a data file of
// the batch or goes through a symbolic link, and none is ever left half written or written
// without the others. Loops that run the wrong way round are pointed out, even with --quiet.
bool writeCycleTables(
    const Options& options, std::size_t job, const run::FinishedRun& run, Console& console);

}  // namespace batch
