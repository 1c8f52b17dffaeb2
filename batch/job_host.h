#pragma once

#include "batch/console.h"
#include "run/run_host.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace plot {
class PlotRecording;
}  // namespace plot

namespace batch {

// The front end of one job: status lines and messages to the console, the progress of the
// run's phases to the console's progress line, and the drawing into a recording for --plot.
class JobHost : public run::RunHost
{
public:
    JobHost(Console& console, std::size_t job, const std::string& file, bool quiet);

    // Keeps the run's drawing in `recording` (a build with pictures only).
    void record(plot::PlotRecording* recording)
    {
        m_recording = recording;
    }

    // Keeps `parts` of the finished run for what the job makes of it, and with `holdNames` the
    // run's names until the job lets go of them.
    void keep(const run::FinishedRunParts& parts, bool holdNames)
    {
        m_parts = parts;
        m_holdNames = holdNames;
    }

    run::FinishedRunParts finishedRunParts() const override
    {
        return m_parts;
    }

    bool holdsNamesAfterRun() const override
    {
        return m_holdNames;
    }

    void runFinished(run::FinishedRun&& run) override
    {
        m_finished = std::move(run);
    }

    // The finished run; empty until the run finished.
    std::optional<run::FinishedRun>& finishedRun()
    {
        return m_finished;
    }

    void setStatus(const std::string& text) override;

    void showFileName(int, const std::string&) override { }

    bool yield() override;
    void enterPhase(run::RunPhase phase) override;
    void progress(std::int64_t done, std::int64_t total) override;
    void clearPlot() override;
    void setPlotWindow(float left, float top, float right, float bottom) override;
    void drawLine(float x1, float y1, float x2, float y2, run::Rgb colour) override;
    void drawDot(float x, float y, run::Rgb colour) override;
    void drawLineTo(float x, float y, run::Rgb colour) override;
    void showError(const std::string& message) override;

private:
    Console& m_console;
    std::size_t m_job;
    const std::string& m_file;
    bool m_quiet;
    bool m_showProgress;
    plot::PlotRecording* m_recording = nullptr;
    run::FinishedRunParts m_parts;
    bool m_holdNames = false;
    std::optional<run::FinishedRun> m_finished;
    std::optional<run::RunPhase> m_phase;
    Console::Clock::time_point m_phaseStart {};
};

}  // namespace batch
