#pragma once

#include "run/cross_check.h"
#include "run/point_preparation.h"
#include "run/run_host.h"

#include <string>

namespace bench {

// The cross check exactly as its algorithm is stated: every walked segment against every
// segment, slopes and intercepts computed afresh for each pair. O(N²); kept only as the
// yardstick for the fast check, and to confirm that both give the same records.
run::CrossRecords plainCrossCheck(
    run::RunHost& host, const run::PreparedPoints& points, const std::string& crossCheckFilePath);

}  // namespace bench
