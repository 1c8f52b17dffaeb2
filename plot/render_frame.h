#pragma once

#include "plot/plot_renderer.h"
#include "plot/plot_ticks.h"

#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cmath>

// What the parts of the plot's drawing share: the colours, one frame's geometry and its
// mapping of data units to pixels, and a pixel mask of the data area.
namespace plot::drawing {

inline const QColor kRecordColour(120, 120, 120);
inline const QColor kCrossingColour(255, 0, 0);
inline const QColor kPositiveColour(230, 120, 0);
inline const QColor kNegativeColour(0, 110, 200);
// The picture box draws the curve in this red.
inline const QColor kBoxRed(255, 0, 0);
inline const QColor kBackboneWash(0, 160, 80, 110);
inline const QColor kBilinearColour(130, 50, 170);
inline const QColor kLastCycleColour(0, 110, 60);
inline const QColor kGridColour(225, 225, 225);
inline const QColor kHighlightColour(0, 0, 0);

// The height of the screen's usual font; a larger font scales the plot's lines, gaps and
// margins with it.
constexpr double kUsualFontHeight = 16;

inline double scaleOf(const QFontMetricsF& metrics)
{
    return std::max(1.0, metrics.height() / kUsualFontHeight);
}

inline bool finite(double x, double y)
{
    return std::isfinite(x) && std::isfinite(y);
}

// The record is drawn in the run's group colours when it has one a point.
inline bool groupColours(const PlotData& data)
{
    return !data.colours.empty() && data.colours.size() == std::min(data.x.size(), data.y.size());
}

// Maps data units to the painter's pixels for one frame.
struct Mapping
{
    QRectF d;
    PlotRange r;
    double xScale;
    double yScale;

    Mapping(const QRect& rect, const PlotRange& range)
        : d(rect)
        , r(range)
        , xScale(d.width() / (r.xMax - r.xMin))
        , yScale(d.height() / (r.yMax - r.yMin))
    {
    }

    // Far outside the view the painter's own clipping loses precision.
    QPointF operator()(double x, double y) const
    {
        return { std::clamp(d.left() + (x - r.xMin) * xScale, -1e6, 1e6),
            std::clamp(d.top() + d.height() - (y - r.yMin) * yScale, -1e6, 1e6) };
    }
};

// A picture of the view's data area at the device's resolution (as far as a bounded
// memory allows), for layers drawn pixel by pixel.
struct Mask
{
    QImage image;
    double scale = 1;

    Mask(QPainter& painter, const QRectF& d)
    {
        const QPaintDevice* device = painter.device();
        scale = device ? std::max(1.0, device->devicePixelRatioF()) : 1.0;
        constexpr double kMaxPixels = 4096.0 * 4096.0;
        if (d.width() * d.height() * scale * scale > kMaxPixels)
            scale = std::sqrt(kMaxPixels / (d.width() * d.height()));
        image = QImage(std::max(1, static_cast<int>(std::round(d.width() * scale))),
            std::max(1, static_cast<int>(std::round(d.height() * scale))),
            QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }

    void draw(QPainter& painter, const QRectF& d) const
    {
        painter.drawImage(d, image);
    }
};

// The ticks of both axes of a frame, with room between their labels in the frame's font.
struct FrameTicks
{
    AxisTicks x;
    AxisTicks y;
};

// The rectangle inside the axes of a plot of `range` in `target` (see PlotRenderer::dataRect),
// and when asked the ticks it leaves room for.
QRect dataArea(const QRect& target, const QFontMetricsF& metrics, const PlotRange& range,
    FrameTicks* ticks = nullptr);

// One frame of the plot in `box`: the font's metrics on the device, the data area inside the
// axes, the axes' ticks and the mapping from data units.
struct Frame
{
    Frame(QPainter& painter, const QRect& box, const PlotRange& range)
        : target(box)
        , metrics(painter.font(), painter.device())
        , s(scaleOf(metrics))
        , thin(s > 1.5 ? s : 0)
        , d(dataArea(box, metrics, range, &ticks))
        , m(d, range)
    {
    }

    QRect target;
    QFontMetricsF metrics;
    // Lines and gaps grow with the font (a picture for print draws at many pixels a point).
    double s;
    // A hairline on screen; on a picture for print a line of the font's weight.
    double thin;
    FrameTicks ticks;
    QRect d;
    Mapping m;
};

}  // namespace plot::drawing
