#pragma once

#include "analysis/run_tables.h"

#include <QTabWidget>

class QTableWidget;
class QTableWidgetItem;

namespace ui {

// The cycle table on one tab, the envelope above the two backbone rows on another, each a
// read-only grid that holds the CSV files' fields: numbers shown to 6 significant digits with the
// whole field as tool tip, sorted by a column when its name is clicked. Ctrl+C copies the selected
// cells' whole fields as tab-separated lines (with the column names when a whole row is selected)
// for a spreadsheet.
class CycleTablesView : public QTabWidget
{
    Q_OBJECT

public:
    explicit CycleTablesView(QWidget* parent = nullptr);

    void setTables(const analysis::RunTables& tables);

    QTableWidget* cyclesTable() const
    {
        return m_cycles;
    }

    QTableWidget* envelopeTable() const
    {
        return m_envelope;
    }

    QTableWidget* backboneTable() const
    {
        return m_backbone;
    }

    // A grid as the tables are: read-only, sorted by a column when its name is clicked,
    // Ctrl+C copying the selection's whole fields.
    static QTableWidget* newTable(QWidget* parent);
    // Fills a grid of newTable() from CSV text (quoted fields too): the header's names, then a row
    // a record.
    static void fillTable(QTableWidget& table, const std::string& csv);

    // The field of the CSV file a cell shows; empty for none.
    static QString fieldText(const QTableWidgetItem* item);

    // Sorts `table` by the numbers of `column`, empty fields last, and shows it in the header.
    // A click on the column's name does the same.
    static void sortTable(QTableWidget& table, int column, Qt::SortOrder order);

    // The selection of `table` as tab-separated lines of whole fields, CR LF after each.
    static QString selectionText(const QTableWidget& table);

private:
    void fitBackboneHeight();

    QTableWidget* m_cycles;
    QTableWidget* m_envelope;
    QTableWidget* m_backbone;
};

}  // namespace ui
