// varnel-batch: the same run as the window's "Start", for one or many data files, headless.
#include "run/run_driver.h"
#include "settings/run_settings.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

const char* const kUsage = R"(Usage: varnel-batch [OPTION]... FILE...
Writes the Varnel curve of each cyclic load-deformation record FILE beside it, exactly as the
window's "Start" does: FILE's name less its last three characters, plus "vnp" (positive side)
and "vnn" (negative side), or "vnl" (both sides) with --one-file.

Options (values are read as the window's boxes read them):
  --x-column N          column of X, from 1 (default 1)
  --y-column N          column of Y, from 1 (default 2)
  --x-coefficient C     factor for X (default 1)
  --y-coefficient C     factor for Y (default 1)
  --skip-lines N        header lines before the data (default 0)
  --one-file            write one combined curve file instead of two
  --keep-working-files  leave the point file (bu0) and cross-check file (buf) on disk
  --quiet               print nothing but failures
  --help                show this help and exit
  --version             show the version and exit

Exit status: 0 when every run finished, 1 when any run failed, 2 for a usage error.
)";

class BatchHost : public run::RunHost
{
public:
    BatchHost(std::string file, bool quiet)
        : m_file(std::move(file))
        , m_quiet(quiet)
    {
    }

    void setStatus(const std::string& text) override
    {
        if (!m_quiet && !text.empty())
            std::fprintf(stderr, "%s: %s\n", m_file.c_str(), text.c_str());
    }

    void showFileName(int, const std::string&) override { }

    bool yield() override
    {
        return g_interrupted == 0;
    }

    void clearPlot() override { }

    void setPlotWindow(float, float, float, float) override { }

    void drawLine(float, float, float, float, run::Rgb) override { }

    void drawDot(float, float, run::Rgb) override { }

    void drawLineTo(float, float, run::Rgb) override { }

    void showError(const std::string& message) override
    {
        std::fprintf(stderr, "%s: %s\n", m_file.c_str(), message.c_str());
    }

private:
    std::string m_file;
    bool m_quiet;
};

int usageError(const std::string& what)
{
    std::fprintf(stderr, "varnel-batch: %s\nTry 'varnel-batch --help' for more information.\n",
        what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    settings::RunSettings& s = settings::runSettings();
    settings::applyStartupDefaults(s);
    std::string xCoefficient = "1";
    std::string yCoefficient = "1";
    bool quiet = false;
    std::vector<std::string> files;

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
                return usageError("unknown option '" + arg + "'");
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        const auto flag = [&](std::string_view name) { return arg == name && !hasValue; };
        if (flag("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (flag("--version")) {
            std::printf("varnel-batch %s\n", VARNEL_VERSION);
            return 0;
        }
        if (flag("--one-file")) {
            s.OutputMode = 2;
        } else if (flag("--keep-working-files")) {
            s.KeepWorkingFiles = 1;
        } else if (flag("--quiet")) {
            quiet = true;
        } else if (arg == "--x-column" || arg == "--y-column" || arg == "--skip-lines"
            || arg == "--x-coefficient" || arg == "--y-coefficient") {
            if (!takeValue())
                return usageError("option '" + arg + "' needs a value");
            if (arg == "--x-column")
                settings::setXColumn(s, value);
            else if (arg == "--y-column")
                settings::setYColumn(s, value);
            else if (arg == "--skip-lines")
                settings::setSkipLines(s, value);
            else if (arg == "--x-coefficient")
                xCoefficient = value;
            else
                yCoefficient = value;
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }
    if (files.empty())
        return usageError("no data file given");

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    bool anyFailed = false;
    for (const std::string& file : files) {
        BatchHost host(file, quiet);
        s.DataFilePath = file;
        const run::RunReport report = run::runVarnel(host, s, xCoefficient, yCoefficient);
        switch (report.outcome) {
        case run::RunOutcome::Finished:
            break;
        case run::RunOutcome::NoDataFile:
            std::fprintf(stderr, "varnel-batch: an empty file name names no data file\n");
            anyFailed = true;
            break;
        case run::RunOutcome::Failed:
            if (!report.detail.empty())
                std::fprintf(stderr, "%s: %s\n", file.c_str(), report.detail.c_str());
            anyFailed = true;
            break;
        case run::RunOutcome::Stopped:
            std::fprintf(stderr, "%s: interrupted\n", file.c_str());
            return 130;
        }
    }
    return anyFailed ? 1 : 0;
}
