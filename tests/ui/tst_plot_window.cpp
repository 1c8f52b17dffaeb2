// The plot window: opened from the picture box after a run, its zoom and pan, and the ticks
// of its axes.

#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui/plot_window/plot_ticks.h"
#include "ui/plot_window/plot_window.h"
#include "ui_test_support.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <cmath>

using ui::PlotRange;
using ui::PlotWindow;

namespace {

void compareRange(const PlotRange& actual, const PlotRange& expected, double tolerance)
{
    const double xs[] = { actual.xMin, actual.xMax, actual.yMin, actual.yMax };
    const double ys[] = { expected.xMin, expected.xMax, expected.yMin, expected.yMax };
    for (int i = 0; i < 4; ++i)
        QVERIFY2(std::abs(xs[i] - ys[i]) <= tolerance,
            qPrintable(QStringLiteral("edge %1: %2, expected %3").arg(i).arg(xs[i]).arg(ys[i])));
}

}  // namespace

class TestPlotWindow : public QObject
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

    // The double-click and the menu entry open one window for the finished run, not before.
    void opensAfterARun()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString data = dir.filePath(QStringLiteral("wall.prn"));
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), data));
        ui::Form1 w;
        w.endProgram = [] {};
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ui::PlotView* box = w.Picture1;
        QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!box->plotWindowAction()->isEnabled());
        QVERIFY(!box->plotWindow());

        chooseWallExample(w, data);
        w.Command1->click();
        QCOMPARE(w.Text1->text(), QStringLiteral("Finish"));
        QVERIFY(box->plotWindowAction()->isEnabled());

        QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(20, 20));
        QPointer<PlotWindow> plot = box->plotWindow();
        QVERIFY(plot);
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        QVERIFY(plot->isWindow());
        QVERIFY(!plot->data().x.empty());
        QCOMPARE(plot->data().x.size(), plot->data().y.size());
        QVERIFY(!plot->data().sides.positive.x.empty());
        QVERIFY(!plot->data().sides.negative.x.empty());
        plot->close();
        QTRY_VERIFY(!plot);
        box->plotWindowAction()->trigger();
        QVERIFY(box->plotWindow());
        QVERIFY(box->plotWindow()->isVisible());
        box->plotWindowAction()->trigger();  // raises the same window
        QCOMPARE(w.findChildren<PlotWindow*>().size(), 1);

#ifdef SCREENSHOT_DIR
        box->plotWindow()->resize(900, 600);
        QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
        QVERIFY(box->plotWindow()->grab().save(
            QStringLiteral(SCREENSHOT_DIR "/plot_window_cyclic_wall.png")));
#endif
    }

    // Wheel, box, drags, keys and the resets move the view as the user aims.
    void zoomAndPan()
    {
        PlotWindow plot;
        ui::PlotData data;
        // A dense record, drawn by columns, and a short curve, drawn by lines.
        for (int i = 0; i <= 200000; ++i) {
            data.x.push_back(std::sin(i * 0.001) * 10);
            data.y.push_back(std::cos(i * 0.0013) * 100);
        }
        data.sides.positive = { { 0, 5, 10 }, { 0, 50, 60 } };
        plot.setData(data);
        plot.resize(800, 600);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        ui::PlotArea* area = plot.plotArea();
        const QRect d = area->dataRect();
        const PlotRange full = plot.fullRange();
        QVERIFY(full.xMin < -10 && full.xMax > 10 && full.yMin < -100 && full.yMax > 100);
        QVERIFY(full.xMin > -11 && full.xMax < 11 && full.yMin > -111 && full.yMax < 111);
        compareRange(plot.visibleRange(), full, 0);
        const double w = full.xMax - full.xMin;
        const double h = full.yMax - full.yMin;

        // One notch in around the data point under the cursor, which stays put.
        const QPoint at = d.topLeft() + QPoint(d.width() / 4, d.height() / 4);
        const QPointF before = area->toData(at);
        QWheelEvent wheel(at, area->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &wheel);
        const PlotRange zoomed = plot.visibleRange();
        QVERIFY(std::abs((zoomed.xMax - zoomed.xMin) / w - 0.8) < 1e-9);
        QVERIFY(std::abs((zoomed.yMax - zoomed.yMin) / h - 0.8) < 1e-9);
        const QPointF after = area->toData(at);
        QVERIFY(std::abs(after.x() - before.x()) < w * 1e-9);
        QVERIFY(std::abs(after.y() - before.y()) < h * 1e-9);

        // Home and a double-click both return to the whole record.
        QTest::keyClick(area, Qt::Key_Home);
        compareRange(plot.visibleRange(), full, 0);

        // A box dragged over the left half and the upper half of the data.
        QTest::mousePress(area, Qt::LeftButton, {}, d.topLeft());
        QTest::mouseMove(area, d.center());
        QTest::mouseRelease(area, Qt::LeftButton, {}, d.center());
        const double pxW = w / d.width();
        const double pxH = h / d.height();
        compareRange(plot.visibleRange(),
            { full.xMin, full.xMin + w / 2, full.yMin + h / 2, full.yMax }, 2 * std::max(pxW, pxH));
        // A click is not a box.
        const PlotRange boxed = plot.visibleRange();
        QTest::mouseClick(area, Qt::LeftButton, {}, d.center());
        compareRange(plot.visibleRange(), boxed, 0);
        QTest::mouseDClick(area, Qt::LeftButton, {}, d.center());
        compareRange(plot.visibleRange(), full, 0);

        // The data follow a right or middle drag: 100 px right and 50 px down.
        for (Qt::MouseButton button : { Qt::RightButton, Qt::MiddleButton }) {
            plot.resetView();
            QTest::mousePress(area, button, {}, d.center());
            QTest::mouseMove(area, d.center() + QPoint(60, 20));
            QTest::mouseRelease(area, button, {}, d.center() + QPoint(100, 50));
            compareRange(plot.visibleRange(),
                { full.xMin - 100 * pxW, full.xMax - 100 * pxW, full.yMin + 50 * pxH,
                    full.yMax + 50 * pxH },
                1e-9 * w);
        }

        // The arrows move the view a tenth of its size.
        plot.resetView();
        QTest::keyClick(area, Qt::Key_Left);
        QTest::keyClick(area, Qt::Key_Up);
        compareRange(plot.visibleRange(),
            { full.xMin + w / 10, full.xMax + w / 10, full.yMin - h / 10, full.yMax - h / 10 },
            1e-9 * w);

        // Zooming in without end stops where the numbers still resolve; the plot still draws.
        for (int i = 0; i < 400; ++i)
            plot.zoomAround(d.center(), 0.5);
        const PlotRange deep = plot.visibleRange();
        QVERIFY(deep.xMax > deep.xMin && deep.yMax > deep.yMin);
        QVERIFY(!area->grab().isNull());
        plot.resetView();
        QVERIFY(!area->grab().isNull());
    }

    // A dense loop, many points per pixel column, stays a ring: its inside is not filled and
    // its outline has no gaps.
    void denseLoopIsDrawnAsALoop()
    {
        PlotWindow plot;
        ui::PlotData data;
        for (int i = 0; i <= 300000; ++i) {
            const double t = i * 2 * M_PI / 100000;  // three turns
            data.x.push_back(std::cos(t));
            data.y.push_back(std::sin(t));
        }
        plot.setData(data);
        plot.gridAction()->setChecked(false);
        plot.resize(700, 600);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        const QImage image = plot.plotArea()->grab().toImage();
        ui::PlotArea* area = plot.plotArea();
        const QPointF centre = area->toPixels(0, 0);
        QCOMPARE(image.pixelColor(centre.toPoint()), QColor(Qt::white));
        const QPointF halfway = area->toPixels(0.5, 0.3);
        QCOMPARE(image.pixelColor(halfway.toPoint()), QColor(Qt::white));
        for (int k = 0; k < 36; ++k) {
            const QPoint on =
                area->toPixels(std::cos(k * M_PI / 18), std::sin(k * M_PI / 18)).toPoint();
            bool ink = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    ink = ink || image.pixelColor(on + QPoint(dx, dy)) != QColor(Qt::white);
            QVERIFY2(ink, qPrintable(QStringLiteral("no ink at %1 degrees").arg(k * 10)));
        }
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
        const ui::AxisTicks ticks = ui::roundTicks(low, high, pixels, extent);
        QVERIFY(std::abs(ticks.step / expectedStep - 1) < 1e-9);
        QVERIFY(!ticks.values.empty());
        for (std::size_t i = 0; i < ticks.values.size(); ++i) {
            const double v = ticks.values[i];
            QVERIFY(v >= low - 1e-9 * ticks.step && v <= high + 1e-9 * ticks.step);
            QVERIFY(std::abs(v / ticks.step - std::round(v / ticks.step)) < 1e-6);
            const QString label = ui::tickLabel(v, ticks.step);
            QVERIFY2(label.size() <= 9, qPrintable(label));  // no binary noise
            if (i > 0) {
                const double spacing = ticks.step / (high - low) * pixels;
                const QString previous = ui::tickLabel(ticks.values[i - 1], ticks.step);
                QVERIFY(spacing >= std::max(extent(label), extent(previous)));
            }
        }
        QVERIFY(ui::roundTicks(1, 1, pixels, extent).values.empty());
        QVERIFY(ui::roundTicks(0, std::nan(""), pixels, extent).values.empty());
    }

private:
    RecordingPresenter m_presenter;
};

QTEST_MAIN(TestPlotWindow)
#include "tst_plot_window.moc"
