#pragma once

// "Nothing lost": the size and checksum of every entry of a folder, taken before a run and
// compared after it, so that a test can show that only the run's own five names changed.

#include "tests/support/test_files.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>

struct EntryPrint
{
    char kind = '?';  // f file, d folder, l symbolic link, p FIFO, ? other
    std::uintmax_t size = 0;
    std::uint64_t checksum = 0;  // FNV-1a of a file's bytes
    std::string target;  // a link's target
    unsigned mode = 0;

    friend bool operator==(const EntryPrint&, const EntryPrint&) = default;
};

inline std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

// Every entry of `folder` by name; links are described, not followed.
inline std::map<std::string, EntryPrint> snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, EntryPrint> prints;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EntryPrint p;

        struct stat st
        {
        };

        if (::lstat(entry.path().c_str(), &st) != 0)
            continue;
        p.mode = st.st_mode & 07777u;
        if (S_ISREG(st.st_mode)) {
            p.kind = 'f';
            const std::string bytes = readFile(entry.path());
            p.size = bytes.size();
            p.checksum = fnv1a(bytes);
        } else if (S_ISDIR(st.st_mode)) {
            p.kind = 'd';
        } else if (S_ISLNK(st.st_mode)) {
            p.kind = 'l';
            p.target = std::filesystem::read_symlink(entry.path()).string();
        } else if (S_ISFIFO(st.st_mode)) {
            p.kind = 'p';
        }
        prints[entry.path().filename().string()] = p;
    }
    return prints;
}

// The run's five names for a data file name: its last three characters replaced.
inline std::set<std::string> runNames(const std::string& dataName)
{
    const std::string base = dataName.substr(0, dataName.size() - 3);
    return { base + "bu0", base + "buf", base + "vnp", base + "vnn", base + "vnl" };
}

// Names whose entry differs between the two snapshots (appeared, vanished or changed).
inline std::set<std::string> changedNames(
    const std::map<std::string, EntryPrint>& before, const std::map<std::string, EntryPrint>& after)
{
    std::set<std::string> changed;
    for (const auto& [name, print] : before) {
        const auto it = after.find(name);
        if (it == after.end() || !(it->second == print))
            changed.insert(name);
    }
    for (const auto& [name, print] : after)
        if (!before.count(name))
            changed.insert(name);
    return changed;
}
