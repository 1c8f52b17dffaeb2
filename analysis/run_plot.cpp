#include "analysis/run_plot.h"

#include "run/cross_check.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace analysis {

namespace {

    PlotSeries series(const std::vector<PlanePoint>& points)
    {
        PlotSeries s;
        s.x.reserve(points.size());
        s.y.reserve(points.size());
        for (const PlanePoint& p : points) {
            s.x.push_back(p.x);
            s.y.push_back(p.y);
        }
        return s;
    }

    PlotData plotOf(run::FinishedRun& run)
    {
        PlotData data;
        const std::size_t n = run.points.size();
        if (run.groups.size() == n && n > 2) {
            // The cross check draws each segment from the third point on in its group's colour.
            data.colours.assign(n, kNoGroupColour);
            for (std::size_t i = 2; i < n; ++i)
                data.colours[i] = run::groupColour(run.groups[i]).blue;
        }
        run.groups = {};
        data.x = std::move(run.points.x);
        data.y = std::move(run.points.y);
        if (run.points.lines.size() == n)
            data.lines = std::move(run.points.lines);
        data.crossings = std::move(run.crossings);
        data.sides = std::move(run.curve);
        data.xColumn = run.settings.XColumn;
        data.yColumn = run.settings.YColumn;
        data.xTitle = std::move(run.titles.x);
        data.yTitle = std::move(run.titles.y);
        return data;
    }

}  // namespace

PlotSeries loopSeries(const run::Rows& rows, const CycleLoop& loop)
{
    PlotSeries s;
    const std::size_t n = std::min(rows.x.size(), rows.y.size());
    if (loop.firstRow > loop.lastRow || loop.lastRow >= n)
        return s;
    const std::size_t count = loop.lastRow - loop.firstRow + 3;
    s.x.reserve(count);
    s.y.reserve(count);
    s.x.push_back(loop.start.x);
    s.y.push_back(loop.start.y);
    s.x.insert(s.x.end(), rows.x.begin() + std::ptrdiff_t(loop.firstRow),
        rows.x.begin() + std::ptrdiff_t(loop.lastRow + 1));
    s.y.insert(s.y.end(), rows.y.begin() + std::ptrdiff_t(loop.firstRow),
        rows.y.begin() + std::ptrdiff_t(loop.lastRow + 1));
    s.x.push_back(loop.end.x);
    s.y.push_back(loop.end.y);
    return s;
}

PlotBackbone plotBackbone(const RunTables& tables)
{
    return { series(tables.positiveLines.backbone), series(tables.negativeLines.backbone),
        series(tables.positiveLines.bilinear), series(tables.negativeLines.bilinear),
        series(tables.positiveLines.lastCycleEnvelope),
        series(tables.negativeLines.lastCycleEnvelope) };
}

AssembledRun assembleRun(run::FinishedRun run, const CycleOptions& options)
{
    AssembledRun assembled;
    assembled.tables = analyseFinishedRun(run, options);
    assembled.rows = std::make_shared<const run::Rows>(std::move(run.rows));
    assembled.plot = std::make_shared<const PlotData>(plotOf(run));
    return assembled;
}

}  // namespace analysis
