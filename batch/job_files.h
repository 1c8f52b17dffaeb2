#pragma once

#include "batch/console.h"
#include "run/run_failure.h"

#include <cstddef>
#include <string>
#include <vector>

namespace batch {

// A file a job writes beside the run's curve files.
struct JobFile
{
    std::string name;
    std::string bytes;
};

struct JobFilesWritten
{
    enum
    {
        All,
        None,  // a failure, printed, left every older file at the names as it was
        Some,  // a failure after some took their names, printed with what was and was not written
        Interrupted,  // nothing written
    } outcome = All;

    run::FailureCode code = run::FailureCode::None;  // the failure's
};

// Writes `files` as one set: each into a new file beside its name, and only once all are whole
// does each take its name, so that a failure or an interruption leaves every older file as it
// was. Never writes through a link or over `dataFile`. A failure prints the output-file message
// with its code and a line naming the file and what was and was not written.
JobFilesWritten writeJobFiles(const std::vector<JobFile>& files, const std::string& dataFile,
    std::size_t job, Console& console);

}  // namespace batch
