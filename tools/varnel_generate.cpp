// varnel-generate: synthetic cyclic load-deformation records, for examples, tests and
// benchmarks. The same options and seed always give the same bytes.
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const kUsage = R"(Usage: varnel-generate [OPTION]...
Writes a synthetic cyclic load-deformation record as a plain-text data file: a deformation
history of growing amplitude (levels of a few cycles each, every cycle 0 -> +A -> -A -> 0)
and the load of a member that pinches and loses stiffness and strength as it goes.

Columns (--columns N):
  2: deformation, load
  3: time, deformation, load                 (X is column 2, Y is column 3)
  4: time, deformation, load, drift ratio in percent
  5 and more: as 4, then strain gauge channels that follow the load

Options (--name VALUE or --name=VALUE):
  --samples N          number of data lines (default 2000, at least 2)
  --columns N          values per line, 2 to 64 (default 3)
  --levels N           amplitude levels (default 6)
  --cycles N           cycles per level (default 3)
  --max-deformation D  amplitude of the last level (default 60)
  --max-load F         load scale of the member (default 250)
  --seed N             seed of the noise (default 1)
  --noise F            noise, as a fraction of full scale, on every channel (default 0.001;
                       0 for a smooth record). It is drawn afresh for every sample, so on a
                       long record whose deformation moves little from sample to sample it
                       makes the record reverse and cross itself at nearly every sample;
                       about 0.00001 suits 10^6 samples
  --header-lines N     header lines before the data: a title, the column names, the units,
                       then filler lines (default 0)
  --separator S        space, comma, semicolon or tab (default space)
  --line-end E         lf or crlf (default lf)
  --digits N           significant digits of every value but time, 1 to 17 (default 6);
                       time is written with two decimals
  -o, --output FILE    write to FILE instead of standard output
  --help               show this help and exit

Exit status: 0 on success, 1 when the output cannot be written, 2 for a usage error.
)";

struct Options
{
    std::int64_t samples = 2000;
    int columns = 3;
    int levels = 6;
    int cycles = 3;
    double maxDeformation = 60.0;
    double maxLoad = 250.0;
    std::uint64_t seed = 1;
    double noise = 0.001;
    int headerLines = 0;
    char separator = ' ';
    bool crlf = false;
    int digits = 6;
    std::string output;
};

// xoshiro256**: small, fast, and the same sequence on every platform (the standard
// distributions are not).
class Random
{
public:
    explicit Random(std::uint64_t seed)
    {
        // splitmix64 spreads a small seed over the whole state.
        for (auto& word : m_state) {
            seed += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double uniform()
    {
        return static_cast<double>(next() >> 11) * 0x1.0p-53;
    }

    // Roughly normal with unit deviation: the sum of four uniforms (Irwin-Hall), which needs
    // no library function and so gives the same digits everywhere.
    double gauss()
    {
        const double sum = uniform() + uniform() + uniform() + uniform();
        return (sum - 2.0) * 1.7320508075688772;  // sqrt(12 / 4)
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k)
    {
        return (x << k) | (x >> (64 - k));
    }

    std::array<std::uint64_t, 4> m_state {};
};

// What shapes one cycle of the member's response; blended between levels so that the record
// stays continuous.
struct LoopShape
{
    double amplitude = 0.0;  // deformation at the cycle's peaks
    double positiveLoad = 0.0;  // load at the positive peak
    double negativeLoad = 0.0;  // load magnitude at the negative peak
    double linearShare = 0.0;  // share of the linear part of the skeleton; small = pinched
    double loopWidth = 0.0;  // half the gap between loading and unloading, per unit load
};

LoopShape blend(const LoopShape& a, const LoopShape& b, double s)
{
    auto mix = [s](double u, double v) { return u + (v - u) * s; };
    return { mix(a.amplitude, b.amplitude), mix(a.positiveLoad, b.positiveLoad),
        mix(a.negativeLoad, b.negativeLoad), mix(a.linearShare, b.linearShare),
        mix(a.loopWidth, b.loopWidth) };
}

class Member
{
public:
    explicit Member(const Options& o)
        : m_options(o)
    {
    }

    // The deformation and load at `phase`, counted in cycles from the start of the record.
    void respond(double phase, double& deformation, double& load) const
    {
        const int cyclesPerLevel = m_options.cycles;
        const int totalCycles = m_options.levels * cyclesPerLevel;
        if (phase >= totalCycles)
            phase = totalCycles;
        int level = static_cast<int>(phase / cyclesPerLevel);
        if (level >= m_options.levels)
            level = m_options.levels - 1;
        const double inLevel = phase - level * cyclesPerLevel;
        double inCycle = inLevel - std::floor(inLevel);
        if (inLevel >= cyclesPerLevel)
            inCycle = 1.0;

        LoopShape shape = levelShape(level, inLevel);
        if (inLevel < 0.25) {
            // The first rise of a level leaves the previous level's last loop and loads the
            // member towards its skeleton at the new amplitude.
            const LoopShape previous = level == 0
                ? LoopShape { 0.0, 0.0, 0.0, shape.linearShare, shape.loopWidth }
                : levelShape(level - 1, cyclesPerLevel);
            const double s = inLevel / 0.25;
            shape = blend(previous, shape, s * s * (3.0 - 2.0 * s));
        }

        // Triangular history at a constant rate: 0 -> +1 -> -1 -> 0.
        double x;
        double direction;
        if (inCycle < 0.25) {
            x = 4.0 * inCycle;
            direction = 1.0;
        } else if (inCycle < 0.75) {
            x = 2.0 - 4.0 * inCycle;
            direction = -1.0;
        } else {
            x = 4.0 * inCycle - 4.0;
            direction = 1.0;
        }
        const double ax = std::fabs(x);
        // The skeleton is soft around zero (the pinch) and stiffens towards the peaks.
        const double skeleton = shape.linearShare * x + (1.0 - shape.linearShare) * x * ax * ax;
        // Loading runs above the skeleton and unloading below; the gap closes at the peaks
        // and narrows around zero deformation.
        const double gap = direction * std::sqrt(std::max(0.0, 1.0 - x * x)) * (0.15 + 0.85 * x * x)
            * shape.loopWidth;
        // The load scale moves from the mean of both sides at zero to each side's own at its
        // peak, so that an unsymmetric member gives no jump at zero.
        const double mean = 0.5 * (shape.positiveLoad + shape.negativeLoad);
        const double side = x >= 0.0 ? shape.positiveLoad : shape.negativeLoad;
        const double scale = mean + (side - mean) * ax;

        deformation = shape.amplitude * x;
        load = scale * (skeleton + gap);
    }

private:
    // Load of the member's skeleton at deformation amplitude `a`: it yields, then loses
    // strength beyond 60 % of the largest amplitude.
    double skeletonLoad(double a) const
    {
        const double dMax = m_options.maxDeformation;
        double load = m_options.maxLoad * (1.0 - std::exp(-a / (0.15 * dMax)));
        const double softening = 0.6 * dMax;
        if (a > softening) {
            const double r = (a - softening) / (dMax - softening);
            load *= 1.0 - 0.35 * r * r;
        }
        return load;
    }

    // The loop of level `level` after `inLevel` cycles of it: repeated cycles at the same
    // amplitude lose strength, later levels pinch more and dissipate more.
    LoopShape levelShape(int level, double inLevel) const
    {
        const double levels = m_options.levels;
        const double k = (level + 1) / levels;
        const double amplitude = m_options.maxDeformation * std::pow(k, 1.5);
        const double decay = 1.0 - (0.05 + 0.10 * k) * (inLevel / m_options.cycles);
        const double positive = skeletonLoad(amplitude) * decay;
        return { amplitude, positive, 0.92 * positive, 0.7 - 0.55 * k, 0.25 + 0.35 * k };
    }

    const Options& m_options;
};

class Output
{
public:
    explicit Output(std::FILE* file)
        : m_file(file)
    {
        m_buffer.resize(1 << 20);
    }

    char* reserve(std::size_t n)
    {
        if (m_buffer.size() - m_used < n)
            flush();
        return m_buffer.data() + m_used;
    }

    void commit(char* end)
    {
        m_used = static_cast<std::size_t>(end - m_buffer.data());
    }

    void text(std::string_view s)
    {
        char* p = reserve(s.size());
        std::memcpy(p, s.data(), s.size());
        commit(p + s.size());
    }

    bool flush()
    {
        if (m_used > 0 && std::fwrite(m_buffer.data(), 1, m_used, m_file) != m_used)
            m_failed = true;
        m_used = 0;
        return !m_failed;
    }

    bool failed() const
    {
        return m_failed;
    }

private:
    std::FILE* m_file;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
};

char* writeValue(char* p, double value, int digits)
{
    if (value == 0.0)
        value = 0.0;  // no "-0" in a lab file
    return std::to_chars(p, p + 40, value, std::chars_format::general, digits).ptr;
}

std::vector<std::string> columnNames(int columns, std::vector<std::string>& units)
{
    std::vector<std::string> names;
    if (columns >= 3) {
        names.emplace_back("time");
        units.emplace_back("s");
    }
    names.emplace_back("deformation");
    units.emplace_back("mm");
    names.emplace_back("load");
    units.emplace_back("kN");
    if (columns >= 4) {
        names.emplace_back("drift");
        units.emplace_back("%");
    }
    for (int g = 1; static_cast<int>(names.size()) < columns; ++g) {
        names.push_back("gauge" + std::to_string(g));
        units.emplace_back("ue");
    }
    return names;
}

void writeHeader(Output& out, const Options& o, std::string_view lineEnd)
{
    std::vector<std::string> units;
    const std::vector<std::string> names = columnNames(o.columns, units);
    for (int h = 0; h < o.headerLines; ++h) {
        std::string line;
        if (h == 0) {
            line = "Synthetic cyclic record: " + std::to_string(o.levels) + " levels x "
                + std::to_string(o.cycles) + " cycles, " + std::to_string(o.samples)
                + " samples, seed " + std::to_string(o.seed);
        } else if (h == 1 || h == 2) {
            const std::vector<std::string>& words = h == 1 ? names : units;
            for (std::size_t c = 0; c < words.size(); ++c) {
                if (c > 0)
                    line += o.separator;
                line += words[c];
            }
        } else {
            line = "-";
        }
        out.text(line);
        out.text(lineEnd);
    }
}

bool generate(const Options& o, std::FILE* file)
{
    Output out(file);
    const std::string_view lineEnd = o.crlf ? "\r\n" : "\n";
    writeHeader(out, o, lineEnd);

    const Member member(o);
    Random random(o.seed);
    const double totalCycles = static_cast<double>(o.levels) * o.cycles;
    const double deformationNoise = o.noise * o.maxDeformation;
    const double loadNoise = o.noise * o.maxLoad;
    // A storey of 2000 deformation units: 60 mm is a drift of 3 %.
    const double driftPerDeformation = 100.0 / 2000.0;
    const std::size_t maxLine = static_cast<std::size_t>(o.columns) * 48 + 2;
    const double last = static_cast<double>(o.samples - 1);

    for (std::int64_t i = 0; i < o.samples; ++i) {
        double deformation;
        double load;
        member.respond(totalCycles * (static_cast<double>(i) / last), deformation, load);
        if (o.noise > 0.0) {
            deformation += deformationNoise * random.gauss();
            load += loadNoise * random.gauss();
        }

        char* p = out.reserve(maxLine);
        int column = 0;
        auto separate = [&] {
            if (column++ > 0)
                *p++ = o.separator;
        };
        if (o.columns >= 3) {
            separate();
            p = std::to_chars(p, p + 40, static_cast<double>(i) * 0.01, std::chars_format::fixed, 2)
                    .ptr;
        }
        separate();
        p = writeValue(p, deformation, o.digits);
        separate();
        p = writeValue(p, load, o.digits);
        if (o.columns >= 4) {
            separate();
            p = writeValue(p, deformation * driftPerDeformation, o.digits);
        }
        for (int g = 5; g <= o.columns; ++g) {
            // Gauges read the load through their own gain, with their own noise.
            const double gain = 4.0 + 0.5 * g;
            double strain = load * gain;
            if (o.noise > 0.0)
                strain += loadNoise * gain * random.gauss();
            separate();
            p = writeValue(p, strain, o.digits);
        }
        std::memcpy(p, lineEnd.data(), lineEnd.size());
        out.commit(p + lineEnd.size());
    }
    return out.flush();
}

// ---- command line ----

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "varnel-generate: %s\nTry 'varnel-generate --help'.\n", message.c_str());
    std::exit(2);
}

template <typename T>
T wholeValue(std::string_view name, std::string_view text, T low, T high)
{
    T value {};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        usageError(std::string(name) + " needs a whole number from " + std::to_string(low) + " to "
            + std::to_string(high) + ", not '" + std::string(text) + "'");
    return value;
}

double realValue(std::string_view name, std::string_view text, double low, double high)
{
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value >= low)
        || !(value <= high))
        usageError(std::string(name) + " needs a number from " + std::to_string(low) + " to "
            + std::to_string(high) + ", not '" + std::string(text) + "'");
    return value;
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        std::string_view name = arg;
        std::string_view value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto take = [&]() -> std::string_view {
            if (hasValue)
                return value;
            if (i + 1 >= argc)
                usageError(std::string(name) + " needs a value");
            return argv[++i];
        };

        if (name == "--samples") {
            o.samples = wholeValue<std::int64_t>(name, take(), 2, 1'000'000'000'000);
        } else if (name == "--columns") {
            o.columns = wholeValue(name, take(), 2, 64);
        } else if (name == "--levels") {
            o.levels = wholeValue(name, take(), 1, 1000);
        } else if (name == "--cycles") {
            o.cycles = wholeValue(name, take(), 1, 1000);
        } else if (name == "--max-deformation") {
            o.maxDeformation = realValue(name, take(), 1e-6, 1e12);
        } else if (name == "--max-load") {
            o.maxLoad = realValue(name, take(), 1e-6, 1e12);
        } else if (name == "--seed") {
            o.seed = wholeValue<std::uint64_t>(name, take(), 0, UINT64_MAX);
        } else if (name == "--noise") {
            o.noise = realValue(name, take(), 0.0, 1.0);
        } else if (name == "--header-lines") {
            o.headerLines = wholeValue(name, take(), 0, 1000);
        } else if (name == "--separator") {
            const std::string_view s = take();
            if (s == "space")
                o.separator = ' ';
            else if (s == "comma")
                o.separator = ',';
            else if (s == "semicolon")
                o.separator = ';';
            else if (s == "tab")
                o.separator = '\t';
            else
                usageError(
                    "--separator is space, comma, semicolon or tab, not '" + std::string(s) + "'");
        } else if (name == "--line-end") {
            const std::string_view s = take();
            if (s == "lf")
                o.crlf = false;
            else if (s == "crlf")
                o.crlf = true;
            else
                usageError("--line-end is lf or crlf, not '" + std::string(s) + "'");
        } else if (name == "--digits") {
            o.digits = wholeValue(name, take(), 1, 17);
        } else if (name == "-o" || name == "--output") {
            o.output = std::string(take());
            if (o.output.empty())
                usageError(std::string(name) + " needs a file name");
        } else {
            usageError("unknown option '" + std::string(arg) + "'");
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    std::FILE* file = stdout;
    if (!options.output.empty()) {
        file = std::fopen(options.output.c_str(), "wb");
        if (file == nullptr) {
            std::fprintf(stderr, "varnel-generate: cannot create %s: %s\n", options.output.c_str(),
                std::strerror(errno));
            return 1;
        }
    }
    bool ok = generate(options, file);
    if (file != stdout)
        ok = std::fclose(file) == 0 && ok;
    else
        ok = std::fflush(stdout) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "varnel-generate: cannot write %s: %s\n",
            options.output.empty() ? "the output" : options.output.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
