#pragma once

#include "run/run_failure.h"
#include "run/run_host.h"
#include "run/run_lock.h"
#include "settings/run_settings.h"

#include <memory>
#include <string>
#include <string_view>

namespace run {

// The message texts of the three error exits.
std::string outputFileErrorMessage(FailureCode code);
std::string dataErrorMessage(FailureCode code);
std::string sameXErrorMessage(std::int64_t pointIndex);

enum class RunOutcome
{
    Finished,  // "Finish" reached
    NoDataFile,  // DataFilePath was empty: nothing named or touched
    Failed,  // an error exit showed its message
    Stopped,  // the host asked the run to stop
};

struct RunReport
{
    RunOutcome outcome = RunOutcome::Finished;
    std::string message;  // the message shown, for Failed
    FailureCode code = FailureCode::None;
    FailureLocation location;  // where in the data file, when known
    std::string detail;  // what went wrong, in the system's words (file name, errno text)
    // A finished run's names, still held for a host that asked to hold them (see
    // RunHost::holdsNamesAfterRun): a second run on them is refused until this is let go.
    std::shared_ptr<RunLock> names;
};

// The second line a front end shows under a failed run's message: the data file as the front
// end names it (when it names one), then where or why the run failed. Empty when the run
// said nothing more.
std::string failureDetailLine(std::string_view dataFile, const RunReport& report);

// The data file's path without its last three characters, which every file of a run is named
// from (characters of UTF-8 text, bytes of any other path). Throws RunFailure InvalidArgument
// for a path shorter than three characters.
std::string runNameBase(const std::string& dataFilePath);

// Whether two paths name the same file: the same name, or the same file through links.
bool sameFile(const std::string& a, const std::string& b);

// One complete run, as "Start" does it. The coefficient texts are those of the two
// coefficient boxes; they are read again into `settings` before anything else. The run then
// works on a copy of `settings`, so edits during the run do not reach it.
RunReport runVarnel(RunHost& host, settings::RunSettings& settings,
    std::string_view xCoefficientText, std::string_view yCoefficientText);

}  // namespace run
