#pragma once

#include "plot/render_frame.h"

namespace plot::drawing {

// The legend of the layers shown that have something to show, in the corner of the data area
// where it hides the fewest points.
void drawLegend(
    QPainter& painter, const Frame& frame, const PlotData& data, const PlotStyle& style);

}  // namespace plot::drawing
