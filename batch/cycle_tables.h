#pragma once

#include "batch/console.h"
#include "batch/options.h"

#include <cstddef>
#include <string>
#include <vector>

namespace batch {

// Writes the cycle and backbone tables of the finished run of `options.files[job]` from its
// prepared points (x, y) and the curve files it wrote; returns false after printing why they
// could not be written. Neither table replaces a data file of the batch or goes through a
// symbolic link, and neither is ever left half written.
bool writeCycleTables(const Options& options, std::size_t job, const std::vector<double>& x,
    const std::vector<double>& y, Console& console);

}  // namespace batch
