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

    FrameTicks frameTicks(const Frame& f)
    {
        const PlotRange& r = f.m.r;
        const QFontMetricsF& metrics = f.metrics;
        const double s = f.s;
        return { roundTicks(
                     r.xMin, r.xMax, f.d.width(),
                     [&](const QString& label) { return metrics.horizontalAdvance(label); }, 8 * s),
            roundTicks(
                r.yMin, r.yMax, f.d.height(), [&](const QString&) { return metrics.height(); },
                8 * s) };
    }

    QRect dataArea(const QRect& target, const QFontMetricsF& metrics)
    {
        const double s = scaleOf(metrics);
        const int left = static_cast<int>(std::round(kLeftMargin * s));
        const int right = static_cast<int>(std::round(kRightMargin * s));
        const int top = static_cast<int>(std::round(kTopMargin * s));
        const int bottom = static_cast<int>(std::round(kBottomMargin * s));
        return QRect(target.left() + left, target.top() + top,
            std::max(1, target.width() - left - right),
            std::max(1, target.height() - top - bottom));
    }

    void drawGrid(QPainter& painter, const Frame& f, const FrameTicks& ticks)
    {
        const QRect& d = f.d;
        const Mapping& m = f.m;
        const double thin = f.thin;
        const AxisTicks& xTicks = ticks.x;
        const AxisTicks& yTicks = ticks.y;
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

    void drawAxes(QPainter& painter, const Frame& f, const FrameTicks& ticks)
    {
        const QRect& target = f.target;
        const QRect& d = f.d;
        const Mapping& m = f.m;
        const QFontMetricsF& metrics = f.metrics;
        const double s = f.s;
        const double thin = f.thin;
        const AxisTicks& xTicks = ticks.x;
        const AxisTicks& yTicks = ticks.y;
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
        painter.translate(target.left() + 4 * s, d.center().y());
        painter.rotate(-90);
        const QString yTitle = metrics.elidedText(plotYTitle(data), Qt::ElideRight, d.height());
        painter.drawText(
            QRect(-d.height() / 2, 0, d.height(), lineHeight), Qt::AlignHCenter, yTitle);
        painter.restore();
    }

}  // namespace drawing

}  // namespace plot
