#pragma once

#include "analysis/cycle_analysis.h"
#include "analysis/run_tables.h"
#include "run/finished_run.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace analysis {

// A record point's colour index where the run drew no colour for the segment into it.
constexpr std::uint8_t kNoGroupColour = 255;

// The part of the data plane in view, or an extent.
struct PlotRange
{
    double xMin = 0;
    double xMax = 1;
    double yMin = 0;
    double yMax = 1;
};

// A polyline in data units.
struct PlotSeries
{
    std::vector<double> x;
    std::vector<double> y;
};

// The run's crossings, as the run hands them over.
using PlotCrossings = run::Crossings;

// What the cycle analysis adds to a plot, in the record's own signs (the negative side in
// negative values); a series is empty when not computed.
struct PlotBackbone
{
    PlotSeries positive;  // the backbone: the origin, then the first-cycle envelope
    PlotSeries negative;
    PlotSeries positiveBilinear;  // its bilinear idealisation
    PlotSeries negativeBilinear;
    PlotSeries positiveLastCycle;  // the last-cycle envelope
    PlotSeries negativeLastCycle;
};

// A cycle's closed loop as a polyline: its start S, its rows of `rows`, its end E. Empty when
// the loop's rows are not all in `rows`.
PlotSeries loopSeries(const run::Rows& rows, const CycleLoop& loop);

// The plot series of the tables' envelopes, backbones and idealisations.
PlotBackbone plotBackbone(const RunTables& tables);

// What a plot of a finished run shows: the record's prepared points and the curve's sides, with
// what the run found beside them.
struct PlotData
{
    std::vector<double> x;
    std::vector<double> y;
    // The data file's line each point came from, 0 for a point no line holds (a zero point the
    // run inserted); empty when unknown.
    std::vector<std::uint32_t> lines;
    // The colour index of the segment into each point, as the run drew it in the picture box
    // (its group's (0, 255 − index, index)); empty when unknown, and the record is drawn in one
    // colour.
    std::vector<std::uint8_t> colours;
    run::CurveSides sides;
    PlotCrossings crossings;
    // The data file's columns the points came from; 0 when unknown.
    int xColumn = 0;
    int yColumn = 0;
    // The axes' titles (UTF-8); empty when unknown.
    std::string xTitle;
    std::string yTitle;
};

// Everything after a finished run, made from its record in memory: the plot of the run, the
// rows the tables are computed from (kept for other options), and the tables.
struct AssembledRun
{
    std::shared_ptr<const PlotData> plot;
    std::shared_ptr<const run::Rows> rows;
    RunTables tables;
};

// Assembles the finished run `run`, taking over its parts (nothing is copied). The window, the
// plot window, the batch's tables and its pictures all come from here.
AssembledRun assembleRun(run::FinishedRun run, const CycleOptions& options);

}  // namespace analysis
