#include "plot/render_axes.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

    // The margins around the data at the screen's usual font; they grow with a larger font
    // (a picture for print draws at many pixels a point).
    constexpr double kLeftMargin = 76;
    constexpr double kRightMargin = 14;
    constexpr double kTopMargin = 14;
    constexpr double kBottomMargin = 50;
    // The gaps between the Y title, the Y labels and the axis.
    constexpr double kTitleInset = 4;
    constexpr double kTitleGap = 6;
    constexpr double kLabelGap = 8;

    // Whole pixels that hold `v`.
    int pixels(double v)
    {
        return static_cast<int>(std::ceil(v - 1e-9));
    }

    QString columnTitle(const char* axis, int column)
    {
        return column > 0 ? QStringLiteral("%1 (column %2)").arg(QLatin1String(axis)).arg(column)
                          : QString::fromLatin1(axis);
    }

}  // namespace

QString plotXTitle(const PlotData& data)
{
    return data.xTitle.empty() ? columnTitle("X", data.xColumn)
                               : QString::fromStdString(data.xTitle);
}

QString plotYTitle(const PlotData& data)
{
    return data.yTitle.empty() ? columnTitle("Y", data.yColumn)
                               : QString::fromStdString(data.yTitle);
}

namespace drawing {

    QRect dataArea(
        const QRect& target, const QFontMetricsF& metrics, const PlotRange& r, FrameTicks* ticks)
    {
        const double s = scaleOf(metrics);
        const auto advance = [&](const QString& label) { return metrics.horizontalAdvance(label); };
        const int top = static_cast<int>(std::round(kTopMargin * s));
        const int bottom = static_cast<int>(std::round(kBottomMargin * s));
        const int height = std::max(1, target.height() - top - bottom);
        // The Y ticks depend on the height alone; the left margin then takes the widest of
        // their labels beside the title, but never more than half the picture.
        AxisTicks y = roundTicks(
            r.yMin, r.yMax, height, [&](const QString&) { return metrics.height(); }, 8 * s);
        double widest = 0;
        for (double v : y.values)
            widest = std::max(widest, advance(tickLabel(v, y.step)));
        const int left = std::min(
            std::max(static_cast<int>(std::round(kLeftMargin * s)),
                pixels((kTitleInset + kTitleGap + kLabelGap) * s + metrics.height() + widest)),
            target.width() / 2);
        int right = static_cast<int>(std::round(kRightMargin * s));
        const auto xTicks = [&](int width) {
            return roundTicks(r.xMin, r.xMax, width, advance, 8 * s);
        };
        int width = std::max(1, target.width() - left - right);
        AxisTicks x = xTicks(width);
        // The last X label is centred on its tick: the right margin takes the part of it that
        // passes the data area, and the ticks are worked out again for the narrower width.
        if (!x.values.empty()) {
            const double last = x.values.back();
            const double at = (last - r.xMin) / (r.xMax - r.xMin) * width;
            const double overhang = at + advance(tickLabel(last, x.step)) / 2 - width - right;
            if (overhang > 0) {
                right = std::min(right + pixels(overhang), target.width() / 4);
                width = std::max(1, target.width() - left - right);
                x = xTicks(width);
            }
        }
        if (ticks)
            *ticks = { std::move(x), std::move(y) };
        return QRect(target.left() + left, target.top() + top, width, height);
    }

    void drawGrid(QPainter& painter, const Frame& f)
    {
        const QRect& d = f.d;
        const Mapping& m = f.m;
        painter.setPen(QPen(kGridColour, f.thin));
        for (double v : f.ticks.x.values) {
            const double px = std::round(m(v, 0).x());
            painter.drawLine(QPointF(px, d.top()), QPointF(px, d.bottom()));
        }
        for (double v : f.ticks.y.values) {
            const double py = std::round(m(0, v).y());
            painter.drawLine(QPointF(d.left(), py), QPointF(d.right(), py));
        }
    }

    void drawAxes(QPainter& painter, const Frame& f)
    {
        const QRect& target = f.target;
        const QRect& d = f.d;
        const Mapping& m = f.m;
        const QFontMetricsF& metrics = f.metrics;
        const double s = f.s;
        const AxisTicks& xTicks = f.ticks.x;
        const AxisTicks& yTicks = f.ticks.y;
        painter.setPen(QPen(Qt::black, f.thin));
        painter.drawRect(d.adjusted(0, 0, -1, -1));
        // The X labels start below the lowest Y label, whose line is centred on the axis.
        const double below = std::max(7 * s, metrics.height() / 2 + s);
        for (double v : xTicks.values) {
            const double px = std::round(m(v, 0).x());
            painter.drawLine(QPointF(px, d.bottom()), QPointF(px, d.bottom() + 5 * s));
            const QString label = tickLabel(v, xTicks.step);
            const double w = metrics.horizontalAdvance(label);
            // Kept whole inside the picture where the margins could not make room.
            const double x = std::clamp(px - w / 2.0, double(target.left()),
                std::max(double(target.left()), target.left() + target.width() - w));
            painter.drawText(QPointF(x, d.bottom() + below + metrics.ascent()), label);
        }
        // Cut short only where the margin reached its bound, half the picture.
        const double room =
            d.left() - target.left() - (kTitleInset + kTitleGap + kLabelGap) * s - metrics.height();
        for (double v : yTicks.values) {
            const double py = std::round(m(0, v).y());
            painter.drawLine(QPointF(d.left() - 5 * s, py), QPointF(d.left(), py));
            const QString label = tickLabel(v, yTicks.step);
            const QString shown = metrics.horizontalAdvance(label) <= room + 0.5
                ? label
                : metrics.elidedText(label, Qt::ElideRight, room);
            const double w = metrics.horizontalAdvance(shown);
            // The label's line centred on the tick, clear of the X labels below the axis.
            painter.drawText(QPointF(d.left() - kLabelGap * s - w,
                                 py + (metrics.ascent() - metrics.descent()) / 2.0),
                shown);
        }
    }

    void drawAxisTitles(QPainter& painter, const Frame& f, const PlotData& data)
    {
        const QRect& target = f.target;
        const QRect& d = f.d;
        const QFontMetricsF& metrics = f.metrics;
        const double s = f.s;
        painter.setPen(QPen(Qt::black, f.thin));
        const int lineHeight = static_cast<int>(std::ceil(metrics.height()));
        const QString xTitle = metrics.elidedText(plotXTitle(data), Qt::ElideRight, d.width());
        painter.drawText(QRect(d.left(), target.bottom() - lineHeight - static_cast<int>(3 * s),
                             d.width(), lineHeight),
            Qt::AlignHCenter, xTitle);
        painter.save();
        painter.translate(target.left() + kTitleInset * s, d.center().y());
        painter.rotate(-90);
        const QString yTitle = metrics.elidedText(plotYTitle(data), Qt::ElideRight, d.height());
        painter.drawText(
            QRect(-d.height() / 2, 0, d.height(), lineHeight), Qt::AlignHCenter, yTitle);
        painter.restore();
    }

}  // namespace drawing

}  // namespace plot
