#pragma once

#include "analysis/run_plot.h"
#include "plot/overlay.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class QFontMetricsF;
class QPainter;

namespace plot {

using analysis::kNoGroupColour;
using analysis::PlotBackbone;
using analysis::PlotCrossings;
using analysis::PlotData;
using analysis::PlotRange;
using analysis::PlotSeries;

// The colour of a segment of colour index `index`: the picture box's group colour
// (0, 255 − index, index), the record's one grey for kNoGroupColour.
QColor recordSegmentColour(std::uint8_t index);

// Which layers are drawn and how.
struct PlotLayers
{
    bool record = true;
    bool crossings = true;
    bool positive = true;
    bool negative = true;
    bool backbone = true;
    bool bilinear = true;
    bool lastCycle = false;  // the last-cycle envelope
    bool grid = true;
    bool legend = true;
    // Both curve sides in the picture box's red instead of two colours.
    bool curveInBoxRed = false;
};

// What is emphasised: a point (the one under the cursor) and closed loops of the record (the
// cycles chosen in a table beside the plot), each drawn as its own polyline.
struct PlotHighlight
{
    bool point = false;
    double x = 0;
    double y = 0;
    std::vector<PlotSeries> loops;
};

struct PlotStyle
{
    PlotLayers layers;
    PlotHighlight highlight;
    // The cycle analysis's backbone, idealisation and envelopes; none drawn without it.
    const PlotBackbone* backbone = nullptr;
    // Other runs drawn with this one, in their order (see OverlayRun).
    std::vector<OverlayRun> overlays;
    // The legend also tells an overlay's envelope from its idealisation and its record: for a
    // picture of overlays alone, where no layer of the plot's own says it.
    bool overlayKey = false;
};

// The axis titles shown for `data`: the header's names, else "X (column 2)".
QString plotXTitle(const PlotData& data);
QString plotYTitle(const PlotData& data);

class PlotLevels;

// Draws a plot (axes, ticks and their labels, grid, titles, layers, legend) onto any painter
// in a given rectangle, with no widget: the window, its exports and varnel-batch all draw
// through it. It keeps a level-of-detail index of the data so that a frame costs about its
// pixels; the data must outlive it and stay unchanged while set.
class PlotRenderer
{
public:
    PlotRenderer();
    explicit PlotRenderer(const PlotData& data);
    ~PlotRenderer();
    PlotRenderer(const PlotRenderer&) = delete;
    PlotRenderer& operator=(const PlotRenderer&) = delete;

    void setData(const PlotData* data);

    // The rectangle inside the axes of a plot of `range` drawn in `target` with a font of
    // `metrics`: the axes take the room their tick labels need, so it depends on the range.
    static QRect dataRect(
        const QRect& target, const QFontMetricsF& metrics, const PlotRange& range);

    void render(QPainter& painter, const QRect& target, const PlotRange& range,
        const PlotStyle& style) const;

    // The colours of the layers, for a legend or a table beside the plot.
    static QColor recordColour();
    static QColor positiveColour(const PlotLayers& layers);
    static QColor negativeColour(const PlotLayers& layers);

private:
    const PlotData* m_data = nullptr;
    std::unique_ptr<PlotLevels> m_levels;
};

// A drawing of millions of points asks now and then whether to give up, so that a program that
// is interrupted (varnel-batch) stops within a fraction of a second: once `cancelled` returns
// true, checkDrawingCancelled() throws DrawingCancelled. None is set unless a program sets one.
struct DrawingCancelled
{
};

void setDrawingCancelled(bool (*cancelled)());

// Throws DrawingCancelled when the drawing is to give up; loops call it every few thousand
// steps.
void checkDrawingCancelled();

// A range is usable while both sides have a finite, positive extent that floating point can
// still resolve; zooming further in or out is refused rather than producing a blank plot.
bool usablePlotRange(const PlotRange& range);

// The whole record and curve, and what the visible overlays draw, with a small margin; -1 to 1
// on both axes when that is not a usable range (no point, or values at the limits of double).
PlotRange fullPlotRange(const PlotData& data, const std::vector<OverlayRun>& overlays = {});

// Draws `data` once, as PlotRenderer does.
void renderPlot(QPainter& painter, const QRect& target, const PlotData& data,
    const PlotRange& range, const PlotStyle& style);

}  // namespace plot
