#include "plot/overlay.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace plot {

QColor overlayColour(std::size_t index)
{
    // Strong colours apart from the main run's grey record, orange and blue curve and green
    // backbone, darkest first, so that the first few runs of a series print well in grey too.
    static const std::array<QColor, 12> kColours = { QColor(31, 80, 180), QColor(214, 39, 40),
        QColor(20, 140, 60), QColor(148, 60, 189), QColor(230, 130, 0), QColor(120, 70, 40),
        QColor(220, 70, 170), QColor(0, 160, 190), QColor(130, 140, 0), QColor(70, 70, 70),
        QColor(110, 150, 255), QColor(255, 100, 90) };
    return kColours[index % kColours.size()];
}

namespace {

    // One pass of outlineIndices at `columns` columns; stops early, returning false, once
    // more than `most` are kept, unless there is one column (no coarser pass to try).
    bool outline(const double* x, const double* y, std::size_t n, std::size_t most, int columns,
        double xMin, double width, std::vector<std::size_t>& kept)
    {
        kept.clear();
        std::size_t first = 0;
        std::size_t low = 0;
        std::size_t high = 0;
        std::size_t last = 0;
        std::size_t count = 0;
        double column = 0;
        const auto keep = [&](std::size_t i) {
            if (kept.empty() || kept.back() != i)
                kept.push_back(i);
        };
        const auto endStretch = [&] {
            if (count == 0)
                return;
            keep(first);
            if (count > 2) {
                keep(std::min(low, high));
                keep(std::max(low, high));
            }
            keep(last);
            count = 0;
        };
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
                endStretch();
                keep(i);
            } else {
                const double c = std::clamp(
                    std::floor((x[i] - xMin) / width * columns), 0.0, double(columns - 1));
                if (count > 0 && c == column) {
                    if (y[i] < y[low])
                        low = i;
                    if (y[i] > y[high])
                        high = i;
                    last = i;
                    ++count;
                } else {
                    endStretch();
                    column = c;
                    first = low = high = last = i;
                    count = 1;
                }
            }
            if (kept.size() > most && columns > 1)
                return false;
        }
        endStretch();
        return kept.size() <= most || columns == 1;
    }

}  // namespace

std::vector<std::size_t> outlineIndices(
    const double* x, const double* y, std::size_t n, std::size_t most, int columns)
{
    std::vector<std::size_t> kept;
    if (n <= most) {
        kept.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            kept[i] = i;
        return kept;
    }
    double xMin = 0;
    double xMax = 0;
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]))
            continue;
        xMin = any ? std::min(xMin, x[i]) : x[i];
        xMax = any ? std::max(xMax, x[i]) : x[i];
        any = true;
    }
    const double width = xMax - xMin;
    // A record of one X, or of none, is one column.
    if (!(width > 0) || !std::isfinite(width))
        columns = 1;
    for (columns = std::max(1, columns);; columns /= 2)
        if (outline(x, y, n, most, columns, xMin, width > 0 ? width : 1.0, kept))
            return kept;
}

}  // namespace plot
