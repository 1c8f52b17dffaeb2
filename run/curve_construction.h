#pragma once

#include "run/cross_check.h"
#include "run/run_host.h"
#include "run/text_records.h"

#include <cstdint>
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
    // `smallestX` and `largestX` are the record extremes' X members. With `points`, the
    // records of those points are kept by their numbers, so `points` must outlive the stream.
    CurveStream(double smallestX, double largestX, const PreparedPoints* points = nullptr);

    void take(double x, double y, std::int64_t group) override;
    void takePoint(std::size_t index, double x, double y, std::int64_t group) override;
    void takeCrossing(float x, float y, std::int64_t group) override;

    // Writes the positive side into `positivePath` (closed when done), then the negative side
    // into `negativePath`, which is handed back flushed and still open for the finishing
    // stage to close. Draws the curve in red. Failures name the files `positiveName` and
    // `negativeName` when given (the curve files that the paths, written beside them, become).
    std::unique_ptr<TextWriter> finish(RunHost& host, const std::string& positivePath,
        const std::string& negativePath, const std::string& positiveName = {},
        const std::string& negativeName = {});

    // Both sides as the curve files hold them, once they are written; handed over once.
    CurveSides takeSides()
    {
        return std::move(m_sides);
    }

    // The points a side keeps, in curve order, held compactly: runs of consecutive prepared
    // points by their numbers, crossings in single precision (what their digits read back as
    // is worked out when asked for), other records by value.
    class Kept
    {
    public:
        void addPoint(std::size_t index);
        void addCrossing(float x, float y);
        void addValue(double x, double y);

        std::size_t size() const
        {
            return m_size;
        }

        // Calls f(x, y) for every point in curve order.
        template <typename F>
        void forEach(const PreparedPoints* points, F&& f) const;

    private:
        enum class Kind : std::uint8_t
        {
            Points,
            Crossings,
            Values
        };

        struct Run
        {
            std::size_t first;  // a point's number, or where in m_crossings or m_values
            std::uint32_t count;
            Kind kind;
        };

        void add(Kind kind, std::size_t first);

        std::vector<Run> m_runs;
        std::vector<float> m_crossings;  // x, y pairs
        std::vector<double> m_values;  // x, y pairs
        std::size_t m_size = 0;
    };

private:
    // Where a side has reached in X: a value, or a crossing's single whose digits' value is
    // worked out only where a comparison needs it.
    struct Reach
    {
        double value;
        float single = 0.0f;
        bool pending = false;

        double exact();
    };

    struct Side
    {
        bool positive;
        Reach reach;
        double followed = 0;
        bool following = false;
        Kept kept;

        // `Record` tells the record's sign, compares its X with the reach, becomes the reach
        // and adds itself to what the side keeps.
        template <typename Record>
        void take(const Record& record, double g, bool first);
    };

    template <typename Record>
    void takeRecord(const Record& record, std::int64_t group);

    const PreparedPoints* m_points;
    Side m_positive;
    Side m_negative;
    bool m_first = true;
    CurveSides m_sides;
};

// The same from records already found: held in memory, or else read back from their file.
std::unique_ptr<TextWriter> buildCurves(RunHost& host, const CrossRecords& records,
    double smallestX, double largestX, const std::string& positivePath,
    const std::string& negativePath);

}  // namespace run
