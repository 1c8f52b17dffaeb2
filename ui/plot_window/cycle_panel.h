#pragma once

#include "ui/plot_window/cycle_analysis_view.h"

#include <QDockWidget>

namespace ui {

// The plot window's panel of the run's cycle analysis: its options, tables and charts.
// Selecting cycles names their closed loops; "Save CSV…" writes the tables as
// varnel-batch --cycles does.
class CyclePanel : public QDockWidget
{
    Q_OBJECT

public:
    explicit CyclePanel(QWidget* parent = nullptr);

    // The finished run whose cycles are shown; one without tables empties the panel.
    void setRun(CycleRun run)
    {
        m_view->setRun(std::move(run));
    }

    bool hasTables() const
    {
        return m_view->tables() != nullptr;
    }

    CycleAnalysisView* view() const
    {
        return m_view;
    }

    // Asks for the names and writes the tables; a failure is shown in a message box.
    void save()
    {
        m_view->save();
    }

private:
    CycleAnalysisView* m_view;
};

}  // namespace ui
