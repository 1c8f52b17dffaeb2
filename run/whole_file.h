#pragma once

#include "run/run_failure.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace run {

// The name of the temporary file beside `path` that a file of that name is written into before
// it takes the name: hidden, in the same folder, naming the file it is for and the writing
// process (".run1.png.varnel-<pid>-<n>.part"), so that one left behind by a killed process can be
// recognised and removed.
std::string temporaryNameBeside(const std::string& path);

// A file written whole beside its name, which takes the name only when committed, so that a
// failure or an interruption leaves the old file at the name as it was. Never writes through
// a symbolic link at the name, and never replaces a file named in `protectedFiles` (the data
// files of a batch, or the data file of the window's run), however reached. Failures throw
// RunFailure with the file system's code and a detail naming the file.
class PendingFile
{
public:
    // Writes `bytes` into a new file beside `path` and to the disk.
    PendingFile(std::string path, std::string_view bytes,
        const std::vector<std::string>& protectedFiles = {});
    // Removes the temporary file unless it took its name.
    ~PendingFile();
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The temporary file takes the name, replacing what was there.
    void commit();

    const std::string& path() const
    {
        return m_path;
    }

private:
    std::string m_path;
    std::string m_temporary;
    std::vector<std::string> m_protected;
    bool m_committed = false;
};

// `bytes` as the file `path`, whole or not at all (a PendingFile committed at once).
void writeWholeFile(const std::string& path, std::string_view bytes,
    const std::vector<std::string>& protectedFiles = {});

// Removes the temporary files beside `names` (see temporaryNameBeside) whose writing process no
// longer runs: what a killed run or job left behind. Never another file, and never one that a
// running process may still be writing. Quiet: what cannot be removed stays.
void removeLeftoverTemporaries(const std::vector<std::string>& names);

// Why a file could not be written at a name, and the failure code that goes with it.
struct NameProblem
{
    FailureCode code = FailureCode::None;
    std::string reason;  // "is a symbolic link", "No such file or directory", ...
};

// Why `path` may not be written as a PendingFile, checked before a job starts: a symbolic link
// at the name, a folder or other non-regular file there, a protected file, a missing or
// unwritable folder, or a name too long for the file system (its temporary name is shortened
// to fit). Nothing when it may.
std::optional<NameProblem> nameProblem(
    const std::string& path, const std::vector<std::string>& protectedFiles = {});

}  // namespace run
