#pragma once

#include "plot/plot_data.h"
#include "run/run_host.h"

#include <QElapsedTimer>

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace ui {

class Form1;

// The main window as a run's front end: status and file names into the window's boxes, the
// plot into the picture box, errors through the message presenter.
class GuiRunHost : public run::RunHost
{
public:
    // Events are processed at most once per `yieldInterval`.
    GuiRunHost(Form1& form, std::chrono::milliseconds yieldInterval);

    // Keeps the prepared points with their lines, the segments' groups and the crossings (a
    // bounded form of them past 200,000) for the cycle analysis and the plot window.
    run::FinishedRunParts finishedRunParts() const override;
    void runFinished(run::FinishedRun&& run) override;

    // Hands over the finished run; empty unless the run finished.
    std::optional<run::FinishedRun> takeFinishedRun()
    {
        return std::exchange(m_finished, std::nullopt);
    }

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
    void drawDots(std::span<const run::PlotDot> dots) override;
    void drawLineTo(float x, float y, run::Rgb colour) override;
    void showError(const std::string& message) override;

private:
    Form1& m_form;
    std::chrono::milliseconds m_yieldInterval;
    QElapsedTimer m_sinceYield;
    std::optional<run::FinishedRun> m_finished;
    bool m_statusChanged = false;
};

}  // namespace ui
