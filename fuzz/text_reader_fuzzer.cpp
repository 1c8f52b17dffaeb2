// The item reader, the line reader and the number text, on arbitrary file bytes. Each read is
// compared with a plain model of the documented rules worked on the whole file in memory. The
// file is in a file system in memory, which hands it over in pieces of a size the input's
// length picks, so values, line ends and the byte-order mark fall across the reader's refills.
#include "fuzz_support.h"
#include "run/run_failure.h"
#include "run/text_records.h"
#include "tests/support/decimal_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

enum class Parsed
{
    Number,
    NotANumber,
    TooLarge
};

Parsed plainParse(std::string_view t, double& value)
{
    if (!fuzz::numberShape(t))
        return Parsed::NotANumber;
    value = decimalValue(t);
    return std::isinf(value) ? Parsed::TooLarge : Parsed::Number;
}

bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The file as the readers see it, with a cursor.
struct Model
{
    std::string_view text;
    std::size_t pos = 0;

    bool atEnd() const
    {
        return pos >= text.size();
    }

    void lineEnd()
    {
        if (pos < text.size() && text[pos] == '\r') {
            ++pos;
            if (pos < text.size() && text[pos] == '\n')
                ++pos;
        } else if (pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }

    std::string line()
    {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
            ++pos;
        std::string result(text.substr(start, pos - start));
        lineEnd();
        return result;
    }

    bool blank() const
    {
        return pos < text.size() && (text[pos] == ' ' || text[pos] == '\t');
    }

    std::string item()
    {
        while (blank())
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !blank() && text[pos] != ',' && text[pos] != '\r'
            && text[pos] != '\n')
            ++pos;
        std::string result(text.substr(start, pos - start));
        while (blank())
            ++pos;
        if (pos < text.size() && text[pos] == ',')
            ++pos;
        else
            lineEnd();
        return result;
    }
};

void checkNumberText(const std::uint8_t* data, std::size_t size)
{
    // Any finite double, written and read back, reads back to a value that writes the same
    // text again, and a single's value survives being written as a double.
    if (size >= 8) {
        double d = 0.0;
        std::memcpy(&d, data, 8);
        if (std::isfinite(d)) {
            char a[run::kMaxNumberText];
            char b[run::kMaxNumberText];
            const char* ae = run::formatDouble(a, d);
            const double back = run::roundTripDouble(d);
            double plain = 0.0;
            const Parsed parsed =
                plainParse(std::string_view(a + 1, static_cast<std::size_t>(ae - a - 2)), plain);
            if (std::isinf(back)) {
                // 15 digits round the largest doubles up past the range; the readers report
                // that as an overflow, so the text must indeed be beyond it.
                fuzz::check(parsed == Parsed::TooLarge,
                    "a written double reads back as infinite though its text is in range");
            } else {
                const char* be = run::formatDouble(b, back);
                fuzz::check(std::string_view(a, static_cast<std::size_t>(ae - a))
                        == std::string_view(b, static_cast<std::size_t>(be - b)),
                    "a double's text does not read back to the same text");
                fuzz::check(parsed == Parsed::Number, "a written double is not a number text");
                fuzz::check(sameBits(a[0] == '-' ? -plain : plain, back),
                    "a written double reads back differently from the library's conversion");
            }
        }
    }
    if (size >= 4) {
        float f = 0.0f;
        std::memcpy(&f, data, 4);
        if (std::isfinite(f)) {
            // The curve files write a crossing's value as a double: its text may change form
            // (1E+07 becomes 10000000), never its value.
            const double single = run::roundTripSingle(f);
            fuzz::check(sameBits(run::roundTripDouble(single), single),
                "a single's value, written as a double, reads back differently");
        }
    }
}

void checkParse(std::string_view text)
{
    double value = 0.0;
    bool overflow = false;
    const bool ok = run::parseNumber(text, value, overflow);
    double plain = 0.0;
    const Parsed expected = plainParse(text, plain);
    fuzz::check(
        ok == (expected == Parsed::Number), "parseNumber accepts what the number shape does not");
    fuzz::check(overflow == (expected == Parsed::TooLarge), "parseNumber's overflow disagrees");
    if (ok)
        fuzz::check(sameBits(value, plain),
            "parseNumber reads a value other than the library's conversion");
}

// Reads with `op` from both the real reader and the model; they must agree.
void step(run::TextReader& reader, Model& model, int op)
{
    const bool end = model.atEnd();
    fuzz::check(reader.atEnd() == end, "end of file disagrees");
    try {
        switch (op) {
        case 0: {
            const std::string line = reader.readLine();
            fuzz::check(!end, "a line was read past the end");
            fuzz::check(line == model.line(), "readLine gave another line");
            break;
        }
        case 1:
            reader.skipLine();
            fuzz::check(!end, "a line was skipped past the end");
            model.line();
            break;
        default: {
            Model before = model;
            while (before.blank())
                ++before.pos;
            const bool itemEnd = before.atEnd();
            const double v = run::readNumberItem(reader);
            fuzz::check(!itemEnd, "an item was read past the end");
            double plain = 0.0;
            fuzz::check(plainParse(model.item(), plain) == Parsed::Number,
                "readNumberItem took a text that is no number");
            fuzz::check(sameBits(v, plain), "readNumberItem read another value");
            break;
        }
        }
    } catch (const run::RunFailure& f) {
        if (f.code() == run::FailureCode::InputPastEnd) {
            Model before = model;
            if (op == 2)
                while (before.blank())
                    ++before.pos;
            fuzz::check(before.atEnd(), "input past the end reported before the end");
            model = before;
            return;
        }
        fuzz::check(op == 2, "a line read failed with a code other than 62");
        double plain = 0.0;
        const Parsed p = plainParse(model.item(), plain);
        fuzz::check(p != Parsed::Number, "a number item was refused");
        fuzz::check((f.code() == run::FailureCode::Overflow) == (p == Parsed::TooLarge)
                && (f.code() == run::FailureCode::TypeMismatch) == (p == Parsed::NotANumber),
            "an item failed with the wrong code");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkNumberText(data, size);
    checkParse(bytes);

    fuzz::Files files;
    fuzz::setPieces(files, static_cast<std::uint8_t>(size % 8));
    const std::string path = fuzz::Files::path("input.txt");
    files.addFile(path, bytes);
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    // Whole lines, then items, then reads mixed in an order the input chooses.
    for (int pass = 0; pass < 3; ++pass) {
        run::TextReader reader(path);
        Model model { text };
        for (std::size_t i = 0; i <= size + 1; ++i) {
            int op = pass;
            if (pass == 2)
                op = size == 0 ? 0 : (data[(i * 7) % size] >> 3) % 3;
            step(reader, model, op);
            if (model.atEnd() && reader.atEnd() && i > 0)
                break;
        }
        fuzz::check(reader.atEnd() && model.atEnd(), "the reads did not reach the end");
        step(reader, model, pass);  // past the end: fails with 62
    }
    return 0;
}
