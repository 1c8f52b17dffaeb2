#pragma once

#include "plot/plot_ticks.h"
#include "plot/render_frame.h"

namespace plot::drawing {

// The ticks of both axes of a frame, with room between their labels in the frame's font.
struct FrameTicks
{
    AxisTicks x;
    AxisTicks y;
};

FrameTicks frameTicks(const Frame& frame);

// The rectangle inside the axes of a plot in `target`: room for the ticks' labels and the
// titles in the font of `metrics`.
QRect dataArea(const QRect& target, const QFontMetricsF& metrics);

// The grid: a line across the data area at each tick.
void drawGrid(QPainter& painter, const Frame& frame, const FrameTicks& ticks);

// The frame around the data area, the ticks and their labels.
void drawAxes(QPainter& painter, const Frame& frame, const FrameTicks& ticks);

// The axes' titles (plotXTitle(), plotYTitle()), cut short to the data area's sides.
void drawAxisTitles(QPainter& painter, const Frame& frame, const PlotData& data);

}  // namespace plot::drawing
