#include "plot/render_legend.h"

#include <QCoreApplication>
#include <QFont>
#include <QList>

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
    QRectF legendBox(const Mapping& m, const PlotData& data,
        const std::vector<OverlayRun>& overlays, QSizeF size, double gap)
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
        for (const OverlayRun& run : overlays) {
            if (!run.visible)
                continue;
            if (run.data)
                count(run.data->x, run.data->y);
            if (run.backbone)
                for (const PlotSeries* s : { &run.backbone->positive, &run.backbone->negative,
                         &run.backbone->positiveBilinear, &run.backbone->negativeBilinear })
                    count(s->x, s->y);
        }
        int best = 0;
        for (int k = 1; k < 4; ++k)
            if (hidden[k] < hidden[best])
                best = k;
        return corners[best];
    }

    struct Entry
    {
        QString text;
        QPen pen;
        bool dot = false;  // a dot in the middle of the line: an envelope's points
    };

}  // namespace

void drawLegend(QPainter& painter, const Frame& f, const PlotData& data, const PlotStyle& style)
{
    const PlotLayers& layers = style.layers;
    static const PlotBackbone none;
    const PlotBackbone& backbone = style.backbone ? *style.backbone : none;
    const Mapping& m = f.m;
    const double s = f.s;
    const double thin = f.thin;
    QList<Entry> entries;
    // The run's group colours show as a swatch of their sweep from green to blue.
    const bool coloured = groupColours(data);
    if (layers.record && !data.x.empty())
        entries.append(
            { coloured ? tr("Record (group colours)") : tr("Record"), QPen(kRecordColour, 2 * s) });
    if (layers.crossings && (data.crossings.total > 0 || !data.crossings.x.empty()))
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
    bool overlaid = false;
    bool overlayRecords = false;
    for (const OverlayRun& run : style.overlays) {
        if (!run.visible)
            continue;
        entries.append({ run.label, QPen(run.colour, 2.2 * s), run.backbone && layers.backbone });
        overlaid = true;
        overlayRecords = overlayRecords || (run.data && !run.data->x.empty());
    }
    if (style.overlayKey && overlaid) {
        const QColor key(60, 60, 60);
        if (layers.backbone)
            entries.append({ tr("First-cycle envelope"), QPen(key, 2.2 * s), true });
        if (layers.bilinear)
            entries.append({ tr("Bilinear idealisation"), QPen(key, 1.5 * s, Qt::DashLine) });
        if (layers.record && overlayRecords)
            entries.append({ tr("Record"), QPen(QColor(60, 60, 60, 90), 2 * s) });
    }
    if (entries.isEmpty())
        return;
    // The legend never hides more than a third of the data: in a small plot its text shrinks,
    // and where even that is too large it is left out.
    const QRectF& d = m.d;
    const double most = d.width() * d.height() / 3;
    QFont font = painter.font();
    for (const double shrink : { 1.0, 0.8, 0.65 }) {
        QFont shrunk = font;
        if (font.pointSizeF() > 0)
            shrunk.setPointSizeF(font.pointSizeF() * shrink);
        else
            shrunk.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * shrink)));
        const QFontMetricsF fm(shrunk, painter.device());
        const double k = s * shrink;
        double textWidth = 0;
        for (const auto& entry : entries)
            textWidth = std::max(textWidth, fm.horizontalAdvance(entry.text));
        const double line = fm.height() + 2 * k;
        const QSizeF size(textWidth + 36 * k, line * static_cast<double>(entries.size()) + 8 * k);
        if (size.width() * size.height() > most || size.width() + 16 * k > d.width()
            || size.height() + 16 * k > d.height())
            continue;
        painter.save();
        painter.setFont(shrunk);
        const QRectF box = legendBox(m, data, style.overlays, size, 8 * k);
        painter.fillRect(box, QColor(255, 255, 255, 230));
        painter.setPen(QPen(QColor(160, 160, 160), thin));
        painter.drawRect(box);
        for (int i = 0; i < entries.size(); ++i) {
            const double y = box.top() + 4 * k + i * line + line / 2;
            const double from = box.left() + 6 * k;
            const double to = box.left() + 24 * k;
            if (i == 0 && coloured && layers.record) {
                // The sweep from green to blue as bands of plain colour: a gradient pen is
                // black in an SVG.
                constexpr int kBands = 12;
                const double band = (to - from) / kBands;
                // Each band reaches under the next, so that no seam shows between them.
                for (int b = 0; b < kBands; ++b)
                    painter.fillRect(QRectF(from + b * band, y - 1.5 * k,
                                         b + 1 < kBands ? 1.5 * band : band, 3 * k),
                        recordSegmentColour(static_cast<std::uint8_t>(252 * b / (kBands - 1))));
            } else {
                painter.setPen(entries[i].pen);
                painter.drawLine(QPointF(from, y), QPointF(to, y));
                if (entries[i].dot) {
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(entries[i].pen.color());
                    painter.drawEllipse(QPointF((from + to) / 2, y), 2.6 * k, 2.6 * k);
                    painter.setBrush(Qt::NoBrush);
                }
            }
            painter.setPen(Qt::black);
            painter.drawText(
                QPointF(box.left() + 30 * k, y + fm.ascent() / 2.0 - 1), entries[i].text);
        }
        painter.restore();
        return;
    }
}

}  // namespace plot::drawing
