#include "run/data_reader.h"

#include "run/file_system.h"
#include "run/run_failure.h"
#include "run/run_pace.h"
#include "run/text_records.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

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

    // Header lines longer than this name no columns: only their first bytes are looked at.
    constexpr std::size_t kHeaderLineKept = 4096;
    // Only the last so many header lines are kept for the axis titles.
    constexpr std::size_t kHeaderLinesKept = 1000;

    // Skips the header lines; with `kept`, keeps the last of them (a line too long to name
    // anything kept empty).
    void skipHeaderLines(
        TextReader& r, int skipLines, RunHost* host, std::vector<std::string>* kept = nullptr)
    {
        Pace pace(host, 0, 4096);
        for (int i = 0; i < skipLines; ++i) {
            if (kept && skipLines - i <= static_cast<int>(kHeaderLinesKept)) {
                std::string line = r.readLine(kHeaderLineKept + 1);
                if (line.size() > kHeaderLineKept)
                    line.clear();
                kept->push_back(std::move(line));
            } else {
                r.skipLine();
            }
            pace.step(0);
        }
    }

    // Reads the data lines after the header one by one: the scaled X and Y values and the
    // checks every data line must pass.
    class LineParser
    {
    public:
        LineParser(const settings::RunSettings& s, TextReader& r)
            : m_s(s)
            , m_r(r)
            , m_fileLine(s.SkipLines)
        {
        }

        // Reads the next line; returns false for a line of blanks and tabs only. Throws
        // RunFailure for a line that fails, and InputPastEnd when the file has ended.
        bool next(double& x, double& y)
        {
            if (m_r.atEnd())  // the file shrank since it was counted
                throw RunFailure(FailureCode::InputPastEnd,
                    m_s.DataFilePath + ": input past the end of the file", m_fileLine);
            ++m_fileLine;
            bool haveX = false;
            bool haveY = false;
            const std::int64_t count =
                scanLine(m_r, [&](std::int64_t column, std::string_view text, bool overlong) {
                    if (column == m_s.XColumn) {
                        x = scale(text, overlong, m_s.XCoefficient, column);
                        haveX = true;
                    }
                    if (column == m_s.YColumn) {
                        y = scale(text, overlong, m_s.YCoefficient, column);
                        haveY = true;
                    }
                });
            if (count == 0)
                return false;
            if (m_width == 0)
                m_width = count;
            if (count != m_width)
                throw RunFailure(FailureCode::TypeMismatch,
                    "line " + std::to_string(m_fileLine) + " holds " + std::to_string(count)
                        + " values where the first data line holds " + std::to_string(m_width),
                    m_fileLine);
            if (!haveX || !haveY)
                throw RunFailure(FailureCode::IndexOutOfRange,
                    "line " + std::to_string(m_fileLine) + " holds " + std::to_string(count)
                        + " values: there is no column "
                        + std::to_string(haveX ? m_s.YColumn : m_s.XColumn),
                    m_fileLine);
            return true;
        }

        void skipHeader(int skipLines)
        {
            skipHeaderLines(m_r, skipLines, nullptr);
        }

        // The data file's line that next() read last.
        std::int64_t fileLine() const
        {
            return m_fileLine;
        }

        TextReader& reader()
        {
            return m_r;
        }

        // The number of values of the first data line; 0 before it was read.
        std::int64_t width() const
        {
            return m_width;
        }

    private:
        double scale(std::string_view text, bool overlong, double coefficient, std::int64_t column)
        {
            double v = 0.0;
            bool overflow = false;
            if (overlong || !parseNumber(text, v, overflow)) {
                throw RunFailure(overflow ? FailureCode::Overflow : FailureCode::TypeMismatch,
                    "line " + std::to_string(m_fileLine) + ", column " + std::to_string(column)
                        + ": " + quoted(text, overlong)
                        + (overflow ? " is too large" : " is not a number"),
                    m_fileLine);
            }
            const double scaled = v * coefficient;
            if (!std::isfinite(scaled))
                throw RunFailure(FailureCode::Overflow,
                    "line " + std::to_string(m_fileLine) + ", column " + std::to_string(column)
                        + ": " + quoted(text, false) + " scaled by its coefficient is too large",
                    m_fileLine);
            return scaled;
        }

        const settings::RunSettings& m_s;
        TextReader& m_r;
        std::int64_t m_fileLine;
        std::int64_t m_width = 0;  // values per line, from the first data line
    };

    // On a long record a second thread parses the data lines ahead of the run's thread, which
    // prepares the points. Formatting the points' text takes longer than parsing, so whenever
    // the second thread is ahead by kChunksFormatted chunks it formats its chunk's points too.
    constexpr std::uintmax_t kBytesForSecondThread = 2 << 20;

    bool bigEnoughForSecondThread(const std::string& path)
    {
        struct stat st
        {
        };

        return fileSystem().stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && static_cast<std::uintmax_t>(st.st_size) >= kBytesForSecondThread;
    }

    constexpr std::size_t kChunkLines = 4096;
    constexpr std::size_t kMaxChunksAhead = 16;
    constexpr std::size_t kChunksFormatted = 2;

    // Parsed data lines in file order; a failure ends the last chunk, after the lines before it.
    struct ParsedChunk
    {
        std::vector<double> x;
        std::vector<double> y;
        std::vector<std::int64_t> fileLine;
        std::vector<PointText> formatted;  // formatPoint(x, y) of every line, or empty
        std::exception_ptr failure;

        void clear()
        {
            x.clear();
            y.clear();
            fileLine.clear();
            formatted.clear();
            failure = nullptr;
        }
    };

    // A second thread that parses the data lines into chunks ahead of the run's thread. Only
    // the run's thread prepares the points, calls the host and throws, so the points, the point
    // file and every failure come out as one thread gives them; leaving the scope (a stop, a
    // failure) cancels and joins the thread. Chunks go back and forth to spare their memory.
    class LinesAhead
    {
    public:
        // `chunkLines` per chunk; with `formatEveryOther` every other chunk's points are formatted
        // whether ahead or not (for comparing the two ways); `withText` as for formatPoint.
        LinesAhead(LineParser& parser, int skipLines, std::size_t chunkLines, bool formatEveryOther,
            bool withText)
            : m_ready(withRoom(kMaxChunksAhead))
            , m_formatEveryOther(formatEveryOther)
            , m_withText(withText)
            , m_thread(
                  [this, &parser, skipLines, chunkLines] { parse(parser, skipLines, chunkLines); })
        {
        }

        ~LinesAhead()
        {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_cancelled = true;
            }
            m_stopping.store(true, std::memory_order_relaxed);
            m_changed.notify_all();
            m_thread.join();
        }

        LinesAhead(const LinesAhead&) = delete;
        LinesAhead& operator=(const LinesAhead&) = delete;

        // The next chunk in file order, waiting at most `patience`; false when none is ready.
        // The chunk it held before goes back for reuse.
        bool take(ParsedChunk& chunk, std::chrono::milliseconds patience)
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_changed.wait_for(lock, patience, [this] { return !m_ready.empty(); }))
                return false;
            chunk.clear();
            m_spare.push_back(std::move(chunk));
            chunk = std::move(m_ready.front());
            m_ready.erase(m_ready.begin());
            lock.unlock();
            m_changed.notify_all();
            return true;
        }

    private:
        // Parses to the end of the file, or to the first failure: the end of the file counts as
        // a failure (input past the end), which the run's thread drops past the counted lines.
        void parse(LineParser& parser, int skipLines, std::size_t chunkLines)
        {
            ParsedChunk chunk;
            // A value or line of gigabytes is left at the next read once the run stops.
            parser.reader().setBeforeRead([this] {
                if (m_stopping.load(std::memory_order_relaxed))
                    throw RunStopped {};
            });
            try {
                parser.skipHeader(skipLines);
                for (;;) {
                    if (m_stopping.load(std::memory_order_relaxed))
                        return;  // lines of megabytes need not be read to the chunk's end
                    double x = 0.0;
                    double y = 0.0;
                    if (!parser.next(x, y))
                        continue;
                    chunk.x.push_back(x);
                    chunk.y.push_back(y);
                    chunk.fileLine.push_back(parser.fileLine());
                    if (chunk.x.size() == chunkLines && !handOn(chunk))
                        return;
                }
            } catch (...) {
                chunk.failure = std::current_exception();
            }
            handOn(chunk);
        }

        // Hands `chunk` on and leaves a cleared one in its place; false once cancelled.
        bool handOn(ParsedChunk& chunk)
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const bool ahead =
                m_ready.size() >= kChunksFormatted || (m_formatEveryOther && ++m_handedOn % 2 == 0);
            lock.unlock();
            if (ahead && !chunk.failure) {
                try {
                    chunk.formatted.resize(chunk.x.size());
                    for (std::size_t i = 0; i < chunk.x.size(); ++i)
                        formatPoint(chunk.x[i], chunk.y[i], chunk.formatted[i], m_withText);
                } catch (const std::bad_alloc&) {  // the run's thread formats them instead
                    chunk.formatted.clear();
                }
            }
            lock.lock();
            m_changed.wait(
                lock, [this] { return m_cancelled || m_ready.size() < kMaxChunksAhead; });
            if (m_cancelled)
                return false;
            m_ready.push_back(std::move(chunk));  // within its room: cannot fail
            if (m_spare.empty()) {
                chunk = {};
            } else {
                chunk = std::move(m_spare.back());
                m_spare.pop_back();
            }
            lock.unlock();
            m_changed.notify_all();
            return true;
        }

        static std::vector<ParsedChunk> withRoom(std::size_t chunks)
        {
            std::vector<ParsedChunk> room;
            room.reserve(chunks);
            return room;
        }

        std::mutex m_mutex;
        std::condition_variable m_changed;
        std::vector<ParsedChunk> m_ready;  // room for kMaxChunksAhead from the start
        std::vector<ParsedChunk> m_spare;
        bool m_cancelled = false;
        std::atomic<bool> m_stopping { false };
        const bool m_formatEveryOther;
        const bool m_withText;
        std::size_t m_handedOn = 0;  // the second thread's own
        std::thread m_thread;  // last: starts once the rest is set up
    };

}  // namespace

std::vector<std::string_view> splitDataFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    while (i < line.size() && blank(line[i]))
        ++i;
    if (i == line.size() || line[i] == '\r' || line[i] == '\n')
        return fields;
    for (;;) {
        const std::size_t start = i;
        while (i < line.size() && !endsValue(line[i]))
            ++i;
        fields.push_back(line.substr(start, i - start));
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i < line.size() && (line[i] == ',' || line[i] == ';')) {
            ++i;
            while (i < line.size() && blank(line[i]))
                ++i;
            continue;  // the next value may be empty
        }
        if (i == line.size() || line[i] == '\r' || line[i] == '\n')
            return fields;
    }
}

std::int64_t countDataLines(
    const std::string& path, int skipLines, RunHost* host, std::vector<std::string>* headerLines)
{
    TextReader r(path);
    Pace pace(host, 0, 1 << 20);  // in bytes
    // A header line of gigabytes yields too.
    r.setBeforeRead([&] { pace.step(0, 1 << 20); });
    skipHeaderLines(r, skipLines, host, headerLines);
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
    RecordExtremes& extremes, RunHost* host, Threads threads, const ReadingKeeps& keeps)
{
    // The second thread starts before the count and parses while the run's thread counts; what
    // it finds past the counted lines is dropped. A file that cannot be opened here is left to
    // the count to report.
    std::optional<TextReader> early;
    std::optional<LineParser> earlyParser;
    std::optional<LinesAhead> parsed;
    if (threads == Threads::Two
        || (threads == Threads::Auto && std::thread::hardware_concurrency() >= 2
            && bigEnoughForSecondThread(s.DataFilePath))) {
        try {
            early.emplace(s.DataFilePath);
            earlyParser.emplace(s, *early);
            parsed.emplace(*earlyParser, s.SkipLines, threads == Threads::Two ? 7 : kChunkLines,
                threads == Threads::Two, !pointFilePath.empty());
        } catch (const RunFailure&) {
        } catch (const std::system_error&) {  // no thread to be had: the run's thread reads alone
        }
    }

    const std::int64_t lines = countDataLines(s.DataFilePath, s.SkipLines, host, keeps.headerLines);
    if (host)
        host->progress(0, lines);
    Pace pace(host, lines, 1024);

    std::optional<TextReader> r;
    if (!parsed)
        r.emplace(s.DataFilePath);
    PointPreparation preparation(
        pointFilePath, extremes, static_cast<std::size_t>(lines), keeps.pointLines, keeps.rows);

    if (parsed) {
        ParsedChunk chunk;
        for (std::int64_t a = 0; a < lines;) {
            if (!parsed->take(chunk, Pace::kInterval)) {
                pace.step(a, 1024);  // waiting: keep the front end answering
                continue;
            }
            const bool formatted = !chunk.formatted.empty();
            for (std::size_t i = 0; i < chunk.x.size() && a < lines; ++i) {
                preparation.addLine(chunk.x[i], chunk.y[i], chunk.fileLine[i],
                    formatted ? &chunk.formatted[i] : nullptr);
                ++a;
                pace.step(a);
            }
            if (chunk.failure && a < lines)
                std::rethrow_exception(chunk.failure);
        }
        // Set with the first data line, before that line was handed over.
        if (keeps.dataValues)
            *keeps.dataValues = earlyParser->width();
    } else {
        std::int64_t a = 0;
        // Each read counts as some lines' work, so that a value of gigabytes yields too.
        r->setBeforeRead([&] { pace.step(a, 64); });
        skipHeaderLines(*r, s.SkipLines, host);
        LineParser parser(s, *r);
        while (a < lines) {
            double x = 0.0;
            double y = 0.0;
            if (!parser.next(x, y)) {
                pace.step(a);  // a run of blank lines is work too
                continue;
            }
            preparation.addLine(x, y, parser.fileLine());
            ++a;
            pace.step(a);
        }
        if (keeps.dataValues)
            *keeps.dataValues = parser.width();
    }
    if (host)
        host->progress(lines, lines);
    return preparation.finish();
}

}  // namespace run
