#pragma once

#include "analysis/series.h"
#include "batch/console.h"
#include "batch/options.h"
#include "batch/series_picture.h"
#include "run/run_failure.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace batch {

enum class JobResult
{
    Finished,
    Failed,
    Stopped
};

// Why a job is not run at all: the output-file message's code and the detail line.
struct JobRefusal
{
    run::FailureCode code;
    std::string detail;
};

// The jobs refused before any run, by the index of their file: a job one of whose names
// (jobOutputNames) is another argument's data file, or whose picture cannot be made.
std::vector<std::optional<JobRefusal>> refusedJobs(const Options& options);

// One data file of the batch, `options.files[job]`: its run, then what the options ask for
// beside the run's own files.
// With `row`, the job's row of the summary gets how it ended and a finished run's figures; with
// `drawn`, a job that finished keeps there what the series picture draws of it.
JobResult runJob(const Options& options, std::size_t job, Console& console,
    analysis::SeriesRow* row = nullptr, std::optional<SeriesPictureRun>* drawn = nullptr);

// Every data file of the batch, up to `options.jobs` at once, with its messages on stderr.
// Returns the exit status: 0 when every run finished, 1 when any failed, 130 when interrupted.
int runBatch(const Options& options);

}  // namespace batch
