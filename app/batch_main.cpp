// varnel-batch: the same run as the window's "Start", for one or many data files, headless.
#include "app/batch_console.h"
#include "run/run_driver.h"
#include "settings/run_settings.h"

#ifdef VARNEL_WITH_PLOT
#include "ui/plot/plot_file.h"
#include "ui/plot/plot_recording.h"

#include <QColor>
#include <QFile>
#endif

#include <atomic>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

const char* const kUsage = R"(Usage: varnel-batch [OPTION]... FILE...
Writes the Varnel curve of each cyclic load-deformation record FILE beside it, exactly as the
window's "Start" does: FILE's name less its last three characters, plus "vnp" (positive side)
and "vnn" (negative side), or "vnl" (both sides) with --one-file.

Options (values are read as the window's boxes read them):
  --x-column N          column of X, from 1 (default 1)
  --y-column N          column of Y, from 1 (default 2)
  --x-coefficient C     factor for X (default 1)
  --y-coefficient C     factor for Y (default 1)
  --skip-lines N        header lines before the data (default 0)
  --one-file            write one combined curve file instead of two
  --keep-working-files  leave the point file (bu0) and cross-check file (buf) on disk
  --plot png|svg        also draw the run's picture (record, groups, crossings, curve) into
                        a file beside each data file, named like the curve files: FILE's
                        name less its last three characters, plus "png" or "svg"
  --plot PICTURE        with one data file: draw the picture into PICTURE, a name ending
                        in .png or .svg
  --jobs N              run up to N files at once (default 1); the messages still come
                        file by file, in the order of the files
  --quiet               print nothing but failures
  --help                show this help and exit
  --version             show the version and exit

Status lines go to stderr, each as "FILE: text". On a terminal a progress bar follows long
cross checks. A picture is written only for a run that finished.

Exit status: 0 when every run finished, 1 when any run failed, 2 for a usage error,
130 when interrupted.
)";

int usageError(const std::string& what)
{
    std::fprintf(stderr, "varnel-batch: %s\nTry 'varnel-batch --help' for more information.\n",
        what.c_str());
    return 2;
}

// The data file's name base, or nothing when the path is too short to have one.
std::string nameBase(const std::string& path)
{
    try {
        return run::runNameBase(path);
    } catch (const run::RunFailure&) {
        return {};
    }
}

using run::sameFile;

enum class PlotMode
{
    None,
    BesideEachFile,  // --plot png|svg
    OneFile,  // --plot PICTURE
};

struct Options
{
    settings::RunSettings settings;
    std::string xCoefficient = "1";
    std::string yCoefficient = "1";
    bool quiet = false;
    PlotMode plot = PlotMode::None;
    std::string plotName;  // the extension for BesideEachFile, the file for OneFile
    unsigned jobs = 1;
    std::vector<std::string> files;
};

bool endsWithNoCase(std::string_view text, std::string_view end)
{
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char a = text[text.size() - end.size() + i];
        if (std::tolower(static_cast<unsigned char>(a)) != end[i])
            return false;
    }
    return true;
}

// Reads the command line into `o`; returns an exit status when the program should end at once.
std::optional<int> parseOptions(int argc, char** argv, Options& o)
{
    settings::RunSettings& s = o.settings;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
                return usageError("unknown option '" + arg + "'");
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        const auto flag = [&](std::string_view name) { return arg == name && !hasValue; };
        if (flag("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (flag("--version")) {
            std::printf("varnel-batch %s\n", VARNEL_VERSION);
            return 0;
        }
        if (flag("--one-file")) {
            s.OutputMode = 2;
        } else if (flag("--keep-working-files")) {
            s.KeepWorkingFiles = 1;
        } else if (flag("--quiet")) {
            o.quiet = true;
        } else if (arg == "--x-column" || arg == "--y-column" || arg == "--skip-lines"
            || arg == "--x-coefficient" || arg == "--y-coefficient" || arg == "--plot"
            || arg == "--jobs") {
            if (!takeValue())
                return usageError("option '" + arg + "' needs a value");
            if (arg == "--x-column") {
                settings::setXColumn(s, value);
            } else if (arg == "--y-column") {
                settings::setYColumn(s, value);
            } else if (arg == "--skip-lines") {
                settings::setSkipLines(s, value);
            } else if (arg == "--x-coefficient") {
                o.xCoefficient = value;
            } else if (arg == "--y-coefficient") {
                o.yCoefficient = value;
            } else if (arg == "--jobs") {
                unsigned n = 0;
                const auto [end, ec] =
                    std::from_chars(value.data(), value.data() + value.size(), n);
                if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 256)
                    return usageError("--jobs takes a whole number from 1 to 256");
                o.jobs = n;
            } else {
#ifdef VARNEL_WITH_PLOT
                if (endsWithNoCase(value, "png") && value.size() == 3)
                    o.plot = PlotMode::BesideEachFile;
                else if (endsWithNoCase(value, "svg") && value.size() == 3)
                    o.plot = PlotMode::BesideEachFile;
                else if (endsWithNoCase(value, ".png") || endsWithNoCase(value, ".svg"))
                    o.plot = PlotMode::OneFile;
                else
                    return usageError(
                        "--plot takes png, svg, or a file name ending in .png or .svg");
                o.plotName = value;
#else
                return usageError("this varnel-batch was built without Qt and draws no pictures");
#endif
            }
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }
    if (o.files.empty())
        return usageError("no data file given");
    if (o.plot == PlotMode::OneFile && o.files.size() > 1)
        return usageError("--plot " + o.plotName
            + " names one picture for several data files; use --plot png or --plot svg to "
              "draw a picture beside each data file");
    return std::nullopt;
}

// The front end of one job: status and messages to the console, drawing into the recording.
class BatchHost : public run::RunHost
{
public:
    BatchHost(BatchConsole& console, std::size_t job, const std::string& file, bool quiet)
        : m_console(console)
        , m_job(job)
        , m_file(file)
        , m_quiet(quiet)
        , m_showProgress(console.showsProgress() && !quiet)
    {
    }

#ifdef VARNEL_WITH_PLOT
    void record(PlotRecording* recording)
    {
        m_recording = recording;
    }
#endif

    void setStatus(const std::string& text) override
    {
        // The cross check yields once for each point it walks, and the record was drawn with
        // one line per point just before it: that gives the bar its length.
        const bool crossCheck = text == "Cross checking...";
        if (m_crossCheck && !crossCheck)
            m_console.endProgress(m_job);
        if (!m_quiet && !text.empty())
            m_console.print(m_job, m_file + ": " + text);
        m_crossCheck = crossCheck;
        if (crossCheck) {
            m_walked = 1;
            m_points = m_recordLines > 1 ? m_recordLines - 1 : 1;
            m_phaseStart = BatchConsole::Clock::now();
        }
    }

    void showFileName(int, const std::string&) override { }

    bool yield() override
    {
        if (m_crossCheck && m_showProgress && (++m_walked & 1023u) == 0) {
            const double fraction = static_cast<double>(m_walked) / static_cast<double>(m_points);
            m_console.progress(m_job, m_file, "Cross checking", fraction, m_phaseStart,
                BatchConsole::Clock::now());
        }
        return g_interrupted == 0;
    }

    void clearPlot() override
    {
#ifdef VARNEL_WITH_PLOT
        if (m_recording)
            m_recording->clear();
#endif
    }

    void setPlotWindow(float left, float top, float right, float bottom) override
    {
        m_recordLines = 0;
#ifdef VARNEL_WITH_PLOT
        if (m_recording)
            m_recording->setWindow(left, top, right, bottom);
#else
        (void)left, (void)top, (void)right, (void)bottom;
#endif
    }

    void drawLine(float x1, float y1, float x2, float y2, run::Rgb colour) override
    {
#ifdef VARNEL_WITH_PLOT
        if (m_recording)
            m_recording->line(x1, y1, x2, y2, toColour(colour));
#else
        (void)x1, (void)y1, (void)x2, (void)y2, (void)colour;
#endif
    }

    void drawDot(float x, float y, run::Rgb colour) override
    {
#ifdef VARNEL_WITH_PLOT
        if (m_recording)
            m_recording->dot(x, y, toColour(colour));
#else
        (void)x, (void)y, (void)colour;
#endif
    }

    void drawLineTo(float x, float y, run::Rgb colour) override
    {
        ++m_recordLines;
#ifdef VARNEL_WITH_PLOT
        if (m_recording)
            m_recording->lineTo(x, y, toColour(colour));
#else
        (void)x, (void)y, (void)colour;
#endif
    }

    void showError(const std::string& message) override
    {
        m_console.print(m_job, m_file + ": " + message);
    }

private:
#ifdef VARNEL_WITH_PLOT
    static QColor toColour(run::Rgb c)
    {
        return QColor(c.red, c.green, c.blue);
    }

    PlotRecording* m_recording = nullptr;
#endif
    BatchConsole& m_console;
    std::size_t m_job;
    const std::string& m_file;
    bool m_quiet;
    bool m_showProgress;
    bool m_crossCheck = false;
    std::size_t m_recordLines = 0;
    std::size_t m_points = 1;
    std::size_t m_walked = 0;
    BatchConsole::Clock::time_point m_phaseStart {};
};

// Hands out the files to the workers in order. Runs of data files that share a name base write
// the same files, so such a run waits until the one before it has finished.
class JobQueue
{
public:
    explicit JobQueue(const std::vector<std::string>& files)
        : m_state(files.size(), State::Waiting)
    {
        for (const std::string& file : files) {
            std::error_code error;
            const std::string base = nameBase(file);
            const auto canonical = std::filesystem::weakly_canonical(base, error);
            m_key.push_back(error ? base : canonical.string());
        }
    }

    // The next job to run, or nothing when every job has been handed out or the batch was
    // interrupted.
    std::optional<std::size_t> take()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (g_interrupted)
                return std::nullopt;
            bool waiting = false;
            for (std::size_t i = 0; i < m_state.size(); ++i) {
                if (m_state[i] != State::Waiting)
                    continue;
                waiting = true;
                if (mayStart(i)) {
                    m_state[i] = State::Running;
                    return i;
                }
            }
            if (!waiting)
                return std::nullopt;
            m_changed.wait(lock);
        }
    }

    void done(std::size_t job)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_state[job] = State::Done;
        }
        m_changed.notify_all();
    }

private:
    enum class State
    {
        Waiting,
        Running,
        Done
    };

    bool mayStart(std::size_t job) const
    {
        for (std::size_t i = 0; i < job; ++i)
            if (m_state[i] != State::Done && m_key[i] == m_key[job])
                return false;
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<State> m_state;
    std::vector<std::string> m_key;
};

enum class JobResult
{
    Finished,
    Failed,
    Stopped
};

#ifdef VARNEL_WITH_PLOT
std::string pictureName(const Options& o, const std::string& file)
{
    return o.plot == PlotMode::OneFile ? o.plotName : nameBase(file) + o.plotName;
}

// Draws the picture of a finished run; returns false after printing why it could not.
bool writePicture(const Options& o, const std::string& file, const PlotRecording& recording,
    BatchConsole& console, std::size_t job)
{
    const std::string picture = pictureName(o, file);
    if (sameFile(picture, file)) {
        console.print(job,
            file + ": the picture " + picture + " would replace the data file; no picture written");
        return false;
    }
    const QString error = writePlotFile(recording, QFile::decodeName(picture.c_str()));
    if (!error.isEmpty()) {
        console.print(job,
            file + ": cannot write the picture " + picture + ": "
                + error.toLocal8Bit().toStdString());
        return false;
    }
    if (!o.quiet)
        console.print(job, file + ": picture " + picture);
    return true;
}
#endif

JobResult runJob(const Options& o, std::size_t job, BatchConsole& console)
{
    const std::string& file = o.files[job];
    // Each job has its own settings: a run reads its coefficients into the record it is given.
    settings::RunSettings s = o.settings;
    s.DataFilePath = file;
    BatchHost host(console, job, file, o.quiet);
#ifdef VARNEL_WITH_PLOT
    std::optional<PlotRecording> recording;
    if (o.plot != PlotMode::None) {
        recording.emplace();
        host.record(&*recording);
    }
#endif
    const run::RunReport report = run::runVarnel(host, s, o.xCoefficient, o.yCoefficient);
    switch (report.outcome) {
    case run::RunOutcome::Finished:
#ifdef VARNEL_WITH_PLOT
        if (recording && !writePicture(o, file, *recording, console, job))
            return JobResult::Failed;
#endif
        return JobResult::Finished;
    case run::RunOutcome::NoDataFile:
        console.print(job, "varnel-batch: an empty file name names no data file");
        return JobResult::Failed;
    case run::RunOutcome::Failed:
        if (!report.detail.empty())
            console.print(job, file + ": " + report.detail);
        return JobResult::Failed;
    case run::RunOutcome::Stopped:
        console.print(job, file + ": interrupted");
        return JobResult::Stopped;
    }
    return JobResult::Failed;
}

int terminalWidth()
{
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    settings::applyStartupDefaults(o.settings);
    if (const std::optional<int> status = parseOptions(argc, argv, o))
        return *status;

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const bool terminal = ::isatty(STDERR_FILENO) == 1 && !o.quiet;
    BatchConsole console(stderr, terminal, terminal ? terminalWidth() : 80, o.files.size());
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
