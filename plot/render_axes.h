#pragma once

#include "plot/plot_ticks.h"
#include "plot/render_frame.h"

namespace plot::drawing {

// The grid: a line across the data area at each tick.
void drawGrid(QPainter& painter, const Frame& frame);

// The frame around the data area, the ticks and their labels.
void drawAxes(QPainter& painter, const Frame& frame);

// The axes' titles (plotXTitle(), plotYTitle()), cut short to the data area's sides.
void drawAxisTitles(QPainter& painter, const Frame& frame, const PlotData& data);

}  // namespace plot::drawing
