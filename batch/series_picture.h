#pragma once

#include "analysis/run_plot.h"
#include "batch/options.h"

#include <string>
#include <vector>

namespace batch {

// What the picture of a whole series (--plot-overlay) keeps of one finished run until the batch
// has ended: its backbone and idealisation, its record outlined for drawing (a bounded number of
// points, see plot::outlineIndices) when asked for, and its axes' titles.
struct SeriesPictureRun
{
    std::string file;
    analysis::PlotBackbone backbone;
    // The record outlined (none without --overlay-records), the columns and the axes' titles.
    analysis::PlotData data;
};

// The part of the assembled run of `file` the series picture draws; the record only with
// `record`.
SeriesPictureRun seriesPictureRun(
    const std::string& file, const analysis::AssembledRun& run, bool record);

// The picture file of a whole series, --plot-overlay's: each run in `runs` (in their order) in a
// colour of its own, with a legend of the file names and the axes titled as the first run's (a
// run whose titles differ says so in the legend), at the report picture's size. Throws RunFailure
// when it cannot be made, plot::DrawingCancelled when interrupted. Only in a build that draws
// pictures.
std::string seriesPicture(const Options& options, const std::vector<const SeriesPictureRun*>& runs);

}  // namespace batch
