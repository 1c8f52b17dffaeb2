#include "run/data_reader.h"
#include "run/run_failure.h"
#include "tests/support/recording_host.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct Read
{
    run::PreparedPoints points;
    run::Rows rows;
    std::vector<std::string> header;
    std::int64_t dataValues = 0;
    run::RecordExtremes extremes;
    std::string pointFile;
    std::string failure;  // code, line and message
};

Read read(const std::string& data, run::Threads threads, const TempFolder& dir, int stopAfter = -1,
    bool withPointFile = true)
{
    settings::RunSettings s;
    s.XColumn = 2;
    s.YColumn = 3;
    s.XCoefficient = 1.0f;
    s.YCoefficient = 2.0f;
    s.SkipLines = 1;
    s.DataFilePath = dir.file("data.txt");
    writeFile(s.DataFilePath, data);
    const std::string pointFile = withPointFile
        ? dir.file(threads == run::Threads::Two ? "two.bu0" : "one.bu0")
        : std::string();
    RecordingHost host;
    host.stopAfterYields = stopAfter;
    Read r;
    try {
        r.points = run::readDataFile(
            s, pointFile, r.extremes, &host, threads, { &r.rows, true, &r.header, &r.dataValues });
    } catch (const run::RunFailure& f) {
        r.failure = std::to_string(static_cast<int>(f.code())) + " " + std::to_string(f.line())
            + " " + f.what();
    } catch (const run::RunStopped&) {
        r.failure = "stopped";
    }
    if (withPointFile)
        r.pointFile = readFile(pointFile);
    return r;
}

// A cyclic record with repeated X values, sign changes of the load, blank lines and line ends
// of every kind, so that the preparation drops and inserts points. `lines` gets each data line's
// line number, counted as the text is made.
std::string record(std::mt19937_64& rng, int lines, std::vector<std::int64_t>* lineOf = nullptr)
{
    std::string text = "header\n";
    std::int64_t lineNumber = 1;
    const char* const ends[] = { "\n", "\r\n", "\r" };
    double x = 0.0;
    for (int i = 0; i < lines; ++i) {
        if (rng() % 5 != 0)
            x += std::uniform_real_distribution<double>(-0.5, 1.0)(rng);
        const double y = std::uniform_real_distribution<double>(-3.0, 3.0)(rng);
        char line[96];
        std::snprintf(line, sizeof line, "%d%s %.9g\t%.12g%s", i, rng() % 3 ? " " : ",", x, y,
            ends[rng() % 3]);
        text += line;
        if (lineOf)
            lineOf->push_back(++lineNumber);
        if (rng() % 50 == 0) {
            text += " \t\n";
            ++lineNumber;
        }
    }
    return text;
}

}  // namespace

TEST(DataReader, TwoThreadsReadAndFailAsOne)
{
    std::mt19937_64 rng(31);
    // Each bad line goes into the second half of a record, after the first chunks.
    const std::string badLines[] = {
        "",  // none
        "1 2 x3\n",  // not a number
        "1 2\n",  // another width
        "1 2 3 4\n",
        "1 2 1e400\n",  // too large
        "1 2 1e308\n",  // scaled by 2: not finite
        "1 1.7976931348623157e308 0\n",  // its 15 digits read back beyond the range
    };
    for (const std::string& bad : badLines) {
        std::vector<std::int64_t> lineOf;
        std::string data = record(rng, 3000, &lineOf);
        if (!bad.empty()) {
            const std::size_t at = data.find('\n', data.size() * 3 / 4) + 1;
            data.insert(at, bad + record(rng, 40).substr(7));
        }
        TempFolder dir;
        const Read one = read(data, run::Threads::One, dir);
        const Read two = read(data, run::Threads::Two, dir);
        // Without a point file the values skip the text wherever the exact path settles them.
        const Read unwritten = read(data, run::Threads::Two, dir, -1, false);
        EXPECT_EQ(one.failure, two.failure) << bad;
        EXPECT_EQ(one.failure, unwritten.failure) << bad;
        EXPECT_EQ(one.points.x, unwritten.points.x) << bad;
        EXPECT_EQ(one.points.y, unwritten.points.y) << bad;
        EXPECT_EQ(one.failure.empty(), bad.empty()) << bad << one.failure;
        EXPECT_TRUE(one.pointFile == two.pointFile) << bad;
        EXPECT_GT(one.pointFile.size(), 60000u) << bad;
        EXPECT_EQ(one.points.x, two.points.x) << bad;
        EXPECT_EQ(one.points.y, two.points.y) << bad;
        EXPECT_EQ(one.points.lines, two.points.lines) << bad;
        EXPECT_EQ(one.extremes.minX, two.extremes.minX);
        EXPECT_EQ(one.extremes.maxY, two.extremes.maxY);
        // Every data line as read, with its line in the file, blank lines and line ends counted.
        EXPECT_EQ(one.rows.x, two.rows.x) << bad;
        EXPECT_EQ(one.rows.y, two.rows.y) << bad;
        EXPECT_EQ(one.header, std::vector<std::string> { "header" });
        EXPECT_EQ(two.header, one.header);
        if (bad.empty()) {
            EXPECT_EQ(one.dataValues, 3);
            EXPECT_EQ(two.dataValues, 3);
            ASSERT_EQ(one.rows.lines.size(), lineOf.size());
            for (std::size_t r = 0; r < lineOf.size(); ++r) {
                ASSERT_EQ(one.rows.lines[r], lineOf[r]) << r;
                ASSERT_EQ(two.rows.lines[r], lineOf[r]) << r;
            }
        }
    }

    // A stop while the second thread parses ahead: it is joined before the stop comes out.
    TempFolder dir;
    const Read stopped = read(record(rng, 200000), run::Threads::Two, dir, 2);
    EXPECT_EQ(stopped.failure, "stopped");
}
