#pragma once

// What every fuzz target shares: a file system in memory for the files a run writes, a host
// that draws nothing, and a way to stop loudly when an invariant breaks.

#include "run/file_system.h"
#include "run/run_host.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/quiet_host.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Stops the fuzzer with a message; libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const std::string& what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool ok, const std::string& what)
{
    if (!ok)
        fail(what);
}

// The folder the fuzzers' files are in, in memory.
inline constexpr const char* kFolder = "/fuzz";

// A file system in memory holding the fuzzers' folder, in use while it lives.
class Files : public MemoryFileSystem
{
public:
    Files()
    {
        addFolder(kFolder);
    }

    static std::string path(const std::string& name)
    {
        return std::string(kFolder) + "/" + name;
    }

private:
    FileSystemInUse m_inUse { *this };
};

// Reads and writes in pieces, and readers and writers of a few bytes, as `choice` picks: whole
// for a quarter of the choices. Buffers of a disk's size (a megabyte) would cost more than the
// run of a small input; a few kilobytes take it in one or two reads as well.
inline void setPieces(MemoryFileSystem& files, std::uint8_t choice)
{
    static constexpr std::size_t kMost[] = { SIZE_MAX, SIZE_MAX, 1, 7, 64, 4096, 3, 2 };
    static constexpr std::size_t kBuffers[] = { 2048, 1024, 2, 16, 256, 4096, 1024, 8 };
    files.setPieces(kMost[choice % 8], kMost[(choice / 8) % 8]);
    files.setBuffers(kBuffers[choice % 8]);
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The plain shape of a number: [sign] digits [. digits] [E [sign] digits], with at least one
// digit in the mantissa.
inline bool numberShape(std::string_view t)
{
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < t.size() && isDigit(t[i]); ++i)
        ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && isDigit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (i == t.size() || !isDigit(t[i]))
            return false;
        while (i < t.size() && isDigit(t[i]))
            ++i;
    }
    return i == t.size();
}

}  // namespace fuzz
