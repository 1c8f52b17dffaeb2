#include "ui/plot_window/added_runs.h"

#include "plot/overlay.h"
#include "run/run_driver.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

namespace ui {

namespace {

    // An added run keeps every point of a record of up to half a million (about 10 MB with
    // their lines), and an outline of a longer one, so that hover finds the data file's lines.
    constexpr std::size_t kOutlinePoints = 500'000;
    constexpr int kOutlineColumns = 8192;

    QString fileNameOf(const std::string& path)
    {
        return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
    }

    QString phaseName(int phase)
    {
        switch (static_cast<run::RunPhase>(phase)) {
        case run::RunPhase::Reading:
            return AddedRunQueue::tr("reading");
        case run::RunPhase::Preparing:
            return AddedRunQueue::tr("preparing");
        case run::RunPhase::CrossCheck:
            return AddedRunQueue::tr("cross check");
        case run::RunPhase::Curve:
            return AddedRunQueue::tr("curve");
        case run::RunPhase::Finishing:
            return AddedRunQueue::tr("finishing");
        }
        return {};
    }

    // The record as few points as draw it, each with its line, and the curve and titles.
    std::shared_ptr<const plot::PlotData> outlined(const plot::PlotData& full)
    {
        auto data = std::make_shared<plot::PlotData>();
        const std::size_t n = std::min(full.x.size(), full.y.size());
        const bool lines = full.lines.size() == n;
        const std::vector<std::size_t> kept =
            plot::outlineIndices(full.x.data(), full.y.data(), n, kOutlinePoints, kOutlineColumns);
        data->x.reserve(kept.size());
        data->y.reserve(kept.size());
        for (const std::size_t i : kept) {
            data->x.push_back(full.x[i]);
            data->y.push_back(full.y[i]);
            if (lines)
                data->lines.push_back(full.lines[i]);
        }
        data->sides = full.sides;
        data->xColumn = full.xColumn;
        data->yColumn = full.yColumn;
        data->xTitle = full.xTitle;
        data->yTitle = full.yTitle;
        return data;
    }

}  // namespace

struct AddedRunQueue::Job
{
    std::string dataFile;
    AddedRunSettings settings;
    analysis::CycleOptions options;
    std::atomic<bool> stop = false;
    std::atomic<int> phase = -1;
    std::atomic<int> permille = 0;
    std::thread thread;

    // How the run ended: finished, failed with a message, or stopped.
    struct Outcome
    {
        std::optional<AddedRun> run;
        QString message;
        QString detail;
    };

    Outcome work();
};

namespace {

    // A run's front end that shows nothing: the run's progress goes into its job, and a failure
    // comes back in the run's report.
    template <typename Job>
    class HeadlessHost final : public run::RunHost
    {
    public:
        explicit HeadlessHost(Job& job)
            : m_job(job)
        {
        }

        run::FinishedRunParts finishedRunParts() const override
        {
            run::FinishedRunParts parts;
            parts.rows = true;
            parts.points = true;
            parts.pointLines = true;
            return parts;
        }

        void runFinished(run::FinishedRun&& run) override
        {
            finished = std::move(run);
        }

        void setStatus(const std::string&) override { }

        void showFileName(int, const std::string&) override { }

        bool yield() override
        {
            return !m_job.stop;
        }

        void enterPhase(run::RunPhase phase) override
        {
            m_job.phase = static_cast<int>(phase);
            m_job.permille = 0;
        }

        void progress(std::int64_t done, std::int64_t total) override
        {
            if (total > 0)
                m_job.permille = static_cast<int>(std::clamp<std::int64_t>(
                    static_cast<std::int64_t>(1000.0 * double(done) / double(total)), 0, 1000));
        }

        void clearPlot() override { }

        void setPlotWindow(float, float, float, float) override { }

        void drawLine(float, float, float, float, run::Rgb) override { }

        void drawDot(float, float, run::Rgb) override { }

        void drawLineTo(float, float, run::Rgb) override { }

        void showError(const std::string&) override { }

        std::optional<run::FinishedRun> finished;

    private:
        Job& m_job;
    };

}  // namespace

AddedRunQueue::Job::Outcome AddedRunQueue::Job::work()
{
    Outcome outcome;
    HeadlessHost host(*this);
    settings::RunSettings runSettings = settings.settings;
    runSettings.DataFilePath = dataFile;
    try {
        const run::RunReport report =
            run::runVarnel(host, runSettings, settings.xCoefficient, settings.yCoefficient);
        switch (report.outcome) {
        case run::RunOutcome::Finished: {
            if (!host.finished)
                break;
            analysis::AssembledRun assembled =
                analysis::assembleRun(std::move(*host.finished), options);
            AddedRun run;
            run.dataFile = dataFile;
            run.rows = std::move(assembled.rows);
            run.options = options;
            run.tables = std::make_shared<const analysis::RunTables>(std::move(assembled.tables));
            run.backbone = analysis::plotBackbone(*run.tables);
            run.plot = outlined(*assembled.plot);
            auto index = std::make_shared<plot::PlotPointIndex>();
            index->build(*run.plot);
            run.index = std::move(index);
            outcome.run = std::move(run);
            break;
        }
        case run::RunOutcome::Failed:
            outcome.message = QString::fromStdString(report.message);
            outcome.detail = QString::fromStdString(run::failureDetailLine(dataFile, report));
            break;
        case run::RunOutcome::NoDataFile:
            outcome.message = tr("No data file was named.");
            break;
        case run::RunOutcome::Stopped:
            break;
        }
    } catch (const std::bad_alloc&) {
        outcome.run.reset();
        outcome.message = tr("The run does not fit in memory.");
    }
    return outcome;
}

AddedRunQueue::AddedRunQueue(QObject* parent)
    : QObject(parent)
{
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, &AddedRunQueue::progressChanged);
}

AddedRunQueue::~AddedRunQueue()
{
    m_waiting.clear();
    for (const auto& job : m_running)
        job->stop = true;
    // What the threads post back is dropped with this object.
    for (const auto& job : m_running)
        if (job->thread.joinable())
            job->thread.join();
}

void AddedRunQueue::add(const std::string& dataFile, const AddedRunSettings& settings,
    const analysis::CycleOptions& options)
{
    auto job = std::make_unique<Job>();
    job->dataFile = dataFile;
    job->settings = settings;
    job->options = options;
    m_waiting.push_back(std::move(job));
    startWaiting();
    emit progressChanged();
}

void AddedRunQueue::setMainRunInProgress(bool running)
{
    m_mainRunInProgress = running;
    startWaiting();
}

std::size_t AddedRunQueue::running() const
{
    return m_running.size();
}

std::size_t AddedRunQueue::waiting() const
{
    return m_waiting.size();
}

void AddedRunQueue::startWaiting()
{
    const std::size_t most = m_mainRunInProgress ? kMostAtOnce - 1 : kMostAtOnce;
    while (!m_waiting.empty() && m_running.size() < most) {
        m_running.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
        Job* job = m_running.back().get();
        job->thread = std::thread([this, job] {
            auto outcome = std::make_shared<Job::Outcome>(job->work());
            QMetaObject::invokeMethod(
                this,
                [this, job, outcome] {
                    const std::unique_ptr<Job> ended = takeEnded(job);
                    startWaiting();
                    if (outcome->run)
                        emit finished(*outcome->run);
                    else if (!outcome->message.isEmpty())
                        emit failed(QFile::decodeName(QByteArray::fromStdString(ended->dataFile)),
                            outcome->message, outcome->detail);
                    emit progressChanged();
                },
                Qt::QueuedConnection);
        });
    }
    if (m_running.empty())
        m_progressTimer.stop();
    else if (!m_progressTimer.isActive())
        m_progressTimer.start();
}

std::unique_ptr<AddedRunQueue::Job> AddedRunQueue::takeEnded(Job* job)
{
    job->thread.join();
    const auto at = std::find_if(m_running.begin(), m_running.end(),
        [job](const std::unique_ptr<Job>& j) { return j.get() == job; });
    std::unique_ptr<Job> ended = std::move(*at);
    m_running.erase(at);
    return ended;
}

QString AddedRunQueue::progressText() const
{
    QStringList parts;
    for (const auto& job : m_running) {
        const int phase = job->phase;
        parts << (phase < 0 ? tr("%1: starting").arg(fileNameOf(job->dataFile))
                            : tr("%1: %2 %3%")
                                  .arg(fileNameOf(job->dataFile), phaseName(phase))
                                  .arg(job->permille / 10));
    }
    if (!m_waiting.empty())
        parts << tr("%n waiting", nullptr, static_cast<int>(m_waiting.size()));
    return parts.isEmpty() ? QString()
                           : tr("Adding runs: %1").arg(parts.join(QStringLiteral(" · ")));
}

}  // namespace ui
