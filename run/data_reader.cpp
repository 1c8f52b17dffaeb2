#include "run/data_reader.h"

#include "run/run_failure.h"
#include "run/run_pace.h"
#include "run/text_records.h"

#include <cmath>
#include <string_view>

namespace run {

namespace {

    // A value text longer than this cannot be a number anyone wrote; it is read as text that is
    // not a number, without holding it in memory.
    constexpr std::size_t kMaxValueText = 1 << 20;

    bool isBlank(int c)
    {
        return c == ' ' || c == '\t';
    }

    bool endsValue(char c)
    {
        return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n';
    }

    void skipBlanks(TextReader& r)
    {
        while (isBlank(r.peek()))
            r.advance();
    }

    // Takes the next value's text; it stays valid until the reader is used again.
    std::string_view takeValue(TextReader& r, bool& overlong)
    {
        overlong = false;
        std::size_t i = 0;
        for (;;) {
            const char* p = r.current();
            const std::size_t n = r.available();
            while (i < n && !endsValue(p[i]))
                ++i;
            if (i < n)
                break;
            if (i > kMaxValueText) {
                overlong = true;
                r.consume(i);
                i = 0;
            }
            if (!r.fill())
                break;
        }
        std::string_view text(r.current(), i);
        r.consume(i);
        if (overlong)
            return {};
        return text;
    }

    // Scans one line after the header, calling onValue(column, text, overlong) for each value.
    // Returns the number of values: 0 for a line of blanks and tabs only.
    template <typename OnValue>
    std::int64_t scanLine(TextReader& r, OnValue&& onValue)
    {
        skipBlanks(r);
        int c = r.peek();
        if (c < 0 || c == '\r' || c == '\n') {
            r.consumeLineEnd();
            return 0;
        }
        std::int64_t count = 0;
        for (;;) {
            bool overlong = false;
            const std::string_view text = takeValue(r, overlong);
            onValue(++count, text, overlong);
            skipBlanks(r);
            c = r.peek();
            if (c == ',' || c == ';') {
                r.advance();
                skipBlanks(r);
                continue;  // the next value may be empty
            }
            if (c < 0 || c == '\r' || c == '\n') {
                r.consumeLineEnd();
                return count;
            }
        }
    }

    std::string quoted(std::string_view text, bool overlong)
    {
        if (overlong)
            return "a value of more than a megabyte";
        std::string shown;
        for (char ch : text.substr(0, 40)) {
            const auto u = static_cast<unsigned char>(ch);
            shown.push_back(u < 0x20 || u == 0x7F ? '?' : ch);
        }
        if (text.size() > 40)
            shown += "...";
        return "\"" + shown + "\"";
    }

    void skipHeaderLines(TextReader& r, int skipLines, RunHost* host)
    {
        Pace pace(host, 0, 4096);
        for (int i = 0; i < skipLines; ++i) {
            r.skipLine();
            pace.step(0);
        }
    }

}  // namespace

std::int64_t countDataLines(const std::string& path, int skipLines, RunHost* host)
{
    TextReader r(path);
    skipHeaderLines(r, skipLines, host);
    Pace pace(host, 0, 1 << 20);  // in bytes
    std::int64_t count = 0;
    bool content = false;
    bool afterCr = false;
    while (r.available() > 0 || r.fill()) {
        const char* p = r.current();
        const std::size_t n = r.available();
        for (std::size_t i = 0; i < n; ++i) {
            const char c = p[i];
            if (afterCr) {
                afterCr = false;
                if (c == '\n')
                    continue;
            }
            if (c == '\n' || c == '\r') {
                count += content ? 1 : 0;
                content = false;
                afterCr = c == '\r';
            } else if (c != ' ' && c != '\t') {
                content = true;
            }
        }
        r.consume(n);
        pace.step(0, static_cast<std::int64_t>(n));
    }
    count += content ? 1 : 0;
    if (count == 0)
        throw RunFailure(FailureCode::InputPastEnd,
            "the file holds no data line after the " + std::to_string(skipLines)
                + " header line(s)");
    return count;
}

PreparedPoints readDataFile(const settings::RunSettings& s, const std::string& pointFilePath,
    RecordExtremes& extremes, RunHost* host)
{
    const std::int64_t lines = countDataLines(s.DataFilePath, s.SkipLines, host);
    if (host)
        host->progress(0, lines);
    Pace pace(host, lines, 1024);

    TextReader r(s.DataFilePath);
    PointPreparation preparation(
        pointFilePath, extremes, static_cast<std::size_t>(lines), host && host->wantsPointLines());
    skipHeaderLines(r, s.SkipLines, host);

    const double xCoefficient = s.XCoefficient;
    const double yCoefficient = s.YCoefficient;
    std::int64_t fileLine = s.SkipLines;
    std::int64_t width = 0;  // values per line, from the first data line
    for (std::int64_t a = 0; a < lines;) {
        if (r.atEnd())  // the file shrank since it was counted
            throw RunFailure(FailureCode::InputPastEnd,
                s.DataFilePath + ": input past the end of the file", fileLine);
        ++fileLine;
        double x = 0.0;
        double y = 0.0;
        bool haveX = false;
        bool haveY = false;
        const auto scale = [&](std::string_view text, bool overlong, double coefficient,
                               std::int64_t column) {
            double v = 0.0;
            bool overflow = false;
            if (overlong || !parseNumber(text, v, overflow)) {
                throw RunFailure(overflow ? FailureCode::Overflow : FailureCode::TypeMismatch,
                    "line " + std::to_string(fileLine) + ", column " + std::to_string(column) + ": "
                        + quoted(text, overlong)
                        + (overflow ? " is too large" : " is not a number"),
                    fileLine);
            }
            const double scaled = v * coefficient;
            if (!std::isfinite(scaled))
                throw RunFailure(FailureCode::Overflow,
                    "line " + std::to_string(fileLine) + ", column " + std::to_string(column) + ": "
                        + quoted(text, false) + " scaled by its coefficient is too large",
                    fileLine);
            return scaled;
        };
        const std::int64_t count =
            scanLine(r, [&](std::int64_t column, std::string_view text, bool overlong) {
                if (column == s.XColumn) {
                    x = scale(text, overlong, xCoefficient, column);
                    haveX = true;
                }
                if (column == s.YColumn) {
                    y = scale(text, overlong, yCoefficient, column);
                    haveY = true;
                }
            });
        if (count == 0) {
            pace.step(a);  // a run of blank lines is work too
            continue;
        }
        if (width == 0)
            width = count;
        if (count != width)
            throw RunFailure(FailureCode::TypeMismatch,
                "line " + std::to_string(fileLine) + " holds " + std::to_string(count)
                    + " values where the first data line holds " + std::to_string(width),
                fileLine);
        if (!haveX || !haveY)
            throw RunFailure(FailureCode::IndexOutOfRange,
                "line " + std::to_string(fileLine) + " holds " + std::to_string(count)
                    + " values: there is no column "
                    + std::to_string(haveX ? s.YColumn : s.XColumn),
                fileLine);
        preparation.addLine(x, y, fileLine);
        ++a;
        pace.step(a);
    }
    if (host)
        host->progress(lines, lines);
    return preparation.finish();
}

}  // namespace run
