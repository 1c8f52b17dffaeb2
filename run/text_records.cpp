#include "run/text_records.h"

#include "run/exact_read_back.h"
#include "run/file_system.h"
#include "run/run_failure.h"
#include "settings/number_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace run {

namespace {

    constexpr int kZoneWidth = 14;
    constexpr std::size_t kReadChunk = 1 << 20;
    constexpr std::size_t kWriteBuffer = 1 << 18;
    // Room for the longest line a writer lays out in place.
    constexpr std::size_t kLeastWriteBuffer = 1 << 9;

    char* uppercaseExponent(char* begin, char* end)
    {
        for (char* p = begin; p != end; ++p)
            if (*p == 'e')
                *p = 'E';
        return end;
    }

    template <typename Float>
    char* formatFloating(char* out, Float value, int digits)
    {
        if (value == 0)
            value = 0;  // no sign column for a negative zero
        *out++ = std::signbit(value) ? '-' : ' ';
        const auto r = std::to_chars(
            out, out + kMaxNumberText - 2, std::fabs(value), std::chars_format::general, digits);
        char* end = uppercaseExponent(out, r.ptr);
        *end++ = ' ';
        return end;
    }

}  // namespace

namespace {

    // Lays out |value| = digits·10^exp10 (see decimalDigitsDouble) as "%.<Digits>G" does, in
    // the print zone's sign column and with its trailing space: the exact rounding has the
    // digits already, so only their places are left to work out.
    template <int Digits>
    char* layOutDigits(char* out, bool negative, std::uint64_t digits, int exp10)
    {
        constexpr std::uint64_t carried = [] {
            std::uint64_t p = 1;
            for (int i = 0; i < Digits; ++i)
                p *= 10;
            return p;
        }();
        if (digits == carried) {
            digits /= 10;
            ++exp10;
        }
        char d[static_cast<std::size_t>(Digits)];
        for (int i = Digits - 1; i >= 0; --i) {
            d[i] = static_cast<char>('0' + digits % 10);
            digits /= 10;
        }
        int used = Digits;  // without trailing zeros
        while (used > 1 && d[used - 1] == '0')
            --used;
        const int exponent = exp10 + Digits - 1;
        const auto copy = [&](int from, int to) {
            std::memcpy(out, d + from, static_cast<std::size_t>(to - from));
            out += to - from;
        };
        *out++ = negative ? '-' : ' ';
        if (exponent < -4 || exponent >= Digits) {
            *out++ = d[0];
            if (used > 1) {
                *out++ = '.';
                copy(1, used);
            }
            *out++ = 'E';
            *out++ = exponent < 0 ? '-' : '+';
            int e = exponent < 0 ? -exponent : exponent;
            if (e >= 100) {
                *out++ = static_cast<char>('0' + e / 100);
                e %= 100;
            }
            *out++ = static_cast<char>('0' + e / 10);
            *out++ = static_cast<char>('0' + e % 10);
        } else if (exponent >= 0) {
            const int whole = exponent + 1;
            if (used >= whole) {
                copy(0, whole);
            } else {
                copy(0, used);
                std::memset(out, '0', static_cast<std::size_t>(whole - used));
                out += whole - used;
            }
            if (used > whole) {
                *out++ = '.';
                copy(whole, used);
            }
        } else {
            *out++ = '0';
            *out++ = '.';
            std::memset(out, '0', static_cast<std::size_t>(-exponent - 1));
            out += -exponent - 1;
            copy(0, used);
        }
        *out++ = ' ';
        return out;
    }

}  // namespace

char* formatDouble(char* out, double value)
{
    std::uint64_t digits = 0;
    int exp10 = 0;
    if (decimalDigitsDouble(value, digits, exp10))
        return layOutDigits<15>(out, value < 0, digits, exp10);
    return formatFloating(out, value, 15);
}

char* formatSingle(char* out, float value)
{
    std::uint64_t digits = 0;
    int exp10 = 0;
    if (decimalDigitsSingle(value, digits, exp10))
        return layOutDigits<7>(out, value < 0, digits, exp10);
    return formatFloating(out, value, 7);
}

char* formatWhole(char* out, std::int64_t value)
{
    if (value < 0) {
        *out++ = '-';
        const auto r = std::to_chars(out, out + kMaxNumberText - 2,
            static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value));
        out = r.ptr;
    } else {
        *out++ = ' ';
        out = std::to_chars(out, out + kMaxNumberText - 2, value).ptr;
    }
    *out++ = ' ';
    return out;
}

double readBackNumber(const char* begin, const char* end)
{
    double value = 0.0;
    bool overflow = false;
    parseNumber(
        std::string_view(begin + 1, static_cast<std::size_t>(end - begin - 1)), value, overflow);
    if (overflow)
        value = HUGE_VAL;
    return *begin == '-' ? -value : value;
}

double roundTripDouble(double value)
{
    char text[kMaxNumberText];
    return readBackNumber(text, formatDouble(text, value) - 1);
}

double roundTripSingle(float value)
{
    char text[kMaxNumberText];
    return readBackNumber(text, formatSingle(text, value) - 1);
}

char* layOutZones(char* out, std::initializer_list<ZoneValue> values)
{
    char* const lineStart = out;
    bool first = true;
    for (const ZoneValue& v : values) {
        if (!first) {
            // The next value starts at the first zone boundary after the previous one.
            const auto used = static_cast<std::size_t>(out - lineStart);
            const std::size_t start = nextZoneStart(used);
            std::memset(out, ' ', start - used);
            out += start - used;
        }
        first = false;
        switch (v.kind) {
        case ZoneValue::Kind::Double:
            out = formatDouble(out, v.d);
            break;
        case ZoneValue::Kind::Single:
            out = formatSingle(out, v.f);
            break;
        case ZoneValue::Kind::Whole:
            out = formatWhole(out, v.w);
            break;
        }
    }
    return out;
}

// ---- TextReader ----

TextReader::TextReader(const std::string& path, Links links)
    : m_path(path)
{
    const int noFollow = links == Links::Refuse ? O_NOFOLLOW : 0;
    FileSystem& files = fileSystem();
    m_fd = files.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noFollow);
    if (m_fd < 0 && noFollow != 0)
        throwOwnFileFailure(errno, path, false);
    if (m_fd < 0)
        throwFileFailure(errno, path, false);

    struct stat st
    {
    };

    if (files.fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        files.close(m_fd);
        m_fd = -1;
        if (error == EISDIR)
            throwFileFailure(error, path, false);
        throw RunFailure(FailureCode::PathFileAccessError, path + ": not a regular file");
    }
    try {
        m_chunk = std::max<std::size_t>(files.bufferBytes(kReadChunk), 2);
        m_buffer.resize(m_chunk);
        // A read may hand over fewer bytes than the mark has.
        while (m_end < 3 && fill()) { }
    } catch (...) {
        // No destructor runs for a reader that was never made.
        files.close(m_fd);
        m_fd = -1;
        throw;
    }
    if (m_end >= 3 && std::memcmp(m_buffer.data(), "\xEF\xBB\xBF", 3) == 0)
        m_pos += 3;
}

TextReader::~TextReader()
{
    if (m_fd >= 0)
        fileSystem().close(m_fd);
}

bool TextReader::fill()
{
    if (m_eof)
        return false;
    if (m_beforeRead)
        m_beforeRead();
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
    }
    if (m_buffer.size() - m_end < m_chunk / 2)
        m_buffer.resize(m_buffer.size() * 2);
    for (;;) {
        const ssize_t n = fileSystem().read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (n > 0) {
            m_end += static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            m_eof = true;
            return false;
        }
        if (errno != EINTR)
            throwFileFailure(errno, m_path, false);
    }
}

bool TextReader::atEnd()
{
    return peek() < 0;
}

bool TextReader::consumeLineEnd()
{
    const int c = peek();
    if (c == '\n') {
        advance();
        return true;
    }
    if (c == '\r') {
        advance();
        if (peek() == '\n')
            advance();
        return true;
    }
    return false;
}

std::string TextReader::readLine(std::size_t keep)
{
    if (atEnd())
        throw RunFailure(FailureCode::InputPastEnd, m_path + ": input past the end of the file");
    std::string line;
    for (;;) {
        const char* p = current();
        const std::size_t n = available();
        std::size_t i = 0;
        while (i < n && p[i] != '\n' && p[i] != '\r')
            ++i;
        line.append(p, std::min(i, keep - line.size()));
        consume(i);
        if (i < n || !fill())
            break;
    }
    consumeLineEnd();
    return line;
}

void TextReader::skipLine()
{
    if (atEnd())
        throw RunFailure(FailureCode::InputPastEnd, m_path + ": input past the end of the file");
    for (;;) {
        const char* p = current();
        const std::size_t n = available();
        const void* cr = std::memchr(p, '\r', n);
        const void* lf = std::memchr(p, '\n', n);
        const char* stop = nullptr;
        if (cr && lf)
            stop = std::min(static_cast<const char*>(cr), static_cast<const char*>(lf));
        else
            stop = static_cast<const char*>(cr ? cr : lf);
        if (stop) {
            consume(static_cast<std::size_t>(stop - p));
            break;
        }
        consume(n);
        if (!fill())
            break;
    }
    consumeLineEnd();
}

double readNumberItem(TextReader& r)
{
    const auto isBlank = [](int c) { return c == ' ' || c == '\t'; };
    while (isBlank(r.peek()))
        r.advance();
    if (r.atEnd())
        throw RunFailure(FailureCode::InputPastEnd, r.path() + ": input past the end of the file");
    std::string text;
    for (int c = r.peek(); c >= 0 && !isBlank(c) && c != ',' && c != '\r' && c != '\n';
         c = r.peek()) {
        text.push_back(static_cast<char>(c));
        r.advance();
    }
    while (isBlank(r.peek()))
        r.advance();
    if (r.peek() == ',')
        r.advance();
    else
        r.consumeLineEnd();
    double value = 0.0;
    bool overflow = false;
    if (!parseNumber(text, value, overflow))
        throw RunFailure(overflow ? FailureCode::Overflow : FailureCode::TypeMismatch,
            r.path() + ": \"" + text + "\" is not a number");
    return value;
}

// ---- TextWriter ----

TextWriter::TextWriter(const std::string& path, const std::string& name)
    : m_path(name.empty() ? path : name)
{
    // Non-blocking so that a FIFO without a reader fails instead of hanging the run.
    FileSystem& files = fileSystem();
    m_fd = files.open(
        path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (m_fd < 0)
        throwOwnFileFailure(errno, path, true);
    const int flags = files.fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        files.fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    m_buffer.resize(std::max(files.bufferBytes(kWriteBuffer), kLeastWriteBuffer));
}

TextWriter::~TextWriter()
{
    if (m_fd < 0)
        return;
    try {
        flush();
    } catch (const RunFailure&) {
        // An error exit is already closing everything; the file stays as far as it got.
    }
    fileSystem().close(m_fd);
}

void TextWriter::flush()
{
    std::size_t done = 0;
    while (done < m_used) {
        const ssize_t n = fileSystem().write(m_fd, m_buffer.data() + done, m_used - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            m_used = 0;
            throwFileFailure(error, m_path, false);
        }
        done += static_cast<std::size_t>(n);
    }
    m_used = 0;
}

void TextWriter::writeText(std::string_view text)
{
    if (text.size() + 2 > m_buffer.size())
        m_buffer.resize(text.size() + 2);
    reserve(text.size() + 2);
    std::memcpy(m_buffer.data() + m_used, text.data(), text.size());
    m_used += text.size();
    m_buffer[m_used++] = '\r';
    m_buffer[m_used++] = '\n';
}

void TextWriter::writeLine(std::initializer_list<ZoneValue> values)
{
    const std::size_t most = values.size() * (kMaxNumberText + kZoneWidth) + 2;
    reserve(most);
    char* out = layOutZones(m_buffer.data() + m_used, values);
    *out++ = '\r';
    *out++ = '\n';
    m_used = static_cast<std::size_t>(out - m_buffer.data());
}

void TextWriter::close()
{
    if (m_fd < 0)
        return;
    flush();
    const int fd = m_fd;
    m_fd = -1;
    if (fileSystem().close(fd) != 0 && errno != EINTR)
        throwFileFailure(errno, m_path, false);
}

}  // namespace run
