// Checks the exact read-back against the text round trip on a mass of values, by hand:
//   varnel-read-back-sweep singles [FIRST LAST]   every single bit pattern (or a range of them)
//   varnel-read-back-sweep doubles COUNT [SEED]   random double bit patterns
//   varnel-read-back-sweep data-doubles COUNT [SEED]   random doubles from 1e-18 to 1e50
// With "text-" before the mode (text-singles, text-doubles, text-data-doubles) it checks the
// text formatSingle / formatDouble lay out from the exact digits against the general formatter.
// Prints the values checked, the mismatches (the first few in full), the share the exact path
// could not settle, and the time taken. Exits 1 on any mismatch.
#include "run/exact_read_back.h"
#include "run/text_records.h"

#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// "%.<digits>G" by the general formatter, in the print zone's sign column and with the
// trailing space, as the run wrote every number before it laid out the exact digits itself.
template <typename Float>
char* formatGeneral(char* out, Float value, int digits)
{
    if (value == 0)
        value = 0;
    *out++ = std::signbit(value) ? '-' : ' ';
    const auto r = std::to_chars(
        out, out + run::kMaxNumberText - 2, std::fabs(value), std::chars_format::general, digits);
    for (char* p = out; p != r.ptr; ++p)
        if (*p == 'e')
            *p = 'E';
    *r.ptr = ' ';
    return r.ptr + 1;
}

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

// The digits laid out from the exact rounding must be the text the general formatter gives.
template <typename Float, typename Bits>
void checkText(Bits bits, Tally& t)
{
    const auto value = std::bit_cast<Float>(bits);
    char mine[run::kMaxNumberText];
    char general[run::kMaxNumberText];
    ++t.checked;
    char* end = nullptr;
    char* expected = general;
    if constexpr (sizeof(Float) == 4) {
        std::uint64_t digits = 0;
        int exp10 = 0;
        if (!run::decimalDigitsSingle(value, digits, exp10))
            ++t.byText;
        end = run::formatSingle(mine, value);
        expected = formatGeneral(general, value, 7);
    } else {
        std::uint64_t digits = 0;
        int exp10 = 0;
        if (!run::decimalDigitsDouble(value, digits, exp10))
            ++t.byText;
        end = run::formatDouble(mine, value);
        expected = formatGeneral(general, value, 15);
    }
    const auto length = static_cast<std::size_t>(end - mine);
    if (length != static_cast<std::size_t>(expected - general)
        || std::memcmp(mine, general, length) != 0) {
        if (++t.mismatches <= 10)
            std::printf("text mismatch: bits %llx: [%.*s] where the formatter gives [%.*s]\n",
                static_cast<unsigned long long>(bits), static_cast<int>(length), mine,
                static_cast<int>(expected - general), general);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
            "usage: %s [text-]singles [FIRST LAST] | [text-]doubles|data-doubles COUNT [SEED]\n",
            argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Tally t;
    // "text-" modes check the laid-out digits instead of the values they read back as.
    const bool text = std::strncmp(argv[1], "text-", 5) == 0;
    const char* mode = text ? argv[1] + 5 : argv[1];
    const auto single = [&](std::uint32_t bits) {
        text ? checkText<float>(bits, t) : check<float>(bits, t);
    };
    const auto dbl = [&](std::uint64_t bits) {
        text ? checkText<double>(bits, t) : check<double>(bits, t);
    };
    if (std::strcmp(mode, "singles") == 0) {
        const std::uint64_t first = argc > 3 ? std::strtoull(argv[2], nullptr, 0) : 0;
        const std::uint64_t last = argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 0xFFFFFFFFull;
        for (std::uint64_t b = first; b <= last; ++b)
            single(static_cast<std::uint32_t>(b));
    } else if (std::strcmp(mode, "doubles") == 0 && argc > 2) {
        const std::uint64_t count = std::strtoull(argv[2], nullptr, 0);
        std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 1);
        for (std::uint64_t i = 0; i < count; ++i)
            dbl(random());
    } else if (std::strcmp(mode, "data-doubles") == 0 && argc > 2) {
        // Random doubles from 1e-18 to 1e50, where the exact path is meant to settle all.
        const std::uint64_t count = std::strtoull(argv[2], nullptr, 0);
        std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 1);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t bits = random();
            const std::uint64_t exponent = 1023 - 60 + bits % 227;
            dbl((bits & 0x800FFFFFFFFFFFFFull) | (exponent << 52));
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
