#pragma once

#include "run/point_preparation.h"
#include "run/run_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace run {

// The cross-check file's records as they read back: points and crossings in record order,
// each with its group number.
struct CrossRecords
{
    std::vector<double> x;
    std::vector<double> y;
    std::vector<std::int64_t> group;

    std::size_t size() const
    {
        return x.size();
    }
};

// Finds every self-crossing of the prepared record, writes the cross-check file and redraws
// the record by groups, with a red dot at each crossing. Throws RunFailure with the point
// index of the failing segment when two consecutive points share an X (or a segment's slope
// or intercept cannot be held).
CrossRecords runCrossCheck(
    RunHost& host, const PreparedPoints& points, const std::string& crossCheckFilePath);

// The colour of a group's stretch of the record.
Rgb groupColour(std::int64_t group);

}  // namespace run
