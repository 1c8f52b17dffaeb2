#pragma once

#include "analysis/backbone.h"
#include "analysis/curve_sides.h"
#include "analysis/cycle_analysis.h"

#include <string>
#include <vector>

namespace analysis {

// Both tables of a finished run.
struct RunTables
{
    std::vector<CycleRow> cycles;
    BackboneRow positive;
    BackboneRow negative = negativeRow();

private:
    static BackboneRow negativeRow()
    {
        BackboneRow row;
        row.side = Side::Negative;
        return row;
    }
};

// The tables, or why the run's curve files could not be read back.
struct RunTablesResult
{
    RunTables tables;
    std::string message;

    explicit operator bool() const
    {
        return message.empty();
    }
};

// The tables of the finished run of `dataFilePath`: the cycles of its prepared points (x, y)
// and the backbones of the curve files it wrote beside the data file (the combined file when
// `oneFile`, else the two side files). O(N).
RunTablesResult analyseFinishedRun(const std::vector<double>& x, const std::vector<double>& y,
    const std::string& dataFilePath, bool oneFile, const CycleOptions& options);

// The same, from the curve as already read back.
RunTablesResult analyseRun(const std::vector<double>& x, const std::vector<double>& y,
    const CurveSidesRead& curve, const CycleOptions& options);

// Writes `text` as the file `path` so that the name holds either its old content or all of
// `text`, never part of it: the text goes into a new file in the same folder, which then takes
// the name. A symbolic link at `path` is refused rather than replaced or followed. Returns an
// empty string, or why the file was not written.
std::string replaceFile(const std::string& path, const std::string& text);

}  // namespace analysis
