#include "plot/plot_ticks.h"

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

    // The round steps from `first` upwards: 1, 2, 5, 10, 20, ...
    double nextRoundStep(double step)
    {
        const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        const double mantissa = step / decade;
        if (mantissa < 1.5)
            return 2 * decade;
        if (mantissa < 3.5)
            return 5 * decade;
        return 10 * decade;
    }

}  // namespace

QString tickLabel(double value, double step)
{
    if (std::abs(value) < step * 1e-6)
        return QStringLiteral("0");
    // Twelve significant digits hide the binary rounding of a multiple of a decimal step.
    return QString::number(value, 'g', 12);
}

AxisTicks roundTicks(double low, double high, double pixels,
    const std::function<double(const QString&)>& labelExtent, double gap)
{
    AxisTicks ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || !(pixels > 1))
        return ticks;
    const double span = high - low;
    // Start no finer than one tick per ten pixels, then coarsen until the labels fit.
    double step = std::pow(10.0, std::floor(std::log10(span / (pixels / 10.0))));
    for (int attempt = 0; attempt < 64; ++attempt, step = nextRoundStep(step)) {
        const double first = std::ceil(low / step - 1e-9);
        const double last = std::floor(high / step + 1e-9);
        if (last - first > pixels)
            continue;
        std::vector<double> values;
        for (double k = first; k <= last; ++k)
            values.push_back(k * step);
        const double spacing = step / span * pixels;
        bool fits = true;
        double previous = 0;
        for (std::size_t i = 0; i < values.size() && fits; ++i) {
            const double extent = labelExtent(tickLabel(values[i], step));
            if (i > 0 && spacing < std::max(extent, previous) + gap)
                fits = false;
            previous = extent;
        }
        if (fits) {
            ticks.step = step;
            ticks.values = std::move(values);
            return ticks;
        }
    }
    return ticks;
}

}  // namespace plot
