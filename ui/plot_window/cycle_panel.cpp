#include "ui/plot_window/cycle_panel.h"

#include "ui/cycles/cycle_tables_view.h"
#include "ui/cycles/cycles_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

    int columnNamed(const QTableWidget& table, const QString& name)
    {
        for (int c = 0; c < table.columnCount(); ++c)
            if (const QTableWidgetItem* h = table.horizontalHeaderItem(c); h && h->text() == name)
                return c;
        return -1;
    }

    std::optional<std::size_t> lineAt(const QTableWidget& table, int row, int column)
    {
        const QTableWidgetItem* item = column >= 0 ? table.item(row, column) : nullptr;
        bool ok = false;
        const qulonglong value = item ? item->text().toULongLong(&ok) : 0;
        if (!ok || value == 0)
            return std::nullopt;
        return static_cast<std::size_t>(value);
    }

}  // namespace

CyclePanel::CyclePanel(QWidget* parent)
    : QDockWidget(tr("Cycle analysis"), parent)
    , m_view(new CycleTablesView(this))
    , m_save(new QPushButton(tr("Save CSV…"), this))
{
    setObjectName(QStringLiteral("cyclePanel"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_view, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);
    setWidget(content);

    // Whole rows: a cycle is picked, not a cell.
    QTableWidget* cycles = m_view->cyclesTable();
    cycles->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(cycles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &CyclePanel::selectionChanged);
    connect(m_save, &QPushButton::clicked, this, &CyclePanel::save);
    setTables(nullptr, {});

    askFileName = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(
            this, title, suggested, tr("CSV files (*.csv);;All files (*)"));
    };
}

void CyclePanel::setTables(const analysis::RunTables* tables, const std::string& dataFile)
{
    m_tables = tables ? std::optional(*tables) : std::nullopt;
    m_dataFile = dataFile;
    m_view->setTables(m_tables ? *m_tables : analysis::RunTables {});
    m_view->setEnabled(m_tables.has_value());
    m_save->setEnabled(m_tables.has_value());
    selectionChanged();
}

void CyclePanel::save()
{
    if (m_tables)
        saveRunTables(*this, *m_tables, m_dataFile, askFileName);
}

void CyclePanel::selectionChanged()
{
    const QTableWidget& table = *m_view->cyclesTable();
    const int firstColumn = columnNamed(table, QStringLiteral("first_line"));
    const int lastColumn = columnNamed(table, QStringLiteral("last_line"));
    std::optional<PointStretch> stretch;
    for (const QModelIndex& index : table.selectionModel()->selectedRows()) {
        const auto first = lineAt(table, index.row(), firstColumn);
        const auto last = lineAt(table, index.row(), lastColumn);
        if (!first || !last)
            continue;
        stretch = stretch
            ? PointStretch(std::min(stretch->first, *first), std::max(stretch->second, *last))
            : PointStretch(*first, *last);
    }
    emit stretchSelected(stretch);
}

}  // namespace ui
