#include "run/finished_run.h"

#include "run/data_reader.h"
#include "settings/number_text.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>

namespace run {

void RowLines::push(std::int64_t line)
{
    if (m_count == 0 || (*this)[m_count - 1] + 1 != line)
        m_jumps.emplace_back(m_count, line);
    ++m_count;
}

std::int64_t RowLines::operator[](std::size_t row) const
{
    // The last jump at or before the row.
    const auto after = std::upper_bound(m_jumps.begin(), m_jumps.end(), row,
        [](std::size_t r, const std::pair<std::size_t, std::int64_t>& jump) {
            return r < jump.first;
        });
    if (after == m_jumps.begin())
        return 0;
    const auto& jump = *(after - 1);
    return jump.second + static_cast<std::int64_t>(row - jump.first);
}

Extent extentOf(const std::vector<double>& x, const std::vector<double>& y)
{
    Extent extent;
    bool any = false;
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]))
            continue;
        if (!any)
            extent = { x[i], x[i], y[i], y[i] };
        any = true;
        extent = { std::min(extent.xMin, x[i]), std::max(extent.xMax, x[i]),
            std::min(extent.yMin, y[i]), std::max(extent.yMax, y[i]) };
    }
    return extent;
}

CrossingCollector::CrossingCollector(
    std::size_t exactLimit, int columns, int rows, const Extent& extent)
    : m_exactLimit(exactLimit)
    , m_columns(std::max(1, columns))
    , m_rows(std::max(1, rows))
{
    m_crossings.extent = extent;
    // NaN where the span is none or beyond double: no product is then clear of an edge.
    const auto scale = [](double low, double high, int cells) {
        const double span = high - low;
        return span > 0 && std::isfinite(span) ? cells / span
                                               : std::numeric_limits<double>::quiet_NaN();
    };
    m_xScale = scale(extent.xMin, extent.xMax, m_columns);
    m_yScale = scale(extent.yMin, extent.yMax, m_rows);
}

void CrossingCollector::add(double x, double y, std::int64_t group)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    ++m_crossings.total;
    if (m_crossings.dense()) {
        bin(x, y);
        return;
    }
    if (m_crossings.x.size() < m_exactLimit) {
        m_crossings.x.push_back(x);
        m_crossings.y.push_back(y);
        m_crossings.group.push_back(group);
        return;
    }
    // One too many: from now on only the counts, the held ones included.
    m_crossings.columns = m_columns;
    m_crossings.rows = m_rows;
    m_crossings.counts.assign(
        static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0);
    const std::vector<double> heldX = std::exchange(m_crossings.x, {});
    const std::vector<double> heldY = std::exchange(m_crossings.y, {});
    m_crossings.group = {};
    for (std::size_t i = 0; i < heldX.size(); ++i)
        bin(heldX[i], heldY[i]);
    bin(x, y);
}

namespace {

    // The cell of v among `cells` from low to high: (v - low) / span · cells rounded down and
    // clamped, a crossing on the record's edge (or, through rounding, just beyond) in the edge
    // cell. `scale` is cells / span, which gives the same cell with a multiplication wherever
    // the product lies clear of a cell's edge: the two differ by a few units in the last place.
    std::size_t gridCell(double v, double low, double high, int cells, double scale)
    {
        const double fast = (v - low) * scale;
        const double clearance = 64.0 * DBL_EPSILON * cells;
        if (fast > clearance && fast < cells - 1 - clearance) {
            const auto cell = static_cast<std::size_t>(fast);
            const double within = fast - static_cast<double>(cell);
            if (within > clearance && within < 1.0 - clearance)
                return cell;
        }
        // An extent beyond the range of double puts everything in the first cell.
        const double span = high - low;
        if (!(span > 0 && std::isfinite(span)))
            return 0;
        const double k = (v - low) / span * cells;
        if (!(k > 0))
            return 0;
        if (k >= cells - 1)
            return static_cast<std::size_t>(cells - 1);
        return static_cast<std::size_t>(k);
    }

}  // namespace

void CrossingCollector::bin(double x, double y)
{
    const Extent& e = m_crossings.extent;
    std::uint32_t& count = m_crossings.counts[gridCell(y, e.yMin, e.yMax, m_rows, m_yScale)
            * static_cast<std::size_t>(m_columns)
        + gridCell(x, e.xMin, e.xMax, m_columns, m_xScale)];
    if (count < UINT32_MAX)
        ++count;
}

namespace {

    // A field that names something: not empty and not a number by the data's rule.
    bool isName(const std::vector<std::string_view>& fields, int column)
    {
        if (column < 1 || static_cast<std::size_t>(column) > fields.size())
            return false;
        const std::string_view field = fields[static_cast<std::size_t>(column) - 1];
        return !field.empty()
            && settings::scanNumber(field, {}).kind == settings::ScannedNumber::Kind::NotANumber;
    }

    // A unit: in brackets or short ("kN", "mm", "%").
    bool isUnit(std::string_view value)
    {
        return (value.starts_with('[') && value.ends_with(']'))
            || (value.starts_with('(') && value.ends_with(')')) || value.size() <= 8;
    }

    std::string withUnit(std::string_view name, std::string_view unit)
    {
        std::string title(name);
        if (unit.empty())
            return title;
        if (unit.starts_with('[') || unit.starts_with('('))
            return title + " " + std::string(unit);
        return title + " [" + std::string(unit) + "]";
    }

    // " × 0.1" for a coefficient other than 1, in at most 7 significant digits.
    std::string coefficientPart(double coefficient)
    {
        if (coefficient == 1)
            return {};
        char text[32];
        const auto end =
            std::to_chars(text, text + sizeof text, coefficient, std::chars_format::general, 7);
        return " \xC3\x97 " + std::string(text, end.ptr);
    }

}  // namespace

AxisTitles axisTitles(const std::vector<std::string>& headerLines, std::int64_t dataValues,
    const settings::RunSettings& s)
{
    AxisTitles titles { "X (column " + std::to_string(s.XColumn) + ")",
        "Y (column " + std::to_string(s.YColumn) + ")" };
    std::vector<std::vector<std::string_view>> fields;
    fields.reserve(headerLines.size());
    for (const std::string& line : headerLines)
        fields.push_back(splitDataFields(line));
    const auto names = [&](std::size_t i) {
        return static_cast<std::int64_t>(fields[i].size()) == dataValues
            && isName(fields[i], s.XColumn) && isName(fields[i], s.YColumn);
    };
    for (std::size_t i = fields.size(); i-- > 0;) {
        if (!names(i))
            continue;
        const auto x = static_cast<std::size_t>(s.XColumn) - 1;
        const auto y = static_cast<std::size_t>(s.YColumn) - 1;
        // A line of units under a line of names.
        const bool units = i > 0 && names(i - 1) && isUnit(fields[i][x]) && isUnit(fields[i][y]);
        const std::vector<std::string_view>& named = units ? fields[i - 1] : fields[i];
        titles = { withUnit(named[x], units ? fields[i][x] : std::string_view()),
            withUnit(named[y], units ? fields[i][y] : std::string_view()) };
        break;
    }
    titles.x += coefficientPart(s.XCoefficient);
    titles.y += coefficientPart(s.YCoefficient);
    return titles;
}

}  // namespace run
