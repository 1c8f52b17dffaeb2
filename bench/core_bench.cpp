// Benchmarks of the run's costly pieces on generated cyclic records of 10^4 to 10^6 samples.
// Records come from varnel-generate; set VARNEL_BENCH_DIR to a folder that holds
// record_<samples>.prn (made by bench/run) or they are generated into a temporary folder.
#include "run/cross_check.h"
#include "run/curve_construction.h"
#include "run/data_reader.h"
#include "run/point_preparation.h"
#include "run/run_driver.h"
#include "run/text_records.h"
#include "settings/run_settings.h"
#include "tests/support/quiet_host.h"
#include "tests/support/reference_cross_check.h"
#include "tests/support/test_files.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path benchDir()
{
    static const fs::path dir = [] {
        const char* env = std::getenv("VARNEL_BENCH_DIR");
        fs::path d = env != nullptr && *env != '\0' ? fs::path(env)
                                                    : fs::temp_directory_path() / "varnel-bench";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// The benchmark record of `samples` samples: time, deformation, load. The noise is small
// enough that the record crosses itself about as often per sample as lab records do
// (a few tenths of a crossing per sample at 10^6).
std::string recordPath(std::int64_t samples)
{
    const fs::path path = benchDir() / ("record_" + std::to_string(samples) + ".prn");
    if (!fs::exists(path)) {
        const std::string command = std::string("\"") + VARNEL_GENERATE + "\" --samples "
            + std::to_string(samples) + " --columns 3 --noise 0.00001 --seed 1 -o \""
            + path.string() + "\"";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("cannot generate " + path.string());
    }
    return path.string();
}

std::string scratch(const std::string& name)
{
    return (benchDir() / name).string();
}

settings::RunSettings recordSettings(std::int64_t samples)
{
    settings::RunSettings s;
    settings::applyStartupDefaults(s);
    s.DataFilePath = recordPath(samples);
    s.XColumn = 2;
    s.YColumn = 3;
    return s;
}

// What the phases hand on, worked out once per record.
struct Stages
{
    std::vector<double> scaledX;  // data lines as read, before preparation
    std::vector<double> scaledY;
    run::RecordExtremes extremes;
    run::PreparedPoints points;
    run::CrossRecords records;
};

const Stages& stages(std::int64_t samples)
{
    static std::map<std::int64_t, std::unique_ptr<Stages>> cache;
    auto& slot = cache[samples];
    if (!slot) {
        slot = std::make_unique<Stages>();
        const settings::RunSettings s = recordSettings(samples);
        slot->points = run::readDataFile(s, scratch("stages.bu0"), slot->extremes);
        QuietHost host;
        slot->records = run::runCrossCheck(host, slot->points, scratch("stages.buf"));
        std::ifstream in(s.DataFilePath);
        double t = 0.0;
        double x = 0.0;
        double y = 0.0;
        while (in >> t >> x >> y) {
            slot->scaledX.push_back(x);
            slot->scaledY.push_back(y);
        }
    }
    return *slot;
}

std::int64_t fileSize(const std::string& path)
{
    return static_cast<std::int64_t>(fs::file_size(path));
}

void recordSizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

// ---- reading ----

void BM_CountDataLines(benchmark::State& state)
{
    const std::string path = recordPath(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(run::countDataLines(path, 0));
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

BENCHMARK(BM_CountDataLines)->Apply(recordSizes);

void BM_TextReaderLines(benchmark::State& state)
{
    const std::string path = recordPath(state.range(0));
    for (auto _ : state) {
        run::TextReader reader(path);
        std::size_t chars = 0;
        while (!reader.atEnd())
            chars += reader.readLine().size();
        benchmark::DoNotOptimize(chars);
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

BENCHMARK(BM_TextReaderLines)->Apply(recordSizes);

// Reading the data file, preparing the points and writing the point file, as the reading
// phase does it.
void BM_ReadDataFile(benchmark::State& state)
{
    const settings::RunSettings s = recordSettings(state.range(0));
    const std::string pointFile = scratch("read.bu0");
    for (auto _ : state) {
        run::RecordExtremes extremes;
        benchmark::DoNotOptimize(run::readDataFile(s, pointFile, extremes));
    }
    state.SetBytesProcessed(state.iterations() * fileSize(s.DataFilePath));
}

BENCHMARK(BM_ReadDataFile)->Apply(recordSizes);

void BM_ParseNumber(benchmark::State& state)
{
    // Every value text of a record, split once outside the loop.
    const std::string text = readFile(recordPath(100'000));
    std::vector<std::string_view> values;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ' || text[i] == '\n') {
            if (i > start)
                values.emplace_back(text.data() + start, i - start);
            start = i + 1;
        }
    }
    for (auto _ : state) {
        double sum = 0.0;
        for (const std::string_view v : values) {
            double value = 0.0;
            bool overflow = false;
            run::parseNumber(v, value, overflow);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

BENCHMARK(BM_ParseNumber)->Unit(benchmark::kMillisecond);

// ---- writing ----

void BM_FormatDouble(benchmark::State& state)
{
    const Stages& st = stages(100'000);
    char text[run::kMaxNumberText];
    for (auto _ : state) {
        std::size_t chars = 0;
        for (const double x : st.points.x)
            chars += static_cast<std::size_t>(run::formatDouble(text, x) - text);
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(st.points.size()));
}

BENCHMARK(BM_FormatDouble)->Unit(benchmark::kMillisecond);

// Cross-check file lines: x, y and a group number in print zones, to a file.
void BM_PrintZoneWriter(benchmark::State& state)
{
    const Stages& st = stages(state.range(0));
    const std::string path = scratch("writer.buf");
    for (auto _ : state) {
        run::TextWriter file(path);
        for (std::size_t i = 0; i < st.records.size(); ++i)
            file.writeLine({ run::ZoneValue::of(st.records.x[i]),
                run::ZoneValue::of(st.records.y[i]), run::ZoneValue::whole(st.records.group[i]) });
        file.close();
    }
    state.SetItemsProcessed(state.iterations() * 3 * static_cast<std::int64_t>(st.records.size()));
}

BENCHMARK(BM_PrintZoneWriter)->Apply(recordSizes);

// ---- phases ----

void BM_PointPreparation(benchmark::State& state)
{
    const Stages& st = stages(state.range(0));
    const std::string path = scratch("prep.bu0");
    for (auto _ : state) {
        run::RecordExtremes extremes;
        run::PointPreparation prep(path, extremes, st.scaledX.size());
        for (std::size_t i = 0; i < st.scaledX.size(); ++i)
            prep.addLine(st.scaledX[i], st.scaledY[i], static_cast<std::int64_t>(i + 1));
        benchmark::DoNotOptimize(prep.finish());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(st.scaledX.size()));
}

BENCHMARK(BM_PointPreparation)->Apply(recordSizes);

void BM_CrossCheck(benchmark::State& state)
{
    const Stages& st = stages(state.range(0));
    const std::string path = scratch("fast.buf");
    QuietHost host;
    for (auto _ : state)
        benchmark::DoNotOptimize(run::runCrossCheck(host, st.points, path));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(st.points.size()));
    state.SetLabel(std::to_string(st.records.size() - st.points.size()) + " crossings");
}

BENCHMARK(BM_CrossCheck)->Apply(recordSizes)->Arg(20'000);

// The literal double loop, on records small enough to wait for. Before timing it, both checks
// run once and must write the same cross-check file and hand on the same records.
void BM_PlainCrossCheck(benchmark::State& state)
{
    const Stages& st = stages(state.range(0));
    const std::string plainPath = scratch("plain.buf");
    const std::string fastPath = scratch("fast-compare.buf");
    QuietHost host;
    const ReferenceResult plain = referenceCrossCheck(host, st.points, plainPath);
    const run::CrossRecords fast = run::runCrossCheck(host, st.points, fastPath);
    if (plain.failed || plain.records.x != fast.x || plain.records.y != fast.y
        || plain.records.group != fast.group || readFile(plainPath) != readFile(fastPath)) {
        state.SkipWithError("the fast cross check differs from the plain double loop");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceCrossCheck(host, st.points, plainPath));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(st.points.size()));
    state.SetLabel(std::to_string(plain.records.size() - st.points.size()) + " crossings");
}

BENCHMARK(BM_PlainCrossCheck)->Arg(10'000)->Arg(20'000)->Unit(benchmark::kMillisecond);

void BM_CurveConstruction(benchmark::State& state)
{
    const Stages& st = stages(state.range(0));
    const std::string positive = scratch("curve.vnp");
    const std::string negative = scratch("curve.vnn");
    QuietHost host;
    for (auto _ : state) {
        auto file = run::buildCurves(
            host, st.records, st.extremes.minX, st.extremes.maxX, positive, negative);
        file->close();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(st.records.size()));
}

BENCHMARK(BM_CurveConstruction)->Apply(recordSizes);

// ---- the whole run ----

// "Start" to "Finish" in this process, with two output files, as varnel-batch runs it.
void BM_WholeRun(benchmark::State& state)
{
    settings::RunSettings s = recordSettings(state.range(0));
    QuietHost host;
    for (auto _ : state) {
        const run::RunReport report = run::runVarnel(host, s, "1", "1");
        if (report.outcome != run::RunOutcome::Finished) {
            state.SkipWithError(("the run failed: " + report.message).c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * fileSize(s.DataFilePath));
}

BENCHMARK(BM_WholeRun)->Apply(recordSizes);

}  // namespace

BENCHMARK_MAIN();
