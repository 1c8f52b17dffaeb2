#include "run/run_failure.h"
#include "run/text_records.h"
#include "tests/support/decimal_text.h"
#include "tests/support/failure_code.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

using run::FailureCode;
using run::RunFailure;
using run::TextReader;
using run::TextWriter;
using run::ZoneValue;

namespace {

// A written value without the blanks around it.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string formatted(double v)
{
    char text[run::kMaxNumberText];
    return std::string(text, run::formatDouble(text, v));
}

std::string formattedSingle(float v)
{
    char text[run::kMaxNumberText];
    return std::string(text, run::formatSingle(text, v));
}

std::string printfLike(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, std::fabs(v));
    return std::string(v < 0 ? "-" : " ") + text + " ";
}

double randomDouble(std::mt19937_64& rng)
{
    std::uniform_int_distribution<int> exponent(-320, 307);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    switch (rng() % 4) {
    case 0:
        return std::bit_cast<double>(
            (rng() & ~(0x7FFull << 52)) | (static_cast<std::uint64_t>(rng() % 2046 + 1) << 52));
    case 1:
        return mantissa(rng) * std::pow(10.0, exponent(rng) / 10);
    case 2:
        return std::round(mantissa(rng) * 1e6) / 1e3;  // values as data loggers write them
    default:
        return mantissa(rng) * std::pow(10.0, exponent(rng));
    }
}

FailureCode failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RunFailure& f) {
        return f.code();
    }
    return FailureCode::None;
}

}  // namespace

// ---- number text ----

TEST(NumberText, MatchesPrintfDigitsWithSignColumn)
{
    // Where the digits carry into a new place, and where the layout turns to an exponent.
    for (const double v : { 9.99999999999999949e-5, 9.9999999999999994e-5, 1e-4, 1e-5,
             999999999999999.4, 999999999999999.6, 99999999999999.99, 1e14, 0.999999999999999944,
             1e100, 1.5e-310, 5e-324, 1.7976931348623157e308, 123.456, 1e22, 1e23 }) {
        for (const double signedValue : { v, -v }) {
            ASSERT_EQ(formatted(signedValue), printfLike("%.15G", signedValue)) << signedValue;
            const auto f = static_cast<float>(std::fabs(signedValue) > FLT_MAX ? 1.0 : signedValue);
            ASSERT_EQ(formattedSingle(f), printfLike("%.7G", static_cast<double>(f))) << f;
        }
    }
    for (const float f : { 9999999.5f, 9999999.0f, 0.99999997f, 1e-38f, 1e-45f, 3.4028235e38f })
        ASSERT_EQ(formattedSingle(f), printfLike("%.7G", static_cast<double>(f))) << f;
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const double v = randomDouble(rng);
        if (!std::isfinite(v) || v == 0)
            continue;
        ASSERT_EQ(formatted(v), printfLike("%.15G", v)) << std::hexfloat << v;
        if (std::fabs(v) > FLT_MAX)
            continue;
        const auto f = static_cast<float>(v);
        if (f != 0) {
            ASSERT_EQ(formattedSingle(f), printfLike("%.7G", static_cast<double>(f)));
        }
    }
}

TEST(NumberText, Examples)
{
    EXPECT_EQ(formatted(0.5), " 0.5 ");
    EXPECT_EQ(formatted(1e-5), " 1E-05 ");
    EXPECT_EQ(formatted(2.0), " 2 ");
    EXPECT_EQ(formatted(-2.25), "-2.25 ");
    EXPECT_EQ(formatted(-0.0), " 0 ");
    EXPECT_EQ(formatted(1e15), " 1E+15 ");
    EXPECT_EQ(formatted(123456789012345.0), " 123456789012345 ");
    EXPECT_EQ(formatted(0.1 + 0.2), " 0.3 ");
    EXPECT_EQ(formattedSingle(0.7f), " 0.7 ");
    EXPECT_EQ(formattedSingle(-0.0f), " 0 ");
    EXPECT_EQ(formattedSingle(1.0f / 3.0f), " 0.3333333 ");
    char text[run::kMaxNumberText];
    EXPECT_EQ(std::string(text, run::formatWhole(text, 42)), " 42 ");
    EXPECT_EQ(std::string(text, run::formatWhole(text, -7)), "-7 ");
}

TEST(NumberText, EveryNumberReadsBackToTheValueItsTextMeans)
{
    std::mt19937_64 rng(11);
    for (int i = 0; i < 200000; ++i) {
        const double v = randomDouble(rng);
        if (!std::isfinite(v))
            continue;
        const std::string text = formatted(v);
        const double back = run::roundTripDouble(v);
        ASSERT_EQ(back, decimalValue(trimmed(text))) << text;
        // Written again, it gives the same text: values survive any number of round trips.
        ASSERT_EQ(formatted(back), text);
        ASSERT_EQ(run::roundTripDouble(back), back);
        if (std::fabs(v) <= FLT_MAX) {
            const auto f = static_cast<float>(v);
            // A single's text reads back as a double that keeps its value, though written
            // again with 15 digits its text may differ ("8.643936E+09" becomes "8643936000").
            const double singleBack = run::roundTripSingle(f);
            ASSERT_EQ(singleBack, decimalValue(trimmed(formattedSingle(f))));
            ASSERT_EQ(run::roundTripDouble(singleBack), singleBack);
        }
    }
}

TEST(NumberText, ParseAcceptsDecimalNumbersOnly)
{
    double v = 0;
    bool overflow = false;
    for (const char* good : { "12", "-0.5", ".5", "1.5E-3", "+2", "1.", "1e+5", "-0", "007" })
        EXPECT_TRUE(run::parseNumber(good, v, overflow)) << good;
    for (const char* bad :
        { "", "-", ".", "inf", "NaN", "nan", "0x10", "1e", "1e+", "1.5abc", "\"1\"", "+-1", "1 " })
        EXPECT_FALSE(run::parseNumber(bad, v, overflow)) << bad;
    EXPECT_TRUE(run::parseNumber("-0", v, overflow));
    EXPECT_TRUE(std::signbit(v));
    EXPECT_TRUE(run::parseNumber("1e-400", v, overflow));
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(run::parseNumber("1e400", v, overflow));
    EXPECT_TRUE(overflow);
    const std::string longNumber = "1" + std::string(3000, '0') + "e-3000";
    EXPECT_TRUE(run::parseNumber(longNumber, v, overflow));
    EXPECT_EQ(v, 1.0);
}

// ---- print-zone lines ----

TEST(PrintZoneLine, ValuesStartAtZoneBoundaries)
{
    char line[256];
    const auto lay = [&](std::initializer_list<ZoneValue> values) {
        return std::string(line, run::layOutZones(line, values));
    };
    EXPECT_EQ(lay({ ZoneValue::of(1.5), ZoneValue::of(-2.25) }), " 1.5          -2.25 ");
    EXPECT_EQ(lay({ ZoneValue::of(0.0), ZoneValue::whole(0) }).size(), 17u);
    // A value that fills its zone exactly: the next starts right at the boundary.
    EXPECT_EQ(lay({ ZoneValue::of(-1.2345678901), ZoneValue::of(1) }), "-1.2345678901  1 ");
    // One that runs past it pushes the next to the following boundary.
    EXPECT_EQ(lay({ ZoneValue::of(-1.23456789012), ZoneValue::of(1) }),
        "-1.23456789012               1 ");
    EXPECT_EQ(lay({ ZoneValue::single(0.7f), ZoneValue::single(-1.5f), ZoneValue::whole(3) }),
        " 0.7          -1.5           3 ");
}

TEST(TextWriter, WritesCrLfLines)
{
    TempFolder dir;
    TextWriter w(dir.file("a.txt"));
    w.writeText("Test output");
    w.writeLine({ ZoneValue::of(1.5), ZoneValue::of(-2.25) });
    w.close();
    EXPECT_EQ(readFile(dir.file("a.txt")), "Test output\r\n 1.5          -2.25 \r\n");
}

TEST(TextWriter, FailuresCarryTheFileSystemsCode)
{
    TempFolder dir;
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_EQ(
        failureOf([&] { TextWriter w(dir.file("folder")); }), FailureCode::PathFileAccessError);
    EXPECT_EQ(
        failureOf([&] { TextWriter w(dir.file("missing/a.txt")); }), FailureCode::PathNotFound);
    writeFile(dir.file("plain"), "x");
    EXPECT_EQ(failureOf([&] { TextWriter w(dir.file("plain/a.txt")); }), FailureCode::PathNotFound);
    EXPECT_EQ(failureOf([&] {
        TextWriter w("/dev/full");
        w.writeText("Test output");
        w.close();
    }),
        FailureCode::DiskFull);
}

// ---- readers ----

TEST(TextReader, LineEndsAreCrLfLfOrCr)
{
    TempFolder dir;
    writeFile(dir.file("a"), "one\r\ntwo\nthree\rfour \r\n\r\nlast");
    TextReader r(dir.file("a"));
    for (const char* expected : { "one", "two", "three", "four ", "", "last" })
        EXPECT_EQ(r.readLine(), expected);
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(failureOf([&] { r.readLine(); }), FailureCode::InputPastEnd);
}

TEST(TextReader, SkipsAByteOrderMarkAndReadsLongLines)
{
    TempFolder dir;
    const std::string longLine(3 << 20, 'x');
    writeFile(dir.file("a"), "\xEF\xBB\xBFhead\r\n" + longLine + "\r\nend\r\n");
    TextReader r(dir.file("a"));
    EXPECT_EQ(r.readLine(), "head");
    EXPECT_EQ(r.readLine(), longLine);
    r.skipLine();
    EXPECT_TRUE(r.atEnd());
}

TEST(TextReader, OpenFailures)
{
    TempFolder dir;
    EXPECT_EQ(failureOf([&] { TextReader r(dir.file("missing.prn")); }), FailureCode::FileNotFound);
    EXPECT_EQ(
        failureOf([&] { TextReader r(dir.file("nofolder/a.prn")); }), FailureCode::PathNotFound);
    EXPECT_EQ(
        failureOf([&] { TextReader r(dir.path().string()); }), FailureCode::PathFileAccessError);
    EXPECT_EQ(failureOf([&] { TextReader r("/dev/zero"); }), FailureCode::PathFileAccessError);
}

// A disk may hand a file over in pieces and fail any read: the reader sees the same bytes,
// byte-order mark included, and closes the file when its first read fails.
TEST(TextReader, ReadsInPiecesAndClosesAfterAFailedFirstRead)
{
    MemoryFileSystem files;
    const FileSystemInUse inUse(files);
    files.addFile("/a", "\xEF\xBB\xBFhead\r\nnext");
    for (const std::size_t piece : { 1u, 2u, 5u }) {
        files.setPieces(piece, piece);
        files.setBuffers(piece);
        TextReader r("/a");
        EXPECT_EQ(r.readLine(), "head") << piece;
        EXPECT_EQ(r.readLine(), "next") << piece;
        EXPECT_TRUE(r.atEnd());
    }
    files.failCall(2, EIO);  // the open, then the first read
    EXPECT_EQ(failureOf([] { TextReader r("/a"); }), FailureCode::DeviceIoError);
    EXPECT_EQ(files.openFiles(), 0u);
}

// The run's own files are never read or written through a link, dangling or not; the user's
// data file may be one.
TEST(OwnFiles, LinksAtTheNameAreRefused)
{
    TempFolder dir;
    writeFile(dir.file("victim"), "kept\n");
    std::filesystem::create_symlink("victim", dir.file("link"));
    std::filesystem::create_symlink("absent", dir.file("dangling"));
    for (const char* name : { "link", "dangling" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(
            failureOf([&] { TextWriter w(dir.file(name)); }), FailureCode::PathFileAccessError);
        EXPECT_EQ(failureOf([&] { TextReader r(dir.file(name), TextReader::Links::Refuse); }),
            FailureCode::PathFileAccessError);
    }
    EXPECT_EQ(readFile(dir.file("victim")), "kept\n");
    EXPECT_FALSE(fileExists(dir.file("absent")));
    TextReader followed(dir.file("link"));
    EXPECT_EQ(followed.readLine(), "kept");
}
