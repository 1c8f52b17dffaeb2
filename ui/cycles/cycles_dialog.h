#pragma once

#include "ui/plot_window/cycle_analysis_view.h"

#include <QDialog>

namespace ui {

// The cycle analysis of the finished run of a data file in a dialog of its own: the options,
// the tables and their charts, with "Save CSV…" to write the tables as varnel-batch --cycles
// writes them.
class CyclesDialog : public QDialog
{
    Q_OBJECT

public:
    // Shows `run` under `options` (the run's tables are computed again when they differ).
    CyclesDialog(CycleRun run, const analysis::CycleOptions& options, QWidget* parent = nullptr);

    CycleAnalysisView* view() const
    {
        return m_view;
    }

private:
    CycleAnalysisView* m_view;
};

}  // namespace ui
