#pragma once

#include "batch/output_names.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace batch {

// Hands out the files to the workers in order. Runs of data files that share a name base write
// the same files, so such a run waits until the one before it has finished.
class JobQueue
{
public:
    explicit JobQueue(const std::vector<std::string>& files);

    // The next job to run, or nothing when every job has been handed out or the batch was
    // interrupted.
    std::optional<std::size_t> take();

    void done(std::size_t job);

private:
    enum class State
    {
        Waiting,
        Running,
        Done
    };

    bool mayStart(std::size_t job) const;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<State> m_state;
    std::vector<NameKey> m_key;
};

}  // namespace batch
