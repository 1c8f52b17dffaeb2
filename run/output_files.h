#pragma once

#include "run/run_host.h"

#include <string>

namespace run {

// The line between the two sides in the combined curve file.
inline constexpr const char* kSideSeparator = " =             =";

// Joins the two side files into the combined curve file: one header line, the positive
// side's point lines, the separator line, the negative side's point lines, each copied
// byte for byte, yielding to `host` as it goes (see Pace). Throws RunFailure with the file
// system's code.
// The combined file is written into `writtenAs` when given (a file beside it that takes its name
// later); failures name `combinedPath` all the same.
void mergeCurveFiles(RunHost& host, const std::string& positivePath,
    const std::string& negativePath, const std::string& combinedPath,
    const std::string& writtenAs = {});

}  // namespace run
