#include "ui/plot_window/cycle_charts_view.h"

#include "run/run_driver.h"
#include "ui/common/message_presenter.h"
#include "ui/plot_window/plot_export.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

namespace {

    // The chart drawn to the widget's size.
    class ChartArea : public QWidget
    {
    public:
        explicit ChartArea(const plot::CycleChart& chart, QWidget* parent)
            : QWidget(parent)
            , m_chart(chart)
        {
            setObjectName(QStringLiteral("chartArea"));
            setAttribute(Qt::WA_OpaquePaintEvent);
            setMinimumSize(240, 160);
        }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            plot::drawCycleChart(painter, rect(), m_chart);
        }

    private:
        const plot::CycleChart& m_chart;
    };

    // The name part of a chart's picture, after the data file's name base.
    const char* namePart(plot::CycleChartKind kind)
    {
        switch (kind) {
        case plot::CycleChartKind::Energy:
            return "energy-chart";
        case plot::CycleChartKind::Damping:
            return "damping-chart";
        case plot::CycleChartKind::Stiffness:
            return "stiffness-chart";
        case plot::CycleChartKind::Retention:
            return "retention-chart";
        case plot::CycleChartKind::Envelope:
            return "envelope-chart";
        }
        return "chart";
    }

}  // namespace

CycleChartsView::CycleChartsView(QWidget* parent)
    : QWidget(parent)
    , m_chooser(new QComboBox(this))
    , m_export(new QPushButton(tr("Export chart…"), this))
    , m_area(new ChartArea(m_chart, this))
{
    m_chooser->setObjectName(QStringLiteral("chartChooser"));
    for (const plot::CycleChartKind kind : plot::kCycleChartKinds)
        m_chooser->addItem(plot::cycleChartName(kind), static_cast<int>(kind));
    m_export->setObjectName(QStringLiteral("exportChartButton"));
    m_export->setToolTip(tr("Write the chart shown as PNG, SVG or PDF"));
    auto* bar = new QHBoxLayout;
    auto* label = new QLabel(tr("Cha&rt:"), this);
    label->setBuddy(m_chooser);
    bar->addWidget(label);
    bar->addWidget(m_chooser);
    bar->addStretch(1);
    bar->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(m_area, 1);
    connect(m_chooser, &QComboBox::currentIndexChanged, this, &CycleChartsView::showChart);
    connect(m_export, &QPushButton::clicked, this, &CycleChartsView::exportChart);

    askSize = [this](const plot::PictureSize& suggested) -> std::optional<plot::PictureSize> {
        PictureSizeDialog dialog(suggested, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.pictureSize();
    };
    askFileName = [this](const QString& title, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };
    showChart();
}

void CycleChartsView::setTables(std::shared_ptr<const analysis::RunTables> tables,
    const QString& deformation, const QString& load)
{
    m_tables = std::move(tables);
    m_deformation = deformation;
    m_load = load;
    showChart();
}

plot::CycleChartKind CycleChartsView::kind() const
{
    return static_cast<plot::CycleChartKind>(m_chooser->currentData().toInt());
}

void CycleChartsView::setKind(plot::CycleChartKind kind)
{
    m_chooser->setCurrentIndex(m_chooser->findData(static_cast<int>(kind)));
}

void CycleChartsView::showChart()
{
    static const analysis::RunTables kNone;
    m_chart = plot::cycleChart(m_tables ? *m_tables : kNone, kind(), m_deformation, m_load);
    m_export->setEnabled(m_tables != nullptr);
    m_area->update();
}

void CycleChartsView::exportChart()
{
    if (!m_tables)
        return;
    // The chart as on the screen, at the last resolution chosen.
    const std::optional<plot::PictureSize> size = askSize({ m_area->size(), m_resolution });
    if (!size)
        return;
    m_resolution = size->dotsPerInch;
    std::string base;
    try {
        base = run::runNameBase(m_dataFile);
    } catch (const run::RunFailure&) {
        // No usable base: the plain name.
    }
    const QString suggested = QFile::decodeName((base + namePart(kind()) + ".png").c_str());
    const QString path = askFileName(tr("Export chart"), suggested,
        tr("Pictures (*.png *.svg *.pdf);;PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    if (const std::optional<plot::PictureFormat> format = plot::pictureFormatOf(path)) {
        const plot::CycleChart chart = m_chart;
        const QByteArray bytes = plot::pictureFile(
            [&chart](QPainter& painter, const QRect& target) {
                plot::drawCycleChart(painter, target, chart);
            },
            *size, *format, &error);
        if (bytes.isEmpty())
            error = QStringLiteral("%1: %2").arg(path, error);
        else
            error = saveExport(bytes, path, m_dataFile);
    } else {
        error = tr("%1: the picture's name must end in .png, .svg or .pdf").arg(path);
    }
    if (!error.isEmpty())
        messagePresenter().warning(this, QStringLiteral("Error"), error);
}

}  // namespace ui
