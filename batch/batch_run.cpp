#include "batch/batch_run.h"

#include "analysis/analysis_tables.h"
#include "analysis/run_plot.h"
#include "analysis/series.h"
#include "batch/cycle_tables.h"
#include "batch/interrupt.h"
#include "batch/job_files.h"
#include "batch/job_host.h"
#include "batch/job_queue.h"
#include "batch/output_names.h"
#include "batch/series_picture.h"
#include "run/run_driver.h"
#include "run/whole_file.h"

#ifdef VARNEL_WITH_PLOT
#include "batch/picture.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"
#include "plot/plot_renderer.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace batch {

namespace {

    // Why the file `name` that a job writes beside the run's own (`what`: "picture", "table")
    // cannot be made. Checked before the run, so that no run is spent on a job that cannot
    // write all its files.
    std::optional<JobRefusal> besideRefusal(const std::string& name, const char* what)
    {
        const std::optional<run::NameProblem> problem = run::nameProblem(name);
        if (!problem)
            return std::nullopt;
        return JobRefusal { problem->code,
            std::string("cannot write the ") + what + " " + name + ": " + problem->reason };
    }

    // The summary and the overlay picture, the batch's own files (`what`), are refused,
    // written and reported alike; these say so and give the exit status.
    int cannotWrite(const char* what, const std::string& path, const run::NameProblem& problem)
    {
        std::fprintf(stderr, "varnel-batch: %s\nvarnel-batch: cannot write the %s %s: %s\n",
            run::outputFileErrorMessage(problem.code).c_str(), what, escapeControls(path).c_str(),
            escapeControls(problem.reason).c_str());
        return 1;
    }

    // Writes the batch's file `path` whole from `bytes()`; returns the exit status when it
    // could not.
    template <typename Bytes>
    std::optional<int> writeBatchFile(
        const Options& o, const std::string& path, const char* what, const Bytes& bytes)
    {
        try {
            run::writeWholeFile(path, bytes(), o.files);
#ifdef VARNEL_WITH_PLOT
        } catch (const plot::DrawingCancelled&) {
            std::fprintf(stderr, "varnel-batch: the batch was interrupted; no %s written\n", what);
            return 130;
#endif
        } catch (const run::RunFailure& failure) {
            std::fprintf(stderr, "varnel-batch: %s\nvarnel-batch: %s; no %s written\n",
                run::outputFileErrorMessage(failure.code()).c_str(),
                escapeControls(failure.what()).c_str(), what);
            return 1;
        }
        if (!o.quiet)
            std::fprintf(stderr, "varnel-batch: %s %s\n", what, escapeControls(path).c_str());
        return std::nullopt;
    }

    int terminalWidth()
    {
        winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
        return 80;
    }

}  // namespace

std::vector<std::optional<JobRefusal>> refusedJobs(const Options& o)
{
    // The data files by name key and by identity, looked up once each: a batch may name
    // thousands of files.
    const std::size_t n = o.files.size();
    std::map<NameKey, std::vector<std::size_t>> byKey;
    std::map<FileId, std::vector<std::size_t>> byId;
    std::vector<std::optional<FileId>> ids(n);
    for (std::size_t j = 0; j < n; ++j) {
        byKey[nameKey(o.files[j])].push_back(j);
        ids[j] = fileId(o.files[j]);
        if (ids[j])
            byId[*ids[j]].push_back(j);
    }
    std::vector<std::optional<JobRefusal>> refused(n);
    for (std::size_t i = 0; i < n; ++i) {
        // Another argument is a data file other than this job's own (which may be named twice).
        const auto clash =
            [&](const std::vector<std::size_t>* found) -> std::optional<std::size_t> {
            if (found)
                for (const std::size_t j : *found)
                    if (j != i && !(ids[i] && ids[j] && *ids[i] == *ids[j])
                        && o.files[i] != o.files[j])
                        return j;
            return std::nullopt;
        };
        for (const std::string& name : jobOutputNames(o, o.files[i])) {
            const auto key = byKey.find(nameKey(name));
            std::optional<std::size_t> j = clash(key == byKey.end() ? nullptr : &key->second);
            if (!j) {
                const std::optional<FileId> id = fileId(name);
                const auto same = id ? byId.find(*id) : byId.end();
                j = clash(same == byId.end() ? nullptr : &same->second);
            }
            if (j) {
                refused[i] = JobRefusal { run::FailureCode::PathFileAccessError,
                    name + " is the data file " + o.files[*j]
                        + " of this batch; nothing of this run is written" };
                break;
            }
        }
        if (!refused[i] && o.plot != PlotMode::None)
            refused[i] = besideRefusal(pictureName(o, o.files[i]), "picture");
        for (const std::string& table : cycleTableNames(o, o.files[i]))
            if (!refused[i])
                refused[i] = besideRefusal(table, "table");
    }
    return refused;
}

namespace {

    // What the options ask for beside the curve files of a finished run, made from the run as
    // it handed itself over (and the picture box's drawing for the box style), and written as
    // one set.
    // The job's row of the summary, when one is asked for, gets its figures or its failure's
    // code.
    // With `drawn`, what the series picture draws of the run is kept there.
    template <typename Recording>
    JobResult writeBeside(const Options& o, std::size_t job, run::FinishedRun finished,
        const Recording* recording, Console& console, analysis::SeriesRow* row,
        std::optional<SeriesPictureRun>* drawn)
    {
        const std::string& file = o.files[job];
        if (!o.cycles && o.plot == PlotMode::None && !row && !drawn)
            return JobResult::Finished;
        const auto stop = [&] {
            console.print(job, file + ": interrupted");
            return JobResult::Stopped;
        };
        const auto failed = [&](run::FailureCode code) {
            if (row)
                row->code = static_cast<int>(code);
            return JobResult::Failed;
        };
        std::vector<JobFile> files;
        try {
            if (interrupted())
                return stop();
            const analysis::AssembledRun assembled =
                analysis::assembleRun(std::move(finished), o.cycleOptions);
            if (interrupted())
                return stop();
            if (row)
                *row = analysis::finishedSeriesRow(file, assembled.rows->size(), assembled.tables);
#ifdef VARNEL_WITH_PLOT
            if (drawn)
                *drawn = seriesPictureRun(file, assembled, o.overlayRecords);
#endif
            if (o.cycles && assembled.tables.loopsReversed)
                // A warning about the data, not a failure: the tables are written all the same.
                console.print(job, file + ": " + analysis::kLoopsReversedMessage);
#ifdef VARNEL_WITH_PLOT
            if (o.plot != PlotMode::None)
                files.push_back({ pictureName(o, file),
                    recording ? boxPicture(o, file, *recording)
                              : reportPicture(o, file, assembled) });
#else
            static_cast<void>(recording);
#endif
            if (o.cycles)
                for (JobFile& table : cycleTableFiles(o, file, assembled.tables))
                    files.push_back(std::move(table));
#ifdef VARNEL_WITH_PLOT
        } catch (const plot::DrawingCancelled&) {
            return stop();
#endif
        } catch (const run::RunFailure& failure) {
            console.print(job, file + ": " + run::outputFileErrorMessage(failure.code()));
            console.print(job, file + ": " + failure.what() + "; nothing beside the curve written");
            return failed(failure.code());
        } catch (const std::bad_alloc&) {
            console.print(
                job, file + ": " + run::outputFileErrorMessage(run::FailureCode::OutOfMemory));
            console.print(job,
                file
                    + ": the pictures and tables do not fit in memory; nothing beside the "
                      "curve written");
            return failed(run::FailureCode::OutOfMemory);
        }
        const JobFilesWritten written = writeJobFiles(files, file, job, console);
        switch (written.outcome) {
        case JobFilesWritten::All:
            break;
        case JobFilesWritten::None:
        case JobFilesWritten::Some:
            return failed(written.code);
        case JobFilesWritten::Interrupted:
            return stop();
        }
        if (!o.quiet) {
            std::size_t next = 0;
            if (o.plot != PlotMode::None)
                console.print(job, file + ": picture " + files[next++].name);
            if (o.cycles)
                console.print(job,
                    file + ": cycle tables " + files[next].name + ", " + files[next + 1].name
                        + " and " + files[next + 2].name);
        }
        return JobResult::Finished;
    }

}  // namespace

JobResult runJob(const Options& o, std::size_t job, Console& console, analysis::SeriesRow* row,
    std::optional<SeriesPictureRun>* drawn)
{
    const std::string& file = o.files[job];
    // Each job has its own settings: a run reads its coefficients into the record it is given.
    settings::RunSettings s = o.settings;
    s.DataFilePath = file;
    JobHost host(console, job, file, o.quiet);
    const bool reportPicture = o.plot != PlotMode::None && o.pictureStyle == PictureStyle::Report;
    run::FinishedRunParts parts;
    parts.rows = o.cycles || reportPicture || row || drawn;
    parts.points = reportPicture;
    parts.groups = reportPicture;
    parts.crossings = reportPicture;
    // The names stay held until the job's last file is written.
    host.keep(parts, o.cycles || o.plot != PlotMode::None);
#ifdef VARNEL_WITH_PLOT
    std::optional<plot::PlotRecording> recording;
    if (o.plot != PlotMode::None && o.pictureStyle == PictureStyle::Box) {
        recording.emplace();
        // A PNG is drawn as the run goes, and an SVG keeps a bounded number of calls, so that a
        // record that crosses itself tens of millions of times draws in bounded memory.
        if (plot::plotFileFormat(pictureName(o, file)) == plot::PictureFormat::Png)
            recording->drawOnto(plot::blankPlotFileImage());
        else
            recording->keepAtMost(kMostBoxCalls);
        host.record(&*recording);
    }
#endif
    run::RunReport report = run::runVarnel(host, s, o.xCoefficient, o.yCoefficient);
    switch (report.outcome) {
    case run::RunOutcome::Finished: {
#ifdef VARNEL_WITH_PLOT
        const plot::PlotRecording* boxDrawing = recording ? &*recording : nullptr;
#else
        const void* boxDrawing = nullptr;
#endif
        JobResult result =
            writeBeside(o, job, std::move(*host.finishedRun()), boxDrawing, console, row, drawn);
        if (report.names) {
            try {
                report.names->release();
            } catch (const run::RunFailure& failure) {
                console.print(job, file + ": " + run::outputFileErrorMessage(failure.code()));
                console.print(job, file + ": " + failure.what());
                result = JobResult::Failed;
                if (row)
                    row->code = static_cast<int>(failure.code());
            }
        }
        if (row && result == JobResult::Failed)
            *row = analysis::failedSeriesRow(file, row->code);
        if (drawn && result != JobResult::Finished)
            drawn->reset();
        return result;
    }
    case run::RunOutcome::NoDataFile:
        console.print(job, "varnel-batch: an empty file name names no data file");
        if (row)
            *row = analysis::failedSeriesRow(file, std::nullopt);
        return JobResult::Failed;
    case run::RunOutcome::Failed:
        if (const std::string detail = run::failureDetailLine(file, report); !detail.empty())
            console.print(job, detail);
        if (row)
            *row = analysis::failedSeriesRow(file, static_cast<int>(report.code));
        return JobResult::Failed;
    case run::RunOutcome::Stopped:
        console.print(job, file + ": interrupted");
        return JobResult::Stopped;
    }
    return JobResult::Failed;
}

int runBatch(const Options& o)
{
#ifdef VARNEL_WITH_PLOT
    // The report picture's text needs Qt's fonts, which come with an application object; the
    // batch shows nothing, so it never needs a display.
    std::unique_ptr<QGuiApplication> application;
    if (((o.plot != PlotMode::None && o.pictureStyle == PictureStyle::Report) || !o.overlay.empty())
        && !QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "varnel-batch";
        static char* argv[] = { name, nullptr };
        // Qt's notes about the environment (no runtime folder and the like) are no concern of
        // the batch's user and would mix with its own messages.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        });
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    catchInterrupts();
#ifdef VARNEL_WITH_PLOT
    plot::setDrawingCancelled(&interrupted);
#endif
    // The summary follows the rules of every other file: checked before anything runs.
    if (!o.summary.empty()) {
        if (const std::optional<run::NameProblem> problem = run::nameProblem(o.summary, o.files))
            return cannotWrite("summary", o.summary, *problem);
    }
    // So is the series picture, and it never replaces a file that a job of the batch writes.
    if (!o.overlay.empty()) {
        std::optional<run::NameProblem> problem = run::nameProblem(o.overlay, o.files);
        const NameKey key = nameKey(o.overlay);
        for (std::size_t i = 0; i < o.files.size() && !problem; ++i)
            for (const std::string& name : jobOutputNames(o, o.files[i]))
                if (nameKey(name) == key) {
                    problem = run::NameProblem { run::FailureCode::PathFileAccessError,
                        "the run of " + o.files[i] + " writes that file" };
                    break;
                }
        if (problem)
            return cannotWrite("overlay picture", o.overlay, *problem);
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1 && !o.quiet;
    Console console(stderr, terminal, terminal ? terminalWidth() : 80, o.files.size());
    JobQueue queue(o.files);
    const std::vector<std::optional<JobRefusal>> refused = refusedJobs(o);
    // One row a data file, in the order of the command line whatever the jobs' order.
    std::vector<analysis::SeriesRow> summary(o.summary.empty() ? 0 : o.files.size());
    for (std::size_t i = 0; i < summary.size(); ++i)
        summary[i].file = o.files[i];
    // What the series picture draws of each job that finished, in the order of the command line.
    std::vector<std::optional<SeriesPictureRun>> drawn(o.overlay.empty() ? 0 : o.files.size());
    std::vector<std::atomic<bool>> started(o.files.size());
    std::atomic<bool> anyFailed = false;
    std::atomic<bool> anyStopped = false;
    const auto work = [&] {
        while (const std::optional<std::size_t> job = queue.take()) {
            started[*job] = true;
            JobResult result = JobResult::Failed;
            analysis::SeriesRow* row = summary.empty() ? nullptr : &summary[*job];
            if (const std::optional<JobRefusal>& r = refused[*job]) {
                console.print(*job, o.files[*job] + ": " + run::outputFileErrorMessage(r->code));
                console.print(*job, o.files[*job] + ": " + r->detail);
                if (row)
                    *row = analysis::failedSeriesRow(o.files[*job], static_cast<int>(r->code));
            } else {
                result = runJob(o, *job, console, row, drawn.empty() ? nullptr : &drawn[*job]);
            }
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
    // Every file an interruption left unstarted is named, in its place among the lines.
    bool anyLeft = false;
    for (std::size_t i = 0; i < o.files.size(); ++i) {
        if (!started[i]) {
            console.print(i, o.files[i] + ": not run, the batch was interrupted");
            anyLeft = true;
        }
        console.finish(i);
    }
    if (anyStopped || anyLeft) {
        if (!o.summary.empty())
            std::fprintf(stderr, "varnel-batch: the batch was interrupted; no summary written\n");
        if (!o.overlay.empty())
            std::fprintf(
                stderr, "varnel-batch: the batch was interrupted; no overlay picture written\n");
        return 130;
    }
    if (!o.summary.empty()) {
        if (const std::optional<int> status = writeBatchFile(
                o, o.summary, "summary", [&] { return analysis::seriesCsv(summary); }))
            return *status;
    }
#ifdef VARNEL_WITH_PLOT
    if (!o.overlay.empty()) {
        std::vector<const SeriesPictureRun*> finished;
        for (const std::optional<SeriesPictureRun>& run : drawn)
            if (run)
                finished.push_back(&*run);
        if (finished.empty()) {
            std::fprintf(stderr, "varnel-batch: no run finished; no overlay picture written\n");
            return 1;
        }
        if (const std::optional<int> status = writeBatchFile(
                o, o.overlay, "overlay picture", [&] { return seriesPicture(o, finished); }))
            return *status;
    }
#endif
    return anyFailed ? 1 : 0;
}

}  // namespace batch
