#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace run {

// The numbers appear in user-visible messages: fixed by hand, never renumbered.
enum class FailureCode : int
{
    None = 0,
    InvalidArgument = 5,  // e.g. a data file path shorter than three characters
    Overflow = 6,  // a value that cannot be held (not finite, or beyond single precision)
    OutOfMemory = 7,
    IndexOutOfRange = 9,  // fewer than two prepared points, or a column a data line lacks
    DivisionByZero = 11,
    TypeMismatch = 13,  // not a number where one is needed, or a data line of another width
    BadFileName = 52,
    FileNotFound = 53,
    DeviceIoError = 57,
    DiskFull = 61,
    InputPastEnd = 62,  // a line or value was read after the end of the file
    PermissionDenied = 70,  // e.g. a folder that may not be written into
    DiskNotReady = 71,
    PathFileAccessError = 75,
    PathNotFound = 76,
};

// Where in the data file a failure happened, for front ends that can show it.
struct FailureLocation
{
    std::int64_t line = 0;  // 1-based line of the data file; 0 when unknown
};

// A failure of a run's phase; the run driver turns it into the active error exit's message.
class RunFailure : public std::runtime_error
{
public:
    RunFailure(
        FailureCode code, std::string detail, std::int64_t line = 0, std::int64_t pointIndex = 0);

    FailureCode code() const
    {
        return m_code;
    }

    // Data line of the failure, when known.
    std::int64_t line() const
    {
        return m_line;
    }

    // For the cross check: the prepared point whose segment failed.
    std::int64_t pointIndex() const
    {
        return m_pointIndex;
    }

private:
    FailureCode m_code;
    std::int64_t m_line;
    std::int64_t m_pointIndex;
};

// The front end asked the run to stop (the program is ending).
struct RunStopped
{
};

// Maps an errno value from an operation on `path` to a failure code. `creating` tells
// whether the operation would have created the file.
FailureCode failureFromErrno(int error, const std::string& path, bool creating);

// Throws the RunFailure for errno `error` on `path`, with the system's description.
[[noreturn]] void throwFileFailure(int error, const std::string& path, bool creating);

// As throwFileFailure, for a failed open of one of the run's own names with O_NOFOLLOW: a
// symbolic link there is an access error (75) that says so.
[[noreturn]] void throwOwnFileFailure(int error, const std::string& path, bool creating);

}  // namespace run
