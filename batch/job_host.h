#pragma once

#include "batch/console.h"
#include "run/run_host.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plot {
class CompactPoints;
class CrossingCollector;
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

    // Gathers the crossings the run marks into `collector` and the prepared points into
    // `points` for the report picture (a build with pictures only).
    void collectForPicture(plot::CrossingCollector* collector, plot::CompactPoints* points)
    {
        m_crossings = collector;
        m_plotPoints = points;
    }

    // Keeps a copy of the prepared points for the tables of --cycles.
    void keepPoints()
    {
        m_keepPoints = true;
    }

    const std::vector<double>& pointsX() const
    {
        return m_x;
    }

    const std::vector<double>& pointsY() const
    {
        return m_y;
    }

    void pointsPrepared(std::span<const double> x, std::span<const double> y) override;
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
    plot::CrossingCollector* m_crossings = nullptr;
    plot::CompactPoints* m_plotPoints = nullptr;
    bool m_keepPoints = false;
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::optional<run::RunPhase> m_phase;
    Console::Clock::time_point m_phaseStart {};
};

}  // namespace batch
