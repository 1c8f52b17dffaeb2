// The charts of the cycle tables: each series holds the tables' numbers with the empty fields
// left out, the levels span their cycles, and any tables draw at any size.

#include "plot/cycle_charts.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

using analysis::CycleRow;
using plot::CycleChartKind;

namespace {

// Three cycles at each of four amplitudes, the load lagging the deformation.
run::Rows cyclicRows()
{
    run::Rows rows;
    for (int i = 0; i < 3000; ++i) {
        const double t = i * 0.025;
        const double amplitude = 1 + std::floor(t / (6 * std::numbers::pi));
        rows.x.push_back(amplitude * std::sin(t));
        rows.y.push_back(10 * amplitude * std::sin(t + 0.4));
        rows.lines.push(i + 3);
    }
    return rows;
}

const plot::ChartSeries* seriesNamed(
    const plot::CycleChart& chart, const QString& name, int nth = 0)
{
    for (const plot::ChartSeries& s : chart.series)
        if (s.name == name && nth-- == 0)
            return &s;
    return nullptr;
}

}  // namespace

class TestCycleCharts : public QObject
{
    Q_OBJECT

private slots:

    void seriesAreTheTablesNumbers()
    {
        analysis::RunTables tables = analysis::analyseRows(cyclicRows(), {});
        QCOMPARE(tables.cycles.size(), std::size_t(11));
        // Empty fields have no point.
        tables.cycles[1].damping.reset();
        tables.cycles[4].retentionNeg.reset();

        using Column = std::function<std::optional<double>(const CycleRow&)>;

        const struct
        {
            CycleChartKind kind;
            const char* series;
            Column column;
            bool right;
        } cases[] = {
            { CycleChartKind::Energy, "Energy", [](const CycleRow& r) { return r.energy; }, false },
            { CycleChartKind::Energy, "Cumulative energy",
                [](const CycleRow& r) { return r.cumulativeEnergy; }, true },
            { CycleChartKind::Damping, "Damping", [](const CycleRow& r) { return r.damping; },
                false },
            { CycleChartKind::Stiffness, "Stiffness", [](const CycleRow& r) { return r.stiffness; },
                false },
            { CycleChartKind::Retention, "Positive side",
                [](const CycleRow& r) { return r.retentionPos; }, false },
            { CycleChartKind::Retention, "Negative side",
                [](const CycleRow& r) { return r.retentionNeg; }, false },
        };

        for (const auto& c : cases) {
            const plot::CycleChart chart = plot::cycleChart(tables, c.kind);
            const plot::ChartSeries* s = seriesNamed(chart, QLatin1String(c.series));
            QVERIFY2(s, c.series);
            std::vector<double> x;
            std::vector<double> y;
            for (const CycleRow& row : tables.cycles)
                if (const std::optional<double> v = c.column(row)) {
                    x.push_back(static_cast<double>(row.cycle));
                    y.push_back(*v);
                }
            QCOMPARE(s->x, x);
            QCOMPARE(s->y, y);
            QCOMPARE(s->rightAxis, c.right);
            // Levels 1 to 4, three cycles each but the last, which ends the record.
            QCOMPARE(chart.levels.size(), std::size_t(4));
            QCOMPARE(chart.levels[1].level, std::size_t(2));
            QCOMPARE(chart.levels[1].from, 3.5);
            QCOMPARE(chart.levels[1].to, 6.5);
        }
        QCOMPARE(
            seriesNamed(plot::cycleChart(tables, CycleChartKind::Damping), "Damping")->x.size(),
            tables.cycles.size() - 1);

        // The envelope: each side's first and last cycle of every level, and the idealisation.
        const plot::CycleChart envelope = plot::cycleChart(tables, CycleChartKind::Envelope,
            QStringLiteral("top_displacement [mm]"), QStringLiteral("load [kN]"));
        QCOMPARE(envelope.xTitle, QStringLiteral("top_displacement [mm]"));
        QVERIFY(envelope.levels.empty());
        for (const analysis::Side side : { analysis::Side::Positive, analysis::Side::Negative }) {
            const int nth = side == analysis::Side::Positive ? 0 : 1;
            std::vector<double> first[2];
            std::vector<double> last[2];
            for (const analysis::EnvelopeRow& row : tables.envelope)
                if (row.side == side) {
                    first[0].push_back(row.uFirst);
                    first[1].push_back(row.fFirst);
                    last[0].push_back(row.uLast);
                    last[1].push_back(row.fLast);
                }
            QCOMPARE(first[0].size(), std::size_t(4));
            const plot::ChartSeries* f = seriesNamed(envelope, "First cycle of each level", nth);
            const plot::ChartSeries* l = seriesNamed(envelope, "Last cycle of each level", nth);
            const plot::ChartSeries* b = seriesNamed(envelope, "Bilinear idealisation", nth);
            QVERIFY(f && l && b);
            QCOMPARE(f->x, first[0]);
            QCOMPARE(f->y, first[1]);
            QCOMPARE(l->x, last[0]);
            QCOMPARE(l->y, last[1]);
            const analysis::SideLines& lines =
                nth == 0 ? tables.positiveLines : tables.negativeLines;
            QCOMPARE(b->x.size(), std::size_t(3));
            for (std::size_t i = 0; i < 3; ++i) {
                QCOMPARE(b->x[i], lines.bilinear[i].x);
                QCOMPARE(b->y[i], lines.bilinear[i].y);
            }
        }
    }

    // No tables, one cycle, a picture too small for axes: each draws without fault, the
    // ground white.
    void drawsAnyTablesAtAnySize()
    {
        run::Rows one = cyclicRows();
        one.x.resize(400);
        one.y.resize(400);
        const analysis::RunTables tables[] = { {}, analysis::analyseRows(one, {}),
            analysis::analyseRows(cyclicRows(), {}) };
        QCOMPARE(tables[1].cycles.size(), std::size_t(1));
        for (const analysis::RunTables& t : tables)
            for (const CycleChartKind kind : plot::kCycleChartKinds)
                for (const QSize size : { QSize(1, 1), QSize(60, 40), QSize(700, 420) }) {
                    QImage image(size, QImage::Format_RGB32);
                    image.fill(Qt::black);
                    QPainter painter(&image);
                    plot::drawCycleChart(painter, image.rect(), plot::cycleChart(t, kind));
                    painter.end();
                    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
                }
    }
};

QTEST_MAIN(TestCycleCharts)
#include "tst_cycle_charts.moc"
