#include "ui/main_window/plot_view.h"
#include "ui/plot/plot_canvas.h"
#include "ui/plot/plot_file.h"
#include "ui/plot/plot_recording.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <random>

using ui::kPlotFileBox;
using ui::PlotCanvas;
using ui::PlotRecording;
using ui::PlotView;
using ui::writePlotFile;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 200, 55);

// Calls shaped like a run's: window, axes, a record, a crossing and a curve.
template <typename Target>
void drawRun(Target& t)
{
    t.setWindow(-10.5f, -5.25f, 10.5f, 5.25f);
    t.line(-10.5f, 0.0f, 10.5f, 0.0f, kBlue);
    t.line(0.0f, -5.25f, 0.0f, 5.25f, kBlue);
    t.dot(0.0f, 0.0f, Qt::black);
    for (int i = 1; i <= 40; ++i) {
        const float x = static_cast<float>(i % 20 - 10) * 0.9f;
        t.lineTo(x, static_cast<float>(i % 7 - 3), i < 20 ? kGreen : kBlue);
    }
    t.dot(2.0f, 1.0f, kRed);
    t.dot(0.0f, 0.0f, kRed);
    t.lineTo(9.0f, -4.0f, kRed);
    t.lineTo(-9.0f, 4.0f, kRed);
}

int countRed(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            // Red, or an anti-aliased edge of red on white.
            if (c.red() - std::max(c.green(), c.blue()) > 100)
                ++count;
        }
    return count;
}

QImage blankImage(QSize size, double ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(PlotCanvas::background());
    return image;
}

}  // namespace

class TestPlotCanvas : public QObject
{
    Q_OBJECT

private slots:

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
            PlotCanvas canvas { QSizeF(box) };
            canvas.setDevice(&direct);
            drawRun(canvas);
        }
        QCOMPARE(direct, fromView);

        PlotRecording recording;
        recording.dot(1.0f, 1.0f, kRed);  // forgotten by the clear, as a run's first clear does
        recording.clear();
        drawRun(recording);
        QImage replayed = blankImage(box, fromView.devicePixelRatio());
        PlotCanvas canvas { QSizeF(box) };
        canvas.setDevice(&replayed);
        recording.replay(canvas);
        QCOMPARE(replayed, fromView);
        QVERIFY(countRed(fromView) > 50);
    }

    // Strokes that cannot change a pixel are skipped; the picture is still the one drawing
    // every call gives. Crowded dots and short zig-zags of one colour saturate their pixels, other
    // colours cross them (196 is a channel that drifts when drawn over itself), some ink falls off
    // the box; at the screen's two pixel ratios.
    void boundedDrawingGivesThePlainPicture()
    {
        const QColor colours[] = { kRed, Qt::black, kBlue, QColor(0, 59, 196), kGreen };
        for (const double ratio : { 1.0, 2.0 }) {
            QImage plain = blankImage(QSize(90, 40), ratio);
            QImage bounded = plain;
            PlotCanvas plainCanvas { QSizeF(90.0, 40.0) };
            PlotCanvas boundedCanvas { QSizeF(90.0, 40.0) };
            plainCanvas.setPlain(true);
            plainCanvas.setDevice(&plain);
            boundedCanvas.setDevice(&bounded);
            std::mt19937 random(5);
            std::normal_distribution<double> spread(0.0, 1.0);
            int skipped = 0;
            for (int i = 0; i < 60000; ++i) {
                // Runs of a few hundred calls in one colour, each around its own spot.
                const QColor& colour = colours[(i / 300) % 5];
                const double x = 10.0 + (i / 1500) % 8 * 10.0 + spread(random) * 2.0;
                const double y = 20.0 + (i / 300) % 3 * 15.0 - 15.0 + spread(random) * 2.0;
                bool p = false;
                bool b = false;
                switch (i % 3) {
                case 0:
                    p = plainCanvas.dot(x, y, colour);
                    b = boundedCanvas.dot(x, y, colour);
                    break;
                case 1:
                    p = plainCanvas.lineTo(x, y, colour);
                    b = boundedCanvas.lineTo(x, y, colour);
                    break;
                default: {
                    const double x2 = x + spread(random);
                    const double y2 = y + spread(random);
                    p = plainCanvas.line(x, y, x2, y2, colour);
                    b = boundedCanvas.line(x, y, x2, y2, colour);
                    break;
                }
                }
                skipped += p && !b;
            }
            plainCanvas.end();
            boundedCanvas.end();
            QCOMPARE(bounded, plain);
            QVERIFY2(skipped > 1000, qPrintable(QString::number(skipped)));
        }
    }

    void replayStartsFromTheOriginAsAClearedPictureDoes()
    {
        // The first lineTo of a replay starts at (0, 0), even on a canvas that drew before.
        PlotRecording recording;
        recording.setWindow(0.0f, 0.0f, 10.0f, 10.0f);
        recording.lineTo(10.0f, 10.0f, kRed);
        QImage image = blankImage(QSize(100, 100), 1.0);
        PlotCanvas canvas { QSizeF(100.0, 100.0) };
        canvas.setDevice(&image);
        canvas.setWindow(0.0f, 0.0f, 10.0f, 10.0f);
        canvas.dot(10.0f, 0.0f, kBlue);
        canvas.end();
        image.fill(PlotCanvas::background());
        recording.replay(canvas);
        QCOMPARE(canvas.drawingPosition(), QPointF(10.0, 10.0));
        QVERIFY(countRed(image.copy(40, 40, 20, 20)) > 10);  // the diagonal through the middle
        QCOMPARE(countRed(image.copy(70, 0, 30, 30)), 0);
    }

    void writesPngAndSvgPictures()
    {
        QTemporaryDir dir;
        PlotRecording recording;
        drawRun(recording);

        const QString png = dir.filePath(QStringLiteral("run.PNG"));
        QCOMPARE(writePlotFile(recording, png), QString());
        const QImage fromPng(png);
        QCOMPARE(fromPng.size(), kPlotFileBox * 2);
        QCOMPARE(fromPng.pixelColor(0, fromPng.height() - 1), PlotCanvas::background());
        QVERIFY(countRed(fromPng) > 200);

        const QString svg = dir.filePath(QStringLiteral("run.svg"));
        QCOMPARE(writePlotFile(recording, svg), QString());
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.viewBox(), QRect(QPoint(0, 0), kPlotFileBox));
        QImage fromSvg = blankImage(kPlotFileBox * 2, 1.0);
        {
            QPainter p(&fromSvg);
            renderer.render(&p);
        }
        // Same drawing, another rasteriser: the red ink lies in the same places.
        const QRect curve(fromPng.width() * 3 / 4, fromPng.height() / 8, 60, 60);
        QCOMPARE(countRed(fromSvg.copy(curve)) > 0, countRed(fromPng.copy(curve)) > 0);
        QVERIFY(countRed(fromSvg) > 200);
    }

    void failedPicturesSayWhyAndLeaveNoFile()
    {
        QTemporaryDir dir;
        PlotRecording recording;
        drawRun(recording);
        QVERIFY(!writePlotFile(recording, dir.filePath(QStringLiteral("run.jpg"))).isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("run.jpg"))));
        const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/run.png"));
        QVERIFY(!writePlotFile(recording, missingFolder).isEmpty());
        QVERIFY(!QFile::exists(missingFolder));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestPlotCanvas)
#include "tst_plot_canvas.moc"
