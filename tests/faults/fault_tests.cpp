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
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
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
    expectFailure(r, path, dataErrorMessage(FailureCode::PathNotFound));
    EXPECT_FALSE(fs::exists(m_dir.path() / "gone"));
    expectNothingLost(before);
}

// A small file system of its own, mounted for the test and gone with it.
class SmallDisk
{
public:
    SmallDisk(const fs::path& where, std::uintmax_t bytes)
        : m_path(where)
    {
        fs::create_directory(where);
        const std::string options = "size=" + std::to_string(bytes);
        m_mounted = ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }

    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }

    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const
    {
        return m_mounted;
    }

    std::uintmax_t blockSize() const
    {
        struct statvfs st
        {
        };

        ::statvfs(m_path.c_str(), &st);
        return st.f_bsize;
    }

    // Fills the disk with a file of its own until exactly `blocks` blocks are free.
    void leaveFree(std::uintmax_t blocks)
    {
        fs::remove(m_path / "filler");

        struct statvfs st
        {
        };

        ASSERT_EQ(::statvfs(m_path.c_str(), &st), 0);
        ASSERT_GE(st.f_bavail, blocks);
        writeFile(
            (m_path / "filler").string(), std::string((st.f_bavail - blocks) * st.f_bsize, 'f'));
        ASSERT_EQ(::statvfs(m_path.c_str(), &st), 0);
        ASSERT_EQ(st.f_bavail, blocks);
    }

private:
    fs::path m_path;
    bool m_mounted = false;
};

// The disk fills within each file of the run in turn. A full disk is a failure of the file
// system, never of the data: the output-file message with "disk full", and only the point
// file, written while the data are read, gives the data message.
TEST_F(Faults, FullDiskAtEachFileOfTheRun)
{
    // Growing cycles of many samples: every file of the run spans several blocks.
    std::string record;
    for (int i = 0; i < 6000; ++i) {
        const double t = i * 2 * M_PI / 200;
        const double a = 1 + t;
        record += std::to_string(a * std::sin(t)) + " " + std::to_string(a * std::cos(t)) + "\n";
    }
    writeFile(dataPath(), record);
    const std::vector<std::string> options = { "--quiet", "--one-file", "--keep-working-files" };
    std::map<std::string, std::uintmax_t> size;
    {
        TempFolder kept;
        writeFile(kept.file("rec.prn"), record);
        std::vector<std::string> args = options;
        args.push_back(kept.file("rec.prn"));
        ASSERT_EQ(runProgram(VARNEL_BATCH, args).status, 0);
        for (const char* part : { "bu0", "buf", "vnp", "vnn", "vnl" })
            size[part] = fs::file_size(kept.file(std::string("rec.") + part));
    }
    std::uintmax_t total = 0;
    for (const auto& [part, bytes] : size)
        total += bytes;
    SmallDisk disk(m_dir.path() / "disk", total + (64 << 12));
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const auto blocks = [&](const char* part) {
        return (size[part] + disk.blockSize() - 1) / disk.blockSize();
    };
    // The files in the order the run writes them; each curve file replaces its probe's line.
    const std::uintmax_t points = blocks("bu0");
    const std::uintmax_t checks = points + blocks("buf");
    ASSERT_GE(blocks("vnp"), 2u);
    ASSERT_GE(blocks("vnn"), 2u);

    struct Case
    {
        const char* part;
        std::uintmax_t freeBlocks;
        std::string message;
    };

    const Case cases[] = {
        { "vnp", 0, outputFileErrorMessage(FailureCode::DiskFull) },
        { "vnn", 1, outputFileErrorMessage(FailureCode::DiskFull) },
        { "bu0", 2, dataErrorMessage(FailureCode::DiskFull) },
        { "buf", 2 + checks - 1, outputFileErrorMessage(FailureCode::DiskFull) },
        { "vnp", checks + blocks("vnp"), outputFileErrorMessage(FailureCode::DiskFull) },
        { "vnn", checks + blocks("vnp") + blocks("vnn") - 1,
            outputFileErrorMessage(FailureCode::DiskFull) },
        { "vnl", checks + blocks("vnp") + blocks("vnn") + blocks("vnl") - 1,
            outputFileErrorMessage(FailureCode::DiskFull) },
    };
    const fs::path folder = m_dir.path() / "disk";
    const std::string data = (folder / "rec.prn").string();
    fs::create_symlink(dataPath(), data);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.part) + " with " + std::to_string(c.freeBlocks) + " free");
        for (const std::string& name : runNames("rec.prn"))
            fs::remove(folder / name);
        disk.leaveFree(c.freeBlocks);
        const auto before = snapshot(folder);
        std::vector<std::string> args = options;
        args.push_back(data);
        const BatchResult r = runProgram(VARNEL_BATCH, args);
        expectFailure(r, data, c.message);
        const std::string failed = (folder / (std::string("rec.") + c.part)).string();
        const std::vector<std::string> lines = r.errorLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                      data + ": " + failed + ": " + std::strerror(ENOSPC)),
            lines.end())
            << r.err;
        for (const std::string& name : changedNames(before, snapshot(folder)))
            EXPECT_TRUE(runNames("rec.prn").count(name)) << name << " changed";
    }
    EXPECT_EQ(readFile(dataPath()), record);
}

#ifdef VARNEL_WITH_PLOT

// A job's picture and tables are one set: when the disk fills while they are written, none of
// them replaces its older file, none is left half written beside it, and the message names the
// file and says that none was written.
TEST_F(Faults, AJobsPictureAndTablesAreWrittenAsOneSet)
{
    const std::vector<std::string> options = { "--plot", "png", "--cycles" };
    std::uintmax_t curve = 0;
    std::uintmax_t beside = 0;
    {
        TempFolder alone;
        writeFile(alone.file("rec.prn"), m_record);
        std::vector<std::string> args = options;
        args.push_back(alone.file("rec.prn"));
        ASSERT_EQ(runProgram(VARNEL_BATCH, args).status, 0);
        for (const char* part : { "vnp", "vnn" })
            curve += fs::file_size(alone.file(std::string("rec.") + part));
        for (const char* part : { "png", "cycles.csv", "envelope.csv", "backbone.csv" })
            beside += fs::file_size(alone.file(std::string("rec.") + part));
    }
    SmallDisk disk(m_dir.path() / "disk", 4 * (curve + beside) + (64 << 12));
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const fs::path folder = m_dir.path() / "disk";
    const std::string data = (folder / "rec.prn").string();
    writeFile(data, m_record);
    for (const char* part : { "png", "cycles.csv", "envelope.csv", "backbone.csv" })
        writeFile((folder / (std::string("rec.") + part)).string(), "an older file\r\n");
    // Room for the curve (written beside its names, then renamed) and half the rest.
    disk.leaveFree((2 * curve + beside / 2) / disk.blockSize() + 4);
    const auto before = snapshot(folder);
    std::vector<std::string> args = options;
    args.push_back(data);
    const BatchResult r = runProgram(VARNEL_BATCH, args);
    expectFailure(r, data, outputFileErrorMessage(FailureCode::DiskFull));
    EXPECT_NE(r.err.find(std::strerror(ENOSPC)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; none of "), std::string::npos) << r.err;
    for (const std::string& name : changedNames(before, snapshot(folder)))
        EXPECT_TRUE(name == "rec.vnp" || name == "rec.vnn") << name << " changed";
}

#endif

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
            expectNothingLost(before);
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

// Reading a FIFO, a folder or an endless device would hang or fail obscurely: refused before
// any file of the run is made.
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
        EXPECT_EQ(runFiles(), (Listing { { "rec.prn", c.shown } }));
        expectNothingLost(before);
    }
}

TEST_F(Faults, DataFileMissing)
{
    fs::remove(dataPath());
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() });
    expectFailure(r, dataPath(), dataErrorMessage(FailureCode::FileNotFound));
    EXPECT_EQ(runFiles(), Listing {});
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
        bool probed;  // the data file could still be opened: the curve files were made
    };

    const Case cases[] = {
        { "deleted", [&] { fs::remove(dataPath()); }, dataErrorMessage(FailureCode::FileNotFound),
            false },
        { "emptied", [&] { writeFile(dataPath(), ""); },
            dataErrorMessage(FailureCode::InputPastEnd), true },
        { "replaced by a folder",
            [&] {
                fs::remove(dataPath());
                fs::create_directory(dataPath());
            },
            dataErrorMessage(FailureCode::PathFileAccessError), false },
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
        EXPECT_EQ(fs::exists(m_dir.file("rec.vnp")), c.probed);
        EXPECT_FALSE(fs::exists(m_dir.file("rec.bu0")));
        fs::remove(m_dir.file("rec.vnp"));
        fs::remove(m_dir.file("rec.vnn"));
    }
}

// ---- links and a second run ----

// A link at one of the run's names, to a file elsewhere or to nothing, is never followed: the
// step that would open it fails as that step's file failures do, and nothing is written
// through it (a working file's name is the run's only when working files are kept). Links in the
// folders of the path are followed.
TEST_F(Faults, LinksAtTheRunsNamesAreNeverFollowed)
{
    TempFolder elsewhere;
    writeFile(elsewhere.file("victim.txt"), "another file of the user\r\n");
    for (const char* part : { "vnp", "vnn", "bu0", "buf", "vnl" }) {
        for (const std::string& target :
            { elsewhere.file("victim.txt"), elsewhere.file("new.txt") }) {
            SCOPED_TRACE(std::string(part) + " -> " + target);
            for (const std::string& name : runNames("rec.prn"))
                fs::remove(m_dir.path() / name);
            const std::string link = m_dir.file(std::string("rec.") + part);
            fs::create_symlink(target, link);
            const auto before = snapshot(m_dir.path());
            const auto outside = snapshot(elsewhere.path());
            const bool working = std::string(part) == "bu0" || std::string(part) == "buf";
            const BatchResult r = working
                ? batch({ "--one-file", "--keep-working-files", dataPath() })
                : batch({ "--one-file", dataPath() });
            expectFailure(r, dataPath(),
                std::string(part) == "bu0"
                    ? dataErrorMessage(FailureCode::PathFileAccessError)
                    : outputFileErrorMessage(FailureCode::PathFileAccessError));
            EXPECT_NE(r.err.find(link + ": is a symbolic link"), std::string::npos) << r.err;
            EXPECT_EQ(describe(link), "-> " + target);
            EXPECT_TRUE(changedNames(outside, snapshot(elsewhere.path())).empty());
            expectNothingLost(before);
            if (!working)
                continue;
            // Without kept working files the name is not the run's: left alone, no failure.
            const BatchResult bare = batch({ "--one-file", dataPath() });
            EXPECT_EQ(bare.status, 0) << bare.err;
            EXPECT_EQ(describe(link), "-> " + target);
            EXPECT_TRUE(changedNames(outside, snapshot(elsewhere.path())).empty());
        }
    }
    for (const std::string& name : runNames("rec.prn"))
        fs::remove(m_dir.path() / name);
    fs::create_directory_symlink(m_dir.path(), elsewhere.path() / "via");
    const BatchResult r = batch({ "--one-file", elsewhere.file("via/rec.prn") });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(m_dir.file("rec.vnl")), golden("brace.vnl"));
}

// The test's own run holds the names while varnel-batch, a second process, tries the same
// data file: the second fails at once and changes nothing; the first finishes whole.
class SecondRunHost : public RecordingHost
{
public:
    std::function<void()> whileCrossChecking;

    bool yield() override
    {
        if (whileCrossChecking && !statuses.empty() && statuses.back() == "Cross checking...") {
            whileCrossChecking();
            whileCrossChecking = nullptr;
        }
        return RecordingHost::yield();
    }
};

TEST_F(Faults, ASecondRunOnTheSameNamesChangesNothing)
{
    for (const int mode : { 1, 2 }) {
        SCOPED_TRACE(mode == 2 ? "one file" : "two files");
        for (const std::string& name : runNames("rec.prn"))
            fs::remove(m_dir.path() / name);
        SecondRunHost host;
        bool secondRan = false;
        host.whileCrossChecking = [&] {
            const auto before = snapshot(m_dir.path());
            for (const char* option : { "--one-file", "--keep-working-files" }) {
                const BatchResult r = batch({ option, dataPath() });
                expectFailure(
                    r, dataPath(), outputFileErrorMessage(FailureCode::PathFileAccessError));
                EXPECT_NE(r.err.find("in use by another run"), std::string::npos) << r.err;
            }
            expectNothingLost(before);
            secondRan = true;
        };
        settings::RunSettings s;
        settings::applyStartupDefaults(s);
        s.DataFilePath = dataPath();
        s.OutputMode = static_cast<std::int16_t>(mode);
        EXPECT_EQ(run::runVarnel(host, s, "1", "1").outcome, run::RunOutcome::Finished);
        EXPECT_TRUE(secondRan);
        if (mode == 2)
            EXPECT_EQ(runFiles(),
                (Listing { { "rec.prn", m_record }, { "rec.vnl", golden("brace.vnl") } }));
        else
            EXPECT_EQ(runFiles(),
                (Listing { { "rec.prn", m_record }, { "rec.vnp", golden("brace.vnp") },
                    { "rec.vnn", golden("brace.vnn") } }));
        // Once the first run has ended, the names are free again.
        EXPECT_EQ(batch({ dataPath() }).status, 0);
    }
}

// A run killed while it writes its curve leaves each name holding "Test output" or the whole
// curve, never a curve cut short; the next run on the names removes what the killed one left
// beside them.
TEST_F(Faults, AKilledRunLeavesNoCurveCutShort)
{
    const std::string record = m_dir.file("big.prn");
    ASSERT_EQ(runProgram(VARNEL_GENERATE,
                  { "--samples", "30000", "--noise", "0.01", "--seed", "4", "-o", record })
                  .status,
        0);
    const std::vector<std::string> args = { "--x-column", "2", "--y-column", "3", record };
    ASSERT_EQ(runProgram(VARNEL_BATCH, args).status, 0);
    const std::string vnp = readFile(m_dir.file("big.vnp"));
    const std::string vnn = readFile(m_dir.file("big.vnn"));
    ASSERT_GT(vnn.size(), 100000u);
    const auto others = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> before = others();
    bool leftBehind = false;
    for (const int delayMs : { 0, 1, 3, 6, 10, 20 }) {
        SCOPED_TRACE(delayMs);
        runProgram(VARNEL_BATCH, args, false, std::chrono::seconds(60),
            [&](const std::string& line, pid_t pid) {
                if (line.ends_with("Varnel creating...")) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                    ::kill(pid, SIGKILL);
                }
            });
        for (const auto& [name, whole] : { std::pair { "big.vnp", &vnp }, { "big.vnn", &vnn } }) {
            const std::string now = readFile(m_dir.file(name));
            EXPECT_TRUE(now == kProbe || now == *whole) << name << " holds " << now.size();
        }
        leftBehind = leftBehind || others() != before;
    }
    EXPECT_TRUE(leftBehind);  // the kills left temporary files beside the names
    ASSERT_EQ(runProgram(VARNEL_BATCH, args).status, 0);
    EXPECT_EQ(others(), before);
    EXPECT_EQ(readFile(m_dir.file("big.vnn")), vnn);
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
    expectNothingLost(before);
}

TEST_F(PermissionFaults, FolderThatCannotBeWritten)
{
    fs::permissions(m_dir.path(), fs::perms(0755));
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() }, true);
    expectFailure(r, dataPath(), outputFileErrorMessage(FailureCode::PermissionDenied));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record } }));
    expectNothingLost(before);
}

TEST_F(PermissionFaults, DataFileThatCannotBeRead)
{
    fs::permissions(m_dir.path(), fs::perms(0777));
    fs::permissions(dataPath(), fs::perms(0600));
    const auto before = snapshot(m_dir.path());
    const BatchResult r = batch({ dataPath() }, true);
    expectFailure(r, dataPath(), dataErrorMessage(FailureCode::PathFileAccessError));
    EXPECT_EQ(runFiles(), (Listing { { "rec.prn", m_record } }));
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
