// The fast cross check against the plain double loop on small fuzzed prepared records: the
// same cross-check file bytes, the same drawing calls, the same failure and failing point.
// Where both succeed, the curve construction must give the literal model's side files, from
// records held in memory and from records read back from the file alike. The files are in a
// file system in memory that hands reads and writes over in pieces the input picks.
#include "fuzz_support.h"
#include "run/cross_check.h"
#include "run/curve_construction.h"
#include "run/run_failure.h"
#include "tests/support/literal_model.h"
#include "tests/support/recording_host.h"
#include "tests/support/reference_cross_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Points from the input: coarse grids make shared X values, collinear and parallel segments
// and crossings at end points likely; raw doubles reach extreme magnitudes.
run::PreparedPoints decode(const std::uint8_t* data, std::size_t size, std::size_t& used)
{
    run::PreparedPoints p;
    const int kind = data[0] % 4;
    std::size_t i = 2;
    const auto take = [&](std::size_t n) -> const std::uint8_t* {
        if (i + n > size)
            return nullptr;
        const std::uint8_t* at = data + i;
        i += n;
        return at;
    };
    while (p.size() < 160) {
        double xy[2];
        bool complete = true;
        for (double& v : xy) {
            if (kind == 0) {
                const std::uint8_t* b = take(1);
                complete = complete && b;
                v = b ? static_cast<double>(static_cast<std::int8_t>(*b)) / 4.0 : 0.0;
            } else if (kind == 1) {
                const std::uint8_t* b = take(2);
                complete = complete && b;
                std::int16_t w = 0;
                if (b)
                    std::memcpy(&w, b, 2);
                v = static_cast<double>(w) / 1000.0;
            } else if (kind == 2) {
                const std::uint8_t* b = take(4);
                complete = complete && b;
                float f = 0.0f;
                if (b)
                    std::memcpy(&f, b, 4);
                v = std::isfinite(f) ? static_cast<double>(f) : 0.0;
            } else {
                const std::uint8_t* b = take(8);
                complete = complete && b;
                double d = 0.0;
                if (b)
                    std::memcpy(&d, b, 8);
                v = std::isfinite(d) ? d : 0.0;
            }
        }
        if (!complete)
            break;
        // Prepared points hold what the point file's text reads back as; a value whose text
        // reads back beyond the range never gets that far (the run stops with an overflow).
        for (double& v : xy)
            if (v = run::roundTripDouble(v); !std::isfinite(v))
                v = 0.0;
        p.x.push_back(xy[0]);
        p.y.push_back(xy[1]);
    }
    used = i;
    return p;
}

struct Outcome
{
    bool failed = false;
    std::int64_t failedAt = 0;
    std::string file;
    RecordingHost host;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t used = 0;
    const run::PreparedPoints points = decode(data, size, used);
    if (points.size() < 2)
        return 0;
    // Sometimes keep only a few records in memory, so the curve passes read the file.
    const std::size_t inMemory = data[1] < 64 ? data[1] % 8 : run::kRecordsInMemory;

    fuzz::Files files;
    fuzz::setPieces(files, data[1]);
    const std::string fastPath = fuzz::Files::path("fast.buf");
    const std::string plainPath = fuzz::Files::path("plain.buf");

    Outcome fast;
    run::CrossRecords records;
    try {
        records = run::runCrossCheck(fast.host, points, fastPath, inMemory);
    } catch (const run::RunFailure& f) {
        fast.failed = true;
        fast.failedAt = f.pointIndex();
    }
    fast.file = files.bytesOf(fastPath);

    Outcome plain;
    const ReferenceResult r = referenceCrossCheck(plain.host, points, plainPath);
    plain.failed = r.failed;
    plain.failedAt = r.failedAt;
    plain.file = files.bytesOf(plainPath);

    fuzz::check(fast.failed == plain.failed, "one check failed, the other did not");
    fuzz::check(fast.failedAt == plain.failedAt,
        "failing points differ: " + std::to_string(fast.failedAt) + " and "
            + std::to_string(plain.failedAt));
    fuzz::check(fast.file == plain.file, "cross-check files differ");
    fuzz::check(fast.host.drawing == plain.host.drawing, "drawing calls differ");
    fuzz::check(fast.host.statuses == plain.host.statuses, "status texts differ");
    if (fast.failed)
        return 0;

    // The records handed on are what the file reads back as.
    const auto rows = model::readRows(fast.file);
    if (records.inMemory) {
        fuzz::check(records.size() == rows.size(), "record count differs from the file");
        for (std::size_t k = 0; k < rows.size(); ++k)
            fuzz::check(records.x[k] == rows[k][0] && records.y[k] == rows[k][1]
                    && static_cast<double>(records.group[k]) == rows[k][2],
                "a record in memory differs from the file");
    }

    const double minX = *std::min_element(points.x.begin(), points.x.end());
    const double maxX = *std::max_element(points.x.begin(), points.x.end());
    const std::string positive = fuzz::Files::path("curve.vnp");
    const std::string negative = fuzz::Files::path("curve.vnn");
    QuietHost quiet;
    run::buildCurves(quiet, records, minX, maxX, positive, negative)->close();
    fuzz::check(files.bytesOf(positive) == model::sideFile(fast.file, true, minX),
        "positive side differs from the literal model");
    fuzz::check(files.bytesOf(negative) == model::sideFile(fast.file, false, maxX),
        "negative side differs from the literal model");
    return 0;
}
