#include "batch/batch_run.h"

#include "batch/cycle_tables.h"
#include "batch/interrupt.h"
#include "batch/job_host.h"
#include "batch/job_queue.h"
#include "run/run_driver.h"

#ifdef VARNEL_WITH_PLOT
#include "batch/picture.h"
#include "ui/plot/plot_recording.h"
#endif

#include <algorithm>
#include <atomic>
#include <optional>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace batch {

namespace {

    int terminalWidth()
    {
        winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
        return 80;
    }

}  // namespace

JobResult runJob(const Options& o, std::size_t job, Console& console)
{
    const std::string& file = o.files[job];
    // Each job has its own settings: a run reads its coefficients into the record it is given.
    settings::RunSettings s = o.settings;
    s.DataFilePath = file;
    JobHost host(console, job, file, o.quiet);
    if (o.cycles)
        host.keepPoints();
#ifdef VARNEL_WITH_PLOT
    std::optional<ui::PlotRecording> recording;
    if (o.plot != PlotMode::None) {
        recording.emplace();
        host.record(&*recording);
    }
#endif
    const run::RunReport report = run::runVarnel(host, s, o.xCoefficient, o.yCoefficient);
    switch (report.outcome) {
    case run::RunOutcome::Finished:
        // What the options ask for beside the curve files, for a run that finished only.
#ifdef VARNEL_WITH_PLOT
        if (recording && !writePicture(o, file, *recording, console, job))
            return JobResult::Failed;
#endif
        if (o.cycles && !writeCycleTables(o, job, host.pointsX(), host.pointsY(), console))
            return JobResult::Failed;
        return JobResult::Finished;
    case run::RunOutcome::NoDataFile:
        console.print(job, "varnel-batch: an empty file name names no data file");
        return JobResult::Failed;
    case run::RunOutcome::Failed:
        if (const std::string detail = run::failureDetailLine(file, report); !detail.empty())
            console.print(job, detail);
        return JobResult::Failed;
    case run::RunOutcome::Stopped:
        console.print(job, file + ": interrupted");
        return JobResult::Stopped;
    }
    return JobResult::Failed;
}

int runBatch(const Options& o)
{
    catchInterrupts();
    const bool terminal = ::isatty(STDERR_FILENO) == 1 && !o.quiet;
    Console console(stderr, terminal, terminal ? terminalWidth() : 80, o.files.size());
    JobQueue queue(o.files);
    std::atomic<bool> anyFailed = false;
    std::atomic<bool> anyStopped = false;
    const auto work = [&] {
        while (const std::optional<std::size_t> job = queue.take()) {
            const JobResult result = runJob(o, *job, console);
            if (result == JobResult::Failed)
                anyFailed = true;
            if (result == JobResult::Stopped)
                anyStopped = true;
            console.finish(*job);
            queue.done(*job);
        }
    };
    const std::size_t workers = std::min<std::size_t>(o.jobs, o.files.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < workers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
    // Jobs an interruption left unstarted have nothing to say, but must not hold back the
    // lines of later jobs.
    for (std::size_t i = 0; i < o.files.size(); ++i)
        console.finish(i);
    if (anyStopped)
        return 130;
    return anyFailed ? 1 : 0;
}

}  // namespace batch
