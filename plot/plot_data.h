#pragma once

#include "plot/plot_renderer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plot {

// A point of the plot: of the record, or of a curve side.
struct PlotPointRef
{
    enum class Source
    {
        None,
        Record,
        Positive,
        Negative
    };

    Source source = Source::None;
    std::size_t index = 0;

    explicit operator bool() const
    {
        return source != Source::None;
    }
};

// Finds the point nearest the cursor without walking every point: the points of the record and
// both sides are bucketed once into columns along x and sorted by y inside each, so that a
// query looks only at the points near the cursor.
class PlotPointIndex
{
public:
    void build(const PlotData& data);

    // The point nearest (x, y) within `radius` pixels, a pixel being `xPerPixel` by `yPerPixel`
    // in data units, among the sources `layers` shows; none when no point is that near.
    PlotPointRef nearest(double x, double y, double xPerPixel, double yPerPixel, double radius,
        const PlotLayers& layers) const;

private:
    const PlotData* m_data = nullptr;
    double m_xMin = 0;
    double m_columnWidth = 0;
    // The points, as indices into record, then positive, then negative, ordered by column and
    // then by y; m_columnStart[c] is where column c begins.
    std::vector<std::uint32_t> m_order;
    std::vector<std::uint32_t> m_columnStart;
};

}  // namespace plot
