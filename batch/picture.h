#pragma once

#include "batch/console.h"
#include "batch/options.h"

#include <cstddef>
#include <string>

namespace plot {
class PlotRecording;
class CompactPoints;
struct PlotCrossings;
}  // namespace plot

namespace batch {

// Draws the picture of the finished run of `file` that --plot asks for; returns false after
// printing why it could not.
bool writePicture(const Options& options, const std::string& file,
    const plot::PlotRecording& recording, Console& console, std::size_t job);

// Draws the report picture of the finished run of `file` from its prepared points, the
// crossings the run marked and the curve files it wrote: axes, titles from the data file's
// header, legend, the curve's sides with their backbone, the record and the crossings, in the
// plot window's drawing. Returns false after printing why it could not.
bool writeReportPicture(const Options& options, const std::string& file, plot::CompactPoints points,
    plot::PlotCrossings crossings, Console& console, std::size_t job);

// The report picture's size in logical pixels (a PNG has two device pixels for each).
inline constexpr int kReportWidth = 900;
inline constexpr int kReportHeight = 600;

}  // namespace batch
