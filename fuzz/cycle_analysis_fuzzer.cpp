// The cycle analysis on any rows a run can hand over (finite values, from coarse grids with
// plateaus and repeated X to values near the ends of the double range) and any options: the
// three tables must hold together as their definitions say, and their CSV text must read
// back to their values, every field finite or empty. The turn-back filter is compared with
// the definition's plain repeat-from-the-start removal.
//
// Input: byte 0 the cycle tolerance, the turn-back ratio and the envelope's point; byte 1 the
// level tolerance, how values are read and their scale; byte 2 where the data file's lines
// jump; the rest the rows' X and Y, pair by pair.
#include "analysis/analysis_tables.h"
#include "analysis/cycle_analysis.h"
#include "analysis/envelope.h"
#include "analysis/run_tables.h"
#include "fuzz_support.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace analysis;

// Up to here the plain turn-back filter, which costs the square of the reversals, is compared.
constexpr std::size_t kMostPlainReversals = 400;

constexpr double kTolerances[] = { 0.0, 1e-9, 0.001, 0.01, 0.05, 0.2, 0.4999, -0.1 };
constexpr double kRatios[] = { 0.0, 0.1, 0.25, 0.5, 0.9, 0.999, 1.0, 0.3 };
constexpr double kLevelTolerances[] = { 0.0, 0.01, 0.05, 0.2, 1.0, 10.0, 1e300,
    std::numeric_limits<double>::infinity() };
constexpr double kScales[] = { 1.0, 1e-300, 1e300, DBL_MAX / 256, 1e154, 1e-160, 0x1p1000, 3.0 };

CycleOptions decodeOptions(const std::uint8_t* data)
{
    CycleOptions o;
    o.cycleTolerance = kTolerances[data[0] % 8];
    o.turnBackRatio = kRatios[(data[0] >> 3) % 8];
    o.envelope = (data[0] & 64) ? EnvelopeKind::Deformation : EnvelopeKind::Load;
    o.levelTolerance = kLevelTolerances[data[1] % 8];
    return o;
}

// A finite value from the input: a grid of quarters, thousandths, a single or a double, times
// the scale; beyond the range it is held at the largest double.
run::Rows decodeRows(const std::uint8_t* data, std::size_t size)
{
    run::Rows rows;
    const int kind = (data[1] >> 3) % 4;
    const double scale = kScales[(data[1] >> 5) % 8];
    const std::uint8_t jumps = data[2];
    std::size_t i = 3;
    const auto value = [&](double& v) {
        const std::size_t width = kind == 0 ? 1 : kind == 1 ? 2 : kind == 2 ? 4 : 8;
        if (i + width > size)
            return false;
        const std::uint8_t* b = data + i;
        i += width;
        if (kind == 0) {
            v = static_cast<double>(static_cast<std::int8_t>(*b)) / 4.0;
        } else if (kind == 1) {
            std::int16_t w = 0;
            std::memcpy(&w, b, 2);
            v = static_cast<double>(w) / 1000.0;
        } else if (kind == 2) {
            float f = 0.0f;
            std::memcpy(&f, b, 4);
            v = std::isfinite(f) ? static_cast<double>(f) : 0.0;
        } else {
            std::memcpy(&v, b, 8);
            if (!std::isfinite(v))
                v = 0.0;
        }
        v *= scale;
        if (!std::isfinite(v))
            v = std::copysign(DBL_MAX, v);
        return true;
    };
    std::int64_t line = 1 + (jumps & 3);
    while (rows.size() < 4096) {
        double x = 0.0;
        double y = 0.0;
        if (!value(x) || !value(y))
            break;
        rows.x.push_back(x);
        rows.y.push_back(y);
        rows.lines.push(line);
        // Blank lines now and then between data lines.
        line += 1 + ((rows.size() * jumps) >> 6) % 2 * (jumps >> 4);
    }
    return rows;
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool alternate(const std::vector<Reversal>& reversals)
{
    for (std::size_t k = 1; k < reversals.size(); ++k)
        if (reversals[k].peak == reversals[k - 1].peak || reversals[k].row <= reversals[k - 1].row)
            return false;
    return true;
}

// The turn-back filter as defined: the smallest j whose swing is short against both
// neighbours goes with the reversal after it, and the search starts again from the start.
std::vector<Reversal> plainTurnBacks(
    const std::vector<double>& x, std::vector<Reversal> r, double q)
{
    const auto swing = [&](std::size_t a, std::size_t b) {
        return std::abs(x[r[b].row] - x[r[a].row]);
    };
    for (bool removed = true; removed;) {
        removed = false;
        for (std::size_t j = 1; j + 2 < r.size(); ++j)
            if (swing(j, j + 1) < q * std::min(swing(j - 1, j), swing(j + 1, j + 2))) {
                r.erase(r.begin() + static_cast<std::ptrdiff_t>(j),
                    r.begin() + static_cast<std::ptrdiff_t>(j + 2));
                removed = true;
                break;
            }
    }
    return r;
}

void checkReversals(const run::Rows& rows, const CycleOptions& o, const RunTables& tables)
{
    const std::vector<Reversal> found = findReversals(rows.x, o.cycleTolerance);
    fuzz::check(alternate(found), "the reversals do not alternate");
    const std::vector<Reversal> kept = removeTurnBacks(rows.x, found, o.turnBackRatio);
    fuzz::check(alternate(kept), "the turn-back filter left peaks and valleys not alternating");
    if (found.size() <= kMostPlainReversals) {
        const std::vector<Reversal> plain = plainTurnBacks(rows.x, found, o.turnBackRatio);
        fuzz::check(plain.size() == kept.size()
                && std::equal(plain.begin(), plain.end(), kept.begin(),
                    [](const Reversal& a, const Reversal& b) {
                        return a.row == b.row && a.peak == b.peak;
                    }),
            "the turn-back filter kept other reversals than the plain removal");
    }
    // A cycle for each peak with a valley and a peak after it, in order.
    std::size_t k = 0;
    for (std::size_t i = 0; i + 2 < kept.size(); ++i) {
        if (!kept[i].peak)
            continue;
        fuzz::check(k < tables.loops.size(), "a peak without its cycle");
        const CycleLoop& loop = tables.loops[k++];
        fuzz::check(loop.peak == kept[i].row && loop.valley == kept[i + 1].row
                && loop.nextPeak == kept[i + 2].row,
            "a cycle other than its reversals");
        fuzz::check(loop.firstRow <= loop.lastRow && loop.lastRow < rows.size()
                && loop.peak < loop.firstRow && loop.lastRow < loop.nextPeak,
            "a loop's rows out of its cycle");
    }
    fuzz::check(k == tables.loops.size(), "a cycle without its peaks");
}

void checkCycles(const run::Rows& rows, const RunTables& tables)
{
    fuzz::check(tables.cycles.size() == tables.loops.size(), "not one loop per cycle");
    double sum = 0.0;
    std::size_t first = 0;  // the level's first cycle
    for (std::size_t k = 0; k < tables.cycles.size(); ++k) {
        const CycleRow& row = tables.cycles[k];
        const CycleLoop& loop = tables.loops[k];
        fuzz::check(row.cycle == k + 1, "cycles not numbered from 1");
        sum += row.energy;
        fuzz::check(sameNumber(row.cumulativeEnergy, sum),
            "cumulative_energy is not the running sum of the energies");
        if (k == 0) {
            fuzz::check(row.level == 1 && row.cycleInLevel == 1, "the first cycle opens no level");
        } else {
            const CycleRow& previous = tables.cycles[k - 1];
            const bool opens = row.level == previous.level + 1 && row.cycleInLevel == 1;
            const bool goesOn =
                row.level == previous.level && row.cycleInLevel == previous.cycleInLevel + 1;
            fuzz::check(opens || goesOn, "level and cycle_in_level do not count on");
        }
        if (row.cycleInLevel == 1)
            first = k;
        const CycleRow& opening = tables.cycles[first];
        fuzz::check(row.retentionPos.has_value() == (opening.fUPos != 0.0)
                && row.retentionNeg.has_value() == (opening.fUNeg != 0.0),
            "a retention empty other than for a division by zero");
        fuzz::check(
            row.firstLine == rows.lines[loop.peak] && row.lastLine == rows.lines[loop.nextPeak],
            "first_line and last_line are not the peaks' lines");
        fuzz::check(row.uPos == std::min(rows.x[loop.peak], rows.x[loop.nextPeak])
                && row.uNeg == rows.x[loop.valley] && row.fUNeg == rows.y[loop.valley],
            "u_pos, u_neg or F_u_neg is not its reversal's");
    }
    if (!tables.cycles.empty())
        fuzz::check(sameNumber(tables.totalEnergy, tables.cycles.back().cumulativeEnergy),
            "the total energy is not the last cumulative energy");
}

void checkEnvelope(const RunTables& tables, EnvelopeKind kind)
{
    const std::size_t levels = tables.cycles.empty() ? 0 : tables.cycles.back().level;
    fuzz::check(tables.envelope.size() == 2 * levels, "not one envelope row per level and side");
    // Each level's first and last cycle, and how many it has (levels count on from 1).
    std::vector<const CycleRow*> firstOf(levels + 1);
    std::vector<const CycleRow*> lastOf(levels + 1);
    std::vector<std::size_t> count(levels + 1);
    for (const CycleRow& cycle : tables.cycles) {
        if (!firstOf[cycle.level])
            firstOf[cycle.level] = &cycle;
        lastOf[cycle.level] = &cycle;
        ++count[cycle.level];
    }
    for (std::size_t r = 0; r < tables.envelope.size(); ++r) {
        const EnvelopeRow& row = tables.envelope[r];
        const bool positive = r < levels;
        const std::size_t level = positive ? r + 1 : r - levels + 1;
        fuzz::check(row.side == (positive ? Side::Positive : Side::Negative) && row.level == level,
            "envelope rows out of their order");
        fuzz::check(row.cycles == count[level], "an envelope row's cycles miscounted");
        const auto point = [&](const CycleRow& c) {
            if (kind == EnvelopeKind::Load)
                return positive ? PlanePoint { c.uFMax, c.fMax } : PlanePoint { c.uFMin, c.fMin };
            return positive ? PlanePoint { c.uPos, c.fUPos } : PlanePoint { c.uNeg, c.fUNeg };
        };
        fuzz::check(point(*firstOf[level]) == PlanePoint { row.uFirst, row.fFirst }
                && point(*lastOf[level]) == PlanePoint { row.uLast, row.fLast },
            "an envelope row is not its level's first and last cycle");
    }
}

void checkBackboneRow(const BackboneRow& row)
{
    for (const std::optional<double>& v :
        { row.peakLoad, row.peakDeformation, row.elasticStiffness, row.yieldLoad,
            row.yieldDeformation, row.ultimateDeformation, row.energyToUltimate, row.ductility })
        fuzz::check(!v || std::isfinite(*v), "a backbone value that cannot be held is not empty");
}

// The CSV's lines and their fields, after the header.
std::vector<std::vector<std::string_view>> csvFields(std::string_view text, std::size_t columns)
{
    std::vector<std::vector<std::string_view>> lines;
    bool header = true;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        fuzz::check(end != std::string_view::npos, "a CSV line without CR LF");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 2);
        std::vector<std::string_view> fields;
        std::size_t at = 0;
        for (;;) {
            const std::size_t comma = line.find(',', at);
            fields.push_back(
                line.substr(at, comma == std::string_view::npos ? line.npos : comma - at));
            if (comma == std::string_view::npos)
                break;
            at = comma + 1;
        }
        fuzz::check(fields.size() == columns, "a CSV line of another width");
        if (!header)
            lines.push_back(std::move(fields));
        header = false;
    }
    return lines;
}

// A field holds the value when it is finite, and is empty otherwise.
void checkField(std::string_view field, std::optional<double> value)
{
    if (!value || !std::isfinite(*value)) {
        fuzz::check(field.empty(), "a value that cannot be held is not an empty field");
        return;
    }
    double read = 0.0;
    const auto r = std::from_chars(field.data(), field.data() + field.size(), read);
    fuzz::check(r.ec == std::errc() && r.ptr == field.data() + field.size() && std::isfinite(read),
        "a CSV field is no finite number: " + std::string(field));
    fuzz::check(read == *value, "a CSV field reads back to another value: " + std::string(field));
}

void checkWhole(std::string_view field, std::int64_t value)
{
    fuzz::check(field == std::to_string(value), "a whole number written otherwise");
}

void checkCsv(const RunTables& tables)
{
    const std::string cyclesText = cyclesCsv(tables.cycles);
    const auto cycles = csvFields(cyclesText, 21);
    fuzz::check(cycles.size() == tables.cycles.size(), "not one CSV line per cycle");
    for (std::size_t k = 0; k < cycles.size(); ++k) {
        const CycleRow& c = tables.cycles[k];
        const auto& f = cycles[k];
        checkWhole(f[0], static_cast<std::int64_t>(c.cycle));
        checkWhole(f[1], static_cast<std::int64_t>(c.level));
        checkWhole(f[2], static_cast<std::int64_t>(c.cycleInLevel));
        checkWhole(f[3], c.firstLine);
        checkWhole(f[4], c.lastLine);
        const std::optional<double> values[] = { c.uPos, c.fUPos, c.uNeg, c.fUNeg, c.fMax, c.uFMax,
            c.fMin, c.uFMin, c.stiffness, c.energy, c.cumulativeEnergy, c.damping, c.residualPos,
            c.residualNeg, c.retentionPos, c.retentionNeg };
        for (std::size_t v = 0; v < std::size(values); ++v)
            checkField(f[5 + v], values[v]);
    }
    const std::string envelopeText = envelopeCsv(tables.envelope);
    const auto envelope = csvFields(envelopeText, 7);
    fuzz::check(envelope.size() == tables.envelope.size(), "not one CSV line per envelope row");
    for (std::size_t r = 0; r < envelope.size(); ++r) {
        const EnvelopeRow& e = tables.envelope[r];
        const auto& f = envelope[r];
        fuzz::check(f[0] == (e.side == Side::Positive ? "positive" : "negative"),
            "an envelope line names another side");
        checkWhole(f[1], static_cast<std::int64_t>(e.level));
        checkWhole(f[2], static_cast<std::int64_t>(e.cycles));
        checkField(f[3], e.uFirst);
        checkField(f[4], e.fFirst);
        checkField(f[5], e.uLast);
        checkField(f[6], e.fLast);
    }
    const std::string backboneText = backboneCsv(tables.positive, tables.negative);
    const auto backbone = csvFields(backboneText, 9);
    fuzz::check(backbone.size() == 2, "not two backbone lines");
    for (std::size_t r = 0; r < 2; ++r) {
        const BackboneRow& b = r == 0 ? tables.positive : tables.negative;
        const auto& f = backbone[r];
        fuzz::check(
            f[0] == (r == 0 ? "positive" : "negative"), "a backbone line names another side");
        const std::optional<double> values[] = { b.peakLoad, b.peakDeformation, b.elasticStiffness,
            b.yieldLoad, b.yieldDeformation, b.ultimateDeformation, b.energyToUltimate,
            b.ductility };
        for (std::size_t v = 0; v < std::size(values); ++v)
            checkField(f[1 + v], values[v]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const CycleOptions options = decodeOptions(data);
    const run::Rows rows = decodeRows(data, size);
    const RunTables tables = analyseRows(rows, options);

    if (!checkCycleOptions(options).empty()) {
        fuzz::check(tables.cycles.empty() && tables.envelope.empty() && !tables.positive.peakLoad
                && !tables.negative.peakLoad,
            "options refused gave tables");
        return 0;
    }
    checkReversals(rows, options, tables);
    checkCycles(rows, tables);
    checkEnvelope(tables, options.envelope);
    checkBackboneRow(tables.positive);
    checkBackboneRow(tables.negative);
    checkCsv(tables);
    return 0;
}
