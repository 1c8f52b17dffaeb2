#include "plot/plot_renderer.h"

#include "plot/render_axes.h"
#include "plot/render_frame.h"
#include "plot/render_layers.h"
#include "plot/render_legend.h"
#include "plot/render_levels.h"

#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace plot {

namespace {

    std::atomic<bool (*)()> g_drawingCancelled = nullptr;

}  // namespace

void setDrawingCancelled(bool (*cancelled)())
{
    g_drawingCancelled = cancelled;
}

void checkDrawingCancelled()
{
    if (bool (*cancelled)() = g_drawingCancelled.load(std::memory_order_relaxed);
        cancelled && cancelled())
        throw DrawingCancelled {};
}

using drawing::finite;
using drawing::groupColours;
using drawing::kBoxRed;
using drawing::kNegativeColour;
using drawing::kPositiveColour;
using drawing::kRecordColour;

QColor recordSegmentColour(std::uint8_t index)
{
    if (index == kNoGroupColour)
        return kRecordColour;
    return QColor(0, 255 - index, index);
}

QColor PlotRenderer::recordColour()
{
    return kRecordColour;
}

QColor PlotRenderer::positiveColour(const PlotLayers& layers)
{
    return layers.curveInBoxRed ? kBoxRed : kPositiveColour;
}

QColor PlotRenderer::negativeColour(const PlotLayers& layers)
{
    return layers.curveInBoxRed ? kBoxRed : kNegativeColour;
}

PlotRenderer::PlotRenderer() = default;

PlotRenderer::PlotRenderer(const PlotData& data)
{
    setData(&data);
}

PlotRenderer::~PlotRenderer() = default;

void PlotRenderer::setData(const PlotData* data)
{
    m_data = data;
    m_levels.reset();
    // Short records draw as lines; the levels pay off where points outnumber pixels.
    constexpr std::size_t kLevelsFrom = 20'000;
    const std::size_t n = data ? std::min(data->x.size(), data->y.size()) : 0;
    if (n >= kLevelsFrom)
        m_levels = std::make_unique<PlotLevels>(data->x.data(), data->y.data(),
            groupColours(*data) ? data->colours.data() : nullptr, n);
}

QRect PlotRenderer::dataRect(
    const QRect& target, const QFontMetricsF& metrics, const PlotRange& range)
{
    return drawing::dataArea(target, metrics, range);
}

void PlotRenderer::render(
    QPainter& painter, const QRect& target, const PlotRange& range, const PlotStyle& style) const
{
    static const PlotData kEmpty;
    const PlotData& data = m_data ? *m_data : kEmpty;
    painter.save();
    painter.fillRect(target, Qt::white);
    const drawing::Frame frame(painter, target, range);
    if (style.layers.grid)
        drawing::drawGrid(painter, frame);
    drawing::drawLayers(painter, frame, data, style, m_levels.get());
    drawing::drawAxes(painter, frame);
    drawing::drawAxisTitles(painter, frame, data);
    if (style.layers.legend)
        drawing::drawLegend(painter, frame, data, style);
    painter.restore();
}

bool usablePlotRange(const PlotRange& r)
{
    const auto side = [](double low, double high) {
        const double span = high - low;
        return std::isfinite(low) && std::isfinite(high) && span > 0 && std::isfinite(span)
            && span > 1e-12 * std::max(std::abs(low), std::abs(high));
    };
    return side(r.xMin, r.xMax) && side(r.yMin, r.yMax);
}

PlotRange fullPlotRange(const PlotData& data, const std::vector<OverlayRun>& overlays)
{
    PlotRange full;
    bool any = false;
    const auto include = [&](const std::vector<double>& x, const std::vector<double>& y) {
        const std::size_t n = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i]))
                continue;
            if (!any) {
                full = { x[i], x[i], y[i], y[i] };
                any = true;
                continue;
            }
            full.xMin = std::min(full.xMin, x[i]);
            full.xMax = std::max(full.xMax, x[i]);
            full.yMin = std::min(full.yMin, y[i]);
            full.yMax = std::max(full.yMax, y[i]);
        }
    };
    include(data.x, data.y);
    include(data.sides.positive.x, data.sides.positive.y);
    include(data.sides.negative.x, data.sides.negative.y);
    for (const OverlayRun& run : overlays) {
        if (!run.visible)
            continue;
        if (run.data) {
            include(run.data->x, run.data->y);
            include(run.data->sides.positive.x, run.data->sides.positive.y);
            include(run.data->sides.negative.x, run.data->sides.negative.y);
        }
        if (run.backbone)
            for (const PlotSeries* s : { &run.backbone->positive, &run.backbone->negative,
                     &run.backbone->positiveBilinear, &run.backbone->negativeBilinear })
                include(s->x, s->y);
    }
    if (!any)
        return { -1, 1, -1, 1 };
    // Widens a side of no extent so that the view always has an area.
    const auto widen = [](double& low, double& high) {
        const double margin = (high - low) * 0.05;
        if (margin > 0) {
            low -= margin;
            high += margin;
            return;
        }
        const double half = std::max(std::abs(low) * 0.1, 1.0);
        low -= half;
        high += half;
    };
    widen(full.xMin, full.xMax);
    widen(full.yMin, full.yMax);
    return usablePlotRange(full) ? full : PlotRange { -1, 1, -1, 1 };
}

void renderPlot(QPainter& painter, const QRect& target, const PlotData& data,
    const PlotRange& range, const PlotStyle& style)
{
    PlotRenderer(data).render(painter, target, range, style);
}

}  // namespace plot
