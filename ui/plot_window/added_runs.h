#pragma once

#include "analysis/cycle_analysis.h"
#include "analysis/run_plot.h"
#include "analysis/run_tables.h"
#include "plot/plot_data.h"
#include "settings/run_settings.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <list>
#include <memory>
#include <string>

namespace ui {

// What a run added for comparison is run with: the main window's settings and the texts of its
// coefficient boxes as they were when the run was asked for.
struct AddedRunSettings
{
    settings::RunSettings settings;
    std::string xCoefficient = "1";
    std::string yCoefficient = "1";
};

// A run added for comparison, once finished: what the plot window draws of it and the rows its
// tables are computed from (again, for other options).
struct AddedRun
{
    int id = 0;
    std::string dataFile;
    QColor colour;
    bool visible = true;
    // The record outlined for drawing, each point with its data file's line (every point of a
    // record of up to half a million), the curve and the axes' titles.
    std::shared_ptr<const plot::PlotData> plot;
    std::shared_ptr<const plot::PlotPointIndex> index;  // over `plot`
    std::shared_ptr<const run::Rows> rows;
    analysis::CycleOptions options;  // the tables'
    std::shared_ptr<const analysis::RunTables> tables;
    analysis::PlotBackbone backbone;  // of the tables
};

// Runs data files for comparison in the background, each with its own headless host on a thread
// of its own: at most two at once (one while the main window runs its own), the others queued in
// the order they came. A run never touches the main window: it shows nothing but its progress
// here, and writes its curve files beside its data file as any run does. Signals come on the
// thread the queue lives on. Destroying the queue stops the runs and waits for them.
class AddedRunQueue : public QObject
{
    Q_OBJECT

public:
    // At most so many runs at once: the machine's two cores.
    static constexpr std::size_t kMostAtOnce = 2;

    explicit AddedRunQueue(QObject* parent = nullptr);
    ~AddedRunQueue() override;
    AddedRunQueue(const AddedRunQueue&) = delete;
    AddedRunQueue& operator=(const AddedRunQueue&) = delete;

    // Queues a run of `dataFile` with `settings`, its tables computed with `options`; it starts
    // at once when fewer than the most are running.
    void add(const std::string& dataFile, const AddedRunSettings& settings,
        const analysis::CycleOptions& options);

    // Told while the main window runs a file: that run takes one of the two cores, so that one
    // added run at most is started meanwhile (the ones running go on).
    void setMainRunInProgress(bool running);

    std::size_t running() const;
    std::size_t waiting() const;

    // What the runs are doing, for a status bar: each running one's file and phase, and how
    // many wait; empty when none is running or waiting.
    QString progressText() const;

signals:
    // A run finished: everything but its id, colour and visibility is set.
    void finished(const ui::AddedRun& run);
    // A run failed: its data file, the run's message and the line saying where or why.
    void failed(const QString& dataFile, const QString& message, const QString& detail);
    // The progress text changed (a few times a second while runs go on).
    void progressChanged();

private:
    struct Job;

    void startWaiting();
    // Waits for the thread of `job`, which has ended, and takes it off the running.
    std::unique_ptr<Job> takeEnded(Job* job);

    std::list<std::unique_ptr<Job>> m_waiting;
    std::list<std::unique_ptr<Job>> m_running;
    bool m_mainRunInProgress = false;
    QTimer m_progressTimer;
};

}  // namespace ui
