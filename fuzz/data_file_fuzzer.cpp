// The data file reader and the whole run on arbitrary file bytes, in a file system in memory.
// The reader's points are compared with a plain reading of the documented rules, and on small
// records the run's cross check and curve with the plain double loop and the literal model.
// The whole run must finish, fail with one of the three messages and a code, or stop when
// asked; it must leave only its own names beside the data file, never change the data file,
// close every file it opened and let go of its lock, write curve files that read back to the
// curve it hands over, and write the same bytes when run again with reads and writes cut
// into other pieces.
//
// Input: byte 0 columns, header lines, output mode and working files; byte 1 the two
// coefficients; byte 2 how reads and writes are cut, what the host keeps of the run, the
// reader's threads, stale files of an earlier run, the data file's name; byte 3 a failing
// call of the file system or a stop; the rest is the data file.
#include "fuzz_support.h"
#include "run/curve_construction.h"
#include "run/data_reader.h"
#include "run/file_names.h"
#include "run/output_files.h"
#include "run/run_driver.h"
#include "run/run_failure.h"
#include "tests/support/literal_model.h"
#include "tests/support/reference_cross_check.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using run::FailureCode;

struct Plain
{
    FailureCode failure = FailureCode::None;
    std::string pointFile;
};

// The data file read the plain way: lines split at CR LF, LF or CR; header lines dropped;
// lines of blanks and tabs skipped; values split at blanks and tabs or at one comma or
// semicolon; X and Y scaled; then the point file written by the literal model.
Plain plainRead(std::string_view text, const settings::RunSettings& s)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n' && (pos == end || text[end] == '\r'))
            ++pos;
    }
    if (lines.size() < static_cast<std::size_t>(s.SkipLines))
        return { FailureCode::InputPastEnd, {} };
    std::vector<double> X;
    std::vector<double> Y;
    std::size_t width = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (std::size_t l = static_cast<std::size_t>(s.SkipLines); l < lines.size(); ++l) {
        const std::string_view line = lines[l];
        std::size_t i = 0;
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i == line.size())
            continue;
        std::vector<std::string_view> values;
        for (;;) {
            const std::size_t start = i;
            while (i < line.size() && !blank(line[i]) && line[i] != ',' && line[i] != ';')
                ++i;
            values.push_back(line.substr(start, i - start));
            while (i < line.size() && blank(line[i]))
                ++i;
            if (i < line.size() && (line[i] == ',' || line[i] == ';')) {
                ++i;
                while (i < line.size() && blank(line[i]))
                    ++i;
                continue;
            }
            if (i == line.size())
                break;
        }
        double x = 0.0;
        double y = 0.0;
        for (std::size_t c = 1; c <= values.size(); ++c) {
            for (int axis = 0; axis < 2; ++axis) {
                if (static_cast<std::size_t>(axis == 0 ? s.XColumn : s.YColumn) != c)
                    continue;
                if (!fuzz::numberShape(values[c - 1]))
                    return { FailureCode::TypeMismatch, {} };
                const double v = decimalValue(values[c - 1]);
                if (std::isinf(v))
                    return { FailureCode::Overflow, {} };
                const double scaled =
                    v * static_cast<double>(axis == 0 ? s.XCoefficient : s.YCoefficient);
                if (!std::isfinite(scaled))
                    return { FailureCode::Overflow, {} };
                (axis == 0 ? x : y) = scaled;
            }
        }
        if (width == 0)
            width = values.size();
        if (values.size() != width)
            return { FailureCode::TypeMismatch, {} };
        if (static_cast<std::size_t>(s.XColumn) > width
            || static_cast<std::size_t>(s.YColumn) > width)
            return { FailureCode::IndexOutOfRange, {} };
        if (!X.empty() && y * Y.back() < 0 && x != X.back()) {
            const double x0 = x - (x - X.back()) * y / (y - Y.back());
            if (!std::isfinite(x0))
                return { FailureCode::Overflow, {} };
        }
        X.push_back(x);
        Y.push_back(y);
    }
    if (X.empty())
        return { FailureCode::InputPastEnd, {} };
    return { FailureCode::None, model::pointFile(X, Y) };
}

const char* const kCoefficients[] = { "1", "-1", "0.1", "1000", "0", "1E300", "3.4E38", "-2.5" };

// The plain double loop costs the square of the points: only small records are compared.
constexpr std::size_t kMostReferencePoints = 80;

// What one input asks for.
struct Case
{
    settings::RunSettings settings;
    std::string xCoefficient;
    std::string yCoefficient;
    bool held = false;  // both coefficients can be held in single precision
    std::uint8_t pieces = 0;
    run::FinishedRunParts parts;
    bool twoThreads = false;
    bool stale = false;
    std::uint64_t failCall = 0;
    int failError = 0;
    int stopAfterYields = -1;
    std::string bytes;
};

Case decode(const std::uint8_t* data, std::size_t size)
{
    Case c;
    settings::RunSettings& s = c.settings;
    settings::applyStartupDefaults(s);
    s.XColumn = static_cast<std::int16_t>(1 + data[0] % 4);
    s.YColumn = static_cast<std::int16_t>(1 + (data[0] >> 2) % 4);
    s.SkipLines = static_cast<std::int16_t>((data[0] >> 4) % 3);
    s.OutputMode = static_cast<std::int16_t>(1 + (data[0] >> 6) % 2);
    s.KeepWorkingFiles = static_cast<std::int16_t>(data[0] >> 7);
    c.xCoefficient = kCoefficients[data[1] % 8];
    c.yCoefficient = kCoefficients[(data[1] >> 3) % 8];
    const bool xHeld = settings::setXCoefficient(s, c.xCoefficient);
    c.held = settings::setYCoefficient(s, c.yCoefficient) && xHeld;

    c.pieces = static_cast<std::uint8_t>((data[2] & 3) * 9);
    c.parts.rows = c.parts.points = c.parts.pointLines = (data[2] & 4) != 0;
    c.parts.groups = c.parts.crossings = (data[2] & 8) != 0;
    if (data[2] & 16) {
        // Few crossings held: the rest counted on a small grid.
        c.parts.exactCrossings = 3;
        c.parts.gridColumns = 5;
        c.parts.gridRows = 4;
    }
    // A thread costs as much as a small run: one input in four.
    c.twoThreads = (data[2] & 32) != 0 && (data[3] & 1) != 0;
    c.stale = (data[2] & 64) != 0;
    // A name of UTF-8 characters, of which the name base drops the last three.
    s.DataFilePath =
        fuzz::Files::path((data[2] & 128) ? "w\xC3\xA4nd.\xE2\x82\xAC\xC3\xA9x" : "record.prn");

    if (data[3] & 128) {
        static constexpr int kErrors[] = { ENOSPC, EIO, EACCES, EINTR };
        c.failCall = 1 + (data[3] & 31);
        c.failError = kErrors[(data[3] >> 5) & 3];
    } else if (data[3] & 64) {
        c.stopAfterYields = 1 + (data[3] & 31);
    }
    c.bytes.assign(reinterpret_cast<const char*>(data) + 4, size - 4);
    return c;
}

// A file left by an earlier run.
constexpr const char* kStaleText = "stale\r\n";

std::string lastPart(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// The temporary file that a killed run left beside the positive curve: its process, of a
// number beyond any process's, is gone.
std::string leftoverName(const std::string& base)
{
    return "." + lastPart(base) + run::name_part::kPositiveCurve + ".varnel-999999999-7.part";
}

// A text with each temporary file's name in it without the count that differs from run to
// run (".a.vnp.varnel-<process>-<count>.part").
std::string masked(std::string text)
{
    for (std::size_t at = text.find(".varnel-"); at != std::string::npos;
         at = text.find(".varnel-", at + 1)) {
        const std::size_t dash = text.find('-', at + 8);
        const std::size_t end = text.find(".part", at);
        if (dash != std::string::npos && end != std::string::npos && dash < end)
            text.replace(dash + 1, end - dash - 1, "#");
    }
    return text;
}

bool isTemporary(const std::string& name)
{
    return name.find(".varnel-") != std::string::npos;
}

// A front end that writes down what a second run must repeat: the statuses, the messages and
// the drawing calls (compactly), and the finished run.
class FuzzHost : public run::RunHost
{
public:
    run::FinishedRunParts parts;
    int stopAfterYields = -1;  // yield returns false from this yield on; -1: never
    std::optional<run::FinishedRun> finished;
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    std::vector<std::uint32_t> drawing;

    void setStatus(const std::string& text) override
    {
        statuses.push_back(text);
    }

    void showFileName(int, const std::string&) override { }

    bool yield() override
    {
        ++m_yields;
        return stopAfterYields < 0 || m_yields < stopAfterYields;
    }

    run::FinishedRunParts finishedRunParts() const override
    {
        return parts;
    }

    void runFinished(run::FinishedRun&& run) override
    {
        finished = std::move(run);
    }

    void clearPlot() override
    {
        call(0, {});
    }

    void setPlotWindow(float left, float top, float right, float bottom) override
    {
        call(1, { left, top, right, bottom });
    }

    void drawLine(float x1, float y1, float x2, float y2, run::Rgb c) override
    {
        call(2, { x1, y1, x2, y2 }, c);
    }

    void drawDot(float x, float y, run::Rgb c) override
    {
        call(3, { x, y }, c);
    }

    void drawLineTo(float x, float y, run::Rgb c) override
    {
        call(4, { x, y }, c);
    }

    void showError(const std::string& message) override
    {
        errors.push_back(message);
    }

private:
    void call(std::uint32_t op, std::initializer_list<float> values, run::Rgb c = {})
    {
        drawing.push_back(op << 24 | static_cast<std::uint32_t>(c.red) << 16
            | static_cast<std::uint32_t>(c.green) << 8 | c.blue);
        for (const float v : values)
            drawing.push_back(std::bit_cast<std::uint32_t>(v));
    }

    int m_yields = 0;
};

// One whole run in a file system of its own, with what it left there.
struct Outcome
{
    run::RunReport report;
    FuzzHost host;
    std::map<std::string, std::string> files;  // by name in the folder, temporaries masked
    bool failed = false;  // the file system failed a call
    MemoryFileSystem::Call failedCall = MemoryFileSystem::Call::Open;
};

Outcome runWhole(const Case& c, std::uint8_t pieces)
{
    fuzz::Files files;
    fuzz::setPieces(files, pieces);
    const std::string base = run::runNameBase(c.settings.DataFilePath);
    files.addFile(c.settings.DataFilePath, c.bytes);
    if (c.stale) {
        for (const char* part : { run::name_part::kPointFile, run::name_part::kCrossCheckFile,
                 run::name_part::kPositiveCurve, run::name_part::kCombinedCurve })
            files.addFile(base + part, kStaleText);
        files.addFile(fuzz::Files::path(leftoverName(base)), kStaleText);
    }
    files.failCall(c.failCall, c.failError);

    Outcome o;
    o.host.parts = c.parts;
    o.host.stopAfterYields = c.stopAfterYields;
    settings::RunSettings live = c.settings;
    o.report = run::runVarnel(o.host, live, c.xCoefficient, c.yCoefficient);
    o.failed = files.failed(&o.failedCall);
    fuzz::check(files.openFiles() == 0, "the run left a file open");
    fuzz::check(files.locks() == 0, "the run left its lock held");
    for (const auto& [path, bytes] : files.files())
        o.files[masked(lastPart(path))] = bytes;
    return o;
}

// The points of a curve file's text: a header line, then lines of two numbers; the combined
// file has both sides, parted by a line of "=".
std::vector<run::CurveSide> readCurveText(const std::string& text)
{
    std::vector<run::CurveSide> sides(1);
    std::size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        fuzz::check(end != std::string::npos, "a curve file line without CR LF");
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        if (header) {
            fuzz::check(line == run::kCurveHeader, "a curve file without its header");
            header = false;
            continue;
        }
        if (line == run::kSideSeparator) {
            sides.emplace_back();
            continue;
        }
        // Two values, each with its sign column and a blank after it.
        double xy[2] = {};
        std::size_t v = 0;
        std::size_t i = 0;
        for (; v < 2; ++v) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ')
                ++i;
            const std::string_view number = std::string_view(line).substr(start, i - start);
            if (!fuzz::numberShape(number))
                break;
            xy[v] = decimalValue(number);
        }
        fuzz::check(v == 2 && line.find_first_not_of(' ', i) == std::string::npos,
            "a curve line of other than two values: " + line);
        sides.back().x.push_back(xy[0]);
        sides.back().y.push_back(xy[1]);
    }
    return sides;
}

bool sameSide(const run::CurveSide& a, const run::CurveSide& b)
{
    return a.x == b.x && a.y == b.y;
}

void checkCurveFiles(const Outcome& o, const Case& c, const std::string& base)
{
    const run::CurveSides& curve = o.host.finished->curve;
    const auto file = [&](const char* part) {
        const auto it = o.files.find(lastPart(base) + part);
        return it == o.files.end() ? std::optional<std::string>() : it->second;
    };
    // In two-file mode a combined file is a stale one.
    if (const auto combined = settings::writesOneOutputFile(c.settings)
            ? file(run::name_part::kCombinedCurve)
            : std::nullopt) {
        const auto sides = readCurveText(*combined);
        fuzz::check(sides.size() == 2 && sameSide(sides[0], curve.positive)
                && sameSide(sides[1], curve.negative),
            "the combined curve file reads back to another curve");
    }
    if (const auto positive = file(run::name_part::kPositiveCurve)) {
        const auto sides = readCurveText(*positive);
        fuzz::check(sides.size() == 1 && sameSide(sides[0], curve.positive),
            "the positive curve file reads back to another curve");
    }
    if (const auto negative = file(run::name_part::kNegativeCurve)) {
        const auto sides = readCurveText(*negative);
        fuzz::check(sides.size() == 1 && sameSide(sides[0], curve.negative),
            "the negative curve file reads back to another curve");
    }
}

// The plain double loop's cross check and the literal model's curve of the reader's points.
struct Reference
{
    bool tooFew = false;  // a record of fewer than two points has no segment to check
    bool failed = false;
    std::int64_t failedAt = 0;
    std::string crossCheckFile;
    std::string positive;
    std::string negative;
};

std::optional<Reference> reference(
    const run::PreparedPoints& points, const run::RecordExtremes& extremes)
{
    if (points.size() > kMostReferencePoints)
        return std::nullopt;
    if (points.size() < 2)
        return Reference { .tooFew = true };
    fuzz::Files files;
    const std::string path = fuzz::Files::path("reference.buf");
    QuietHost quiet;
    const ReferenceResult r = referenceCrossCheck(quiet, points, path);
    Reference ref;
    ref.failed = r.failed;
    ref.failedAt = r.failedAt;
    ref.crossCheckFile = files.bytesOf(path);
    if (!ref.failed) {
        ref.positive = model::sideFile(ref.crossCheckFile, true, extremes.minX);
        ref.negative = model::sideFile(ref.crossCheckFile, false, extremes.maxX);
    }
    return ref;
}

void checkAgainstReference(
    const Outcome& o, const Case& c, const Reference& ref, const std::string& base)
{
    const std::string& m = o.report.message;
    if (ref.tooFew) {
        fuzz::check(o.report.outcome == run::RunOutcome::Failed
                && m == run::dataErrorMessage(FailureCode::IndexOutOfRange),
            "a record of fewer than two points was not refused: " + m);
        return;
    }
    if (ref.failed) {
        fuzz::check(o.report.outcome == run::RunOutcome::Failed
                && m == run::sameXErrorMessage(ref.failedAt),
            "the plain cross check failed at point " + std::to_string(ref.failedAt)
                + ", the run said: " + m);
        return;
    }
    fuzz::check(o.report.outcome == run::RunOutcome::Finished,
        "the plain cross check passed, the run said: " + m + " " + o.report.detail);
    const auto file = [&](const char* part) {
        const auto it = o.files.find(lastPart(base) + part);
        return it == o.files.end() ? std::string() : it->second;
    };
    const bool keep = settings::keepsWorkingFiles(c.settings);
    if (keep)
        fuzz::check(file(run::name_part::kCrossCheckFile) == ref.crossCheckFile,
            "the cross-check file differs from the plain cross check's");
    if (keep || !settings::writesOneOutputFile(c.settings)) {
        fuzz::check(file(run::name_part::kPositiveCurve) == ref.positive,
            "the positive curve differs from the literal model's");
        fuzz::check(file(run::name_part::kNegativeCurve) == ref.negative,
            "the negative curve differs from the literal model's");
    }
    if (settings::writesOneOutputFile(c.settings))
        fuzz::check(
            file(run::name_part::kCombinedCurve) == model::combinedFile(ref.positive, ref.negative),
            "the combined curve differs from the literal model's");
}

void checkRun(
    const Outcome& o, const Case& c, const Plain& plain, const std::optional<Reference>& ref)
{
    const std::string base = run::runNameBase(c.settings.DataFilePath);
    const std::string dataName = lastPart(c.settings.DataFilePath);
    const auto bytesOf = [&](const std::string& name) {
        const auto it = o.files.find(name);
        return it == o.files.end() ? std::string() : it->second;
    };
    fuzz::check(
        o.files.count(dataName) && bytesOf(dataName) == c.bytes, "the run changed the data file");
    std::set<std::string> own = { dataName };
    for (const char* part : { run::name_part::kPointFile, run::name_part::kCrossCheckFile,
             run::name_part::kPositiveCurve, run::name_part::kNegativeCurve,
             run::name_part::kCombinedCurve })
        own.insert(lastPart(base) + part);
    // A temporary file stays only where the file system refused to remove it.
    const bool unlinkFailed = o.failed && o.failedCall == MemoryFileSystem::Call::Unlink;
    const std::string leftover = masked(leftoverName(base));
    for (const auto& [name, bytes] : o.files)
        fuzz::check(own.count(name) == 1 || (c.stale && name == leftover)
                || (unlinkFailed && isTemporary(name)),
            "the run left a stranger: " + name);

    const std::string& m = o.report.message;
    switch (o.report.outcome) {
    case run::RunOutcome::Finished:
        fuzz::check(o.host.errors.empty(), "a finished run showed a message");
        fuzz::check(o.host.finished.has_value(), "a finished run handed over no record");
        fuzz::check(o.host.statuses.back() == "Finish", "a finished run did not say Finish");
        checkCurveFiles(o, c, base);
        fuzz::check(!c.stale || o.failed || !o.files.count(leftover),
            "a finished run left a dead run's temporary file");
        break;
    case run::RunOutcome::Failed: {
        fuzz::check(o.host.errors.size() == 1 && o.host.errors[0] == m,
            "a failed run did not show its one message");
        fuzz::check(!o.host.finished, "a failed run handed over a record");
        const bool known = m == run::dataErrorMessage(o.report.code)
            || m == run::outputFileErrorMessage(o.report.code)
            || m.rfind("These data include the same x-value at ", 0) == 0;
        fuzz::check(known, "unexpected message: " + m);
        fuzz::check(o.report.code != FailureCode::None, "a failure without a code");
        break;
    }
    case run::RunOutcome::Stopped:
        fuzz::check(c.stopAfterYields > 0, "a run stopped unasked");
        fuzz::check(o.host.errors.empty() && !o.host.finished, "a stopped run said more");
        return;
    case run::RunOutcome::NoDataFile:
        fuzz::fail("a run found no data file name");
    }
    if (o.failed || c.stopAfterYields > 0)
        return;

    // Nothing failed but what the data may make fail.
    if (!c.held) {
        // A coefficient the box shows but single precision cannot hold: nothing is touched.
        fuzz::check(o.report.outcome == run::RunOutcome::Failed
                && m == run::dataErrorMessage(FailureCode::Overflow),
            "an unholdable coefficient was not refused");
        return;
    }
    if (plain.failure != FailureCode::None) {
        fuzz::check(o.report.outcome == run::RunOutcome::Failed
                && m == run::dataErrorMessage(plain.failure),
            "the plain reading failed with " + std::to_string(static_cast<int>(plain.failure))
                + ", the run said: " + m);
        // The probe's line is all a curve file holds after a failure in the reading phase.
        fuzz::check(bytesOf(lastPart(base) + run::name_part::kPositiveCurve) == "Test output\r\n"
                && bytesOf(lastPart(base) + run::name_part::kNegativeCurve) == "Test output\r\n",
            "a curve file was written by a run that failed while reading");
        return;
    }
    if (ref)
        checkAgainstReference(o, c, *ref, base);
    if (o.report.outcome != run::RunOutcome::Finished)
        return;
    const bool keep = settings::keepsWorkingFiles(c.settings);
    const bool oneFile = settings::writesOneOutputFile(c.settings);
    std::set<std::string> expected = { dataName };
    if (keep || !oneFile)
        expected.insert({ lastPart(base) + "vnp", lastPart(base) + "vnn" });
    if (keep)
        expected.insert({ lastPart(base) + "bu0", lastPart(base) + "buf" });
    if (oneFile || c.stale)
        expected.insert(lastPart(base) + "vnl");  // a stale one stays in two-file mode
    std::set<std::string> names;
    for (const auto& [name, bytes] : o.files)
        names.insert(name);
    fuzz::check(names == expected, "a finished run left other files");
}

void checkSame(const Outcome& a, const Outcome& b)
{
    fuzz::check(a.report.outcome == b.report.outcome && a.report.code == b.report.code
            && a.report.message == b.report.message
            && masked(a.report.detail) == masked(b.report.detail),
        "a second run ended otherwise: " + a.report.detail + " / " + b.report.detail);
    fuzz::check(a.files == b.files, "a second run left other bytes");
    fuzz::check(a.host.drawing == b.host.drawing, "a second run drew otherwise");
    fuzz::check(a.host.statuses == b.host.statuses, "a second run showed other statuses");
    if (a.host.finished) {
        const run::FinishedRun& x = *a.host.finished;
        const run::FinishedRun& y = *b.host.finished;
        fuzz::check(sameSide(x.curve.positive, y.curve.positive)
                && sameSide(x.curve.negative, y.curve.negative) && x.rows.x == y.rows.x
                && x.rows.y == y.rows.y && x.points.x == y.points.x && x.points.y == y.points.y
                && x.points.lines == y.points.lines && x.groups == y.groups
                && x.crossings.x == y.crossings.x && x.crossings.counts == y.crossings.counts,
            "a second run handed over another record");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const Case c = decode(data, size);
    const settings::RunSettings& s = c.settings;

    // The reader alone, against the plain reading.
    const Plain plain = plainRead(c.bytes, s);
    std::optional<Reference> ref;
    {
        fuzz::Files files;
        fuzz::setPieces(files, c.pieces);
        files.addFile(s.DataFilePath, c.bytes);
        const std::string pointPath = fuzz::Files::path("alone.bu0");
        FailureCode code = FailureCode::None;
        run::RecordExtremes extremes;
        run::PreparedPoints points;
        try {
            points = run::readDataFile(s, pointPath, extremes, nullptr,
                c.twoThreads ? run::Threads::Two : run::Threads::Auto);
        } catch (const run::RunFailure& f) {
            code = f.code();
        }
        fuzz::check(code == plain.failure,
            "reader failed with " + std::to_string(static_cast<int>(code)) + ", plain reading with "
                + std::to_string(static_cast<int>(plain.failure)));
        if (code == FailureCode::None) {
            fuzz::check(files.bytesOf(pointPath) == plain.pointFile, "point files differ");
            if (c.held)
                ref = reference(points, extremes);
        }
    }

    // The whole run, twice: the second time with reads and writes cut otherwise, unless a call
    // is to fail (the cut moves which call that is).
    const Outcome first = runWhole(c, c.pieces);
    checkRun(first, c, plain, ref);
    const Outcome second =
        runWhole(c, c.failCall ? c.pieces : static_cast<std::uint8_t>(c.pieces + 9));
    checkRun(second, c, plain, ref);
    // A stop may come at a yield that the clock decides.
    if (c.stopAfterYields < 0)
        checkSame(first, second);
    return 0;
}
