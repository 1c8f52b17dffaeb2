#include "batch/batch_run.h"

#include "batch/cycle_tables.h"
#include "batch/interrupt.h"
#include "batch/job_host.h"
#include "batch/job_queue.h"
#include "batch/output_names.h"
#include "run/run_driver.h"

#ifdef VARNEL_WITH_PLOT
#include "batch/picture.h"
#include "plot/plot_data.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"

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

    // The folder a name is made in, as the run would reach it.
    std::string folderOf(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return ".";
        return slash == 0 ? "/" : path.substr(0, slash);
    }

    // Whether `picture` can be made: its folder exists and may be written, and the name is no
    // symbolic link. Checked before the run, so that a run is not spent on a picture that
    // cannot be written.
    std::optional<JobRefusal> pictureRefusal(const std::string& picture)
    {
        struct stat st
        {
        };

        if (::lstat(picture.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return JobRefusal { run::FailureCode::PathFileAccessError,
                picture + ": is a symbolic link; no picture is written through it" };
        const std::string folder = folderOf(picture);
        int error = 0;
        if (::stat(folder.c_str(), &st) != 0)
            error = errno;
        else if (!S_ISDIR(st.st_mode))
            error = ENOTDIR;
        else if (::access(folder.c_str(), W_OK | X_OK) != 0)
            error = errno;
        if (error == 0)
            return std::nullopt;
        return JobRefusal { run::failureFromErrno(error, picture, true),
            "cannot write the picture " + picture + ": " + std::strerror(error) };
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
            refused[i] = pictureRefusal(pictureName(o, o.files[i]));
    }
    return refused;
}

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
    std::optional<plot::PlotRecording> recording;
    std::optional<plot::CrossingCollector> crossings;
    plot::CompactPoints points;
    if (o.plot != PlotMode::None && o.pictureStyle == PictureStyle::Box) {
        recording.emplace();
        // A PNG is drawn as the run goes, so that a record that crosses itself tens of millions
        // of times does not keep every call until the end.
        if (plot::isPngFileName(QFile::decodeName(pictureName(o, file).c_str())))
            recording->drawOnto(plot::blankPlotFileImage());
        host.record(&*recording);
    } else if (o.plot != PlotMode::None) {
        crossings.emplace();
        host.collectForPicture(&*crossings, &points);
    }
#endif
    const run::RunReport report = run::runVarnel(host, s, o.xCoefficient, o.yCoefficient);
    switch (report.outcome) {
    case run::RunOutcome::Finished:
        // What the options ask for beside the curve files, for a run that finished only.
#ifdef VARNEL_WITH_PLOT
        if (recording && !writePicture(o, file, *recording, console, job))
            return JobResult::Failed;
        if (crossings
            && !writeReportPicture(o, file, std::move(points), crossings->take(), console, job))
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
#ifdef VARNEL_WITH_PLOT
    // The report picture's text needs Qt's fonts, which come with an application object; the
    // batch shows nothing, so it never needs a display.
    std::unique_ptr<QGuiApplication> application;
    if (o.plot != PlotMode::None && o.pictureStyle == PictureStyle::Report
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
    const bool terminal = ::isatty(STDERR_FILENO) == 1 && !o.quiet;
    Console console(stderr, terminal, terminal ? terminalWidth() : 80, o.files.size());
    JobQueue queue(o.files);
    const std::vector<std::optional<JobRefusal>> refused = refusedJobs(o);
    std::vector<std::atomic<bool>> started(o.files.size());
    std::atomic<bool> anyFailed = false;
    std::atomic<bool> anyStopped = false;
    const auto work = [&] {
        while (const std::optional<std::size_t> job = queue.take()) {
            started[*job] = true;
            JobResult result = JobResult::Failed;
            if (const std::optional<JobRefusal>& r = refused[*job]) {
                console.print(*job, o.files[*job] + ": " + run::outputFileErrorMessage(r->code));
                console.print(*job, o.files[*job] + ": " + r->detail);
            } else {
                result = runJob(o, *job, console);
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
    if (anyStopped || anyLeft)
        return 130;
    return anyFailed ? 1 : 0;
}

}  // namespace batch
