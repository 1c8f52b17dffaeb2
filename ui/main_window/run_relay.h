#pragma once

#include "run/run_driver.h"
#include "run/run_host.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// A run's front end on the run's own thread: every call the run makes of its host is handed on,
// in the order made, to the window's host on the window's thread, so that the window draws while
// the run goes on. The run's thread gets ahead of the window by at most a bounded number of
// calls. A status holds the run at its next yield until the window has shown it and handled its
// events once, as a run on the window's thread would be held; a stop asked by the window stops
// the run at its next yield, and the calls it made meanwhile are dropped, as that run would never
// have made them.
class RunRelay final : public run::RunHost
{
public:
    // `parts` and `holdsNames` are the window host's answers, asked on the window's thread.
    // Calls go over in blocks of `blockCalls`, at most `blocksAhead` of them waiting.
    explicit RunRelay(const run::FinishedRunParts& parts, bool holdsNames = false,
        std::size_t blockCalls = 16384, std::size_t blocksAhead = 8);
    ~RunRelay() override;

    RunRelay(const RunRelay&) = delete;
    RunRelay& operator=(const RunRelay&) = delete;

    // The run's side.
    void setStatus(const std::string& text) override;
    void showFileName(int index, const std::string& name) override;
    bool yield() override;

    run::FinishedRunParts finishedRunParts() const override
    {
        return m_parts;
    }

    bool holdsNamesAfterRun() const override
    {
        return m_holdsNames;
    }

    void runFinished(run::FinishedRun&& run) override;
    void clearPlot() override;
    void setPlotWindow(float left, float top, float right, float bottom) override;
    void drawLine(float x1, float y1, float x2, float y2, run::Rgb colour) override;
    void drawDot(float x, float y, run::Rgb colour) override;
    void drawLineTo(float x, float y, run::Rgb colour) override;
    void showError(const std::string& message) override;

    // The run has returned: nothing more comes.
    void end();

    // The window's side.
    enum class Delivery
    {
        Calls,  // some calls handed on, more may be waiting
        Yield,  // the run yields after a status: handle events, then acknowledge()
        Empty,  // nothing waiting now
        Ended,  // every call handed on, and the run has returned
    };

    // Hands at most `most` waiting calls on to `front`, stopping after a yield that follows a
    // status.
    Delivery deliver(run::RunHost& front, std::size_t most);

    // Lets the run go on from the yield that deliver() reported.
    void acknowledge();

    // Stops the run at its next yield; what it made before that is not handed on.
    void stop();

    // Waits until calls are waiting, the run has ended or `timeout` has passed.
    void waitForCalls(std::chrono::milliseconds timeout);

private:
    enum class Kind : std::uint8_t
    {
        Status,
        FileName,
        Finished,
        Clear,
        Window,  // left and top; the next call holds right and bottom
        Line,  // the first point; the next call holds the second and the colour
        Dots,  // the next `count` of the block's dots
        LineTo,
        Error,
        Yield,  // a yield after a status, where the run waits for the window
        Stopped,  // the run saw the stop here; what comes after is handed on again
        Second,  // the second half of a window or a line
    };

    struct Call
    {
        float x;
        float y;
        Kind kind;
        run::Rgb colour;
        std::uint32_t count = 0;  // of dots
    };

    struct Block
    {
        std::vector<Call> calls;
        // A run draws millions of dots, mostly one after another: they cross from thread to
        // thread as they are, and a Dots call hands each run of them on at once.
        std::vector<run::PlotDot> dots;
        std::vector<std::string> texts;  // of the status, file name and error calls, in order
        std::optional<run::FinishedRun> finished;

        std::size_t size() const
        {
            return calls.size() + dots.size();
        }

        void clear()
        {
            calls.clear();
            dots.clear();
            texts.clear();
            finished.reset();
        }
    };

    // One call of the run, then (for a window or a line) its second half.
    void add(Kind kind, float x = 0, float y = 0, run::Rgb colour = {})
    {
        m_filling->calls.push_back({ x, y, kind, colour });
        if (m_filling->size() >= m_blockCalls)
            publish();
    }

    void addPair(Kind kind, float x1, float y1, float x2, float y2, run::Rgb colour = {})
    {
        m_filling->calls.push_back({ x1, y1, kind, {} });
        add(Kind::Second, x2, y2, colour);
    }

    void addText(Kind kind, const std::string& text, float x = 0);
    // Hands the block being filled over to the window's side, waiting for room.
    void publish();
    // Hands one call on; `second` is the call after it, for a window or a line.
    void apply(run::RunHost& front, const Call& call, const Call* second);

    const run::FinishedRunParts m_parts;
    const bool m_holdsNames;
    const std::size_t m_blockCalls;
    const std::size_t m_blocksAhead;

    // The run's thread's.
    std::unique_ptr<Block> m_filling;
    bool m_statusSinceYield = false;
    std::uint64_t m_yieldsMade = 0;

    // The window's thread's.
    std::unique_ptr<Block> m_current;
    std::size_t m_nextCall = 0;
    std::size_t m_nextText = 0;
    std::size_t m_nextDot = 0;
    bool m_dropping = false;  // stopped: dropping calls until the run's Stopped mark

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Block>> m_ready;  // published, in order
    std::vector<std::unique_ptr<Block>> m_spare;  // handed on, for reuse
    std::uint64_t m_yieldsAcknowledged = 0;
    bool m_ended = false;
    std::atomic<bool> m_stop { false };
};

// Runs `run` on a thread of its own with a RunRelay as its host, handing its calls on to `front`
// on this thread and letting `front` yield between them; returns the run's report once every
// call was handed on. Without a thread to be had the run runs here, with `front` as its host.
// `front.yield()` returning false stops the run.
run::RunReport runBeside(
    run::RunHost& front, const std::function<run::RunReport(run::RunHost&)>& run);

}  // namespace ui
