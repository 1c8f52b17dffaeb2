#include "plot/plot_renderer.h"

#include "plot/plot_ticks.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPair>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

    const QColor kRecordColour(120, 120, 120);
    const QColor kCrossingColour(255, 0, 0);
    const QColor kPositiveColour(230, 120, 0);
    const QColor kNegativeColour(0, 110, 200);
    // The picture box draws the curve in this red.
    const QColor kBoxRed(255, 0, 0);
    const QColor kBackboneWash(0, 160, 80, 110);
    const QColor kBilinearColour(130, 50, 170);
    const QColor kGridColour(225, 225, 225);
    const QColor kHighlightColour(0, 0, 0);

    // The margins around the data at the screen's usual font; they grow with a larger font
    // (a picture for print draws at many pixels a point).
    constexpr double kLeftMargin = 76;
    constexpr double kRightMargin = 14;
    constexpr double kTopMargin = 14;
    constexpr double kBottomMargin = 50;
    constexpr double kUsualFontHeight = 16;

    double scaleOf(const QFontMetricsF& metrics)
    {
        return std::max(1.0, metrics.height() / kUsualFontHeight);
    }

    bool finite(double x, double y)
    {
        return std::isfinite(x) && std::isfinite(y);
    }

    QString tr(const char* text)
    {
        return QCoreApplication::translate("plot::PlotRenderer", text);
    }

    // The record is drawn in the run's group colours when it has one a point.
    bool groupColours(const PlotData& data)
    {
        return !data.colours.empty()
            && data.colours.size() == std::min(data.x.size(), data.y.size());
    }

    // Maps data units to the painter's pixels for one frame.
    struct Mapping
    {
        QRectF d;
        PlotRange r;
        double xScale;
        double yScale;

        Mapping(const QRect& rect, const PlotRange& range)
            : d(rect)
            , r(range)
            , xScale(d.width() / (r.xMax - r.xMin))
            , yScale(d.height() / (r.yMax - r.yMin))
        {
        }

        // Far outside the view the painter's own clipping loses precision.
        QPointF operator()(double x, double y) const
        {
            return { std::clamp(d.left() + (x - r.xMin) * xScale, -1e6, 1e6),
                std::clamp(d.top() + d.height() - (y - r.yMin) * yScale, -1e6, 1e6) };
        }
    };

    // A picture of the view's data area at the device's resolution (as far as a bounded
    // memory allows), for layers drawn pixel by pixel.
    struct Mask
    {
        QImage image;
        double scale = 1;

        Mask(QPainter& painter, const QRectF& d)
        {
            const QPaintDevice* device = painter.device();
            scale = device ? std::max(1.0, device->devicePixelRatioF()) : 1.0;
            constexpr double kMaxPixels = 4096.0 * 4096.0;
            if (d.width() * d.height() * scale * scale > kMaxPixels)
                scale = std::sqrt(kMaxPixels / (d.width() * d.height()));
            image = QImage(std::max(1, static_cast<int>(std::round(d.width() * scale))),
                std::max(1, static_cast<int>(std::round(d.height() * scale))),
                QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        }

        void draw(QPainter& painter, const QRectF& d) const
        {
            painter.drawImage(d, image);
        }
    };

}  // namespace

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
    PlotLevels(const double* x, const double* y, const std::uint8_t* colours, std::size_t n)
    {
        buildChunks(x, y, n);
        buildGrids(x, y, colours, n);
    }

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
    bool draw(Mask& mask, const Mapping& m, const CellInks& inks) const;

private:
    void buildChunks(const double* x, const double* y, std::size_t n)
    {
        const std::size_t count = (n + kChunk - 1) / kChunk;
        chunks.assign(count, {});
        chunkEmpty.assign(count, true);
        for (std::size_t k = 0; k < count; ++k) {
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

    void buildGrids(const double* x, const double* y, const std::uint8_t* colours, std::size_t n)
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
            const std::size_t at =
                static_cast<std::size_t>(ri) * kBase + static_cast<std::size_t>(ci);
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
            rowStamps = stamps;
            for (int lx = 1; lx < kLevels; ++lx) {
                halve(grids[static_cast<std::size_t>((lx - 1) * kLevels + ly)], rowStamps,
                    grids[static_cast<std::size_t>(lx * kLevels + ly)], next, true);
                rowStamps.swap(next);
            }
        }
        haveGrids = true;
    }

    // Halves `from` across its columns or its rows into `to`: each pair of cells becomes the
    // one drawn later.
    static void halve(const Grid& from, const std::vector<std::uint16_t>& fromStamps, Grid& to,
        std::vector<std::uint16_t>& toStamps, bool columns)
    {
        to.columns = columns ? (from.columns + 1) / 2 : from.columns;
        to.rows = columns ? from.rows : (from.rows + 1) / 2;
        const auto size = static_cast<std::size_t>(to.columns) * static_cast<std::size_t>(to.rows);
        to.cells.assign(size, 0);
        toStamps.assign(size, 0);
        const auto fromColumns = static_cast<std::size_t>(from.columns);
        const auto toColumns = static_cast<std::size_t>(to.columns);
        for (std::size_t r = 0; r < static_cast<std::size_t>(from.rows); ++r) {
            for (std::size_t c = 0; c < fromColumns; ++c) {
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
};

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

namespace {

    // A dense series (noisy records step about a pixel a sample) is rasterised by the walk
    // itself into a mask the size of the view: each short segment sets the pixels it passes,
    // so the frame costs the samples plus the pixels, never a polyline of a million vertices.
    // The rare long segment goes to the painter, which clips it. With `levels`, chunks of
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
        const auto stride = static_cast<std::size_t>(mask.image.bytesPerLine()) / sizeof(QRgb);
        const auto set = [&](double px, double py) {
            if (px >= 0 && py >= 0 && px < w && py < h)
                pixels[static_cast<std::size_t>(py) * stride + static_cast<std::size_t>(px)] = ink;
        };
        std::vector<std::pair<QLineF, QRgb>> longSegments;
        constexpr double kLongSegment = 256;
        bool havePrevious = false;
        double px0 = 0;
        double py0 = 0;
        const auto walk = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                if (!finite(x[i], y[i])) {
                    havePrevious = false;
                    continue;
                }
                if (colours)
                    ink = inks.ink[PlotLevels::cellOf(colours[i])];
                const double px = (x[i] - m.r.xMin) * xScale;
                const double py = h - (y[i] - m.r.yMin) * yScale;
                if (!havePrevious) {
                    set(px, py);
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
                        for (double k = 1; k <= steps; ++k)
                            set(px0 + dx * k, py0 + dy * k);
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
        for (const auto& [line, segmentInk] : longSegments) {
            pen.setColor(QColor::fromRgba(qUnpremultiply(segmentInk)));
            painter.setPen(pen);
            painter.drawLine(line);
        }
    }

    // Draws a short series segment by segment in their colours: the stretches of one colour as
    // one polyline each.
    void drawColoured(QPainter& painter, const Mapping& m, const double* x, const double* y,
        const std::uint8_t* colours, std::size_t n, QPen pen)
    {
        QPolygonF line;
        std::uint8_t colour = kNoGroupColour;
        const auto flush = [&] {
            pen.setColor(recordSegmentColour(colour));
            painter.setPen(pen);
            if (line.size() == 1)
                painter.drawPoint(line.front());
            else if (line.size() > 1)
                painter.drawPolyline(line);
            line.clear();
        };
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i])) {
                flush();
                continue;
            }
            if (line.size() > 1 && colours[i] != colour) {
                const QPointF end = line.back();
                flush();
                line << end;
            }
            if (!line.isEmpty())
                colour = colours[i];
            line << m(x[i], y[i]);
        }
        flush();
    }

    // Draws a series so that a frame costs about the pixels it touches, not the points: the points
    // are walked in their order, and each stretch of consecutive points inside one pixel column
    // becomes its first, lowest, highest and last point. A loop that passes a column twice is
    // drawn twice there, so a hysteresis loop stays a loop rather than a filled band, and where
    // every column holds at most a few consecutive points this is the exact line. With
    // `colours` each segment takes its own colour.
    void drawSeries(QPainter& painter, const Mapping& m, const double* x, const double* y,
        std::size_t n, const QPen& pen, const std::uint8_t* colours = nullptr,
        const PlotLevels* levels = nullptr)
    {
        painter.setPen(pen);
        if (n > 4 * static_cast<std::size_t>(m.d.width())) {
            drawDense(painter, m, x, y, n, pen.color(), colours, levels);
            return;
        }
        if (colours) {
            drawColoured(painter, m, x, y, colours, n, pen);
            return;
        }
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() == 1)
                painter.drawPoint(line.front());
            else if (line.size() > 1)
                painter.drawPolyline(line);
            line.clear();
        };
        // The stretch of points in the current column.
        QPointF first;
        QPointF low;
        QPointF high;
        QPointF last;
        std::size_t lowAt = 0;
        std::size_t highAt = 0;
        std::size_t count = 0;
        double column = 0;
        // A point on the same pixel as the one before adds nothing to the picture.
        const auto add = [&](QPointF p) {
            if (line.isEmpty() || std::abs(p.x() - line.back().x()) >= 0.5
                || std::abs(p.y() - line.back().y()) >= 0.5)
                line << p;
        };
        const auto endStretch = [&] {
            if (count == 0)
                return;
            add(first);
            // Lowest and highest in the order they came, so the line does not double back.
            if (count > 2) {
                add(lowAt < highAt ? low : high);
                add(lowAt < highAt ? high : low);
            }
            if (count > 1)
                add(last);
            count = 0;
        };
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i])) {
                endStretch();
                flush();
                continue;
            }
            const QPointF p = m(x[i], y[i]);
            const double c = std::floor(p.x());
            if (count > 0 && c == column) {
                // Pixel rows grow downwards: the highest value has the smallest row.
                if (p.y() > low.y()) {
                    low = p;
                    lowAt = i;
                }
                if (p.y() < high.y()) {
                    high = p;
                    highAt = i;
                }
                last = p;
                ++count;
                continue;
            }
            endStretch();
            column = c;
            first = low = high = last = p;
            lowAt = highAt = i;
            count = 1;
        }
        endStretch();
        flush();
    }

    void drawSeries(QPainter& painter, const Mapping& m, const PlotSeries& s, const QPen& pen)
    {
        drawSeries(painter, m, s.x.data(), s.y.data(), std::min(s.x.size(), s.y.size()), pen);
    }

    // The crossings as dots while they are exact (as squares of a few pixels in a picture of
    // the view once there are many, so that a frame costs little), else their counts as
    // shading: the more fell into a cell, the darker its pixels.
    void drawCrossings(QPainter& painter, const Mapping& m, const PlotCrossings& c, double unit)
    {
        const QRectF d = m.d;
        if (!c.dense()) {
            const std::size_t n = std::min(c.exact.x.size(), c.exact.y.size());
            const double radius = 1.5 * unit;
            const QRectF reach = d.adjusted(-radius, -radius, radius, radius);
            std::size_t visible = 0;
            for (std::size_t i = 0; i < n && visible <= 5000; ++i)
                visible += reach.contains(m(c.exact.x[i], c.exact.y[i])) ? 1u : 0u;
            if (visible > 5000) {
                Mask mask(painter, d);
                const int w = mask.image.width();
                const int h = mask.image.height();
                const int r = std::max(1, static_cast<int>(std::round(radius * mask.scale)));
                const QRgb ink = qPremultiply(kCrossingColour.rgba());
                for (std::size_t i = 0; i < n; ++i) {
                    const double px = (c.exact.x[i] - m.r.xMin) * m.xScale * mask.scale;
                    const double py = h - (c.exact.y[i] - m.r.yMin) * m.yScale * mask.scale;
                    if (!(px > -r && py > -r && px < w + r && py < h + r))
                        continue;
                    const int cx = static_cast<int>(px);
                    const int cy = static_cast<int>(py);
                    for (int y = std::max(0, cy - r + 1); y < std::min(h, cy + r); ++y) {
                        auto* line = reinterpret_cast<QRgb*>(mask.image.scanLine(y));
                        for (int x = std::max(0, cx - r + 1); x < std::min(w, cx + r); ++x)
                            line[x] = ink;
                    }
                }
                mask.draw(painter, d);
                return;
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(kCrossingColour);
            // Many dots on one pixel draw as one.
            QPointF previous(-1e9, -1e9);
            for (std::size_t i = 0; i < n; ++i) {
                if (!finite(c.exact.x[i], c.exact.y[i]))
                    continue;
                const QPointF p = m(c.exact.x[i], c.exact.y[i]);
                if (!reach.contains(p))
                    continue;
                if (std::abs(p.x() - previous.x()) < 0.5 && std::abs(p.y() - previous.y()) < 0.5)
                    continue;
                painter.drawEllipse(p, radius, radius);
                previous = p;
            }
            painter.setBrush(Qt::NoBrush);
            return;
        }
        if (c.columns <= 0 || c.rows <= 0)
            return;
        // Each pixel of the view takes the count of the grid cell under its centre.
        Mask mask(painter, d);
        const int w = mask.image.width();
        const int h = mask.image.height();
        const double cellWidth = (c.extent.xMax - c.extent.xMin) / c.columns;
        const double cellHeight = (c.extent.yMax - c.extent.yMin) / c.rows;
        if (!(cellWidth > 0) || !(cellHeight > 0))
            return;
        std::uint32_t most = 1;
        for (std::uint32_t count : c.counts)
            most = std::max(most, count);
        const double logMost = std::log1p(static_cast<double>(most));
        const double sx = (m.r.xMax - m.r.xMin) / w;
        const double sy = (m.r.yMax - m.r.yMin) / h;
        std::vector<int> cellColumn(static_cast<std::size_t>(w));
        for (int px = 0; px < w; ++px) {
            const double x = m.r.xMin + (px + 0.5) * sx;
            const double k = std::floor((x - c.extent.xMin) / cellWidth);
            cellColumn[static_cast<std::size_t>(px)] = k >= 0 && k < c.columns ? int(k) : -1;
        }
        // Even a single crossing stays visible. The shades of the usual counts are worked out
        // once a frame.
        const auto shadeOf = [&](std::uint32_t count) {
            const double level = 0.25 + 0.75 * std::log1p(double(count)) / logMost;
            return qPremultiply(qRgba(255, 0, 0, static_cast<int>(level * 255)));
        };
        std::vector<QRgb> shades(std::min<std::uint32_t>(most, 65535) + 1);
        for (std::size_t count = 1; count < shades.size(); ++count)
            shades[count] = shadeOf(static_cast<std::uint32_t>(count));
        for (int py = 0; py < h; ++py) {
            const double y = m.r.yMin + (h - py - 0.5) * sy;
            const double k = std::floor((y - c.extent.yMin) / cellHeight);
            if (!(k >= 0 && k < c.rows))
                continue;
            const std::uint32_t* row =
                c.counts.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(c.columns);
            auto* out = reinterpret_cast<QRgb*>(mask.image.scanLine(py));
            for (int px = 0; px < w; ++px) {
                const int column = cellColumn[static_cast<std::size_t>(px)];
                if (column < 0 || row[column] == 0)
                    continue;
                const std::uint32_t count = row[column];
                out[px] = count < shades.size() ? shades[count] : shadeOf(count);
            }
        }
        mask.draw(painter, d);
    }

    // The corner of the data area where the legend hides the fewest points (the record's and the
    // curve's, a sample of them on a long record); the top right one unless another hides fewer.
    QRectF legendBox(const Mapping& m, const PlotData& data, QSizeF size, double gap)
    {
        const QRectF& d = m.d;
        const QRectF corners[] = {
            QRectF(QPointF(d.right() - gap - size.width(), d.top() + gap), size),
            QRectF(QPointF(d.left() + gap, d.top() + gap), size),
            QRectF(QPointF(d.right() - gap - size.width(), d.bottom() - gap - size.height()), size),
            QRectF(QPointF(d.left() + gap, d.bottom() - gap - size.height()), size),
        };
        std::size_t hidden[4] = {};
        const auto count = [&](const std::vector<double>& x, const std::vector<double>& y) {
            const std::size_t n = std::min(x.size(), y.size());
            const std::size_t stride = std::max<std::size_t>(1, n / 20'000);
            for (std::size_t i = 0; i < n; i += stride) {
                const QPointF p = m(x[i], y[i]);
                for (int k = 0; k < 4; ++k)
                    hidden[k] += corners[k].contains(p) ? 1u : 0u;
            }
        };
        count(data.x, data.y);
        count(data.sides.positive.x, data.sides.positive.y);
        count(data.sides.negative.x, data.sides.negative.y);
        int best = 0;
        for (int k = 1; k < 4; ++k)
            if (hidden[k] < hidden[best])
                best = k;
        return corners[best];
    }

    QString columnTitle(const char* axis, int column)
    {
        return column > 0 ? QStringLiteral("%1 (column %2)").arg(QLatin1String(axis)).arg(column)
                          : QString::fromLatin1(axis);
    }

}  // namespace

QColor recordSegmentColour(std::uint8_t index)
{
    if (index == kNoGroupColour)
        return kRecordColour;
    return QColor(0, 255 - index, index);
}

QString plotXTitle(const PlotData& data)
{
    return data.xTitle.isEmpty() ? columnTitle("X", data.xColumn) : data.xTitle;
}

QString plotYTitle(const PlotData& data)
{
    return data.yTitle.isEmpty() ? columnTitle("Y", data.yColumn) : data.yTitle;
}

QColor PlotRenderer::recordColour()
{
    return kRecordColour;
}

QColor PlotRenderer::positiveColour(const PlotLayers& layers)
{
    return layers.curveInBoxRed ? kBoxRed : kPositiveColour;
}

QColor PlotRenderer::negativeColour(const PlotLayers& layers)
{
    return layers.curveInBoxRed ? kBoxRed : kNegativeColour;
}

PlotRenderer::PlotRenderer() = default;

PlotRenderer::PlotRenderer(const PlotData& data)
{
    setData(&data);
}

PlotRenderer::~PlotRenderer() = default;

void PlotRenderer::setData(const PlotData* data)
{
    m_data = data;
    m_levels.reset();
    // Short records draw as lines; the levels pay off where points outnumber pixels.
    constexpr std::size_t kLevelsFrom = 20'000;
    const std::size_t n = data ? std::min(data->x.size(), data->y.size()) : 0;
    if (n >= kLevelsFrom)
        m_levels = std::make_unique<PlotLevels>(data->x.data(), data->y.data(),
            groupColours(*data) ? data->colours.data() : nullptr, n);
}

QRect PlotRenderer::dataRect(const QRect& target, const QFontMetricsF& metrics)
{
    const double s = scaleOf(metrics);
    const int left = static_cast<int>(std::round(kLeftMargin * s));
    const int right = static_cast<int>(std::round(kRightMargin * s));
    const int top = static_cast<int>(std::round(kTopMargin * s));
    const int bottom = static_cast<int>(std::round(kBottomMargin * s));
    return QRect(target.left() + left, target.top() + top,
        std::max(1, target.width() - left - right), std::max(1, target.height() - top - bottom));
}

void PlotRenderer::render(
    QPainter& painter, const QRect& target, const PlotRange& r, const PlotStyle& style) const
{
    static const PlotData kEmpty;
    const PlotData& data = m_data ? *m_data : kEmpty;
    const PlotLayers& layers = style.layers;
    painter.save();
    painter.fillRect(target, Qt::white);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double s = scaleOf(metrics);
    // A hairline on screen; on a picture for print a line of the font's weight.
    const double thin = s > 1.5 ? s : 0;
    const QRect d = dataRect(target, metrics);
    const Mapping m(d, r);
    const AxisTicks xTicks = roundTicks(
        r.xMin, r.xMax, d.width(),
        [&](const QString& label) { return metrics.horizontalAdvance(label); }, 8 * s);
    const AxisTicks yTicks = roundTicks(
        r.yMin, r.yMax, d.height(), [&](const QString&) { return metrics.height(); }, 8 * s);

    if (layers.grid) {
        painter.setPen(QPen(kGridColour, thin));
        for (double v : xTicks.values) {
            const double px = std::round(m(v, 0).x());
            painter.drawLine(QPointF(px, d.top()), QPointF(px, d.bottom()));
        }
        for (double v : yTicks.values) {
            const double py = std::round(m(0, v).y());
            painter.drawLine(QPointF(d.left(), py), QPointF(d.right(), py));
        }
    }

    painter.save();
    painter.setClipRect(d);
    if (layers.record)
        drawSeries(painter, m, data.x.data(), data.y.data(), std::min(data.x.size(), data.y.size()),
            QPen(kRecordColour, thin), groupColours(data) ? data.colours.data() : nullptr,
            m_levels.get());
    if (layers.crossings)
        drawCrossings(painter, m, data.crossings, s);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (layers.backbone) {
        // Under the curve it follows, wide and pale, so that both show.
        const QPen pen(kBackboneWash, 5 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        drawSeries(painter, m, data.backbone.positive, pen);
        drawSeries(painter, m, data.backbone.negative, pen);
    }
    if (layers.bilinear) {
        const QPen pen(kBilinearColour, 1.5 * s, Qt::DashLine);
        drawSeries(painter, m, data.backbone.positiveBilinear, pen);
        drawSeries(painter, m, data.backbone.negativeBilinear, pen);
    }
    if (layers.positive) {
        QPen pen(positiveColour(layers), 2 * s);
        drawSeries(painter, m, data.sides.positive.x.data(), data.sides.positive.y.data(),
            std::min(data.sides.positive.x.size(), data.sides.positive.y.size()), pen);
    }
    if (layers.negative) {
        QPen pen(negativeColour(layers), 2 * s);
        drawSeries(painter, m, data.sides.negative.x.data(), data.sides.negative.y.data(),
            std::min(data.sides.negative.x.size(), data.sides.negative.y.size()), pen);
    }
    // The chosen stretch goes over every layer, or the crossings and curves would hide it.
    const PlotHighlight& h = style.highlight;
    if (h.from < h.to && h.from < data.x.size()) {
        const std::size_t to = std::min({ h.to, data.x.size(), data.y.size() });
        drawSeries(painter, m, data.x.data() + h.from, data.y.data() + h.from, to - h.from,
            QPen(kHighlightColour, 2 * s));
    }
    if (h.point && finite(h.x, h.y)) {
        painter.setPen(QPen(kHighlightColour, 1.5 * s));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(m(h.x, h.y), 5 * s, 5 * s);
    }
    painter.restore();

    // Axes, ticks and their labels.
    painter.setPen(QPen(Qt::black, thin));
    painter.drawRect(d.adjusted(0, 0, -1, -1));
    for (double v : xTicks.values) {
        const double px = std::round(m(v, 0).x());
        painter.drawLine(QPointF(px, d.bottom()), QPointF(px, d.bottom() + 5 * s));
        const QString label = tickLabel(v, xTicks.step);
        const double w = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(px - w / 2.0, d.bottom() + 7 * s + metrics.ascent()), label);
    }
    const double left = d.left() - target.left();
    for (double v : yTicks.values) {
        const double py = std::round(m(0, v).y());
        painter.drawLine(QPointF(d.left() - 5 * s, py), QPointF(d.left(), py));
        const QString label = tickLabel(v, yTicks.step);
        const QString shown = metrics.elidedText(label, Qt::ElideRight, left - 28 * s);
        const double w = metrics.horizontalAdvance(shown);
        painter.drawText(QPointF(d.left() - 8 * s - w, py + metrics.ascent() / 2.0 - 1), shown);
    }
    const int lineHeight = static_cast<int>(std::ceil(metrics.height()));
    const QString xTitle = metrics.elidedText(plotXTitle(data), Qt::ElideRight, d.width());
    painter.drawText(QRect(d.left(), target.bottom() - lineHeight - static_cast<int>(3 * s),
                         d.width(), lineHeight),
        Qt::AlignHCenter, xTitle);
    painter.save();
    painter.translate(target.left() + 4 * s, d.center().y());
    painter.rotate(-90);
    const QString yTitle = metrics.elidedText(plotYTitle(data), Qt::ElideRight, d.height());
    painter.drawText(QRect(-d.height() / 2, 0, d.height(), lineHeight), Qt::AlignHCenter, yTitle);
    painter.restore();

    // The legend lists the layers shown that have something to show.
    if (layers.legend) {
        QList<QPair<QString, QPen>> entries;
        // The run's group colours show as a swatch of their sweep from green to blue.
        const bool coloured = groupColours(data);
        if (layers.record && !data.x.empty())
            entries.append({ coloured ? tr("Record (group colours)") : tr("Record"),
                QPen(kRecordColour, 2 * s) });
        if (layers.crossings && (data.crossings.total > 0 || !data.crossings.exact.x.empty()))
            entries.append({ tr("Crossings"), QPen(kCrossingColour, 4 * s) });
        if (layers.positive && !data.sides.positive.x.empty())
            entries.append({ tr("Positive curve"), QPen(positiveColour(layers), 2 * s) });
        if (layers.negative && !data.sides.negative.x.empty())
            entries.append({ tr("Negative curve"), QPen(negativeColour(layers), 2 * s) });
        if (layers.backbone
            && !(data.backbone.positive.x.empty() && data.backbone.negative.x.empty()))
            entries.append({ tr("Backbone"), QPen(kBackboneWash, 5 * s) });
        if (layers.bilinear
            && !(data.backbone.positiveBilinear.x.empty()
                && data.backbone.negativeBilinear.x.empty()))
            entries.append({ tr("Bilinear"), QPen(kBilinearColour, 2 * s, Qt::DashLine) });
        if (!entries.isEmpty()) {
            double textWidth = 0;
            for (const auto& entry : entries)
                textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.first));
            const double line = metrics.height() + 2 * s;
            const QSizeF size(
                textWidth + 36 * s, line * static_cast<double>(entries.size()) + 8 * s);
            const QRectF box = legendBox(m, data, size, 8 * s);
            painter.fillRect(box, QColor(255, 255, 255, 230));
            painter.setPen(QPen(QColor(160, 160, 160), thin));
            painter.drawRect(box);
            for (int i = 0; i < entries.size(); ++i) {
                const double y = box.top() + 4 * s + i * line + line / 2;
                QPen pen = entries[i].second;
                if (i == 0 && coloured && layers.record) {
                    QLinearGradient sweep(box.left() + 6 * s, y, box.left() + 24 * s, y);
                    sweep.setColorAt(0, recordSegmentColour(0));
                    sweep.setColorAt(1, recordSegmentColour(252));
                    pen = QPen(QBrush(sweep), 3 * s);
                }
                painter.setPen(pen);
                painter.drawLine(QPointF(box.left() + 6 * s, y), QPointF(box.left() + 24 * s, y));
                painter.setPen(Qt::black);
                painter.drawText(
                    QPointF(box.left() + 30 * s, y + metrics.ascent() / 2.0 - 1), entries[i].first);
            }
        }
    }
    painter.restore();
}

bool usablePlotRange(const PlotRange& r)
{
    const auto side = [](double low, double high) {
        const double span = high - low;
        return std::isfinite(low) && std::isfinite(high) && span > 0 && std::isfinite(span)
            && span > 1e-12 * std::max(std::abs(low), std::abs(high));
    };
    return side(r.xMin, r.xMax) && side(r.yMin, r.yMax);
}

PlotRange fullPlotRange(const PlotData& data)
{
    PlotRange full;
    bool any = false;
    const auto include = [&](const std::vector<double>& x, const std::vector<double>& y) {
        const std::size_t n = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i]))
                continue;
            if (!any) {
                full = { x[i], x[i], y[i], y[i] };
                any = true;
                continue;
            }
            full.xMin = std::min(full.xMin, x[i]);
            full.xMax = std::max(full.xMax, x[i]);
            full.yMin = std::min(full.yMin, y[i]);
            full.yMax = std::max(full.yMax, y[i]);
        }
    };
    include(data.x, data.y);
    include(data.sides.positive.x, data.sides.positive.y);
    include(data.sides.negative.x, data.sides.negative.y);
    if (!any)
        return { -1, 1, -1, 1 };
    // Widens a side of no extent so that the view always has an area.
    const auto widen = [](double& low, double& high) {
        const double margin = (high - low) * 0.05;
        if (margin > 0) {
            low -= margin;
            high += margin;
            return;
        }
        const double half = std::max(std::abs(low) * 0.1, 1.0);
        low -= half;
        high += half;
    };
    widen(full.xMin, full.xMax);
    widen(full.yMin, full.yMax);
    return usablePlotRange(full) ? full : PlotRange { -1, 1, -1, 1 };
}

void renderPlot(QPainter& painter, const QRect& target, const PlotData& data,
    const PlotRange& range, const PlotStyle& style)
{
    PlotRenderer(data).render(painter, target, range, style);
}

}  // namespace plot
