#pragma once

#include <sys/resource.h>

namespace bench {

// User and system CPU time of `who` (RUSAGE_SELF, RUSAGE_THREAD) so far, in seconds.
inline double cpuSecondsOf(int who)
{
    rusage usage {};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The process's CPU time so far: on a shared machine the wall clock says little about a
// program's own cost.
inline double cpuSeconds()
{
    return cpuSecondsOf(RUSAGE_SELF);
}

// The calling thread's CPU time so far.
inline double threadCpuSeconds()
{
    return cpuSecondsOf(RUSAGE_THREAD);
}

}  // namespace bench
