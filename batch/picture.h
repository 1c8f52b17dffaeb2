#pragma once

#include "batch/console.h"
#include "batch/options.h"

#include <cstddef>
#include <string>

namespace ui {
class PlotRecording;
}

namespace batch {

// Draws the picture of the finished run of `file` that --plot asks for; returns false after
// printing why it could not.
bool writePicture(const Options& options, const std::string& file,
    const ui::PlotRecording& recording, Console& console, std::size_t job);

}  // namespace batch
