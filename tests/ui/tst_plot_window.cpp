// The plot window: opened from the picture box after a run, its zoom and pan, and the ticks
// of its axes.

#include "plot/plot_data.h"
#include "plot/plot_renderer.h"
#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui/plot_window/plot_export.h"
#include "ui/plot_window/plot_window.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <set>

using plot::PlotRange;
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

// Whether a pixel within one of `at` has the colour.
bool inkNear(const QImage& image, QPoint at, const QColor& colour)
{
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (image.pixelColor(at + QPoint(dx, dy)) == colour)
                return true;
    return false;
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
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        const QString& data = wall.data;
        ui::PlotView* box = w.pictureBox;
        QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!box->plotWindowAction()->isEnabled());
        QVERIFY(!box->plotWindow());

        chooseWallExample(w, data);
        w.startButton->click();
        QCOMPARE(w.statusBox->text(), QStringLiteral("Finish"));
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
        // The run's extras: each point's data line (the first data line is the file's third),
        // the crossings it marked, the header's names and the backbone.
        const plot::PlotData& shown = plot->data();
        QCOMPARE(shown.lines.size(), shown.x.size());
        QCOMPARE(shown.lines.front(), 3u);
        std::uint32_t previous = 0;
        for (std::uint32_t line : shown.lines) {
            QVERIFY(line == 0 || line > previous);
            previous = std::max(previous, line);
        }
        QVERIFY(shown.crossings.total > 0);
        QCOMPARE(shown.crossings.x.size(), shown.crossings.total);
        QCOMPARE(shown.xTitle, "deformation");
        QCOMPARE(shown.yTitle, "load");
        QVERIFY(plot->backbone().positive.x.size() > 1);
        QVERIFY(plot->backbone().negativeBilinear.x.size() == 3);
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

    // The record shows the group colours the run drew it in: each point's colour is that of
    // the group its line in the cross-check file names, and a segment's pixels have its colour
    // in the whole view and zoomed in.
    void recordInGroupColours()
    {
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        const QString& data = wall.data;
        chooseWallExample(w, data);
        w.keepWorkingFilesBox->click();  // keeps the cross-check file
        w.startButton->click();
        QCOMPARE(w.statusBox->text(), QStringLiteral("Finish"));
        w.pictureBox->plotWindowAction()->trigger();
        PlotWindow* plot = w.pictureBox->plotWindow();
        QVERIFY(plot);
        const plot::PlotData& shown = plot->data();
        const std::size_t n = shown.x.size();
        QCOMPARE(shown.colours.size(), n);
        QCOMPARE(shown.colours[0], plot::kNoGroupColour);
        QCOMPARE(shown.colours[1], plot::kNoGroupColour);

        // The file lists each crossing with its group, which the next line's exceeds, and
        // after the crossings of its segment the point the segment ends at.
        QFile file(wall.dir.filePath(QStringLiteral("wall.buf")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::vector<int> rows;
        while (!file.atEnd())
            rows.push_back(file.readLine().simplified().split(' ').value(2).toInt());
        std::vector<int> pointGroups;
        for (std::size_t k = 0; k < rows.size(); ++k)
            if (k + 1 == rows.size() || rows[k + 1] == rows[k])
                pointGroups.push_back(rows[k]);
        QCOMPARE(pointGroups.size(), n);
        std::set<int> groups;
        for (std::size_t i = 2; i < n; ++i) {
            QCOMPARE(int(shown.colours[i]), 3 * (pointGroups[i] % 255) % 255);
            groups.insert(pointGroups[i]);
        }
        QVERIFY(groups.size() > 100);

        // The last segment lies over all others.
        for (QAction* layer : { plot->crossingsLayer(), plot->positiveLayer(),
                 plot->negativeLayer(), plot->backboneLayer(), plot->bilinearLayer() })
            layer->setChecked(false);
        plot->resize(880, 720);
        plot->show();
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        ui::PlotArea* area = plot->plotArea();
        const double mx = (shown.x[n - 2] + shown.x[n - 1]) / 2;
        const double my = (shown.y[n - 2] + shown.y[n - 1]) / 2;
        const QColor expected = plot::recordSegmentColour(shown.colours[n - 1]);
        QVERIFY(expected != plot::PlotRenderer::recordColour());
        const PlotRange full = plot->visibleRange();
        for (double zoom : { 1.0, 0.01 }) {
            const double dx = (full.xMax - full.xMin) * zoom / 2;
            const double dy = (full.yMax - full.yMin) * zoom / 2;
            plot->setVisibleRange({ mx - dx, mx + dx, my - dy, my + dy });
            QVERIFY2(inkNear(area->grab().toImage(), area->toPixels(mx, my).toPoint(), expected),
                qPrintable(QStringLiteral("zoom %1").arg(zoom)));
        }
    }

    // A dense record takes its colours from the levels of detail in the whole view and from its
    // points zoomed in, later turns over earlier ones; a record of no colours is of one grey.
    void denseRecordInGroupColours()
    {
        plot::PlotData data;
        for (int i = 0; i <= 300000; ++i) {
            const double t = i * 2 * M_PI / 100000;  // three turns, the first under the others
            data.x.push_back(std::cos(t));
            data.y.push_back(std::sin(t));
            data.colours.push_back(i <= 100000 ? 0 : data.y.back() > 0 ? 120 : 252);
        }
        const QColor first = plot::recordSegmentColour(0);
        const QColor top = plot::recordSegmentColour(120);
        const QColor bottom = plot::recordSegmentColour(252);
        for (bool coloured : { true, false }) {
            if (!coloured)
                data.colours.clear();
            PlotWindow plot;
            plot.setData(data);
            plot.resize(700, 600);
            plot.show();
            QVERIFY(QTest::qWaitForWindowExposed(&plot));
            ui::PlotArea* area = plot.plotArea();
            for (double span : { 0.0, 0.02 }) {
                for (double y : { 1.0, -1.0 }) {
                    if (span > 0)
                        plot.setVisibleRange({ -span, span, y - span, y + span });
                    const QImage image = area->grab().toImage();
                    const QPoint at = area->toPixels(0, y).toPoint();
                    const QColor want = !coloured ? plot::PlotRenderer::recordColour()
                        : y > 0                   ? top
                                                  : bottom;
                    QVERIFY2(inkNear(image, at, want) && !inkNear(image, at, first),
                        qPrintable(QStringLiteral("span %1, y %2").arg(span).arg(y)));
                }
            }
        }
    }

    // Wheel, box, drags, keys and the resets move the view as the user aims.
    void zoomAndPan()
    {
        PlotWindow plot;
        plot::PlotData data;
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

        // An arrow moves the view a tenth of its size the way it points.
        const struct
        {
            Qt::Key key;
            double dx;
            double dy;
        } arrows[] = { { Qt::Key_Right, 1, 0 }, { Qt::Key_Left, -1, 0 }, { Qt::Key_Up, 0, 1 },
            { Qt::Key_Down, 0, -1 } };

        for (const auto& arrow : arrows) {
            plot.resetView();
            QTest::keyClick(area, arrow.key);
            compareRange(plot.visibleRange(),
                { full.xMin + arrow.dx * w / 10, full.xMax + arrow.dx * w / 10,
                    full.yMin + arrow.dy * h / 10, full.yMax + arrow.dy * h / 10 },
                1e-9 * w);
        }

        // The history of views: a run of notches or of arrows is one step, a box another;
        // Alt+Left and Backspace go back, Alt+Right forward, and a new step drops what lay
        // ahead. New data start a new history.
        plot.setData(data);
        QTest::keyClick(area, Qt::Key_Right);
        QTest::keyClick(area, Qt::Key_Right);
        const PlotRange panned = plot.visibleRange();
        QTest::mousePress(area, Qt::LeftButton, {}, d.topLeft());
        QTest::mouseRelease(area, Qt::LeftButton, {}, d.center());
        const PlotRange boxedIn = plot.visibleRange();
        for (int i = 0; i < 3; ++i)
            plot.zoomAround(d.center(), 0.8);
        const PlotRange wheeled = plot.visibleRange();

        const struct
        {
            QKeyCombination key;
            PlotRange expected;
        } steps[] = { { Qt::ALT | Qt::Key_Left, boxedIn },
            { QKeyCombination(Qt::Key_Backspace), panned }, { Qt::ALT | Qt::Key_Left, full },
            { Qt::ALT | Qt::Key_Left, full }, { Qt::ALT | Qt::Key_Right, panned },
            { Qt::ALT | Qt::Key_Right, boxedIn }, { Qt::ALT | Qt::Key_Right, wheeled },
            { Qt::ALT | Qt::Key_Right, wheeled }, { QKeyCombination(Qt::Key_Backspace), boxedIn } };

        for (const auto& step : steps) {
            QTest::keySequence(area, QKeySequence(step.key));
            compareRange(plot.visibleRange(), step.expected, 0);
        }
        QTest::keyClick(area, Qt::Key_Home);
        QTest::keyClick(area, Qt::Key_Right, Qt::AltModifier);
        compareRange(plot.visibleRange(), full, 0);

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
        plot::PlotData data;
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

    // Ctrl with the wheel zooms only X, Shift only Y.
    void axisOnlyZoom_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<double>("xShare");
        QTest::addColumn<double>("yShare");
        QTest::newRow("both") << int(Qt::NoModifier) << 0.8 << 0.8;
        QTest::newRow("X only") << int(Qt::ControlModifier) << 0.8 << 1.0;
        QTest::newRow("Y only") << int(Qt::ShiftModifier) << 1.0 << 0.8;
    }

    void axisOnlyZoom()
    {
        QFETCH(int, modifiers);
        QFETCH(double, xShare);
        QFETCH(double, yShare);
        PlotWindow plot;
        plot::PlotData data;
        data.x = { -3, 5, 1 };
        data.y = { 10, -20, 4 };
        plot.setData(data);
        plot.resize(700, 500);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        ui::PlotArea* area = plot.plotArea();
        const PlotRange full = plot.visibleRange();
        const QPoint at = area->dataRect().center() + QPoint(40, -30);
        QWheelEvent wheel(at, area->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton,
            Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &wheel);
        const PlotRange r = plot.visibleRange();
        QVERIFY(std::abs((r.xMax - r.xMin) / (full.xMax - full.xMin) - xShare) < 1e-9);
        QVERIFY(std::abs((r.yMax - r.yMin) / (full.yMax - full.yMin) - yShare) < 1e-9);
    }

    // Hovering a point highlights it and tells its values and its data line; an inserted zero
    // point has no line, and the curve's points are found too.
    void hoverShowsThePoint()
    {
        PlotWindow plot;
        plot::PlotData data;
        data.x = { 0, 1, 1.5, 2, 3 };
        data.y = { 0, 2, 0, -2, 1 };
        data.lines = { 5, 6, 0, 7, 9 };
        data.sides.positive = { { 0, 2.5 }, { 0, 3 } };
        plot.setData(data);
        plot.resize(700, 500);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        ui::PlotArea* area = plot.plotArea();
        auto* label = plot.findChild<QLabel*>(QStringLiteral("pointLabel"));
        QVERIFY(label);
        const auto hover = [&](double x, double y, QPoint offset = {}) {
            // Sent, not simulated: a simulated move to where the cursor already is sends nothing.
            const QPointF at = area->toPixels(x, y) + offset;
            QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton,
                Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(area, &move);
            return label->text();
        };
        auto* hint = plot.findChild<QLabel*>(QStringLiteral("hintLabel"));
        QString text = hover(1, 2, QPoint(3, -2));
        QVERIFY2(text.contains(QStringLiteral("x = 1, y = 2"))
                && text.contains(QStringLiteral("line 6")),
            qPrintable(text));
        // The hint steps aside; in a narrow window the point's text gives way, not the
        // cursor's values, and does not hold the window wide.
        QVERIFY(hint->isHidden());
        plot.resize(420, plot.height());
        auto* cursor = plot.findChild<QLabel*>(QStringLiteral("cursorLabel"));
        QTRY_COMPARE(plot.width(), 420);
        QTRY_VERIFY(cursor->width() >= cursor->sizeHint().width());
        plot.resize(700, 500);
        QVERIFY(plot.highlight().point);
        QCOMPARE(plot.hoveredPoint().index, std::size_t(1));
        text = hover(1.5, 0);
        QVERIFY2(text.contains(QStringLiteral("x = 1.5, y = 0"))
                && !text.contains(QStringLiteral("line ")),
            qPrintable(text));
        text = hover(2.5, 3);
        QVERIFY2(text.startsWith(QStringLiteral("Positive curve point 2")), qPrintable(text));
        // Nothing within reach, or the layer switched off.
        QVERIFY(hover(2.5, -1.5).isEmpty());
        QVERIFY(!plot.highlight().point && !hint->isHidden());
        // Switching a layer off lets go of its point.
        QVERIFY(!hover(3, 1).isEmpty());
        plot.recordLayer()->setChecked(false);
        QVERIFY(label->text().isEmpty() && !plot.highlight().point);
        QVERIFY(hover(3, 1, QPoint(1, 0)).isEmpty());
    }

    // The title names the data file and the columns of the run shown. A new run marks an open
    // plot window as showing the previous run until it finishes, and "Open plot window" waits
    // for its end; a failed run leaves the mark. Exports are named after the plot's own file.
    void titleFollowsTheRunShown()
    {
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        ui::PlotView* box = w.pictureBox;
        chooseWallExample(w, wall.data);
        w.startButton->click();
        box->plotWindowAction()->trigger();
        QPointer<PlotWindow> plot = box->plotWindow();
        QVERIFY(plot);
        QCOMPARE(plot->windowTitle(), QStringLiteral("wall.prn \u2014 X col 2, Y col 3"));
        auto* note = plot->findChild<QLabel*>(QStringLiteral("previousRunNote"));
        QVERIFY(note && note->isHidden());

        const QString other = wall.dir.filePath(QStringLiteral("other.prn"));
        const QString broken = wall.dir.filePath(QStringLiteral("broken.prn"));
        QVERIFY(QFile::copy(wall.data, other));
        writeText(broken, "a title\r\nnames\r\n");

        const struct
        {
            QString file;
            const char* title;
        } runs[] = { { other, "other.prn \u2014 X col 2, Y col 3" },
            { broken, "other.prn \u2014 X col 2, Y col 3 (previous run)" } };

        for (const auto& run : runs) {
            w.showChooser = picking(run.file);
            w.dataFileOpenButton->click();
            bool seen = false;
            auto during = connect(w.statusBox, &QLineEdit::textChanged, plot, [&] {
                seen = true;
                QVERIFY(!box->plotWindowAction()->isEnabled());
                QVERIFY(plot->windowTitle().endsWith(QStringLiteral("(previous run)")));
                QVERIFY(!note->isHidden());
            });
            w.startButton->click();
            disconnect(during);
            QVERIFY(seen);
            QVERIFY(box->plotWindowAction()->isEnabled());
            QCOMPARE(plot->windowTitle(), QString::fromUtf8(run.title));
            QCOMPARE(note->isHidden(), run.file == other);
        }
        QString suggested;
        plot->exporter()->askFileName = [&](const QString&, const QString& name, const QString&) {
            suggested = name;
            return QString();
        };
        plot->exporter()->exportCurve();
        QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("other.curve.csv"));
        QCOMPARE(m_presenter.messages.size(), 1);  // the broken file's
        m_presenter.messages.clear();
    }

    // Ctrl+C in the plot, or its menu entry, puts the plot as shown on the clipboard at the
    // plot's size; the cycle panel keeps its own Ctrl+C.
    void copiesThePlot()
    {
        PlotWindow plot;
        plot::PlotData data;
        data.x = { -3, 5, 1 };
        data.y = { 10, -20, 4 };
        plot.setData(data);
        plot.resize(700, 500);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        ui::PlotArea* area = plot.plotArea();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(area, Qt::Key_C, Qt::ControlModifier);
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), area->size() * area->devicePixelRatio());
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32),
            area->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QGuiApplication::clipboard()->clear();
        plot.findChild<QAction*>(QStringLiteral("copyPictureAction"))->trigger();
        QVERIFY(!QGuiApplication::clipboard()->image().isNull());
    }

    // Each layer's switch changes the picture, and switching it back restores it.
    void layersSwitch_data()
    {
        QTest::addColumn<QString>("action");
        for (const char* name : { "recordLayer", "crossingsLayer", "positiveLayer", "negativeLayer",
                 "backboneLayer", "lastCycleLayer", "bilinearLayer", "gridAction", "boxRedAction" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void layersSwitch()
    {
        QFETCH(QString, action);
        PlotWindow plot;
        plot::PlotData data;
        for (int i = 0; i <= 400; ++i) {
            data.x.push_back(4 * std::sin(i * 0.05));
            data.y.push_back(3 * std::cos(i * 0.031));
        }
        data.sides.positive = { { 0, 1, 2, 4 }, { 0, 2, 2.5, 2.8 } };
        data.sides.negative = { { 0, -1, -2, -4 }, { 0, -2, -2.5, -2.8 } };
        analysis::PlotBackbone backbone;
        backbone.positive = { { 0, 1.2, 3.9 }, { 0, 1.8, 2.9 } };
        backbone.negative = { { 0, -1.2, -3.9 }, { 0, -1.8, -2.9 } };
        backbone.positiveBilinear = { { 0, 0.8, 3.5 }, { 0, 2.6, 2.6 } };
        backbone.negativeBilinear = { { 0, -0.8, -3.5 }, { 0, -2.6, -2.6 } };
        backbone.positiveLastCycle = { { 1.1, 3.7 }, { 1.5, 2.2 } };
        backbone.negativeLastCycle = { { -1.1, -3.7 }, { -1.5, -2.2 } };
        data.crossings.x = { 0.5, -0.5, 1.5 };
        data.crossings.y = { 1, -1, -2 };
        data.crossings.total = 3;
        plot.setData(data);
        plot.setBackbone(backbone);
        const auto picture = [&] {
            QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            plot.renderView(painter, image.rect());
            return image;
        };
        auto* layer = plot.findChild<QAction*>(action);
        QVERIFY(layer);
        const QImage before = picture();
        layer->toggle();
        QVERIFY(picture() != before);
        layer->toggle();
        QVERIFY(picture() == before);
    }

private:
    RecordingPresenter m_presenter;
};

QTEST_MAIN(TestPlotWindow)
#include "tst_plot_window.moc"
