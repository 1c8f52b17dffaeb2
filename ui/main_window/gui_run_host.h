#pragma once

#include "plot/plot_data.h"
#include "run/run_host.h"

#include <QElapsedTimer>

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace ui {

class Form1;

// The main window as a run's front end: status and file names into the window's boxes, the
// plot into Picture1, errors through the message presenter.
class GuiRunHost : public run::RunHost
{
public:
    // Events are processed at most once per `yieldInterval`.
    GuiRunHost(Form1& form, std::chrono::milliseconds yieldInterval);

    // Keeps the prepared points, their lines and the crossings for the cycle analysis and the
    // plot window of the finished run.
    void pointsPrepared(std::span<const double> x, std::span<const double> y) override;

    bool wantsPointLines() const override
    {
        return true;
    }

    void pointLinesPrepared(std::span<const std::uint32_t> lines) override;
    void enterPhase(run::RunPhase phase) override;

    // Hands over the points, their lines and the crossings gathered so far (for the plot
    // window); the host keeps none of them.
    plot::PlotData takePlotData();

    void setStatus(const std::string& text) override;
    void showFileName(int index, const std::string& name) override;
    // Processes pending events, but not again within the yield interval of the last time, so
    // that a long record is not slowed by event processing; the first yield after a status
    // change always processes them, so that every status is painted. Returns false once the
    // window was asked to end the program.
    bool yield() override;
    void clearPlot() override;
    void setPlotWindow(float left, float top, float right, float bottom) override;
    void drawLine(float x1, float y1, float x2, float y2, run::Rgb colour) override;
    void drawDot(float x, float y, run::Rgb colour) override;
    void drawLineTo(float x, float y, run::Rgb colour) override;
    void showError(const std::string& message) override;

private:
    Form1& m_form;
    std::chrono::milliseconds m_yieldInterval;
    QElapsedTimer m_sinceYield;
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::vector<std::uint32_t> m_lines;
    plot::CrossingCollector m_crossings;
    plot::RecordColours m_colours;
    run::RunPhase m_phase = run::RunPhase::Reading;
    bool m_statusChanged = false;
};

}  // namespace ui
