#pragma once

#include "analysis/run_tables.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <cstddef>
#include <vector>

class QPainter;

namespace plot {

// The charts of a run's cycle tables, for a test report.
enum class CycleChartKind
{
    Energy,  // each cycle's energy as a bar, the cumulative energy as a line
    Damping,
    Stiffness,  // peak to peak
    Retention,  // strength retention of both sides
    Envelope,  // first- and last-cycle envelope of each side with the bilinear idealisation
};

inline constexpr CycleChartKind kCycleChartKinds[] = { CycleChartKind::Energy,
    CycleChartKind::Damping, CycleChartKind::Stiffness, CycleChartKind::Retention,
    CycleChartKind::Envelope };

// The chart's name, as a chooser lists it.
QString cycleChartName(CycleChartKind kind);

enum class ChartMark
{
    Bars,  // from zero to each value, one cycle wide at most
    Line,  // points joined, each marked
    DashedLine,  // points joined, each marked
    Outline,  // points joined, unmarked
};

// One series of a chart: its points in the tables' order. A field the table leaves empty has
// no point, and the line breaks there on a chart against the cycle number.
struct ChartSeries
{
    QString name;
    ChartMark mark = ChartMark::Line;
    QColor colour;
    bool rightAxis = false;  // against the right-hand axis
    std::vector<double> x;
    std::vector<double> y;
};

// A level's cycles along the cycle axis, shaded and numbered.
struct ChartLevel
{
    std::size_t level = 0;
    double from = 0;
    double to = 0;
};

struct CycleChart
{
    QString title;
    QString xTitle;
    QString yTitle;
    QString rightTitle;  // empty without a right-hand axis
    bool cycleAxis = true;  // X is the cycle number: whole-number ticks, levels marked
    bool zeroInView = true;  // both value axes reach 0
    std::vector<ChartLevel> levels;
    std::vector<ChartSeries> series;
};

// The chart `kind` of `tables`: its numbers are the tables' numbers. The envelope's axes take
// the record's titles `deformation` and `load` when they are given.
CycleChart cycleChart(const analysis::RunTables& tables, CycleChartKind kind,
    const QString& deformation = {}, const QString& load = {});

// Draws `chart` into `target` on a white ground: title, level shading, grid, axes with round
// ticks, series and a legend below. Text and lines follow the painter's font, so a picture for
// print draws them at its resolution.
void drawCycleChart(QPainter& painter, const QRect& target, const CycleChart& chart);

}  // namespace plot
