#pragma once

#include "settings/run_settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace run {

// Smallest and largest X and Y over all data lines of a run.
struct RecordExtremes
{
    double minX = 999999;
    double maxX = -999999;
    double minY = 999999;
    double maxY = -999999;
};

// The record after preparation, with the values the point file reads back as; index 0 holds
// the first point.
struct PreparedPoints
{
    std::vector<double> x;
    std::vector<double> y;
    // The data file's line of each point, 0 for a zero point the preparation inserted; empty
    // unless asked for. Lines beyond the range of 32 bits are held as 0.
    std::vector<std::uint32_t> lines;

    std::size_t size() const
    {
        return x.size();
    }
};

// The data file's line of each row, held compactly: a row's line is the one after the previous
// row's unless blank lines lie between them, so only those jumps are kept.
class RowLines
{
public:
    // The next row's line (1-based, in the data file).
    void push(std::int64_t line);

    // The line of row `row` (0-based).
    std::int64_t operator[](std::size_t row) const;

    std::size_t size() const
    {
        return m_count;
    }

private:
    std::size_t m_count = 0;
    // (row, line) where the row's line is not the line after the previous row's; row 0 first.
    std::vector<std::pair<std::size_t, std::int64_t>> m_jumps;
};

// Every data line of a run as read: X and Y after the coefficients, in double precision and
// before any 15-digit rounding, with repeated X kept and no zero points added.
struct Rows
{
    std::vector<double> x;
    std::vector<double> y;
    RowLines lines;

    std::size_t size() const
    {
        return x.size();
    }
};

// One side of the Varnel curve, its points in the order the curve file holds them (the
// negative side not mirrored), with the values that file reads back as.
struct CurveSide
{
    std::vector<double> x;
    std::vector<double> y;
};

struct CurveSides
{
    CurveSide positive;
    CurveSide negative;
};

// The extent of a set of points.
struct Extent
{
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
};

// The smallest extent holding every finite point of (x, y); all zero when there is none.
Extent extentOf(const std::vector<double>& x, const std::vector<double>& y);

// The crossings of a run, each where the cross check computed it (single precision) with the
// group it starts: every one while they are fewer than the host's bound, and past it only how
// many fell into each cell of a fixed grid over `extent` (the prepared record's), so that tens
// of millions cost a bounded memory.
struct Crossings
{
    std::vector<double> x;
    std::vector<double> y;
    std::vector<std::int64_t> group;
    Extent extent;
    int columns = 0;
    int rows = 0;
    // columns × rows counts, row 0 at yMin; empty while every crossing is held.
    std::vector<std::uint32_t> counts;
    std::uint64_t total = 0;

    bool dense() const
    {
        return !counts.empty();
    }
};

// What a host wants kept of a finished run beside what the run holds anyway (the curve, the
// extremes, the titles, the settings): a host that wants nothing pays nothing.
struct FinishedRunParts
{
    bool rows = false;
    bool points = false;  // the prepared points
    bool pointLines = false;  // with their data file's lines
    bool groups = false;  // the group of each prepared point
    bool crossings = false;
    // Past this many crossings only the counts on a grid of gridColumns × gridRows are kept.
    std::size_t exactCrossings = 200'000;
    int gridColumns = 1024;
    int gridRows = 1024;
};

// Gathers a run's crossings as they are found, as Crossings describes.
class CrossingCollector
{
public:
    CrossingCollector(std::size_t exactLimit, int columns, int rows, const Extent& extent);

    void add(double x, double y, std::int64_t group);

    // Hands the crossings over.
    Crossings take()
    {
        return std::move(m_crossings);
    }

private:
    void bin(double x, double y);

    std::size_t m_exactLimit;
    int m_columns;
    int m_rows;
    double m_xScale;  // columns per unit of x
    double m_yScale;
    Crossings m_crossings;
};

// The axes' titles of a run's record.
struct AxisTitles
{
    std::string x;
    std::string y;
};

// The titles the data file's header gives the X and Y columns. A header line names the columns
// only when it splits (as a data line does) into exactly `dataValues` fields whose X and Y
// fields are not numbers; the last such line counts, and when the line above it names the
// columns too and it holds units there ("[mm]", "kN"), the names above with those units
// ("top_displacement [mm]"). Otherwise "X (column n)" and "Y (column n)". A coefficient other
// than 1 is added ("× 0.1").
AxisTitles axisTitles(const std::vector<std::string>& headerLines, std::int64_t dataValues,
    const settings::RunSettings& settings);

// A finished run as data, handed to its host once, at "Finish": what the run read and found,
// so that nothing after the run reads its files back.
struct FinishedRun
{
    std::string dataFilePath;
    // The settings as the run applied them (the coefficients as read from their boxes).
    settings::RunSettings settings;
    Rows rows;  // when asked for
    PreparedPoints points;  // when asked for, their lines too when asked for
    // The group of each prepared point, as the cross-check file labels it; when asked for.
    std::vector<std::int64_t> groups;
    Crossings crossings;  // when asked for
    CurveSides curve;
    RecordExtremes extremes;
    AxisTitles titles;
};

}  // namespace run
