#pragma once

#include "run/cross_check.h"
#include "run/run_host.h"
#include "run/text_records.h"

#include <memory>
#include <string>

namespace run {

// The header line of every curve file.
inline constexpr const char* kCurveHeader = " X-axis        Y-axis";

// Builds the Varnel curve from the cross-check records: the positive side into
// `positivePath` (closed when done), then the negative side into `negativePath`, which is
// handed back flushed and still open for the finishing stage to close. Draws the curve in red.
// `smallestX` and `largestX` are the record extremes' X members.
std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath);

}  // namespace run
