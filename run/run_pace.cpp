#include "run/run_pace.h"

#include "run/run_failure.h"

namespace run {

Pace::Pace(RunHost* host, std::int64_t total, std::int64_t stride)
    : m_host(host)
    , m_total(total)
    , m_stride(stride)
    , m_budget(stride)
    , m_lastYield(Clock::now())
{
}

void Pace::check(std::int64_t done)
{
    m_budget = m_stride;
    if (!m_host)
        return;
    const Clock::time_point now = Clock::now();
    if (now - m_lastYield < kInterval)
        return;
    m_lastYield = now;
    if (m_total > 0)
        m_host->progress(done, m_total);
    yieldOrStop(*m_host);
}

void yieldOrStop(RunHost& host)
{
    if (!host.yield())
        throw RunStopped {};
}

}  // namespace run
