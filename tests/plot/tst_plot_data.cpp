// The plot's axes apart from any window: their round ticks.

#include "plot/plot_renderer.h"
#include "plot/plot_ticks.h"

#include <QtTest>

#include <cmath>

class TestPlotData : public QObject
{
    Q_OBJECT

private slots:

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
