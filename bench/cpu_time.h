#pragma once

#include <sys/resource.h>

namespace bench {

// The process's CPU time so far, user and system, in seconds: on a shared machine the wall
// clock says little about a program's own cost.
inline double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace bench
