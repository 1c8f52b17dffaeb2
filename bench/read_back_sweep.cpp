// Checks the exact read-back against the text round trip on a mass of values, by hand:
//   varnel-read-back-sweep singles [FIRST LAST]   every single bit pattern (or a range of them)
//   varnel-read-back-sweep doubles COUNT [SEED]   random double bit patterns
//   varnel-read-back-sweep data-doubles COUNT [SEED]   random doubles from 1e-18 to 1e50
// Prints the values checked, the mismatches (the first few in full), the share the exact path
// could not settle, and the time taken. Exits 1 on any mismatch.
#include "run/exact_read_back.h"
#include "run/text_records.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

struct Tally
{
    std::uint64_t checked = 0;
    std::uint64_t mismatches = 0;
    std::uint64_t byText = 0;
};

// Where the exact path settles a value it must give what the text gives; where it cannot,
// readBackSingle / readBackDouble take the text round trip itself, so only the count matters.
template <typename Float, typename Bits>
void check(Bits bits, Tally& t)
{
    const auto value = std::bit_cast<Float>(bits);
    double exact = 0.0;
    ++t.checked;
    bool settled = false;
    double viaText = 0.0;
    if constexpr (sizeof(Float) == 4) {
        settled = run::exactReadBackSingle(value, exact);
        if (settled)
            viaText = run::roundTripSingle(value);
    } else {
        settled = run::exactReadBackDouble(value, exact);
        if (settled)
            viaText = run::roundTripDouble(value);
    }
    if (!settled) {
        ++t.byText;
        return;
    }
    if (std::bit_cast<std::uint64_t>(exact) != std::bit_cast<std::uint64_t>(viaText)) {
        if (++t.mismatches <= 10)
            std::printf("mismatch: bits %llx: %.17g, text gives %.17g\n",
                static_cast<unsigned long long>(bits), exact, viaText);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s singles [FIRST LAST] | doubles|data-doubles COUNT [SEED]\n",
            argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Tally t;
    if (std::strcmp(argv[1], "singles") == 0) {
        const std::uint64_t first = argc > 3 ? std::strtoull(argv[2], nullptr, 0) : 0;
        const std::uint64_t last = argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 0xFFFFFFFFull;
        for (std::uint64_t b = first; b <= last; ++b)
            check<float>(static_cast<std::uint32_t>(b), t);
    } else if (std::strcmp(argv[1], "doubles") == 0 && argc > 2) {
        const std::uint64_t count = std::strtoull(argv[2], nullptr, 0);
        std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 1);
        for (std::uint64_t i = 0; i < count; ++i)
            check<double>(random(), t);
    } else if (std::strcmp(argv[1], "data-doubles") == 0 && argc > 2) {
        // Random doubles from 1e-18 to 1e50, where the exact path is meant to settle all.
        const std::uint64_t count = std::strtoull(argv[2], nullptr, 0);
        std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 1);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t bits = random();
            const std::uint64_t exponent = 1023 - 60 + bits % 227;
            check<double>((bits & 0x800FFFFFFFFFFFFFull) | (exponent << 52), t);
        }
    } else {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("checked %llu, mismatches %llu, by text %llu (%.4f %%), %.1f s\n",
        static_cast<unsigned long long>(t.checked), static_cast<unsigned long long>(t.mismatches),
        static_cast<unsigned long long>(t.byText),
        100.0 * static_cast<double>(t.byText) / static_cast<double>(t.checked), seconds);
    return t.mismatches == 0 ? 0u : 1u;
}
