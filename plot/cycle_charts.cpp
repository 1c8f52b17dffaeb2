#include "plot/cycle_charts.h"

#include "plot/plot_ticks.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>

namespace plot {

namespace {

    const QColor kEnergyColour(70, 130, 180);
    const QColor kCumulativeColour(200, 90, 0);
    const QColor kDampingColour(0, 120, 90);
    const QColor kStiffnessColour(120, 60, 160);
    // The sides as the plot draws the curve's.
    const QColor kPositiveSide(230, 120, 0);
    const QColor kNegativeSide(0, 110, 200);
    const QColor kFirstCycleColour(0, 140, 70);
    const QColor kLastCycleColour(200, 90, 0);
    const QColor kBilinearColour(130, 50, 170);
    const QColor kLevelShade(240, 240, 240);
    const QColor kGridColour(225, 225, 225);
    const QColor kZeroColour(150, 150, 150);

    // The height of the screen's usual font; a larger one scales lines and gaps with it.
    constexpr double kUsualFontHeight = 16;

    ChartSeries series(const QString& name, ChartMark mark, const QColor& colour)
    {
        ChartSeries s;
        s.name = name;
        s.mark = mark;
        s.colour = colour;
        return s;
    }

    // A field the tables leave empty (absent, or not finite) has no point.
    void add(ChartSeries& s, double x, std::optional<double> y)
    {
        if (!y || !std::isfinite(*y) || !std::isfinite(x))
            return;
        s.x.push_back(x);
        s.y.push_back(*y);
    }

    std::vector<ChartLevel> levelsOf(const std::vector<analysis::CycleRow>& cycles)
    {
        std::vector<ChartLevel> levels;
        for (const analysis::CycleRow& row : cycles) {
            const double at = static_cast<double>(row.cycle);
            if (levels.empty() || levels.back().level != row.level)
                levels.push_back({ row.level, at - 0.5, at + 0.5 });
            levels.back().to = at + 0.5;
        }
        return levels;
    }

    CycleChart envelopeChart(
        const analysis::RunTables& tables, const QString& deformation, const QString& load)
    {
        CycleChart chart;
        chart.title =
            QStringLiteral("Envelope of the first and last cycles, bilinear idealisation");
        chart.xTitle = deformation.isEmpty() ? QStringLiteral("Deformation") : deformation;
        chart.yTitle = load.isEmpty() ? QStringLiteral("Load") : load;
        chart.cycleAxis = false;
        for (const analysis::Side side : { analysis::Side::Positive, analysis::Side::Negative }) {
            ChartSeries first = series(
                QStringLiteral("First cycle of each level"), ChartMark::Line, kFirstCycleColour);
            ChartSeries last = series(QStringLiteral("Last cycle of each level"),
                ChartMark::DashedLine, kLastCycleColour);
            for (const analysis::EnvelopeRow& row : tables.envelope) {
                if (row.side != side)
                    continue;
                add(first, row.uFirst, row.fFirst);
                add(last, row.uLast, row.fLast);
            }
            ChartSeries bilinear = series(
                QStringLiteral("Bilinear idealisation"), ChartMark::Outline, kBilinearColour);
            const analysis::SideLines& lines =
                side == analysis::Side::Positive ? tables.positiveLines : tables.negativeLines;
            for (const analysis::PlanePoint& p : lines.bilinear)
                add(bilinear, p.x, p.y);
            chart.series.push_back(std::move(first));
            chart.series.push_back(std::move(last));
            chart.series.push_back(std::move(bilinear));
        }
        return chart;
    }

    // ---- drawing ----

    struct Span
    {
        double low = 0;
        double high = 1;

        double at(double v, double from, double length) const
        {
            return from + (v - low) / (high - low) * length;
        }
    };

    // The values' extent with a twentieth of it to spare on each side, but none beyond a zero
    // the axis must reach; a single value gets room around it.
    Span spanOf(std::optional<double> low, std::optional<double> high, bool zero)
    {
        if (!low || !high) {
            low = 0.0;
            high = 1.0;
        }
        if (zero) {
            low = std::min(*low, 0.0);
            high = std::max(*high, 0.0);
        }
        double lo = *low;
        double hi = *high;
        const double extent = hi - lo;
        if (!(extent > 0)) {
            const double room = std::max(std::abs(hi) * 0.1, 1.0);
            return { lo - room, hi + room };
        }
        if (!(zero && lo == 0.0))
            lo -= extent * 0.05;
        if (!(zero && hi == 0.0))
            hi += extent * 0.05;
        return { lo, hi };
    }

    Span valueSpan(const CycleChart& chart, bool right)
    {
        std::optional<double> low;
        std::optional<double> high;
        bool bars = false;
        for (const ChartSeries& s : chart.series) {
            if (s.rightAxis != right)
                continue;
            bars = bars || s.mark == ChartMark::Bars;
            for (const double v : s.y) {
                low = std::min(low.value_or(v), v);
                high = std::max(high.value_or(v), v);
            }
        }
        return spanOf(low, high, chart.zeroInView || bars);
    }

    Span xSpan(const CycleChart& chart)
    {
        std::optional<double> low;
        std::optional<double> high;
        const auto include = [&](double v) {
            low = std::min(low.value_or(v), v);
            high = std::max(high.value_or(v), v);
        };
        for (const ChartSeries& s : chart.series)
            for (const double v : s.x)
                include(chart.cycleAxis ? v - 0.5 : v);
        if (!chart.cycleAxis)
            return spanOf(low, high, true);
        for (const ChartLevel& level : chart.levels) {
            include(level.from);
            include(level.to);
        }
        if (!low)
            return { 0.5, 1.5 };
        return { *low, std::max(*high, *low + 1.0) };
    }

    bool hasPoints(const CycleChart& chart)
    {
        return std::any_of(chart.series.begin(), chart.series.end(),
            [](const ChartSeries& s) { return !s.x.empty(); });
    }

    bool hasRightAxis(const CycleChart& chart)
    {
        return std::any_of(chart.series.begin(), chart.series.end(),
            [](const ChartSeries& s) { return s.rightAxis; });
    }

    // The legend's entries: one per name of a series with points, in the order they first come.
    std::vector<const ChartSeries*> legendOf(const CycleChart& chart)
    {
        std::vector<const ChartSeries*> entries;
        for (const ChartSeries& s : chart.series)
            if (!s.x.empty()
                && std::none_of(entries.begin(), entries.end(),
                    [&](const ChartSeries* e) { return e->name == s.name; }))
                entries.push_back(&s);
        return entries;
    }

    QPen linePen(const ChartSeries& s, double scale)
    {
        QPen pen(s.colour, 1.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        if (s.mark == ChartMark::DashedLine)
            pen.setStyle(Qt::DashLine);
        return pen;
    }

    void drawMarker(QPainter& painter, const ChartSeries& s, QPointF at, double scale)
    {
        const double r = 2.5 * scale;
        painter.setPen(QPen(s.colour, 1.2 * scale));
        if (s.mark == ChartMark::Line) {
            painter.setBrush(s.colour);
            painter.drawEllipse(at, r, r);
        } else if (s.mark == ChartMark::DashedLine) {
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
        }
        painter.setBrush(Qt::NoBrush);
    }

    // One frame of a chart: the data area and its mapping of values to pixels.
    struct ChartFrame
    {
        QRectF d;
        Span x;
        Span y;
        Span right;

        QPointF operator()(double vx, double vy, bool onRight = false) const
        {
            return { x.at(vx, d.left(), d.width()),
                (onRight ? right : y).at(vy, d.bottom(), -d.height()) };
        }
    };

    void drawSeries(QPainter& painter, const ChartFrame& f, const CycleChart& chart,
        const ChartSeries& s, double scale)
    {
        const std::size_t n = std::min(s.x.size(), s.y.size());
        const double cycleWidth = f.d.width() / (f.x.high - f.x.low);
        if (s.mark == ChartMark::Bars) {
            const double width = std::max(1.0, 0.7 * cycleWidth);
            painter.setPen(Qt::NoPen);
            painter.setBrush(s.colour);
            for (std::size_t i = 0; i < n; ++i) {
                const QPointF top = f(s.x[i], s.y[i], s.rightAxis);
                const QPointF base = f(s.x[i], 0.0, s.rightAxis);
                painter.drawRect(QRectF(
                    QPointF(top.x() - width / 2, top.y()), QPointF(top.x() + width / 2, base.y()))
                                     .normalized());
            }
            painter.setBrush(Qt::NoBrush);
            return;
        }
        painter.setPen(linePen(s, scale));
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() > 1)
                painter.drawPolyline(line);
            line.clear();
        };
        for (std::size_t i = 0; i < n; ++i) {
            // A cycle without a value breaks the line rather than bridging it.
            if (chart.cycleAxis && i > 0 && s.x[i] - s.x[i - 1] > 1)
                flush();
            line << f(s.x[i], s.y[i], s.rightAxis);
        }
        flush();
        // Marks only while they stand apart.
        if (s.mark == ChartMark::Outline || (chart.cycleAxis && cycleWidth < 7 * scale))
            return;
        for (std::size_t i = 0; i < n; ++i)
            drawMarker(painter, s, f(s.x[i], s.y[i], s.rightAxis), scale);
    }

    void drawLegendSample(QPainter& painter, const ChartSeries& s, const QRectF& box, double scale)
    {
        const QPointF middle = box.center();
        if (s.mark == ChartMark::Bars) {
            painter.fillRect(QRectF(middle.x() - 4 * scale, box.top() + 2 * scale, 8 * scale,
                                 box.height() - 4 * scale),
                s.colour);
            return;
        }
        painter.setPen(linePen(s, scale));
        painter.drawLine(QPointF(box.left(), middle.y()), QPointF(box.right(), middle.y()));
        drawMarker(painter, s, middle, scale);
    }

}  // namespace

QString cycleChartName(CycleChartKind kind)
{
    switch (kind) {
    case CycleChartKind::Energy:
        return QStringLiteral("Energy per cycle");
    case CycleChartKind::Damping:
        return QStringLiteral("Damping");
    case CycleChartKind::Stiffness:
        return QStringLiteral("Peak-to-peak stiffness");
    case CycleChartKind::Retention:
        return QStringLiteral("Strength retention");
    case CycleChartKind::Envelope:
        return QStringLiteral("Envelope");
    }
    return {};
}

CycleChart cycleChart(const analysis::RunTables& tables, CycleChartKind kind,
    const QString& deformation, const QString& load)
{
    if (kind == CycleChartKind::Envelope)
        return envelopeChart(tables, deformation, load);
    CycleChart chart;
    chart.xTitle = QStringLiteral("Cycle");
    chart.levels = levelsOf(tables.cycles);
    const auto perCycle = [&](ChartSeries s, auto field) {
        for (const analysis::CycleRow& row : tables.cycles)
            add(s, static_cast<double>(row.cycle), field(row));
        return s;
    };
    switch (kind) {
    case CycleChartKind::Energy: {
        chart.title = QStringLiteral("Energy of each cycle's loop, and cumulative");
        chart.yTitle = QStringLiteral("Energy");
        chart.rightTitle = QStringLiteral("Cumulative energy");
        chart.series.push_back(
            perCycle(series(QStringLiteral("Energy"), ChartMark::Bars, kEnergyColour),
                [](const analysis::CycleRow& r) { return std::optional(r.energy); }));
        ChartSeries cumulative = perCycle(
            series(QStringLiteral("Cumulative energy"), ChartMark::Line, kCumulativeColour),
            [](const analysis::CycleRow& r) { return std::optional(r.cumulativeEnergy); });
        cumulative.rightAxis = true;
        chart.series.push_back(std::move(cumulative));
        break;
    }
    case CycleChartKind::Damping:
        chart.title = QStringLiteral("Damping of each cycle");
        chart.yTitle = QStringLiteral("Damping");
        chart.series.push_back(
            perCycle(series(QStringLiteral("Damping"), ChartMark::Line, kDampingColour),
                [](const analysis::CycleRow& r) { return r.damping; }));
        break;
    case CycleChartKind::Stiffness:
        chart.title = QStringLiteral("Peak-to-peak stiffness of each cycle");
        chart.yTitle = QStringLiteral("Stiffness");
        chart.series.push_back(
            perCycle(series(QStringLiteral("Stiffness"), ChartMark::Line, kStiffnessColour),
                [](const analysis::CycleRow& r) { return std::optional(r.stiffness); }));
        break;
    case CycleChartKind::Retention:
        chart.title =
            QStringLiteral("Strength retention: each cycle's peak load over its level's first");
        chart.yTitle = QStringLiteral("Retention");
        // Retention lies near 1: its changes matter, not its distance from 0.
        chart.zeroInView = false;
        chart.series.push_back(
            perCycle(series(QStringLiteral("Positive side"), ChartMark::Line, kPositiveSide),
                [](const analysis::CycleRow& r) { return r.retentionPos; }));
        chart.series.push_back(
            perCycle(series(QStringLiteral("Negative side"), ChartMark::DashedLine, kNegativeSide),
                [](const analysis::CycleRow& r) { return r.retentionNeg; }));
        break;
    case CycleChartKind::Envelope:
        break;
    }
    return chart;
}

void drawCycleChart(QPainter& painter, const QRect& target, const CycleChart& chart)
{
    painter.save();
    painter.fillRect(target, Qt::white);
    const QFont font = painter.font();
    const QFontMetricsF fm(font, painter.device());
    QFont titleFont = font;
    titleFont.setBold(true);
    const QFontMetricsF titleFm(titleFont, painter.device());
    const double s = std::max(1.0, fm.height() / kUsualFontHeight);
    const double margin = 10 * s;
    const double gap = 4 * s;
    const double tick = 5 * s;
    const double lineHeight = fm.height();

    // From the outside in: the title, the level numbers, the legend, the axes' titles and labels.
    const QRectF outer = QRectF(target).adjusted(margin, margin, -margin, -margin);
    const QRectF titleBox(outer.left(), outer.top(), outer.width(), titleFm.height());
    const bool levels = chart.cycleAxis && !chart.levels.empty();
    const double top = titleBox.bottom() + gap + (levels ? lineHeight + gap : 0);
    const std::vector<const ChartSeries*> legend = legendOf(chart);
    // The legend's entries in as many centred rows as the width needs.
    const double sample = 22 * s;
    const auto entryWidth = [&](const ChartSeries* e) {
        return sample + gap + fm.horizontalAdvance(e->name);
    };
    std::vector<std::vector<const ChartSeries*>> legendRows;
    if (legend.size() > 1) {
        double used = 0;
        for (const ChartSeries* e : legend) {
            const double w = entryWidth(e);
            if (legendRows.empty() || (used > 0 && used + 3 * gap + w > outer.width())) {
                legendRows.emplace_back();
                used = 0;
            }
            used += (used > 0 ? 3 * gap : 0) + w;
            legendRows.back().push_back(e);
        }
    }
    const double legendTop = outer.bottom() - static_cast<double>(legendRows.size()) * lineHeight;
    const double bottom =
        legendTop - (legendRows.empty() ? 0 : gap) - lineHeight - gap - lineHeight - tick;
    const double height = bottom - top;

    const bool right = hasRightAxis(chart);
    ChartFrame f { {}, xSpan(chart), valueSpan(chart, false), valueSpan(chart, true) };
    const auto heightExtent = [&](const QString&) { return fm.height(); };
    // Ticks a line apart at least: a report's chart is read at a glance, not measured.
    const AxisTicks yTicks = roundTicks(f.y.low, f.y.high, height, heightExtent, lineHeight);
    const AxisTicks rightTicks = right
        ? roundTicks(f.right.low, f.right.high, height, heightExtent, lineHeight)
        : AxisTicks {};
    const auto widest = [&](const AxisTicks& ticks) {
        double w = 0;
        for (const double v : ticks.values)
            w = std::max(w, fm.horizontalAdvance(tickLabel(v, ticks.step)));
        return w;
    };
    const double left = outer.left() + lineHeight + gap + widest(yTicks) + gap + tick;
    const double rightEdge = right
        ? outer.right() - lineHeight - gap - widest(rightTicks) - gap - tick
        : outer.right() - 2 * gap;
    f.d = QRectF(QPointF(left, top), QPointF(rightEdge, bottom));

    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(titleBox, Qt::AlignCenter,
        titleFm.elidedText(chart.title, Qt::ElideRight, titleBox.width()));
    painter.setFont(font);
    if (f.d.width() < 20 || f.d.height() < 20) {
        painter.restore();
        return;
    }

    AxisTicks xTicks = roundTicks(
        f.x.low, f.x.high, f.d.width(),
        [&](const QString& label) { return fm.horizontalAdvance(label); }, 2 * lineHeight);
    if (chart.cycleAxis && xTicks.step < 1) {
        // Cycles are whole: every one is marked when they are that few.
        xTicks.step = 1;
        xTicks.values.clear();
        for (double c = std::ceil(f.x.low); c <= f.x.high; ++c)
            xTicks.values.push_back(c);
    }

    // Levels: every other one shaded, their numbers above the data.
    if (levels) {
        const double labelY = f.d.top() - gap - lineHeight;
        painter.drawText(QRectF(outer.left(), labelY, f.d.left() - gap - outer.left(), lineHeight),
            Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Level"));
        double free = f.d.left();
        for (const ChartLevel& level : chart.levels) {
            const double a = f.x.at(level.from, f.d.left(), f.d.width());
            const double b = f.x.at(level.to, f.d.left(), f.d.width());
            if (level.level % 2 == 1)
                painter.fillRect(QRectF(a, f.d.top(), b - a, f.d.height()), kLevelShade);
            const QString label = QString::number(level.level);
            const double w = fm.horizontalAdvance(label);
            const double x = (a + b) / 2 - w / 2;
            if (x >= free) {
                painter.drawText(QRectF(x, labelY, w, lineHeight), Qt::AlignCenter, label);
                free = x + w + gap;
            }
        }
    }

    // Grid, and the zero lines where they fall inside.
    painter.setPen(QPen(kGridColour, 0));
    for (const double v : yTicks.values) {
        const double y = f(0, v).y();
        painter.drawLine(QPointF(f.d.left(), y), QPointF(f.d.right(), y));
    }
    if (!chart.cycleAxis)
        for (const double v : xTicks.values) {
            const double x = f(v, 0).x();
            painter.drawLine(QPointF(x, f.d.top()), QPointF(x, f.d.bottom()));
        }
    painter.setPen(QPen(kZeroColour, s));
    if (f.y.low < 0 && f.y.high > 0)
        painter.drawLine(f(f.x.low, 0), f(f.x.high, 0));
    if (!chart.cycleAxis && f.x.low < 0 && f.x.high > 0)
        painter.drawLine(f(0, f.y.low), f(0, f.y.high));

    painter.save();
    painter.setClipRect(f.d.adjusted(-3 * s, -3 * s, 3 * s, 3 * s));
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ChartSeries& series : chart.series)
        drawSeries(painter, f, chart, series, s);
    painter.restore();
    if (!hasPoints(chart))
        painter.drawText(f.d, Qt::AlignCenter, QStringLiteral("No cycles to show"));

    // The frame, the ticks and their labels.
    painter.setPen(QPen(Qt::black, s > 1.5 ? s : 0));
    painter.drawRect(f.d);
    for (const double v : xTicks.values) {
        const double x = f(v, 0).x();
        painter.drawLine(QPointF(x, f.d.bottom()), QPointF(x, f.d.bottom() + tick));
        const QString label = tickLabel(v, xTicks.step);
        const double w = fm.horizontalAdvance(label);
        painter.drawText(QRectF(x - w / 2 - gap, f.d.bottom() + tick, w + 2 * gap, lineHeight),
            Qt::AlignCenter, label);
    }
    const auto valueTicks = [&](const AxisTicks& ticks, bool onRight) {
        for (const double v : ticks.values) {
            const double y = f(f.x.low, v, onRight).y();
            const double edge = onRight ? f.d.right() : f.d.left();
            const double out = onRight ? tick : -tick;
            painter.drawLine(QPointF(edge, y), QPointF(edge + out, y));
            const QString label = tickLabel(v, ticks.step);
            const double w = fm.horizontalAdvance(label);
            const double x = onRight ? edge + tick + gap : edge - tick - gap - w;
            const QRectF box(x, y - lineHeight / 2, w, lineHeight);
            if (onRight)
                painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
            else
                painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
        }
    };
    valueTicks(yTicks, false);
    if (right)
        valueTicks(rightTicks, true);

    // The axes' titles: X below its labels, the value axes turned along their sides.
    const double xTitleTop = f.d.bottom() + tick + lineHeight + gap;
    painter.drawText(QRectF(f.d.left(), xTitleTop, f.d.width(), lineHeight), Qt::AlignCenter,
        fm.elidedText(chart.xTitle, Qt::ElideRight, f.d.width()));
    const auto sideTitle = [&](const QString& text, double x, double angle) {
        painter.save();
        painter.translate(x, f.d.center().y());
        painter.rotate(angle);
        painter.drawText(QRectF(-f.d.height() / 2, -lineHeight / 2, f.d.height(), lineHeight),
            Qt::AlignCenter, fm.elidedText(text, Qt::ElideRight, f.d.height()));
        painter.restore();
    };
    sideTitle(chart.yTitle, outer.left() + lineHeight / 2, -90);
    if (right)
        sideTitle(chart.rightTitle, outer.right() - lineHeight / 2, 90);

    painter.setRenderHint(QPainter::Antialiasing, true);
    double rowTop = legendTop;
    for (const std::vector<const ChartSeries*>& row : legendRows) {
        double total = 0;
        for (const ChartSeries* e : row)
            total += (total > 0 ? 3 * gap : 0) + entryWidth(e);
        double x = std::max(outer.left(), outer.center().x() - total / 2);
        for (const ChartSeries* e : row) {
            drawLegendSample(painter, *e, QRectF(x, rowTop, sample, lineHeight), s);
            x += sample + gap;
            const double w = fm.horizontalAdvance(e->name);
            painter.setPen(Qt::black);
            painter.drawText(
                QRectF(x, rowTop, w + 1, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, e->name);
            x += w + 3 * gap;
        }
        rowTop += lineHeight;
    }
    painter.restore();
}

}  // namespace plot
