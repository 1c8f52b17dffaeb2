#include "plot/plot_canvas.h"

#include "plot/clipped_lines.h"

#include <QImage>
#include <QPaintDevice>
#include <QPen>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VARNEL_STAMP_AVX2 1
#endif

namespace plot {

namespace {

    constexpr double kLineWidth = 1.0;
    constexpr double kDotWidth = 2.5;

    // Formats whose pixels the dot stamp blends onto: premultiplied, or opaque throughout.
    bool stampableImage(const QPaintDevice* device)
    {
        if (!device || device->devType() != QInternal::Image)
            return false;
        const QImage::Format f = static_cast<const QImage*>(device)->format();
        return f == QImage::Format_ARGB32_Premultiplied || f == QImage::Format_RGB32;
    }

    // Cuts the segment a–b to the rectangle [0, w] × [0, h] grown by the margin.
    bool clipSegment(QPointF& a, QPointF& b, double w, double h)
    {
        return plot::clipSegment(
            a, b, -kClipMargin, -kClipMargin, w + kClipMargin, h + kClipMargin);
    }

    bool finite(QPointF p)
    {
        return std::isfinite(p.x()) && std::isfinite(p.y());
    }

}  // namespace

DotStamp::DotStamp(double radius)
    : m_radius(radius)
    , m_reach(static_cast<int>(std::ceil(radius)))
    , m_boxes(kSteps * kSteps)
    , m_cells(kSteps * kSteps)
{
    // The widest box: every row of the reach, its columns in whole groups of four.
    const auto side = static_cast<std::size_t>(2 * m_reach + 1);
    const std::size_t groups = (side + 3) / 4 + 1;
    m_laneStride = (side * groups * 16 + 63) / 64 * 64;
    m_lanes.assign(m_laneStride * m_boxes.size() + 63, 0);
}

// The pixels around a centre at (fx, fy) / 16 within its pixel, each with the share of its
// 16 × 16 sample points that lie in the disc, as 1 to 255.
void DotStamp::build(std::size_t at)
{
    const int fx = static_cast<int>(at % kSteps);
    const int fy = static_cast<int>(at / kSteps);
    std::vector<Cell>& cells = m_cells[at];
    const double r2 = m_radius * m_radius * kSteps * kSteps;  // in 1/16 pixel units
    for (int j = -m_reach; j <= m_reach; ++j) {
        for (int i = -m_reach; i <= m_reach; ++i) {
            int inside = 0;
            for (int sy = 0; sy < kSteps; ++sy) {
                const double dy = kSteps * j + sy - fy + 0.5;
                for (int sx = 0; sx < kSteps; ++sx) {
                    const double dx = kSteps * i + sx - fx + 0.5;
                    inside += dx * dx + dy * dy <= r2;
                }
            }
            const int coverage = (inside * 255 + kSteps * kSteps / 2) / (kSteps * kSteps);
            if (coverage > 0)
                cells.push_back({ static_cast<std::int8_t>(i), static_cast<std::int8_t>(j),
                    static_cast<std::uint8_t>(coverage) });
        }
    }
    Box& box = m_boxes[at];
    if (!cells.empty()) {
        int left = cells.front().dx;
        int top = cells.front().dy;
        int right = left;
        int bottom = top;
        for (const Cell& cell : cells) {
            left = std::min<int>(left, cell.dx);
            top = std::min<int>(top, cell.dy);
            right = std::max<int>(right, cell.dx);
            bottom = std::max<int>(bottom, cell.dy);
        }
        const int groups = (right - left + 4) / 4;
        box = { static_cast<std::int8_t>(left), static_cast<std::int8_t>(top),
            static_cast<std::int8_t>(bottom - top + 1), static_cast<std::int8_t>(groups), true,
            false };
        // A pixel the disc misses blends at coverage 0, which gives it back unchanged.
        std::uint8_t* lanes = m_lanes.data() + laneStart(at);
        for (const Cell& cell : cells) {
            const int column = cell.dx - left;
            std::fill_n(lanes + ((cell.dy - top) * groups + column / 4) * 16 + column % 4 * 4, 4,
                cell.coverage);
        }
    }
    box.ready = true;
}

namespace {

    // Source-over of an opaque colour at coverage a, two channels at a time, each rounded as
    // (t + t / 256 + 128) / 256 for t = ink·a + pixel·(255 − a): a pixel that already holds the ink
    // comes out exactly as it was (checked for every channel value).
    QRgb blendOpaque(QRgb ink, QRgb pixel, unsigned a)
    {
        const unsigned b = 255u - a;
        std::uint32_t rb = (ink & 0xff00ffu) * a + (pixel & 0xff00ffu) * b;
        rb = ((rb + ((rb >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
        std::uint32_t ag = ((ink >> 8) & 0xff00ffu) * a + ((pixel >> 8) & 0xff00ffu) * b;
        ag = (ag + ((ag >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
        return rb | ag;
    }

    // The sixteen channels of four neighbouring pixels, widened to be multiplied: the compiler
    // gives each instruction set its widest registers for them.
    using Channels = std::uint16_t __attribute__((vector_size(32)));
    using ChannelBytes = std::uint8_t __attribute__((vector_size(16)));

    // blendOpaque() on four neighbouring pixels, each channel at its own coverage, the sixteen
    // of them in `coverage`; `ink` holds the ink's channels four times.
    [[gnu::always_inline]] inline void blendFour(
        QRgb* pixels, const Channels& ink, const std::uint8_t* coverage)
    {
        ChannelBytes four;
        ChannelBytes shares;
        std::memcpy(&four, pixels, sizeof four);
        std::memcpy(&shares, coverage, sizeof shares);
        const auto channels = __builtin_convertvector(four, Channels);
        const auto a = __builtin_convertvector(shares, Channels);
        // At most 255 · 255 + 255 + 128: no lane overflows.
        const Channels t = ink * a + channels * (255 - a);
        const auto blended = __builtin_convertvector((t + (t >> 8) + 128) >> 8, ChannelBytes);
        std::memcpy(pixels, &blended, sizeof blended);
    }

}  // namespace

// The loop of DotStamp::stampAll(), inline in one function for each instruction set.
struct DotStampLoop
{
    [[gnu::always_inline]] static inline bool run(DotStamp& stamp, uchar* bits,
        qsizetype bytesPerLine, QSize size, std::span<const DotStamp::Dot> dots)
    {
        constexpr int kSteps = DotStamp::kSteps;
        static_assert(kSteps == 16);
        // The centre on the 1/16-pixel grid; callers keep it within a few pixels of the image.
        // Rounded down without a call, and for the centres inside the image (nearly all of a
        // run's millions) by truncation alone.
        const auto floorOf = [](double v) {
            const auto t = static_cast<long>(v);
            return v >= 0.0 || static_cast<double>(t) <= v ? t : t - 1;
        };
        const qsizetype rowPixels = bytesPerLine / static_cast<qsizetype>(sizeof(QRgb));
        bool covered = false;
        for (const DotStamp::Dot& dot : dots) {
            const long qx = floorOf(dot.centre.x() * kSteps + 0.5);
            const long qy = floorOf(dot.centre.y() * kSteps + 0.5);
            const long px = qx >> 4;  // rounds down
            const long py = qy >> 4;
            const std::size_t at =
                stamp.position(static_cast<int>(qx & 15), static_cast<int>(qy & 15));
            if (!stamp.m_boxes[at].ready)
                stamp.build(at);
            const DotStamp::Box box = stamp.m_boxes[at];
            if (!box.covers)
                continue;
            const QRgb opaqueInk = dot.ink | 0xff000000u;
            const long left = px + box.left;
            const long top = py + box.top;
            if (left >= 0 && top >= 0 && left + 4L * box.groups <= size.width()
                && top + box.rows <= size.height()) {
                // The whole disc lies inside, as nearly every dot does: its box is blended four
                // pixels at a time, each channel as blendOpaque() does it.
                ChannelBytes inkBytes;
                const QRgb inks[4] = { opaqueInk, opaqueInk, opaqueInk, opaqueInk };
                std::memcpy(&inkBytes, inks, sizeof inkBytes);
                const auto ink = __builtin_convertvector(inkBytes, Channels);
                QRgb* row = reinterpret_cast<QRgb*>(bits + top * bytesPerLine) + left;
                const std::uint8_t* coverage = stamp.m_lanes.data() + stamp.laneStart(at);
                for (int r = 0; r < box.rows; ++r, row += rowPixels)
                    for (int group = 0; group < box.groups; ++group, coverage += 16)
                        blendFour(row + 4 * group, ink, coverage);
                covered = true;
                continue;
            }
            for (const DotStamp::Cell& cell : stamp.m_cells[at]) {
                const long x = px + cell.dx;
                const long y = py + cell.dy;
                if (x < 0 || y < 0 || x >= size.width() || y >= size.height())
                    continue;
                covered = true;
                auto* pixel = reinterpret_cast<QRgb*>(bits + y * bytesPerLine) + x;
                *pixel = blendOpaque(opaqueInk, *pixel, cell.coverage);
            }
        }
        return covered;
    }
};

namespace {

#if VARNEL_STAMP_AVX2
    // The same loop where the processor has AVX2: four pixels' channels in one register.
    __attribute__((target("avx2"))) bool stampAllWide(DotStamp& stamp, uchar* bits,
        qsizetype bytesPerLine, QSize size, std::span<const DotStamp::Dot> dots)
    {
        return DotStampLoop::run(stamp, bits, bytesPerLine, size, dots);
    }

    const bool kWideBlend = [] {
        __builtin_cpu_init();  // this runs among the static constructors
        return __builtin_cpu_supports("avx2") != 0;
    }();
#endif

}  // namespace

bool DotStamp::stampAll(uchar* bits, qsizetype bytesPerLine, QSize size, std::span<const Dot> dots)
{
#if VARNEL_STAMP_AVX2
    if (kWideBlend)
        return stampAllWide(*this, bits, bytesPerLine, size, dots);
#endif
    return DotStampLoop::run(*this, bits, bytesPerLine, size, dots);
}

PlotCanvas::PlotCanvas(QSizeF box)
    : m_box(box)
{
}

PlotCanvas::~PlotCanvas()
{
    end();
}

void PlotCanvas::setDevice(QPaintDevice* device)
{
    end();
    m_device = device;
    m_stampImage = stampableImage(device) ? static_cast<QImage*>(device) : nullptr;
    if (m_stampImage) {
        m_stampRatio = m_stampImage->devicePixelRatio();
        m_stampBytesPerLine = m_stampImage->bytesPerLine();
        m_stampSize = m_stampImage->size();
        const double radius = kDotWidth / 2.0 * m_stampRatio;
        if (radius != m_stamp.radius())
            m_stamp = DotStamp(radius);
    }
}

void PlotCanvas::end()
{
    m_painter.reset();
    m_painterBits = nullptr;
}

void PlotCanvas::setBox(QSizeF box)
{
    m_box = box;
    if (m_windowSet) {
        setWindow(m_window[0], m_window[1], m_window[2], m_window[3]);
    } else {
        m_x = Axis { 0.0, 1.0 };
        m_y = Axis { 0.0, 1.0 };
    }
}

void PlotCanvas::fillBackground()
{
    if (QPainter* p = painter(background(), 0.0))
        p->fillRect(QRectF(QPointF(0.0, 0.0), m_box), background());
}

void PlotCanvas::resetPosition()
{
    m_currentX = 0.0;
    m_currentY = 0.0;
}

PlotCanvas::Axis PlotCanvas::makeAxis(float from, float to, double pixels)
{
    double a = from;
    double b = to;
    // An infinite edge stands for the largest float, so the rest of the window still maps.
    if (std::isinf(a))
        a = std::copysign(static_cast<double>(FLT_MAX), a);
    if (std::isinf(b))
        b = std::copysign(static_cast<double>(FLT_MAX), b);
    if (std::isnan(a) && std::isnan(b)) {
        a = -1.0;
        b = 1.0;
    } else if (std::isnan(a)) {
        a = b;
    } else if (std::isnan(b)) {
        b = a;
    }
    // A window of no width (every X of a record the same): put that value in the middle of the
    // box and let the box span the value's own magnitude on either side, so other values (the
    // axis at 0) still land at distinct places.
    if (a == b) {
        const double half = a != 0.0 ? std::fabs(a) : 1.0;
        a -= half;
        b += half;
    }
    // Edges within the float range keep b - a finite in double, so the scale is finite too.
    return Axis { a, pixels / (b - a) };
}

void PlotCanvas::setWindow(float left, float top, float right, float bottom)
{
    m_window[0] = left;
    m_window[1] = top;
    m_window[2] = right;
    m_window[3] = bottom;
    m_windowSet = true;
    m_x = makeAxis(left, right, m_box.width());
    m_y = makeAxis(top, bottom, m_box.height());
}

QPainter* PlotCanvas::painter(const QColor& colour, double width)
{
    if (!m_device)
        return nullptr;
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(m_device);
        m_painter->setRenderHint(QPainter::Antialiasing);
        m_penColour = QColor();
        // The buffer the painter writes to; asking for it again later could detach a copy.
        if (m_stampImage)
            m_painterBits = m_stampImage->bits();
    }
    if (colour != m_penColour || width != m_penWidth) {
        m_painter->setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        m_penColour = colour;
        m_penWidth = width;
    }
    return m_painter.get();
}

bool PlotCanvas::strokeSegment(QPointF a, QPointF b, const QColor& colour)
{
    // A coordinate that maps to no finite pixel (NaN, or beyond double range) has no place to
    // draw at; everything else is clipped and drawn.
    if (!finite(a) || !finite(b))
        return false;
    if (!clipSegment(a, b, m_box.width(), m_box.height()))
        return false;
    QPainter* p = painter(colour, kLineWidth);
    if (!p)
        return false;
    p->drawLine(a, b);
    return true;
}

bool PlotCanvas::line(double x1, double y1, double x2, double y2, const QColor& colour)
{
    m_currentX = x2;
    m_currentY = y2;
    return strokeSegment(toPixels(x1, y1), toPixels(x2, y2), colour);
}

bool PlotCanvas::lineTo(double x, double y, const QColor& colour)
{
    const QPointF from = toPixels(m_currentX, m_currentY);
    m_currentX = x;
    m_currentY = y;
    return strokeSegment(from, toPixels(x, y), colour);
}

bool PlotCanvas::dot(double x, double y, const QColor& colour)
{
    return m_stampImage ? dot(x, y, Ink { colour.rgb() }) : dotThroughPainter(x, y, colour);
}

bool PlotCanvas::dots(std::span<const run::PlotDot> dots)
{
    bool ink = false;
    if (!m_stampImage) {
        for (const run::PlotDot& d : dots)
            ink |= dotThroughPainter(d.x, d.y, QColor(d.colour.red, d.colour.green, d.colour.blue));
        return ink;
    }
    // The dots that land near the image, a batch at a time, blended in one loop.
    std::array<DotStamp::Dot, 256> placed;
    std::size_t count = 0;
    uchar* bits = nullptr;
    const auto flush = [&] {
        // With no painter open, nothing else writes to the image, so it may detach now.
        if (!bits)
            bits = m_painter ? m_painterBits : m_stampImage->bits();
        ink |= m_stamp.stampAll(
            bits, m_stampBytesPerLine, m_stampSize, std::span(placed.data(), count));
        count = 0;
    };
    for (const run::PlotDot& d : dots) {
        QPointF p;
        if (!placeDot(d.x, d.y, p))
            continue;
        placed[count++] = { m_stampRatio == 1.0 ? p : p * m_stampRatio,
            qRgb(d.colour.red, d.colour.green, d.colour.blue) };
        if (count == placed.size())
            flush();
    }
    if (count > 0)
        flush();
    return ink;
}

bool PlotCanvas::dotThroughPainter(double x, double y, const QColor& colour)
{
    QPointF p;
    if (!placeDot(x, y, p))
        return false;
    QPainter* ink = painter(colour, kDotWidth);
    if (!ink)
        return false;
    ink->drawPoint(p);
    return true;
}

}  // namespace plot
