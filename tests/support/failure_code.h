#pragma once

// Failure codes print as the number users see, in the tests' messages.

#include "run/run_failure.h"

#include <ostream>

namespace run {

inline void PrintTo(FailureCode code, std::ostream* out)
{
    *out << static_cast<int>(code);
}

}  // namespace run
