// Inputs at the edges of what the run can hold: a line of megabytes, values of thousands of
// digits, paths of the longest length the system takes, names that are not ASCII or not
// UTF-8 at all. Each ends in a correct run or a clear failure, never a crash.
#include "batch_process.h"
#include "folder_snapshot.h"
#include "run/run_driver.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using run::dataErrorMessage;
using run::FailureCode;
using run::outputFileErrorMessage;

namespace {

bool hasLine(const BatchResult& r, const std::string& line)
{
    for (const std::string& l : r.errorLines())
        if (l == line)
            return true;
    return false;
}

// A small record that crosses itself, with `columns` values per line; X and Y in 1 and 2.
std::string record(const std::string& extraValue = "7")
{
    std::string text;
    const double xs[] = { 0, 1, 2, 1, -1, -2, -1, 1, 3, 2, 0, -3, -2, 0, 4 };
    for (int i = 0; i < 15; ++i) {
        const double x = xs[i];
        const double y = (i % 4 < 2 ? 1.0 : -1.0) * (1.0 + x * x) + 0.25 * i;
        text += std::to_string(x) + " " + std::to_string(y) + " " + extraValue + "\r\n";
    }
    return text;
}

BatchResult batch(const std::string& path, std::vector<std::string> options = {})
{
    options.insert(options.begin(), "--quiet");
    options.push_back("--");
    options.push_back(path);
    return runProgram(VARNEL_BATCH, options);
}

}  // namespace

TEST(ResourceBounds, LineOfMegabytes)
{
    TempFolder dir;
    // A 3 MB value in a column that is not read: the run goes on.
    const std::string huge(3 << 20, '9');
    writeFile(dir.file("wide.prn"), record(huge));
    BatchResult r = batch(dir.file("wide.prn"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fileExists(dir.file("wide.vnp")));

    // The same value in the X column is no number anyone wrote.
    writeFile(dir.file("x.prn"), record() + huge + " 1 7\r\n");
    r = batch(dir.file("x.prn"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(hasLine(r, dir.file("x.prn") + ": " + dataErrorMessage(FailureCode::TypeMismatch)))
        << r.err;

    // One line of 400,000 values per sample.
    std::string line;
    for (int i = 0; i < 400000; ++i)
        line += " 1";
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += std::to_string(i % 2 ? -i : i) + " " + std::to_string(i * i) + line + "\r\n";
    writeFile(dir.file("many.prn"), text);
    r = batch(dir.file("many.prn"));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(ResourceBounds, ValuesOfThousandsOfDigits)
{
    TempFolder dir;
    const std::string zeros(5000, '0');
    // Too large for a double: overflow. Too small: zero. Long but ordinary: read exactly.
    writeFile(dir.file("big.prn"), record() + "1" + zeros + " 1 7\r\n");
    BatchResult r = batch(dir.file("big.prn"));
    EXPECT_TRUE(hasLine(r, dir.file("big.prn") + ": " + dataErrorMessage(FailureCode::Overflow)))
        << r.err;

    std::string text = record();
    text.insert(0, "0." + zeros + "1 0." + zeros + "1 0\r\n");
    writeFile(dir.file("tiny.prn"), text);
    r = batch(dir.file("tiny.prn"), { "--keep-working-files" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("tiny.bu0")).substr(0, 19), " 0             0 \r\n");

    writeFile(dir.file("long.prn"), "1." + zeros + "1 2." + zeros + " 7\r\n" + record());
    r = batch(dir.file("long.prn"), { "--keep-working-files" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("long.bu0")).substr(0, 19), " 1             2 \r\n");

    // A coefficient of thousands of digits cannot be held in single precision: refused
    // before any file is touched.
    writeFile(dir.file("coef.prn"), record());
    r = batch(dir.file("coef.prn"), { "--x-coefficient", "1" + zeros });
    EXPECT_TRUE(hasLine(r, dir.file("coef.prn") + ": " + dataErrorMessage(FailureCode::Overflow)))
        << r.err;
    EXPECT_FALSE(fileExists(dir.file("coef.vnp")));
}

// The longest path the system takes works; one byte more is a bad file name, before any data
// is read.
TEST(ResourceBounds, PathsOfTheLongestLength)
{
    TempFolder dir;
    fs::path folder = dir.path();
    const std::string part(200, 'd');
    while (folder.string().size() + 1 + part.size() + 1 + 255 < PATH_MAX - 1)
        folder /= part;
    fs::create_directories(folder);
    const std::size_t room = PATH_MAX - 1 - folder.string().size() - 1;
    const std::string name = std::string(std::min<std::size_t>(room, 255) - 4, 'n') + ".prn";
    const std::string path = (folder / name).string();
    ASSERT_LE(path.size(), std::size_t { PATH_MAX - 1 });
    writeFile(path, record());
    BatchResult r = batch(path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(path), record());
    EXPECT_TRUE(fileExists(path.substr(0, path.size() - 3) + "vnp"));

    // A name longer than a folder entry may be names no data file.
    const std::string dataError =
        ": This file includes error data or you may mistake column or skip indication. (52)";
    const std::string tooLong = (dir.path() / (std::string(260, 'n') + ".prn")).string();
    r = batch(tooLong);
    EXPECT_TRUE(hasLine(r, tooLong + dataError)) << r.err;
    const std::string beyond = folder.string() + "/" + std::string(PATH_MAX, 'p');
    r = batch(beyond);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(hasLine(r, beyond + dataError));
}

// Names are the file system's bytes: UTF-8 text loses its last three characters, other bytes
// their last three bytes.
TEST(ResourceBounds, NamesThatAreNotAscii)
{
    struct Case
    {
        std::string data;
        std::string positive;
    };

    const Case cases[] = {
        { "試験データ.prn", "試験データ.vnp" },
        { "記録ファイル", "記録フvnp" },  // three characters, nine bytes
        { "d\xFF\xFE\x80.prn", "d\xFF\xFE\x80.vnp" },
        { "raw\xE3\x81", "ravnp" },  // cut UTF-8: the last three bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.positive);
        TempFolder dir;
        writeFile(dir.file(c.data), record());
        const auto before = snapshot(dir.path());
        const BatchResult r = batch(dir.file(c.data));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(dir.file(c.data)), record());
        EXPECT_TRUE(fileExists(dir.file(c.positive)));
        EXPECT_EQ(changedNames(before, snapshot(dir.path())).size(), 2u);
    }
}
