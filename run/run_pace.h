#pragma once

#include "run/run_host.h"

#include <chrono>
#include <cstdint>

namespace run {

// Keeps a long loop answering its front end. The loop counts its work with step(); every
// `stride` units the pace reads the clock, and once kInterval has passed since the last yield
// it reports the progress and yields, and stops the run (RunStopped) when the host asks. Reading
// the clock only every few thousand units keeps its cost out of the loops; a loop whose items
// differ in cost counts each item's work, not the item.
class Pace
{
public:
    // Well under the 0.1 s a window may go without handling its events.
    static constexpr std::chrono::milliseconds kInterval { 10 };

    // A drawing call counts as this many units of a loop's own work: a front end may take
    // microseconds to draw a line.
    static constexpr std::int64_t kDrawingCost = 16;

    // Without a host the pace does nothing. With `total` 0 no progress is reported.
    Pace(RunHost* host, std::int64_t total, std::int64_t stride);

    // `units` more work done; `done` of the total so far.
    void step(std::int64_t done, std::int64_t units = 1)
    {
        m_budget -= units;
        if (m_budget <= 0)
            check(done);
    }

private:
    using Clock = std::chrono::steady_clock;

    void check(std::int64_t done);

    RunHost* m_host;
    std::int64_t m_total;
    std::int64_t m_stride;
    std::int64_t m_budget;
    Clock::time_point m_lastYield;
};

// Yields once, whatever the clock says: after a status change and between a phase's steps.
// Throws RunStopped when the host asks the run to stop.
void yieldOrStop(RunHost& host);

}  // namespace run
