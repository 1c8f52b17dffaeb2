#include "batch/console.h"
#include "batch/job_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using batch::Console;
using Clock = Console::Clock;

// A console writing into memory, read back as text.
class Captured
{
public:
    Captured()
    {
        m_file = open_memstream(&m_buffer, &m_size);
    }

    ~Captured()
    {
        std::fclose(m_file);
        std::free(m_buffer);
    }

    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;

    std::FILE* file()
    {
        return m_file;
    }

    std::string text()
    {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    std::FILE* m_file = nullptr;
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
};

// ---- Order of the lines ----

TEST(BatchConsole, LinesComeInTheOrderOfTheFilesWhateverOrderTheJobsRunIn)
{
    Captured out;
    Console console(out.file(), false, 80, 3);
    console.print(0, "a: Data reading...");
    console.print(2, "c: Data reading...");
    console.print(1, "b: Data reading...");
    console.print(2, "c: Finish");
    console.finish(2);
    EXPECT_EQ(out.text(), "a: Data reading...\n");
    console.print(1, "b: Cross checking...");
    console.print(0, "a: Finish");
    console.finish(0);
    // b is now first: what it held comes out, and its next lines at once.
    EXPECT_EQ(
        out.text(), "a: Data reading...\na: Finish\nb: Data reading...\nb: Cross checking...\n");
    console.print(1, "b: Finish");
    EXPECT_EQ(out.text().substr(out.text().size() - 10), "b: Finish\n");
    console.finish(1);
    EXPECT_EQ(out.text(),
        "a: Data reading...\na: Finish\nb: Data reading...\nb: Cross checking...\nb: Finish\n"
        "c: Data reading...\nc: Finish\n");
}

TEST(BatchConsole, AJobThatNeverRanDoesNotHoldBackLaterLines)
{
    Captured out;
    Console console(out.file(), false, 80, 3);
    console.print(1, "b: interrupted");
    console.finish(1);
    console.finish(0);  // never started
    console.finish(2);
    EXPECT_EQ(out.text(), "b: interrupted\n");
}

// ---- Progress ----

TEST(BatchConsole, NoProgressOffATerminal)
{
    Captured out;
    Console console(out.file(), false, 80, 1);
    const Clock::time_point t0 = Clock::now();
    console.progress(0, "a", "Cross checking", 0.5, t0, t0 + 5s);
    console.print(0, "a: Finish");
    console.finish(0);
    EXPECT_EQ(out.text(), "a: Finish\n");
}

TEST(BatchConsole, ProgressShowsAfterAMomentAndStaysBelowTheLines)
{
    Captured out;
    Console console(out.file(), true, 60, 1);
    const Clock::time_point t0 = Clock::now();
    console.progress(0, "a.prn", "Cross checking", 0.1, t0, t0 + 100ms);
    EXPECT_EQ(out.text(), "") << "a short phase shows no bar";

    console.progress(0, "a.prn", "Cross checking", 0.5, t0, t0 + 600ms);
    EXPECT_EQ(out.text(), "a.prn: Cross checking [############............] 50%");

    // Redrawn at most every redraw interval.
    console.progress(0, "a.prn", "Cross checking", 0.6, t0, t0 + 650ms);
    EXPECT_EQ(out.text(), "a.prn: Cross checking [############............] 50%");

    // A line erases the bar and the bar comes back below it.
    console.print(0, "a: note");
    EXPECT_EQ(out.text(),
        "a.prn: Cross checking [############............] 50%\r\033[Ka: note\n"
        "a.prn: Cross checking [##############..........] 60%");

    console.endProgress(0);
    console.print(0, "a: Finish");
    console.finish(0);
    const std::string text = out.text();
    EXPECT_EQ(text.substr(text.size() - 14), "\r\033[Ka: Finish\n") << text;
}

TEST(BatchConsole, SeveralJobsShareOneLineThatNeverWraps)
{
    Captured out;
    Console console(out.file(), true, 30, 2);
    const Clock::time_point t0 = Clock::now();
    console.progress(0, "first_record.prn", "Cross checking", 0.25, t0, t0 + 1s);
    console.progress(1, "second_record.prn", "Cross checking", 0.75, t0, t0 + 2s);
    const std::string text = out.text();
    const std::string last = text.substr(text.rfind("\033[K") + 3);
    EXPECT_EQ(last, "first_record.prn 25%  seco...");
    EXPECT_LT(last.size(), 30u);
}

// ---- The run's progress calls ----

// The bar follows the run's phases and progress calls; a new phase ends the last one's bar, and
// a quiet job shows none.
TEST(JobHost, TheBarFollowsTheRunsPhasesAndProgress)
{
    Captured out;
    Captured quietOut;
    Console console(out.file(), true, 80, 1);
    Console quietConsole(quietOut.file(), true, 80, 1);
    const std::string file = "a.prn";
    batch::JobHost host(console, 0, file, false);
    batch::JobHost quiet(quietConsole, 0, file, true);
    host.progress(1, 2);  // before any phase: nothing to show
    host.enterPhase(run::RunPhase::CrossCheck);
    quiet.enterPhase(run::RunPhase::CrossCheck);
    std::this_thread::sleep_for(Console::kProgressDelay + 50ms);
    host.progress(3, 4);
    quiet.progress(3, 4);
    EXPECT_EQ(out.text(), "a.prn: Cross checking [##################......] 75%");
    EXPECT_EQ(quietOut.text(), "");
    host.enterPhase(run::RunPhase::Curve);
    host.progress(1, 4);  // the new phase has only just begun
    EXPECT_EQ(out.text(), "a.prn: Cross checking [##################......] 75%\r\033[K");
}

}  // namespace
