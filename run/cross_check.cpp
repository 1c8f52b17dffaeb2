#include "run/cross_check.h"

#include "run/exact_read_back.h"
#include "run/run_failure.h"
#include "run/run_pace.h"
#include "run/text_records.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace run {

namespace {

    using Index = std::uint32_t;

    // Segment i (1-based, 2..N) runs from point i-1 to point i on the line
    // y = slope·x + intercept.
    struct Line
    {
        double slope;
        double intercept;
    };

    // Segment i's line, worked out from its points wherever it is needed: the same operations
    // give the same bits every time, and a record of millions of segments holds no lines.
    Line lineOf(const PreparedPoints& p, std::size_t i)
    {
        const double x1 = p.x[i - 1];
        const double k = (p.y[i - 1] - p.y[i - 2]) / (x1 - p.x[i - 2]);
        return { k, p.y[i - 1] - x1 * k };
    }

    // Whether segment i's slope and intercept could be computed and held: a zero X width
    // divides by zero; so does anything the slope cannot hold.
    bool holds(const PreparedPoints& p, std::size_t i, const Line& l)
    {
        return p.x[i - 1] != p.x[i - 2] && std::isfinite(l.slope) && std::isfinite(l.intercept);
    }

    // Thrown on the second thread of inTwoHalves once the calling thread has stopped.
    struct Abandoned
    {
    };

    // What a part of inTwoHalves calls every so many items: on the calling thread it answers
    // the host (which may stop the run), on the second thread it ends the part once the calling
    // thread has ended its own early.
    class Checkpoint
    {
    public:
        Checkpoint(const std::function<void()>* answer, const std::atomic<bool>* abandoned)
            : m_answer(answer)
            , m_abandoned(abandoned)
        {
        }

        void operator()() const
        {
            if (m_answer)
                (*m_answer)();
            else if (m_abandoned->load(std::memory_order_relaxed))
                throw Abandoned {};
        }

    private:
        const std::function<void()>* m_answer;
        const std::atomic<bool>* m_abandoned;
    };

    // Runs part(first, end, half, checkpoint) on the two halves of [first, last): the first
    // half on a second thread when `two` and one can be had. The halves are the same either
    // way, so whatever the parts add up comes out the same. What a part throws is rethrown once
    // both halves are done; when the calling thread's part throws (a stop, a failure), the
    // second thread's part ends at its next checkpoint.
    template <typename Part>
    void inTwoHalves(bool two, std::size_t first, std::size_t last,
        const std::function<void()>& answer, Part&& part)
    {
        const std::size_t middle = first + (last - first) / 2;
        std::exception_ptr error;
        std::atomic<bool> abandoned { false };
        std::thread helper;
        if (two) {
            try {
                helper = std::thread([&] {
                    try {
                        part(first, middle, 0, Checkpoint(nullptr, &abandoned));
                    } catch (const Abandoned&) {
                        // The calling thread's part failed or stopped: that is what is thrown.
                    } catch (...) {
                        error = std::current_exception();
                    }
                });
            } catch (const std::system_error&) {
                // No second thread to be had: this one does both halves.
            }
        }
        try {
            if (!helper.joinable())
                part(first, middle, 0, Checkpoint(&answer, nullptr));
            part(middle, last, 1, Checkpoint(&answer, nullptr));
        } catch (...) {
            abandoned.store(true, std::memory_order_relaxed);
            if (helper.joinable())
                helper.join();
            throw;
        }
        if (helper.joinable())
            helper.join();
        if (error)
            std::rethrow_exception(error);
    }

    // Items a part of inTwoHalves goes through between its checkpoints.
    constexpr std::size_t kItemsBetweenCheckpoints = 1024;

    // Storage whose pages are first touched by whichever thread fills them.
    template <typename T>
    std::unique_ptr<T[]> unfilled(std::size_t count)
    {
        return std::make_unique_for_overwrite<T[]>(count);
    }

    struct FreeCounts
    {
        void operator()(std::uint32_t* p) const
        {
            std::free(p);
        }
    };

    using Counts = std::unique_ptr<std::uint32_t[], FreeCounts>;

    // Zeroed by the system as its pages are first touched, by whichever thread counts there.
    Counts zeroedCounts(std::size_t count)
    {
        Counts counts(static_cast<std::uint32_t*>(std::calloc(count, sizeof(std::uint32_t))));
        if (!counts)
            throw std::bad_alloc();
        return counts;
    }

    // Items laid out in room that grows without being filled first.
    template <typename T>
    class Scratch
    {
    public:
        void clear()
        {
            m_size = 0;
        }

        // Room for at least `most` more items after the last.
        T* room(std::size_t most)
        {
            if (m_capacity - m_size < most) {
                const std::size_t capacity = std::max(2 * m_capacity, m_size + most);
                auto larger = std::make_unique_for_overwrite<T[]>(capacity);
                if (m_size > 0)
                    std::memcpy(larger.get(), m_data.get(), m_size * sizeof(T));
                m_data = std::move(larger);
                m_capacity = capacity;
            }
            return m_data.get() + m_size;
        }

        // `added` items were laid out in the room.
        void grow(std::size_t added)
        {
            m_size += added;
        }

        T* begin() const
        {
            return m_data.get();
        }

        T* end() const
        {
            return m_data.get() + m_size;
        }

        std::size_t size() const
        {
            return m_size;
        }

    private:
        std::unique_ptr<T[]> m_data;
        std::size_t m_size = 0;
        std::size_t m_capacity = 0;
    };

    struct Segments
    {
        std::size_t firstFailure = 0;  // the segment whose slope or intercept fails first; 0: none
    };

    // A crossing found on the walked segment, with the scanned segment it lies on.
    struct Hit
    {
        Index scanned;
        float x;
        double y;  // unrounded: it may lie beyond the single range, which is a failure
    };

    // A box around a segment, in single precision and rounded outwards: its X span, and the
    // loads its line can take near that span once every rounding of the crossing arithmetic
    // is allowed for. Two segments whose boxes do not meet cannot cross.
    struct Box
    {
        float low;
        float high;
        float bottom;
        float top;
    };

    // The nearest single-precision value at or below `x`: its conversion, or the float next
    // below that (as std::nextafter(f, -HUGE_VALF) gives it) where the conversion rounded up;
    // past the single range FLT_MAX and -HUGE_VALF. Checked against the plain steps on every
    // float and its neighbours: without branches, since a conversion rounds up about half the
    // time, and boxes are worked out several times a segment.
    float below(double x)
    {
        constexpr auto most = static_cast<double>(FLT_MAX);
        const auto f = static_cast<float>(x < -most ? -most : x > most ? most : x);
        const auto bits = std::bit_cast<std::uint32_t>(f);
        // One step towards -infinity, from -0 to the least negative float too: a conversion
        // never rounds up to +0.
        const auto down = std::bit_cast<float>(bits + ((bits >> 31) << 1) - 1);
        return static_cast<double>(f) > x ? down : f;
    }

    // The nearest single-precision value at or above `x`.
    float above(double x)
    {
        return -below(-x);
    }

    // Segment i's box, `l` being its line. Inlined: returned through memory, a box costs a
    // stall on every one of the several times a segment's box is worked out.
    [[gnu::always_inline]] inline Box boxOf(const PreparedPoints& p, std::size_t i, const Line& l)
    {
        if (!holds(p, i, l))
            return { -HUGE_VALF, HUGE_VALF, -HUGE_VALF, HUGE_VALF };
        constexpr double u = DBL_EPSILON / 2;
        const double x0 = p.x[i - 2];
        const double x1 = p.x[i - 1];
        const double y0 = p.y[i - 2];
        const double y1 = p.y[i - 1];
        const double reach = std::max(std::fabs(x0), std::fabs(x1));
        // How far the crossing's X, once computed and held in single precision, may lie from
        // where the two lines meet: twice the bound of those roundings.
        const double drift = reach * 1.2e-7 + 1e-44;
        // How far the line may stray from the points it was computed from: twice the bound.
        const double stray = 8 * u
            * (std::fabs(y0) + std::fabs(y1) + std::fabs(l.intercept) + reach * std::fabs(l.slope));
        const double margin = 2 * (stray + std::fabs(l.slope) * drift);
        return { below(std::min(x0, x1)), above(std::max(x0, x1)), below(std::min(y0, y1) - margin),
            above(std::max(y0, y1) + margin) };
    }

    bool meet(const Box& a, const Box& b)
    {
        return a.low < b.high && b.low < a.high && a.bottom <= b.top && b.bottom <= a.top;
    }

    // A cell is split into this many steps along each axis for the members' boxes.
    constexpr unsigned kStepBits = 8;

    // One axis of the grid: equal cells from an origin, the outermost ones open-ended.
    class Axis
    {
    public:
        Axis() = default;

        Axis(double lowest, double highest, std::size_t cells)
            : m_lowest(lowest)
            , m_cells(cells)
        {
            const double range = highest - lowest;
            m_scale = range > 0.0 ? static_cast<double>(cells) / range : 0.0;
            if (!std::isfinite(m_scale) || m_scale <= 0.0) {
                m_cells = 1;
                m_scale = 0.0;
            }
        }

        // The step of the axis that `v` falls in, counted from the first cell's first step;
        // monotonic, so boxes that meet overlap in steps too. Scaling by a power of two is
        // exact, so the cell of a step is the cell `v` falls in.
        std::size_t stepOf(float v) const
        {
            const double c = (static_cast<double>(v) - m_lowest) * m_scale;
            if (!(c > 0.0))
                return 0;
            if (c >= static_cast<double>(m_cells))
                return (m_cells << kStepBits) - 1;
            return static_cast<std::size_t>(c * (1 << kStepBits));
        }

        std::size_t cells() const
        {
            return m_cells;
        }

    private:
        double m_lowest = 0.0;
        double m_scale = 0.0;
        std::size_t m_cells = 1;
    };

    // How the cells of a grid of columns × rows are numbered: by tiles of 64 cells, a tile's
    // cells one after the other. A walk along a record that draws loops stays in a tile for
    // several segments, so what the grid holds for those cells lies together in memory: one
    // word of bits for the tile, and its cells' members one after the other.
    class Tiles
    {
    public:
        Tiles() = default;

        Tiles(std::size_t columns, std::size_t rows)
        {
            // A tile as square as the grid allows, so that a narrow grid is not padded out.
            const auto fit = [](std::size_t cells) {
                unsigned bits = 0;
                while (bits < 3 && (std::size_t { 1 } << bits) < cells)
                    ++bits;
                return bits;
            };
            if (columns >= rows) {
                m_heightBits = fit(rows);
                m_widthBits = 6 - m_heightBits;
            } else {
                m_widthBits = fit(columns);
                m_heightBits = 6 - m_widthBits;
            }
            m_across = (columns + (std::size_t { 1 } << m_widthBits) - 1) >> m_widthBits;
            m_down = (rows + (std::size_t { 1 } << m_heightBits) - 1) >> m_heightBits;
        }

        std::size_t cell(std::size_t column, std::size_t row) const
        {
            const std::size_t tile = (row >> m_heightBits) * m_across + (column >> m_widthBits);
            const std::size_t widthMask = (std::size_t { 1 } << m_widthBits) - 1;
            const std::size_t heightMask = (std::size_t { 1 } << m_heightBits) - 1;
            return tile << 6 | (row & heightMask) << m_widthBits | (column & widthMask);
        }

        // The numbers cells can take: [0, cells()).
        std::size_t cells() const
        {
            return (m_across * m_down) << 6;
        }

    private:
        unsigned m_widthBits = 3;
        unsigned m_heightBits = 3;
        std::size_t m_across = 1;
        std::size_t m_down = 1;
    };

    // A box's span in steps of the two axes.
    struct Steps
    {
        std::size_t low;
        std::size_t high;
        std::size_t bottom;
        std::size_t top;
    };

    // Where step `step` lies against cell `cell`: 0 before it, 1 to 255 for its steps (the last
    // two sharing 255, as everything after it does). Monotonic, as the steps are.
    std::uint8_t inCell(std::size_t step, std::size_t cell)
    {
        const std::size_t first = cell << kStepBits;
        if (step < first)
            return 0;
        return static_cast<std::uint8_t>(std::min<std::size_t>(step - first + 1, 255));
    }

    // A segment filed in a cell is held as its number and its box in the cell's steps
    // (inCell), one byte each from the lowest: low, high, bottom, top. A low or bottom of 0 says
    // that the box begins in an earlier column or row.
    std::uint32_t boxInCell(const Steps& st, std::size_t column, std::size_t row)
    {
        return std::uint32_t { inCell(st.low, column) }
        | std::uint32_t { inCell(st.high, column) } << 8
            | std::uint32_t { inCell(st.bottom, row) } << 16
            | std::uint32_t { inCell(st.top, row) } << 24;
    }

    // A walked segment's box in one cell's steps, to compare with the boxes of the members
    // there. A member meets it when its low less `fromColumn` is at most `highLess` (the walked
    // box's high less `fromColumn`) and its high at least `low`, and the same in the rows. Past
    // the first column (row) of the walked box `fromColumn` (`fromRow`) is 1, which turns a low
    // (bottom) of 0 into the largest value: a member met in an earlier cell is passed over.
    struct CellQuery
    {
        unsigned low;
        unsigned highLess;
        unsigned fromColumn;
        unsigned bottom;
        unsigned topLess;
        unsigned fromRow;
    };

    // Copies to `out`, in their order, the numbers of the `count` members (`members`, with
    // their boxes `boxes`) whose boxes meet the query's, and returns how many. Without branches:
    // whether a member's box meets the walked one is as good as random on a noisy record.
    std::size_t meeting(const std::uint32_t* boxes, const Index* members, std::size_t count,
        const CellQuery& q, Index* out)
    {
        std::size_t found = 0;
        std::size_t i = 0;
#if defined(__SSE2__)
        // Four members at a time, the four comparisons of each in the bytes of its box: each
        // byte of `left` must be at most that of `right`, that is, their smaller one is it.
        const __m128i less = _mm_set1_epi32(static_cast<int>(q.fromColumn | q.fromRow << 16));
        const __m128i lowAndBottom = _mm_set1_epi32(0x00FF00FF);
        const __m128i walkedLow = _mm_set1_epi32(static_cast<int>(q.low << 8 | q.bottom << 24));
        const __m128i walkedHigh = _mm_set1_epi32(static_cast<int>(q.highLess | q.topLess << 16));
        for (; i + 4 <= count; i += 4) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(boxes + i));
            const __m128i left =
                _mm_or_si128(_mm_and_si128(_mm_sub_epi8(b, less), lowAndBottom), walkedLow);
            const __m128i right = _mm_or_si128(_mm_andnot_si128(lowAndBottom, b), walkedHigh);
            const auto bits = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(left, right), left)));
            // Bit 4j: all four of member j's.
            const unsigned all = bits & bits >> 1 & bits >> 2 & bits >> 3;
            out[found] = members[i];
            found += all & 1;
            out[found] = members[i + 1];
            found += all >> 4 & 1;
            out[found] = members[i + 2];
            found += all >> 8 & 1;
            out[found] = members[i + 3];
            found += all >> 12 & 1;
        }
#endif
        for (; i < count; ++i) {
            const std::uint32_t b = boxes[i];
            const bool meets = ((b & 0xFF) - q.fromColumn <= q.highLess)
                & ((b >> 8 & 0xFF) >= q.low) & ((b >> 16 & 0xFF) - q.fromRow <= q.topLess)
                & ((b >> 24) >= q.bottom);
            out[found] = members[i];
            found += meets ? 1 : 0;
        }
        return found;
    }

    // A segment whose box covers too many cells to be filed, with its box.
    struct WideSegment
    {
        Index segment;
        Box box;
    };

    // Segments filed by their boxes in a grid of cells about twice as large as a mean box, so
    // that a walked segment only meets the few segments whose boxes meet its own. A segment
    // whose box covers many cells is kept in a short list that every walk reads. The grid holds
    // only the cells something lies in, and each member in 8 bytes: lines and boxes are worked
    // out again from the points where they are needed.
    class SegmentGrid
    {
    public:
        // With `twoThreads` the grid is built on two threads; the grid and every walk over it
        // find the same segments either way. Sets `s` from the segments it describes. Calls
        // `answer` on this thread every so many segments and between its passes, to answer
        // the host.
        SegmentGrid(const PreparedPoints& p, Segments& s, bool twoThreads,
            const std::function<void()>& answer)
        {
            const std::size_t n = p.size();

            // The grid's cells are sized from the points: the boxes reach past them only by
            // their roundings and margins, and the grid's size changes only how fast a walk is.
            struct Extent
            {
                double lowest = HUGE_VAL;
                double highest = -HUGE_VAL;
                double bottom = HUGE_VAL;
                double top = -HUGE_VAL;
                double widths = 0.0;
                double heights = 0.0;
                std::size_t finite = 0;
            };

            Extent halves[2];
            inTwoHalves(twoThreads, 2, n + 1, answer,
                [&](std::size_t first, std::size_t end, int half, const Checkpoint& check) {
                    Extent& e = halves[half];
                    for (std::size_t i = first; i < end; ++i) {
                        if (i % kItemsBetweenCheckpoints == 0)
                            check();
                        const double x0 = p.x[i - 2];
                        const double x1 = p.x[i - 1];
                        const double y0 = p.y[i - 2];
                        const double y1 = p.y[i - 1];
                        e.lowest = std::min(e.lowest, std::min(x0, x1));
                        e.highest = std::max(e.highest, std::max(x0, x1));
                        e.bottom = std::min(e.bottom, std::min(y0, y1));
                        e.top = std::max(e.top, std::max(y0, y1));
                        const double width = std::fabs(x1 - x0);
                        const double height = std::fabs(y1 - y0);
                        if (std::isfinite(width) && std::isfinite(height)) {
                            e.widths += width;
                            e.heights += height;
                            ++e.finite;
                        }
                    }
                });
            const double lowest = std::min(halves[0].lowest, halves[1].lowest);
            const double highest = std::max(halves[0].highest, halves[1].highest);
            const double bottom = std::min(halves[0].bottom, halves[1].bottom);
            const double top = std::max(halves[0].top, halves[1].top);
            const double widths = halves[0].widths + halves[1].widths;
            const double heights = halves[0].heights + halves[1].heights;
            const std::size_t finite = halves[0].finite + halves[1].finite;
            double columns = 1.0;
            double rows = 1.0;
            if (finite > 0) {
                const double count = static_cast<double>(finite);
                // One cell where the quotient is none: a record whose extent and steps both
                // add up past the double range gives infinity over infinity.
                const auto along = [&](double range, double total) {
                    const double ratio = range / (2.0 * total / count);
                    return total > 0.0 && ratio > 1.0 ? std::min(ratio, 4.0 * count) : 1.0;
                };
                columns = along(highest - lowest, widths);
                rows = along(top - bottom, heights);
                const double most = 2.0 * count;
                if (columns * rows > most) {
                    const double shrink = std::sqrt(most / (columns * rows));
                    columns = std::max(1.0, columns * shrink);
                    rows = std::max(1.0, rows * shrink);
                }
            }
            m_x = Axis(lowest, highest, static_cast<std::size_t>(columns));
            m_y = Axis(bottom, top, static_cast<std::size_t>(rows));
            answer();

            // Each half counts its members of every cell, keeps its wide segments and notes its
            // first segment without a line.
            m_tiles = Tiles(m_x.cells(), m_y.cells());
            const std::size_t cells = m_tiles.cells();
            std::vector<WideSegment> wide[2];
            std::size_t firstBad[2] = { 0, 0 };
            {
                Counts counts[2] = { zeroedCounts(cells), zeroedCounts(cells) };
                inTwoHalves(twoThreads, 2, n + 1, answer,
                    [&](std::size_t first, std::size_t end, int half, const Checkpoint& check) {
                        std::uint32_t* const count = counts[half].get();
                        for (std::size_t i = first; i < end; ++i) {
                            if (i % kItemsBetweenCheckpoints == 0)
                                check();
                            const Line l = lineOf(p, i);
                            if (firstBad[half] == 0 && !holds(p, i, l))
                                firstBad[half] = i;
                            const Box b = boxOf(p, i, l);
                            if (!forEachCell(stepsOf(b),
                                    [&](std::size_t c, std::size_t, std::size_t) { ++count[c]; }))
                                wide[half].push_back({ static_cast<Index>(i), b });
                        }
                    });
                fileCells(counts[0].get(), counts[1].get(), cells);
            }
            answer();
            // The walk meets segment 3 first, then scans segments 2, 3, ... in order.
            if (n >= 3)
                s.firstFailure = !holds(p, 3, lineOf(p, 3)) ? 3
                    : firstBad[0] != 0                      ? firstBad[0]
                                                            : firstBad[1];
            m_wide = std::move(wide[0]);
            m_wide.insert(m_wide.end(), wide[1].begin(), wide[1].end());

            // Cell c's members go to [m_first[slot], m_first[slot + 1]) in segment order, which
            // the walks read fastest: each half files its members, the second half's after the
            // first's.
            m_members = unfilled<Index>(m_first[m_occupied.count]);
            m_boxes = unfilled<std::uint32_t>(m_first[m_occupied.count]);
            inTwoHalves(twoThreads, 2, n + 1, answer,
                [&](std::size_t first, std::size_t end, int half, const Checkpoint& check) {
                    Index* const next = m_next[half].get();
                    for (std::size_t i = first; i < end; ++i) {
                        if (i % kItemsBetweenCheckpoints == 0)
                            check();
                        const Steps st = stepsOf(boxOf(p, i, lineOf(p, i)));
                        forEachCell(st, [&](std::size_t c, std::size_t cx, std::size_t cy) {
                            const Index m = next[slotOf(c)]++;
                            m_members[m] = static_cast<Index>(i);
                            m_boxes[m] = boxInCell(st, cx, cy);
                        });
                    }
                });
            m_next[0].reset();
            m_next[1].reset();
        }

        // Appends to `out` every segment whose box may meet `box` (a walked segment's), each
        // once: every one whose box meets it, and few others. They come in runs of rising
        // numbers, whose ends go to `runs`.
        void candidates(const Box& box, Scratch<Index>& out, Scratch<std::size_t>& runs) const
        {
            for (const WideSegment& w : m_wide) {
                if (meet(w.box, box)) {
                    *out.room(1) = w.segment;
                    out.grow(1);
                }
            }
            *runs.room(1) = out.size();
            runs.grow(1);
            const Steps st = stepsOf(box);
            const std::size_t x0 = st.low >> kStepBits;
            const std::size_t x1 = st.high >> kStepBits;
            const std::size_t y0 = st.bottom >> kStepBits;
            const std::size_t y1 = st.top >> kStepBits;
            for (std::size_t cy = y0; cy <= y1; ++cy) {
                const unsigned bottom = inCell(st.bottom, cy);
                const unsigned top = inCell(st.top, cy);
                // A segment filed in several of these cells is met in the first only: past the
                // first row, one whose box begins in an earlier row was met there.
                const unsigned fromRow = cy == y0 ? 0 : 1;
                for (std::size_t cx = x0; cx <= x1; ++cx) {
                    const std::size_t c = m_tiles.cell(cx, cy);
                    std::size_t slot = 0;
                    if (!occupied(c, slot))
                        continue;
                    const unsigned low = inCell(st.low, cx);
                    const unsigned high = inCell(st.high, cx);
                    const unsigned fromColumn = cx == x0 ? 0 : 1;
                    const std::size_t first = m_first[slot];
                    const std::size_t count = m_first[slot + 1] - first;
                    out.grow(meeting(m_boxes.get() + first, m_members.get() + first, count,
                        { low, high - fromColumn, fromColumn, bottom, top - fromRow, fromRow },
                        out.room(count)));
                    *runs.room(1) = out.size();
                    runs.grow(1);
                }
            }
        }

    private:
        static constexpr std::size_t kMostCells = 16;

        Steps stepsOf(const Box& b) const
        {
            return { m_x.stepOf(b.low), m_x.stepOf(b.high), m_y.stepOf(b.bottom),
                m_y.stepOf(b.top) };
        }

        // Calls f(cell, column, row) for every cell the box covers; returns false, calling
        // nothing, for a box that covers too many.
        template <typename F>
        bool forEachCell(const Steps& st, F&& f) const
        {
            const std::size_t x0 = st.low >> kStepBits;
            const std::size_t x1 = st.high >> kStepBits;
            const std::size_t y0 = st.bottom >> kStepBits;
            const std::size_t y1 = st.top >> kStepBits;
            if ((x1 - x0 + 1) * (y1 - y0 + 1) > kMostCells)
                return false;
            for (std::size_t cy = y0; cy <= y1; ++cy)
                for (std::size_t cx = x0; cx <= x1; ++cx)
                    f(m_tiles.cell(cx, cy), cx, cy);
            return true;
        }

        // Notes the cells that hold members, where each cell's members begin and where each
        // half files its next one.
        void fileCells(const std::uint32_t* first, const std::uint32_t* second, std::size_t cells)
        {
            const std::size_t words = (cells + 63) / 64;
            m_occupied.bits = unfilled<std::uint64_t>(words);
            m_occupied.before = unfilled<Index>(words);
            std::size_t count = 0;
            for (std::size_t w = 0; w < words; ++w) {
                std::uint64_t bits = 0;
                for (std::size_t c = w * 64, end = std::min(cells, c + 64); c < end; ++c)
                    if (first[c] + second[c] != 0)
                        bits |= std::uint64_t { 1 } << (c - w * 64);
                m_occupied.bits[w] = bits;
                m_occupied.before[w] = static_cast<Index>(count);
                count += static_cast<std::size_t>(std::popcount(bits));
            }
            m_occupied.count = count;
            m_first = unfilled<Index>(count + 1);
            m_next[0] = unfilled<Index>(count);
            m_next[1] = unfilled<Index>(count);
            std::uint64_t members = 0;
            std::size_t slot = 0;
            for (std::size_t c = 0; c < cells; ++c) {
                if (first[c] + second[c] == 0)
                    continue;
                m_first[slot] = static_cast<Index>(members);
                m_next[0][slot] = static_cast<Index>(members);
                m_next[1][slot] = static_cast<Index>(members + first[c]);
                members += std::uint64_t { first[c] } + second[c];
                // Members are counted in 32 bits: a record with more could not be held anyway.
                if (members > UINT32_MAX)
                    throw std::bad_alloc();
                ++slot;
            }
            m_first[count] = static_cast<Index>(members);
        }

        // Whether cell c holds members, and then its slot among the cells that do.
        bool occupied(std::size_t c, std::size_t& slot) const
        {
            const std::uint64_t bits = m_occupied.bits[c / 64];
            const std::uint64_t bit = std::uint64_t { 1 } << (c % 64);
            if ((bits & bit) == 0)
                return false;
            slot = m_occupied.before[c / 64]
                + static_cast<std::size_t>(std::popcount(bits & (bit - 1)));
            return true;
        }

        std::size_t slotOf(std::size_t c) const
        {
            std::size_t slot = 0;
            occupied(c, slot);
            return slot;
        }

        // A bit for each cell, whether it holds members, and the number of such cells before
        // each word of bits.
        struct Occupied
        {
            std::unique_ptr<std::uint64_t[]> bits;
            std::unique_ptr<Index[]> before;
            std::size_t count = 0;
        };

        Axis m_x;
        Axis m_y;
        Tiles m_tiles;
        Occupied m_occupied;
        std::unique_ptr<Index[]> m_first;  // by slot, and the end of the last
        std::unique_ptr<Index[]> m_next[2];  // while filing: where each half files next
        std::unique_ptr<Index[]> m_members;  // beside their boxes in the cells' steps
        std::unique_ptr<std::uint32_t[]> m_boxes;
        std::vector<WideSegment> m_wide;
    };

    // One crossing as it goes to the file, the sink and the plot. A load beyond the single
    // range stops the run where it comes: `held` is false and nothing after it is kept.
    struct Found
    {
        float x;
        float y;
        bool held;
        std::uint8_t text;  // the length of its line's text before the group, when kept
    };

    // What one walk found, the length of its point's line text before the group, and the
    // work it took (for the pace).
    struct WalkResult
    {
        std::uint32_t found;
        std::uint8_t pointText;
        std::int64_t visited;
    };

    // The text of a walk's lines, laid out where it is kept: it grows without filling the
    // room it adds.
    class LineText
    {
    public:
        void clear()
        {
            m_used = 0;
        }

        void reserve(std::size_t capacity)
        {
            if (capacity > m_capacity)
                grow(capacity);
        }

        // Room for at least `most` more characters.
        char* room(std::size_t most)
        {
            if (m_capacity - m_used < most)
                grow(std::max(2 * m_capacity, m_used + most));
            return m_data.get() + m_used;
        }

        // What was laid out in the room ends at `end`.
        void commit(const char* end)
        {
            m_used = static_cast<std::size_t>(end - m_data.get());
        }

        const char* data() const
        {
            return m_data.get();
        }

    private:
        void grow(std::size_t capacity)
        {
            auto larger = std::make_unique_for_overwrite<char[]>(capacity);
            if (m_used > 0)
                std::memcpy(larger.get(), m_data.get(), m_used);
            m_data = std::move(larger);
            m_capacity = capacity;
        }

        std::unique_ptr<char[]> m_data;
        std::size_t m_used = 0;
        std::size_t m_capacity = 0;
    };

    // The text of a cross-check line up to where its group starts: the two coordinates, each
    // followed by the spaces to the next print zone, as the file's lines lay them out.
    template <typename Value>
    std::uint8_t formatCoordinates(Value x, Value y, LineText& text)
    {
        char* const line = text.room(2 * (kMaxNumberText + 14));
        const auto format = [](char* out, Value v) {
            if constexpr (std::is_same_v<Value, float>)
                return formatSingle(out, v);
            else
                return formatDouble(out, v);
        };
        const auto pad = [&](char* end) {
            const auto used = static_cast<std::size_t>(end - line);
            const std::size_t start = nextZoneStart(used);
            std::memset(end, ' ', start - used);
            return line + start;
        };
        char* const end = pad(format(pad(format(line, x)), y));
        text.commit(end);
        return static_cast<std::uint8_t>(end - line);
    }

    // Walks of consecutive segments [first, end), computed together: by the run's thread or,
    // ahead of it, by the second thread.
    struct Chunk
    {
        std::size_t first = 0;
        std::size_t end = 0;
        std::vector<WalkResult> walks;
        std::vector<Found> found;
        LineText text;  // the lines of the cross-check file, when kept, without groups
        std::exception_ptr error;
        bool ready = false;
    };

    // The crossings of a walked segment: what it meets among the scanned segments, in their
    // order. Reads only what the cross check set up before the walks, so walks of different
    // segments may run at once on different threads.
    class Walker
    {
    public:
        // `formatting`: the walks also lay out the text of their lines of the cross-check file.
        Walker(const PreparedPoints& points, const Segments& segments, const SegmentGrid& index,
            bool formatting)
            : m_points(points)
            , m_segments(segments)
            , m_index(index)
            , m_formatting(formatting)
        {
        }

        // Appends walk a's crossings to `out`, and the text of their lines and of its point's
        // line to `text` when formatting.
        WalkResult walk(std::size_t a, std::vector<Found>& out, LineText& text)
        {
            const std::size_t before = out.size();
            const Line line = lineOf(m_points, a);
            const double k1 = line.slope;
            const double c1 = line.intercept;
            const double low = std::min(m_points.x[a - 2], m_points.x[a - 1]);
            const double high = std::max(m_points.x[a - 2], m_points.x[a - 1]);
            m_candidates.clear();
            m_runs.clear();
            m_index.candidates(boxOf(m_points, a, line), m_candidates, m_runs);
            m_hits.clear();
            Hit* const hits = m_hits.room(m_candidates.size());
            std::size_t found = 0;
            std::size_t merged = 0;  // hits[0, merged) are in the order of the scanned segments
            std::int64_t visited = 0;
            const Index* t = m_candidates.begin();
            for (const std::size_t runEnd : m_runs) {
                const std::size_t runStart = found;
                // Without branches too: on a noisy record nearly half the candidates cross.
                for (const Index* const end = m_candidates.begin() + runEnd; t != end; ++t) {
                    const double t0 = m_points.x[*t - 2];
                    const double t1 = m_points.x[*t - 1];
                    const double tLow = std::min(t0, t1);
                    const double tHigh = std::max(t0, t1);
                    const bool overlap = (tLow < high) & (low < tHigh);
                    visited += overlap ? 1 : 0;
                    const Line scanned = lineOf(m_points, *t);
                    const double k2 = scanned.slope;
                    const double c2 = scanned.intercept;
                    // Near-parallel segments are passed over whether or not they meet, as is a
                    // crossing that cannot lie inside any span once held in single precision.
                    const bool apart = std::fabs(k1 - k2) > 0.01;
                    const double xc = (c2 - c1) / (k1 - k2);
                    const bool held = std::fabs(xc) <= static_cast<double>(FLT_MAX);
                    const auto xf = static_cast<float>(held ? xc : 0.0);
                    const auto xs = static_cast<double>(xf);
                    hits[found] = { *t, xf, c2 + k2 * xc };
                    found += (overlap & apart & held & (low < xs) & (xs < high) & (tLow < xs)
                                 & (xs < tHigh))
                        ? 1
                        : 0;
                }
                // Crossings are written in the order of the scanned segments: each run's are
                // merged into those before it.
                if (merged > 0 && found > runStart) {
                    Hit* const into = m_merging.room(found);
                    std::merge(hits, hits + merged, hits + runStart, hits + found, into,
                        [](const Hit& l, const Hit& r) { return l.scanned < r.scanned; });
                    std::copy(into, into + found, hits);
                }
                merged = found;
            }
            m_hits.grow(found);
            const std::size_t failure = m_segments.firstFailure;
            for (const Hit& hit : m_hits) {
                if (failure != 0 && hit.scanned >= failure)
                    break;  // only the first walk gets here: its scan fails at that segment
                if (!(std::fabs(hit.y) <= static_cast<double>(FLT_MAX))) {
                    out.push_back({ hit.x, 0.0f, false, 0 });
                    break;
                }
                const auto yf = static_cast<float>(hit.y);
                const std::uint8_t length = m_formatting ? formatCoordinates(hit.x, yf, text) : 0;
                out.push_back({ hit.x, yf, true, length });
            }
            const std::uint8_t pointText =
                m_formatting ? formatCoordinates(m_points.x[a - 1], m_points.y[a - 1], text) : 0;
            return { static_cast<std::uint32_t>(out.size() - before), pointText, visited };
        }

        // Computes the chunk's walks, stopping short of its end once it holds `mostFound`
        // crossings (the walks left are then walked by the run's thread), or once `cancelled`.
        void compute(Chunk& chunk, std::size_t mostFound, const std::atomic<bool>* cancelled)
        {
            for (std::size_t a = chunk.first; a < chunk.end; ++a) {
                if (chunk.found.size() >= mostFound
                    || (cancelled && cancelled->load(std::memory_order_relaxed)))
                    return;
                chunk.walks.push_back(walk(a, chunk.found, chunk.text));
            }
        }

    private:
        const PreparedPoints& m_points;
        const Segments& m_segments;
        const SegmentGrid& m_index;
        bool m_formatting;
        Scratch<Hit> m_hits;
        Scratch<Hit> m_merging;
        Scratch<Index> m_candidates;
        Scratch<std::size_t> m_runs;  // where each run of rising candidates ends
    };

    // A second thread that computes chunks of walks ahead of the run's thread, which computes
    // chunks too whenever the next one to hand on is not ready, and hands on every chunk in
    // walk order: the records, the files and every call of the host come out as one thread
    // gives them, and only the run's thread calls the host. At most kChunksAhead chunks are
    // held, each sized from the work of the recent walks to about kChunkWork, and none holding
    // much more than kMostFound crossings.
    class WalksAhead
    {
    public:
        // `small`: chunks of a few walks, many of them stopping short, so that tests meet every
        // kind of chunk boundary on small records.
        WalksAhead(const PreparedPoints& points, const Segments& segments, const SegmentGrid& index,
            std::size_t firstWalk, bool formatting, bool small)
            : m_points(points)
            , m_segments(segments)
            , m_index(index)
            , m_formatting(formatting)
            , m_own(points, segments, index, formatting)
            , m_next(firstWalk)
            , m_chunkWork(small ? 4096 : kChunkWork)
            , m_mostFound(small ? 100 : kMostFound)
        {
            m_thread = std::thread([this] { work(); });
        }

        ~WalksAhead()
        {
            {
                const std::lock_guard lock(m_mutex);
                m_cancelled = true;
            }
            m_cancel.store(true);
            m_changed.notify_all();
            m_thread.join();
        }

        WalksAhead(const WalksAhead&) = delete;
        WalksAhead& operator=(const WalksAhead&) = delete;

        // The next chunk in walk order, or null after the last; rethrows what failed in
        // computing it.
        std::unique_ptr<Chunk> next()
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (!m_chunks.empty() && m_chunks.front()->ready) {
                    std::unique_ptr<Chunk> chunk = std::move(m_chunks.front());
                    m_chunks.pop_front();
                    lock.unlock();
                    m_changed.notify_all();
                    if (chunk->error)
                        std::rethrow_exception(chunk->error);
                    return chunk;
                }
                if (m_chunks.empty() && m_next > m_points.size())
                    return nullptr;
                if (Chunk* mine = claim()) {
                    lock.unlock();
                    m_own.compute(*mine, m_mostFound, nullptr);
                    lock.lock();
                    finished(*mine);
                    continue;
                }
                m_changed.wait(lock);
            }
        }

    private:
        // Room enough that the second thread seldom waits while the run's thread writes and
        // draws; at most about 1 MB a chunk.
        static constexpr std::size_t kChunksAhead = 16;
        static constexpr std::size_t kMostFound = 1 << 14;
        // About 2 ms of walking on this kind of machine: small enough for the pace, large
        // enough that handing chunks over costs nothing.
        static constexpr std::size_t kChunkWork = 1 << 17;

        void work()
        {
            try {
                Walker walker(m_points, m_segments, m_index, m_formatting);
                std::unique_lock lock(m_mutex);
                for (;;) {
                    Chunk* chunk = nullptr;
                    m_changed.wait(lock, [&] {
                        return m_cancelled || (chunk = claim()) != nullptr
                            || m_next > m_points.size();
                    });
                    if (!chunk)
                        return;
                    lock.unlock();
                    try {
                        walker.compute(*chunk, m_mostFound, &m_cancel);
                    } catch (...) {
                        // Handed on in its place, as one thread would have failed there.
                        chunk->error = std::current_exception();
                    }
                    lock.lock();
                    finished(*chunk);
                    m_changed.notify_all();
                }
            } catch (...) {
                // No room for another chunk: claiming changed nothing, so the run's thread
                // walks the rest alone.
            }
        }

        // Under the lock: the next walks to compute, if there is room for them.
        Chunk* claim()
        {
            const std::size_t n = m_points.size();
            if (m_cancelled || m_next > n || m_chunks.size() >= kChunksAhead)
                return nullptr;
            // As many walks as the recent ones suggest; a record's first walks go in small
            // chunks until their work is known.
            const double walks = m_workPerWalk > 0.0
                ? std::clamp(static_cast<double>(m_chunkWork) / m_workPerWalk, 1.0, 4096.0)
                : 64.0;
            auto chunk = std::make_unique<Chunk>();
            chunk->first = m_next;
            chunk->end = std::min(n + 1, m_next + static_cast<std::size_t>(walks));
            chunk->walks.reserve(chunk->end - chunk->first);
            const auto found = static_cast<std::size_t>(
                std::min(walks * m_foundPerWalk * 1.25, static_cast<double>(m_mostFound)));
            chunk->found.reserve(found);
            if (m_formatting)
                chunk->text.reserve(40 * (found + chunk->walks.capacity()));
            // Claimed only once nothing can fail any more.
            m_chunks.push_back(std::move(chunk));
            m_next = m_chunks.back()->end;
            return m_chunks.back().get();
        }

        // Under the lock.
        void finished(Chunk& chunk)
        {
            chunk.ready = true;
            if (chunk.walks.empty())
                return;
            double work = 0.0;
            for (const WalkResult& w : chunk.walks)
                work += static_cast<double>(w.visited)
                    + static_cast<double>(w.found) * Pace::kDrawingCost;
            const auto walks = static_cast<double>(chunk.walks.size());
            const double found = static_cast<double>(chunk.found.size()) / walks;
            const bool first = m_workPerWalk == 0.0;
            m_workPerWalk =
                std::max(1.0, first ? work / walks : (m_workPerWalk + work / walks) / 2);
            m_foundPerWalk = first ? found : (m_foundPerWalk + found) / 2;
        }

        const PreparedPoints& m_points;
        const Segments& m_segments;
        const SegmentGrid& m_index;
        bool m_formatting;
        Walker m_own;  // the run's thread's
        std::mutex m_mutex;
        std::condition_variable m_changed;
        std::deque<std::unique_ptr<Chunk>> m_chunks;  // in walk order
        std::size_t m_next;  // the first walk not yet claimed
        double m_workPerWalk = 0.0;  // of the recent chunks; 0 until one is finished
        double m_foundPerWalk = 0.0;
        std::size_t m_chunkWork;
        std::size_t m_mostFound;
        bool m_cancelled = false;
        std::atomic<bool> m_cancel { false };  // read by the walks without the lock
        std::thread m_thread;  // last: started once everything above is set up
    };

    class CrossCheck
    {
    public:
        CrossCheck(RunHost& host, const PreparedPoints& points, const std::string& path,
            CrossRecordSink& sink)
            : m_host(host)
            , m_points(points)
            , m_sink(sink)
        {
            if (!path.empty())
                m_file.emplace(path);
        }

        void run(Threads threads)
        {
            const std::size_t n = m_points.size();
            if (n >= 0x7FFFFFF0u)
                throw std::bad_alloc();
            writePoint(1);
            writePoint(2);
            if (n >= 3) {
                // Setting up the walks is worth a second thread on a record of many points.
                const bool twoThreads = threads == Threads::Two
                    || (threads == Threads::Auto && n >= kPointsForTwo
                        && std::thread::hardware_concurrency() >= 2);
                const auto segmentsToWalk = static_cast<std::int64_t>(n - 2);
                Pace pace(&m_host, segmentsToWalk, 4096);
                Segments segments;
                // Setting up takes a second on a record of ten million points: it answers the
                // host as the walks do.
                const std::function<void()> answer = [&] {
                    pace.step(0, static_cast<std::int64_t>(kItemsBetweenCheckpoints));
                };
                const SegmentGrid index(m_points, segments, twoThreads, answer);
                Walker walker(m_points, segments, index, m_file.has_value());
                std::vector<Found> found;
                LineText text;
                const auto walkHere = [&](std::size_t a) {
                    found.clear();
                    text.clear();
                    const WalkResult w = walker.walk(a, found, text);
                    const char* next = text.data();
                    const std::int64_t cost = handOn(segments, a, found, w, next);
                    pace.step(static_cast<std::int64_t>(a - 2), cost);
                    return cost;
                };
                // Unless the record is large, the first walks go alone: a record whose walks
                // are done within a few milliseconds never starts the second thread. A record
                // whose segments fail fails at the first walk.
                std::size_t a = 3;
                if (segments.firstFailure != 0 || !twoThreads) {
                    std::int64_t work = 0;
                    for (; a <= n && (threads == Threads::One || work < kWorkAlone); ++a) {
                        if (segments.firstFailure == 3 && a == 3)
                            throwSameX(3);
                        work += walkHere(a);
                    }
                }
                std::optional<WalksAhead> ahead;
                if (a <= n
                    && (threads == Threads::Two || std::thread::hardware_concurrency() >= 2)) {
                    try {
                        ahead.emplace(m_points, segments, index, a, m_file.has_value(),
                            threads == Threads::Two);
                    } catch (const std::system_error&) {
                        // No second thread to be had: the run's thread walks alone.
                    }
                }
                if (ahead) {
                    while (const std::unique_ptr<Chunk> chunk = ahead->next()) {
                        const Found* f = chunk->found.data();
                        const char* t = chunk->text.data();
                        a = chunk->first;
                        for (const WalkResult& w : chunk->walks) {
                            pace.step(static_cast<std::int64_t>(a - 2),
                                handOn(segments, a, std::span(f, w.found), w, t));
                            f += w.found;
                            ++a;
                        }
                        // The walks of a chunk that stopped short to bound its memory.
                        for (; a < chunk->end; ++a)
                            walkHere(a);
                    }
                } else {
                    for (; a <= n; ++a)
                        walkHere(a);
                }
                m_host.progress(segmentsToWalk, segmentsToWalk);
            }
            if (m_file)
                m_file->close();
        }

    private:
        // The work (in the pace's units) the run's thread does alone before a second thread
        // joins it: a few milliseconds.
        static constexpr std::int64_t kWorkAlone = std::int64_t { 1 } << 20;
        // About a millisecond of setting up.
        static constexpr std::size_t kPointsForTwo = 1 << 14;

        // Writes, hands on and draws walk a's crossings and the walked segment. Returns the
        // walk's cost for the pace: on a noisy record a few walks meet thousands of
        // candidates, and every crossing and the walked segment are drawn.
        std::int64_t handOn(const Segments& s, std::size_t a, std::span<const Found> found,
            const WalkResult& walk, const char*& text)
        {
            for (const Found& f : found) {
                if (!f.held)
                    throw RunFailure(FailureCode::Overflow,
                        "a crossing's load cannot be held in single precision", 0,
                        static_cast<std::int64_t>(a));
                writeLine(text, f.text);
                m_sink.takeCrossing(f.x, f.y, m_group);
                m_host.drawDot(f.x, -f.y, kRed);
                ++m_group;
            }
            if (s.firstFailure != 0 && a == 3)
                throwSameX(s.firstFailure);
            writeLine(text, walk.pointText);
            // The prepared points already hold what their 15 digits read back as.
            m_sink.takePoint(a - 1, m_points.x[a - 1], m_points.y[a - 1], m_group);
            m_host.drawLineTo(plotCoordinate(m_points.x[a - 1]), plotCoordinate(-m_points.y[a - 1]),
                groupColour(m_group));
            return walk.visited + Pace::kDrawingCost * static_cast<std::int64_t>(1 + found.size());
        }

        // A line of the cross-check file from the walk's text of its coordinates, then the
        // group.
        void writeLine(const char*& text, std::size_t length)
        {
            if (!m_file)
                return;
            char* const line = m_file->beginLine(length + kMaxNumberText);
            std::memcpy(line, text, length);
            text += length;
            m_file->endLine(formatWhole(line + length, m_group));
        }

        void writePoint(std::size_t i)
        {
            const double x = m_points.x[i - 1];
            const double y = m_points.y[i - 1];
            // The prepared points already hold what their 15 digits read back as.
            if (m_file)
                m_file->writeLine(
                    { ZoneValue::of(x), ZoneValue::of(y), ZoneValue::whole(m_group) });
            m_sink.takePoint(i - 1, x, y, m_group);
        }

        // The segment ending at point `segment` has no slope or intercept: the detail says
        // whether its points share an X or its line lies beyond the double range.
        [[noreturn]] void throwSameX(std::size_t segment)
        {
            const std::string points = "points " + std::to_string(segment - 1) + " and "
                + std::to_string(segment) + " of the prepared record";
            if (m_points.x[segment - 1] == m_points.x[segment - 2])
                throw RunFailure(FailureCode::DivisionByZero, points + " share an X value", 0,
                    static_cast<std::int64_t>(segment));
            throw RunFailure(FailureCode::Overflow,
                "the line through " + points
                    + " is too steep or too far out: its slope or intercept lies beyond the "
                      "double range",
                0, static_cast<std::int64_t>(segment));
        }

        RunHost& m_host;
        const PreparedPoints& m_points;
        CrossRecordSink& m_sink;
        std::optional<TextWriter> m_file;
        std::int64_t m_group = 1;
    };

    // Keeps the records that fit in memory, as tests and tools compare them.
    class RecordKeeper : public CrossRecordSink
    {
    public:
        RecordKeeper(CrossRecords& records, std::size_t limit, std::size_t expected)
            : m_records(records)
            , m_limit(limit)
        {
            const std::size_t room = std::min(expected, limit);
            m_records.x.reserve(room);
            m_records.y.reserve(room);
            m_records.group.reserve(room);
        }

        void take(double x, double y, std::int64_t group) override
        {
            m_records.add(x, y, group, m_limit);
        }

    private:
        CrossRecords& m_records;
        std::size_t m_limit;
    };

}  // namespace

void CrossRecordSink::takeCrossing(float x, float y, std::int64_t group)
{
    take(readBackSingle(x), readBackSingle(y), group);
}

Rgb groupColour(std::int64_t group)
{
    const auto m = static_cast<std::uint8_t>((3 * (group % 255)) % 255);
    return Rgb { 0, static_cast<std::uint8_t>(255 - m), m };
}

void runCrossCheck(RunHost& host, const PreparedPoints& points,
    const std::string& crossCheckFilePath, CrossRecordSink& sink, Threads threads)
{
    host.enterPhase(RunPhase::CrossCheck);
    host.setStatus("Cross checking...");
    yieldOrStop(host);
    // A failure of the file carries no point index: it is no fault of the data.
    CrossCheck check(host, points, crossCheckFilePath, sink);
    check.run(threads);
}

CrossRecords runCrossCheck(RunHost& host, const PreparedPoints& points,
    const std::string& crossCheckFilePath, std::size_t recordsInMemory)
{
    CrossRecords records;
    records.filePath = crossCheckFilePath;
    RecordKeeper keeper(records, recordsInMemory, points.size() + points.size() / 8 + 16);
    runCrossCheck(host, points, crossCheckFilePath, keeper);
    return records;
}

}  // namespace run
