// What reading back a formatted number costs per value: the exact read-back against the text
// round trip it replaces and against the plain standard conversions (to_chars, from_chars).
#include "run/exact_read_back.h"
#include "run/text_records.h"

#include <array>
#include <benchmark/benchmark.h>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kValues = 1 << 16;

// Argument 0: values of the size records hold (±1e-4 to 1e4, as loads and deformations are);
// argument 1: random bit patterns over the whole range, infinities and NaNs included.
template <typename Float>
const std::vector<Float>& values(std::int64_t kind)
{
    static const std::array<std::vector<Float>, 2> sets = [] {
        std::mt19937_64 rng(1);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::vector<Float> data;
        std::vector<Float> bits;
        for (std::size_t i = 0; i < kValues; ++i) {
            data.push_back(static_cast<Float>(
                mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 9) - 4)));
            if constexpr (sizeof(Float) == 4)
                bits.push_back(std::bit_cast<Float>(static_cast<std::uint32_t>(rng())));
            else
                bits.push_back(std::bit_cast<Float>(rng()));
        }
        return std::array<std::vector<Float>, 2> { data, bits };
    }();
    return sets[static_cast<std::size_t>(kind)];
}

template <typename Float>
double standardRoundTrip(Float v)
{
    char text[32];
    const auto r = std::to_chars(
        text, text + sizeof text, v, std::chars_format::general, sizeof(Float) == 4 ? 7 : 15);
    double back = 0.0;
    std::from_chars(text, r.ptr, back);
    return back;
}

template <typename Float, double (*ReadBack)(Float)>
void readBack(benchmark::State& state)
{
    const std::vector<Float>& in = values<Float>(state.range(0));
    for (auto _ : state) {
        double sum = 0.0;
        for (Float v : in)
            sum += ReadBack(v);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(in.size()));
}

double exactSingle(float v)
{
    return run::readBackSingle(v);
}

double exactDouble(double v)
{
    return run::readBackDouble(v);
}

}  // namespace

BENCHMARK(readBack<float, exactSingle>)->Name("BM_ReadBackSingle/exact")->Arg(0)->Arg(1);
BENCHMARK(readBack<float, run::roundTripSingle>)->Name("BM_ReadBackSingle/text")->Arg(0)->Arg(1);
BENCHMARK(readBack<float, standardRoundTrip<float>>)
    ->Name("BM_ReadBackSingle/to_chars_from_chars")
    ->Arg(0)
    ->Arg(1);
BENCHMARK(readBack<double, exactDouble>)->Name("BM_ReadBackDouble/exact")->Arg(0)->Arg(1);
BENCHMARK(readBack<double, run::roundTripDouble>)->Name("BM_ReadBackDouble/text")->Arg(0)->Arg(1);
BENCHMARK(readBack<double, standardRoundTrip<double>>)
    ->Name("BM_ReadBackDouble/to_chars_from_chars")
    ->Arg(0)
    ->Arg(1);
