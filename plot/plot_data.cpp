#include "plot/plot_data.h"

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

    constexpr std::size_t kIndexColumns = 4096;
    // A query looks at no more points than this, so that a pile of points under the cursor
    // cannot stall the mouse.
    constexpr std::size_t kMaxCandidates = 200'000;

}  // namespace

void PlotPointIndex::build(const PlotData& data)
{
    m_data = &data;
    m_order.clear();
    m_columnStart.assign(kIndexColumns + 1, 0);
    const std::size_t n = std::min(data.x.size(), data.y.size());
    const std::size_t p = std::min(data.sides.positive.x.size(), data.sides.positive.y.size());
    const std::size_t q = std::min(data.sides.negative.x.size(), data.sides.negative.y.size());
    const std::size_t total = n + p + q;
    // Indices are held in 32 bits; a larger plot has no hover.
    if (total == 0 || total >= UINT32_MAX)
        return;
    const auto at = [&](std::size_t i, double& x, double& y) {
        if (i < n) {
            x = data.x[i];
            y = data.y[i];
        } else if (i < n + p) {
            x = data.sides.positive.x[i - n];
            y = data.sides.positive.y[i - n];
        } else {
            x = data.sides.negative.x[i - n - p];
            y = data.sides.negative.y[i - n - p];
        }
        return std::isfinite(x) && std::isfinite(y);
    };
    double xMin = 0;
    double xMax = 0;
    bool any = false;
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (!at(i, x, y))
            continue;
        xMin = any ? std::min(xMin, x) : x;
        xMax = any ? std::max(xMax, x) : x;
        any = true;
    }
    if (!any)
        return;
    m_xMin = xMin;
    m_columnWidth = (xMax - xMin) / kIndexColumns;
    if (!(m_columnWidth > 0) || !std::isfinite(m_columnWidth))
        m_columnWidth = 1;
    const auto columnOf = [&](double x) {
        const double k = std::floor((x - m_xMin) / m_columnWidth);
        return static_cast<std::size_t>(std::clamp(k, 0.0, double(kIndexColumns - 1)));
    };
    // A counting sort into the columns, then each column by y.
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (at(i, x, y))
            ++m_columnStart[columnOf(x) + 1];
    }
    for (std::size_t c = 0; c < kIndexColumns; ++c)
        m_columnStart[c + 1] += m_columnStart[c];
    m_order.resize(m_columnStart[kIndexColumns]);
    std::vector<std::uint32_t> next(m_columnStart.begin(), m_columnStart.end() - 1);
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (at(i, x, y))
            m_order[next[columnOf(x)]++] = static_cast<std::uint32_t>(i);
    }
    std::vector<double> ys(m_order.size());
    for (std::size_t k = 0; k < m_order.size(); ++k) {
        double x = 0;
        at(m_order[k], x, ys[k]);
    }
    std::vector<std::pair<double, std::uint32_t>> column;
    for (std::size_t c = 0; c < kIndexColumns; ++c) {
        column.clear();
        for (std::size_t k = m_columnStart[c]; k < m_columnStart[c + 1]; ++k)
            column.emplace_back(ys[k], m_order[k]);
        std::sort(column.begin(), column.end());
        for (std::size_t k = 0; k < column.size(); ++k)
            m_order[m_columnStart[c] + k] = column[k].second;
    }
}

PlotPointRef PlotPointIndex::nearest(double x, double y, double xPerPixel, double yPerPixel,
    double radius, const PlotLayers& layers) const
{
    PlotPointRef best;
    if (!m_data || m_order.empty() || !(xPerPixel > 0) || !(yPerPixel > 0))
        return best;
    const PlotData& data = *m_data;
    const std::size_t n = std::min(data.x.size(), data.y.size());
    const std::size_t p = std::min(data.sides.positive.x.size(), data.sides.positive.y.size());
    const double rx = radius * xPerPixel;
    const double ry = radius * yPerPixel;
    const double first = std::floor((x - rx - m_xMin) / m_columnWidth);
    const double last = std::floor((x + rx - m_xMin) / m_columnWidth);
    if (!(last >= 0) || !(first < double(kIndexColumns)))
        return best;
    const auto from = static_cast<std::size_t>(std::max(first, 0.0));
    const auto to = static_cast<std::size_t>(std::min(last, double(kIndexColumns - 1)));
    double bestDistance = radius * radius;
    std::size_t looked = 0;
    for (std::size_t c = from; c <= to && looked < kMaxCandidates; ++c) {
        // The column's points are in y order: only those within ry of the cursor count.
        const auto yOf = [&](std::uint32_t i) {
            if (i < n)
                return data.y[i];
            if (i < n + p)
                return data.sides.positive.y[i - n];
            return data.sides.negative.y[i - n - p];
        };
        const auto begin = m_order.begin() + static_cast<std::ptrdiff_t>(m_columnStart[c]);
        const auto end = m_order.begin() + static_cast<std::ptrdiff_t>(m_columnStart[c + 1]);
        auto it = std::lower_bound(
            begin, end, y - ry, [&](std::uint32_t i, double v) { return yOf(i) < v; });
        for (; it != end && yOf(*it) <= y + ry && looked < kMaxCandidates; ++it, ++looked) {
            const std::uint32_t i = *it;
            PlotPointRef ref;
            double px = 0;
            if (i < n) {
                if (!layers.record)
                    continue;
                ref = { PlotPointRef::Source::Record, i };
                px = data.x[i];
            } else if (i < n + p) {
                if (!layers.positive)
                    continue;
                ref = { PlotPointRef::Source::Positive, i - n };
                px = data.sides.positive.x[i - n];
            } else {
                if (!layers.negative)
                    continue;
                ref = { PlotPointRef::Source::Negative, i - n - p };
                px = data.sides.negative.x[i - n - p];
            }
            const double dx = (px - x) / xPerPixel;
            const double dy = (yOf(i) - y) / yPerPixel;
            const double distance = dx * dx + dy * dy;
            // The record point wins a tie with a curve point on it: it has the data line.
            if (distance < bestDistance
                || (distance == bestDistance && best && best.source != PlotPointRef::Source::Record
                    && ref.source == PlotPointRef::Source::Record)) {
                bestDistance = distance;
                best = ref;
            }
        }
    }
    return best;
}

}  // namespace plot
