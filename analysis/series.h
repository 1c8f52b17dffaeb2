#pragma once

#include "analysis/backbone.h"
#include "analysis/run_tables.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace analysis {

// One specimen of a test series: a data file, how its run ended, and for a finished run the
// figures a report compares between specimens.
struct SeriesRow
{
    enum class Status
    {
        Finished,
        Failed,
        NotRun,  // the batch was interrupted first
    };

    std::string file;
    Status status = Status::NotRun;
    std::optional<int> code;  // the failure's code
    // A finished run's figures; empty otherwise.
    std::optional<std::size_t> samples;
    std::optional<std::size_t> cycles;
    std::optional<std::size_t> levels;
    std::optional<double> totalEnergy;
    BackboneRow positive;
    BackboneRow negative;
};

// The row of a finished run of `file` with `samples` data lines and these tables.
SeriesRow finishedSeriesRow(const std::string& file, std::size_t samples, const RunTables& tables);

// The row of `file` whose job failed, with the failure's code when it has one.
SeriesRow failedSeriesRow(const std::string& file, std::optional<int> code);

// The series as CSV text: the header
// "file,status,code,samples,cycles,levels,total_energy," then for each side (prefixes "pos_" and
// "neg_") "peak_load,peak_deformation,elastic_stiffness,yield_load,yield_deformation,
// ultimate_deformation,ductility"; one line per row, CR LF, numbers as in the cycle tables. A
// file name holding a comma, a quote or a line end is quoted, its quotes doubled.
std::string seriesCsv(const std::vector<SeriesRow>& rows);

}  // namespace analysis
