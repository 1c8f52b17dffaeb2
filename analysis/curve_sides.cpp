#include "analysis/curve_sides.h"

#include "run/output_files.h"
#include "run/text_records.h"

#include <new>
#include <string_view>

namespace analysis {

namespace {

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t';
    }

    [[noreturn]] void throwBadLine(const run::TextReader& reader, std::size_t line)
    {
        throw run::RunFailure(run::FailureCode::TypeMismatch,
            reader.path() + ": line " + std::to_string(line) + " is not a curve point");
    }

    // Adds the point of one curve line; a line of blanks holds none.
    void addPoint(
        const run::TextReader& reader, std::string_view text, std::size_t line, CurveSide& side)
    {
        double values[2] = {};
        std::size_t count = 0;
        std::size_t i = 0;
        while (true) {
            while (i < text.size() && isBlank(text[i]))
                ++i;
            if (i == text.size())
                break;
            const std::size_t start = i;
            while (i < text.size() && !isBlank(text[i]))
                ++i;
            bool overflow = false;
            if (count == 2
                || !run::parseNumber(text.substr(start, i - start), values[count], overflow))
                throwBadLine(reader, line);
            ++count;
        }
        if (count == 0)
            return;
        if (count != 2)
            throwBadLine(reader, line);
        side.x.push_back(values[0]);
        side.y.push_back(values[1]);
    }

    // Reads point lines into `side` up to the end of the file, or up to the separator line when
    // `untilSeparator`; returns whether the separator was met. `line` counts the lines read.
    bool readPoints(
        run::TextReader& reader, CurveSide& side, bool untilSeparator, std::size_t& line)
    {
        while (!reader.atEnd()) {
            const std::string text = reader.readLine();
            ++line;
            if (untilSeparator && text == run::kSideSeparator)
                return true;
            addPoint(reader, text, line, side);
        }
        return false;
    }

    template <typename Read>
    CurveSidesRead guarded(Read read)
    {
        CurveSidesRead result;
        try {
            read(result.sides);
        } catch (const run::RunFailure& failure) {
            result.failure = failure.code();
            result.message = failure.what();
        } catch (const std::bad_alloc&) {
            result.failure = run::FailureCode::OutOfMemory;
            result.message = "Out of memory while reading the curve.";
        }
        if (!result)
            result.sides = {};
        return result;
    }

}  // namespace

CurveSidesRead readCurveSides(const std::string& positivePath, const std::string& negativePath)
{
    return guarded([&](CurveSides& sides) {
        for (auto [path, side] : { std::pair { &positivePath, &sides.positive },
                 std::pair { &negativePath, &sides.negative } }) {
            run::TextReader reader(*path);
            reader.readLine();  // header
            std::size_t line = 1;
            readPoints(reader, *side, false, line);
        }
    });
}

CurveSidesRead readCombinedCurve(const std::string& combinedPath)
{
    return guarded([&](CurveSides& sides) {
        run::TextReader reader(combinedPath);
        reader.readLine();  // header
        std::size_t line = 1;
        if (!readPoints(reader, sides.positive, true, line))
            throw run::RunFailure(run::FailureCode::TypeMismatch,
                combinedPath + ": the line between the two sides is missing");
        readPoints(reader, sides.negative, false, line);
    });
}

}  // namespace analysis
