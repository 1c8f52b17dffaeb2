#pragma once

#include "analysis/cycle_analysis.h"
#include "settings/run_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace batch {

enum class PlotMode
{
    None,
    BesideEachFile,  // --plot png|svg
    OneFile,  // --plot PICTURE
};

// What --plot draws: the report picture (axes, titles, legend, the curve's sides, the record and
// its crossings) or the picture box's drawing.
enum class PictureStyle
{
    Report,
    Box,
};

// What the command line asks for.
struct Options
{
    Options();

    settings::RunSettings settings;
    std::string xCoefficient = "1";
    std::string yCoefficient = "1";
    bool quiet = false;
    PlotMode plot = PlotMode::None;
    std::string plotName;  // the extension for BesideEachFile, the file for OneFile
    PictureStyle pictureStyle = PictureStyle::Report;
    unsigned jobs = 1;
    bool cycles = false;  // --cycles: the cycle tables beside each finished run
    analysis::CycleOptions cycleOptions;
    std::string summary;  // --summary: one row a data file, written after the batch
    // --plot-overlay: one picture of every finished run's envelope and idealisation, drawn after
    // the batch; with --overlay-records each record too.
    std::string overlay;
    bool overlayRecords = false;
    std::vector<std::string> files;
};

// Whether this build draws pictures (--plot): they need Qt's painting.
bool drawsPictures();

// Reads the command line into `options`. Returns an exit status when the program should end at
// once: 0 after --help or --version, 2 after a usage error, whose message it has printed.
std::optional<int> parseOptions(int argc, const char* const* argv, Options& options);

}  // namespace batch
