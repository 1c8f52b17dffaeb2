// Real cyclic test records from public sources, run with the settings their sources give.
// The written files are checked against the rules worked out plainly.
#include "run/run_driver.h"
#include "tests/support/failure_code.h"
#include "tests/support/literal_model.h"
#include "tests/support/recording_host.h"
#include "tests/support/reference_cross_check.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct RealRecord
{
    const char* file;
    int x, y, skip;
    run::FailureCode failure;  // None: the run finishes
};

using enum run::FailureCode;

const RealRecord kRecords[] = {
    { "stonemasonry/FD_CS01_Magenes2010.csv", 1, 2, 4, None },
    { "stonemasonry/FD_T11_Faella1992.csv", 1, 2, 4, None },
    { "stonemasonry/FD_test1_Krzan2015.csv", 1, 2, 4, TypeMismatch },
    { "stonemasonry/FD_SC1_Godio2019.csv", 1, 2, 4, TypeMismatch },
    { "stonemasonry/FD_CS01_Senaldi2018.csv", 1, 2, 4, None },
    { "stonemasonry/FD_WS1100_Vasconcelos2009.csv", 1, 2, 4, TypeMismatch },
    { "hysteresis-py/SPC1.csv", 2, 1, 2, None },
    { "hysteresis-py/trial2.csv", 1, 2, 2, None },
    { "hysteresis-py/TS1_Experiment_Shear.csv", 1, 2, 0, None },
    { "deltau/WSH6_measured.csv", 1, 2, 1, None },
};

// The data lines' values, read the plain way: separators to blanks, header lines dropped.
std::vector<std::vector<double>> dataRows(std::string text, int skip)
{
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == ',' || c == ';' || c == '\r'; }, ' ');
    std::istringstream lines(text);
    std::string body;
    std::string line;
    for (int i = 0; std::getline(lines, line); ++i)
        if (i >= skip && line.find_first_not_of(" \t") != std::string::npos)
            body += line + "\n";
    return model::readRows(body);
}

}  // namespace

TEST(RealRecords, RunAsTheirSourcesSayAndWriteWhatThePlainRulesGive)
{
    const std::filesystem::path folder = REAL_DATA_DIR;
    if (!std::filesystem::exists(folder))
        GTEST_SKIP() << "no real records at " << folder;
    for (const RealRecord& r : kRecords) {
        SCOPED_TRACE(r.file);
        TempFolder dir;
        const std::string data = dir.file("record.prn");
        std::filesystem::copy_file(folder / r.file, data);
        settings::RunSettings s;
        settings::applyStartupDefaults(s);
        s.DataFilePath = data;
        s.XColumn = static_cast<std::int16_t>(r.x);
        s.YColumn = static_cast<std::int16_t>(r.y);
        s.SkipLines = static_cast<std::int16_t>(r.skip);
        s.KeepWorkingFiles = 1;
        RecordingHost host;
        host.recordDrawing = false;
        const run::RunReport report = run::runVarnel(host, s, "1", "1");
        if (r.failure != run::FailureCode::None) {
            EXPECT_EQ(report.outcome, run::RunOutcome::Failed);
            EXPECT_EQ(report.code, r.failure);
            continue;
        }
        ASSERT_EQ(report.outcome, run::RunOutcome::Finished) << report.message << report.detail;

        std::vector<double> X, Y;
        for (const auto& row : dataRows(readFile(data), r.skip)) {
            X.push_back(row[static_cast<std::size_t>(r.x - 1)]);
            Y.push_back(row[static_cast<std::size_t>(r.y - 1)]);
        }
        const std::string bu0 = model::pointFile(X, Y);
        ASSERT_EQ(readFile(dir.file("record.bu0")), bu0);

        // One noisy record crosses itself millions of times: its files are too large to work
        // out the slow way here.
        if (std::filesystem::file_size(dir.file("record.buf")) > (20 << 20))
            continue;
        const std::string buf = readFile(dir.file("record.buf"));
        run::PreparedPoints points;
        for (const auto& row : model::readRows(bu0)) {
            points.x.push_back(row[0]);
            points.y.push_back(row[1]);
        }
        // The plain double loop is quadratic: it checks the shorter records.
        if (points.size() <= 6000) {
            TempFolder refDir;
            RecordingHost refHost;
            refHost.recordDrawing = false;
            ASSERT_FALSE(referenceCrossCheck(refHost, points, refDir.file("r.buf")).failed);
            ASSERT_EQ(buf, readFile(refDir.file("r.buf")));
        }
        const double minX = std::min(999999.0, *std::min_element(X.begin(), X.end()));
        const double maxX = std::max(-999999.0, *std::max_element(X.begin(), X.end()));
        EXPECT_EQ(readFile(dir.file("record.vnp")), model::sideFile(buf, true, minX));
        EXPECT_EQ(readFile(dir.file("record.vnn")), model::sideFile(buf, false, maxX));
    }
}
