#include "plot/plot_canvas.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"
#include "ui/main_window/plot_view.h"
#include "ui_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <span>
#include <vector>

using ui::PlotView;

namespace {

const QColor kRed(255, 0, 0);

// Counts pixels that are clearly `colour` (anti-aliased edges aside).
int countNear(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 60 && std::abs(c.green() - colour.green()) < 60
                && std::abs(c.blue() - colour.blue()) < 60)
                ++count;
        }
    return count;
}

// True when something other than the background lies within `radius` pixels of (x, y).
bool inkNear(const QImage& image, double x, double y, int radius = 1)
{
    const double ratio = image.devicePixelRatio();
    const int cx = static_cast<int>(x * ratio), cy = static_cast<int>(y * ratio);
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = cx + dx, py = cy + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height()
                && image.pixelColor(px, py) != PlotView::background())
                return true;
        }
    return false;
}

// Calls shaped like a run's: window, axes, a record, a crossing and a curve.
template <typename Target>
void drawRun(Target& t)
{
    const QColor blue(0, 0, 255);
    const QColor green(0, 200, 55);
    t.setWindow(-10.5f, -5.25f, 10.5f, 5.25f);
    t.line(-10.5f, 0.0f, 10.5f, 0.0f, blue);
    t.line(0.0f, -5.25f, 0.0f, 5.25f, blue);
    t.dot(0.0f, 0.0f, Qt::black);
    for (int i = 1; i <= 40; ++i) {
        const float x = static_cast<float>(i % 20 - 10) * 0.9f;
        t.lineTo(x, static_cast<float>(i % 7 - 3), i < 20 ? green : blue);
    }
    t.dot(2.0f, 1.0f, kRed);
    t.dot(0.0f, 0.0f, kRed);
    t.lineTo(9.0f, -4.0f, kRed);
    t.lineTo(-9.0f, 4.0f, kRed);
}

QImage blankImage(QSize size, double ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(PlotView::background());
    return image;
}

}  // namespace

class TestPlotView : public QObject
{
    Q_OBJECT

private slots:

    void init()
    {
        m_view.resize(273, 217);
        m_view.clear();
        m_view.setWindow(-10.0f, -5.0f, 10.0f, 5.0f);
    }

    // The window's picture box and the picture files draw through the same canvas: the same
    // calls give the same pixels, whether drawn at once or recorded and replayed.
    void windowDirectAndReplayedPicturesAreTheSame()
    {
        PlotView view;
        view.resize(273, 217);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.clear();
        drawRun(view);
        const QImage fromView = view.picture();

        const QSize box = view.contentsRect().size();
        QImage direct = blankImage(box, fromView.devicePixelRatio());
        {
            plot::PlotCanvas canvas { QSizeF(box) };
            canvas.setDevice(&direct);
            drawRun(canvas);
        }
        QCOMPARE(direct, fromView);

        plot::PlotRecording recording;
        recording.dot(1.0f, 1.0f, kRed);  // forgotten by the clear, as a run's first clear does
        recording.clear();
        drawRun(recording);
        QImage replayed = blankImage(box, fromView.devicePixelRatio());
        plot::PlotCanvas canvas { QSizeF(box) };
        canvas.setDevice(&replayed);
        recording.replay(canvas);
        QCOMPARE(replayed, fromView);
        QVERIFY(countNear(fromView, kRed) > 50);
    }

    void windowMapsOntoTheBoxInsideItsFrame()
    {
        const QSizeF box = m_view.contentsRect().size();
        QCOMPARE(m_view.toPixels(-10.0, -5.0), QPointF(0.0, 0.0));
        QCOMPARE(m_view.toPixels(10.0, 5.0), QPointF(box.width(), box.height()));
        QCOMPARE(m_view.toPixels(0.0, 0.0), QPointF(box.width() / 2, box.height() / 2));
        // A reversed window mirrors the picture, as the run's y-down plot relies on.
        m_view.setWindow(10.0f, 5.0f, -10.0f, -5.0f);
        QCOMPARE(m_view.toPixels(10.0, 5.0), QPointF(0.0, 0.0));
    }

    void drawingPositionFollowsDotsAndLines()
    {
        m_view.dot(1.0, 2.0, kRed);
        QCOMPARE(m_view.drawingPosition(), QPointF(1.0, 2.0));
        m_view.lineTo(3.0, -1.0, kRed);
        QCOMPARE(m_view.drawingPosition(), QPointF(3.0, -1.0));
        m_view.line(-4.0, 0.0, -2.0, 1.0, kRed);
        QCOMPARE(m_view.drawingPosition(), QPointF(-2.0, 1.0));
        m_view.clear();
        QCOMPARE(m_view.drawingPosition(), QPointF(0.0, 0.0));
    }

    void drawsWhereTheWindowSaysAndClearEmpties()
    {
        m_view.line(-10.0, 0.0, 10.0, 0.0, kRed);
        m_view.dot(5.0, -2.5, QColor(0, 0, 255));
        QImage picture = m_view.picture();
        const QSizeF box = m_view.contentsRect().size();
        QVERIFY(inkNear(picture, box.width() * 0.25, box.height() / 2));
        QVERIFY(inkNear(picture, box.width() * 0.75, box.height() * 0.25));
        QVERIFY(!inkNear(picture, box.width() * 0.25, box.height() * 0.75, 3));
        QVERIFY(countNear(picture, kRed) > 200);

        m_view.clear();
        picture = m_view.picture();
        QCOMPARE(countNear(picture, kRed), 0);
    }

    void pictureSurvivesRepaint()
    {
        // Drawing, a repaint of the widget, more drawing and another repaint: the painter
        // kept open for speed must not lose or hide anything.
        m_view.line(-10.0, -5.0, 10.0, 5.0, kRed);
        const QImage first = m_view.grab().toImage();
        m_view.lineTo(-10.0, 0.0, kRed);
        const QImage second = m_view.grab().toImage();
        QVERIFY(countNear(first, kRed) > 100);
        QVERIFY(countNear(second, kRed) > countNear(first, kRed) + 100);
    }

    // A record whose X (or Y) never changes gives a window of no width (or height).
    void windowOfNoWidthOrHeightStillDraws()
    {
        m_view.setWindow(5.25f, -3.0f, 5.25f, 3.0f);
        const QSizeF box = m_view.contentsRect().size();
        QCOMPARE(m_view.toPixels(5.25, 0.0).x(), box.width() / 2);
        m_view.line(5.25, -3.0, 5.25, 3.0, kRed);
        m_view.line(0.0, 0.0, 10.0, 0.0, QColor(0, 0, 255));
        QImage picture = m_view.picture();
        QVERIFY(inkNear(picture, box.width() / 2, box.height() / 4));
        QVERIFY(inkNear(picture, box.width() * 0.9, box.height() / 2));

        m_view.clear();
        m_view.setWindow(0.0f, 0.0f, 0.0f, 0.0f);
        m_view.line(0.0, 0.0, 0.5, 0.5, kRed);
        picture = m_view.picture();
        QVERIFY(inkNear(picture, box.width() / 2, box.height() / 2));
        QVERIFY(inkNear(picture, box.width() * 0.6, box.height() * 0.6, 2));
    }

    void farAndNonFiniteCoordinatesDoNotBreakTheDrawing()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const QSizeF box = m_view.contentsRect().size();
        // A line to a point far outside is clipped, keeping its direction.
        m_view.line(0.0, 0.0, 3.0e38, 1.5e38, kRed);
        QImage picture = m_view.picture();
        QVERIFY(inkNear(picture, box.width() * 0.75, box.height() * 0.75));

        m_view.clear();
        m_view.dot(nan, 1.0, kRed);
        m_view.lineTo(2.0, 2.0, kRed);
        m_view.line(inf, 0.0, 1.0, 1.0, kRed);
        m_view.lineTo(-inf, nan, kRed);
        m_view.dot(1.0e300, 1.0e300, kRed);
        QCOMPARE(countNear(m_view.picture(), kRed), 0);

        // Windows with infinite or undefined edges still map the finite coordinates.
        const float finf = std::numeric_limits<float>::infinity();
        const float fnan = std::numeric_limits<float>::quiet_NaN();
        m_view.setWindow(-finf, fnan, finf, fnan);
        const QPointF origin = m_view.toPixels(0.0, 0.0);
        QVERIFY(std::isfinite(origin.x()) && std::isfinite(origin.y()));
        QCOMPARE(origin, QPointF(box.width() / 2, box.height() / 2));
        m_view.line(-1.0, 0.0, 1.0, 0.0, kRed);
        m_view.setWindow(0.0f, 0.0f, 1.0e-45f, 3.0e38f);
        m_view.line(0.0, 0.0, 3.0e38, 3.0e38, kRed);
        m_view.dot(1.0, 1.0, kRed);
        QVERIFY(!m_view.grab().isNull());
    }

    // Saving draws the picture afresh at the file's resolution; copying hands over the box's
    // image; neither is offered before anything is drawn.
    void savePictureAndCopyPicture()
    {
        QAction* save = m_view.savePictureAction();
        QAction* copy = m_view.copyPictureAction();
        QVERIFY(!save->isEnabled() && !copy->isEnabled());
        m_view.line(-8.0, -4.0, 8.0, 4.0, kRed);
        QVERIFY(save->isEnabled() && copy->isEnabled());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        RecordingPresenter presenter;
        ui::setMessagePresenter(&presenter);
        QString answer;
        m_view.askPictureName = [&](const QString&) { return answer; };
        answer = dir.filePath(QStringLiteral("run"));  // no extension: a PNG
        save->trigger();
        const QImage png(dir.filePath(QStringLiteral("run.png")));
        QCOMPARE(png.size(), plot::kPlotFileBox * 2);
        QVERIFY(countNear(png, kRed) > 2 * countNear(m_view.picture(), kRed));
        answer = dir.filePath(QStringLiteral("run.SVG"));
        save->trigger();
        QVERIFY(readAll(answer).contains("<svg"));
        // A link at the name is refused with a warning and left pointing where it did.
        answer = dir.filePath(QStringLiteral("link.png"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere.png")), answer));
        save->trigger();
        QCOMPARE(presenter.messages.size(), 1);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("elsewhere.png"))));
        answer.clear();  // cancelled
        save->trigger();
        QCOMPARE(presenter.messages.size(), 1);
        // A drawing too large to keep is saved as the box shows it.
        m_view.setRecordingLimit(100);
        for (int i = 0; i < 101; ++i)
            m_view.dot(0.0, 0.0, kRed);
        answer = dir.filePath(QStringLiteral("large.png"));
        save->trigger();
        QCOMPARE(QImage(answer), m_view.picture().convertToFormat(QImage::Format_ARGB32));
        // Dots handed over together count as many calls: a hundred are kept, one more is not.
        m_view.clear();
        const std::vector<run::PlotDot> dots(100, run::PlotDot { 0.5f, 0.5f, { 255, 0, 0 } });
        m_view.dots(dots);
        answer = dir.filePath(QStringLiteral("kept.png"));
        save->trigger();
        QCOMPARE(QImage(answer).size(), plot::kPlotFileBox * 2);
        m_view.dots(std::span(dots).first(1));
        save->trigger();
        QCOMPARE(QImage(answer), m_view.picture().convertToFormat(QImage::Format_ARGB32));
        ui::setMessagePresenter(nullptr);

        copy->trigger();
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), m_view.picture().size());
        QVERIFY(countNear(copied, kRed) > 0);

        m_view.clear();
        QVERIFY(!save->isEnabled() && !copy->isEnabled());
    }

private:
    PlotView m_view;
};

QTEST_MAIN(TestPlotView)
#include "tst_plot_view.moc"
