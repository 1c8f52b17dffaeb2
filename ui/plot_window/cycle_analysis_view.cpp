#include "ui/plot_window/cycle_analysis_view.h"

#include "analysis/analysis_tables.h"
#include "run/file_names.h"
#include "run/run_driver.h"
#include "run/text_records.h"
#include "run/whole_file.h"
#include "ui/common/message_presenter.h"
#include "ui/cycles/cycle_tables_view.h"
#include "ui/plot_window/cycle_charts_view.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>

namespace ui {

namespace {

    QString decoded(const std::string& name)
    {
        return QFile::decodeName(name.c_str());
    }

    // The shortest text that reads back as `value`, as the tables write numbers.
    QString shortest(double value)
    {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        return QString::fromLatin1(buffer, end - buffer);
    }

    // A field's number, read as the batch reads an option's; none for other text.
    std::optional<double> numberIn(const QLineEdit& edit)
    {
        const std::string text = edit.text().trimmed().toStdString();
        double value = 0.0;
        bool overflow = false;
        if (!run::parseNumber(text, value, overflow))
            return std::nullopt;
        return value;
    }

    bool sameOptions(const analysis::CycleOptions& a, const analysis::CycleOptions& b)
    {
        return a.cycleTolerance == b.cycleTolerance && a.turnBackRatio == b.turnBackRatio
            && a.levelTolerance == b.levelTolerance && a.envelope == b.envelope;
    }

    // The sign check's words as a sentence of their own.
    QString signSentence()
    {
        QString text = QString::fromUtf8(analysis::kLoopsReversedMessage);
        if (!text.isEmpty())
            text[0] = text[0].toUpper();
        return text + QLatin1Char('.');
    }

    void markField(QLineEdit& edit, bool wrong)
    {
        edit.setStyleSheet(
            wrong ? QStringLiteral("QLineEdit { background: #ffd8d8; }") : QString());
    }

    // Lays its widgets out in a row, and in more rows when the row is too narrow for them, so
    // that the options never hold the window wide.
    class WrappingRow : public QLayout
    {
    public:
        explicit WrappingRow(int spacing)
        {
            setContentsMargins(0, 0, 0, 0);
            setSpacing(spacing);
        }

        ~WrappingRow() override
        {
            while (QLayoutItem* item = takeAt(0))
                delete item;
        }

        void addItem(QLayoutItem* item) override
        {
            m_items.append(item);
        }

        int count() const override
        {
            return static_cast<int>(m_items.size());
        }

        QLayoutItem* itemAt(int index) const override
        {
            return m_items.value(index);
        }

        QLayoutItem* takeAt(int index) override
        {
            return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
        }

        Qt::Orientations expandingDirections() const override
        {
            return {};
        }

        bool hasHeightForWidth() const override
        {
            return true;
        }

        int heightForWidth(int width) const override
        {
            return arrange(QRect(0, 0, width, 0), false);
        }

        void setGeometry(const QRect& rect) override
        {
            QLayout::setGeometry(rect);
            arrange(rect, true);
        }

        QSize sizeHint() const override
        {
            QSize size;
            for (const QLayoutItem* item : m_items)
                size = QSize(size.width() + item->sizeHint().width() + spacing(),
                    std::max(size.height(), item->sizeHint().height()));
            return size;
        }

        QSize minimumSize() const override
        {
            QSize size;
            for (const QLayoutItem* item : m_items)
                size = size.expandedTo(item->minimumSize());
            return size;
        }

    private:
        // Places the items left to right, a row at a time; returns the height they take.
        int arrange(const QRect& rect, bool place) const
        {
            int x = rect.x();
            int y = rect.y();
            int rowHeight = 0;
            for (QLayoutItem* item : m_items) {
                const QSize size = item->sizeHint();
                if (x > rect.x() && x + size.width() > rect.right() + 1) {
                    x = rect.x();
                    y += rowHeight + spacing();
                    rowHeight = 0;
                }
                if (place)
                    item->setGeometry(QRect(QPoint(x, y), size));
                x += size.width() + spacing();
                rowHeight = std::max(rowHeight, size.height());
            }
            return y + rowHeight - rect.y();
        }

        QList<QLayoutItem*> m_items;
    };

}  // namespace

CycleAnalysisView::CycleAnalysisView(QWidget* parent)
    : QWidget(parent)
    , m_cycleTolerance(new QLineEdit(this))
    , m_turnBackRatio(new QLineEdit(this))
    , m_levelTolerance(new QLineEdit(this))
    , m_envelope(new QComboBox(this))
    , m_optionsMessage(new QLabel(this))
    , m_signMessage(new QLabel(signSentence(), this))
    , m_tablesView(new CycleTablesView(this))
    , m_chartsView(new CycleChartsView(this))
    , m_save(new QPushButton(tr("Save CSV…"), this))
{
    m_cycleTolerance->setObjectName(QStringLiteral("cycleTolerance"));
    m_turnBackRatio->setObjectName(QStringLiteral("turnBackRatio"));
    m_levelTolerance->setObjectName(QStringLiteral("levelTolerance"));
    m_envelope->setObjectName(QStringLiteral("envelopeKind"));
    m_cycleTolerance->setToolTip(
        tr("The deadband of a reversal, as a share of the record's X range (0 to less than 0.5)"));
    m_turnBackRatio->setToolTip(tr("A turn-back of X shorter than this share of the shorter swing "
                                   "beside it is no reversal (0 to less than 1; 0 keeps all)"));
    m_levelTolerance->setToolTip(tr("The change of amplitude that opens a new level, as a share "
                                    "of the level's first amplitude (0 or more)"));
    m_envelope->addItem(tr("peak load"), static_cast<int>(analysis::EnvelopeKind::Load));
    m_envelope->addItem(tr("load at the largest deformation"),
        static_cast<int>(analysis::EnvelopeKind::Deformation));
    m_envelope->setToolTip(tr("The point of each cycle the envelope and the backbone take"));
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("0.0000000"));
    for (QLineEdit* edit : { m_cycleTolerance, m_turnBackRatio, m_levelTolerance })
        edit->setFixedWidth(numberWidth);
    m_optionsMessage->setObjectName(QStringLiteral("optionsMessage"));
    m_optionsMessage->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_optionsMessage->setWordWrap(true);
    m_optionsMessage->hide();
    m_signMessage->setObjectName(QStringLiteral("signMessage"));
    m_signMessage->setStyleSheet(QStringLiteral("color: #a04000; font-weight: bold;"));
    m_signMessage->setWordWrap(true);
    m_signMessage->hide();
    m_save->setObjectName(QStringLiteral("saveTablesButton"));
    // The charts are a page beside the tables'.
    m_tablesView->addTab(m_chartsView, tr("C&harts"));

    auto* options = new WrappingRow(12);
    const auto field = [&](const QString& text, QWidget* widget) {
        auto* pair = new QWidget(this);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        auto* label = new QLabel(text, pair);
        label->setBuddy(widget);
        row->addWidget(label);
        row->addWidget(widget);
        options->addWidget(pair);
    };
    field(tr("C&ycle tolerance:"), m_cycleTolerance);
    field(tr("T&urn-back ratio:"), m_turnBackRatio);
    field(tr("&Level tolerance:"), m_levelTolerance);
    field(tr("En&velope:"), m_envelope);
    options->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(options);
    layout->addWidget(m_optionsMessage);
    layout->addWidget(m_signMessage);
    layout->addWidget(m_tablesView, 1);

    // Whole rows: a cycle is picked, not a cell.
    QTableWidget* cycles = m_tablesView->cyclesTable();
    cycles->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(cycles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &CycleAnalysisView::selectionChanged);
    for (QLineEdit* edit : { m_cycleTolerance, m_turnBackRatio, m_levelTolerance })
        connect(edit, &QLineEdit::textChanged, this, &CycleAnalysisView::optionsEdited);
    connect(m_envelope, &QComboBox::currentIndexChanged, this, &CycleAnalysisView::optionsEdited);
    connect(m_save, &QPushButton::clicked, this, &CycleAnalysisView::save);

    askFileName = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(
            this, title, suggested, tr("CSV files (*.csv);;All files (*)"));
    };
    setOptions(m_options);
    setRun({});
}

void CycleAnalysisView::setOptions(const analysis::CycleOptions& options)
{
    const QSignalBlocker blockCycle(m_cycleTolerance);
    const QSignalBlocker blockTurnBack(m_turnBackRatio);
    const QSignalBlocker blockLevel(m_levelTolerance);
    const QSignalBlocker blockEnvelope(m_envelope);
    m_cycleTolerance->setText(shortest(options.cycleTolerance));
    m_turnBackRatio->setText(shortest(options.turnBackRatio));
    m_levelTolerance->setText(shortest(options.levelTolerance));
    m_envelope->setCurrentIndex(m_envelope->findData(static_cast<int>(options.envelope)));
    optionsEdited();
}

void CycleAnalysisView::setRun(CycleRun run)
{
    m_rows = run.tables ? std::move(run.rows) : nullptr;
    m_dataFile = std::move(run.dataFile);
    m_xTitle = run.xTitle;
    m_yTitle = run.yTitle;
    m_chartsView->setDataFile(m_dataFile);
    const bool recompute = m_rows && !sameOptions(m_options, run.options);
    if (!recompute && run.tables && !sameOptions(m_options, run.options)) {
        // Without the rows the run's tables stand as they are, and so do their options.
        m_options = run.options;
        setOptions(m_options);
    }
    for (QWidget* option : std::initializer_list<QWidget*> {
             m_cycleTolerance, m_turnBackRatio, m_levelTolerance, m_envelope })
        option->setEnabled(m_rows != nullptr);
    showTables(recompute
            ? std::make_shared<const analysis::RunTables>(analysis::analyseRows(*m_rows, m_options))
            : std::move(run.tables));
}

void CycleAnalysisView::optionsEdited()
{
    analysis::CycleOptions typed;
    typed.envelope = static_cast<analysis::EnvelopeKind>(m_envelope->currentData().toInt());

    const struct
    {
        QLineEdit* edit;
        double analysis::CycleOptions::*value;
        QString name;
    } fields[] = {
        { m_cycleTolerance, &analysis::CycleOptions::cycleTolerance, tr("cycle tolerance") },
        { m_turnBackRatio, &analysis::CycleOptions::turnBackRatio, tr("turn-back ratio") },
        { m_levelTolerance, &analysis::CycleOptions::levelTolerance, tr("level tolerance") },
    };

    QStringList problems;
    for (const auto& f : fields) {
        const std::optional<double> value = numberIn(*f.edit);
        // Each field is checked on its own, so that the one at fault is marked.
        analysis::CycleOptions alone;
        if (value)
            alone.*f.value = *value;
        const std::string check = analysis::checkCycleOptions(alone);
        const bool wrong = !value || !check.empty();
        markField(*f.edit, wrong);
        if (!value)
            problems << tr("The %1 must be a plain number such as 0.05.").arg(f.name);
        else if (!check.empty())
            problems << QString::fromStdString(check);
        if (value)
            typed.*f.value = *value;
    }
    if (problems.isEmpty()) {
        if (const std::string check = analysis::checkCycleOptions(typed); !check.empty())
            problems << QString::fromStdString(check);
    }
    m_optionsMessage->setText(
        problems.join(QLatin1Char(' ')) + tr(" The tables stay those of the last valid options."));
    m_optionsMessage->setVisible(!problems.isEmpty());
    if (!problems.isEmpty() || sameOptions(typed, m_options))
        return;
    m_options = typed;
    if (m_rows)
        showTables(
            std::make_shared<const analysis::RunTables>(analysis::analyseRows(*m_rows, m_options)));
}

void CycleAnalysisView::showTables(std::shared_ptr<const analysis::RunTables> tables)
{
    m_tables = std::move(tables);
    static const analysis::RunTables kNone;
    m_tablesView->setTables(m_tables ? *m_tables : kNone);
    m_tablesView->setEnabled(m_tables != nullptr);
    m_chartsView->setTables(m_tables, m_xTitle, m_yTitle);
    m_signMessage->setVisible(m_tables && m_tables->loopsReversed);
    m_save->setEnabled(m_tables != nullptr);
    emit tablesChanged(m_tables);
    selectionChanged();
}

void CycleAnalysisView::selectionChanged()
{
    std::vector<analysis::PlotSeries> loops;
    const QTableWidget& table = *m_tablesView->cyclesTable();
    if (m_tables && m_rows) {
        // The cycle column holds each row's number, whatever the order shown.
        std::set<std::size_t> cycles;
        for (const QModelIndex& index : table.selectionModel()->selectedRows()) {
            bool ok = false;
            const qulonglong cycle =
                CycleTablesView::fieldText(table.item(index.row(), 0)).toULongLong(&ok);
            if (ok && cycle >= 1 && cycle <= m_tables->loops.size())
                cycles.insert(static_cast<std::size_t>(cycle));
        }
        for (const std::size_t cycle : cycles)
            loops.push_back(analysis::loopSeries(*m_rows, m_tables->loops[cycle - 1]));
    }
    emit loopsSelected(std::move(loops));
}

void CycleAnalysisView::save()
{
    if (m_tables)
        saveRunTables(*this, *m_tables, m_dataFile, askFileName);
}

void saveRunTables(QWidget& parent, const analysis::RunTables& runTables,
    const std::string& dataFile,
    const std::function<QString(const QString& title, const QString& suggested)>& askFileName)
{
    std::string base;
    try {
        base = run::runNameBase(dataFile);
    } catch (const run::RunFailure&) {
        // A name too short for a base still gets the plain table names as a suggestion.
    }

    const struct
    {
        QString title;
        std::string name;
        std::string text;
    } tables[] = {
        { CycleAnalysisView::tr("Save the cycle table"), base + run::name_part::kCycleTable,
            analysis::cyclesCsv(runTables.cycles) },
        { CycleAnalysisView::tr("Save the envelope table"), base + run::name_part::kEnvelopeTable,
            analysis::envelopeCsv(runTables.envelope) },
        { CycleAnalysisView::tr("Save the backbone table"), base + run::name_part::kBackboneTable,
            analysis::backboneCsv(runTables.positive, runTables.negative) },
    };

    for (const auto& table : tables) {
        const QString name = askFileName(table.title, decoded(table.name));
        if (name.isEmpty())
            return;
        const std::string path = QFile::encodeName(name).toStdString();
        std::string error;
        if (run::sameFile(path, dataFile))
            error = path + " is the data file itself; choose another name";
        else
            try {
                run::writeWholeFile(path, table.text);
            } catch (const run::RunFailure& failure) {
                error = failure.what();
            }
        if (!error.empty()) {
            messagePresenter().warning(
                &parent, QStringLiteral("Error"), QString::fromStdString(error));
            return;
        }
    }
}

}  // namespace ui
