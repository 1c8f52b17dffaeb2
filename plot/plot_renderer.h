#pragma once

#include "analysis/curve_sides.h"

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

// A record point's colour index where the run drew no colour for the segment into it.
constexpr std::uint8_t kNoGroupColour = 255;

// The colour of a segment of colour index `index`: the picture box's group colour
// (0, 255 − index, index), the record's one grey for kNoGroupColour.
QColor recordSegmentColour(std::uint8_t index);

// The part of the data plane in view.
struct PlotRange
{
    double xMin = 0;
    double xMax = 1;
    double yMin = 0;
    double yMax = 1;
};

// A polyline in data units.
struct PlotSeries
{
    std::vector<double> x;
    std::vector<double> y;
};

// The run's crossings: every one while they are few, and past a bound only how many fell into
// each cell of a fixed grid over `extent`, so that tens of millions cost a bounded memory.
struct PlotCrossings
{
    PlotSeries exact;
    PlotRange extent;
    int columns = 0;
    int rows = 0;
    // columns × rows counts, row 0 at yMin; empty while every crossing is exact.
    std::vector<std::uint32_t> counts;
    std::uint64_t total = 0;

    bool dense() const
    {
        return !counts.empty();
    }
};

// The backbone of each side and its bilinear idealisation, in the curve's own values (the
// negative side in negative values); empty when not computed.
struct PlotBackbone
{
    PlotSeries positive;
    PlotSeries negative;
    PlotSeries positiveBilinear;
    PlotSeries negativeBilinear;
};

// What the plot shows: the record's prepared points and the written curve's sides, with what
// the run and the analysis found beside them.
struct PlotData
{
    std::vector<double> x;
    std::vector<double> y;
    // The data file's line each point came from, 0 for a point no line holds (a zero point the
    // run inserted); empty when unknown.
    std::vector<std::uint32_t> lines;
    // The colour index of the segment into each point, as the run drew it in the picture box
    // (see recordSegmentColour); empty when unknown, and the record is drawn in one colour.
    std::vector<std::uint8_t> colours;
    analysis::CurveSides sides;
    PlotCrossings crossings;
    PlotBackbone backbone;
    // The data file's columns the points came from; 0 when unknown.
    int xColumn = 0;
    int yColumn = 0;
    // The axes' titles from the data file's header; empty when it names no columns.
    QString xTitle;
    QString yTitle;
};

// Which layers are drawn and how.
struct PlotLayers
{
    bool record = true;
    bool crossings = true;
    bool positive = true;
    bool negative = true;
    bool backbone = true;
    bool bilinear = true;
    bool grid = true;
    bool legend = true;
    // Both curve sides in the picture box's red instead of two colours.
    bool curveInBoxRed = false;
};

// What is emphasised: a point (the one under the cursor) and a stretch of the record.
struct PlotHighlight
{
    bool point = false;
    double x = 0;
    double y = 0;
    // Record points [from, to) drawn emphasised; nothing while from == to.
    std::size_t from = 0;
    std::size_t to = 0;
};

struct PlotStyle
{
    PlotLayers layers;
    PlotHighlight highlight;
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

    // The rectangle inside the axes of a plot drawn in `target` with a font of `metrics`.
    static QRect dataRect(const QRect& target, const QFontMetricsF& metrics);

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

// A range is usable while both sides have a finite, positive extent that floating point can
// still resolve; zooming further in or out is refused rather than producing a blank plot.
bool usablePlotRange(const PlotRange& range);

// The whole record and curve with a small margin; -1 to 1 on both axes when that is not a
// usable range (no point, or values at the limits of double).
PlotRange fullPlotRange(const PlotData& data);

// Draws `data` once, as PlotRenderer does.
void renderPlot(QPainter& painter, const QRect& target, const PlotData& data,
    const PlotRange& range, const PlotStyle& style);

}  // namespace plot
