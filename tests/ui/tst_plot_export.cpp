// The plot window's cycle panel (numeric sort, copy, the selected cycles' loops, the backbone
// following its options) and its exports: pictures and charts at a chosen size in three
// formats, the curve and the tables as CSV, checked by reading the files back.

#include "analysis/analysis_tables.h"
#include "ui/cycles/cycle_tables_view.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui/plot_window/cycle_charts_view.h"
#include "ui/plot_window/cycle_panel.h"
#include "ui/plot_window/plot_export.h"
#include "ui/plot_window/plot_window.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <optional>

using ui::PlotWindow;

namespace {

analysis::CycleRow cycle(std::size_t k, std::size_t first, std::size_t last,
    std::optional<double> damping, double energy)
{
    analysis::CycleRow row;
    row.cycle = k;
    row.level = 1;
    row.firstLine = static_cast<std::int64_t>(first);
    row.lastLine = static_cast<std::int64_t>(last);
    row.damping = damping;
    row.energy = energy;
    return row;
}

QStringList column(const QTableWidget& table, int c)
{
    QStringList texts;
    for (int r = 0; r < table.rowCount(); ++r)
        texts << table.item(r, c)->text();
    return texts;
}

int columnNamed(const QTableWidget& table, const QString& name)
{
    for (int c = 0; c < table.columnCount(); ++c)
        if (table.horizontalHeaderItem(c)->text() == name)
            return c;
    return -1;
}

void clickHeader(QTableWidget& table, int c)
{
    QHeaderView* header = table.horizontalHeader();
    const QPoint at(
        header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// The points of a curve file: a header line, then "x y" per line.
QList<QPair<double, double>> curveFilePoints(const QString& path)
{
    QList<QPair<double, double>> points;
    const QStringList lines = QString::fromLatin1(readAll(path)).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].simplified().split(QLatin1Char(' '));
        if (fields.size() == 2)
            points.append({ fields[0].toDouble(), fields[1].toDouble() });
    }
    return points;
}

}  // namespace

class TestPlotExport : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        ui::setMessagePresenter(&m_presenter);
    }

    void cleanupTestCase()
    {
        ui::setMessagePresenter(nullptr);
    }

    // Sorting goes by number with empty fields last both ways, and a sorted column keeps its
    // whole name; cells show 6 digits over the whole field, which the selected rows copy.
    void cyclePanel()
    {
        analysis::RunTables tables;
        // The cycles' first and last lines, under two header lines.
        tables.cycles = { cycle(1, 3, 42, 10, 1.234567891), cycle(2, 42, 92, std::nullopt, -2),
            cycle(3, 92, 152, 9, 30), cycle(4, 152, 232, 100, 0.25) };
        PlotWindow plot;
        plot.setTables(std::make_shared<const analysis::RunTables>(tables), {});
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        QTableWidget& table = *plot.cyclePanel()->view()->tablesView()->cyclesTable();
        const int damping = columnNamed(table, QStringLiteral("damping"));
        const int energy = columnNamed(table, QStringLiteral("energy"));
        QCOMPARE(table.item(0, energy)->text(), QStringLiteral("1.23457"));
        QCOMPARE(table.item(0, energy)->toolTip(), QStringLiteral("1.234567891"));

        const struct
        {
            int column;
            QStringList ascending;
            QStringList descending;
        } sorts[] = {
            { damping, { "3", "1", "4", "2" }, { "4", "1", "3", "2" } },
            { energy, { "2", "4", "1", "3" }, { "3", "1", "4", "2" } },
            { 0, { "1", "2", "3", "4" }, { "4", "3", "2", "1" } },
        };

        QHeaderView* header = table.horizontalHeader();
        for (const auto& sort : sorts) {
            clickHeader(table, sort.column);
            QCOMPARE(column(table, 0), sort.ascending);
            clickHeader(table, sort.column);
            QCOMPARE(column(table, 0), sort.descending);
            QVERIFY(header->sectionSize(sort.column) >= header->sectionSizeHint(sort.column));
        }

        // Descending by cycle: 4, 3, 2, 1.
        table.selectRow(1);
        table.setRangeSelected(QTableWidgetSelectionRange(3, 0, 3, table.columnCount() - 1), true);
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);
        const QString expected =
            QString::fromStdString(analysis::cyclesCsv({ tables.cycles[2], tables.cycles[0] }))
                .replace(QLatin1Char(','), QLatin1Char('\t'));
        QCOMPARE(QApplication::clipboard()->text(), expected);

        plot.setTables(nullptr, {});
        QCOMPARE(table.rowCount(), 0);
        QVERIFY(!plot.findChild<QAction*>(QStringLiteral("saveTablesAction"))->isEnabled());
    }

    // Selected cycles draw their closed loops, S to E, and nothing between them; the backbone
    // layers follow the panel's options.
    void selectedLoopsAndTheBackboneFollowThePanel()
    {
        auto rows = std::make_shared<run::Rows>();
        plot::PlotData data;
        for (int i = 0; i < 1800; ++i) {
            const double t = i * 0.025;
            const double amplitude = 1 + std::floor(t / 12);
            rows->x.push_back(amplitude * std::sin(t));
            rows->y.push_back(10 * amplitude * std::sin(t + 0.4));
            rows->lines.push(i + 1);
        }
        data.x = rows->x;
        data.y = rows->y;
        const auto tables =
            std::make_shared<const analysis::RunTables>(analysis::analyseRows(*rows, {}));
        QVERIFY(tables->cycles.size() >= 5);
        PlotWindow plot;
        plot.setData(data);
        plot.setTables(tables, {}, rows);
        QTableWidget& table = *plot.cyclePanel()->view()->tablesView()->cyclesTable();
        table.selectRow(1);
        table.setRangeSelected(QTableWidgetSelectionRange(3, 0, 3, table.columnCount() - 1), true);
        const std::vector<analysis::PlotSeries>& loops = plot.highlight().loops;
        QCOMPARE(loops.size(), std::size_t(2));
        for (std::size_t k = 0; k < 2; ++k) {
            const analysis::CycleLoop& loop = tables->loops[k == 0 ? 1 : 3];
            std::vector<double> x { loop.start.x };
            std::vector<double> y { loop.start.y };
            for (std::size_t r = loop.firstRow; r <= loop.lastRow; ++r) {
                x.push_back(rows->x[r]);
                y.push_back(rows->y[r]);
            }
            x.push_back(loop.end.x);
            y.push_back(loop.end.y);
            QCOMPARE(loops[k].x, x);
            QCOMPARE(loops[k].y, y);
        }

        ui::CycleAnalysisView& panel = *plot.cyclePanel()->view();
        panel.envelopeBox()->setCurrentIndex(
            panel.envelopeBox()->findData(int(analysis::EnvelopeKind::Deformation)));
        analysis::CycleOptions options;
        options.envelope = analysis::EnvelopeKind::Deformation;
        const analysis::PlotBackbone expected =
            analysis::plotBackbone(analysis::analyseRows(*rows, options));
        QCOMPARE(plot.backbone().positive.x, expected.positive.x);
        QCOMPARE(plot.backbone().negativeBilinear.y, expected.negativeBilinear.y);
        QVERIFY(plot.backbone().positive.y != analysis::plotBackbone(*tables).positive.y);
        QVERIFY(plot.highlight().loops.empty());

        // Loops that run the wrong way round say so above the tables.
        QVERIFY(panel.signMessage()->isHidden());
        auto reversed = std::make_shared<run::Rows>(*rows);
        for (double& y : reversed->y)
            y = -y;
        plot.setTables(
            std::make_shared<const analysis::RunTables>(analysis::analyseRows(*reversed, {})), {},
            reversed);
        QVERIFY(!panel.signMessage()->isHidden());
        QVERIFY(panel.signMessage()->text().startsWith(QStringLiteral("The loops run the wrong")));
    }

    // After a real run: each picture format at the chosen size, the curve and the tables as
    // CSV, and the names an export must never write.
    void exportsAfterARun()
    {
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        const QString& data = wall.data;
        const QTemporaryDir& dir = wall.dir;
        chooseWallExample(w, data);
        w.startButton->click();
        QCOMPARE(w.statusBox->text(), QStringLiteral("Finish"));
        w.pictureBox->plotWindowAction()->trigger();
        PlotWindow* plot = w.pictureBox->plotWindow();
        QVERIFY(plot);
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        QVERIFY(plot->cyclePanel()->hasTables());

        ui::PlotExporter& exporter = *plot->exporter();
        plot::PictureSize suggested;
        plot::PictureSize chosen { QSize(640, 400), 96 };
        exporter.askSize = [&](const plot::PictureSize& size) {
            suggested = size;
            return std::optional(chosen);
        };
        QString name;
        QString suggestedName;
        exporter.askFileName = [&](const QString&, const QString& offered, const QString&) {
            suggestedName = offered;
            return name;
        };
        const auto exportAs = [&](const QString& file) {
            name = dir.filePath(file);
            exporter.exportPicture();
            return readAll(name);
        };

        const QByteArray png = exportAs(QStringLiteral("plot.png"));
        QCOMPARE(suggested.pixels, plot->plotArea()->size());
        QCOMPARE(suggested.dotsPerInch, 96);
        const QImage image = QImage::fromData(png, "PNG");
        QCOMPARE(image.size(), QSize(640, 400));
        QVERIFY(image.pixelColor(2, 2) == Qt::white);
        // Something besides the white background: axes, record and curve.
        QVERIFY(image.pixelColor(320, 200) != Qt::white || image.pixelColor(100, 390) != Qt::white
            || image.pixelColor(70, 200) != Qt::white);

        QSvgRenderer svg(exportAs(QStringLiteral("plot.SVG")));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBox(), QRect(0, 0, 640, 400));

        // The page is the picture: 640 × 400 px in points, at 96 and at 192 px to the inch.
        for (const int dpi : { 96, 192 }) {
            chosen.dotsPerInch = dpi;
            const QByteArray pdf = exportAs(QStringLiteral("plot.pdf"));
            QVERIFY(pdf.startsWith("%PDF-"));
            const QRegularExpressionMatch page =
                QRegularExpression(QStringLiteral(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])"))
                    .match(QString::fromLatin1(pdf));
            QVERIFY(page.hasMatch());
            QCOMPARE(page.captured(1).toDouble(), 640 * 72.0 / dpi);
            QCOMPARE(page.captured(2).toDouble(), 400 * 72.0 / dpi);
        }
        // The last size, resolution, folder and format chosen are offered again, in any plot
        // window, until the program ends.
        exportAs(QStringLiteral("plot.pdf"));
        QCOMPARE(suggested.pixels, QSize(640, 400));
        QCOMPARE(suggested.dotsPerInch, 192);
        QCOMPARE(suggestedName, dir.filePath(QStringLiteral("wall.pdf")));
        {
            PlotWindow another;
            plot::PictureSize offered;
            another.exporter()->askSize = [&](const plot::PictureSize& size) {
                offered = size;
                return std::optional<plot::PictureSize>();
            };
            another.exporter()->exportPicture();
            QCOMPARE(offered.pixels, QSize(640, 400));
            QCOMPARE(offered.dotsPerInch, 192);
        }
        const QImage fine = QImage::fromData(exportAs(QStringLiteral("fine.png")), "PNG");
        QCOMPARE(fine.size(), QSize(640, 400));
        QCOMPARE(fine.dotsPerMeterX(), 7559);
        QVERIFY(m_presenter.messages.isEmpty());

        // The curve's numbers are the curve files' numbers, positive side then negative.
        name = dir.filePath(QStringLiteral("curve.csv"));
        exporter.exportCurve();
        const QStringList lines = QString::fromLatin1(readAll(name)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.front(), QStringLiteral("side,x,y"));
        QList<QPair<double, double>> sides[2];
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const QStringList fields = lines[i].split(QLatin1Char(','));
            QCOMPARE(fields.size(), 3);
            QVERIFY(fields[0] == "positive" || fields[0] == "negative");
            sides[fields[0] == "negative"].append({ fields[1].toDouble(), fields[2].toDouble() });
        }
        QVERIFY(lines.back().isEmpty());
        QVERIFY(sides[0].size() > 10 && sides[1].size() > 10);
        QCOMPARE(sides[0], curveFilePoints(dir.filePath(QStringLiteral("wall.vnp"))));
        QCOMPARE(sides[1], curveFilePoints(dir.filePath(QStringLiteral("wall.vnn"))));

        // The File menu's tables entry saves what the panel shows.
        QStringList tableNames = { dir.filePath(QStringLiteral("c.csv")),
            dir.filePath(QStringLiteral("e.csv")), dir.filePath(QStringLiteral("b.csv")) };
        plot->cyclePanel()->view()->askFileName = [&](const QString&, const QString&) {
            return tableNames.takeFirst();
        };
        plot->findChild<QAction*>(QStringLiteral("saveTablesAction"))->trigger();
        QVERIFY(tableNames.isEmpty());
        QCOMPARE(
            readAll(dir.filePath(QStringLiteral("c.csv"))).left(12), QByteArray("cycle,level,"));
        QVERIFY(readAll(dir.filePath(QStringLiteral("e.csv"))).startsWith("side,level,cycles,"));
        QVERIFY(readAll(dir.filePath(QStringLiteral("b.csv"))).startsWith("side,peak_load,"));

        // A chart in each format at the chosen size, its name suggested beside the data file.
        ui::CycleChartsView& charts = *plot->cyclePanel()->view()->chartsView();
        charts.setKind(plot::CycleChartKind::Envelope);
        charts.askSize = exporter.askSize;
        chosen = { QSize(500, 300), 96 };
        QString chartSuggested;
        charts.askFileName = [&](const QString&, const QString& suggestion, const QString&) {
            chartSuggested = suggestion;
            return name;
        };
        const auto exportChart = [&](const QString& file) {
            name = dir.filePath(file);
            charts.exportChart();
            return readAll(name);
        };
        QCOMPARE(QImage::fromData(exportChart(QStringLiteral("chart.png")), "PNG").size(),
            QSize(500, 300));
        QCOMPARE(chartSuggested, dir.filePath(QStringLiteral("wall.envelope-chart.png")));
        QCOMPARE(QSvgRenderer(exportChart(QStringLiteral("chart.svg"))).viewBox(),
            QRect(0, 0, 500, 300));
        QVERIFY(exportChart(QStringLiteral("chart.pdf")).startsWith("%PDF-"));
        QVERIFY(m_presenter.messages.isEmpty());

        // Refused with a message, nothing written: a link (its target untouched), the data
        // file, a name of no picture format.
        const QString target = dir.filePath(QStringLiteral("target.txt"));
        writeText(target, "keep");
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("link.png"))));
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("link.csv"))));
        const QByteArray before = readAll(data);
        for (const char* refused : { "link.png", "wall.prn", "plot.jpg" }) {
            m_presenter.messages.clear();
            exportAs(QLatin1String(refused));
            QCOMPARE(m_presenter.messages.size(), 1);
            exportChart(QLatin1String(refused));
            QCOMPARE(m_presenter.messages.size(), 2);
        }
        m_presenter.messages.clear();
        name = dir.filePath(QStringLiteral("link.csv"));
        exporter.exportCurve();
        QCOMPARE(m_presenter.messages.size(), 1);
        QVERIFY(m_presenter.messages.front().text.contains(QStringLiteral("symbolic link")));
        QCOMPARE(readAll(target), QByteArray("keep"));
        QCOMPARE(readAll(data), before);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("plot.jpg"))));
        m_presenter.messages.clear();
    }

private:
    RecordingPresenter m_presenter;
};

QTEST_MAIN(TestPlotExport)
#include "tst_plot_export.moc"
