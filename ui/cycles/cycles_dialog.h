#pragma once

#include "analysis/run_tables.h"

#include <QDialog>

#include <functional>
#include <string>

class QPushButton;

namespace ui {

class CycleTablesView;

// The tables of the finished run of a data file, with "Save CSV…" to write both as the files
// varnel-batch --cycles writes.
class CyclesDialog : public QDialog
{
    Q_OBJECT

public:
    CyclesDialog(
        const analysis::RunTables& tables, const std::string& dataFile, QWidget* parent = nullptr);

    // Asks for the name to save a table under, given a title and a suggested name; an empty
    // answer cancels. A file dialog unless a test replaces it.
    std::function<QString(const QString& title, const QString& suggested)> askFileName;

    CycleTablesView* view() const
    {
        return m_view;
    }

    QPushButton* saveButton() const
    {
        return m_save;
    }

    // Asks for the two names and writes the tables; reports a failure in a message box.
    void save();

private:
    analysis::RunTables m_tables;
    std::string m_dataFile;
    CycleTablesView* m_view;
    QPushButton* m_save;
};

// Asks `askFileName` for a name for each table in turn and writes it as varnel-batch --cycles
// does, never over the data file; a failure is reported in a message box over `parent`.
void saveRunTables(QWidget& parent, const analysis::RunTables& tables, const std::string& dataFile,
    const std::function<QString(const QString& title, const QString& suggested)>& askFileName);

}  // namespace ui
