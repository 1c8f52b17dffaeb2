#include "plot/render_layers.h"

#include "plot/clipped_lines.h"
#include "plot/render_levels.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace plot::drawing {

namespace {

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
        // Past the view by more than the pen's caps and joins reach.
        const double reach = 2 * std::max(pen.widthF(), 1.0) + 2;
        const QRectF view = m.d.adjusted(-reach, -reach, reach, reach);
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() == 1)
                painter.drawPoint(line.front());
            else if (line.size() > 1)
                drawPolylineWithin(painter, line, view);
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
            if (i % 65536 == 0)
                checkDrawingCancelled();
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
            const std::size_t n = std::min(c.x.size(), c.y.size());
            const double radius = 1.5 * unit;
            const QRectF reach = d.adjusted(-radius, -radius, radius, radius);
            std::size_t visible = 0;
            for (std::size_t i = 0; i < n && visible <= 5000; ++i)
                visible += reach.contains(m(c.x[i], c.y[i])) ? 1u : 0u;
            if (visible > 5000) {
                Mask mask(painter, d);
                const int w = mask.image.width();
                const int h = mask.image.height();
                const int r = std::max(1, static_cast<int>(std::round(radius * mask.scale)));
                const QRgb ink = qPremultiply(kCrossingColour.rgba());
                for (std::size_t i = 0; i < n; ++i) {
                    const double px = (c.x[i] - m.r.xMin) * m.xScale * mask.scale;
                    const double py = h - (c.y[i] - m.r.yMin) * m.yScale * mask.scale;
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
                if (!finite(c.x[i], c.y[i]))
                    continue;
                const QPointF p = m(c.x[i], c.y[i]);
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

    void drawRecord(
        QPainter& painter, const Frame& f, const PlotData& data, const PlotLevels* levels)
    {
        drawSeries(painter, f.m, data.x.data(), data.y.data(),
            std::min(data.x.size(), data.y.size()), QPen(kRecordColour, f.thin),
            groupColours(data) ? data.colours.data() : nullptr, levels);
    }

    // Under the curve it follows, wide and pale, so that both show.
    void drawBackbone(QPainter& painter, const Frame& f, const PlotBackbone& backbone)
    {
        const QPen pen(kBackboneWash, 5 * f.s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        drawSeries(painter, f.m, backbone.positive, pen);
        drawSeries(painter, f.m, backbone.negative, pen);
    }

    void drawBilinear(QPainter& painter, const Frame& f, const PlotBackbone& backbone)
    {
        const QPen pen(kBilinearColour, 1.5 * f.s, Qt::DashLine);
        drawSeries(painter, f.m, backbone.positiveBilinear, pen);
        drawSeries(painter, f.m, backbone.negativeBilinear, pen);
    }

    void drawLastCycle(QPainter& painter, const Frame& f, const PlotBackbone& backbone)
    {
        const QPen pen(kLastCycleColour, 1.5 * f.s, Qt::DotLine);
        drawSeries(painter, f.m, backbone.positiveLastCycle, pen);
        drawSeries(painter, f.m, backbone.negativeLastCycle, pen);
    }

    void drawCurveSide(
        QPainter& painter, const Frame& f, const run::CurveSide& side, const QPen& pen)
    {
        drawSeries(painter, f.m, side.x.data(), side.y.data(),
            std::min(side.x.size(), side.y.size()), pen);
    }

    // The other runs' records, thin and pale in their colours, under everything of the plot's
    // own.
    void drawOverlayRecords(QPainter& painter, const Frame& f, const std::vector<OverlayRun>& runs)
    {
        for (const OverlayRun& run : runs) {
            if (!run.visible || !run.data)
                continue;
            QColor pale = run.colour;
            pale.setAlpha(90);
            const PlotData& d = *run.data;
            drawSeries(painter, f.m, d.x.data(), d.y.data(), std::min(d.x.size(), d.y.size()),
                QPen(pale, f.thin));
        }
    }

    // Each other run's curve, envelope (with a dot at each of its points, so that the levels
    // show) and idealisation in its colour: the curve thin, the envelope bold, the idealisation
    // dashed.
    void drawOverlayLines(QPainter& painter, const Frame& f, const PlotLayers& layers,
        const std::vector<OverlayRun>& runs)
    {
        for (const OverlayRun& run : runs) {
            if (!run.visible)
                continue;
            if (run.data) {
                const QPen pen(run.colour, 1.2 * f.s);
                if (layers.positive)
                    drawCurveSide(painter, f, run.data->sides.positive, pen);
                if (layers.negative)
                    drawCurveSide(painter, f, run.data->sides.negative, pen);
            }
            if (!run.backbone)
                continue;
            const PlotBackbone& b = *run.backbone;
            if (layers.backbone) {
                const QPen pen(run.colour, 2.2 * f.s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
                painter.setBrush(run.colour);
                for (const PlotSeries* side : { &b.positive, &b.negative }) {
                    drawSeries(painter, f.m, *side, pen);
                    painter.setPen(Qt::NoPen);
                    const std::size_t n = std::min(side->x.size(), side->y.size());
                    // The origin the backbone starts from is no point of the envelope.
                    for (std::size_t i = 1; i < n; ++i)
                        if (finite(side->x[i], side->y[i]))
                            painter.drawEllipse(f.m(side->x[i], side->y[i]), 2.6 * f.s, 2.6 * f.s);
                }
                painter.setBrush(Qt::NoBrush);
            }
            if (layers.bilinear) {
                const QPen pen(run.colour, 1.5 * f.s, Qt::DashLine);
                drawSeries(painter, f.m, b.positiveBilinear, pen);
                drawSeries(painter, f.m, b.negativeBilinear, pen);
            }
        }
    }

    // The chosen loops go over every layer, or the crossings and curves would hide them.
    void drawHighlight(QPainter& painter, const Frame& f, const PlotHighlight& h)
    {
        const Mapping& m = f.m;
        const double s = f.s;
        const QPen loopPen(kHighlightColour, 2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        for (const PlotSeries& loop : h.loops)
            drawSeries(painter, m, loop, loopPen);
        if (h.point && finite(h.x, h.y)) {
            painter.setPen(QPen(kHighlightColour, 1.5 * s));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(m(h.x, h.y), 5 * s, 5 * s);
        }
    }

}  // namespace

void drawLayers(QPainter& painter, const Frame& frame, const PlotData& data, const PlotStyle& style,
    const PlotLevels* levels)
{
    const PlotLayers& layers = style.layers;
    painter.save();
    painter.setClipRect(frame.d);
    if (layers.record) {
        drawOverlayRecords(painter, frame, style.overlays);
        drawRecord(painter, frame, data, levels);
    }
    if (layers.crossings)
        drawCrossings(painter, frame.m, data.crossings, frame.s);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (style.backbone && layers.backbone)
        drawBackbone(painter, frame, *style.backbone);
    if (style.backbone && layers.lastCycle)
        drawLastCycle(painter, frame, *style.backbone);
    if (style.backbone && layers.bilinear)
        drawBilinear(painter, frame, *style.backbone);
    drawOverlayLines(painter, frame, layers, style.overlays);
    if (layers.positive)
        drawCurveSide(painter, frame, data.sides.positive,
            QPen(PlotRenderer::positiveColour(layers), 2 * frame.s));
    if (layers.negative)
        drawCurveSide(painter, frame, data.sides.negative,
            QPen(PlotRenderer::negativeColour(layers), 2 * frame.s));
    drawHighlight(painter, frame, style.highlight);
    painter.restore();
}

}  // namespace plot::drawing
