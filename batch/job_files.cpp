#include "batch/job_files.h"

#include "batch/interrupt.h"
#include "run/run_driver.h"
#include "run/run_failure.h"
#include "run/whole_file.h"

#include <new>

namespace batch {

namespace {

    std::string listed(const std::vector<JobFile>& files, std::size_t from, std::size_t to)
    {
        std::string list;
        for (std::size_t i = from; i < to; ++i)
            list += (i == from ? "" : i + 1 == to ? " and " : ", ") + files[i].name;
        return list;
    }

}  // namespace

JobFilesWritten writeJobFiles(const std::vector<JobFile>& files, const std::string& dataFile,
    std::size_t job, Console& console)
{
    std::vector<std::string> names;
    for (const JobFile& file : files)
        names.push_back(file.name);
    // What an earlier job killed on the way left beside these names.
    run::removeLeftoverTemporaries(names);
    const auto failed = [&](const run::RunFailure& failure, std::size_t committed) {
        console.print(job, dataFile + ": " + run::outputFileErrorMessage(failure.code()));
        std::string said = dataFile + ": " + failure.what();
        if (committed == 0)
            said += "; none of " + listed(files, 0, files.size()) + " written";
        else
            said += "; written: " + listed(files, 0, committed)
                + "; not written: " + listed(files, committed, files.size());
        console.print(job, said);
        return JobFilesWritten { committed == 0 ? JobFilesWritten::None : JobFilesWritten::Some,
            failure.code() };
    };
    std::vector<run::PendingFile> pending;
    pending.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (interrupted())
            return { JobFilesWritten::Interrupted };
        try {
            pending.emplace_back(files[i].name, files[i].bytes, std::vector { dataFile });
        } catch (const run::RunFailure& failure) {
            return failed(failure, 0);
        } catch (const std::bad_alloc&) {
            return failed(run::RunFailure(run::FailureCode::OutOfMemory,
                              files[i].name + " does not fit in memory"),
                0);
        }
    }
    if (interrupted())
        return { JobFilesWritten::Interrupted };
    for (std::size_t i = 0; i < pending.size(); ++i) {
        try {
            pending[i].commit();
        } catch (const run::RunFailure& failure) {
            return failed(failure, i);
        }
    }
    return {};
}

}  // namespace batch
