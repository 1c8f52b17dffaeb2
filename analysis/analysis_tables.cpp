#include "analysis/analysis_tables.h"

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

}  // namespace

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
