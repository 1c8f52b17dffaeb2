// The plot drawing on any plot data: records short and long (past the length where the
// renderer draws from its levels), crossings held and counted on a grid, curves, a backbone,
// loops and another run over it, with coordinates from a grid of quarters to the ends of the
// double range and, where asked, not finite; views of tiny and huge extent. Each is drawn
// offscreen by the report picture and the plot window's renderer into a PNG or an SVG of a
// size and resolution the input picks, the cycle charts of the record's tables likewise, and
// random calls of a run's picture box are recorded and written as the batch writes them. The
// process's address space may grow by 2 GB at most: a drawing must finish, or fail with a
// reason, within it, and a recording kept for an SVG must hold no more calls than it is let.
//
// Input: bytes 0 to 7 pick the picture, the layers, the view, the record's length and values,
// the crossings and the box; the rest are the values, taken round again as often as needed.
#include "analysis/run_plot.h"
#include "analysis/run_tables.h"
#include "fuzz_support.h"
#include "plot/cycle_charts.h"
#include "plot/overlay.h"
#include "plot/picture_file.h"
#include "plot/plot_canvas.h"
#include "plot/plot_data.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"
#include "plot/plot_renderer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// How far the address space may grow past what the process holds once it is set up.
constexpr rlim_t kMostGrowth = rlim_t { 2 } << 30;

// Mostly small pictures: Qt's painting and PNG writing take most of an input's time.
constexpr int kSides[] = { 16, 17, 40, 64, 120, 200, 333, 546 };
constexpr int kLargeSides[] = { 900, 1920, 8192, 9000 };  // the last is refused
constexpr int kResolutions[] = { 96, 48, 72, 150, 300, 1200, 47, 600 };  // 47 is refused
constexpr double kScales[] = { 1.0, 1e-300, 1e300, DBL_MAX / 4, 1e-5, 1e5, 0x1p-1000, 3.0 };
constexpr std::size_t kLengths[] = { 1, 16, 100, 300 };

// The input's values, taken round again when they run out, each round a little further out,
// so that a short input makes a long record that does not only repeat itself.
class Values
{
public:
    Values(const std::uint8_t* data, std::size_t size, int kind, double scale, bool holes)
        : m_data(data)
        , m_size(size)
        , m_kind(kind)
        , m_scale(scale)
        , m_holes(holes)
    {
    }

    std::uint8_t byte()
    {
        if (m_size == 0)
            return 0;
        if (m_at == m_size) {
            m_at = 0;
            ++m_round;
        }
        return m_data[m_at++];
    }

    double value()
    {
        const std::uint8_t b = byte();
        if (m_holes && b == 0x7F)
            return std::numeric_limits<double>::quiet_NaN();
        if (m_holes && (b == 0x80 || b == 0x81))
            return b == 0x80 ? HUGE_VAL : -HUGE_VAL;
        double v = 0.0;
        if (m_kind == 0) {
            v = static_cast<double>(static_cast<std::int8_t>(b)) / 4.0;
        } else if (m_kind == 1) {
            const auto w = static_cast<std::int16_t>(b | byte() << 8);
            v = static_cast<double>(w) / 1000.0;
        } else if (m_kind == 2) {
            std::uint32_t bits = b;
            for (int k = 1; k < 4; ++k)
                bits |= static_cast<std::uint32_t>(byte()) << (8 * k);
            float f = 0.0f;
            std::memcpy(&f, &bits, 4);
            v = m_holes || std::isfinite(f) ? static_cast<double>(f) : 0.0;
        } else {
            std::uint64_t bits = b;
            for (int k = 1; k < 8; ++k)
                bits |= static_cast<std::uint64_t>(byte()) << (8 * k);
            std::memcpy(&v, &bits, 8);
            if (!m_holes && !std::isfinite(v))
                v = 0.0;
        }
        v = v * (1.0 + static_cast<double>(m_round) / 64.0) * m_scale;
        if (!m_holes && !std::isfinite(v))
            v = std::copysign(DBL_MAX, v);
        return v;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    int m_kind;
    double m_scale;
    bool m_holes;
    std::size_t m_at = 0;
    std::uint64_t m_round = 0;
};

analysis::PlotSeries series(Values& values, std::size_t n)
{
    analysis::PlotSeries s;
    for (std::size_t i = 0; i < n; ++i) {
        s.x.push_back(values.value());
        s.y.push_back(values.value());
    }
    return s;
}

// Everything a drawing is given, made from the input.
struct Scene
{
    analysis::PlotData data;
    analysis::PlotData other;  // another run drawn over it
    analysis::RunTables tables;
    analysis::PlotBackbone backbone;
    plot::PlotStyle style;
    plot::PlotRange range;
};

void makeScene(Scene& scene, const std::uint8_t* head, Values& values)
{
    analysis::PlotData& d = scene.data;
    const std::size_t n = 1 + values.byte() % 64 * kLengths[head[3] & 3];
    run::Rows rows;
    for (std::size_t i = 0; i < n; ++i) {
        d.x.push_back(values.value());
        d.y.push_back(values.value());
        if (std::isfinite(d.x.back()) && std::isfinite(d.y.back())) {
            rows.x.push_back(d.x.back());
            rows.y.push_back(d.y.back());
            rows.lines.push(static_cast<std::int64_t>(i) + 1);
        }
    }
    if (head[3] & 4) {
        for (std::size_t i = 0; i < n; ++i) {
            d.colours.push_back(values.byte());
            d.lines.push_back(static_cast<std::uint32_t>(i % 3 == 0 ? 0 : i + 2));
        }
    }
    d.sides.positive.x = series(values, values.byte() % 24).x;
    d.sides.positive.y = series(values, d.sides.positive.x.size()).y;
    const analysis::PlotSeries negative = series(values, values.byte() % 24);
    d.sides.negative = { negative.x, negative.y };
    d.xColumn = head[4] & 3;
    d.yColumn = (head[4] >> 2) & 3;
    if (head[4] & 16) {
        d.xTitle = "top_displacement [mm] \xC3\xA4\xE2\x82\xAC";
        d.yTitle = std::string(static_cast<std::size_t>(values.byte()) * 3, 'F');
    }

    // Crossings: every one held, or past a few counted on a grid of a size the input picks.
    const std::size_t crossings = values.byte() % 32 * (head[6] & 1 ? 64 : 1);
    run::CrossingCollector collector(head[6] & 2 ? 4 : 100'000, 1 + (head[6] >> 2) % 8,
        1 + (head[6] >> 5), run::extentOf(d.x, d.y));
    for (std::size_t i = 0; i < crossings; ++i)
        collector.add(values.value(), values.value(), static_cast<std::int64_t>(i % 5));
    d.crossings = collector.take();

    scene.tables = analysis::analyseRows(rows, {});
    scene.backbone = analysis::plotBackbone(scene.tables);
    if (head[4] & 32) {
        // A backbone of its own values, as an overlay's may be.
        scene.backbone.positive = series(values, values.byte() % 6);
        scene.backbone.negativeBilinear = series(values, 3);
    }

    plot::PlotStyle& style = scene.style;
    const std::uint8_t layers = head[5];
    style.layers = { (layers & 1) == 0, (layers & 2) == 0, (layers & 4) == 0, (layers & 8) == 0,
        (layers & 16) == 0, (layers & 32) == 0, (layers & 64) != 0, (layers & 128) == 0,
        (head[4] & 64) == 0, (head[4] & 128) != 0 };
    style.backbone = &scene.backbone;
    style.highlight.point = (layers & 0x18) == 0x18;
    style.highlight.x = values.value();
    style.highlight.y = values.value();
    for (std::size_t k = 0; k < scene.tables.loops.size() && k < 3; ++k)
        style.highlight.loops.push_back(analysis::loopSeries(rows, scene.tables.loops[k]));
    if (head[6] & 0x80)
        style.highlight.loops.push_back(series(values, values.byte() % 8));
    if (head[7] & 1) {
        const analysis::PlotSeries record = series(values, values.byte() % 64);
        scene.other.x = record.x;
        scene.other.y = record.y;
        const analysis::PlotSeries curve = series(values, values.byte() % 24);
        scene.other.sides.positive = { curve.x, curve.y };
        style.overlays.push_back(
            { QColor(200, 0, 120), QStringLiteral("other"), &scene.other, &scene.backbone, true });
        style.overlayKey = (head[7] & 2) != 0;
    }

    // The view: all of it, or a part of tiny or huge extent around one of its values.
    scene.range = plot::fullPlotRange(d, style.overlays);
    const double cx = values.value();
    const double cy = values.value();
    const double span = std::ldexp(1.0, static_cast<int>(values.byte()) * 8 - 1024);
    const plot::PlotRange part { cx - span, cx + span, cy - span, cy + span };
    if ((head[7] & 4) && plot::usablePlotRange(part))
        scene.range = part;
}

void checkPicture(const QByteArray& bytes, const QString& error, plot::PictureFormat format)
{
    if (bytes.isEmpty()) {
        fuzz::check(!error.isEmpty(), "a picture failed without a reason");
        return;
    }
    if (format == plot::PictureFormat::Png)
        fuzz::check(bytes.startsWith("\x89PNG\r\n\x1A\n"), "a PNG without its signature");
    else
        fuzz::check(
            bytes.startsWith("<?xml") && bytes.trimmed().endsWith("</svg>"), "an SVG not whole");
}

plot::PictureSize pictureSize(const std::uint8_t* head)
{
    const bool large = (head[1] & 0xF0) == 0xF0;
    const int width = large ? kLargeSides[head[1] & 3] : kSides[head[1] % 8];
    const int height = kSides[(head[1] >> 3) % 8];
    return { QSize(width, height), kResolutions[head[2] % 8], 1 + ((head[2] >> 3) & 1) };
}

void drawReport(const Scene& scene, const std::uint8_t* head)
{
    const auto format = head[0] & 1 ? plot::PictureFormat::Svg : plot::PictureFormat::Png;
    QString error;
    // The report picture, drawn once.
    const QByteArray report = plot::pictureFile(
        [&](QPainter& painter, const QRect& target) {
            plot::renderPlot(painter, target, scene.data, scene.range, scene.style);
        },
        pictureSize(head), format, &error);
    checkPicture(report, error, format);

    // The window's renderer keeps its levels from view to view: the whole plot, then the view.
    if (head[0] & 2) {
        plot::PlotRenderer renderer(scene.data);
        QImage image(QSize(kSides[(head[2] >> 4) % 8], kSides[head[0] >> 5]), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const plot::PlotRange whole = plot::fullPlotRange(scene.data, scene.style.overlays);
        renderer.render(painter, image.rect(), whole, scene.style);
        renderer.render(painter, image.rect(), scene.range, scene.style);
        // The point under a cursor, as the window finds it.
        plot::PlotPointIndex index;
        index.build(scene.data);
        const double xPerPixel = (whole.xMax - whole.xMin) / image.width();
        const double yPerPixel = (whole.yMax - whole.yMin) / image.height();
        const plot::PlotPointRef near = index.nearest(scene.style.highlight.x,
            scene.style.highlight.y, xPerPixel, yPerPixel, 6.0, scene.style.layers);
        const std::size_t count = near.source == plot::PlotPointRef::Source::Record
            ? scene.data.x.size()
            : near.source == plot::PlotPointRef::Source::Positive
            ? scene.data.sides.positive.x.size()
            : scene.data.sides.negative.x.size();
        fuzz::check(!near || near.index < count, "the nearest point is none of the plot's");
    }

    if ((head[0] & 6) == 6) {
        const auto kind = plot::kCycleChartKinds[(head[0] >> 3) % 5];
        const plot::CycleChart chart = plot::cycleChart(scene.tables, kind);
        QString chartError;
        const QByteArray bytes = plot::pictureFile(
            [&](QPainter& painter, const QRect& target) {
                plot::drawCycleChart(painter, target, chart);
            },
            pictureSize(head), format, &chartError);
        checkPicture(bytes, chartError, format);
    }
}

// Calls of a run's picture box, recorded and written as the batch writes them: a PNG drawn as
// the calls come, or an SVG of a bounded number of calls; and replayed onto a box of another
// size, as the window does.
void drawBox(const std::uint8_t* head, Values& values)
{
    const bool png = (head[7] & 0x0C) == 0x0C;
    plot::PlotRecording recording;
    const std::size_t most = 1 + (head[7] >> 4) * 40;
    if (png)
        recording.drawOnto(plot::blankPlotFileImage());
    else
        recording.keepAtMost(most);
    const std::size_t calls = values.byte() * 8;
    const auto coordinate = [&] { return static_cast<float>(values.value()); };
    for (std::size_t i = 0; i < calls; ++i) {
        const std::uint8_t op = values.byte();
        const QColor colour(op, 255 - op, op / 2);
        switch (op % 8) {
        case 0:
            recording.setWindow(coordinate(), coordinate(), coordinate(), coordinate());
            break;
        case 1:
        case 2:
            recording.line(coordinate(), coordinate(), coordinate(), coordinate(), colour);
            break;
        case 3:
            recording.dot(coordinate(), coordinate(), colour);
            break;
        case 7:
            if (op == 7)
                recording.clear();
            break;
        default:
            recording.lineTo(coordinate(), coordinate(), colour);
            break;
        }
        if (!png)
            fuzz::check(recording.size() <= most + 1, "a recording kept more calls than let");
    }
    const auto format = png ? plot::PictureFormat::Png : plot::PictureFormat::Svg;
    QString error;
    checkPicture(plot::plotFile(recording, format, &error), error, format);

    if (!png) {
        const QSize box(kSides[head[2] % 8], kSides[head[1] % 8]);
        QImage image(box, QImage::Format_RGB32);
        plot::PlotCanvas canvas { QSizeF(box) };
        canvas.setDevice(&image);
        canvas.fillBackground();
        recording.replay(canvas);
        canvas.setDevice(nullptr);
    }
}

}  // namespace

// Under the address-space limit a picture too large for what is left fails as Qt reports it
// (a null image), rather than ending the process; freed memory is handed back sooner.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:quarantine_size_mb=64";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    // What the process holds now (ASan's reservations included), plus the growth allowed.
    rlimit limit {};
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long pages = 0;
        if (std::fscanf(statm, "%lu", &pages) == 1) {
            limit.rlim_cur = limit.rlim_max =
                static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE))
                + kMostGrowth;
            setrlimit(RLIMIT_AS, &limit);
        }
        std::fclose(statm);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kHead = 8;
    if (size < kHead)
        return 0;
    const std::uint8_t* head = data;
    Values values(data + kHead, size - kHead, head[3] >> 6, kScales[(head[3] >> 3) % 8],
        (head[3] & 4) != 0 && (head[6] & 0x40) != 0);
    Scene scene;
    makeScene(scene, head, values);
    drawReport(scene, head);
    drawBox(head, values);
    return 0;
}
