// Times the plot window on a noisy cyclic record of a million samples with tens of millions of
// crossings (offscreen): gathering the crossings as a run marks them, opening the window on the
// data, then frames of the whole view, zoomed in (both axes, X only) and panned, and the memory
// the window adds.
//
//   QT_QPA_PLATFORM=offscreen varnel-plot-window-bench [SAMPLES [CROSSINGS [PICTURE.png]]]
//
// BENCH_EACH=1 prints each frame's time; BENCH_FRAMES=FOLDER saves each frame there.

#include "plot/plot_data.h"
#include "ui/plot_window/plot_window.h"

#include <QApplication>
#include <QPixmap>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The process's resident memory now and at its peak, in MB.
void residentMemory(double& now, double& peak)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    now = peak = 0;
    while (status >> key) {
        double kb = 0;
        if (key == "VmRSS:" && status >> kb)
            now = kb / 1024;
        else if (key == "VmHWM:" && status >> kb)
            peak = kb / 1024;
    }
}

long wholeArgument(std::string_view text)
{
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const long samples = argc > 1 ? wholeArgument(argv[1]) : 1'000'000;
    const long crossings = argc > 2 ? wholeArgument(argv[2]) : 40'000'000;
    plot::PlotData data;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 0.02);
    run::Extent extent { 0, 0, 0, 0 };
    for (long i = 0; i < samples; ++i) {
        const double t = 60.0 * 2 * M_PI * static_cast<double>(i) / static_cast<double>(samples);
        const double amplitude = 1 + t / 40;
        const double x = amplitude * std::sin(t) + noise(random);
        const double y = 40 * std::tanh(amplitude * std::sin(t) / 4) + 3 * amplitude * std::cos(t)
            + 10 * noise(random);
        data.x.push_back(x);
        data.y.push_back(y);
        data.lines.push_back(static_cast<std::uint32_t>(i + 2));
        extent = { std::min(extent.xMin, x), std::max(extent.xMax, x), std::min(extent.yMin, y),
            std::max(extent.yMax, y) };
    }
    data.sides.positive = { { 0, 1, 2, 3 }, { 0, 20, 30, 35 } };
    data.sides.negative = { { 0, -1, -2, -3 }, { 0, -20, -30, -35 } };

    // The crossings a run would mark, on the record's segments.
    auto start = Clock::now();
    run::CrossingCollector collector(200'000, 1024, 1024, extent);
    std::uniform_int_distribution<long> segment(0, samples - 2);
    std::uniform_real_distribution<double> along(0, 1);
    for (long k = 0; k < crossings; ++k) {
        const auto i = static_cast<std::size_t>(segment(random));
        const double t = along(random);
        collector.add(data.x[i] + t * (data.x[i + 1] - data.x[i]),
            data.y[i] + t * (data.y[i + 1] - data.y[i]), 1);
    }
    data.crossings = collector.take();
    // The group colours a run draws the segments in: a group ends at each crossing, spread
    // evenly along the record here.
    data.colours.resize(data.x.size());
    for (long i = 0; i < samples; ++i) {
        const long group = 1
            + static_cast<long>(static_cast<double>(i) * static_cast<double>(crossings)
                / static_cast<double>(samples));
        data.colours[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((3 * (group % 255)) % 255);
    }
    std::printf("%ld crossings gathered in %.0f ms (%zu exact, a %d x %d grid)\n", crossings,
        millisecondsSince(start), data.crossings.x.size(), data.crossings.columns,
        data.crossings.rows);

    ui::PlotWindow window;
    window.resize(1200, 800);
    window.show();
    window.plotArea()->grab();
    double before = 0;
    double peak = 0;
    residentMemory(before, peak);
    start = Clock::now();
    window.setData(std::move(data));
    window.plotArea()->grab();
    std::printf("plot window, %ld samples: open and first frame %.1f ms\n", samples,
        millisecondsSince(start));
    double after = 0;
    residentMemory(after, peak);
    std::printf("  memory: %.0f MB before the data, %.0f MB after (%.0f MB the peak)\n", before,
        after, peak);

    if (argc > 3)
        window.grab().save(QString::fromLocal8Bit(argv[3]));  // to look at the whole view

    const QPointF centre = window.plotArea()->dataRect().center();
    const auto frames = [&](const char* what, auto step) {
        double longest = 0;
        double total = 0;
        constexpr int count = 20;
        for (int i = 0; i < count; ++i) {
            step();
            start = Clock::now();
            const QPixmap frame = window.plotArea()->grab();
            const double took = millisecondsSince(start);
            if (const char* folder = std::getenv("BENCH_FRAMES"))  // to compare frames
                frame.save(QStringLiteral("%1/%2 %3.png").arg(folder, what).arg(i));
            longest = std::max(longest, took);
            total += took;
            if (std::getenv("BENCH_EACH"))
                std::printf("    %.1f\n", took);
        }
        std::printf("  %s: %.1f ms a frame on average, %.1f ms the longest\n", what, total / count,
            longest);
    };
    frames("whole view", [&] { window.resetView(); });
    frames("zooming in", [&] { window.zoomAround(centre, 0.8); });
    frames("panning", [&] { window.panByPixels(QPointF(7, 3)); });
    window.resetView();
    frames("zooming in X only", [&] { window.zoomAround(centre, 0.8, 1); });
    window.resetView();
    frames("hovering", [&] {
        static int k = 0;
        window.hoverAt(centre + QPointF(k % 200 - 100, (k * 7) % 100 - 50));
        ++k;
    });
    return 0;
}
