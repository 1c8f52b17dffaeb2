#include "batch/job_queue.h"

#include "batch/interrupt.h"
#include "batch/output_names.h"

namespace batch {

JobQueue::JobQueue(const std::vector<std::string>& files)
    : m_state(files.size(), State::Waiting)
{
    // By the folder's identity: "abc" and "./xyz" share the name base "" of one folder.
    for (const std::string& file : files)
        m_key.push_back(nameKey(nameBase(file)));
}

std::optional<std::size_t> JobQueue::take()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (interrupted())
            return std::nullopt;
        bool waiting = false;
        for (std::size_t i = 0; i < m_state.size(); ++i) {
            if (m_state[i] != State::Waiting)
                continue;
            waiting = true;
            if (mayStart(i)) {
                m_state[i] = State::Running;
                return i;
            }
        }
        if (!waiting)
            return std::nullopt;
        m_changed.wait(lock);
    }
}

void JobQueue::done(std::size_t job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_state[job] = State::Done;
    }
    m_changed.notify_all();
}

bool JobQueue::mayStart(std::size_t job) const
{
    for (std::size_t i = 0; i < job; ++i)
        if (m_state[i] != State::Done && m_key[i] == m_key[job])
            return false;
    return true;
}

}  // namespace batch
