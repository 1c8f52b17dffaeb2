#pragma once

#include "plot/cycle_charts.h"
#include "plot/picture_file.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QPushButton;

namespace ui {

// The charts of a run's cycle tables, one at a time as the chooser picks it, each exported to
// PNG, SVG or PDF at a chosen size as the plot window's picture is.
class CycleChartsView : public QWidget
{
    Q_OBJECT

public:
    explicit CycleChartsView(QWidget* parent = nullptr);

    // The charts of `tables`; `deformation` and `load` title the envelope's axes when given.
    void setTables(std::shared_ptr<const analysis::RunTables> tables, const QString& deformation,
        const QString& load);

    // The data file of the run shown: no export is written over it, and names are suggested
    // beside it.
    void setDataFile(const std::string& dataFile)
    {
        m_dataFile = dataFile;
    }

    // The chart shown, as drawn.
    const plot::CycleChart& chart() const
    {
        return m_chart;
    }

    plot::CycleChartKind kind() const;
    void setKind(plot::CycleChartKind kind);

    QComboBox* chooser() const
    {
        return m_chooser;
    }

    QPushButton* exportButton() const
    {
        return m_export;
    }

    QWidget* chartArea() const
    {
        return m_area;
    }

    // Asks for the size, then the name, and writes the chart shown.
    void exportChart();

    // Tests replace these so that no dialog blocks: the size, starting at `suggested` (empty
    // when cancelled), and the file's name (empty cancels).
    std::function<std::optional<plot::PictureSize>(const plot::PictureSize& suggested)> askSize;
    std::function<QString(const QString& title, const QString& suggested, const QString& filter)>
        askFileName;

private:
    void showChart();

    std::shared_ptr<const analysis::RunTables> m_tables;
    QString m_deformation;
    QString m_load;
    plot::CycleChart m_chart;
    std::string m_dataFile;
    int m_resolution = 96;
    QComboBox* m_chooser;
    QPushButton* m_export;
    QWidget* m_area;
};

}  // namespace ui
