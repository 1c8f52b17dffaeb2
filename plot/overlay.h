#pragma once

#include "analysis/run_plot.h"

#include <QColor>
#include <QString>

#include <cstddef>
#include <vector>

namespace plot {

// Another run drawn with the plot's own, as the runs of a test series are compared: in a colour
// of its own, its record as a thin line under the plot's layers, its curve, first-cycle envelope
// and bilinear idealisation over them, each where the plot shows the matching layer. `data`
// gives the record (as few points as draw it, see outlineIndices; none to draw none) and the
// curve; what it points to must outlive the drawing.
struct OverlayRun
{
    QColor colour;
    QString label;  // its entry in the legend
    const analysis::PlotData* data = nullptr;
    const analysis::PlotBackbone* backbone = nullptr;
    bool visible = true;
};

// The colour of the overlay run `index`: a dozen colours that tell one another apart, over
// again after the last.
QColor overlayColour(std::size_t index);

// The points of a record worth keeping to draw it as a thin line at most `columns` pixels wide
// across its X extent: each stretch of consecutive points in one of `columns` columns becomes its
// first, lowest, highest and last point, in their order, so that a loop stays a loop. All of them
// while there are at most `most`; fewer columns where `columns` would keep more than `most`. A
// point that is not finite is kept, as the break it makes in the line.
std::vector<std::size_t> outlineIndices(
    const double* x, const double* y, std::size_t n, std::size_t most, int columns = 4096);

}  // namespace plot
