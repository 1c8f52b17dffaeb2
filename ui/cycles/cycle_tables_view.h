#pragma once

#include "analysis/run_tables.h"

#include <QWidget>

class QTableWidget;

namespace ui {

// The cycle table above the two backbone rows, each a read-only grid whose cells hold the text
// the CSV files hold, sorted by a column when its name is clicked. Ctrl+C copies the selected cells
// as tab-separated lines (with the column names when a whole row is selected) for a spreadsheet.
class CycleTablesView : public QWidget
{
    Q_OBJECT

public:
    explicit CycleTablesView(QWidget* parent = nullptr);

    void setTables(const analysis::RunTables& tables);

    QTableWidget* cyclesTable() const
    {
        return m_cycles;
    }

    QTableWidget* backboneTable() const
    {
        return m_backbone;
    }

    // Sorts `table` by the numbers of `column`, empty fields last, and shows it in the header.
    // A click on the column's name does the same.
    static void sortTable(QTableWidget& table, int column, Qt::SortOrder order);

    // The selection of `table` as tab-separated lines, CR LF after each.
    static QString selectionText(const QTableWidget& table);

private:
    void fitBackboneHeight();

    QTableWidget* m_cycles;
    QTableWidget* m_backbone;
};

}  // namespace ui
