#pragma once

#include "run/point_preparation.h"
#include "run/run_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace run {

// The cross-check file's records as they read back: points and crossings in record order,
// each with its group number. A record that crosses itself millions of times is not held in
// memory: then only the file holds the records.
struct CrossRecords
{
    std::vector<double> x;
    std::vector<double> y;
    std::vector<std::int64_t> group;
    bool inMemory = true;
    std::string filePath;  // the cross-check file
    std::size_t written = 0;  // records in the file

    std::size_t size() const
    {
        return x.size();
    }

    // The records, whether held in memory or only in the file.
    std::size_t count() const
    {
        return inMemory ? x.size() : written;
    }

    void add(double rx, double ry, std::int64_t g, std::size_t limit)
    {
        ++written;
        if (!inMemory)
            return;
        if (x.size() >= limit) {
            inMemory = false;
            x = {};
            y = {};
            group = {};
            return;
        }
        x.push_back(rx);
        y.push_back(ry);
        group.push_back(g);
    }
};

// How many records the cross check keeps in memory at most (24 bytes each).
constexpr std::size_t kRecordsInMemory = std::size_t { 1 } << 21;

// Takes the cross-check records one by one, in file order, with the values the file reads
// back as.
class CrossRecordSink
{
public:
    virtual ~CrossRecordSink() = default;

    // A record.
    virtual void take(double x, double y, std::int64_t group) = 0;

    // The record of point `index` (from 0) of the prepared points the check was given.
    virtual void takePoint(std::size_t index, double x, double y, std::int64_t group)
    {
        static_cast<void>(index);
        take(x, y, group);
    }

    // A crossing's record, given where the crossing was computed (single precision): the
    // file's digits of x and y read back as readBackSingle(x) and readBackSingle(y), which
    // this passes on to take().
    virtual void takeCrossing(float x, float y, std::int64_t group);
};

// Who walks the segments: Auto lets a second thread compute crossings ahead of the run's
// thread on a long record when the machine has the cores; One and Two (in small chunks,
// whatever the record's size) are for comparing the two. Either way the records, the file, every
// call of the host and every failure are the same, and only the calling thread calls the host or
// the sink.
enum class Threads
{
    Auto,
    One,
    Two
};

// The cross check as a stream: every record goes to `sink` as it is found, and to the
// cross-check file only when `crossCheckFilePath` is not empty. Draws and fails as below.
void runCrossCheck(RunHost& host, const PreparedPoints& points,
    const std::string& crossCheckFilePath, CrossRecordSink& sink, Threads threads = Threads::Auto);

// Finds every self-crossing of the prepared record, writes the cross-check file and redraws
// the record by groups, with a red dot at each crossing. Throws RunFailure with the point
// index of the failing segment when two consecutive points share an X (or a segment's slope
// or intercept, or a crossing's load, cannot be held); a failure of the file has no index.
CrossRecords runCrossCheck(RunHost& host, const PreparedPoints& points,
    const std::string& crossCheckFilePath, std::size_t recordsInMemory = kRecordsInMemory);

// The colour of a group's stretch of the record.
Rgb groupColour(std::int64_t group);

}  // namespace run
