// varnel-kept-floor: the least that writing a run's working files can cost. Works out the
// prepared points and the cross-check records of a record in memory first (untimed), then
// times only formatting them and writing the point file and the cross-check file, with the
// bytes a run with "Keep temporals" writes; compare the two files with the run's to check.
//
//   varnel-kept-floor DATA_FILE X_COLUMN Y_COLUMN POINT_FILE CROSS_CHECK_FILE
//
// Prints "format_write_wall_seconds format_write_cpu_seconds bytes". The records are taken
// from the cross check in batches of a million, with the clock stopped while they are found,
// so that memory stays small on records that cross themselves tens of millions of times.
#include "run/cross_check.h"
#include "run/data_reader.h"
#include "run/text_records.h"
#include "settings/run_settings.h"
#include "tests/support/quiet_host.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// Wall and CPU time of the timed sections only.
class Stopwatch
{
public:
    void start()
    {
        m_wall = std::chrono::steady_clock::now();
        m_cpu = cpuNow();
    }

    void stop()
    {
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count();
        cpu += cpuNow() - m_cpu;
    }

    double wall = 0.0;
    double cpu = 0.0;

private:
    static double cpuNow()
    {
        timespec t {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    }

    std::chrono::steady_clock::time_point m_wall;
    double m_cpu = 0.0;
};

// A plain buffered file: the cheapest way to hand bytes to the file system.
class Output
{
public:
    explicit Output(const char* path)
        : m_file(std::fopen(path, "wb"))
        , m_buffer(1 << 20)
    {
        if (m_file == nullptr) {
            std::perror(path);
            std::exit(1);
        }
    }

    // Room for one more line.
    char* line()
    {
        if (m_buffer.size() - m_used < 4 * run::kMaxNumberText + 64)
            flush();
        return m_buffer.data() + m_used;
    }

    void end(char* lineEnd)
    {
        *lineEnd++ = '\r';
        *lineEnd++ = '\n';
        bytes += static_cast<std::size_t>(lineEnd - (m_buffer.data() + m_used));
        m_used = static_cast<std::size_t>(lineEnd - m_buffer.data());
    }

    void close()
    {
        flush();
        if (std::fclose(m_file) != 0) {
            std::perror("close");
            std::exit(1);
        }
    }

    std::size_t bytes = 0;

private:
    void flush()
    {
        if (std::fwrite(m_buffer.data(), 1, m_used, m_file) != m_used) {
            std::perror("write");
            std::exit(1);
        }
        m_used = 0;
    }

    std::FILE* m_file;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
};

// The next value of a print-zone line starts at the first zone boundary after `end`.
char* pad(char* lineStart, char* end)
{
    const auto used = static_cast<std::size_t>(end - lineStart);
    const std::size_t start = run::nextZoneStart(used);
    std::memset(end, ' ', start - used);
    return lineStart + start;
}

// A crossing's coordinate as its single's 7 digits: the value it reads back as has the
// same 7 digits.
char* formatSeven(char* out, double value)
{
    *out++ = std::signbit(value) && value != 0 ? '-' : ' ';
    const auto r = std::to_chars(
        out, out + run::kMaxNumberText - 2, std::fabs(value), std::chars_format::general, 7);
    for (char* p = out; p != r.ptr; ++p)
        if (*p == 'e')
            *p = 'E';
    *r.ptr = ' ';
    return r.ptr + 1;
}

// Formats the cross-check records in batches; a record is a crossing when the group
// advances after it.
class CrossCheckFloor : public run::CrossRecordSink
{
public:
    CrossCheckFloor(const char* path, Stopwatch& clock)
        : m_out(path)
        , m_clock(clock)
    {
        m_batch.reserve(kBatch + 1);
    }

    void take(double x, double y, std::int64_t group) override
    {
        m_batch.push_back({ x, y, group });
        if (m_batch.size() > kBatch)
            write(false);
    }

    std::size_t finish()
    {
        write(true);
        m_clock.start();
        m_out.close();
        m_clock.stop();
        return m_out.bytes;
    }

private:
    struct Record
    {
        double x;
        double y;
        std::int64_t group;
    };

    static constexpr std::size_t kBatch = 1 << 20;

    void write(bool all)
    {
        const std::size_t count = all ? m_batch.size() : m_batch.size() - 1;
        m_clock.start();
        for (std::size_t i = 0; i < count; ++i) {
            const Record& r = m_batch[i];
            const bool crossing = i + 1 < m_batch.size() && m_batch[i + 1].group > r.group;
            char* const line = m_out.line();
            char* p = crossing ? formatSeven(line, r.x) : run::formatDouble(line, r.x);
            p = pad(line, p);
            p = crossing ? formatSeven(p, r.y) : run::formatDouble(p, r.y);
            p = pad(line, p);
            m_out.end(run::formatWhole(p, r.group));
        }
        m_clock.stop();
        m_batch.erase(m_batch.begin(), m_batch.begin() + static_cast<std::ptrdiff_t>(count));
    }

    Output m_out;
    Stopwatch& m_clock;
    std::vector<Record> m_batch;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fputs("usage: varnel-kept-floor DATA_FILE X_COLUMN Y_COLUMN POINT_FILE "
                   "CROSS_CHECK_FILE\n",
            stderr);
        return 2;
    }
    try {
        settings::RunSettings s;
        settings::applyStartupDefaults(s);
        s.DataFilePath = argv[1];
        settings::setXColumn(s, argv[2]);
        settings::setYColumn(s, argv[3]);
        run::RecordExtremes extremes;
        const run::PreparedPoints points = run::readDataFile(s, "", extremes);

        Stopwatch clock;
        clock.start();
        Output pointFile(argv[4]);
        for (std::size_t i = 0; i < points.size(); ++i) {
            char* const line = pointFile.line();
            char* p = pad(line, run::formatDouble(line, points.x[i]));
            pointFile.end(run::formatDouble(p, points.y[i]));
        }
        pointFile.close();
        clock.stop();

        QuietHost host;
        CrossCheckFloor crossCheck(argv[5], clock);
        run::runCrossCheck(host, points, "", crossCheck, run::Threads::One);
        const std::size_t bytes = pointFile.bytes + crossCheck.finish();
        std::printf("%.3f %.3f %zu\n", clock.wall, clock.cpu, bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
