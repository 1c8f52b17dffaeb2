#pragma once

#include "settings/number_text.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace run {

// ---- number text ----

// Longest text one formatted number can take: sign column, digits, trailing space.
constexpr std::size_t kMaxNumberText = 32;

// Writes a number as a print-zone value: sign column (space, or "-" for a negative value;
// negative zero is zero), the "%.15G" digits of a double, "%.7G" of a single, or the plain
// integer, then one space. Returns the end of the written text.
char* formatDouble(char* out, double value);
char* formatSingle(char* out, float value);
char* formatWhole(char* out, std::int64_t value);

// The value that a formatted number at [begin, end) reads back as: sign column and digits,
// without the trailing space. Digits beyond the double range read back as an infinity, never
// as 0, so that callers can refuse them.
double readBackNumber(const char* begin, const char* end);

// The value that the text of formatDouble / formatSingle reads back as.
double roundTripDouble(double value);
double roundTripSingle(float value);

// Parses a whole value text: [sign] digits [. digits] [E|e [sign] digits], or with the digits
// after the point only. Returns false for anything else (empty text, "inf", "NaN", hex).
// Sets `overflow` when the number is too large for a double.
inline bool parseNumber(std::string_view text, double& value, bool& overflow)
{
    const settings::ScannedNumber n = settings::scanNumber(text, {});
    overflow = n.kind == settings::ScannedNumber::Kind::TooLarge;
    if (n.kind != settings::ScannedNumber::Kind::Number)
        return false;
    value = n.value;
    return true;
}

// ---- files ----

// Sequential reading of a regular file, with a UTF-8 byte-order mark at its start skipped.
// Ends of lines: CR LF, a lone LF and a lone CR.
class TextReader
{
public:
    // Whether a symbolic link at the last component of the path is followed: yes for the
    // user's data file, never for one of the run's own files.
    enum class Links
    {
        Follow,
        Refuse
    };

    // Opens `path`; throws RunFailure with the file system's code.
    explicit TextReader(const std::string& path, Links links = Links::Follow);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // True when nothing at all is left to read.
    bool atEnd();

    // Reads one whole line without its line end, of which it keeps the first `keep` bytes.
    // Throws InputPastEnd when at the end.
    std::string readLine(std::size_t keep = std::string::npos);

    // Reads and drops one whole line. Throws InputPastEnd when at the end.
    void skipLine();

    // Next byte without consuming it; -1 at the end.
    int peek()
    {
        if (m_pos < m_end)
            return static_cast<unsigned char>(m_buffer[m_pos]);
        return fill() ? static_cast<unsigned char>(m_buffer[m_pos]) : -1;
    }

    void advance()
    {
        ++m_pos;
    }

    // Consumes a line end (CR LF, LF or CR) if one is next. Returns whether it did.
    bool consumeLineEnd();

    // Direct access for scanners: the unread bytes in the buffer.
    const char* current() const
    {
        return m_buffer.data() + m_pos;
    }

    std::size_t available() const
    {
        return m_end - m_pos;
    }

    void consume(std::size_t n)
    {
        m_pos += n;
    }

    // Reads more, keeping the unread bytes. Returns false when nothing more came.
    bool fill();

    // Called before each read of the file (a megabyte at most), so that a reader in the middle
    // of a value or line of gigabytes still answers a stop: it may throw to end the reading.
    void setBeforeRead(std::function<void()> check)
    {
        m_beforeRead = std::move(check);
    }

    const std::string& path() const
    {
        return m_path;
    }

private:
    std::string m_path;
    std::function<void()> m_beforeRead;
    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_chunk = 0;  // what a read asks for at least, when the buffer has room
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
};

// Reads the next value, whatever the line breaks: skips blanks, takes the text up to the next
// blank, comma or line end, and consumes the blanks after it with one comma or line end.
// Throws InputPastEnd when the file ends first, TypeMismatch when the text is no number.
double readNumberItem(TextReader& reader);

// One value of a print-zone line.
struct ZoneValue
{
    enum class Kind
    {
        Double,
        Single,
        Whole
    };
    Kind kind;
    double d = 0.0;
    float f = 0.0f;
    std::int64_t w = 0;

    static ZoneValue of(double v)
    {
        return { Kind::Double, v, 0.0f, 0 };
    }

    static ZoneValue single(float v)
    {
        return { Kind::Single, 0.0, v, 0 };
    }

    static ZoneValue whole(std::int64_t v)
    {
        return { Kind::Whole, 0.0, 0.0f, v };
    }
};

// Writes a file anew (created or emptied) in print-zone lines ending with CR LF. Only the
// run's own files are written: a symbolic link at the path is refused, never written through.
class TextWriter
{
public:
    // Creates or empties `path`; throws RunFailure with the file system's code. Failures name
    // the file `name` when given: the file that `path`, a temporary file beside it, becomes.
    explicit TextWriter(const std::string& path, const std::string& name = {});
    // Closes without reporting: an error exit closes files this way.
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // A text value, verbatim, as a line of its own.
    void writeText(std::string_view text);

    // Numbers, each after the first at the next print zone.
    void writeLine(std::initializer_list<ZoneValue> values);

    // Pre-formatted text (no line end), followed by CR LF.
    void writeFormatted(const char* text, std::size_t size)
    {
        char* const line = beginLine(size);
        std::memcpy(line, text, size);
        endLine(line + size);
    }

    // Room for a line of at most `most` characters, laid out in place and ended by endLine.
    char* beginLine(std::size_t most)
    {
        reserve(most + 2);
        return m_buffer.data() + m_used;
    }

    // Ends the line begun by beginLine at `end`, with CR LF.
    void endLine(char* end)
    {
        *end++ = '\r';
        *end++ = '\n';
        m_used = static_cast<std::size_t>(end - m_buffer.data());
    }

    // Hands what is buffered to the file system; throws RunFailure when that fails.
    void flush();

    // Flushes and closes; throws RunFailure when any write failed.
    void close();

    const std::string& path() const
    {
        return m_path;
    }

private:
    void reserve(std::size_t n)
    {
        if (m_buffer.size() - m_used < n)
            flush();
    }

    std::string m_path;
    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
};

// Where the next value of a print-zone line starts, after `used` characters: the first zone
// boundary (every 14 columns) that lies after the previous value.
constexpr std::size_t nextZoneStart(std::size_t used)
{
    return (used + 13) / 14 * 14;
}

// Lays out values in print zones (14 columns) into `out`, without the line end.
// Returns the end of the text.
char* layOutZones(char* out, std::initializer_list<ZoneValue> values);

}  // namespace run
