#include "plot/render_legend.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QList>
#include <QPair>

#include <algorithm>
#include <cstddef>

namespace plot::drawing {

namespace {

    QString tr(const char* text)
    {
        return QCoreApplication::translate("plot::PlotRenderer", text);
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

}  // namespace

void drawLegend(QPainter& painter, const Frame& f, const PlotData& data, const PlotStyle& style)
{
    const PlotLayers& layers = style.layers;
    static const PlotBackbone none;
    const PlotBackbone& backbone = style.backbone ? *style.backbone : none;
    const Mapping& m = f.m;
    const QFontMetricsF& metrics = f.metrics;
    const double s = f.s;
    const double thin = f.thin;
    QList<QPair<QString, QPen>> entries;
    // The run's group colours show as a swatch of their sweep from green to blue.
    const bool coloured = groupColours(data);
    if (layers.record && !data.x.empty())
        entries.append(
            { coloured ? tr("Record (group colours)") : tr("Record"), QPen(kRecordColour, 2 * s) });
    if (layers.crossings && (data.crossings.total > 0 || !data.crossings.exact.x.empty()))
        entries.append({ tr("Crossings"), QPen(kCrossingColour, 4 * s) });
    if (layers.positive && !data.sides.positive.x.empty())
        entries.append({ tr("Positive curve"), QPen(PlotRenderer::positiveColour(layers), 2 * s) });
    if (layers.negative && !data.sides.negative.x.empty())
        entries.append({ tr("Negative curve"), QPen(PlotRenderer::negativeColour(layers), 2 * s) });
    if (layers.backbone && !(backbone.positive.x.empty() && backbone.negative.x.empty()))
        entries.append({ tr("Backbone"), QPen(kBackboneWash, 5 * s) });
    if (layers.lastCycle
        && !(backbone.positiveLastCycle.x.empty() && backbone.negativeLastCycle.x.empty()))
        entries.append({ tr("Last-cycle envelope"), QPen(kLastCycleColour, 2 * s, Qt::DotLine) });
    if (layers.bilinear
        && !(backbone.positiveBilinear.x.empty() && backbone.negativeBilinear.x.empty()))
        entries.append({ tr("Bilinear"), QPen(kBilinearColour, 2 * s, Qt::DashLine) });
    if (entries.isEmpty())
        return;
    double textWidth = 0;
    for (const auto& entry : entries)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.first));
    const double line = metrics.height() + 2 * s;
    const QSizeF size(textWidth + 36 * s, line * static_cast<double>(entries.size()) + 8 * s);
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

}  // namespace plot::drawing
