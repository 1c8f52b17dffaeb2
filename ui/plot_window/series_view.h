#pragma once

#include "analysis/series.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;

namespace ui {

// A run the Series table shows: its row of figures and, for a run added for comparison, how it
// is drawn.
struct SeriesEntry
{
    int id = 0;  // 0 for the main run, else the added run's
    analysis::SeriesRow row;
    QColor colour;  // the added run's
    bool visible = true;
};

// The Series page beside the cycle tables: one row per run shown (the main run first, then each
// added run), with the columns of varnel-batch --summary, sortable and copyable as the tables
// are. An added run's row holds its colour and a box that shows or hides it; its context menu
// shows, hides, recolours and removes it. "Save CSV…" writes the rows as --summary does.
class SeriesView : public QWidget
{
    Q_OBJECT

public:
    explicit SeriesView(QWidget* parent = nullptr);

    void setEntries(std::vector<SeriesEntry> entries);

    const std::vector<SeriesEntry>& entries() const
    {
        return m_entries;
    }

    QTableWidget* table() const
    {
        return m_table;
    }

    QPushButton* saveButton() const
    {
        return m_save;
    }

    // Asks for a name and writes the rows as varnel-batch --summary does, never over a data
    // file of the runs shown; a failure is shown in a message box.
    void save();

    // Asks for the file's name, given a title and a suggestion; empty cancels. A file dialog
    // unless a test replaces it.
    std::function<QString(const QString& title, const QString& suggested)> askFileName;

    // The menu of the row of run `id` (0: the main run's), as its context menu shows it.
    void showMenu(int id, QPoint globalPosition);

signals:
    void visibilityChanged(int id, bool visible);
    void colourAsked(int id);
    void removeAsked(int id);
    void addAsked();

private:
    QTableWidget* m_table;
    QPushButton* m_save;
    std::vector<SeriesEntry> m_entries;
};

}  // namespace ui
