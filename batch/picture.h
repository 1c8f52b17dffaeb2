#pragma once

#include "analysis/run_plot.h"
#include "batch/options.h"
#include "run/run_failure.h"

#include <string>

namespace plot {
class PlotRecording;
}  // namespace plot

namespace batch {

// The picture file --plot asks for of the finished run of `file`, drawn from the run's drawing
// calls (box style). Throws RunFailure when it cannot be made.
std::string boxPicture(
    const Options& options, const std::string& file, const plot::PlotRecording& recording);

// The report picture file of the assembled run of `file`: axes, titles, legend, the curve's
// sides with the backbone and its idealisation, the record and the crossings, in the plot
// window's drawing. Throws RunFailure when it cannot be made.
std::string reportPicture(
    const Options& options, const std::string& file, const analysis::AssembledRun& run);

// The report picture's size in logical pixels (a PNG has two device pixels for each).
inline constexpr int kReportWidth = 900;
inline constexpr int kReportHeight = 600;

// A recording of the box style keeps at most so many calls (12 bytes each); past them the
// picture is drawn onto an image, which an SVG then embeds.
inline constexpr std::size_t kMostBoxCalls = 200'000;

}  // namespace batch
