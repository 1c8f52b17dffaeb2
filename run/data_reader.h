#pragma once

#include "run/cross_check.h"
#include "run/finished_run.h"
#include "run/point_preparation.h"
#include "run/run_host.h"
#include "settings/run_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace run {

// Counts the data lines after `skipLines` header lines: lines that hold anything besides
// blanks and tabs. Throws InputPastEnd when the file ends within the header lines or has no
// data line, and the file system's code when it cannot be read. With a `host`, it keeps the
// front end answering (see Pace) and stops when the host asks.
// With `headerLines`, the last header lines are kept there (one too long to name anything
// kept empty).
std::int64_t countDataLines(const std::string& path, int skipLines, RunHost* host = nullptr,
    std::vector<std::string>* headerLines = nullptr);

// The fields of a line as a data line's values are separated: by one or more blanks or tabs, or
// by one comma or semicolon with blanks around it allowed (two in a row hold an empty field).
std::vector<std::string_view> splitDataFields(std::string_view line);

// What the reading keeps beside the prepared points, for the finished run.
struct ReadingKeeps
{
    Rows* rows = nullptr;  // every data line as read
    bool pointLines = false;  // the prepared points' data file lines
    std::vector<std::string>* headerLines = nullptr;  // the last header lines
    std::int64_t* dataValues = nullptr;  // the number of values of the first data line
};

// Reads the data file and hands every data line, scaled by the coefficients, to a point
// preparation writing `pointFilePath` (created right after the data file is opened; none
// when empty).
// Values are separated by blanks or tabs, or by one comma or semicolon; every data line must
// hold as many values as the first. Failures: TypeMismatch for a value in the X or Y column
// that is not a number or a line of another width, IndexOutOfRange for a column beyond the
// line's values, Overflow for a scaled value that is not finite.
// With a `host`, it yields as it goes (see Pace), so that a window stays responsive while a
// long record is counted and read, and stops (throwing RunStopped) when the host asks.
// With Auto a long record's lines are parsed on a second thread ahead of the preparation; One
// and Two (in small chunks, whatever the record's size) are for comparing the two. Either way
// the points, the point file, every call of the host and every failure are the same.
PreparedPoints readDataFile(const settings::RunSettings& settings, const std::string& pointFilePath,
    RecordExtremes& extremes, RunHost* host = nullptr, Threads threads = Threads::Auto,
    const ReadingKeeps& keeps = {});

}  // namespace run
