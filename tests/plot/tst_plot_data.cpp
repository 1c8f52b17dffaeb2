// The plot's data apart from any window: the axis titles read from a data file's header, the
// backbone, the crossings' counts past the exact bound, and the axes' round ticks.

#include "analysis/backbone.h"
#include "plot/plot_data.h"
#include "plot/plot_renderer.h"
#include "plot/plot_ticks.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class TestPlotData : public QObject
{
    Q_OBJECT

private slots:

    // Axis titles from the header's names (and units), else the column numbers.
    void axisTitles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("xColumn");
        QTest::addColumn<int>("yColumn");
        QTest::addColumn<QString>("xTitle");
        QTest::addColumn<QString>("yTitle");
        QTest::newRow("names and units")
            << QByteArray("Test unit,CS01\nReference,Someone (2010)\n"
                          "top_displacement,horizontal_force,drift\n[mm],[kN],[%]\n1,2,3\n")
            << 4 << 1 << 2 << "top_displacement [mm]"
            << "horizontal_force [kN]";
        QTest::newRow("names with blanks, bare units")
            << QByteArray("Actuator Force ,Actuator Displacement \r\nkN,mm\r\n1,2\r\n") << 2 << 2
            << 1 << "Actuator Displacement [mm]"
            << "Actuator Force [kN]";
        QTest::newRow("a note, then names")
            << QByteArray("Synthetic record: 6 levels, 3 cycles\ntime deformation load\n0 1 2\n")
            << 2 << 2 << 3 << "deformation"
            << "load";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                       "Displacement (mm),Force (kN)\n1,2\n")
                                         << 1 << 1 << 2 << "Displacement (mm)"
                                         << "Force (kN)";
        QTest::newRow("no header") << QByteArray("1 2 3\n") << 0 << 2 << 3 << "X (column 2)"
                                   << "Y (column 3)";
        QTest::newRow("numbers skipped")
            << QByteArray("7 8 9\n1 2 3\n") << 1 << 2 << 3 << "X (column 2)"
            << "Y (column 3)";
    }

    void axisTitles()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, skip);
        QFETCH(int, xColumn);
        QFETCH(int, yColumn);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("record.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        plot::PlotData data;
        data.xColumn = xColumn;
        data.yColumn = yColumn;
        plot::readAxisTitles(QFile::encodeName(path).toStdString(), skip, xColumn, yColumn,
            data.xTitle, data.yTitle);
        QTEST(plot::plotXTitle(data), "xTitle");
        QTEST(plot::plotYTitle(data), "yTitle");
    }

    // The backbone keeps each point that reaches further from zero than all before it; the
    // crossings past the exact bound become counts that still add up.
    void backboneAndCrossingDensity()
    {
        const plot::PlotSeries positive = plot::backboneOf(
            { { 1, 0.5, 2, 1.5, 3 }, { 1, 2, 3, 9, 4 } }, analysis::Side::Positive);
        QCOMPARE(positive.x, (std::vector<double> { 0, 1, 2, 3 }));
        QCOMPARE(positive.y, (std::vector<double> { 0, 1, 3, 4 }));
        const plot::PlotSeries negative =
            plot::backboneOf({ { -1, -0.5, -2 }, { -1, -2, -3 } }, analysis::Side::Negative);
        QCOMPARE(negative.x, (std::vector<double> { 0, -1, -2 }));

        plot::CrossingCollector collector(3, 4, 4);
        collector.reset({ 0, 4, 0, 4 });
        for (double v : { 0.5, 1.5, 2.5, 3.5, 4.0 })
            collector.add(v, v);
        const plot::PlotCrossings crossings = collector.take();
        QVERIFY(crossings.dense());
        QVERIFY(crossings.exact.x.empty());
        QCOMPARE(crossings.total, std::uint64_t(5));
        QCOMPARE(crossings.counts[0], 1u);
        QCOMPARE(crossings.counts[15], 2u);  // the edge's crossing in the edge cell
        std::uint64_t sum = 0;
        for (std::uint32_t count : crossings.counts)
            sum += count;
        QCOMPARE(sum, crossings.total);
    }

    // Ticks at round numbers inside the range, with room between their labels.
    void ticksAreRoundAndDoNotOverlap_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("pixels");
        QTest::addColumn<double>("expectedStep");
        QTest::newRow("unit") << 0.0 << 1.0 << 500.0 << 0.1;
        QTest::newRow("across zero") << -3.7 << 12.2 << 300.0 << 2.0;
        QTest::newRow("offset") << 1e6 << 1e6 + 7 << 600.0 << 1.0;
        QTest::newRow("small") << -1e-5 << 3e-5 << 300.0 << 1e-5;
        QTest::newRow("narrow, long labels") << 123456.0 << 987654.0 << 90.0 << 500000.0;
    }

    void ticksAreRoundAndDoNotOverlap()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, pixels);
        QFETCH(double, expectedStep);
        const auto extent = [](const QString& label) {
            return 7.0 * static_cast<double>(label.size());
        };
        const plot::AxisTicks ticks = plot::roundTicks(low, high, pixels, extent);
        QVERIFY(std::abs(ticks.step / expectedStep - 1) < 1e-9);
        QVERIFY(!ticks.values.empty());
        for (std::size_t i = 0; i < ticks.values.size(); ++i) {
            const double v = ticks.values[i];
            QVERIFY(v >= low - 1e-9 * ticks.step && v <= high + 1e-9 * ticks.step);
            QVERIFY(std::abs(v / ticks.step - std::round(v / ticks.step)) < 1e-6);
            const QString label = plot::tickLabel(v, ticks.step);
            QVERIFY2(label.size() <= 9, qPrintable(label));  // no binary noise
            if (i > 0) {
                const double spacing = ticks.step / (high - low) * pixels;
                const QString previous = plot::tickLabel(ticks.values[i - 1], ticks.step);
                QVERIFY(spacing >= std::max(extent(label), extent(previous)));
            }
        }
        QVERIFY(plot::roundTicks(1, 1, pixels, extent).values.empty());
        QVERIFY(plot::roundTicks(0, std::nan(""), pixels, extent).values.empty());
    }
};

QTEST_MAIN(TestPlotData)
#include "tst_plot_data.moc"
