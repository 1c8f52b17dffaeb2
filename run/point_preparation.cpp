#include "run/point_preparation.h"

#include "run/exact_read_back.h"
#include "run/run_failure.h"
#include "run/run_pace.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace run {

PointPreparation::PointPreparation(const std::string& pointFilePath, RecordExtremes& extremes,
    std::size_t expectedLines, bool keepLines, Rows* rows)
    : m_extremes(extremes)
    , m_keepLines(keepLines)
    , m_rows(rows)
{
    if (m_rows) {
        m_rows->x.reserve(expectedLines);
        m_rows->y.reserve(expectedLines);
    }
    if (!pointFilePath.empty())
        m_file.emplace(pointFilePath);
    const std::size_t room = expectedLines + expectedLines / 16 + 16;
    m_points.x.reserve(room);
    m_points.y.reserve(room);
    if (m_keepLines)
        m_points.lines.reserve(room);
}

void formatPoint(double x, double y, PointText& out, bool withText)
{
    // Without a point file, the text is needed only where the exact path cannot settle a value.
    if (!withText && exactReadBackDouble(x, out.xBack) && exactReadBackDouble(y, out.yBack)) {
        out.xEnd = out.yStart = out.yEnd = 0;
        return;
    }
    char* const line = out.text;
    char* const xEnd = formatDouble(line, x);
    const std::size_t xLength = static_cast<std::size_t>(xEnd - line);
    const std::size_t yStart = nextZoneStart(xLength);
    std::memset(xEnd, ' ', yStart - xLength);
    char* const yEnd = formatDouble(line + yStart, y);
    out.xEnd = static_cast<std::uint8_t>(xLength);
    out.yStart = static_cast<std::uint8_t>(yStart);
    out.yEnd = static_cast<std::uint8_t>(yEnd - line);
    // The exact path settles nearly every value a record holds without parsing the text.
    if (!exactReadBackDouble(x, out.xBack))
        out.xBack = readBackNumber(line, xEnd - 1);
    if (!exactReadBackDouble(y, out.yBack))
        out.yBack = readBackNumber(line + yStart, yEnd - 1);
}

void PointPreparation::write(const PointText& point, std::int64_t fileLine, bool ownLine)
{
    const double xBack = point.xBack;
    const double yBack = point.yBack;
    if (!std::isfinite(xBack) || !std::isfinite(yBack)) {
        const bool badX = !std::isfinite(xBack);
        const char* begin = badX ? point.text : point.text + point.yStart;
        const char* end = point.text + (badX ? point.xEnd : point.yEnd) - 1;
        if (*begin == ' ')
            ++begin;
        throw RunFailure(FailureCode::Overflow,
            "line " + std::to_string(fileLine) + ": " + (badX ? "X" : "Y") + " written as "
                + std::string(begin, end) + " reads back beyond the double range",
            fileLine);
    }
    m_points.x.push_back(xBack);
    m_points.y.push_back(yBack);
    if (m_keepLines)
        m_points.lines.push_back(ownLine && fileLine > 0 && fileLine <= UINT32_MAX
                ? static_cast<std::uint32_t>(fileLine)
                : 0);
    if (m_file)
        m_file->writeFormatted(point.text, point.yEnd);
}

void PointPreparation::addLine(
    double x, double y, std::int64_t fileLine, const PointText* formatted)
{
    PointText own;
    const auto writeOwn = [&] {
        if (!formatted) {
            formatPoint(x, y, own, m_file.has_value());
            formatted = &own;
        }
        write(*formatted, fileLine, true);
    };

    if (m_rows) {
        m_rows->x.push_back(x);
        m_rows->y.push_back(y);
        m_rows->lines.push(fileLine);
    }

    RecordExtremes& e = m_extremes;
    if (e.maxX <= x)
        e.maxX = x;
    if (e.maxY <= y)
        e.maxY = y;
    if (e.minX >= x)
        e.minX = x;
    if (e.minY >= y)
        e.minY = y;

    if (m_first) {
        m_first = false;
        writeOwn();
    } else {
        if (y * m_previousY < 0 && x != m_previousX) {
            const double x0 = x - (x - m_previousX) * y / (y - m_previousY);
            if (!std::isfinite(x0))
                throw RunFailure(FailureCode::Overflow,
                    "the zero point before this line cannot be held", fileLine);
            PointText zero;
            formatPoint(x0, 0.0, zero, m_file.has_value());
            write(zero, fileLine, false);
        }
        if (x != m_previousX)
            writeOwn();
    }
    m_previousX = x;
    m_previousY = y;
}

PreparedPoints PointPreparation::finish()
{
    if (m_file)
        m_file->close();
    return std::move(m_points);
}

float plotCoordinate(double value)
{
    if (std::isnan(value))
        return 0.0f;
    if (value > static_cast<double>(FLT_MAX))
        return FLT_MAX;
    if (value < -static_cast<double>(FLT_MAX))
        return -FLT_MAX;
    return static_cast<float>(value);
}

void drawPlotFrame(RunHost& host, const RecordExtremes& e)
{
    host.clearPlot();
    host.setPlotWindow(plotCoordinate(1.05 * e.minX), plotCoordinate(-1.05 * e.maxY),
        plotCoordinate(1.05 * e.maxX), plotCoordinate(-1.05 * e.minY));
    host.drawLine(plotCoordinate(1.05 * e.minX), 0.0f, plotCoordinate(1.05 * e.maxX), 0.0f, kAxes);
    host.drawLine(
        0.0f, plotCoordinate(-1.05 * e.minY), 0.0f, plotCoordinate(-1.05 * e.maxY), kAxes);
}

void drawRecord(RunHost& host, const PreparedPoints& points)
{
    const std::size_t n = points.size();
    host.drawDot(plotCoordinate(points.x[0]), plotCoordinate(-points.y[0]), kForeground);
    const auto total = static_cast<std::int64_t>(n);
    host.progress(0, total);
    Pace pace(&host, total, 4096);
    for (std::size_t a = 0; a < n; ++a) {
        host.drawLineTo(plotCoordinate(points.x[a]), plotCoordinate(-points.y[a]), kForeground);
        pace.step(static_cast<std::int64_t>(a + 1), Pace::kDrawingCost);
    }
    host.progress(total, total);
    host.drawDot(plotCoordinate(points.x[0]), plotCoordinate(-points.y[0]), kForeground);
    if (n < 2)
        throw RunFailure(FailureCode::IndexOutOfRange,
            "fewer than two points remain after dropping repeated X values");
    host.drawLineTo(plotCoordinate(points.x[1]), plotCoordinate(-points.y[1]), kForeground);
}

}  // namespace run
