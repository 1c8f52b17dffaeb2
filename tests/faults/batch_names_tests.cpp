// varnel-batch across the files of one batch: names that clash with another argument's data
// file, name bases shared under two spellings, pictures that cannot be made, interrupts sent
// to the real process, and command-line values that are no plain numbers.
#include "batch_process.h"
#include "folder_snapshot.h"
#include "run/run_driver.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string kRefused = run::outputFileErrorMessage(run::FailureCode::PathFileAccessError);

// Runs varnel-batch with `folder` as the working folder, for relative names.
BatchResult batchIn(const fs::path& folder, const std::vector<std::string>& args)
{
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    BatchResult r = runProgram(VARNEL_BATCH, args);
    fs::current_path(before);
    return r;
}

bool hasLine(const BatchResult& r, const std::string& line)
{
    const std::vector<std::string> lines = r.errorLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string generated(int samples)
{
    const BatchResult r =
        runProgram(VARNEL_GENERATE, { "--samples", std::to_string(samples), "--noise", "0.01" });
    EXPECT_EQ(r.status, 0);
    return r.out;
}

class BatchNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_record = readFile(fs::path(EXAMPLES_DIR) / "brace.dat");
        ASSERT_FALSE(m_record.empty());
    }

    TempFolder m_dir;
    std::string m_record;
};

// A run whose names include another argument's data file is refused before anything runs;
// the other runs go on, and nothing but their own names changes.
TEST_F(BatchNames, ARunNeverWritesAnotherArgumentsDataFile)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string refused;  // the argument whose run is refused
        std::string clash;  // the name in its detail
        std::set<std::string> written;  // what the batch may change
    };

    const Case cases[] = {
        { { "a.prn", "a.bu0" }, "a.prn", "a.bu0", {} },
        { { "a.vnp", "a.prn" }, "a.prn", "a.vnp", {} },
        { { "a.prn", "./sub/../a.vnn" }, "a.prn", "a.vnn", {} },
        { { "b.prn", "link.dat" }, "b.prn", "b.vnp",
            { "link.bu0", "link.buf", "link.vnp", "link.vnn", "link.vnl" } },
#ifdef VARNEL_WITH_PLOT
        // a.png's own run goes on (its picture would be itself, so it draws none).
        { { "--plot", "png", "a.prn", "a.png" }, "a.prn", "a.png",
            { "a.bu0", "a.buf", "a.vnp", "a.vnn", "a.vnl" } },
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        fs::remove_all(m_dir.path());
        fs::create_directories(m_dir.path() / "sub");
        for (const char* name : { "a.prn", "a.bu0", "a.vnp", "a.vnn", "a.png", "b.prn" })
            writeFile(m_dir.file(name), m_record + name);
        // link.dat is b.vnp under another name: b's run would overwrite it.
        fs::create_symlink("b.vnp", m_dir.path() / "link.dat");
        writeFile(m_dir.file("b.vnp"), m_record);
        const auto before = snapshot(m_dir.path());
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "--quiet");
        const BatchResult r = batchIn(m_dir.path(), args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(hasLine(r, c.refused + ": " + kRefused)) << r.err;
        EXPECT_NE(r.err.find(c.refused + ": " + c.clash + " is the data file"), std::string::npos)
            << r.err;
        for (const std::string& name : changedNames(before, snapshot(m_dir.path())))
            EXPECT_EQ(c.written.count(name), 1u) << name << " changed";
    }
}

// "abc" and "./xyz" share the name base of one folder: with two jobs they still run one after
// the other, so neither finds the other holding the names.
TEST_F(BatchNames, SharedNameBaseUnderTwoSpellingsRunsInTurn)
{
    const std::string record = generated(20000);
    writeFile(m_dir.file("abc"), record);
    writeFile(m_dir.file("xyz"), record);
    const BatchResult r = batchIn(
        m_dir.path(), { "--jobs", "2", "--x-column", "2", "--y-column", "3", "abc", "./xyz" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(hasLine(r, "abc: Finish")) << r.err;
    EXPECT_TRUE(hasLine(r, "./xyz: Finish")) << r.err;
}

// SIGINT or SIGTERM to the real process: the running run stops, the files after it are named
// as not run, their names are not touched, and the status is 130.
TEST_F(BatchNames, InterruptNamesTheFilesNotRun)
{
    const std::string record = generated(60000);
    for (const int signal : { SIGINT, SIGTERM }) {
        SCOPED_TRACE(signal);
        fs::remove_all(m_dir.path());
        fs::create_directories(m_dir.path());
        writeFile(m_dir.file("long.prn"), record);
        writeFile(m_dir.file("next.prn"), m_record);
        const auto before = snapshot(m_dir.path());
        const BatchResult r = runProgram(VARNEL_BATCH,
            { "--x-column", "2", "--y-column", "3", m_dir.file("long.prn"),
                m_dir.file("next.prn") },
            false, std::chrono::seconds(60), [&](const std::string& line, pid_t pid) {
                if (line.find("Cross checking...") != std::string::npos)
                    ::kill(pid, signal);
            });
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_TRUE(hasLine(r, m_dir.file("long.prn") + ": interrupted")) << r.err;
        EXPECT_TRUE(hasLine(r, m_dir.file("next.prn") + ": not run, the batch was interrupted"))
            << r.err;
        EXPECT_EQ(r.err.find("Finish"), std::string::npos) << r.err;
        const std::set<std::string> own = runNames("long.prn");
        for (const std::string& name : changedNames(before, snapshot(m_dir.path())))
            EXPECT_EQ(own.count(name), 1u) << name << " changed";
    }
}

// Slips on the command line are usage errors that name the option; plain numbers in every
// spelling the help allows still run.
TEST_F(BatchNames, OptionValuesMustBePlainNumbers)
{
    writeFile(m_dir.file("a.prn"), m_record);
    const std::string data = m_dir.file("a.prn");
    const std::vector<std::vector<std::string>> refused = {
        { "--x-column", "--y-column", "3" },
        { "--x-coefficient=--2" },
        { "--x-column", "abc" },
        { "--y-column", "2.0" },
        { "--y-coefficient", "1,5" },
        { "--x-coefficient", "1e" },
        { "--x-coefficient", "." },
        { "--skip-lines", "2x" },
        { "--skip-lines", "" },
    };
    for (std::vector<std::string> args : refused) {
        SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
        const std::string option = args[0].substr(0, args[0].find('='));
        args.push_back(data);
        const BatchResult r = runProgram(VARNEL_BATCH, args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(m_dir.file("a.vnp")));
    }
    const BatchResult r = runProgram(VARNEL_BATCH,
        { "--quiet", "--x-coefficient", "-.5", "--y-coefficient", "+2.5E-1", "--skip-lines", "+0",
            "--x-column", "1", data });
    EXPECT_EQ(r.status, 0) << r.err;
}

// Control characters in a file name are spelt out, never written to the terminal as they are.
TEST_F(BatchNames, ControlCharactersInNamesAreShownEscaped)
{
    // C0 and C1 controls (the latter as UTF-8 and as a raw byte), and a Latin-1 byte; a valid
    // UTF-8 character stays as it is.
    const std::string name = m_dir.file("odd\nname\x1b[2J\xc2\x9b\x9b\xe9\xc3\xa9.prn");
    writeFile(name, m_record);
    const BatchResult r = runProgram(VARNEL_BATCH, { name });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        hasLine(r, m_dir.file("odd\\nname\\x1b[2J\\xc2\\x9b\\x9b\\xe9\xc3\xa9.prn") + ": Finish"))
        << r.err;
    for (const char c : { '\x1b', '\x9b', '\xe9' })
        EXPECT_EQ(r.err.find(c), std::string::npos);
}

#ifdef VARNEL_WITH_PLOT

// Every name a job writes is the data file's bytes with the name part changed, whatever the
// encoding: two names that differ in a byte that is no UTF-8 never share a file, and a file
// whose name holds the replacement character is not theirs.
TEST_F(BatchNames, NamesAreTheDataFilesBytes)
{
    const std::string latin = m_dir.file("a\xe9.prn");
    const std::string other = m_dir.file("a\xff.prn");
    writeFile(latin, m_record);
    writeFile(other, m_record + "0 0\n");
    writeFile(m_dir.file("a\xef\xbf\xbd.png"), "the user's own picture");
    const auto before = snapshot(m_dir.path());
    const BatchResult r = runProgram(VARNEL_BATCH,
        { "--x-column", "1", "--y-column", "2", "--plot", "png", "--cycles", latin, other });
    EXPECT_EQ(r.status, 0) << r.err;
    std::set<std::string> expected;
    for (const char* base : { "a\xe9.", "a\xff." })
        for (const char* part :
            { "vnp", "vnn", "png", "cycles.csv", "envelope.csv", "backbone.csv" })
            expected.insert(std::string(base) + part);
    EXPECT_EQ(changedNames(before, snapshot(m_dir.path())), expected);
    EXPECT_NE(readFile(m_dir.file("a\xe9.png")), readFile(m_dir.file("a\xff.png")));
    // Shown escaped, never as the raw byte.
    EXPECT_TRUE(hasLine(r, m_dir.file("a\\xe9.prn") + ": picture " + m_dir.file("a\\xe9.png")))
        << r.err;
}

// A picture that cannot be made is refused before the run, and a link at its name is never
// written through.
TEST_F(BatchNames, PictureNamesThatCannotBeWrittenAreRefusedFirst)
{
    TempFolder elsewhere;

    struct Case
    {
        std::string picture;
        std::string code;
        std::string detail;
    };

    const Case cases[] = {
        { m_dir.file("missing/p.png"), "(76)", "cannot write the picture" },
        { m_dir.file("link.png"), "(75)", "is a symbolic link" },
        { m_dir.file("dangling.svg"), "(75)", "is a symbolic link" },
    };
    writeFile(elsewhere.file("victim.png"), "the user's own picture");
    fs::create_symlink(elsewhere.file("victim.png"), m_dir.path() / "link.png");
    fs::create_symlink(elsewhere.file("new.svg"), m_dir.path() / "dangling.svg");
    writeFile(m_dir.file("a.prn"), m_record);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        const auto before = snapshot(m_dir.path());
        const auto outside = snapshot(elsewhere.path());
        const BatchResult r =
            runProgram(VARNEL_BATCH, { "--plot", c.picture, m_dir.file("a.prn") });
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("another application. " + c.code), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.detail), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Data reading"), std::string::npos) << r.err;
        EXPECT_TRUE(changedNames(before, snapshot(m_dir.path())).empty());
        EXPECT_TRUE(changedNames(outside, snapshot(elsewhere.path())).empty());
    }
}

#endif

}  // namespace
