#pragma once

#include "plot/render_frame.h"

#include <QColor>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plot {

struct CellInks;

// The record's level of detail, built once: the record's line rasterised into a grid of
// 4096 × 4096 cells over its extent, each holding the colour of the last segment through it
// (a byte), and coarser grids down to one cell, each axis halved on its own (so that a view
// zoomed in X only still finds a grid); a halved cell takes the later segment of its two. A
// frame whose pixels are no finer than the base cells draws from the grid that fits its
// pixels, at a cost of about the pixels, not the points. Finer views walk the points,
// skipping the chunks of points whose bounds lie outside the view. About 64 MB in all.
class PlotLevels
{
public:
    static constexpr int kLevels = 13;
    static constexpr int kBase = 1 << (kLevels - 1);
    static constexpr std::size_t kChunk = 256;

    struct Grid
    {
        int columns = 0;
        int rows = 0;
        std::vector<std::uint8_t> cells;

        const std::uint8_t* row(int r) const
        {
            return cells.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
        }
    };

    // `colours`, one a point, may be null: the record is then of one colour.
    PlotLevels(const double* x, const double* y, const std::uint8_t* colours, std::size_t n);

    // The bounds of points [k·kChunk − 1, (k+1)·kChunk), so that the segment into a chunk
    // belongs to it; empty bounds for a chunk of no finite point.
    std::vector<PlotRange> chunks;
    std::vector<bool> chunkEmpty;
    PlotRange extent;
    bool haveGrids = false;
    std::vector<Grid> grids;  // [lx · kLevels + ly]

    const Grid& grid(int lx, int ly) const
    {
        return grids[static_cast<std::size_t>(lx * kLevels + ly)];
    }

    static std::uint8_t cellOf(std::uint8_t colour)
    {
        return colour == kNoGroupColour ? 255 : static_cast<std::uint8_t>(colour + 1);
    }

    // Draws the record from the grids into `mask` when the view's pixels are no finer than
    // the base cells; false when they are.
    bool draw(drawing::Mask& mask, const drawing::Mapping& m, const CellInks& inks) const;

private:
    void buildChunks(const double* x, const double* y, std::size_t n);
    void buildGrids(const double* x, const double* y, const std::uint8_t* colours, std::size_t n);

    // Halves `from` across its columns or its rows into `to`: each pair of cells becomes the
    // one drawn later.
    static void halve(const Grid& from, const std::vector<std::uint16_t>& fromStamps, Grid& to,
        std::vector<std::uint16_t>& toStamps, bool columns);
};

namespace drawing {

    // A dense series (noisy records step about a pixel a sample) is rasterised by the walk
    // itself into a mask the size of the view: each short segment sets the pixels it passes,
    // so the frame costs the samples plus the pixels, never a polyline of a million vertices.
    // The rare long segment goes to the painter, which clips it. With `levels`, chunks of
    // points wholly outside the view are skipped, and a view no finer than the levels' base
    // draws from them. With `colours` each segment takes its own colour, else `colour`.
    void drawDense(QPainter& painter, const Mapping& m, const double* x, const double* y,
        std::size_t n, const QColor& colour, const std::uint8_t* colours, const PlotLevels* levels);

}  // namespace drawing

}  // namespace plot
