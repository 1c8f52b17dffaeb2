#pragma once

#include "run/finished_run.h"
#include "run/run_host.h"
#include "run/text_records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace run {

// One point's line of the point file and the values its two numbers read back as.
struct PointText
{
    char text[2 * kMaxNumberText + 16];
    std::uint8_t xEnd;  // X's text with its trailing space is [0, xEnd)
    std::uint8_t yStart;
    std::uint8_t yEnd;
    double xBack;
    double yBack;
};

// Formats a point once: the same text goes to the file and is what the point list holds.
// Without `withText` only the values are sure to be set: the text is laid out only where they
// need it. Depends on nothing else, so any thread may format points ahead.
void formatPoint(double x, double y, PointText& out, bool withText = true);

// Takes the scaled data lines one by one: keeps the extremes, inserts a zero point where the
// load changes sign, drops a line whose X repeats the previous line's, and writes the point
// file when one is named. A point whose written digits do not read back as a finite number (the
// largest doubles, rounded up to 15 digits) is an Overflow.
class PointPreparation
{
public:
    // Creates the point file, unless `pointFilePath` is empty; throws RunFailure when it cannot.
    // With `keepLines` the points carry their data file's line numbers; with `rows` every data
    // line is kept there as it comes.
    PointPreparation(const std::string& pointFilePath, RecordExtremes& extremes,
        std::size_t expectedLines, bool keepLines = false, Rows* rows = nullptr);

    // One data line, in file order. `fileLine` is only for failure reports. `formatted`, when
    // given, is formatPoint(x, y) worked out ahead.
    void addLine(double x, double y, std::int64_t fileLine, const PointText* formatted = nullptr);

    // Closes the point file and hands over the prepared points.
    PreparedPoints finish();

private:
    // `ownLine` is false for a point no data line holds.
    void write(const PointText& point, std::int64_t fileLine, bool ownLine);

    std::optional<TextWriter> m_file;
    RecordExtremes& m_extremes;
    PreparedPoints m_points;
    double m_previousX = 0.0;
    double m_previousY = 0.0;
    bool m_first = true;
    bool m_keepLines = false;
    Rows* m_rows = nullptr;
};

// The plot's colours.
constexpr Rgb kForeground { 0, 0, 0 };
constexpr Rgb kAxes { 0, 0, 255 };
constexpr Rgb kRed { 255, 0, 0 };

// Plot coordinates are single precision: huge values are pinned to the float range.
float plotCoordinate(double value);

// Clears the plot, sets its window from the extremes and draws the axes.
void drawPlotFrame(RunHost& host, const RecordExtremes& extremes);

// Draws the prepared record and leaves the drawing position at point 2, yielding as it goes
// (see Pace). Throws IndexOutOfRange when fewer than two points were prepared.
void drawRecord(RunHost& host, const PreparedPoints& points);

}  // namespace run
