#include "analysis/run_tables.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

    // The middle of the sorted values, the mean of the two middle ones for an even count.
    double median(std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        // NaN (only from an overflowing record) sorts last, so that the order stays strict.
        std::sort(values.begin(), values.end(),
            [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; });
        const std::size_t half = values.size() / 2;
        if (values.size() % 2 == 1)
            return values[half];
        return (values[half - 1] + values[half]) / 2;
    }

    SideLines sideLines(const RunTables& tables, Side side, const std::vector<PlanePoint>& backbone)
    {
        SideLines lines;
        for (const EnvelopeRow& row : tables.envelope) {
            if (row.side != side)
                continue;
            lines.firstCycleEnvelope.push_back({ row.uFirst, row.fFirst });
            lines.lastCycleEnvelope.push_back({ row.uLast, row.fLast });
        }
        const double sign = side == Side::Negative ? -1.0 : 1.0;
        for (const PlanePoint& p : backbone)
            lines.backbone.push_back({ sign * p.x, sign * p.y });
        const BackboneRow& row = side == Side::Negative ? tables.negative : tables.positive;
        if (row.yieldLoad && row.yieldDeformation && row.ultimateDeformation)
            lines.bilinear = { { 0.0, 0.0 },
                { sign * *row.yieldDeformation, sign * *row.yieldLoad },
                { sign * *row.ultimateDeformation, sign * *row.yieldLoad } };
        return lines;
    }

}  // namespace

RunTables analyseRows(const run::Rows& rows, const CycleOptions& options)
{
    RunTables tables;
    Cycles cycles = analyseCycles(rows, options);
    tables.cycles = std::move(cycles.rows);
    tables.loops = std::move(cycles.loops);
    tables.envelope = envelopeRows(tables.cycles, options.envelope);
    const std::vector<PlanePoint> positive = backbonePoints(tables.envelope, Side::Positive);
    const std::vector<PlanePoint> negative = backbonePoints(tables.envelope, Side::Negative);
    tables.positive = analyseBackbone(positive, Side::Positive);
    tables.negative = analyseBackbone(negative, Side::Negative);
    tables.positiveLines = sideLines(tables, Side::Positive, positive);
    tables.negativeLines = sideLines(tables, Side::Negative, negative);

    if (!tables.cycles.empty()) {
        std::vector<double> stiffnesses;
        stiffnesses.reserve(tables.cycles.size());
        for (const CycleRow& row : tables.cycles)
            stiffnesses.push_back(row.stiffness);
        tables.totalEnergy = tables.cycles.back().cumulativeEnergy;
        tables.medianStiffness = median(std::move(stiffnesses));
        tables.loopsReversed = tables.totalEnergy < 0 && tables.medianStiffness < 0;
    }
    return tables;
}

RunTables analyseFinishedRun(const run::FinishedRun& run, const CycleOptions& options)
{
    return analyseRows(run.rows, options);
}

}  // namespace analysis
