#pragma once

#include "plot/render_frame.h"

namespace plot {

class PlotLevels;

namespace drawing {

    // The data's layers inside the axes, each over the one before: the overlays' records, the
    // record (from `levels` when given), its crossings, the style's backbone, last-cycle
    // envelope and bilinear idealisation, the overlays' curves, envelopes and idealisations,
    // the curve's sides, and the highlight over all.
    void drawLayers(QPainter& painter, const Frame& frame, const PlotData& data,
        const PlotStyle& style, const PlotLevels* levels);

}  // namespace drawing

}  // namespace plot
