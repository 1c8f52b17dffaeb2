#include "batch/options.h"

#include "batch/console.h"
#include "batch/output_names.h"
#include "run/text_records.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

namespace batch {

namespace {

    constexpr const char* kDescription =
        "Writes the Varnel curve of each cyclic load-deformation record FILE beside it,\n"
        "exactly as the window's \"Start\" does: FILE's name less its last three characters,\n"
        "plus \"vnp\" (positive side) and \"vnn\" (negative side), or \"vnl\" (both sides)\n"
        "with --one-file.";

    constexpr const char* kFooter =
        "Status lines go to stderr, each as \"FILE: text\". On a terminal a progress bar follows\n"
        "the run's long phases. A picture is written only for a run that finished.\n"
        "\n"
        "Exit status: 0 when every run finished, 1 when any run failed, 2 for a usage error,\n"
        "130 when interrupted.";

    // The options that take a value, and those that take none.
    constexpr std::string_view kValueOptions[] = { "--x-column", "--y-column", "--x-coefficient",
        "--y-coefficient", "--skip-lines", "--plot", "--plot-style", "--jobs", "--cycle-tolerance",
        "--turn-back-ratio", "--level-tolerance", "--envelope", "--summary", "--plot-overlay" };
    constexpr std::string_view kFlags[] = { "--one-file", "--keep-working-files", "--cycles",
        "--overlay-records", "--quiet", "--help", "--version" };

    class UsageError : public std::exception
    {
    public:
        explicit UsageError(std::string what)
            : m_what(std::move(what))
        {
        }

        const char* what() const noexcept override
        {
            return m_what.c_str();
        }

    private:
        std::string m_what;
    };

    // The help text's layout: the usage line of the manual page, what the program does, the
    // options under one heading, then how it reports.
    class HelpFormatter : public CLI::Formatter
    {
    public:
        HelpFormatter()
        {
            column_width(24);
        }

        std::string make_help(
            const CLI::App* app, std::string, CLI::AppFormatMode mode) const override
        {
            return "Usage: varnel-batch [OPTION]... FILE...\n" + app->get_description() + "\n"
                + make_groups(app, mode) + app->get_footer() + "\n";
        }
    };

    bool equalNoCase(std::string_view a, std::string_view b)
    {
        return a.size() == b.size()
            && std::equal(a.begin(), a.end(), b.begin(),
                [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == y; });
    }

    bool endsWithNoCase(std::string_view text, std::string_view end)
    {
        return text.size() >= end.size() && equalNoCase(text.substr(text.size() - end.size()), end);
    }

    // Plain numbers: an optional sign and digits for a whole number; for a coefficient also a
    // decimal point with digits on either side of it and an exponent ("e" or "E", an optional
    // sign, digits). Anything else on the command line is a slip, not a value of 0.
    bool isPlainNumber(std::string_view text, bool whole)
    {
        std::size_t i = 0;
        const auto digits = [&] {
            const std::size_t start = i;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i;
            return i - start;
        };
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t mantissa = digits();
        if (!whole && i < text.size() && text[i] == '.') {
            ++i;
            mantissa += digits();
        }
        if (mantissa == 0)
            return false;
        if (!whole && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-'))
                ++i;
            if (digits() == 0)
                return false;
        }
        return i == text.size();
    }

    const std::string& plainNumber(const char* option, const std::string& value, bool whole)
    {
        if (!isPlainNumber(value, whole))
            throw UsageError(std::string(option) + " takes "
                + (whole ? "a whole number (digits, optionally signed)"
                         : "a plain number such as 2, -0.5 or 1.5e3")
                + ", not '" + value + "'");
        return value;
    }

    unsigned readJobs(const std::string& value)
    {
        unsigned n = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 256)
            throw UsageError("--jobs takes a whole number from 1 to 256");
        return n;
    }

    // A cycle option's number: a plain number, as for the coefficients, within the range
    // `check` allows.
    double readCycleNumber(
        const std::string& value, const char* option, const char* range, bool (*check)(double))
    {
        double t = 0.0;
        bool overflow = false;
        if (!isPlainNumber(value, false) || !run::parseNumber(value, t, overflow)
            || !std::isfinite(t) || !(t >= 0.0) || !check(t))
            throw UsageError(
                std::string(option) + " takes a number " + range + ", not '" + value + "'");
        return t;
    }

    void readPlot(const std::string& value, Options& o)
    {
        if (!drawsPictures())
            throw UsageError("this varnel-batch was built without Qt and draws no pictures");
        if (equalNoCase(value, "png") || equalNoCase(value, "svg"))
            o.plot = PlotMode::BesideEachFile;
        else if (endsWithNoCase(value, ".png") || endsWithNoCase(value, ".svg"))
            o.plot = PlotMode::OneFile;
        else
            throw UsageError("--plot takes png, svg, or a file name ending in .png or .svg");
        o.plotName = value;
    }

    // An option's value is the next argument whatever it holds, a negative coefficient such as
    // "-2" included; joined to its option, the parser cannot take it for an option of its own. An
    // empty value stays a separate argument, since the parser reads "--opt=" as "value follows".
    // A value given to an option that takes none is refused here, in plain words.
    std::vector<std::string> joinValues(int argc, const char* const* argv)
    {
        const auto takesValue = [](std::string_view arg) {
            return std::find(std::begin(kValueOptions), std::end(kValueOptions), arg)
                != std::end(kValueOptions);
        };
        std::vector<std::string> args;
        bool optionsEnded = false;
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            optionsEnded = optionsEnded || arg == "--";
            const std::string_view name = std::string_view(arg).substr(0, arg.find('='));
            if (!optionsEnded && name.size() < arg.size()
                && std::find(std::begin(kFlags), std::end(kFlags), name) != std::end(kFlags))
                throw UsageError("option '" + std::string(name) + "' takes no value");
            if (!optionsEnded && takesValue(arg) && i + 1 < argc
                && std::string_view(argv[i + 1]).substr(0, 2) == "--")
                throw UsageError(
                    "option '" + arg + "' needs a value, not the option '" + argv[i + 1] + "'");
            if (!optionsEnded && takesValue(name) && name.size() < arg.size()
                && std::string_view(arg).substr(name.size() + 1, 2) == "--")
                throw UsageError("option '" + std::string(name) + "' needs a value, not '"
                    + arg.substr(name.size() + 1) + "'");
            if (!optionsEnded && takesValue(arg) && i + 1 < argc && argv[i + 1][0] != '\0') {
                arg += std::string("=") + argv[++i];
            } else if (!optionsEnded && !arg.empty() && arg.back() == '='
                && takesValue(std::string_view(arg).substr(0, arg.size() - 1))) {
                arg.pop_back();
                args.push_back(std::move(arg));
                arg.clear();
            }
            args.push_back(std::move(arg));
        }
        return args;
    }

    int usageError(const std::string& what)
    {
        std::fprintf(stderr, "varnel-batch: %s\nTry 'varnel-batch --help' for more information.\n",
            escapeControls(what).c_str());
        return 2;
    }

}  // namespace

Options::Options()
{
    settings::applyStartupDefaults(settings);
}

bool drawsPictures()
{
#ifdef VARNEL_WITH_PLOT
    return true;
#else
    return false;
#endif
}

std::optional<int> parseOptions(int argc, const char* const* argv, Options& o)
{
    settings::RunSettings& s = o.settings;
    CLI::App app(kDescription, "varnel-batch");
    app.formatter(std::make_shared<HelpFormatter>());
    app.footer(kFooter);
    app.option_defaults()->group("Options (numbers are plain: 12, -3, 0.5, 1.5e3)");

    // Every value is read in turn, so a repeated option ends with its last value and a bad
    // value is refused wherever it stands.
    const auto value = [&](const char* name, const char* type, const char* help,
                           std::function<void(const std::string&)> read) {
        app.add_option(name)
            ->description(help)
            ->type_name(type)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
            ->each(std::move(read));
    };
    value("--x-column", "N", "column of X, from 1 (default 1)",
        [&](const std::string& v) { settings::setXColumn(s, plainNumber("--x-column", v, true)); });
    value("--y-column", "N", "column of Y, from 1 (default 2)",
        [&](const std::string& v) { settings::setYColumn(s, plainNumber("--y-column", v, true)); });
    value("--x-coefficient", "C", "factor for X (default 1)",
        [&](const std::string& v) { o.xCoefficient = plainNumber("--x-coefficient", v, false); });
    value("--y-coefficient", "C", "factor for Y (default 1)",
        [&](const std::string& v) { o.yCoefficient = plainNumber("--y-coefficient", v, false); });
    value(
        "--skip-lines", "N", "header lines before the data (default 0)", [&](const std::string& v) {
            settings::setSkipLines(s, plainNumber("--skip-lines", v, true));
        });
    const auto flag = [&](const char* name, const char* help, std::function<void()> set) {
        app.add_flag_callback(name, std::move(set), help)->disable_flag_override();
    };
    flag("--one-file", "write one combined curve file instead of two",
        [&] { s.OutputMode = settings::kOneOutputFile; });
    flag("--keep-working-files", "leave the point file (bu0) and cross-check file (buf) on disk",
        [&] { s.KeepWorkingFiles = settings::kKeepWorkingFiles; });
    value("--plot", "png|svg",
        "also draw the run's picture for a report (axes, titles, legend,\n"
        "the curve's sides, the record and its crossings) into a file\n"
        "beside each data file, named like the curve files: FILE's name\n"
        "less its last three characters, plus \"png\" or \"svg\";\n"
        "--plot PICTURE: with one data file, draw the picture into\n"
        "PICTURE, a name ending in .png or .svg",
        [&](const std::string& v) { readPlot(v, o); });
    bool styleGiven = false;
    value("--plot-style", "report|box",
        "with --plot: \"report\" (the default) or \"box\", the window's\n"
        "picture box drawing (record, groups, crossings, curve, no axes)",
        [&](const std::string& v) {
            if (equalNoCase(v, "report"))
                o.pictureStyle = PictureStyle::Report;
            else if (equalNoCase(v, "box"))
                o.pictureStyle = PictureStyle::Box;
            else
                throw UsageError("--plot-style takes report or box, not '" + v + "'");
            styleGiven = true;
        });
    value("--jobs", "N",
        "run up to N files at once (default 1); the messages still come\n"
        "file by file, in the order of the files",
        [&](const std::string& v) { o.jobs = readJobs(v); });
    flag("--cycles",
        "also write the cycle table, the envelope and the backbone's bilinear\n"
        "idealisation of each finished run beside its data file: FILE's name\n"
        "less its last three characters, plus \"cycles.csv\", \"envelope.csv\"\n"
        "and \"backbone.csv\"",
        [&] { o.cycles = true; });
    std::string cycleOptionGiven;  // the first of the options that need --cycles
    const auto cycleOption = [&](const char* name) {
        if (cycleOptionGiven.empty())
            cycleOptionGiven = name;
    };
    value("--cycle-tolerance", "T",
        "with --cycles: the deadband of a reversal, as a share of the\n"
        "record's X range (0 <= T < 0.5, default 0.01)",
        [&](const std::string& v) {
            o.cycleOptions.cycleTolerance = readCycleNumber(v, "--cycle-tolerance",
                "from 0 up to but not including 0.5", [](double t) { return t < 0.5; });
            cycleOption("--cycle-tolerance");
        });
    value("--turn-back-ratio", "Q",
        "with --cycles: a turn-back of X shorter than Q times the shorter\n"
        "swing on either side of it is no reversal (0 <= Q < 1, default 0.25;\n"
        "0 keeps every reversal)",
        [&](const std::string& v) {
            o.cycleOptions.turnBackRatio = readCycleNumber(v, "--turn-back-ratio",
                "from 0 up to but not including 1", [](double q) { return q < 1.0; });
            cycleOption("--turn-back-ratio");
        });
    value("--level-tolerance", "L",
        "with --cycles: the change of amplitude that opens a new level, as a\n"
        "share of the level's first amplitude (L >= 0, default 0.05)",
        [&](const std::string& v) {
            o.cycleOptions.levelTolerance = readCycleNumber(
                v, "--level-tolerance", "of at least 0", [](double) { return true; });
            cycleOption("--level-tolerance");
        });
    value("--envelope", "load|deformation",
        "with --cycles: the point of each cycle the envelope and the backbone\n"
        "take, its peak load (\"load\", the default) or the load at its\n"
        "largest deformation",
        [&](const std::string& v) {
            if (equalNoCase(v, "load"))
                o.cycleOptions.envelope = analysis::EnvelopeKind::Load;
            else if (equalNoCase(v, "deformation"))
                o.cycleOptions.envelope = analysis::EnvelopeKind::Deformation;
            else
                throw UsageError("--envelope takes load or deformation, not '" + v + "'");
            cycleOption("--envelope");
        });
    value("--summary", "FILE.csv",
        "after the batch, write one row per data file (in the order of the\n"
        "command line) into FILE.csv: how its run ended and, for a finished\n"
        "run, its samples, cycles, levels, total energy and each side's\n"
        "backbone figures; the cycle options apply",
        [&](const std::string& v) {
            if (v.empty())
                throw UsageError("--summary needs a file name");
            o.summary = v;
        });
    value("--plot-overlay", "FILE.png|svg|pdf",
        "after the batch, draw one picture of the whole series into FILE:\n"
        "each finished run's first-cycle envelope and its bilinear\n"
        "idealisation in a colour of its own, a legend with the file names,\n"
        "the axes titled as the first finished file's; the cycle options\n"
        "apply",
        [&](const std::string& v) {
            if (!drawsPictures())
                throw UsageError("this varnel-batch was built without Qt and draws no pictures");
            if (!endsWithNoCase(v, ".png") && !endsWithNoCase(v, ".svg")
                && !endsWithNoCase(v, ".pdf"))
                throw UsageError("--plot-overlay takes a file name ending in .png, .svg or .pdf");
            o.overlay = v;
        });
    flag("--overlay-records", "with --plot-overlay: each record too, as a thin line under them",
        [&] { o.overlayRecords = true; });
    flag("--quiet", "print nothing but failures", [&] { o.quiet = true; });
    app.set_help_flag("--help", "show this help and exit");
    app.set_version_flag(
        "--version", std::string("varnel-batch ") + VARNEL_VERSION, "show the version and exit");
    app.add_option("FILE", o.files, "data files")->group("");
    app.allow_extras(false);

    try {
        std::vector<std::string> args = joinValues(argc, argv);
        std::reverse(args.begin(), args.end());  // the parser takes its arguments last first
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return 0;
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    } catch (const UsageError& error) {
        return usageError(error.what());
    }
    if (o.files.empty())
        return usageError("no data file given");
    if (styleGiven && o.plot == PlotMode::None)
        return usageError("--plot-style needs --plot");
    if (!cycleOptionGiven.empty() && !o.cycles && o.summary.empty() && o.overlay.empty())
        return usageError(cycleOptionGiven + " needs --cycles, --summary or --plot-overlay");
    if (o.overlayRecords && o.overlay.empty())
        return usageError("--overlay-records needs --plot-overlay");
    if (!o.overlay.empty() && !o.summary.empty() && nameKey(o.overlay) == nameKey(o.summary))
        return usageError("--plot-overlay and --summary name one file");
    if (o.plot == PlotMode::OneFile && o.files.size() > 1)
        return usageError("--plot " + o.plotName
            + " names one picture for several data files; use --plot png or --plot svg to "
              "draw a picture beside each data file");
    return std::nullopt;
}

}  // namespace batch
