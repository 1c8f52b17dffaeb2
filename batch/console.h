#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace batch {

// `text` with its control characters spelt out ("\n", "\t", "\x1b", C1 controls as "\xc2\x9b"),
// and any byte that is not part of valid UTF-8 as "\xe9", so that a file name holding them can
// neither break a line apart nor drive the terminal.
std::string escapeControls(const std::string& text);

// varnel-batch's stderr, shared by the jobs of a batch. Every job's lines come out whole and in
// the order of the files on the command line, whatever order the jobs run in: a job's lines are
// written at once while every earlier job has finished, and held until then otherwise. On a
// terminal one more line stays at the bottom: the phase and progress of the jobs that have
// been in a phase with known progress for longer than a moment.
class Console
{
public:
    using Clock = std::chrono::steady_clock;

    // How long a phase must run before its progress is shown, and how often it is redrawn.
    static constexpr auto kProgressDelay = std::chrono::milliseconds(500);
    static constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

    // `terminal`: `out` is a terminal `width` columns wide, which may show the progress line.
    Console(std::FILE* out, bool terminal, int width, std::size_t jobs);

    bool showsProgress() const
    {
        return m_terminal;
    }

    // One line of job `job`'s output, without its line end.
    void print(std::size_t job, const std::string& line);

    // Job `job` has written its last line; its progress ends.
    void finish(std::size_t job);

    // Job `job` (named `name`) is in `phase`, which began at `since`, and is `fraction` done.
    // Only a terminal shows it, at most once per redraw interval.
    void progress(std::size_t job, const std::string& name, const std::string& phase,
        double fraction, Clock::time_point since, Clock::time_point now);

    // Job `job` has left the phase whose progress it showed.
    void endProgress(std::size_t job);

private:
    struct Progress
    {
        std::string name;
        std::string phase;
        double fraction = 0.0;
        Clock::time_point since {};
        bool active = false;
    };

    void writeLine(const std::string& line);
    void flushFinished();
    void eraseProgress();
    void drawProgress(Clock::time_point now);
    std::string progressText(Clock::time_point now) const;

    std::mutex m_mutex;
    std::FILE* m_out;
    bool m_terminal;
    int m_width;
    std::vector<std::vector<std::string>> m_held;
    std::vector<bool> m_finished;
    std::size_t m_current = 0;  // the first job that has not finished: its lines go out at once
    std::vector<Progress> m_progress;
    bool m_progressShown = false;
    Clock::time_point m_lastDraw {};
};

}  // namespace batch
