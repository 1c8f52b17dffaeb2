// Times the plot window on a noisy cyclic record of a million samples (offscreen): showing the
// data, then frames of the whole view, zoomed in and panned.
//
//   QT_QPA_PLATFORM=offscreen varnel-plot-window-bench [SAMPLES [PICTURE.png]]

#include "ui/plot_window/plot_window.h"

#include <QApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const long samples = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    ui::PlotData data;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 0.02);
    for (long i = 0; i < samples; ++i) {
        const double t = 60.0 * 2 * M_PI * static_cast<double>(i) / static_cast<double>(samples);
        const double amplitude = 1 + t / 40;
        data.x.push_back(amplitude * std::sin(t) + noise(random));
        data.y.push_back(40 * std::tanh(amplitude * std::sin(t) / 4) + 3 * amplitude * std::cos(t)
            + 10 * noise(random));
    }
    data.sides.positive = { { 0, 1, 2, 3 }, { 0, 20, 30, 35 } };
    data.sides.negative = { { 0, -1, -2, -3 }, { 0, -20, -30, -35 } };

    ui::PlotWindow window;
    window.resize(1200, 800);
    auto start = Clock::now();
    window.setData(data);
    window.show();
    window.plotArea()->grab();
    std::printf("plot window, %ld samples: open and first frame %.1f ms\n", samples,
        millisecondsSince(start));

    if (argc > 2)
        window.grab().save(QString::fromLocal8Bit(argv[2]));  // to look at the whole view

    const QPointF centre = window.plotArea()->dataRect().center();
    const auto frames = [&](const char* what, auto step) {
        double longest = 0;
        double total = 0;
        constexpr int count = 20;
        for (int i = 0; i < count; ++i) {
            step();
            start = Clock::now();
            window.plotArea()->grab();
            const double took = millisecondsSince(start);
            longest = std::max(longest, took);
            total += took;
        }
        std::printf("  %s: %.1f ms a frame on average, %.1f ms the longest\n", what, total / count,
            longest);
    };
    frames("whole view", [&] { window.resetView(); });
    frames("zooming in", [&] { window.zoomAround(centre, 0.8); });
    frames("panning", [&] { window.panByPixels(QPointF(7, 3)); });
    return 0;
}
