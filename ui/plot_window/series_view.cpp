#include "ui/plot_window/series_view.h"

#include "run/whole_file.h"
#include "ui/common/message_presenter.h"
#include "ui/cycles/cycle_tables_view.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

    // The run a row shows, on its first cell.
    constexpr int kIdRole = Qt::UserRole + 2;

    QString decoded(const std::string& name)
    {
        return QFile::decodeName(QByteArray::fromStdString(name));
    }

}  // namespace

SeriesView::SeriesView(QWidget* parent)
    : QWidget(parent)
    , m_table(CycleTablesView::newTable(this))
    , m_save(new QPushButton(tr("Save CSV…"), this))
{
    m_table->setObjectName(QStringLiteral("seriesTable"));
    m_save->setObjectName(QStringLiteral("saveSeriesButton"));
    m_save->setEnabled(false);
    auto* note = new QLabel(
        tr("One row per run shown; File → Add run for comparison… adds one. Right-click a row "
           "to hide, recolour or remove its run."),
        this);
    note->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(note, 1);
    top->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        const QTableWidgetItem* item = m_table->itemAt(at);
        const QTableWidgetItem* first = item ? m_table->item(item->row(), 0) : nullptr;
        showMenu(first ? first->data(kIdRole).toInt() : 0, m_table->viewport()->mapToGlobal(at));
    });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        const int id = item->column() == 0 ? item->data(kIdRole).toInt() : 0;
        if (id > 0)
            emit visibilityChanged(id, item->checkState() == Qt::Checked);
    });
    connect(m_save, &QPushButton::clicked, this, &SeriesView::save);
    askFileName = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(
            this, title, suggested, tr("CSV files (*.csv);;All files (*)"));
    };
}

void SeriesView::setEntries(std::vector<SeriesEntry> entries)
{
    m_entries = std::move(entries);
    std::vector<analysis::SeriesRow> rows;
    for (const SeriesEntry& entry : m_entries)
        rows.push_back(entry.row);
    const QSignalBlocker block(m_table);
    CycleTablesView::fillTable(*m_table, analysis::seriesCsv(rows));
    // The file's name in its cell, the whole path (the field copied and saved) as its tool tip.
    for (int r = 0; r < m_table->rowCount() && r < static_cast<int>(m_entries.size()); ++r) {
        QTableWidgetItem* file = m_table->item(r, 0);
        if (!file)
            continue;
        const SeriesEntry& entry = m_entries[static_cast<std::size_t>(r)];
        const QString path = decoded(entry.row.file);
        file->setText(QFileInfo(path).fileName());
        file->setToolTip(entry.id == 0 ? tr("%1 (the main window's run)").arg(path) : path);
        file->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        file->setData(kIdRole, entry.id);
        if (entry.id > 0) {
            file->setData(Qt::DecorationRole, entry.colour);
            file->setFlags(file->flags() | Qt::ItemIsUserCheckable);
            file->setCheckState(entry.visible ? Qt::Checked : Qt::Unchecked);
        } else {
            QFont bold = file->font();
            bold.setBold(true);
            file->setFont(bold);
        }
    }
    m_table->resizeColumnsToContents();
    m_save->setEnabled(!m_entries.empty());
}

void SeriesView::showMenu(int id, QPoint globalPosition)
{
    QMenu menu(this);
    const auto entry = std::find_if(
        m_entries.begin(), m_entries.end(), [id](const SeriesEntry& e) { return e.id == id; });
    if (id > 0 && entry != m_entries.end()) {
        QAction* shown = menu.addAction(tr("&Shown"));
        shown->setCheckable(true);
        shown->setChecked(entry->visible);
        connect(shown, &QAction::toggled, this,
            [this, id](bool visible) { emit visibilityChanged(id, visible); });
        menu.addAction(tr("&Colour…"), this, [this, id] { emit colourAsked(id); });
        menu.addAction(tr("&Remove"), this, [this, id] { emit removeAsked(id); });
        menu.addSeparator();
    }
    menu.addAction(tr("&Add run for comparison…"), this, &SeriesView::addAsked);
    menu.addAction(tr("Save CSV…"), this, &SeriesView::save)->setEnabled(!m_entries.empty());
    menu.exec(globalPosition);
}

void SeriesView::save()
{
    if (m_entries.empty())
        return;
    const QString name = askFileName(tr("Save the series"), QStringLiteral("series.csv"));
    if (name.isEmpty())
        return;
    std::vector<analysis::SeriesRow> rows;
    std::vector<std::string> dataFiles;
    for (const SeriesEntry& entry : m_entries) {
        rows.push_back(entry.row);
        dataFiles.push_back(entry.row.file);
    }
    try {
        run::writeWholeFile(
            QFile::encodeName(name).toStdString(), analysis::seriesCsv(rows), dataFiles);
    } catch (const run::RunFailure& failure) {
        messagePresenter().warning(
            this, QStringLiteral("Error"), QString::fromStdString(failure.what()));
    }
}

}  // namespace ui
