#include "ui/plot_window/plot_renderer.h"

#include "ui/plot_window/plot_ticks.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPair>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace ui {

// Reserved for the per-level index of dense series; nothing is kept yet.
class PlotLevels
{
};

namespace {

    const QColor kRecordColour(120, 120, 120);
    const QColor kCrossingColour(255, 0, 0);
    const QColor kPositiveColour(230, 120, 0);
    const QColor kNegativeColour(0, 110, 200);
    // The picture box draws the curve in this red.
    const QColor kBoxRed(255, 0, 0);
    const QColor kBackboneColour(0, 140, 70);
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
        return QCoreApplication::translate("ui::PlotRenderer", text);
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

    // A dense series (noisy records step about a pixel a sample) is rasterised by the walk
    // itself into a mask the size of the view: each short segment sets the pixels it passes,
    // so the frame costs the samples plus the pixels, never a polyline of a million vertices.
    // The rare long segment goes to the painter, which clips it.
    void drawDense(QPainter& painter, const Mapping& m, const double* x, const double* y,
        std::size_t n, const QColor& colour)
    {
        const QRect d = m.d.toRect();
        const int w = d.width();
        const int h = d.height();
        QImage mask(w, h, QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        const QRgb ink = qPremultiply(colour.rgba());
        const auto set = [&](double px, double py) {
            if (px >= 0 && py >= 0 && px < w && py < h)
                reinterpret_cast<QRgb*>(mask.scanLine(static_cast<int>(py)))[static_cast<int>(px)] =
                    ink;
        };
        std::vector<QLineF> longSegments;
        constexpr double kLongSegment = 256;
        bool havePrevious = false;
        double px0 = 0;
        double py0 = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i])) {
                havePrevious = false;
                continue;
            }
            const double px = (x[i] - m.r.xMin) * m.xScale;
            const double py = h - (y[i] - m.r.yMin) * m.yScale;
            if (!havePrevious) {
                set(px, py);
            } else if (!((px < 0 && px0 < 0) || (py < 0 && py0 < 0) || (px >= w && px0 >= w)
                           || (py >= h && py0 >= h))) {
                const double steps = std::ceil(std::max(std::abs(px - px0), std::abs(py - py0)));
                if (steps > kLongSegment) {
                    longSegments.emplace_back(std::clamp(px0, -1e6, 1e6) + d.left(),
                        std::clamp(py0, -1e6, 1e6) + d.top(), std::clamp(px, -1e6, 1e6) + d.left(),
                        std::clamp(py, -1e6, 1e6) + d.top());
                } else {
                    for (double k = 1; k <= steps; ++k)
                        set(px0 + (px - px0) * k / steps, py0 + (py - py0) * k / steps);
                }
            }
            havePrevious = true;
            px0 = px;
            py0 = py;
        }
        painter.drawImage(d.topLeft(), mask);
        if (!longSegments.empty())
            painter.drawLines(longSegments.data(), static_cast<int>(longSegments.size()));
    }

    // Draws a series so that a frame costs about the pixels it touches, not the points: the points
    // are walked in their order, and each stretch of consecutive points inside one pixel column
    // becomes its first, lowest, highest and last point. A loop that passes a column twice is
    // drawn twice there, so a hysteresis loop stays a loop rather than a filled band, and where
    // every column holds at most a few consecutive points this is the exact line.
    void drawSeries(QPainter& painter, const Mapping& m, const double* x, const double* y,
        std::size_t n, const QPen& pen)
    {
        painter.setPen(pen);
        if (n > 4 * static_cast<std::size_t>(m.d.width())) {
            drawDense(painter, m, x, y, n, pen.color());
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

    // The crossings as dots while they are exact, else their counts as shading: the more fell
    // into a cell, the darker its pixels.
    void drawCrossings(QPainter& painter, const Mapping& m, const PlotCrossings& c, double unit)
    {
        if (!c.dense()) {
            const std::size_t n = std::min(c.exact.x.size(), c.exact.y.size());
            const double radius = 1.5 * unit;
            painter.setPen(Qt::NoPen);
            painter.setBrush(kCrossingColour);
            // Many dots on one pixel draw as one.
            QPointF previous(-1e9, -1e9);
            for (std::size_t i = 0; i < n; ++i) {
                if (!finite(c.exact.x[i], c.exact.y[i]))
                    continue;
                const QPointF p = m(c.exact.x[i], c.exact.y[i]);
                if (!m.d.adjusted(-radius, -radius, radius, radius).contains(p))
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
        const QRect d = m.d.toRect();
        const int w = d.width();
        const int h = d.height();
        const double cellWidth = (c.extent.xMax - c.extent.xMin) / c.columns;
        const double cellHeight = (c.extent.yMax - c.extent.yMin) / c.rows;
        if (!(cellWidth > 0) || !(cellHeight > 0))
            return;
        std::uint32_t most = 1;
        for (std::uint32_t count : c.counts)
            most = std::max(most, count);
        const double logMost = std::log1p(static_cast<double>(most));
        std::vector<int> cellColumn(static_cast<std::size_t>(w));
        for (int px = 0; px < w; ++px) {
            const double x = m.r.xMin + (px + 0.5) / m.xScale;
            const double k = std::floor((x - c.extent.xMin) / cellWidth);
            cellColumn[static_cast<std::size_t>(px)] = k >= 0 && k < c.columns ? int(k) : -1;
        }
        QImage shade(w, h, QImage::Format_ARGB32_Premultiplied);
        shade.fill(Qt::transparent);
        for (int py = 0; py < h; ++py) {
            const double y = m.r.yMin + (h - py - 0.5) / m.yScale;
            const double k = std::floor((y - c.extent.yMin) / cellHeight);
            if (!(k >= 0 && k < c.rows))
                continue;
            const std::uint32_t* row =
                c.counts.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(c.columns);
            auto* out = reinterpret_cast<QRgb*>(shade.scanLine(py));
            for (int px = 0; px < w; ++px) {
                const int column = cellColumn[static_cast<std::size_t>(px)];
                if (column < 0 || row[column] == 0)
                    continue;
                // Even a single crossing stays visible.
                const double level = 0.25 + 0.75 * std::log1p(double(row[column])) / logMost;
                out[px] = qPremultiply(qRgba(255, 0, 0, static_cast<int>(level * 255)));
            }
        }
        painter.drawImage(d.topLeft(), shade);
    }

    QString columnTitle(const char* axis, int column)
    {
        return column > 0 ? QStringLiteral("%1 (column %2)").arg(QLatin1String(axis)).arg(column)
                          : QString::fromLatin1(axis);
    }

}  // namespace

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
            QPen(kRecordColour, thin));
    const PlotHighlight& h = style.highlight;
    if (h.from < h.to && h.from < data.x.size()) {
        const std::size_t to = std::min({ h.to, data.x.size(), data.y.size() });
        drawSeries(painter, m, data.x.data() + h.from, data.y.data() + h.from, to - h.from,
            QPen(kHighlightColour, 2 * s));
    }
    if (layers.crossings)
        drawCrossings(painter, m, data.crossings, s);
    painter.setRenderHint(QPainter::Antialiasing, true);
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
    if (layers.backbone) {
        const QPen pen(kBackboneColour, 1.5 * s);
        drawSeries(painter, m, data.backbone.positive, pen);
        drawSeries(painter, m, data.backbone.negative, pen);
    }
    if (layers.bilinear) {
        const QPen pen(kBilinearColour, 1.5 * s, Qt::DashLine);
        drawSeries(painter, m, data.backbone.positiveBilinear, pen);
        drawSeries(painter, m, data.backbone.negativeBilinear, pen);
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
        if (layers.record && !data.x.empty())
            entries.append({ tr("Record"), QPen(kRecordColour, 2 * s) });
        if (layers.crossings && (data.crossings.total > 0 || !data.crossings.exact.x.empty()))
            entries.append({ tr("Crossings"), QPen(kCrossingColour, 4 * s) });
        if (layers.positive && !data.sides.positive.x.empty())
            entries.append({ tr("Positive curve"), QPen(positiveColour(layers), 2 * s) });
        if (layers.negative && !data.sides.negative.x.empty())
            entries.append({ tr("Negative curve"), QPen(negativeColour(layers), 2 * s) });
        if (layers.backbone
            && !(data.backbone.positive.x.empty() && data.backbone.negative.x.empty()))
            entries.append({ tr("Backbone"), QPen(kBackboneColour, 2 * s) });
        if (layers.bilinear
            && !(data.backbone.positiveBilinear.x.empty()
                && data.backbone.negativeBilinear.x.empty()))
            entries.append({ tr("Bilinear"), QPen(kBilinearColour, 2 * s, Qt::DashLine) });
        if (!entries.isEmpty()) {
            double textWidth = 0;
            for (const auto& entry : entries)
                textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.first));
            const double line = metrics.height() + 2 * s;
            const QRectF box(d.right() - textWidth - 44 * s, d.top() + 8 * s, textWidth + 36 * s,
                line * static_cast<double>(entries.size()) + 8 * s);
            painter.fillRect(box, QColor(255, 255, 255, 230));
            painter.setPen(QPen(QColor(160, 160, 160), thin));
            painter.drawRect(box);
            for (int i = 0; i < entries.size(); ++i) {
                const double y = box.top() + 4 * s + i * line + line / 2;
                painter.setPen(entries[i].second);
                painter.drawLine(QPointF(box.left() + 6 * s, y), QPointF(box.left() + 24 * s, y));
                painter.setPen(Qt::black);
                painter.drawText(
                    QPointF(box.left() + 30 * s, y + metrics.ascent() / 2.0 - 1), entries[i].first);
            }
        }
    }
    painter.restore();
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
    return full;
}

void renderPlot(QPainter& painter, const QRect& target, const PlotData& data,
    const PlotRange& range, const PlotStyle& style)
{
    PlotRenderer(data).render(painter, target, range, style);
}

}  // namespace ui
