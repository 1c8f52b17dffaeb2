#pragma once

#include "analysis/backbone.h"
#include "plot/plot_renderer.h"

#include <QString>

#include <cstddef>
#include <span>
#include <string>

namespace plot {

// Gathers a run's crossings as they are found: every one up to `exactLimit`, then their
// counts on a grid of `columns` × `rows` cells over `extent` (the record's), so that memory
// stays bounded however many there are (4 bytes a cell).
class CrossingCollector
{
public:
    explicit CrossingCollector(
        std::size_t exactLimit = 200'000, int columns = 1024, int rows = 1024);

    // Starts afresh for a record spanning `extent`.
    void reset(const PlotRange& extent);

    void add(double x, double y);

    // Hands the crossings over and starts empty.
    PlotCrossings take();

private:
    void bin(double x, double y);

    std::size_t m_exactLimit;
    int m_columns;
    int m_rows;
    PlotCrossings m_crossings;
};

// Gathers the colours the cross check draws the record's segments in, one byte a point: it
// draws the segments into points 2, 3, … in order, each in its group's colour (0, 255 − m, m),
// and m is kept; lines of other colours are not the record's. Points whose segment it did not
// draw (the first two, and those after a run that ended early) keep kNoGroupColour.
class RecordColours
{
public:
    // Starts afresh for a record of `points` points.
    void reset(std::size_t points);

    // The next segment was drawn in this colour.
    void segmentDrawn(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    // Hands the colours over and starts empty; empty when no segment was drawn.
    std::vector<std::uint8_t> take();

private:
    std::vector<std::uint8_t> m_colours;
    std::size_t m_next = 0;
};

// A record's points held compactly for drawing (8 bytes a point rather than 16): each as its
// offset from the record's smallest value in single precision, so that even a record far from
// zero keeps its shape to a ten-millionth of its extent.
class CompactPoints
{
public:
    void assign(std::span<const double> x, std::span<const double> y);

    // The points again, at the precision kept.
    void expand(std::vector<double>& x, std::vector<double>& y) const;

    // The colours the run drew the record's segments in.
    RecordColours colours;

private:
    double m_x0 = 0;
    double m_y0 = 0;
    std::vector<float> m_dx;
    std::vector<float> m_dy;
};

// The smallest range holding every finite point of (x, y); all zero when there is none.
PlotRange recordExtent(std::span<const double> x, std::span<const double> y);

// The backbone of one side of a curve: the origin, then each point, in order, whose distance
// from zero along x exceeds every earlier one's; the negative side is walked mirrored and its
// points kept in negative values.
PlotSeries backboneOf(const analysis::CurveSide& side, analysis::Side which);

// The bilinear idealisation of a side from its backbone row, in the side's own signs: the
// origin, the yield point and the ultimate deformation at the yield load; empty when the row
// lacks a value.
PlotSeries bilinearOf(const analysis::BackboneRow& row);

// The axis titles the data file's header names for the record's columns: the last header line
// whose values at both columns are names; when it holds units under a line of names, the two
// together ("top_displacement [mm]"). Values are separated by blanks or tabs as on a data line, but
// on a line with a comma or semicolon by those only, so that a name may hold blanks. Both titles
// stay empty when no header line names both columns.
void readAxisTitles(const std::string& dataFile, int skipLines, int xColumn, int yColumn,
    QString& xTitle, QString& yTitle);

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

// Adds the coefficient a column was scaled by to its header title ("load [kN] × 1000"), so
// that a unit the header names is not taken for the values' unit.
void scaleAxisTitles(PlotData& data, double xCoefficient, double yCoefficient);

}  // namespace plot
