#pragma once

// What every fuzz target shares: a scratch folder for the files a run writes, a host that
// draws nothing, and a way to stop loudly when an invariant breaks.

#include "run/run_host.h"
#include "tests/support/quiet_host.h"
#include "tests/support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

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

// One folder per fuzzer process, removed when the process ends normally, emptied before
// each input.
class ScratchFolder : public TempFolder
{
public:
    // Removes every file in the folder, so that each input starts from an empty folder.
    void empty() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(path()))
            std::filesystem::remove_all(entry.path());
    }
};

inline ScratchFolder& scratch()
{
    static ScratchFolder folder;
    return folder;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        fail("cannot write " + path);
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
