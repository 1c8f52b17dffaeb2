#pragma once

#include "analysis/run_tables.h"

#include <QDockWidget>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class QPushButton;

namespace ui {

class CycleTablesView;

// A stretch of the record: the data file's lines of its first and last point.
using PointStretch = std::pair<std::size_t, std::size_t>;

// The plot window's panel of the run's cycle table and backbone rows. Selecting cycles names
// the stretch of the record they cover; "Save CSV…" writes the tables as varnel-batch --cycles
// does.
class CyclePanel : public QDockWidget
{
    Q_OBJECT

public:
    explicit CyclePanel(QWidget* parent = nullptr);

    // The tables of the finished run of `dataFile`; none empties the panel.
    void setTables(const analysis::RunTables* tables, const std::string& dataFile);

    bool hasTables() const
    {
        return m_tables.has_value();
    }

    CycleTablesView* view() const
    {
        return m_view;
    }

    QPushButton* saveButton() const
    {
        return m_save;
    }

    // Asks for the names and writes both tables; a failure is shown in a message box.
    void save();

    // Asks for a table's file name, given a title and a suggestion; empty cancels. A file
    // dialog unless a test replaces it.
    std::function<QString(const QString& title, const QString& suggested)> askFileName;

signals:
    // From the first line of the first selected cycle to the last line of the last one;
    // empty when no cycle is selected.
    void stretchSelected(std::optional<PointStretch> stretch);

private:
    void selectionChanged();

    std::optional<analysis::RunTables> m_tables;
    std::string m_dataFile;
    CycleTablesView* m_view;
    QPushButton* m_save;
};

}  // namespace ui
