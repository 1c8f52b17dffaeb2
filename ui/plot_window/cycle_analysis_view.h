#pragma once

#include "analysis/run_plot.h"
#include "analysis/run_tables.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class CycleChartsView;
class CycleTablesView;

// A finished run as the cycle views take it: the rows the tables come from (kept to compute
// them again for other options; may be null), the tables and the options they were computed
// with, the data file and the record's axis titles.
struct CycleRun
{
    std::shared_ptr<const run::Rows> rows;
    std::shared_ptr<const analysis::RunTables> tables;
    analysis::CycleOptions options;
    std::string dataFile;
    QString xTitle;
    QString yTitle;
};

// The cycle analysis of a finished run: the four options above the tables (cycles, envelope,
// backbone) and a page of their charts, with the sign check's sentence when it applies and "Save
// CSV…". A changed option computes the tables again from the run's rows at once; a value the batch
// would refuse is marked and not applied.
class CycleAnalysisView : public QWidget
{
    Q_OBJECT

public:
    explicit CycleAnalysisView(QWidget* parent = nullptr);

    // Shows `run`, under the options shown (its tables are computed again when those differ
    // from the run's own and the rows are there). A run without tables empties the view.
    void setRun(CycleRun run);

    // The tables shown; null when none.
    const std::shared_ptr<const analysis::RunTables>& tables() const
    {
        return m_tables;
    }

    // The options the tables shown were computed with.
    const analysis::CycleOptions& options() const
    {
        return m_options;
    }

    // Sets the option fields, as if typed.
    void setOptions(const analysis::CycleOptions& options);

    QLineEdit* cycleToleranceEdit() const
    {
        return m_cycleTolerance;
    }

    QLineEdit* turnBackRatioEdit() const
    {
        return m_turnBackRatio;
    }

    QLineEdit* levelToleranceEdit() const
    {
        return m_levelTolerance;
    }

    QComboBox* envelopeBox() const
    {
        return m_envelope;
    }

    // Why the options typed cannot be used; hidden while they can.
    QLabel* optionsMessage() const
    {
        return m_optionsMessage;
    }

    // The sign check's sentence; hidden unless the loops run the wrong way round.
    QLabel* signMessage() const
    {
        return m_signMessage;
    }

    // The tables' pages, and the charts' beside them.
    CycleTablesView* tablesView() const
    {
        return m_tablesView;
    }

    CycleChartsView* chartsView() const
    {
        return m_chartsView;
    }

    QPushButton* saveButton() const
    {
        return m_save;
    }

    // Asks for a name for each table in turn and writes it as varnel-batch --cycles does.
    void save();

    // Asks for a table's file name, given a title and a suggestion; empty cancels. A file
    // dialog unless a test replaces it.
    std::function<QString(const QString& title, const QString& suggested)> askFileName;

signals:
    // The tables shown changed (new run or new options); null when emptied.
    void tablesChanged(std::shared_ptr<const analysis::RunTables> tables);
    // The closed loops of the selected cycles, S to E, in cycle order; none when no cycle is
    // selected or the rows are unknown.
    void loopsSelected(std::vector<analysis::PlotSeries> loops);

private:
    void optionsEdited();
    void showTables(std::shared_ptr<const analysis::RunTables> tables);
    void selectionChanged();

    std::shared_ptr<const run::Rows> m_rows;
    std::shared_ptr<const analysis::RunTables> m_tables;
    analysis::CycleOptions m_options;
    std::string m_dataFile;
    QString m_xTitle;
    QString m_yTitle;
    QLineEdit* m_cycleTolerance;
    QLineEdit* m_turnBackRatio;
    QLineEdit* m_levelTolerance;
    QComboBox* m_envelope;
    QLabel* m_optionsMessage;
    QLabel* m_signMessage;
    CycleTablesView* m_tablesView;
    CycleChartsView* m_chartsView;
    QPushButton* m_save;
};

// Asks `askFileName` for a name for each of the three tables in turn and writes it as
// varnel-batch --cycles does, never over the data file; a failure is reported in a message box
// over `parent`.
void saveRunTables(QWidget& parent, const analysis::RunTables& tables, const std::string& dataFile,
    const std::function<QString(const QString& title, const QString& suggested)>& askFileName);

}  // namespace ui
