#pragma once

#include "analysis/backbone.h"
#include "run/run_failure.h"

#include <string>

namespace analysis {

// Both sides of a written Varnel curve, as the files hold them (the negative side not mirrored).
struct CurveSides
{
    CurveSide positive;
    CurveSide negative;
};

// The sides read back, or the failure that stopped the reading with a message for the user.
struct CurveSidesRead
{
    CurveSides sides;
    run::FailureCode failure = run::FailureCode::None;
    std::string message;

    explicit operator bool() const
    {
        return failure == run::FailureCode::None;
    }
};

// Reads the two side files of a run (each a header line, then one "x y" line per point).
CurveSidesRead readCurveSides(const std::string& positivePath, const std::string& negativePath);

// Reads the combined curve file of a run: a header line, the positive side, the separator
// line, the negative side.
CurveSidesRead readCombinedCurve(const std::string& combinedPath);

}  // namespace analysis
