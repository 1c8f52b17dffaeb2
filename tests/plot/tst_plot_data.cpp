// The plot apart from any window: the round ticks of its axes, the room the axes make for
// their labels, the legend's share of the plot, and the same colours in every picture format.

#include "plot/picture_file.h"
#include "plot/plot_renderer.h"
#include "plot/plot_ticks.h"

#include <QPaintEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// A paint engine that draws nothing and keeps each text drawn with the box it lands in.
class TextEngine : public QPaintEngine
{
public:
    struct Text
    {
        QString text;
        QRectF box;
    };

    TextEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }

    bool begin(QPaintDevice*) override
    {
        return true;
    }

    bool end() override
    {
        return true;
    }

    // Every shape comes down to these two.
    void updateState(const QPaintEngineState&) override { }

    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { }

    void drawPath(const QPainterPath&) override { }

    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { }

    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const QRectF box(
            p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        texts.append({ item.text(), painter()->combinedTransform().mapRect(box) });
    }

    Type type() const override
    {
        return QPaintEngine::User;
    }

    QList<Text> texts;
};

// An image of `size` pixels at `dpi` that keeps the texts drawn on it instead of drawing.
class TextPage : public QImage
{
public:
    TextPage(QSize size, int dpi)
        : QImage(size, QImage::Format_RGB32)
    {
        setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
        setDotsPerMeterY(dotsPerMeterX());
    }

    QPaintEngine* paintEngine() const override
    {
        return &engine;
    }

    mutable TextEngine engine;
};

// A cyclic record with its curve, crossings and group colours over `range`.
plot::PlotData cyclicData(const plot::PlotRange& r)
{
    plot::PlotData data;
    const double cx = (r.xMin + r.xMax) / 2;
    const double cy = (r.yMin + r.yMax) / 2;
    const double ax = (r.xMax - r.xMin) / 2;
    const double ay = (r.yMax - r.yMin) / 2;
    for (int i = 0; i <= 600; ++i) {
        const double t = i * 0.05;
        const double grow = (1 + i) / 601.0;
        data.x.push_back(cx + ax * grow * std::sin(t));
        data.y.push_back(cy + ay * grow * std::sin(t + 0.4));
        data.colours.push_back(static_cast<std::uint8_t>(i * 252 / 600));
    }
    data.sides.positive = { { cx, cx + ax / 2, cx + ax }, { cy, cy + ay / 2, cy + ay } };
    data.sides.negative = { { cx, cx - ax / 2, cx - ax }, { cy, cy - ay / 2, cy - ay } };
    data.crossings.x = { cx, cx + ax / 4 };
    data.crossings.y = { cy, cy - ay / 4 };
    data.crossings.total = 2;
    data.xColumn = 2;
    data.yColumn = 3;
    data.yTitle = "load [N] \u00d7 1000";
    return data;
}

}  // namespace

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

    // At any size, resolution and view, every tick label and title is drawn whole, inside the
    // picture, clear of every other: the axes make room for their widest label.
    void axesMakeRoomForTheirLabels_data()
    {
        QTest::addColumn<double>("xMin");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<double>("yMin");
        QTest::addColumn<double>("yMax");
        QTest::newRow("loads in newtons") << -4.2 << 4.2 << -125000.0 << 125000.0;
        QTest::newRow("zoomed deep") << 0.50059846 << 0.5005986 << 9173.254 << 9173.258;
        QTest::newRow("tiny") << -3e-7 << 2e-7 << -1.5e-9 << 1.5e-9;
        QTest::newRow("huge") << -2e12 << 7e12 << -3.3e15 << 1e15;
    }

    void axesMakeRoomForTheirLabels()
    {
        QFETCH(double, xMin);
        QFETCH(double, xMax);
        QFETCH(double, yMin);
        QFETCH(double, yMax);
        const plot::PlotRange range { xMin, xMax, yMin, yMax };
        const plot::PlotData data = cyclicData(range);
        plot::PlotStyle style;
        style.layers.legend = false;
        for (const QSize screen : { QSize(240, 180), QSize(640, 400), QSize(1800, 1200) }) {
            for (const int dpi : { 96, 192 }) {
                // The same picture drawn finer at a higher resolution.
                const QSize size = screen * dpi / 96;
                TextPage page(size, dpi);
                {
                    QPainter painter(&page);
                    plot::renderPlot(painter, QRect(QPoint(0, 0), size), data, range, style);
                }
                const QString where = QStringLiteral("%1 x %2 at %3 dpi: ")
                                          .arg(size.width())
                                          .arg(size.height())
                                          .arg(dpi);
                const QList<TextEngine::Text>& texts = page.engine.texts;
                QVERIFY2(texts.size() >= 4, qPrintable(where + QString::number(texts.size())));
                const QRectF inside = QRectF(QPoint(0, 0), size).adjusted(-0.5, -0.5, 0.5, 0.5);
                for (qsizetype i = 0; i < texts.size(); ++i) {
                    const TextEngine::Text& t = texts[i];
                    QVERIFY2(!t.text.contains(QChar(0x2026)), qPrintable(where + t.text));
                    QVERIFY2(inside.contains(t.box), qPrintable(where + t.text));
                    for (qsizetype j = 0; j < i; ++j) {
                        const QRectF both = t.box.intersected(texts[j].box);
                        QVERIFY2(both.width() < 1 || both.height() < 2,
                            qPrintable(where + t.text + " over " + texts[j].text));
                    }
                }
            }
        }
    }

    // The legend shows in a roomy plot and never covers more than a third of the data: in a
    // small one it shrinks, or stays out.
    void legendCoversAtMostAThird()
    {
        const plot::PlotRange range { -10, 10, -200, 200 };
        const plot::PlotData data = cyclicData(range);
        analysis::PlotBackbone backbone;
        backbone.positive = { { 0, 5, 10 }, { 0, 150, 190 } };
        backbone.positiveBilinear = { { 0, 4, 10 }, { 0, 170, 170 } };
        for (const QSize size : { QSize(900, 600), QSize(420, 300), QSize(240, 180) }) {
            const auto draw = [&](bool legend) {
                QImage image(size, QImage::Format_RGB32);
                QPainter painter(&image);
                plot::PlotStyle style;
                style.layers.legend = legend;
                style.backbone = &backbone;
                plot::renderPlot(painter, image.rect(), data, range, style);
                return image;
            };
            const QImage with = draw(true);
            const QImage without = draw(false);
            int changed = 0;
            for (int y = 0; y < with.height(); ++y)
                for (int x = 0; x < with.width(); ++x)
                    changed += with.pixel(x, y) != without.pixel(x, y);
            const QRect d =
                plot::PlotRenderer::dataRect(with.rect(), QFontMetricsF(QFont(), &with), range);
            QVERIFY2(changed <= d.width() * d.height() / 3, qPrintable(QString::number(changed)));
            if (size.width() >= 900)
                QVERIFY(changed > 0);
        }
    }

    // A long record's outline is bounded, in order, from its first point to its last, and draws
    // the record's picture; a short record is kept whole.
    void recordOutlineDrawsTheRecord()
    {
        plot::PlotData record;
        for (int i = 0; i < 300'000; ++i) {
            const double t = i * 0.001;  // some fifty growing loops
            record.x.push_back((1 + 0.02 * t) * std::sin(t));
            record.y.push_back(40 * std::tanh(record.x.back()) + 5 * std::cos(t));
        }
        const std::size_t n = record.x.size();
        QCOMPARE(plot::outlineIndices(record.x.data(), record.y.data(), 1000, 1000).size(),
            std::size_t(1000));
        const std::vector<std::size_t> kept =
            plot::outlineIndices(record.x.data(), record.y.data(), n, 100'000, 2048);
        QVERIFY(kept.size() <= 100'000 && kept.size() < n / 2);
        QVERIFY(std::is_sorted(kept.begin(), kept.end()));
        QVERIFY(std::adjacent_find(kept.begin(), kept.end()) == kept.end());
        QCOMPARE(kept.front(), std::size_t(0));
        QCOMPARE(kept.back(), n - 1);
        plot::PlotData outline;
        for (const std::size_t i : kept) {
            outline.x.push_back(record.x[i]);
            outline.y.push_back(record.y[i]);
        }
        const plot::PlotRange range = plot::fullPlotRange(record);
        const auto draw = [&](const plot::PlotData& data) {
            QImage image(QSize(700, 500), QImage::Format_RGB32);
            QPainter painter(&image);
            plot::PlotStyle style;
            style.layers.legend = false;
            style.layers.grid = false;
            plot::renderPlot(painter, image.rect(), data, range, style);
            return image;
        };
        const QImage whole = draw(record);
        const QImage drawn = draw(outline);
        // Ink of either picture has ink of the other within a pixel.
        const auto inkNear = [](const QImage& image, int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (image.valid(x + dx, y + dy)
                        && image.pixel(x + dx, y + dy) != qRgb(255, 255, 255))
                        return true;
            return false;
        };
        int inked = 0;
        int missed = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x) {
                const bool a = whole.pixel(x, y) != qRgb(255, 255, 255);
                const bool b = drawn.pixel(x, y) != qRgb(255, 255, 255);
                inked += a;
                missed += (a && !inkNear(drawn, x, y)) || (b && !inkNear(whole, x, y));
            }
        QVERIFY2(missed * 200 < inked,
            qPrintable(
                QStringLiteral("%1 of %2, %3 kept").arg(missed).arg(inked).arg(kept.size())));
    }

    // The SVG shows the PNG's picture: read back by another renderer, no coloured ink of the
    // PNG (the record's group colours and their swatch in the legend among it) turns black
    // or grey.
    void svgHasThePngsColours()
    {
        const plot::PlotRange range { -10, 10, -200, 200 };
        const plot::PlotData data = cyclicData(range);
        plot::PlotStyle style;
        style.highlight.loops.push_back(
            { std::vector<double>(data.x.begin() + 100, data.x.begin() + 300),
                std::vector<double>(data.y.begin() + 100, data.y.begin() + 300) });
        const plot::PictureSize size { QSize(700, 450), 96 };
        const auto drawing = [&](QPainter& painter, const QRect& target) {
            plot::renderPlot(painter, target, data, range, style);
        };
        const QImage png =
            QImage::fromData(plot::pictureFile(drawing, size, plot::PictureFormat::Png), "png")
                .convertToFormat(QImage::Format_RGB32);
        QSvgRenderer renderer(plot::pictureFile(drawing, size, plot::PictureFormat::Svg));
        QVERIFY(renderer.isValid());
        QImage svg(size.pixels, QImage::Format_RGB32);
        svg.fill(Qt::white);
        {
            QPainter painter(&svg);
            renderer.render(&painter, QRectF(svg.rect()));
        }
        QCOMPARE(png.size(), svg.size());
        // A hairline may come out paler from the other rasteriser, but not without colour.
        const auto saturation = [](QRgb c) { return QColor(c).hsvSaturation(); };
        int inked = 0;
        int lost = 0;
        for (int y = 1; y + 1 < png.height(); ++y)
            for (int x = 1; x + 1 < png.width(); ++x) {
                if (saturation(png.pixel(x, y)) < 120)
                    continue;
                ++inked;
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx)
                        found = saturation(svg.pixel(x + dx, y + dy)) > 30;
                lost += !found;
            }
        QVERIFY(inked > 1000);
        QVERIFY2(lost <= inked / 500, qPrintable(QStringLiteral("%1 of %2").arg(lost).arg(inked)));
    }
};

QTEST_MAIN(TestPlotData)
#include "tst_plot_data.moc"
