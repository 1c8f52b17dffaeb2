#pragma once

#include "batch/console.h"
#include "batch/options.h"

#include <cstddef>

namespace batch {

enum class JobResult
{
    Finished,
    Failed,
    Stopped
};

// One data file of the batch, `options.files[job]`: its run, then what the options ask for
// beside the run's own files.
JobResult runJob(const Options& options, std::size_t job, Console& console);

// Every data file of the batch, up to `options.jobs` at once, with its messages on stderr.
// Returns the exit status: 0 when every run finished, 1 when any failed, 130 when interrupted.
int runBatch(const Options& options);

}  // namespace batch
