#pragma once

#include "batch/options.h"

#include <string>
#include <vector>

namespace batch {

// The data file's name base (its name less its last three characters), or nothing when the
// path is too short to have one. A run writes its curve files under it.
std::string nameBase(const std::string& file);

// A file beside `file` that a job writes besides the run's own: the name base plus `extension`.
std::string besideName(const std::string& file, const std::string& extension);

// The picture of the run of `file` that --plot asks for.
std::string pictureName(const Options& options, const std::string& file);

// The cycle and backbone tables of the run of `file` that --cycles asks for, in that order;
// none without --cycles.
std::vector<std::string> cycleTableNames(const Options& options, const std::string& file);

}  // namespace batch
