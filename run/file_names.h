#pragma once

#include <string>

namespace run {

// What each file of a job is named: the data file's name base (its name less the last three
// characters) followed by one of these name parts.
namespace name_part {

    inline constexpr const char* kPointFile = "bu0";
    inline constexpr const char* kCrossCheckFile = "buf";
    inline constexpr const char* kPositiveCurve = "vnp";
    inline constexpr const char* kNegativeCurve = "vnn";
    inline constexpr const char* kCombinedCurve = "vnl";
    inline constexpr const char* kCycleTable = "cycles.csv";
    inline constexpr const char* kEnvelopeTable = "envelope.csv";
    inline constexpr const char* kBackboneTable = "backbone.csv";

}  // namespace name_part

// The five files a run may write or remove.
struct RunFileNames
{
    std::string point;
    std::string crossCheck;
    std::string positive;
    std::string negative;
    std::string combined;
};

// The run's files of the data file `dataFilePath`. Throws RunFailure InvalidArgument for a path
// shorter than three characters.
RunFileNames runFileNames(const std::string& dataFilePath);

}  // namespace run
