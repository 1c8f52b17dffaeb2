#include "analysis/analysis_tables.h"

#include "analysis/series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace analysis {

namespace {

    constexpr const char* kCyclesHeader =
        "cycle,level,cycle_in_level,first_line,last_line,u_pos,F_u_pos,u_neg,F_u_neg,F_max,"
        "u_F_max,F_min,u_F_min,stiffness,energy,cumulative_energy,damping,residual_pos,"
        "residual_neg,retention_pos,retention_neg";
    constexpr const char* kEnvelopeHeader = "side,level,cycles,u_first,F_first,u_last,F_last";
    constexpr const char* kBackboneHeader =
        "side,peak_load,peak_deformation,elastic_stiffness,yield_load,yield_deformation,"
        "ultimate_deformation,energy_to_ultimate,ductility";

    // A line of fields, each appended after a comma but the first.
    class CsvLine
    {
    public:
        explicit CsvLine(std::string& out)
            : m_out(out)
        {
        }

        void text(const char* value)
        {
            separate();
            m_out += value;
        }

        // Any text, quoted when it holds a separator, a quote or a line end.
        void quoted(const std::string& value)
        {
            separate();
            if (value.find_first_of(",\"\r\n") == std::string::npos) {
                m_out += value;
                return;
            }
            m_out += '"';
            for (const char c : value) {
                if (c == '"')
                    m_out += '"';
                m_out += c;
            }
            m_out += '"';
        }

        template <typename Whole>
        void whole(Whole value)
        {
            separate();
            char buffer[24];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
            m_out.append(buffer, end);
        }

        void number(std::optional<double> value)
        {
            separate();
            if (!value || !std::isfinite(*value))
                return;
            // "-0" would read back as a different double than the files' zero: both are zero.
            const double v = *value == 0.0 ? 0.0 : *value;
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
            m_out.append(buffer, end);
        }

        void finish()
        {
            m_out += "\r\n";
        }

    private:
        void separate()
        {
            if (m_started)
                m_out += ',';
            m_started = true;
        }

        std::string& m_out;
        bool m_started = false;
    };

    const char* sideName(Side side)
    {
        return side == Side::Positive ? "positive" : "negative";
    }

    void appendBackboneRow(std::string& out, const BackboneRow& row)
    {
        CsvLine line(out);
        line.text(sideName(row.side));
        line.number(row.peakLoad);
        line.number(row.peakDeformation);
        line.number(row.elasticStiffness);
        line.number(row.yieldLoad);
        line.number(row.yieldDeformation);
        line.number(row.ultimateDeformation);
        line.number(row.energyToUltimate);
        line.number(row.ductility);
        line.finish();
    }

    constexpr const char* kSeriesSideColumns[] = { "peak_load", "peak_deformation",
        "elastic_stiffness", "yield_load", "yield_deformation", "ultimate_deformation",
        "ductility" };

}  // namespace

SeriesRow finishedSeriesRow(const std::string& file, std::size_t samples, const RunTables& tables)
{
    SeriesRow row;
    row.file = file;
    row.status = SeriesRow::Status::Finished;
    row.samples = samples;
    row.cycles = tables.cycles.size();
    row.levels = tables.cycles.empty() ? 0 : tables.cycles.back().level;
    row.totalEnergy = tables.totalEnergy;
    row.positive = tables.positive;
    row.negative = tables.negative;
    return row;
}

SeriesRow failedSeriesRow(const std::string& file, std::optional<int> code)
{
    SeriesRow row;
    row.file = file;
    row.status = SeriesRow::Status::Failed;
    row.code = code;
    return row;
}

std::string seriesCsv(const std::vector<SeriesRow>& rows)
{
    std::string out = "file,status,code,samples,cycles,levels,total_energy";
    for (const char* side : { "pos_", "neg_" })
        for (const char* column : kSeriesSideColumns)
            out += std::string(",") + side + column;
    out += "\r\n";
    for (const SeriesRow& row : rows) {
        CsvLine line(out);
        line.quoted(row.file);
        line.text(row.status == SeriesRow::Status::Finished ? "finished"
                : row.status == SeriesRow::Status::Failed   ? "failed"
                                                            : "not run");
        const auto whole = [&](std::optional<std::size_t> value) {
            if (value)
                line.whole(*value);
            else
                line.text("");
        };
        if (row.code)
            line.whole(*row.code);
        else
            line.text("");
        whole(row.samples);
        whole(row.cycles);
        whole(row.levels);
        line.number(row.totalEnergy);
        for (const BackboneRow* side : { &row.positive, &row.negative }) {
            line.number(side->peakLoad);
            line.number(side->peakDeformation);
            line.number(side->elasticStiffness);
            line.number(side->yieldLoad);
            line.number(side->yieldDeformation);
            line.number(side->ultimateDeformation);
            line.number(side->ductility);
        }
        line.finish();
    }
    return out;
}

std::string cyclesCsv(const std::vector<CycleRow>& rows)
{
    std::string out = kCyclesHeader;
    out += "\r\n";
    for (const CycleRow& row : rows) {
        CsvLine line(out);
        line.whole(row.cycle);
        line.whole(row.level);
        line.whole(row.cycleInLevel);
        line.whole(row.firstLine);
        line.whole(row.lastLine);
        line.number(row.uPos);
        line.number(row.fUPos);
        line.number(row.uNeg);
        line.number(row.fUNeg);
        line.number(row.fMax);
        line.number(row.uFMax);
        line.number(row.fMin);
        line.number(row.uFMin);
        line.number(row.stiffness);
        line.number(row.energy);
        line.number(row.cumulativeEnergy);
        line.number(row.damping);
        line.number(row.residualPos);
        line.number(row.residualNeg);
        line.number(row.retentionPos);
        line.number(row.retentionNeg);
        line.finish();
    }
    return out;
}

std::string envelopeCsv(const std::vector<EnvelopeRow>& rows)
{
    std::string out = kEnvelopeHeader;
    out += "\r\n";
    for (const EnvelopeRow& row : rows) {
        CsvLine line(out);
        line.text(sideName(row.side));
        line.whole(row.level);
        line.whole(row.cycles);
        line.number(row.uFirst);
        line.number(row.fFirst);
        line.number(row.uLast);
        line.number(row.fLast);
        line.finish();
    }
    return out;
}

std::string backboneCsv(const BackboneRow& positive, const BackboneRow& negative)
{
    std::string out = kBackboneHeader;
    out += "\r\n";
    appendBackboneRow(out, positive);
    appendBackboneRow(out, negative);
    return out;
}

std::string curveCsv(const CurveSide& positive, const CurveSide& negative)
{
    std::string out = "side,x,y\r\n";
    const auto append = [&out](const char* side, const CurveSide& points) {
        const std::size_t n = std::min(points.x.size(), points.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            CsvLine line(out);
            line.text(side);
            line.number(points.x[i]);
            line.number(points.y[i]);
            line.finish();
        }
    };
    append("positive", positive);
    append("negative", negative);
    return out;
}

}  // namespace analysis
