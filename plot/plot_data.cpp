#include "plot/plot_data.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cmath>

namespace plot {

CrossingCollector::CrossingCollector(std::size_t exactLimit, int columns, int rows)
    : m_exactLimit(exactLimit)
    , m_columns(std::max(1, columns))
    , m_rows(std::max(1, rows))
{
}

void CrossingCollector::reset(const PlotRange& extent)
{
    m_crossings = {};
    m_crossings.extent = extent;
}

void CrossingCollector::add(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    ++m_crossings.total;
    if (m_crossings.dense()) {
        bin(x, y);
        return;
    }
    if (m_crossings.exact.x.size() < m_exactLimit) {
        m_crossings.exact.x.push_back(x);
        m_crossings.exact.y.push_back(y);
        return;
    }
    // One too many: from now on only the counts, the exact ones included.
    m_crossings.columns = m_columns;
    m_crossings.rows = m_rows;
    m_crossings.counts.assign(
        static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0);
    PlotSeries exact = std::move(m_crossings.exact);
    m_crossings.exact = {};
    for (std::size_t i = 0; i < exact.x.size(); ++i)
        bin(exact.x[i], exact.y[i]);
    bin(x, y);
}

void CrossingCollector::bin(double x, double y)
{
    const PlotRange& e = m_crossings.extent;
    // A crossing on the record's edge (or, through rounding, just beyond) goes to the edge cell.
    const auto cell = [](double v, double low, double high, int cells) -> std::size_t {
        // An extent beyond the range of double puts everything in the first cell.
        const double span = high - low;
        if (!(span > 0 && std::isfinite(span)))
            return 0;
        // floor, clamped to the cells, without a call: a run bins millions of crossings.
        const double k = (v - low) / span * cells;
        if (!(k > 0))
            return 0;
        if (k >= cells - 1)
            return static_cast<std::size_t>(cells - 1);
        return static_cast<std::size_t>(k);
    };
    std::uint32_t& count =
        m_crossings.counts[cell(y, e.yMin, e.yMax, m_rows) * static_cast<std::size_t>(m_columns)
            + cell(x, e.xMin, e.xMax, m_columns)];
    if (count < UINT32_MAX)
        ++count;
}

PlotCrossings CrossingCollector::take()
{
    PlotCrossings taken = std::move(m_crossings);
    m_crossings = {};
    m_crossings.extent = taken.extent;
    return taken;
}

void RecordColours::reset(std::size_t points)
{
    m_colours.assign(points, kNoGroupColour);
    m_next = 2;
}

void RecordColours::segmentDrawn(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    // Lines of other colours (the curve in red, drawn as it grows) are no segments of the record.
    if (m_next >= m_colours.size() || red != 0 || green + blue != 255 || blue == kNoGroupColour)
        return;
    m_colours[m_next++] = blue;
}

std::vector<std::uint8_t> RecordColours::take()
{
    std::vector<std::uint8_t> taken;
    if (m_next > 2)
        taken = std::move(m_colours);
    m_colours = {};
    m_next = 0;
    return taken;
}

PlotRange recordExtent(std::span<const double> x, std::span<const double> y)
{
    PlotRange extent { 0, 0, 0, 0 };
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

void CompactPoints::assign(std::span<const double> x, std::span<const double> y)
{
    const PlotRange extent = recordExtent(x, y);
    m_x0 = extent.xMin;
    m_y0 = extent.yMin;
    const std::size_t n = std::min(x.size(), y.size());
    colours.reset(n);
    m_dx.resize(n);
    m_dy.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        m_dx[i] = static_cast<float>(x[i] - m_x0);
        m_dy[i] = static_cast<float>(y[i] - m_y0);
    }
}

void CompactPoints::expand(std::vector<double>& x, std::vector<double>& y) const
{
    x.resize(m_dx.size());
    y.resize(m_dy.size());
    for (std::size_t i = 0; i < m_dx.size(); ++i) {
        x[i] = m_x0 + static_cast<double>(m_dx[i]);
        y[i] = m_y0 + static_cast<double>(m_dy[i]);
    }
}

PlotSeries backboneOf(const analysis::CurveSide& side, analysis::Side which)
{
    const double sign = which == analysis::Side::Negative ? -1.0 : 1.0;
    PlotSeries backbone;
    backbone.x.push_back(0);
    backbone.y.push_back(0);
    double reach = 0;
    const std::size_t n = std::min(side.x.size(), side.y.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double x = sign * side.x[i];
        if (!(x > reach) || !std::isfinite(side.y[i]))
            continue;
        reach = x;
        backbone.x.push_back(side.x[i]);
        backbone.y.push_back(side.y[i]);
    }
    if (backbone.x.size() == 1)
        return {};
    return backbone;
}

PlotSeries bilinearOf(const analysis::BackboneRow& row)
{
    if (!row.yieldDeformation || !row.yieldLoad || !row.ultimateDeformation)
        return {};
    // The row holds the negative side's values mirrored to positive.
    const double sign = row.side == analysis::Side::Negative ? -1.0 : 1.0;
    return { { 0, sign * *row.yieldDeformation, sign * *row.ultimateDeformation },
        { 0, sign * *row.yieldLoad, sign * *row.yieldLoad } };
}

namespace {

    // A header line is read up to this many bytes; a longer one names no columns anyone reads.
    constexpr qint64 kMaxHeaderLine = 64 * 1024;
    // Only so many header lines are looked at.
    constexpr int kMaxHeaderLines = 1000;

    QList<QByteArray> splitHeader(QByteArray line)
    {
        if (line.startsWith("\xEF\xBB\xBF"))  // a byte order mark
            line.remove(0, 3);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        QList<QByteArray> values;
        if (line.contains(',') || line.contains(';')) {
            QByteArray value;
            for (char c : line) {
                if (c == ',' || c == ';') {
                    values.append(value.trimmed());
                    value.clear();
                } else {
                    value.append(c);
                }
            }
            values.append(value.trimmed());
            return values;
        }
        for (const QByteArray& value : line.replace('\t', ' ').split(' '))
            if (!value.isEmpty())
                values.append(value);
        return values;
    }

    // A value that names something: not empty and not a number.
    bool isName(const QList<QByteArray>& values, int column)
    {
        if (column < 1 || column > values.size())
            return false;
        const QByteArray& value = values[column - 1];
        bool number = false;
        value.toDouble(&number);
        return !value.isEmpty() && !number;
    }

    // A unit: in brackets or short ("kN", "mm", "%").
    bool isUnit(const QByteArray& value)
    {
        return (value.startsWith('[') && value.endsWith(']'))
            || (value.startsWith('(') && value.endsWith(')')) || value.size() <= 8;
    }

    QString withUnit(const QByteArray& name, const QByteArray* unit)
    {
        QString title = QString::fromUtf8(name).simplified();
        if (!unit)
            return title;
        QString u = QString::fromUtf8(*unit).simplified();
        if (!(u.startsWith('[') || u.startsWith('(')))
            u = QStringLiteral("[%1]").arg(u);
        return title + ' ' + u;
    }

}  // namespace

void readAxisTitles(const std::string& dataFile, int skipLines, int xColumn, int yColumn,
    QString& xTitle, QString& yTitle)
{
    xTitle.clear();
    yTitle.clear();
    QFile file(QFile::decodeName(QByteArray::fromStdString(dataFile)));
    if (skipLines <= 0 || !file.open(QIODevice::ReadOnly))
        return;
    QList<QList<QByteArray>> lines;
    for (int i = 0; i < std::min(skipLines, kMaxHeaderLines) && !file.atEnd(); ++i) {
        QByteArray line = file.readLine(kMaxHeaderLine);
        if (!line.endsWith('\n') && !file.atEnd()) {
            // Too long to be a header: its rest is skipped and it names nothing.
            char c = 0;
            while (file.getChar(&c) && c != '\n') { }
            line.clear();
        }
        lines.append(splitHeader(line));
    }
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (!isName(lines[i], xColumn) || !isName(lines[i], yColumn))
            continue;
        // A line of units under a line of names: as many values, and units where they count.
        const bool units = i > 0 && lines[i - 1].size() == lines[i].size()
            && isName(lines[i - 1], xColumn) && isName(lines[i - 1], yColumn)
            && isUnit(lines[i][xColumn - 1]) && isUnit(lines[i][yColumn - 1]);
        const QList<QByteArray>& names = units ? lines[i - 1] : lines[i];
        xTitle = withUnit(names[xColumn - 1], units ? &lines[i][xColumn - 1] : nullptr);
        yTitle = withUnit(names[yColumn - 1], units ? &lines[i][yColumn - 1] : nullptr);
        return;
    }
}

namespace {

    constexpr std::size_t kIndexColumns = 4096;
    // A query looks at no more points than this, so that a pile of points under the cursor
    // cannot stall the mouse.
    constexpr std::size_t kMaxCandidates = 200'000;

}  // namespace

void PlotPointIndex::build(const PlotData& data)
{
    m_data = &data;
    m_order.clear();
    m_columnStart.assign(kIndexColumns + 1, 0);
    const std::size_t n = std::min(data.x.size(), data.y.size());
    const std::size_t p = std::min(data.sides.positive.x.size(), data.sides.positive.y.size());
    const std::size_t q = std::min(data.sides.negative.x.size(), data.sides.negative.y.size());
    const std::size_t total = n + p + q;
    // Indices are held in 32 bits; a larger plot has no hover.
    if (total == 0 || total >= UINT32_MAX)
        return;
    const auto at = [&](std::size_t i, double& x, double& y) {
        if (i < n) {
            x = data.x[i];
            y = data.y[i];
        } else if (i < n + p) {
            x = data.sides.positive.x[i - n];
            y = data.sides.positive.y[i - n];
        } else {
            x = data.sides.negative.x[i - n - p];
            y = data.sides.negative.y[i - n - p];
        }
        return std::isfinite(x) && std::isfinite(y);
    };
    double xMin = 0;
    double xMax = 0;
    bool any = false;
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (!at(i, x, y))
            continue;
        xMin = any ? std::min(xMin, x) : x;
        xMax = any ? std::max(xMax, x) : x;
        any = true;
    }
    if (!any)
        return;
    m_xMin = xMin;
    m_columnWidth = (xMax - xMin) / kIndexColumns;
    if (!(m_columnWidth > 0) || !std::isfinite(m_columnWidth))
        m_columnWidth = 1;
    const auto columnOf = [&](double x) {
        const double k = std::floor((x - m_xMin) / m_columnWidth);
        return static_cast<std::size_t>(std::clamp(k, 0.0, double(kIndexColumns - 1)));
    };
    // A counting sort into the columns, then each column by y.
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (at(i, x, y))
            ++m_columnStart[columnOf(x) + 1];
    }
    for (std::size_t c = 0; c < kIndexColumns; ++c)
        m_columnStart[c + 1] += m_columnStart[c];
    m_order.resize(m_columnStart[kIndexColumns]);
    std::vector<std::uint32_t> next(m_columnStart.begin(), m_columnStart.end() - 1);
    for (std::size_t i = 0; i < total; ++i) {
        double x = 0;
        double y = 0;
        if (at(i, x, y))
            m_order[next[columnOf(x)]++] = static_cast<std::uint32_t>(i);
    }
    std::vector<double> ys(m_order.size());
    for (std::size_t k = 0; k < m_order.size(); ++k) {
        double x = 0;
        at(m_order[k], x, ys[k]);
    }
    std::vector<std::pair<double, std::uint32_t>> column;
    for (std::size_t c = 0; c < kIndexColumns; ++c) {
        column.clear();
        for (std::size_t k = m_columnStart[c]; k < m_columnStart[c + 1]; ++k)
            column.emplace_back(ys[k], m_order[k]);
        std::sort(column.begin(), column.end());
        for (std::size_t k = 0; k < column.size(); ++k)
            m_order[m_columnStart[c] + k] = column[k].second;
    }
}

PlotPointRef PlotPointIndex::nearest(double x, double y, double xPerPixel, double yPerPixel,
    double radius, const PlotLayers& layers) const
{
    PlotPointRef best;
    if (!m_data || m_order.empty() || !(xPerPixel > 0) || !(yPerPixel > 0))
        return best;
    const PlotData& data = *m_data;
    const std::size_t n = std::min(data.x.size(), data.y.size());
    const std::size_t p = std::min(data.sides.positive.x.size(), data.sides.positive.y.size());
    const double rx = radius * xPerPixel;
    const double ry = radius * yPerPixel;
    const double first = std::floor((x - rx - m_xMin) / m_columnWidth);
    const double last = std::floor((x + rx - m_xMin) / m_columnWidth);
    if (!(last >= 0) || !(first < double(kIndexColumns)))
        return best;
    const auto from = static_cast<std::size_t>(std::max(first, 0.0));
    const auto to = static_cast<std::size_t>(std::min(last, double(kIndexColumns - 1)));
    double bestDistance = radius * radius;
    std::size_t looked = 0;
    for (std::size_t c = from; c <= to && looked < kMaxCandidates; ++c) {
        // The column's points are in y order: only those within ry of the cursor count.
        const auto yOf = [&](std::uint32_t i) {
            if (i < n)
                return data.y[i];
            if (i < n + p)
                return data.sides.positive.y[i - n];
            return data.sides.negative.y[i - n - p];
        };
        const auto begin = m_order.begin() + static_cast<std::ptrdiff_t>(m_columnStart[c]);
        const auto end = m_order.begin() + static_cast<std::ptrdiff_t>(m_columnStart[c + 1]);
        auto it = std::lower_bound(
            begin, end, y - ry, [&](std::uint32_t i, double v) { return yOf(i) < v; });
        for (; it != end && yOf(*it) <= y + ry && looked < kMaxCandidates; ++it, ++looked) {
            const std::uint32_t i = *it;
            PlotPointRef ref;
            double px = 0;
            if (i < n) {
                if (!layers.record)
                    continue;
                ref = { PlotPointRef::Source::Record, i };
                px = data.x[i];
            } else if (i < n + p) {
                if (!layers.positive)
                    continue;
                ref = { PlotPointRef::Source::Positive, i - n };
                px = data.sides.positive.x[i - n];
            } else {
                if (!layers.negative)
                    continue;
                ref = { PlotPointRef::Source::Negative, i - n - p };
                px = data.sides.negative.x[i - n - p];
            }
            const double dx = (px - x) / xPerPixel;
            const double dy = (yOf(i) - y) / yPerPixel;
            const double distance = dx * dx + dy * dy;
            // The record point wins a tie with a curve point on it: it has the data line.
            if (distance < bestDistance
                || (distance == bestDistance && best && best.source != PlotPointRef::Source::Record
                    && ref.source == PlotPointRef::Source::Record)) {
                bestDistance = distance;
                best = ref;
            }
        }
    }
    return best;
}

void scaleAxisTitles(PlotData& data, double xCoefficient, double yCoefficient)
{
    const auto scale = [](QString& title, double coefficient) {
        if (!title.isEmpty() && coefficient != 1)
            title += QStringLiteral(" × %1").arg(QString::number(coefficient, 'g', 7));
    };
    scale(data.xTitle, xCoefficient);
    scale(data.yTitle, yCoefficient);
}

}  // namespace plot
