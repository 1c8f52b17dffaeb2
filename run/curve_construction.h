#pragma once

#include "run/cross_check.h"
#include "run/run_host.h"
#include "run/text_records.h"

#include <memory>
#include <string>
#include <vector>

namespace run {

// The header line of every curve file.
inline constexpr const char* kCurveHeader = " X-axis        Y-axis";

// Builds both sides of the Varnel curve while the cross check hands on its records: each
// side reads every record once, in order, with constant state, and keeps only the points
// its curve takes. Nothing is written or drawn until `finish`, so a run that fails before
// then leaves the curve files as they were.
class CurveStream : public CrossRecordSink
{
public:
    // `smallestX` and `largestX` are the record extremes' X members.
    CurveStream(double smallestX, double largestX);

    void take(double x, double y, std::int64_t group) override;

    // Writes the positive side into `positivePath` (closed when done), then the negative side
    // into `negativePath`, which is handed back flushed and still open for the finishing
    // stage to close. Draws the curve in red. Failures name the files `positiveName` and
    // `negativeName` when given (the curve files that the paths, written beside them, become).
    std::unique_ptr<TextWriter> finish(RunHost& host, const std::string& positivePath,
        const std::string& negativePath, const std::string& positiveName = {},
        const std::string& negativeName = {});

    // Both sides as the curve files hold them.
    CurveSides sides() const;

private:
    struct Side
    {
        bool positive;
        double reach;
        double followed = 0;
        bool following = false;
        std::vector<double> kept;  // x, y pairs, in curve order

        void take(double x, double y, double g, bool first);
    };

    Side m_positive;
    Side m_negative;
    bool m_first = true;
};

// The same from records already found: held in memory, or else read back from their file.
std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath);

}  // namespace run
