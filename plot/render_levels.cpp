#include "plot/render_levels.h"

#include "plot/clipped_lines.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace plot {

using drawing::finite;
using drawing::Mapping;
using drawing::Mask;

// The ink of each grid cell value: 0 is an empty cell, v the segment colour index v − 1, and
// 255 the record's own grey.
struct CellInks
{
    QRgb ink[256] = {};

    explicit CellInks(const QColor* single)
    {
        for (int v = 1; v < 256; ++v)
            ink[v] = qPremultiply(
                (single ? *single
                        : recordSegmentColour(
                            v == 255 ? kNoGroupColour : static_cast<std::uint8_t>(v - 1)))
                    .rgba());
    }
};

PlotLevels::PlotLevels(const double* x, const double* y, const std::uint8_t* colours, std::size_t n)
{
    buildChunks(x, y, n);
    buildGrids(x, y, colours, n);
}

void PlotLevels::buildChunks(const double* x, const double* y, std::size_t n)
{
    const std::size_t count = (n + kChunk - 1) / kChunk;
    chunks.assign(count, {});
    chunkEmpty.assign(count, true);
    for (std::size_t k = 0; k < count; ++k) {
        if (k % 1024 == 0)
            checkDrawingCancelled();
        PlotRange& b = chunks[k];
        const std::size_t from = k == 0 ? 0 : k * kChunk - 1;
        const std::size_t to = std::min(n, (k + 1) * kChunk);
        for (std::size_t i = from; i < to; ++i) {
            if (!finite(x[i], y[i]))
                continue;
            if (chunkEmpty[k]) {
                b = { x[i], x[i], y[i], y[i] };
                chunkEmpty[k] = false;
                continue;
            }
            b.xMin = std::min(b.xMin, x[i]);
            b.xMax = std::max(b.xMax, x[i]);
            b.yMin = std::min(b.yMin, y[i]);
            b.yMax = std::max(b.yMax, y[i]);
        }
    }
}

// Inline, as the grids' builder calls it once across columns and once across rows: each call
// then gets a loop of its own direction.
inline void PlotLevels::halve(const Grid& from, const std::vector<std::uint16_t>& fromStamps,
    Grid& to, std::vector<std::uint16_t>& toStamps, bool columns)
{
    to.columns = columns ? (from.columns + 1) / 2 : from.columns;
    to.rows = columns ? from.rows : (from.rows + 1) / 2;
    const auto size = static_cast<std::size_t>(to.columns) * static_cast<std::size_t>(to.rows);
    to.cells.assign(size, 0);
    toStamps.assign(size, 0);
    const auto fromColumns = static_cast<std::size_t>(from.columns);
    const auto toColumns = static_cast<std::size_t>(to.columns);
    for (std::size_t r = 0; r < static_cast<std::size_t>(from.rows); ++r) {
        if (r % 256 == 0)
            checkDrawingCancelled();
        const std::uint8_t* row = from.cells.data() + r * fromColumns;
        for (std::size_t c = 0; c < fromColumns; ++c) {
            // Most of a fine grid is empty: eight empty cells are passed over at once.
            if (c + 8 <= fromColumns) {
                std::uint64_t eight = 0;
                std::memcpy(&eight, row + c, sizeof eight);
                if (eight == 0) {
                    c += 7;
                    continue;
                }
            }
            const std::size_t in = r * fromColumns + c;
            if (from.cells[in] == 0)
                continue;
            const std::size_t out = columns ? r * toColumns + c / 2 : (r / 2) * toColumns + c;
            if (fromStamps[in] >= toStamps[out]) {
                to.cells[out] = from.cells[in];
                toStamps[out] = fromStamps[in];
            }
        }
    }
}

void PlotLevels::buildGrids(
    const double* x, const double* y, const std::uint8_t* colours, std::size_t n)
{
    bool any = false;
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        if (chunkEmpty[k])
            continue;
        const PlotRange& b = chunks[k];
        extent = any ? PlotRange { std::min(extent.xMin, b.xMin), std::max(extent.xMax, b.xMax),
            std::min(extent.yMin, b.yMin), std::max(extent.yMax, b.yMax) }
                     : b;
        any = true;
    }
    const double cw = (extent.xMax - extent.xMin) / kBase;
    const double ch = (extent.yMax - extent.yMin) / kBase;
    if (!any || !(cw > 0) || !(ch > 0) || !std::isfinite(cw) || !std::isfinite(ch))
        return;
    grids.resize(kLevels * kLevels);
    Grid& base = grids[0];
    base.columns = base.rows = kBase;
    base.cells.assign(static_cast<std::size_t>(kBase) * kBase, 0);
    // When each cell was last drawn, in steps of about n / 65535 points, so that halving
    // keeps the later segment as drawing does; only while the grids are built.
    std::vector<std::uint16_t> stamps(base.cells.size(), 0);
    std::uint8_t cell = cellOf(kNoGroupColour);
    std::uint16_t stamp = 0;
    const auto set = [&](double c, double r) {
        const int ci = std::clamp(static_cast<int>(c), 0, kBase - 1);
        const int ri = std::clamp(static_cast<int>(r), 0, kBase - 1);
        const std::size_t at = static_cast<std::size_t>(ri) * kBase + static_cast<std::size_t>(ci);
        base.cells[at] = cell;
        stamps[at] = stamp;
    };
    // A record that leaps across its extent sample after sample would cost billions of
    // steps; past a budget the frames walk the points instead.
    double budget = 64.0 * 1024 * 1024 + 8.0 * static_cast<double>(n);
    bool havePrevious = false;
    double c0 = 0;
    double r0 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 65536 == 0)
            checkDrawingCancelled();
        if (!finite(x[i], y[i])) {
            havePrevious = false;
            continue;
        }
        cell = cellOf(colours ? colours[i] : kNoGroupColour);
        stamp = static_cast<std::uint16_t>(
            1 + static_cast<double>(i) * 65534.0 / static_cast<double>(n));
        const double c = (x[i] - extent.xMin) / cw;
        const double r = (y[i] - extent.yMin) / ch;
        if (!havePrevious) {
            set(c, r);
        } else {
            const double steps = std::ceil(std::max(std::abs(c - c0), std::abs(r - r0)));
            budget -= steps;
            if (budget < 0) {
                grids.clear();
                return;
            }
            for (double k = 1; k <= steps; ++k)
                set(c0 + (c - c0) * k / steps, r0 + (r - r0) * k / steps);
        }
        havePrevious = true;
        c0 = c;
        r0 = r;
    }
    std::vector<std::uint16_t> rowStamps;
    std::vector<std::uint16_t> next;
    for (int ly = 0; ly < kLevels; ++ly) {
        if (ly > 0) {
            halve(grids[static_cast<std::size_t>(ly - 1)], stamps,
                grids[static_cast<std::size_t>(ly)], next, false);
            stamps.swap(next);
        }
        // The first halving across columns reads the column's stamps where they are.
        const std::vector<std::uint16_t>* from = &stamps;
        for (int lx = 1; lx < kLevels; ++lx) {
            halve(grids[static_cast<std::size_t>((lx - 1) * kLevels + ly)], *from,
                grids[static_cast<std::size_t>(lx * kLevels + ly)], next, true);
            rowStamps.swap(next);
            from = &rowStamps;
        }
    }
    haveGrids = true;
}

namespace {

    // Cells whose centres fall into each of `pixels` pixels: pixel p spans [from(p), from(p+1))
    // of `cells` cells, each `cell` wide from `low`; `start` and `step` place the pixels.
    std::vector<int> cellBounds(
        int pixels, double start, double step, double low, double cell, int cells)
    {
        std::vector<int> bounds(static_cast<std::size_t>(pixels) + 1);
        for (int p = 0; p <= pixels; ++p) {
            const double k = std::ceil((start + p * step - low) / cell - 0.5);
            bounds[static_cast<std::size_t>(p)] =
                static_cast<int>(std::clamp(k, 0.0, static_cast<double>(cells)));
        }
        return bounds;
    }

}  // namespace

bool PlotLevels::draw(Mask& mask, const Mapping& m, const CellInks& inks) const
{
    if (!haveGrids)
        return false;
    const int w = mask.image.width();
    const int h = mask.image.height();
    const double sx = (m.r.xMax - m.r.xMin) / w;  // data units a mask pixel
    const double sy = (m.r.yMax - m.r.yMin) / h;
    // The coarsest grid whose cells are no larger than a pixel; the base grid still serves a
    // little beyond, its cells then slightly coarser than the pixels.
    const auto level = [](double pixel, double span) {
        int l = -1;
        while (l + 1 < kLevels && span / (kBase >> (l + 1)) <= pixel)
            ++l;
        return l < 0 && span / kBase <= 1.5 * pixel ? 0 : l;
    };
    const int lx = level(sx, extent.xMax - extent.xMin);
    const int ly = level(sy, extent.yMax - extent.yMin);
    if (lx < 0 || ly < 0)
        return false;
    const Grid& g = grid(lx, ly);
    const double cw = (extent.xMax - extent.xMin) / g.columns;
    const double ch = (extent.yMax - extent.yMin) / g.rows;
    const std::vector<int> columns = cellBounds(w, m.r.xMin, sx, extent.xMin, cw, g.columns);
    // Rows of the mask grow downwards: row p spans y from yMax − (p+1)·sy to yMax − p·sy, so
    // walking p upwards from the bottom row keeps the bounds ascending.
    const std::vector<int> rows = cellBounds(h, m.r.yMin, sy, extent.yMin, ch, g.rows);
    // The pixels a row of the mask covers at all, so that empty stretches cost nothing.
    const int c0 = columns.front();
    const int c1 = columns.back();
    for (int p = 0; p < h; ++p) {
        const int r0 = rows[static_cast<std::size_t>(p)];
        const int r1 = rows[static_cast<std::size_t>(p) + 1];
        if (r0 >= r1 || c0 >= c1)
            continue;
        auto* out = reinterpret_cast<QRgb*>(mask.image.scanLine(h - 1 - p));
        for (int r = r0; r < r1; ++r) {
            const std::uint8_t* in = g.row(r);
            for (int q = 0; q < w; ++q) {
                for (int c = columns[static_cast<std::size_t>(q)];
                     c < columns[static_cast<std::size_t>(q) + 1]; ++c) {
                    if (in[c] != 0)
                        out[q] = inks.ink[in[c]];
                }
            }
        }
    }
    return true;
}

namespace drawing {

    // A dense series (noisy records step about a pixel a sample) is rasterised by the walk
    // itself into a mask the size of the view: each short segment sets the pixels it passes,
    // so the frame costs the samples plus the pixels, never a polyline of a million vertices.
    // The rare long segment goes to the painter, cut to the view. With `levels`, chunks of
    // points wholly outside the view are skipped, and a view no finer than the levels' base
    // draws from them. With `colours` each segment takes its own colour, else `colour`.
    void drawDense(QPainter& painter, const Mapping& m, const double* x, const double* y,
        std::size_t n, const QColor& colour, const std::uint8_t* colours, const PlotLevels* levels)
    {
        const QRectF d = m.d;
        Mask mask(painter, d);
        const int w = mask.image.width();
        const int h = mask.image.height();
        const CellInks inks(colours ? nullptr : &colour);
        QRgb ink = inks.ink[PlotLevels::cellOf(kNoGroupColour)];
        if (levels && levels->draw(mask, m, inks)) {
            mask.draw(painter, d);
            return;
        }
        const double xScale = m.xScale * mask.scale;
        const double yScale = m.yScale * mask.scale;
        // The pixels straight, not through scanLine(), which checks for sharing at every call.
        QRgb* const pixels = reinterpret_cast<QRgb*>(mask.image.bits());
        const auto stride = static_cast<std::ptrdiff_t>(
            mask.image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb)));
        // A deep view sets millions of pixels a frame: the lambda holds what it needs by value,
        // so that no store to a pixel makes the compiler fetch it again, and inside the mask a
        // coordinate truncates to int as to any wider type, and more cheaply than to an
        // unsigned one.
        const auto set = [pixels, stride, right = static_cast<double>(w),
                             bottom = static_cast<double>(h)](double px, double py, QRgb pixelInk) {
            if (px >= 0 && py >= 0 && px < right && py < bottom)
                pixels[static_cast<int>(py) * stride + static_cast<int>(px)] = pixelInk;
        };
        std::vector<std::pair<QLineF, QRgb>> longSegments;
        constexpr double kLongSegment = 256;
        bool havePrevious = false;
        double px0 = 0;
        double py0 = 0;
        const auto walk = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                if (i % 65536 == 0)
                    checkDrawingCancelled();
                if (!finite(x[i], y[i])) {
                    havePrevious = false;
                    continue;
                }
                if (colours)
                    ink = inks.ink[PlotLevels::cellOf(colours[i])];
                const double px = (x[i] - m.r.xMin) * xScale;
                const double py = h - (y[i] - m.r.yMin) * yScale;
                if (!havePrevious) {
                    set(px, py, ink);
                } else if (!((px < 0 && px0 < 0) || (py < 0 && py0 < 0) || (px >= w && px0 >= w)
                               || (py >= h && py0 >= h))) {
                    const double steps =
                        std::ceil(std::max(std::abs(px - px0), std::abs(py - py0)));
                    if (steps > kLongSegment) {
                        const auto clamp = [](double v) { return std::clamp(v, -1e6, 1e6); };
                        longSegments.emplace_back(QLineF(clamp(px0 / mask.scale) + d.left(),
                                                      clamp(py0 / mask.scale) + d.top(),
                                                      clamp(px / mask.scale) + d.left(),
                                                      clamp(py / mask.scale) + d.top()),
                            ink);
                    } else {
                        const double dx = (px - px0) / steps;
                        const double dy = (py - py0) / steps;
                        const QRgb segmentInk = ink;
                        for (double k = 1; k <= steps; ++k)
                            set(px0 + dx * k, py0 + dy * k, segmentInk);
                    }
                }
                havePrevious = true;
                px0 = px;
                py0 = py;
            }
        };
        if (!levels) {
            walk(0, n);
        } else {
            for (std::size_t k = 0; k < levels->chunks.size(); ++k) {
                const PlotRange& b = levels->chunks[k];
                if (levels->chunkEmpty[k] || b.xMax < m.r.xMin || b.xMin > m.r.xMax
                    || b.yMax < m.r.yMin || b.yMin > m.r.yMax) {
                    havePrevious = false;
                    continue;
                }
                // From the point before the chunk, so that the segment into it is drawn.
                const std::size_t from = k * PlotLevels::kChunk;
                if (!havePrevious && from > 0)
                    walk(from - 1, from);
                walk(from, std::min(n, from + PlotLevels::kChunk));
            }
        }
        mask.draw(painter, d);
        QPen pen = painter.pen();
        // Cut to the view first: Qt strokes a wide antialiased line in a time that grows with
        // its whole length.
        const double reach = 2 * std::max(pen.widthF(), 1.0) + 2;
        const QRectF view = d.adjusted(-reach, -reach, reach, reach);
        for (const auto& [line, segmentInk] : longSegments) {
            QPointF a = line.p1();
            QPointF b = line.p2();
            if (!cutToView(a, b, view))
                continue;
            pen.setColor(QColor::fromRgba(qUnpremultiply(segmentInk)));
            painter.setPen(pen);
            painter.drawLine(QLineF(a, b));
        }
    }

}  // namespace drawing

}  // namespace plot
