// Real file-system faults under varnel-batch: each fault is provoked for real (a folder where
// a file should be, a missing folder, /dev/full, FIFOs, another user's permission bits), and
// each test checks the exit status, the message, and exactly what the folder holds after.
#include "batch_process.h"
#include "folder_snapshot.h"
#include "run/run_driver.h"
#include "settings/run_settings.h"
#include "tests/support/recording_host.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using run::dataErrorMessage;
using run::FailureCode;
using run::outputFileErrorMessage;
using run::sameXErrorMessage;

namespace {

const std::string kProbe = "Test output\r\n";
const std::string kFolder = "<folder>";

std::string golden(const std::string& name)
{
    return readFile(fs::path(TEST_DATA_DIR) / "examples" / "brace_kept" / name);
}

// An entry as the expectations spell it: a file's bytes, "<folder>", or "-> target".
std::string describe(const fs::path& path)
{
    const fs::file_status st = fs::symlink_status(path);
    if (fs::is_symlink(st))
        return "-> " + fs::read_symlink(path).string();
    if (fs::is_directory(st))
        return kFolder;
    if (fs::is_fifo(st))
        return "<fifo>";
    return readFile(path);
}

using Listing = std::map<std::string, std::string>;

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_record = readFile(fs::path(EXAMPLES_DIR) / "brace.dat");
        ASSERT_FALSE(m_record.empty());
        writeFile(dataPath(), m_record);
        // Neighbours with names close to the run's own: none of them may change.
        for (const char* name : { "rec.VNP", "rec.vnp.bak", "rec2.vnp", "rec.vn", "notes.txt" })
            writeFile(m_dir.file(name), std::string("neighbour ") + name + "\r\n");
        fs::create_symlink("notes.txt", m_dir.path() / "link.vnp");
    }

    std::string dataPath() const
    {
        return m_dir.file("rec.prn");
    }

    BatchResult batch(std::vector<std::string> args, bool asNobody = false)
    {
        args.insert(args.begin(), "--quiet");
        return runProgram(VARNEL_BATCH, args, asNobody);
    }

    // The data file and the run's five names as they stand now (absent ones left out).
    Listing runFiles(const std::string& dataName = "rec.prn") const
    {
        Listing listing;
        std::set<std::string> names = runNames(dataName);
        names.insert(dataName);
        for (const std::string& name : names)
            if (fs::exists(fs::symlink_status(m_dir.path() / name)))
                listing[name] = describe(m_dir.path() / name);
        return listing;
    }

    // A failed run: status 1 and the message on a line of its own, naming the data file.
    static void expectFailure(
        const BatchResult& r, const std::string& path, const std::string& message)
    {
        EXPECT_EQ(r.status, 1) << r.err;
        const std::vector<std::string> lines = r.errorLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), path + ": " + message), lines.end())
            << "stderr was:\n"
            << r.err;
    }

    // Only the run's own names changed, and the data file kept its bytes.
    void expectNothingLost(const std::map<std::string, EntryPrint>& before,
        const std::string& dataName = "rec.prn") const
    {
        const std::set<std::string> own = runNames(dataName);
        for (const std::string& name : changedNames(before, snapshot(m_dir.path())))
            EXPECT_TRUE(own.count(name) == 1 && name != dataName) << name << " changed";
    }

    TempFolder m_dir;
    std::string m_record;
    long m_points = 0;
};

// ---- output files that cannot be written ----

TEST_F(Faults, FolderInThePlaceOfACurveFile)
{
    fs::create_directory(m_dir.path() / "rec.vnp");
    auto before = snapshot(m_dir.path());
    BatchResult r = batch({ dataPath() });
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record }, { "rec.vnp", kFolder } }));
    expectNothingLost(before);

    fs::remove(m_dir.path() / "rec.vnp");
    fs::create_directory(m_dir.path() / "rec.vnn");
    before = snapshot(m_dir.path());
    r = batch({ dataPath() });
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(),
        (Listing { { "rec.prn", m_record }, { "rec.vnp", kProbe }, { "rec.vnn", kFolder } }));
    expectNothingLost(before);
}

// A FIFO nobody reads would block the run for ever: it fails at once as a device not ready.
TEST_F(Faults, FifoInThePlaceOfACurveFile)
{
    ASSERT_EQ(::mkfifo(m_dir.file("rec.vnp").c_str(), 0644), 0);
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() });
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::DiskNotReady));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record }, { "rec.vnp", "<fifo>" } }));
    expectNothingLost(before);
}

TEST_F(Faults, MissingFolder)
{
    const auto before = snapshot(m_dir.path());
    const std::string path = m_dir.file("gone/rec.prn");
    const BatchResult r = batch({ path });
    expectFailure(r, path, outputFileErrorMessage(FailureCode::PathNotFound));
    EXPECT_FALSE(fs::exists(m_dir.path() / "gone"));
    EXPECT_TRUE(changedNames(before, snapshot(m_dir.path())).empty());
}

// A symbolic link to /dev/full makes every write to that name fail with "disk full", at
// whatever stage of the run the file is written. The link itself must survive.
TEST_F(Faults, FullDiskAtEachFileOfTheRun)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // The prepared point count is the point the cross check had reached when its file failed.
    {
        TempFolder kept;
        writeFile(kept.file("rec.prn"), m_record);
        ASSERT_EQ(
            runProgram(VARNEL_BATCH, { "--quiet", "--keep-working-files", kept.file("rec.prn") })
                .status,
            0);
        const std::string points = readFile(kept.file("rec.bu0"));
        m_points = std::count(points.begin(), points.end(), '\n');
    }

    struct Case
    {
        std::string full;
        bool oneFile;
        std::string message;
        Listing after;
    };

    const std::string full = "-> /dev/full";
    const Case cases[] = {
        { "rec.vnp", false, outputFileErrorMessage(FailureCode::DiskFull),
            { { "rec.vnp", full } } },
        { "rec.vnn", false, outputFileErrorMessage(FailureCode::DiskFull),
            { { "rec.vnp", kProbe }, { "rec.vnn", full } } },
        { "rec.bu0", false, dataErrorMessage(FailureCode::DiskFull),
            { { "rec.vnp", kProbe }, { "rec.vnn", kProbe }, { "rec.bu0", full } } },
        { "rec.buf", false, sameXErrorMessage(m_points),
            { { "rec.vnp", kProbe }, { "rec.vnn", kProbe }, { "rec.buf", full } } },
        // The finishing stage: the side files stay whole, the cross-check file is gone.
        { "rec.vnl", true, outputFileErrorMessage(FailureCode::DiskFull),
            { { "rec.vnp", golden("brace.vnp") }, { "rec.vnn", golden("brace.vnn") },
                { "rec.vnl", full } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.full);
        for (const std::string& name : runNames("rec.prn"))
            fs::remove(m_dir.path() / name);
        fs::create_symlink("/dev/full", m_dir.path() / c.full);
        const auto before = snapshot(m_dir.path());
        std::vector<std::string> args = { dataPath() };
        if (c.oneFile)
            args.insert(args.begin(), "--one-file");
        const BatchResult r = batch(args);
        expectFailure(r, dataPath(), c.message);
        Listing expected = c.after;
        expected["rec.prn"] = m_record;
        EXPECT_EQ(runFiles(), expected);
        expectNothingLost(before);
    }
}

// ---- the data file ----

// A data file whose name is one of the run's own would be emptied by the run: refused before
// anything is written, whatever the mode, also through a link or a second name.
TEST_F(Faults, DataFileNamedLikeTheRunsOwnFiles)
{
    for (const char* part : { "bu0", "buf", "vnp", "vnn", "vnl" }) {
        for (const bool oneFile : { false, true }) {
            const std::string name = std::string("own.") + part;
            SCOPED_TRACE(name + (oneFile ? " one file" : " two files"));
            writeFile(m_dir.file(name), m_record);
            const auto before = snapshot(m_dir.path());
            std::vector<std::string> args = { m_dir.file(name) };
            if (oneFile)
                args.insert(args.begin(), "--one-file");
            const BatchResult r = batch(args);
            expectFailure(
                r, m_dir.file(name), outputFileErrorMessage(FailureCode::PathFileAccessError));
            EXPECT_EQ(runFiles(name), (Listing { { name, m_record } }));
            EXPECT_TRUE(changedNames(before, snapshot(m_dir.path())).empty());
            fs::remove(m_dir.file(name));
        }
    }
    // The same file under a run's name by a symbolic link and by a hard link.
    fs::create_symlink("rec.prn", m_dir.path() / "rec.vnn");
    BatchResult r = batch({ dataPath() });
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record }, { "rec.vnn", "-> rec.prn" } }));
    fs::remove(m_dir.path() / "rec.vnn");
    fs::create_hard_link(dataPath(), m_dir.path() / "rec.bu0");
    r = batch({ dataPath() });
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record }, { "rec.bu0", m_record } }));
}

// Reading a FIFO, a folder or an endless device would hang or fail obscurely: refused after
// the probe, with the probe's lines left in both curve files.
TEST_F(Faults, DataFileThatIsNoRegularFile)
{
    struct Case
    {
        const char* what;
        std::function<void(const std::string&)> make;
        std::string shown;
    };

    const Case cases[] = {
        { "FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, "<fifo>" },
        { "folder", [](const std::string& p) { fs::create_directory(p); }, kFolder },
        { "link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
            "-> /dev/zero" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : runNames("rec.prn"))
            fs::remove(m_dir.path() / name);
        fs::remove(dataPath());
        c.make(dataPath());
        const auto before = snapshot(m_dir.path());
        const BatchResult r = batch({ dataPath() });
        expectFailure(r, dataPath(), dataErrorMessage(FailureCode::PathFileAccessError));
        EXPECT_EQ(runFiles(),
            (Listing { { "rec.prn", c.shown }, { "rec.vnp", kProbe }, { "rec.vnn", kProbe } }));
        expectNothingLost(before);
    }
}

TEST_F(Faults, DataFileMissing)
{
    fs::remove(dataPath());
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() });
    expectFailure(r, dataPath(), dataErrorMessage(FailureCode::FileNotFound));
    EXPECT_EQ(runFiles(), (Listing { { "rec.vnp", kProbe }, { "rec.vnn", kProbe } }));
    expectNothingLost(before);
}

// The data file disappears or is cut short while the run has the window's events processed
// (a logger or the user acting meanwhile).
class VanishingHost : public RecordingHost
{
public:
    std::function<void()> atSecondYield;

    bool yield() override
    {
        if (yields == 1 && atSecondYield)
            atSecondYield();
        return RecordingHost::yield();
    }
};

TEST_F(Faults, DataFileChangedWhileTheRunYields)
{
    struct Case
    {
        const char* what;
        std::function<void()> change;
        std::string message;
    };

    const Case cases[] = {
        { "deleted", [&] { fs::remove(dataPath()); }, dataErrorMessage(FailureCode::FileNotFound) },
        { "emptied", [&] { writeFile(dataPath(), ""); },
            dataErrorMessage(FailureCode::InputPastEnd) },
        { "replaced by a folder",
            [&] {
                fs::remove(dataPath());
                fs::create_directory(dataPath());
            },
            dataErrorMessage(FailureCode::PathFileAccessError) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dataPath());
        writeFile(dataPath(), m_record);
        VanishingHost host;
        host.atSecondYield = c.change;
        settings::RunSettings s;
        settings::applyStartupDefaults(s);
        s.DataFilePath = dataPath();
        const run::RunReport report = run::runVarnel(host, s, "1", "1");
        EXPECT_EQ(report.outcome, run::RunOutcome::Failed);
        ASSERT_EQ(host.errors, std::vector<std::string> { c.message });
        EXPECT_EQ(host.statuses.back(), "");
        EXPECT_EQ(readFile(m_dir.file("rec.vnp")), kProbe);
        EXPECT_FALSE(fs::exists(m_dir.file("rec.bu0")));
    }
}

// ---- permissions, as an unprivileged user (root writes through permission bits) ----

class PermissionFaults : public Faults
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to act as another user";
        if (setprivPath().empty())
            GTEST_SKIP() << "setpriv is missing";
        Faults::SetUp();
        // The tool must be reachable by "nobody" along its whole path.
        if (runProgram(VARNEL_BATCH, { "--version" }, true).status != 0)
            GTEST_SKIP() << "varnel-batch cannot be run as nobody here";
        fs::permissions(dataPath(), fs::perms(0644));
    }
};

TEST_F(PermissionFaults, ReadOnlyCurveFile)
{
    fs::permissions(m_dir.path(), fs::perms(0777));
    writeFile(m_dir.file("rec.vnp"), "an earlier curve\r\n");
    fs::permissions(m_dir.file("rec.vnp"), fs::perms(0444));
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() }, true);
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(
        runFiles(), (Listing { { "rec.prn", m_record }, { "rec.vnp", "an earlier curve\r\n" } }));
    EXPECT_TRUE(changedNames(before, snapshot(m_dir.path())).empty());
}

TEST_F(PermissionFaults, FolderThatCannotBeWritten)
{
    fs::permissions(m_dir.path(), fs::perms(0755));
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() }, true);
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PermissionDenied));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record } }));
    EXPECT_TRUE(changedNames(before, snapshot(m_dir.path())).empty());
}

TEST_F(PermissionFaults, DataFileThatCannotBeRead)
{
    fs::permissions(m_dir.path(), fs::perms(0777));
    fs::permissions(dataPath(), fs::perms(0600));
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() }, true);
    expectFailure(r, dataPath(), dataErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(),
        (Listing { { "rec.prn", m_record }, { "rec.vnp", kProbe }, { "rec.vnn", kProbe } }));
    expectNothingLost(before);
}

// ---- nothing lost on the example records ----

struct Example
{
    const char* data;
    std::vector<std::string> options;
    std::set<std::string> parts;  // name parts left by a finished run
};

TEST_F(Faults, EveryExampleChangesOnlyItsOwnFiles)
{
    const Example examples[] = {
        { "cyclic_wall.prn", { "--skip-lines", "2", "--x-column", "2", "--y-column", "3" },
            { "vnp", "vnn" } },
        { "cyclic_wall.prn",
            { "--skip-lines", "2", "--x-column", "2", "--y-column", "3", "--one-file" },
            { "vnl" } },
        { "beam_column.csv",
            { "--skip-lines", "1", "--x-column", "2", "--y-column", "3", "--x-coefficient", "0.1",
                "--y-coefficient", "1000" },
            { "vnp", "vnn" } },
        { "brace.dat", { "--one-file", "--keep-working-files" },
            { "bu0", "buf", "vnp", "vnn", "vnl" } },
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.data);
        TempFolder folder;
        const std::string data = readFile(fs::path(EXAMPLES_DIR) / e.data);
        writeFile(folder.file(e.data), data);
        for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR))
            if (entry.path().filename() != e.data)
                fs::copy_file(entry.path(), folder.path() / entry.path().filename());
        const std::string name = e.data;
        const std::string base = name.substr(0, name.size() - 3);
        writeFile(folder.file(base + "old"), "an unrelated file with the same base\r\n");
        // Twice: the second run replaces the first one's files and nothing else.
        for (int round = 0; round < 2; ++round) {
            const auto before = snapshot(folder.path());
            std::vector<std::string> args = e.options;
            args.insert(args.begin(), "--quiet");
            args.push_back(folder.file(e.data));
            const BatchResult r = runProgram(VARNEL_BATCH, args);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            const std::set<std::string> own = runNames(name);
            for (const std::string& changed : changedNames(before, snapshot(folder.path())))
                EXPECT_TRUE(own.count(changed)) << changed << " changed";
            EXPECT_EQ(readFile(folder.file(e.data)), data);
            for (const std::string& n : own)
                EXPECT_EQ(fs::exists(folder.file(n)), e.parts.count(n.substr(n.size() - 3)) == 1)
                    << n;
        }
    }
}

}  // namespace
