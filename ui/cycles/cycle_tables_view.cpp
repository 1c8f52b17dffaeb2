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
#include <utility>

namespace ui {

namespace {

    // The table's sort column and order, kept on the table itself: the header's own indicator
    // may already have flipped when its click arrives.
    constexpr const char* kSortColumn = "varnelSortColumn";
    constexpr const char* kSortOrder = "varnelSortOrder";
    // A cell's whole field, as the CSV file holds it.
    constexpr int kFieldRole = Qt::UserRole + 1;

    // Counts and the data file's lines are shown whole; every other number to 6 digits.
    bool wholeColumn(const QString& name)
    {
        static const QStringList kWhole = { QStringLiteral("cycle"), QStringLiteral("level"),
            QStringLiteral("cycle_in_level"), QStringLiteral("first_line"),
            QStringLiteral("last_line"), QStringLiteral("cycles") };
        return kWhole.contains(name);
    }

    // A cell that shows its field shortened and sorts by its number, so that 10 follows 9,
    // with empty fields last in either order; text that is no number (the side) sorts as text.
    class NumberItem : public QTableWidgetItem
    {
    public:
        NumberItem(const QString& field, bool whole)
        {
            setData(kFieldRole, field);
            bool number = false;
            const double value = field.toDouble(&number);
            setText(number && !whole ? QString::number(value, 'g', 6) : field);
            if (text() != field)
                setToolTip(field);
        }

        bool operator<(const QTableWidgetItem& other) const override
        {
            const QString a = CycleTablesView::fieldText(this);
            const QString b = CycleTablesView::fieldText(&other);
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

    // The records of CSV text, each a list of its fields: a field in quotes may hold commas,
    // line ends and doubled quotes.
    QList<QStringList> csvRecords(const QString& text)
    {
        QList<QStringList> records;
        QStringList fields;
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c != QLatin1Char('"'))
                    field += c;
                else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                    field += text[++i];
                else
                    quoted = false;
            } else if (c == QLatin1Char('"')) {
                quoted = true;
            } else if (c == QLatin1Char(',')) {
                fields << std::exchange(field, QString());
            } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                if (c == QLatin1Char('\r') && i + 1 < text.size()
                    && text[i + 1] == QLatin1Char('\n'))
                    ++i;
                // An empty line is no record.
                if (!fields.isEmpty() || !field.isEmpty()) {
                    fields << std::exchange(field, QString());
                    records << std::exchange(fields, QStringList());
                }
            } else {
                field += c;
            }
        }
        if (!field.isEmpty() || !fields.isEmpty()) {
            fields << field;
            records << fields;
        }
        return records;
    }

    // Fills `table` from CSV text: the header line gives the column names, each further line a
    // row. The grid thus holds exactly what the saved file holds.
    void fill(QTableWidget& table, const std::string& csv)
    {
        const QList<QStringList> lines = csvRecords(QString::fromStdString(csv));
        table.clear();
        table.setRowCount(0);
        // New rows come in the files' order. The indicator stays "shown" on no column, so that
        // each column is sized with room for the arrow a sort puts beside its name.
        QHeaderView* header = table.horizontalHeader();
        header->setSortIndicator(-1, Qt::AscendingOrder);
        header->setSortIndicatorShown(true);
        table.setProperty(kSortColumn, -1);
        if (lines.isEmpty())
            return;
        const QStringList& names = lines.front();
        table.setColumnCount(static_cast<int>(names.size()));
        table.setHorizontalHeaderLabels(names);
        table.setRowCount(static_cast<int>(lines.size() - 1));
        for (qsizetype r = 1; r < lines.size(); ++r) {
            const QStringList& fields = lines[r];
            for (qsizetype c = 0; c < fields.size() && c < names.size(); ++c) {
                auto* item = new NumberItem(fields[c], wholeColumn(names[c]));
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
        // Rows as tight as their text allows, so that the panel shows many.
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
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
    : QTabWidget(parent)
    , m_cycles(makeTable(this))
    , m_envelope(makeTable(this))
    , m_backbone(makeTable(this))
{
    m_cycles->setObjectName(QStringLiteral("cyclesTable"));
    m_envelope->setObjectName(QStringLiteral("envelopeTable"));
    m_backbone->setObjectName(QStringLiteral("backboneTable"));
    // The cycles take a page of their own, the panel's whole height; the envelope's dozen rows
    // and the backbone's two share the other.
    addTab(m_cycles, tr("&Cycles"));
    auto* levels = new QWidget(this);
    auto* layout = new QVBoxLayout(levels);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(tr("Envelope: each level's first and last cycle"), levels));
    layout->addWidget(m_envelope, 1);
    layout->addWidget(new QLabel(tr("Backbone, bilinear idealisation"), levels));
    layout->addWidget(m_backbone);
    m_backbone->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    addTab(levels, tr("&Envelope and backbone"));
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
    fill(*m_envelope, analysis::envelopeCsv(tables.envelope));
    fill(*m_backbone, analysis::backboneCsv(tables.positive, tables.negative));
    fitBackboneHeight();
}

QTableWidget* CycleTablesView::newTable(QWidget* parent)
{
    return makeTable(parent);
}

void CycleTablesView::fillTable(QTableWidget& table, const std::string& csv)
{
    fill(table, csv);
}

QString CycleTablesView::fieldText(const QTableWidgetItem* item)
{
    return item ? item->data(kFieldRole).toString() : QString();
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
        cells[item->row()][item->column()] = fieldText(item);
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
