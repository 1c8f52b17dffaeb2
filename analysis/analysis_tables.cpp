#include "analysis/analysis_tables.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace analysis {

namespace {

    constexpr const char* kCyclesHeader =
        "cycle,level,first_point,last_point,u_pos,F_u_pos,u_neg,F_u_neg,F_max,F_min,stiffness,"
        "energy,cumulative_energy,damping,retention_pos,retention_neg";
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

        void whole(std::size_t value)
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

    void appendBackboneRow(std::string& out, const BackboneRow& row)
    {
        CsvLine line(out);
        line.text(row.side == Side::Positive ? "positive" : "negative");
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
        line.whole(row.firstPoint);
        line.whole(row.lastPoint);
        line.number(row.uPos);
        line.number(row.fUPos);
        line.number(row.uNeg);
        line.number(row.fUNeg);
        line.number(row.fMax);
        line.number(row.fMin);
        line.number(row.stiffness);
        line.number(row.energy);
        line.number(row.cumulativeEnergy);
        line.number(row.damping);
        line.number(row.retentionPos);
        line.number(row.retentionNeg);
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

void writeCyclesCsv(std::ostream& out, const std::vector<CycleRow>& rows)
{
    const std::string text = cyclesCsv(rows);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void writeBackboneCsv(std::ostream& out, const BackboneRow& positive, const BackboneRow& negative)
{
    const std::string text = backboneCsv(positive, negative);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace analysis
