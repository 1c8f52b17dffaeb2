// The data file reader and the whole run on arbitrary file bytes. The reader's points are
// compared with a plain reading of the documented rules; the whole run must end in "Finish" or
// in one of the three messages, leave only its own five names changed beside the data file,
// and never change the data file.
#include "fuzz_support.h"
#include "run/data_reader.h"
#include "run/run_driver.h"
#include "run/run_failure.h"
#include "tests/support/literal_model.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
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

// Names in the folder with their bytes.
std::set<std::string> namesIn(const fuzz::ScratchFolder& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.insert(entry.path().filename().string());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    settings::RunSettings s;
    settings::applyStartupDefaults(s);
    s.XColumn = static_cast<std::int16_t>(1 + data[0] % 4);
    s.YColumn = static_cast<std::int16_t>(1 + (data[0] >> 2) % 4);
    s.SkipLines = static_cast<std::int16_t>((data[0] >> 4) % 3);
    s.OutputMode = static_cast<std::int16_t>(1 + (data[0] >> 6) % 2);
    s.KeepWorkingFiles = static_cast<std::int16_t>(data[0] >> 7);
    const char* xCoefficient = kCoefficients[data[1] % 8];
    const char* yCoefficient = kCoefficients[(data[1] >> 3) % 8];
    const bool xHeld = settings::setXCoefficient(s, xCoefficient);
    const bool held = settings::setYCoefficient(s, yCoefficient) && xHeld;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    const fuzz::ScratchFolder& folder = fuzz::scratch();
    folder.empty();
    s.DataFilePath = folder.file("record.prn");
    fuzz::writeFile(s.DataFilePath, bytes);

    // The reader alone, against the plain reading.
    const Plain plain = plainRead(bytes, s);
    const std::string pointPath = folder.file("record.bu0");
    FailureCode code = FailureCode::None;
    run::RecordExtremes extremes;
    try {
        run::readDataFile(s, pointPath, extremes);
    } catch (const run::RunFailure& f) {
        code = f.code();
    }
    fuzz::check(code == plain.failure,
        "reader failed with " + std::to_string(static_cast<int>(code)) + ", plain reading with "
            + std::to_string(static_cast<int>(plain.failure)));
    if (code == FailureCode::None)
        fuzz::check(readFile(pointPath) == plain.pointFile, "point files differ");

    // The whole run.
    folder.empty();
    fuzz::writeFile(s.DataFilePath, bytes);
    QuietHost host;
    settings::RunSettings live = s;
    const run::RunReport report = run::runVarnel(host, live, xCoefficient, yCoefficient);
    fuzz::check(readFile(s.DataFilePath) == bytes, "the run changed the data file");
    const std::set<std::string> own = { "record.prn", "record.bu0", "record.buf", "record.vnp",
        "record.vnn", "record.vnl" };
    const std::set<std::string> names = namesIn(folder);
    for (const std::string& name : names)
        fuzz::check(own.count(name) == 1, "the run left a stranger: " + name);
    const bool keep = s.KeepWorkingFiles == 1;
    if (!held) {
        // A coefficient the box shows but single precision cannot hold: nothing is touched.
        fuzz::check(report.outcome == run::RunOutcome::Failed
                && report.message == run::dataErrorMessage(FailureCode::Overflow),
            "an unholdable coefficient was not refused");
        fuzz::check(names == std::set<std::string> { "record.prn" }, "files touched");
        return 0;
    }
    switch (report.outcome) {
    case run::RunOutcome::Finished: {
        fuzz::check(
            plain.failure == FailureCode::None, "a run finished on a file the reader refuses");
        fuzz::check(host.errors.empty(), "a finished run showed a message");
        std::set<std::string> expected = { "record.prn" };
        if (keep || s.OutputMode == 1)
            expected.insert({ "record.vnp", "record.vnn" });
        if (keep)
            expected.insert({ "record.bu0", "record.buf" });
        if (s.OutputMode == 2)
            expected.insert("record.vnl");
        fuzz::check(names == expected, "a finished run left other files");
        break;
    }
    case run::RunOutcome::Failed: {
        fuzz::check(host.errors.size() == 1 && host.errors[0] == report.message,
            "a failed run did not show its one message");
        const std::string& m = report.message;
        const bool known = m == run::dataErrorMessage(report.code)
            || m.rfind("These data include the same x-value at ", 0) == 0;
        fuzz::check(known, "unexpected message: " + m);
        fuzz::check(report.code != FailureCode::None, "a failure without a code");
        if (plain.failure != FailureCode::None)
            fuzz::check(m == run::dataErrorMessage(plain.failure), "another data error: " + m);
        // The probe's line is all a curve file holds after a failure in the reading phase.
        if (m == run::dataErrorMessage(report.code))
            fuzz::check(readFile(folder.file("record.vnp")) == "Test output\r\n"
                    && readFile(folder.file("record.vnn")) == "Test output\r\n",
                "a curve file was written by a run that failed while reading");
        break;
    }
    default:
        fuzz::fail("a run neither finished nor failed");
    }
    return 0;
}
