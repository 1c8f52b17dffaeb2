#include "run/curve_construction.h"
#include "run/exact_read_back.h"
#include "run/run_driver.h"
#include "tests/support/failure_code.h"
#include "tests/support/literal_model.h"
#include "tests/support/recording_host.h"
#include "tests/support/reference_cross_check.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <thread>

using run::FailureCode;
using run::RunOutcome;

namespace {

// What the host was shown: the one message of an error exit.
std::vector<std::string> dataError(FailureCode code)
{
    return { run::dataErrorMessage(code) };
}

std::vector<std::string> outputError(FailureCode code)
{
    return { run::outputFileErrorMessage(code) };
}

settings::RunSettings settingsFor(const std::string& path)
{
    settings::RunSettings s;
    settings::applyStartupDefaults(s);
    s.DataFilePath = path;
    return s;
}

run::RunReport runOn(
    RecordingHost& host, settings::RunSettings& s, const char* xc = "1", const char* yc = "1")
{
    return run::runVarnel(host, s, xc, yc);
}

// A cyclic record as a data logger writes it: 2 header lines, time, X, Y.
std::string cyclicData(std::mt19937_64& rng, int samples, const char* separator)
{
    std::normal_distribution<double> noise(0.0, 0.02);
    std::string text = "time" + std::string(separator) + "disp" + separator + "load\r\n[s]"
        + separator + "[mm]" + separator + "[kN]\r\n";
    const double cycles = 3 + static_cast<double>(rng() % 5);
    for (int i = 0; i < samples; ++i) {
        const double t = cycles * 2 * M_PI * i / samples;
        const double amplitude = 1 + 4 * t / (cycles * 2 * M_PI);
        const double x = std::round((amplitude * std::sin(t) + noise(rng)) * 1000) / 1000;
        const double y = 3 * x - amplitude * std::cos(t) + noise(rng);
        char line[128];
        std::snprintf(line, sizeof line, "%d%s%.3f%s%.6g\r\n", i, separator, x, separator, y);
        text += line;
    }
    return text;
}

std::vector<std::string> filesIn(const TempFolder& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// ---- a whole run against the rules worked out plainly ----

TEST(Run, EveryFileIsWhatThePlainRulesGive)
{
    std::mt19937_64 rng(5);
    const char* separators[] = { " ", ",", ";", "\t", " , " };
    const char* coefficients[] = { "1", "0.1", "-2.5", "1000" };
    for (int round = 0; round < 24; ++round) {
        TempFolder dir;
        const std::string data = dir.file("rec.prn");
        // The first rounds cross themselves thousands of times.
        const int samples = round < 3 ? 6000 : 50 + static_cast<int>(rng() % 400);
        writeFile(data, cyclicData(rng, samples, separators[round % 5]));
        auto s = settingsFor(data);
        s.XColumn = 2;
        s.YColumn = 3;
        s.SkipLines = 2;
        s.KeepWorkingFiles = 1;
        s.OutputMode = static_cast<std::int16_t>(1 + round % 2);
        RecordingHost host;
        const char* xc = coefficients[round % 4];
        const char* yc = coefficients[(round / 4) % 4];
        const auto report = runOn(host, s, xc, yc);
        ASSERT_EQ(report.outcome, RunOutcome::Finished) << report.message << report.detail;

        // Point file: the scaled data lines through the preparation rules.
        std::vector<double> X, Y;
        const std::string text = readFile(data);
        std::string body = text.substr(text.find('\n', text.find('\n') + 1) + 1);
        std::replace_if(
            body.begin(), body.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
        for (const auto& row : model::readRows(body))
            if (row.size() == 3) {
                X.push_back(row[1] * static_cast<double>(std::strtof(xc, nullptr)));
                Y.push_back(row[2] * static_cast<double>(std::strtof(yc, nullptr)));
            }
        const std::string bu0 = model::pointFile(X, Y);
        ASSERT_EQ(readFile(dir.file("rec.bu0")), bu0);

        // Cross-check file: the plain double loop over the points the point file reads back as.
        run::PreparedPoints points;
        for (const auto& row : model::readRows(bu0)) {
            points.x.push_back(row[0]);
            points.y.push_back(row[1]);
        }
        TempFolder refDir;
        RecordingHost refHost;
        ASSERT_FALSE(referenceCrossCheck(refHost, points, refDir.file("r.buf")).failed);
        const std::string buf = readFile(refDir.file("r.buf"));
        ASSERT_EQ(readFile(dir.file("rec.buf")), buf);

        // Curve files: the two passes over the cross-check file's text.
        const double minX = std::min(999999.0, *std::min_element(X.begin(), X.end()));
        const double maxX = std::max(-999999.0, *std::max_element(X.begin(), X.end()));
        const std::string vnp = model::sideFile(buf, true, minX);
        const std::string vnn = model::sideFile(buf, false, maxX);
        ASSERT_EQ(readFile(dir.file("rec.vnp")), vnp);
        ASSERT_EQ(readFile(dir.file("rec.vnn")), vnn);
        if (s.OutputMode == 2)
            ASSERT_EQ(readFile(dir.file("rec.vnl")), model::combinedFile(vnp, vnn));
        else
            ASSERT_FALSE(fileExists(dir.file("rec.vnl")));

        // Without the working files the same curve comes from the stream, and only it is left.
        TempFolder bare;
        writeFile(bare.file("rec.prn"), text);
        auto b = s;
        b.DataFilePath = bare.file("rec.prn");
        b.KeepWorkingFiles = 0;
        ASSERT_EQ(runOn(host, b, xc, yc).outcome, RunOutcome::Finished);
        if (s.OutputMode == 2) {
            EXPECT_EQ(filesIn(bare), (std::vector<std::string> { "rec.prn", "rec.vnl" }));
            EXPECT_EQ(readFile(bare.file("rec.vnl")), model::combinedFile(vnp, vnn));
        } else {
            EXPECT_EQ(
                filesIn(bare), (std::vector<std::string> { "rec.prn", "rec.vnn", "rec.vnp" }));
            EXPECT_EQ(readFile(bare.file("rec.vnp")), vnp);
            EXPECT_EQ(readFile(bare.file("rec.vnn")), vnn);
        }
    }
}

TEST(Run, WorkingNamesLeftByOthers)
{
    // Without kept working files: a regular file left at a working name goes as the run's own
    // would; a folder or a link there is not the run's and stays, and the run finishes.
    for (const char* part : { "bu0", "buf" })
        for (int kind = 0; kind < 3; ++kind) {
            TempFolder dir;
            writeFile(dir.file("d.prn"), "0 0\n1 2\n2 -2\n-1 1\n3 0\n");
            const std::string name = dir.file(std::string("d.") + part);
            if (kind == 0)
                writeFile(name, "stale");
            else if (kind == 1)
                std::filesystem::create_directory(name);
            else
                std::filesystem::create_symlink(dir.file("elsewhere"), name);
            auto s = settingsFor(dir.file("d.prn"));
            RecordingHost host;
            ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished) << part << kind;
            std::vector<std::string> expected { "d.prn", "d.vnn", "d.vnp" };
            if (kind != 0)
                expected.push_back(std::string("d.") + part);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(filesIn(dir), expected) << part << kind;
            EXPECT_EQ(std::filesystem::is_directory(name), kind == 1);
            EXPECT_EQ(readFile(dir.file("d.prn")), "0 0\n1 2\n2 -2\n-1 1\n3 0\n");
        }
}

// Stops the run at the first yield after the first crossing: the crossing takes long enough
// (a slow front end) that the run's pace yields within the cross check.
class StopInTheCrossCheck : public RecordingHost
{
public:
    bool stops = false;

    void drawDot(float x, float y, run::Rgb colour) override
    {
        RecordingHost::drawDot(x, y, colour);
        if (stops && !m_crossed && statuses.back() == "Cross checking...") {
            m_crossed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool yield() override
    {
        return RecordingHost::yield() && !m_crossed;
    }

private:
    bool m_crossed = false;
};

TEST(RunFailures, ACrossCheckCutShortLeavesTheCurveFilesAsProbed)
{
    // Records reach the curve while the cross check goes on; a failure or a stop in the
    // middle of it still leaves the curve files as they were before the curve began.
    std::mt19937_64 rng(8);
    std::string data = cyclicData(rng, 3000, " ");
    const std::string tail = "3000 7 1\n3001 7.000000000000001 2\n";  // the same X in 15 digits
    for (const bool stop : { false, true })
        for (int keep = 0; keep <= 1; ++keep) {
            TempFolder dir;
            writeFile(dir.file("d.prn"), stop ? data : data + tail);
            auto s = settingsFor(dir.file("d.prn"));
            s.XColumn = 2;
            s.YColumn = 3;
            s.SkipLines = 2;
            s.KeepWorkingFiles = static_cast<std::int16_t>(keep);
            StopInTheCrossCheck host;
            host.recordDrawing = false;
            host.stops = stop;
            const auto report = runOn(host, s);
            EXPECT_EQ(report.outcome, stop ? RunOutcome::Stopped : RunOutcome::Failed);
            EXPECT_EQ(host.statuses.back(), "");
            EXPECT_EQ(
                std::count(host.statuses.begin(), host.statuses.end(), "Varnel creating..."), 0);
            for (const char* side : { "d.vnp", "d.vnn" })
                EXPECT_EQ(readFile(dir.file(side)), "Test output\r\n") << stop << keep;
            EXPECT_EQ(fileExists(dir.file("d.buf")), keep == 1);
        }
}

TEST(Run, StatusTextsFileNamesAndFilesLeftByMode)
{
    std::mt19937_64 rng(6);
    for (int mode = 1; mode <= 2; ++mode)
        for (int keep = 0; keep <= 1; ++keep) {
            TempFolder dir;
            writeFile(dir.file("a.prn"), cyclicData(rng, 200, " "));
            auto s = settingsFor(dir.file("a.prn"));
            s.XColumn = 2;
            s.YColumn = 3;
            s.SkipLines = 2;
            s.OutputMode = static_cast<std::int16_t>(mode);
            s.KeepWorkingFiles = static_cast<std::int16_t>(keep);
            RecordingHost host;
            ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished);
            EXPECT_EQ(host.statuses,
                (std::vector<std::string> {
                    "Data reading...", "Cross checking...", "Varnel creating...", "Finish" }));
            EXPECT_EQ(host.fileNames[0], std::vector<std::string> { dir.file("a.prn") });
            if (mode == 1) {
                EXPECT_EQ(host.fileNames[1], std::vector<std::string> { dir.file("a.vnp") });
                EXPECT_EQ(host.fileNames[2], std::vector<std::string> { dir.file("a.vnn") });
            } else {
                EXPECT_EQ(host.fileNames[1], std::vector<std::string> { dir.file("a.vnl") });
                EXPECT_TRUE(host.fileNames[2].empty());
            }
            std::vector<std::string> expected { "a.prn" };
            if (keep)
                expected.insert(expected.end(), { "a.bu0", "a.buf" });
            if (mode == 2)
                expected.push_back("a.vnl");
            if (mode == 1 || keep)
                expected.insert(expected.end(), { "a.vnn", "a.vnp" });
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(filesIn(dir), expected) << "mode " << mode << " keep " << keep;
            EXPECT_TRUE(host.errors.empty());
        }
}

TEST(Run, DrawsAxesRecordCrossingsAndCurve)
{
    TempFolder dir;
    writeFile(dir.file("a.prn"), "0 0\n1 2\n2 -2\n-1 1\n3 0\n");
    auto s = settingsFor(dir.file("a.prn"));
    RecordingHost host;
    ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished);
    const auto& d = host.drawing;
    ASSERT_GE(d.size(), 8u);
    EXPECT_EQ(d[0], "clear");
    EXPECT_EQ(d[1], "clear");
    EXPECT_EQ(d[2], "window -1.04999995 -2.0999999 3.1500001 2.0999999");
    EXPECT_EQ(d[3], "line -1.04999995 0 3.1500001 0 0,0,255");
    EXPECT_EQ(d[4], "line 0 2.0999999 0 -2.0999999 0,0,255");
    EXPECT_EQ(d[5], "dot 0 -0 0,0,0");
    // The record, then the dot and line that leave the drawing position at point 2.
    EXPECT_EQ(d[13], "dot 0 -0 0,0,0");
    EXPECT_EQ(d[14], "to 1 -2 0,0,0");
    // Each curve pass starts with a red dot at the origin.
    EXPECT_EQ(std::count(d.begin(), d.end(), "dot 0 0 255,0,0"), 2);
}

// ---- failures ----

// The numbers users see in the error boxes and on varnel-batch's terminal, and the texts
// around them: the rest of the tests compare codes and use the run's own message functions.
TEST(RunFailures, CodesAndMessagesUsersSee)
{
    using enum FailureCode;
    const std::pair<FailureCode, const char*> numbers[] = { { InvalidArgument, "5" },
        { Overflow, "6" }, { OutOfMemory, "7" }, { IndexOutOfRange, "9" }, { DivisionByZero, "11" },
        { TypeMismatch, "13" }, { BadFileName, "52" }, { FileNotFound, "53" },
        { DeviceIoError, "57" }, { DiskFull, "61" }, { InputPastEnd, "62" },
        { PermissionDenied, "70" }, { DiskNotReady, "71" }, { PathFileAccessError, "75" },
        { PathNotFound, "76" } };
    for (const auto& [code, number] : numbers) {
        EXPECT_EQ(run::dataErrorMessage(code),
            "This file includes error data or you may mistake column or skip indication. ("
                + std::string(number) + ")");
        EXPECT_EQ(run::outputFileErrorMessage(code),
            "This output data file has been opened by another application. (" + std::string(number)
                + ")");
    }
    EXPECT_EQ(run::sameXErrorMessage(4),
        "These data include the same x-value at 4 line. Please remove them.");
}

TEST(RunFailures, MissingDataFileCreatesNothing)
{
    TempFolder dir;
    auto s = settingsFor(dir.file("none.prn"));
    RecordingHost host;
    const auto report = runOn(host, s);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(host.errors, dataError(FailureCode::FileNotFound));
    EXPECT_TRUE(filesIn(dir).empty());
    EXPECT_EQ(host.statuses.back(), "");
}

TEST(RunFailures, DataErrorsAndTheirCodes)
{
    struct Case
    {
        const char* data;
        int skip, x, y;
        FailureCode code;
        std::int64_t line;
    };

    using enum FailureCode;
    const Case cases[] = {
        { "1 2\n2 NaN\n3 4\n", 0, 1, 2, TypeMismatch, 2 },  // not a number in the Y column
        { "1,2\n,3\n", 0, 1, 2, TypeMismatch, 2 },  // an empty field
        { "1 2\n2 x\n", 0, 1, 1, None, 0 },  // text outside the X and Y columns is dropped
        { "h\n", 1, 1, 2, InputPastEnd, 0 },  // no data line after the header
        { "h\n1 2\n", 3, 1, 2, InputPastEnd, 0 },  // skip beyond the file
        { "1 2\n2 3 4\n", 0, 1, 2, TypeMismatch, 2 },  // a line of another width
        { "1 2\n2 3\n", 0, 1, 3, IndexOutOfRange, 1 },  // a column the lines lack
        { "1 2\n1 3\n1 4\n", 0, 1, 2, IndexOutOfRange, 0 },  // one point left: X repeated
        { "1 2\n2 1e400\n", 0, 1, 2, Overflow, 2 },  // too large to hold
        // The largest doubles are written with 15 digits, rounded up beyond the range.
        { "0 1\n1 2\n1.7976931348623157e308 3\n", 0, 1, 2, Overflow, 3 },
        { "0 1\n1 -1.7976931348623157e308\n", 0, 1, 2, Overflow, 2 },
        { "0 1\n1 2\n-1.79769313486231e308 3\n", 0, 1, 2, None, 0 },
        { "1 2\n2 -3\n3 4\n", 0, 1, 2, None, 0 },
    };
    for (const Case& c : cases) {
        TempFolder dir;
        writeFile(dir.file("d.prn"), c.data);
        auto s = settingsFor(dir.file("d.prn"));
        s.SkipLines = static_cast<std::int16_t>(c.skip);
        s.XColumn = static_cast<std::int16_t>(c.x);
        s.YColumn = static_cast<std::int16_t>(c.y);
        RecordingHost host;
        const auto report = runOn(host, s);
        if (c.code == None) {
            EXPECT_EQ(report.outcome, RunOutcome::Finished) << c.data << report.detail;
            continue;
        }
        EXPECT_EQ(report.code, c.code) << c.data;
        EXPECT_EQ(host.errors, dataError(c.code)) << c.data;
        EXPECT_EQ(report.location.line, c.line) << c.data;
    }
}

TEST(RunFailures, ANotANumberLeavesAKeptPointFileAsFarAsItGot)
{
    TempFolder dir;
    writeFile(dir.file("d.prn"), "1 4\n3 -4\nNaN 1\n");
    auto s = settingsFor(dir.file("d.prn"));
    s.KeepWorkingFiles = 1;
    RecordingHost host;
    runOn(host, s);
    EXPECT_EQ(readFile(dir.file("d.bu0")),
        " 1             4 \r\n 2             0 \r\n 3            -4 \r\n");
}

TEST(RunFailures, SameXNamesThePreparedPoint)
{
    TempFolder dir;
    // 1 and 1.0000000000000002 differ, but not in the 15 digits the point file keeps.
    writeFile(dir.file("d.prn"), "0 1\n0.5 2\n1 3\n1.0000000000000002 4\n2 5\n");
    auto s = settingsFor(dir.file("d.prn"));
    RecordingHost host;
    const run::RunReport shared = runOn(host, s);
    EXPECT_EQ(host.errors,
        std::vector<std::string> {
            "These data include the same x-value at 4 line. Please remove them." });
    EXPECT_EQ(host.statuses.back(), "");
    EXPECT_NE(shared.detail.find("share an X value"), std::string::npos) << shared.detail;

    // A line too steep to hold shows the same message, but the detail names the cause.
    writeFile(dir.file("d.prn"), "0 0\n1 5\n2 1\n3 1.79769313486231e308\n4 2\n");
    RecordingHost steep;
    const run::RunReport overflow = runOn(steep, s);
    EXPECT_EQ(steep.errors, std::vector<std::string> { run::sameXErrorMessage(4) });
    EXPECT_EQ(overflow.code, FailureCode::Overflow);
    EXPECT_EQ(overflow.detail.find("share an X value"), std::string::npos) << overflow.detail;
    EXPECT_NE(overflow.detail.find("beyond the double range"), std::string::npos);
}

TEST(RunFailures, OutputFileHeldBeforeAnyDataIsRead)
{
    TempFolder dir;
    writeFile(dir.file("d.prn"), "1 2\n2 3\n");
    std::filesystem::create_directory(dir.file("d.vnp"));
    auto s = settingsFor(dir.file("d.prn"));
    RecordingHost host;
    runOn(host, s);
    EXPECT_EQ(host.errors, outputError(FailureCode::PathFileAccessError));
    EXPECT_FALSE(fileExists(dir.file("d.vnn")));
    EXPECT_FALSE(fileExists(dir.file("d.bu0")));

    // A data file in a folder that is not there is a data file that is not there.
    auto missing = settingsFor(dir.file("nofolder/d.prn"));
    RecordingHost host2;
    runOn(host2, missing);
    EXPECT_EQ(host2.errors, dataError(FailureCode::PathNotFound));
}

// A host that writes more files of a finished run holds its names until it lets go: a second run
// on the same name base is refused meanwhile, in either output mode.
TEST(RunFailures, NamesHeldAfterTheRunUntilTheHostLetsGo)
{
    class HoldingHost : public RecordingHost
    {
    public:
        bool holdsNamesAfterRun() const override
        {
            return true;
        }
    };

    for (const std::int16_t mode : { settings::kTwoOutputFiles, settings::kOneOutputFile }) {
        TempFolder dir;
        writeFile(dir.file("a.prn"), "0 0\n1 2\n2 3\n3 -1\n");
        writeFile(dir.file("a.dat"), "0 0\n1 5\n");
        auto first = settingsFor(dir.file("a.prn"));
        first.OutputMode = mode;
        HoldingHost holder;
        run::RunReport held = runOn(holder, first);
        ASSERT_EQ(held.outcome, RunOutcome::Finished);
        ASSERT_TRUE(held.names);
        const std::string vnp = readFile(dir.file("a.vnp"));

        auto second = settingsFor(dir.file("a.dat"));
        second.OutputMode = mode;
        RecordingHost refused;
        EXPECT_EQ(runOn(refused, second).code, FailureCode::PathFileAccessError);
        EXPECT_EQ(readFile(dir.file("a.vnp")), vnp);  // untouched

        // Let go: the one-file run's side file goes with its hold, and the names are free.
        held.names->release();
        EXPECT_EQ(fileExists(dir.file("a.vnp")), mode == settings::kTwoOutputFiles);
        RecordingHost after;
        EXPECT_EQ(runOn(after, second).outcome, RunOutcome::Finished);
        // A host that does not hold them lets go as its run ends.
        EXPECT_FALSE(runOn(after, second).names);
    }
}

TEST(RunFailures, TheDataFileIsNeverOneOfTheRunsFiles)
{
    for (const char* name : { "run1.vnp", "run1.bu0", "run1.vnl" }) {
        TempFolder dir;
        const std::string bytes = "1 2\n2 3\n3 1\n";
        writeFile(dir.file(name), bytes);
        auto s = settingsFor(dir.file(name));
        s.OutputMode = 2;
        RecordingHost host;
        runOn(host, s);
        EXPECT_EQ(host.errors, outputError(FailureCode::PathFileAccessError)) << name;
        EXPECT_EQ(readFile(dir.file(name)), bytes);
        EXPECT_EQ(filesIn(dir), std::vector<std::string> { name });
    }
}

TEST(RunFailures, ALinkToTheDataFileUnderARunsNameIsRefused)
{
    for (const bool hard : { true, false }) {
        TempFolder dir;
        const std::string bytes = "1 2\n2 3\n3 1\n";
        writeFile(dir.file("d.prn"), bytes);
        if (hard)
            std::filesystem::create_hard_link(dir.file("d.prn"), dir.file("d.vnn"));
        else
            std::filesystem::create_symlink(dir.file("d.prn"), dir.file("d.buf"));
        auto s = settingsFor(dir.file("d.prn"));
        RecordingHost host;
        runOn(host, s);
        EXPECT_EQ(host.errors, outputError(FailureCode::PathFileAccessError));
        EXPECT_EQ(readFile(dir.file("d.prn")), bytes);
        EXPECT_FALSE(fileExists(dir.file("d.vnp")));
    }
}

TEST(RunFailures, CoefficientThatCannotBeHeldStopsBeforeAnythingIsNamed)
{
    TempFolder dir;
    writeFile(dir.file("d.prn"), "1 2\n2 3\n");
    auto s = settingsFor(dir.file("d.prn"));
    RecordingHost host;
    runOn(host, s, "1e39", "1");
    EXPECT_EQ(host.errors, dataError(FailureCode::Overflow));
    EXPECT_EQ(host.statuses, std::vector<std::string> { "" });
    EXPECT_EQ(filesIn(dir), std::vector<std::string> { "d.prn" });
    EXPECT_EQ(s.XCoefficient, 1.0f);
}

TEST(RunFailures, AnUnforeseenExceptionBecomesTheActiveExitsFailure)
{
    // A front end that throws where no failure is foreseen, even from the error box itself.
    struct ThrowingHost : RecordingHost
    {
        std::string throwAtStatus;
        bool throwStd = true;
        bool errorBoxThrows = false;

        void setStatus(const std::string& text) override
        {
            RecordingHost::setStatus(text);
            if (text != throwAtStatus)
                return;
            if (throwStd)
                throw std::runtime_error("host fault");
            throw 42;
        }

        void showError(const std::string& message) override
        {
            RecordingHost::showError(message);
            if (errorBoxThrows)
                throw std::logic_error("error box fault");
        }
    };

    const struct
    {
        const char* status;
        bool throwStd;
        bool errorBoxThrows;
        const char* detail;
    } cases[] = {
        // A fault that is not the data's shows the output-file message in every phase.
        { "Data reading...", true, false, "unexpected failure: host fault" },
        { "Varnel creating...", false, true, "unexpected failure of unknown kind" },
    };

    for (const auto& c : cases) {
        TempFolder dir;
        writeFile(dir.file("d.prn"), "0 0\n2 1\n1 -1\n");
        auto s = settingsFor(dir.file("d.prn"));
        ThrowingHost host;
        host.throwAtStatus = c.status;
        host.throwStd = c.throwStd;
        host.errorBoxThrows = c.errorBoxThrows;
        run::RunReport report;
        ASSERT_NO_THROW(report = runOn(host, s)) << c.status;
        EXPECT_EQ(report.outcome, RunOutcome::Failed);
        EXPECT_EQ(report.code, run::FailureCode::InvalidArgument);
        EXPECT_EQ(report.detail, c.detail);
        EXPECT_EQ(host.errors, outputError(FailureCode::InvalidArgument));
    }
}

TEST(RunFailures, CombinedFileThatCannotBeWritten)
{
    TempFolder dir;
    writeFile(dir.file("d.prn"), "1 2\n2 3\n3 1\n");
    std::filesystem::create_directory(dir.file("d.vnl"));
    auto s = settingsFor(dir.file("d.prn"));
    s.OutputMode = 2;
    RecordingHost host;
    runOn(host, s);
    EXPECT_EQ(host.errors, outputError(FailureCode::PathFileAccessError));
    EXPECT_EQ(host.statuses.back(), "");
}

TEST(Run, EmptyDataFilePathTouchesNothing)
{
    settings::RunSettings s = settingsFor("");
    RecordingHost host;
    const auto report = runOn(host, s, "2", "3");
    EXPECT_EQ(report.outcome, RunOutcome::NoDataFile);
    EXPECT_EQ(host.statuses, (std::vector<std::string> { "Data reading...", "" }));
    EXPECT_EQ(s.XCoefficient, 2.0f);
    EXPECT_EQ(s.YCoefficient, 3.0f);
    EXPECT_TRUE(host.errors.empty());
}

// A front end whose drawing is slow, so that every phase that draws lasts long enough to show
// whether it yields: each line costs 30 us of CPU, 200 us in the curve passes, which draw only
// the points they keep. It notes the longest stretch of the run's CPU time between two yields
// in each phase, and stops the run at the first yield of phase `stopIn` after it has drawn.
class SlowDrawingHost : public RecordingHost
{
public:
    std::map<run::RunPhase, double> longestGap;  // seconds
    std::map<run::RunPhase, double> length;  // seconds
    std::optional<run::RunPhase> stopIn;
    int drawnInStopPhase = 0;

    SlowDrawingHost()
    {
        recordDrawing = false;
    }

    bool yield() override
    {
        note();
        if (stopIn == m_phase && drawnInStopPhase > 0)
            return false;
        return RecordingHost::yield();
    }

    void enterPhase(run::RunPhase phase) override
    {
        note();
        m_phase = phase;
        m_phaseStart = m_last;
    }

    // The stretch from the last yield to the end of the run.
    void finish()
    {
        note();
    }

    void drawLineTo(float, float, run::Rgb) override
    {
        draw();
    }

private:
    static double cpuNow()
    {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    }

    void note()
    {
        const double now = cpuNow();
        longestGap[m_phase] = std::max(longestGap[m_phase], now - m_last);
        length[m_phase] = now - m_phaseStart;
        m_last = now;
    }

    void draw()
    {
        drawnInStopPhase += stopIn == m_phase ? 1 : 0;
        const double until = cpuNow() + (m_phase == run::RunPhase::Curve ? 200e-6 : 30e-6);
        while (cpuNow() < until) { }
    }

    run::RunPhase m_phase = run::RunPhase::Reading;
    double m_last = cpuNow();
    double m_phaseStart = m_last;
};

std::size_t openFileCount()
{
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

// Every phase of a record with many crossings keeps its front end answering (a window handling
// keystrokes, a batch run its signals), and a stop in any phase ends the run at once with its
// files closed.
TEST(Run, EveryPhaseYieldsOftenAndStopsWhenAsked)
{
    using P = run::RunPhase;
    std::mt19937_64 rng(8);
    TempFolder dir;
    writeFile(dir.file("a.prn"), cyclicData(rng, 6000, " "));
    auto s = settingsFor(dir.file("a.prn"));
    s.XColumn = 2;
    s.YColumn = 3;
    s.SkipLines = 2;
    {
        SlowDrawingHost host;
        ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished);
        host.finish();
        for (const P phase : { P::Preparing, P::CrossCheck, P::Curve }) {
            SCOPED_TRACE(static_cast<int>(phase));
            EXPECT_GT(host.length[phase], 0.15) << host.longestGap[phase];
            EXPECT_LT(host.longestGap[phase], 0.1);
        }
    }
    for (const P phase : { P::Preparing, P::CrossCheck, P::Curve }) {
        SCOPED_TRACE(static_cast<int>(phase));
        for (const auto& name : filesIn(dir))
            if (name != "a.prn")
                std::filesystem::remove(dir.path() / name);
        SlowDrawingHost host;
        host.stopIn = phase;
        const std::size_t filesOpen = openFileCount();
        EXPECT_EQ(runOn(host, s).outcome, RunOutcome::Stopped);
        EXPECT_EQ(openFileCount(), filesOpen);
        EXPECT_EQ(host.statuses.back(), "");
        EXPECT_TRUE(host.errors.empty());
        EXPECT_FALSE(fileExists(dir.file("a.vnl")));
    }
}

TEST(Run, YieldsWhileReadingALongRecordAndStopsThere)
{
    TempFolder dir;
    std::string data;
    for (int i = 0; i < 1000000; ++i)
        data += std::to_string(i % 2 ? i : -i) + " " + std::to_string(i % 7) + "\n";
    writeFile(dir.file("a.prn"), data);
    auto s = settingsFor(dir.file("a.prn"));
    RecordingHost host;
    // Yields 1 and 2 follow "Data reading..." and the names; the third comes while reading.
    host.stopAfterYields = 3;
    EXPECT_EQ(runOn(host, s).outcome, RunOutcome::Stopped);
    EXPECT_EQ(host.statuses, (std::vector<std::string> { "Data reading...", "" }));
    EXPECT_EQ(host.drawing, std::vector<std::string> { "clear" });  // nothing read was drawn
    EXPECT_TRUE(host.errors.empty());
}

TEST(Run, EntersEachPhaseInOrderAndCountsToItsTotal)
{
    struct ProgressHost : RecordingHost
    {
        std::vector<run::RunPhase> phases;
        // Per phase: every progress call's done and total.
        std::vector<std::vector<std::pair<std::int64_t, std::int64_t>>> calls;

        void enterPhase(run::RunPhase phase) override
        {
            phases.push_back(phase);
            calls.emplace_back();
        }

        void progress(std::int64_t done, std::int64_t total) override
        {
            ASSERT_FALSE(calls.empty());
            calls.back().emplace_back(done, total);
        }
    };

    // Rising X, so no crossings: every cross-check record is a point.
    constexpr int kLines = 150000;
    TempFolder dir;
    std::string data;
    for (int i = 0; i < kLines; ++i)
        data += std::to_string(i) + " " + std::to_string(i % 7 - 3) + "\n";
    writeFile(dir.file("a.prn"), data);
    auto s = settingsFor(dir.file("a.prn"));
    ProgressHost host;
    host.recordDrawing = false;
    ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished);

    using P = run::RunPhase;
    ASSERT_EQ(host.phases,
        (std::vector<P> { P::Reading, P::Preparing, P::CrossCheck, P::Curve, P::Finishing }));
    std::vector<std::int64_t> totals;
    for (std::size_t p = 0; p + 1 < host.calls.size(); ++p) {
        const auto& calls = host.calls[p];
        ASSERT_FALSE(calls.empty()) << p;
        const std::int64_t total = calls.front().second;
        std::int64_t previous = 0;
        for (const auto& [done, t] : calls) {
            EXPECT_EQ(t, total) << p;
            EXPECT_LE(previous, done) << p;
            previous = done;
        }
        EXPECT_EQ(calls.back().first, total) << p;
        // A bounded rate: never one per unit.
        EXPECT_LE(calls.size(), static_cast<std::size_t>(total / 1000 + 3)) << p;
        totals.push_back(total);
    }
    const std::int64_t points = totals[1];
    EXPECT_GT(points, kLines);  // zero points were inserted
    // The curve phase counts the points of both sides it writes.
    const auto curvePoints = [&](const char* side) {
        const std::string text = readFile(dir.file(side));
        return static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    };
    EXPECT_EQ(totals,
        (std::vector<std::int64_t> {
            kLines, points, points - 2, curvePoints("a.vnp") + curvePoints("a.vnn") }));
}

// ---- reading the data file ----

// The numbers of each line of `text` that holds numbers only, from its field `first` on (two of
// them): a point file's or a curve file's lines, or a data file's X and Y.
void readSide(
    const std::string& text, std::vector<double>& x, std::vector<double>& y, std::size_t first = 0)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::vector<double> values;
        bool numbers = true;
        for (std::size_t i = start; i < end && numbers;) {
            while (i < end && text[i] == ' ')
                ++i;
            if (i == end)
                break;
            double v = 0;
            const auto r = std::from_chars(text.data() + i, text.data() + end, v);
            numbers = r.ec == std::errc();
            values.push_back(v);
            i = static_cast<std::size_t>(r.ptr - text.data());
        }
        if (numbers && values.size() >= first + 2) {
            x.push_back(values[first]);
            y.push_back(values[first + 1]);
        }
        start = end + 1;
    }
}

// A host that asks for every part of the finished run, and notes the crossings and segment
// colours the cross check draws.
class RecordKeepingHost : public RecordingHost
{
public:
    run::FinishedRunParts finishedRunParts() const override
    {
        return { true, true, true, true, true, exactCrossings };
    }

    void runFinished(run::FinishedRun&& r) override
    {
        finished = std::move(r);
    }

    void enterPhase(run::RunPhase phase) override
    {
        crossCheck = phase == run::RunPhase::CrossCheck;
    }

    void drawDot(float x, float y, run::Rgb c) override
    {
        if (crossCheck && c == run::kRed)
            dots.emplace_back(x, -y);
        RecordingHost::drawDot(x, y, c);
    }

    void drawLineTo(float x, float y, run::Rgb c) override
    {
        if (crossCheck)
            segmentColours.push_back(c);
        RecordingHost::drawLineTo(x, y, c);
    }

    std::size_t exactCrossings = 200'000;
    std::optional<run::FinishedRun> finished;
    bool crossCheck = false;
    std::vector<std::pair<float, float>> dots;
    std::vector<run::Rgb> segmentColours;
};

TEST(FinishedRun, AgreesWithTheFilesAndTheDrawing)
{
    std::mt19937_64 rng(5);
    for (const bool oneFile : { false, true }) {
        TempFolder dir;
        // A blank line after the header and inside the data, and a repeated X.
        std::string data = cyclicData(rng, 3000, " ");
        data.insert(data.find("\r\n", data.find("[kN]")) + 2, "\r\n");
        data.insert(data.find("\r\n1000 ") + 2, " \t\r\n");
        writeFile(dir.file("c.prn"), data);
        auto s = settingsFor(dir.file("c.prn"));
        s.XColumn = 2;
        s.YColumn = 3;
        s.SkipLines = 2;
        s.OutputMode = oneFile ? 2 : 1;
        s.KeepWorkingFiles = 1;
        RecordKeepingHost host;
        host.exactCrossings = oneFile ? 3 : 200'000;  // the bounded form past a few
        ASSERT_EQ(runOn(host, s, "1", "-2").outcome, RunOutcome::Finished);
        ASSERT_TRUE(host.finished);
        const run::FinishedRun& f = *host.finished;
        EXPECT_EQ(f.dataFilePath, s.DataFilePath);
        EXPECT_EQ(f.settings.YCoefficient, -2.0f);

        // Rows: every data line, repeated X kept, with its line (header 2, then a blank line).
        ASSERT_EQ(f.rows.size(), 3000u);
        EXPECT_EQ(f.rows.lines[0], 4);
        EXPECT_EQ(f.rows.lines[999], 1003);
        EXPECT_EQ(f.rows.lines[1000], 1005);
        EXPECT_EQ(f.rows.lines[2999], 3004);
        std::vector<double> rowX;
        std::vector<double> rowY;
        readSide(data.substr(data.find("[kN]")), rowX, rowY, 1);
        for (double& v : rowY)
            v *= -2.0;
        EXPECT_EQ(f.rows.x, rowX);
        EXPECT_EQ(f.rows.y, rowY);

        // The prepared points as the point file reads back, with their lines.
        std::vector<double> x;
        std::vector<double> y;
        readSide(readFile(dir.file("c.bu0")), x, y);
        EXPECT_EQ(f.points.x, x);
        EXPECT_EQ(f.points.y, y);
        ASSERT_EQ(f.points.lines.size(), x.size());
        EXPECT_EQ(f.points.lines[0], 4u);

        // Crossings and groups as the picture box was drawn.
        EXPECT_EQ(f.crossings.total, host.dots.size());
        if (oneFile) {
            EXPECT_TRUE(f.crossings.dense());
            EXPECT_TRUE(f.crossings.x.empty());
        } else {
            ASSERT_EQ(f.crossings.x.size(), host.dots.size());
            for (std::size_t i = 0; i < host.dots.size(); ++i) {
                EXPECT_EQ(f.crossings.x[i], host.dots[i].first);
                EXPECT_EQ(f.crossings.y[i], host.dots[i].second);
            }
        }
        ASSERT_EQ(f.groups.size(), x.size());
        ASSERT_EQ(host.segmentColours.size(), x.size() - 2);
        for (std::size_t i = 2; i < x.size(); ++i)
            ASSERT_EQ(run::groupColour(f.groups[i]), host.segmentColours[i - 2]) << i;
        EXPECT_EQ(f.groups.back(), static_cast<std::int64_t>(f.crossings.total) + 1);

        // The curve as its files read back.
        run::CurveSide positive;
        run::CurveSide negative;
        readSide(readFile(dir.file("c.vnp")), positive.x, positive.y);
        readSide(readFile(dir.file("c.vnn")), negative.x, negative.y);
        EXPECT_EQ(f.curve.positive.x, positive.x);
        EXPECT_EQ(f.curve.positive.y, positive.y);
        EXPECT_EQ(f.curve.negative.x, negative.x);
        EXPECT_EQ(f.curve.negative.y, negative.y);
        EXPECT_GT(positive.x.size(), 10u);
        EXPECT_EQ(f.titles.x, "disp [mm]");
        EXPECT_EQ(f.titles.y, "load [kN] \xC3\x97 -2");
    }
}

TEST(FinishedRun, AxisTitlesNameColumnsOnlyFromALineThatSplitsLikeTheData)
{
    struct Case
    {
        std::vector<std::string> header;
        std::int64_t values;
        float xCoefficient;
        const char* x;
        const char* y;
    };

    const Case cases[] = {
        { { "time disp load", "[s] [mm] [kN]" }, 3, 1, "disp [mm]", "load [kN]" },
        { { "t;disp;load", "s;mm;kN" }, 3, 1, "disp [mm]", "load [kN]" },
        { { "time disp load" }, 3, 0.1f, "disp \xC3\x97 0.1", "load" },
        // A title line split by commas into another number of fields names nothing.
        { { "Synthetic record, 800 samples, seed 3" }, 3, 0.1f, "X (column 2) \xC3\x97 0.1",
            "Y (column 3)" },
        { { "time disp load extra" }, 3, 1, "X (column 2)", "Y (column 3)" },
        // Numbers are no names; nor is an empty field.
        { { "t 1 load" }, 3, 1, "X (column 2)", "Y (column 3)" },
        { { "t,,load" }, 3, 1, "X (column 2)", "Y (column 3)" },
        // The last line that names both counts; a long word under names is no unit.
        { { "time disp load", "0 0 0" }, 3, 1, "disp", "load" },
        { { "time displacement load", "seconds millimetres kilonewtons" }, 3, 1, "millimetres",
            "kilonewtons" },
    };
    for (const Case& c : cases) {
        settings::RunSettings s;
        s.XColumn = 2;
        s.YColumn = 3;
        s.XCoefficient = c.xCoefficient;
        s.YCoefficient = 1;
        const run::AxisTitles t = run::axisTitles(c.header, c.values, s);
        EXPECT_EQ(t.x, c.x) << c.header[0];
        EXPECT_EQ(t.y, c.y) << c.header[0];
    }
}

TEST(DataFile, LineEndsBlankLinesSeparatorsAndByteOrderMark)
{
    // Each variant with the data line of each prepared point; the inserted zero points have none.
    const std::pair<std::string, std::vector<std::uint32_t>> variants[] = {
        { "h\r\n1 2\r\n2 -2\r\n3 5\r\n", { 2, 0, 3, 0, 4 } },
        { "h\n1 2\n2 -2\n3 5\n", { 2, 0, 3, 0, 4 } },
        { "h\r1 2\r2 -2\r3 5", { 2, 0, 3, 0, 4 } },
        { "\xEF\xBB\xBFh\n1;2\n \t\n2 ; -2\n\n3\t5\n  \n", { 2, 0, 4, 0, 6 } },
        { "h\n  1 , 2\n2,-2\n3 ,5\n", { 2, 0, 3, 0, 4 } },
    };
    std::string expected;
    for (const auto& [data, lines] : variants) {
        TempFolder dir;
        writeFile(dir.file("d.prn"), data);
        auto s = settingsFor(dir.file("d.prn"));
        s.SkipLines = 1;
        s.KeepWorkingFiles = 1;
        RecordKeepingHost host;
        ASSERT_EQ(runOn(host, s).outcome, RunOutcome::Finished) << data;
        const std::string bu0 = readFile(dir.file("d.bu0"));
        EXPECT_EQ(bu0,
            " 1             2 \r\n 1.5           0 \r\n 2            -2 \r\n"
            " 2.28571428571429            0 \r\n 3             5 \r\n")
            << data;
        EXPECT_EQ(host.finished->points.lines, lines) << data;
        // The rows as read, with no zero points.
        EXPECT_EQ(host.finished->rows.y, (std::vector<double> { 2, -2, 5 })) << data;
    }
}

TEST(DataFile, PreparationDropsRepeatedXAndInsertsZeroPoints)
{
    const std::pair<const char*, const char*> cases[] = {
        { "0 0\n1 5\n2 -5\n3 -5\n",
            " 0             0 \r\n 1             5 \r\n 1.5           0 \r\n 2            -5 \r\n"
            " 3            -5 \r\n" },
        { "1 1\n1 2\n1 3\n2 4\n", " 1             1 \r\n 2             4 \r\n" },
        { "1 5\n1 -5\n2 -3\n", " 1             5 \r\n 2            -3 \r\n" },
    };
    for (const auto& [data, expected] : cases) {
        TempFolder dir;
        writeFile(dir.file("d.prn"), data);
        auto s = settingsFor(dir.file("d.prn"));
        s.KeepWorkingFiles = 1;
        RecordingHost host;
        runOn(host, s);
        EXPECT_EQ(readFile(dir.file("d.bu0")), expected) << data;
    }
}

TEST(DataFile, SameColumnForXAndY)
{
    TempFolder dir;
    writeFile(dir.file("d.prn"), "1 9\n-2 9\n3 9\n");
    auto s = settingsFor(dir.file("d.prn"));
    s.YColumn = 1;
    s.KeepWorkingFiles = 1;
    RecordingHost host;
    runOn(host, s, "1", "-1");
    EXPECT_EQ(
        readFile(dir.file("d.bu0")).substr(0, 38), " 1            -1 \r\n 0             0 \r\n");
}

// ---- curve construction ----

TEST(CurveConstruction, SameFromTheCrossCheckFileAsFromMemory)
{
    std::mt19937_64 rng(9);
    for (int round = 0; round < 6; ++round) {
        run::PreparedPoints points;
        std::normal_distribution<double> noise(0.0, 0.05);
        for (int i = 0; i < 400; ++i) {
            const double t = 0.05 * i;
            points.x.push_back(run::roundTripDouble((1 + t) * std::sin(t) + noise(rng)));
            points.y.push_back(run::roundTripDouble((1 + t) * std::cos(t) + noise(rng)));
        }
        std::string sides[2][2];
        for (int limit = 0; limit < 2; ++limit) {
            TempFolder dir;
            RecordingHost host;
            const run::CrossRecords records = run::runCrossCheck(
                host, points, dir.file("a.buf"), limit == 0 ? 10 : run::kRecordsInMemory);
            EXPECT_EQ(records.inMemory, limit == 1);
            auto negative =
                run::buildCurves(host, records, -8.0, 8.0, dir.file("a.vnp"), dir.file("a.vnn"));
            negative->close();
            sides[limit][0] = readFile(dir.file("a.vnp"));
            sides[limit][1] = readFile(dir.file("a.vnn"));
            EXPECT_EQ(sides[limit][0], model::sideFile(readFile(dir.file("a.buf")), true, -8.0));
            EXPECT_EQ(sides[limit][1], model::sideFile(readFile(dir.file("a.buf")), false, 8.0));
        }
        EXPECT_EQ(sides[0][0], sides[1][0]);
        EXPECT_EQ(sides[0][1], sides[1][1]);
    }
}

TEST(CurveConstruction, PointsByNumberAndCrossingsAsSinglesGiveTheCurveOfTheirValues)
{
    // The curve keeps prepared points by their numbers and crossings as singles, comparing a
    // crossing's single with the reach and reading its digits back only in a close call. Fed
    // the same records by value, it must write the same files: crossings at, and a few floats
    // either side of, values the reach takes.
    std::mt19937_64 rng(31);
    for (int round = 0; round < 40; ++round) {
        run::PreparedPoints points;
        std::uniform_real_distribution<double> step(-1.0, 1.0);
        double x = 0;
        for (int i = 0; i < 300; ++i) {
            x += step(rng);
            points.x.push_back(run::roundTripDouble(std::round(x * 1e4) / 1e4));
            points.y.push_back(run::roundTripDouble(std::round(step(rng) * 5e4) / 1e4));
        }
        TempFolder dir;
        RecordingHost host;
        run::CurveStream compact(-1.0, 1.0, &points);
        run::CurveStream byValue(-1.0, 1.0);
        std::int64_t group = 1;
        for (std::size_t i = 0; i < points.size(); ++i) {
            compact.takePoint(i, points.x[i], points.y[i], group);
            byValue.take(points.x[i], points.y[i], group);
            for (int c = static_cast<int>(rng() % 3); c > 0; --c) {
                // Near a recent point's X: the reach is often one.
                const double near = points.x[i - std::min<std::size_t>(i, rng() % 4)];
                auto cx = static_cast<float>(near * (1 + static_cast<double>(rng() % 5) * 1e-7));
                for (int k = static_cast<int>(rng() % 5) - 2; k != 0; k += k > 0 ? -1 : 1)
                    cx = std::nextafter(cx, k > 0 ? HUGE_VALF : -HUGE_VALF);
                const auto cy = static_cast<float>(step(rng));
                compact.takeCrossing(cx, cy, group);
                byValue.take(run::readBackSingle(cx), run::readBackSingle(cy), group);
                ++group;
            }
        }
        std::string files[2][2];
        run::CurveSides sides[2];
        for (int k = 0; k < 2; ++k) {
            run::CurveStream& stream = k == 0 ? compact : byValue;
            stream.finish(host, dir.file("a.vnp"), dir.file("a.vnn"))->close();
            files[k][0] = readFile(dir.file("a.vnp"));
            files[k][1] = readFile(dir.file("a.vnn"));
            sides[k] = stream.takeSides();
        }
        EXPECT_EQ(files[0][0], files[1][0]) << round;
        EXPECT_EQ(files[0][1], files[1][1]) << round;
        EXPECT_EQ(sides[0].positive.x, sides[1].positive.x) << round;
        EXPECT_EQ(sides[0].negative.y, sides[1].negative.y) << round;
        EXPECT_GT(files[0][0].size() + files[0][1].size(), 200u);
    }
}

TEST(CurveConstruction, FirstRecordAndStrictReach)
{
    // A record that never crosses itself, from (0, 0) with X on both sides of 0.
    run::CrossRecords r;
    for (auto [x, y] :
        { std::pair { 0.0, 0.0 }, { 1.0, 2.0 }, { 2.0, -1.0 }, { -1.0, -3.0 }, { -2.0, 1.0 } })
        r.add(x, y, 1, 100);
    TempFolder dir;
    RecordingHost host;
    run::buildCurves(host, r, -2.0, 2.0, dir.file("a.vnp"), dir.file("a.vnn"))->close();
    EXPECT_EQ(readFile(dir.file("a.vnp")),
        " X-axis        Y-axis\r\n 0             0 \r\n 0             0 \r\n 1             2 \r\n"
        "-2             1 \r\n");
    EXPECT_EQ(readFile(dir.file("a.vnn")),
        " X-axis        Y-axis\r\n 0             0 \r\n 2            -1 \r\n-1            -3 \r\n");

    // A later group whose first record lies exactly at the reach is not taken up there; its
    // next record beyond the reach takes it up.
    run::CrossRecords s;
    s.add(-1.0, 1.0, 1, 100);
    s.add(-2.0, 1.0, 2, 100);
    s.add(3.0, 1.0, 2, 100);
    TempFolder dir2;
    run::buildCurves(host, s, -2.0, 2.0, dir2.file("a.vnp"), dir2.file("a.vnn"))->close();
    EXPECT_EQ(readFile(dir2.file("a.vnp")),
        " X-axis        Y-axis\r\n-1             1 \r\n-1             1 \r\n 3             1 \r\n");
    EXPECT_EQ(readFile(dir2.file("a.vnn")), " X-axis        Y-axis\r\n");
}
