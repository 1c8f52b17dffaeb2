#include "ui/cycles/cycle_tables_view.h"

#include "analysis/analysis_tables.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace ui {

namespace {

    // The table's sort column and order, kept on the table itself: the header's own indicator
    // may already have flipped when its click arrives.
    constexpr const char* kSortColumn = "varnelSortColumn";
    constexpr const char* kSortOrder = "varnelSortOrder";

    // A cell that sorts by its number, so that 10 follows 9, with empty fields last in either
    // order; text that is no number (the backbone's side) sorts as text.
    class NumberItem : public QTableWidgetItem
    {
    public:
        using QTableWidgetItem::QTableWidgetItem;

        bool operator<(const QTableWidgetItem& other) const override
        {
            const QString a = text();
            const QString b = other.text();
            if (a.isEmpty() != b.isEmpty()) {
                // The model sorts descending by asking the other way round.
                const QTableWidget* table = tableWidget();
                const bool descending =
                    table && table->property(kSortOrder).toInt() == Qt::DescendingOrder;
                return b.isEmpty() != descending;
            }
            bool aNumber = false;
            bool bNumber = false;
            const double x = a.toDouble(&aNumber);
            const double y = b.toDouble(&bNumber);
            if (aNumber && bNumber)
                return x < y;
            return a < b;
        }
    };

    // Fills `table` from CSV text: the header line gives the column names, each further line a
    // row. The grid thus shows exactly what the saved file holds.
    void fill(QTableWidget& table, const std::string& csv)
    {
        const QStringList lines =
            QString::fromStdString(csv).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        table.clear();
        table.setRowCount(0);
        // New rows come in the files' order.
        table.horizontalHeader()->setSortIndicatorShown(false);
        table.setProperty(kSortColumn, -1);
        if (lines.isEmpty())
            return;
        const QStringList header = lines.front().split(QLatin1Char(','));
        table.setColumnCount(static_cast<int>(header.size()));
        table.setHorizontalHeaderLabels(header);
        table.setRowCount(static_cast<int>(lines.size() - 1));
        for (qsizetype r = 1; r < lines.size(); ++r) {
            const QStringList fields = lines[r].split(QLatin1Char(','));
            for (qsizetype c = 0; c < fields.size(); ++c) {
                auto* item = new NumberItem(fields[c]);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table.setItem(static_cast<int>(r - 1), static_cast<int>(c), item);
            }
        }
        table.resizeColumnsToContents();
    }

    // The view copies only the current cell on Ctrl+C; this grid copies the whole selection.
    class CopyingTable : public QTableWidget
    {
    public:
        using QTableWidget::QTableWidget;

    protected:
        void keyPressEvent(QKeyEvent* event) override
        {
            if (event->matches(QKeySequence::Copy)) {
                QApplication::clipboard()->setText(CycleTablesView::selectionText(*this));
                event->accept();
                return;
            }
            QTableWidget::keyPressEvent(event);
        }
    };

    QTableWidget* makeTable(QWidget* parent)
    {
        auto* table = new CopyingTable(parent);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionMode(QAbstractItemView::ExtendedSelection);
        table->verticalHeader()->setVisible(false);
        // A click on a column's name sorts by it, a second click the other way round.
        QHeaderView* header = table->horizontalHeader();
        header->setSectionsClickable(true);
        QObject::connect(header, &QHeaderView::sectionClicked, table, [table](int column) {
            const bool again = table->property(kSortColumn).toInt() == column
                && table->property(kSortOrder).toInt() == Qt::AscendingOrder;
            CycleTablesView::sortTable(
                *table, column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
        });
        return table;
    }

}  // namespace

CycleTablesView::CycleTablesView(QWidget* parent)
    : QWidget(parent)
    , m_cycles(makeTable(this))
    , m_backbone(makeTable(this))
{
    m_cycles->setObjectName(QStringLiteral("cyclesTable"));
    m_backbone->setObjectName(QStringLiteral("backboneTable"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Cycles"), this));
    layout->addWidget(m_cycles, 1);
    layout->addWidget(new QLabel(tr("Backbone, bilinear idealisation"), this));
    layout->addWidget(m_backbone);
    m_backbone->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fitBackboneHeight();
}

// Room for the header and the two rows as the style draws them, no more.
void CycleTablesView::fitBackboneHeight()
{
    int rows = 0;
    for (int r = 0; r < 2; ++r)
        rows += r < m_backbone->rowCount() ? m_backbone->rowHeight(r)
                                           : m_backbone->verticalHeader()->defaultSectionSize();
    m_backbone->setFixedHeight(m_backbone->horizontalHeader()->sizeHint().height() + rows
        + 2 * m_backbone->frameWidth() + m_backbone->horizontalScrollBar()->sizeHint().height());
}

void CycleTablesView::setTables(const analysis::RunTables& tables)
{
    fill(*m_cycles, analysis::cyclesCsv(tables.cycles));
    fill(*m_backbone, analysis::backboneCsv(tables.positive, tables.negative));
    fitBackboneHeight();
}

void CycleTablesView::sortTable(QTableWidget& table, int column, Qt::SortOrder order)
{
    table.setProperty(kSortColumn, column);
    table.setProperty(kSortOrder, static_cast<int>(order));
    QHeaderView* header = table.horizontalHeader();
    header->setSortIndicator(column, order);
    header->setSortIndicatorShown(true);
    table.sortItems(column, order);
}

QString CycleTablesView::selectionText(const QTableWidget& table)
{
    // The selected cells by row, then column, whatever order they were picked in.
    std::map<int, std::map<int, QString>> cells;
    int firstColumn = table.columnCount();
    int lastColumn = -1;
    for (const QTableWidgetItem* item : table.selectedItems()) {
        cells[item->row()][item->column()] = item->text();
        firstColumn = std::min(firstColumn, item->column());
        lastColumn = std::max(lastColumn, item->column());
    }
    QString text;
    const auto line = [&](auto cellText) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            if (c > firstColumn)
                text += QLatin1Char('\t');
            text += cellText(c);
        }
        text += QStringLiteral("\r\n");
    };
    if (cells.empty())
        return text;
    // Whole rows go with their column names, so that the pasted numbers say what they are.
    if (firstColumn == 0 && lastColumn == table.columnCount() - 1)
        line([&](int c) {
            const QTableWidgetItem* h = table.horizontalHeaderItem(c);
            return h ? h->text() : QString();
        });
    for (const auto& [row, columns] : cells)
        line([&](int c) {
            const auto at = columns.find(c);
            return at == columns.end() ? QString() : at->second;
        });
    return text;
}

}  // namespace ui
