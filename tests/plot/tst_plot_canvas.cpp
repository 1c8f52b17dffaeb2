#include "plot/clipped_lines.h"
#include "plot/plot_canvas.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

using plot::kPlotFileBox;
using plot::PlotCanvas;
using plot::PlotRecording;

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

    // Dots are stamped onto images without QPainter: round, of the stroke's width, centred where
    // asked at either pixel ratio, landing in the same pixels as the painter's lines, and leaving
    // a pixel that already holds their colour exactly as it is, whatever the colour.
    void stampedDotsAreRoundAndKeepPixelsOfTheirColour()
    {
        const double pi = std::acos(-1.0);
        for (const double ratio : { 1.0, 2.0 }) {
            for (const QPointF at :
                { QPointF(10.0, 10.0), QPointF(20.3125, 7.71), QPointF(5.5, 30.9) }) {
                QImage image = blankImage(QSize(40, 40), ratio);
                PlotCanvas canvas { QSizeF(40.0, 40.0) };
                canvas.setWindow(0.0f, 0.0f, 40.0f, 40.0f);
                canvas.setDevice(&image);
                canvas.line(0.0, 39.0, 39.0, 39.0, kBlue);  // the painter is open from here on
                QVERIFY(canvas.dot(at.x(), at.y(), Qt::black));
                canvas.end();
                double ink = 0.0;
                QPointF moment;
                for (int y = 0; y < image.height() - 4 * ratio; ++y)
                    for (int x = 0; x < image.width(); ++x) {
                        const double share = (255 - qRed(image.pixel(x, y))) / 255.0;
                        ink += share;
                        moment += QPointF(x + 0.5, y + 0.5) * share;
                    }
                const double radius = 1.25 * ratio;
                QVERIFY2(std::abs(ink / (pi * radius * radius) - 1.0) < 0.03,
                    qPrintable(QString::number(ink)));
                const QPointF centre = moment / ink / ratio;
                QVERIFY2(
                    std::abs(centre.x() - at.x()) < 0.05 && std::abs(centre.y() - at.y()) < 0.05,
                    qPrintable(QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y())));
                QVERIFY(qBlue(image.pixel(20, static_cast<int>(39 * ratio))) > 200);
            }
            for (const QColor& colour : { kRed, QColor(0, 59, 196), QColor(17, 130, 201) }) {
                QImage image(QSize(30, 30) * ratio, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(ratio);
                image.fill(colour);
                const QImage before = image.copy();
                PlotCanvas canvas { QSizeF(30.0, 30.0) };
                canvas.setWindow(0.0f, 0.0f, 30.0f, 30.0f);
                canvas.setDevice(&image);
                std::mt19937 random(5);
                std::uniform_real_distribution<double> anywhere(-2.0, 32.0);
                for (int i = 0; i < 5000; ++i)
                    canvas.dot(anywhere(random), anywhere(random), colour);
                canvas.end();
                QCOMPARE(image, before);
            }
        }
    }

    // A dot whose disc the image cuts off is blended pixel by pixel, one inside it a row of
    // pixels at a time: the pixels both reach come out alike, whatever lies under them.
    void stampedDotsBlendAlikeInsideAndAtTheEdge()
    {
        std::mt19937 random(11);
        QImage whole(QSize(24, 24), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                whole.setPixel(x, y, qRgb(random() % 256, random() % 256, random() % 256));
        const auto stamped = [](QImage image, QPointF at, const QColor& colour) {
            PlotCanvas canvas { QSizeF(image.size()) };
            canvas.setWindow(
                0.0f, 0.0f, static_cast<float>(image.width()), static_cast<float>(image.height()));
            canvas.setDevice(&image);
            canvas.dot(at.x(), at.y(), colour);
            canvas.end();
            return image;
        };
        for (const QColor& colour : { kRed, QColor(0, 59, 196), QColor(17, 130, 201) })
            for (int i = 0; i < 256; ++i) {
                const QPointF at(10.0 + (i % 16) / 16.0 + 0.01, 10.0 + (i / 16) / 16.0 + 0.02);
                const QImage cut = stamped(whole.copy(0, 0, 11, 11), at, colour);
                QCOMPARE(cut, stamped(whole, at, colour).copy(0, 0, 11, 11));
                QVERIFY(cut != whole.copy(0, 0, 11, 11));
            }
    }

    // Dots handed over together draw what they draw one at a time and leave the drawing position
    // where those leave it; a dot whose centre lies left of or above the image draws there what
    // it draws on an image reaching further.
    void dotsTogetherAndPastTheTopLeftEdge()
    {
        std::mt19937 random(3);
        std::uniform_real_distribution<float> near(-3.0f, 15.0f);
        std::vector<run::PlotDot> dots;
        for (int i = 0; i < 400; ++i)
            dots.push_back({ near(random), near(random),
                { 200, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 2) } });
        dots.push_back({ std::nanf(""), 1.0f, { 0, 0, 0 } });
        dots.push_back({ 3.0f, 1.0e30f, { 0, 0, 0 } });
        QImage single = blankImage(QSize(12, 12), 1.0);
        QImage together = single.copy();
        PlotCanvas one { QSizeF(12.0, 12.0) };
        PlotCanvas all { QSizeF(12.0, 12.0) };
        for (auto [canvas, image] : { std::pair(&one, &single), std::pair(&all, &together) }) {
            canvas->setWindow(0.0f, 0.0f, 12.0f, 12.0f);
            canvas->setDevice(image);
        }
        for (const run::PlotDot& d : dots)
            one.dot(d.x, d.y, QColor(d.colour.red, d.colour.green, d.colour.blue));
        QVERIFY(all.dots(dots));
        QCOMPARE(all.drawingPosition(), one.drawingPosition());
        one.end();
        all.end();
        QCOMPARE(together, single);

        for (const QPointF at : { QPointF(-0.3, 4.2), QPointF(3.1, -1.05), QPointF(-1.2, -0.6),
                 QPointF(-0.0625, -2.0) }) {
            QImage small = blankImage(QSize(8, 8), 1.0);
            QImage wide = blankImage(QSize(18, 18), 1.0);
            for (auto [image, shift] : { std::pair(&small, 0.0), std::pair(&wide, 10.0) }) {
                const auto side = static_cast<float>(image->width());
                PlotCanvas canvas { QSizeF(side, side) };
                canvas.setWindow(0.0f, 0.0f, side, side);
                canvas.setDevice(image);
                canvas.dot(at.x() + shift, at.y() + shift, kRed);
            }
            QCOMPARE(small, wide.copy(10, 10, 8, 8));
        }
    }

    // A wide antialiased line cut to the view before Qt strokes it shows what the whole line
    // shows there: lines inside, leaving and coming back across themselves, passing over.
    void linesCutToTheViewShowWhatTheWholeLinesShow()
    {
        const QRectF visible(20, 20, 160, 110);
        const QList<QPolygonF> lines {
            QPolygonF({ { 30, 30 }, { 170, 120 }, { 100, 40 } }),
            QPolygonF({ { 40, 60 }, { 4000, -3000 }, { 120, 100 }, { 150, 25.5 }, { -2500, 90 } }),
            QPolygonF({ { -5000, 70.25 }, { 5000, 80.75 }, { 5000, 4000 }, { 90, -4000 } }),
            QPolygonF({ { -300, -300 }, { -100, 500 }, { 60, 75 } }),
        };
        const auto drawn = [&](const QPolygonF& line, bool cut) {
            QImage image(200, 150, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setClipRect(visible);
            painter.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            if (cut)
                plot::drawPolylineWithin(painter, line, visible.adjusted(-8, -8, 8, 8));
            else
                painter.drawPolyline(line);
            return image;
        };
        for (const QPolygonF& line : lines) {
            const QImage whole = drawn(line, false);
            const QImage cut = drawn(line, true);
            int inked = 0;
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x) {
                    const QRgb a = whole.pixel(x, y);
                    const QRgb b = cut.pixel(x, y);
                    inked += a != qRgb(255, 255, 255);
                    // Qt's edges of a long line land a little off those of its cut piece.
                    QVERIFY2(std::max({ std::abs(qRed(a) - qRed(b)),
                                 std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) })
                            <= 2,
                        qPrintable(QString("pixel %1, %2").arg(x).arg(y)));
                }
            QVERIFY(inked > 200);
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
        using plot::PictureFormat;
        PlotRecording recording;
        drawRun(recording);

        QString error;
        const QByteArray png = plot::plotFile(recording, PictureFormat::Png, &error);
        QCOMPARE(error, QString());
        const QImage fromPng = QImage::fromData(png, "png");
        QCOMPARE(fromPng.size(), kPlotFileBox * 2);
        QCOMPARE(fromPng.pixelColor(0, fromPng.height() - 1), PlotCanvas::background());
        QVERIFY(countRed(fromPng) > 200);

        QSvgRenderer renderer(plot::plotFile(recording, PictureFormat::Svg, &error));
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

        // Drawn at once, calls before the last clear forgotten; or kept until there are too many
        // and drawn from then on: the same PNG, and an SVG that embeds the picture.
        PlotRecording live;
        live.drawOnto(plot::blankPlotFileImage());
        live.dot(1.0f, 1.0f, kRed);
        live.clear();
        drawRun(live);
        PlotRecording bounded;
        bounded.keepAtMost(10);
        drawRun(bounded);
        for (const PlotRecording* drawn : { &live, &bounded }) {
            QCOMPARE(drawn->size(), std::size_t { 0 });
            QCOMPARE(plot::plotFile(*drawn, PictureFormat::Png, &error), png);
            const QByteArray svg = plot::plotFile(*drawn, PictureFormat::Svg, &error);
            QVERIFY(QSvgRenderer(svg).isValid());
            QVERIFY(svg.contains("<image"));
            QVERIFY(!svg.contains("<polyline"));
        }
    }

    void picturesAreNamedByTheirExtension()
    {
        using plot::PictureFormat;
        QCOMPARE(plot::plotFileFormat("run.PNG"), std::optional(PictureFormat::Png));
        QCOMPARE(plot::plotFileFormat("a\xe9.svg"), std::optional(PictureFormat::Svg));
        for (const char* name : { "run.jpg", "png", "run.png.txt", "" })
            QVERIFY(!plot::plotFileFormat(name));
    }
};

QTEST_MAIN(TestPlotCanvas)
#include "tst_plot_canvas.moc"
