#pragma once

#include "batch/console.h"
#include "batch/options.h"
#include "run/finished_run.h"

#include <cstddef>
#include <string>

namespace ui {
class PlotRecording;
}  // namespace ui

namespace batch {

// Draws the picture of the finished run of `file` that --plot asks for; returns false after
// printing why it could not.
bool writePicture(const Options& options, const std::string& file,
    const ui::PlotRecording& recording, Console& console, std::size_t job);

// Draws the report picture of the finished run of `file`: axes, titles from the data file's
// header, legend, the curve's sides with their backbone, the record and the crossings, in the
// plot window's drawing. Returns false after printing why it could not.
bool writeReportPicture(const Options& options, const std::string& file,
    const run::FinishedRun& run, Console& console, std::size_t job);

// The report picture's size in logical pixels (a PNG has two device pixels for each).
inline constexpr int kReportWidth = 900;
inline constexpr int kReportHeight = 600;

}  // namespace batch
