#pragma once

#include "run/run_host.h"

#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QSize>
#include <QSizeF>

#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class QImage;
class QPaintDevice;

namespace plot {

// Lines are clipped to the box plus this margin before they reach QPainter, whose fixed-point
// rasteriser misbehaves on coordinates far outside the image; the margin keeps anti-aliased edges
// that touch the border. Dots farther out than it are not drawn.
inline constexpr double kClipMargin = 4.0;

// An opaque colour as its QRgb, which a run's millions of dots are drawn in without a QColor each.
struct Ink
{
    QRgb rgb;
};

// A round dot of one radius, rasterised without QPainter: its coverage is worked out once for each
// of 16 × 16 sub-pixel positions of its centre (a disc sampled on a 16 × 16 grid in each pixel) and
// blended with exact source-over. Stroking a dot through QPainter costs over a microsecond; records
// that cross themselves millions of times draw a dot at every crossing.
class DotStamp
{
public:
    explicit DotStamp(double radius = 1.0);
    // Moved only: its coverages are placed by their buffer's address.
    DotStamp(const DotStamp&) = delete;
    DotStamp& operator=(const DotStamp&) = delete;
    DotStamp(DotStamp&&) = default;
    DotStamp& operator=(DotStamp&&) = default;

    double radius() const
    {
        return m_radius;
    }

    // Blends the opaque `ink` onto the pixels of the disc centred at `centre` (device pixels) of an
    // image in ARGB32_Premultiplied or RGB32 format. Pixels that already hold the ink keep it, so
    // drawing a dot twice changes nothing more. Returns true when the disc covers a pixel of the
    // image.
    bool stamp(uchar* bits, qsizetype bytesPerLine, QSize size, QPointF centre, QRgb ink)
    {
        const Dot dot { centre, ink };
        return stampAll(bits, bytesPerLine, size, std::span(&dot, 1));
    }

    // A dot's centre in device pixels and its ink.
    struct Dot
    {
        QPointF centre;
        QRgb ink;
    };

    // Blends the dots in order, each as stamp() does; true when one of them covers a pixel.
    bool stampAll(uchar* bits, qsizetype bytesPerLine, QSize size, std::span<const Dot> dots);

private:
    friend struct DotStampLoop;

    static constexpr int kSteps = 16;

    // A pixel the disc covers, relative to the pixel holding its centre.
    struct Cell
    {
        std::int8_t dx;
        std::int8_t dy;
        std::uint8_t coverage;
    };

    // The disc for one sub-pixel position of its centre: the box of the pixels it covers,
    // widened to whole groups of four pixels as they are blended four at a time. Kept small,
    // so that the boxes of all 256 positions stay in the processor's nearest cache.
    struct Box
    {
        std::int8_t left = 0;
        std::int8_t top = 0;
        std::int8_t rows = 0;
        std::int8_t groups = 0;
        bool covers = false;  // the disc covers any pixel at all
        bool ready = false;
    };

    std::size_t position(int fx, int fy) const
    {
        return static_cast<std::size_t>(fy * kSteps + fx);
    }

    // Where a position's coverages begin in m_lanes: on a whole cache line.
    std::size_t laneStart(std::size_t position) const
    {
        const auto address = reinterpret_cast<std::uintptr_t>(m_lanes.data());
        return (64 - address % 64) % 64 + position * m_laneStride;
    }

    void build(std::size_t position);

    double m_radius;
    int m_reach;  // pixels on either side of the centre's pixel that the disc can cover
    std::vector<Box> m_boxes;  // by position
    // By position, from its start on a whole cache line: for each row of the box and group of
    // four pixels, each channel's coverage (0 where the disc misses the pixel).
    std::size_t m_laneStride = 0;
    std::vector<std::uint8_t> m_lanes;
    std::vector<std::vector<Cell>> m_cells;  // by position, for dots at the image's edge
};

// The run's picture drawn in user coordinates: a user coordinate window mapped onto a box of
// `box` logical pixels, painted onto any paint device (the window's backing image, an image
// for a PNG file, an SVG generator). Lines are clipped to the box before they reach QPainter.
class PlotCanvas
{
public:
    explicit PlotCanvas(QSizeF box = QSizeF(1.0, 1.0));
    ~PlotCanvas();
    PlotCanvas(const PlotCanvas&) = delete;
    PlotCanvas& operator=(const PlotCanvas&) = delete;

    // Paints onto `device` from now on (nullptr: nowhere). The painter is opened at the first
    // stroke and kept open for speed until end().
    void setDevice(QPaintDevice* device);

    // Closes the painter, so that the device can be read, copied or finished.
    void end();

    // The size of the box in logical pixels. A window that was set is mapped onto the new box.
    void setBox(QSizeF box);

    // Paints the whole box in the background colour, through the canvas's own painter.
    void fillBackground();

    // Moves the drawing position to (0, 0); the window stays.
    void resetPosition();

    // Maps x from `left` to `right` across the box and y from `top` to `bottom` down it.
    // An edge that is not finite or a window of no width or height still maps every point
    // somewhere sensible, so a degenerate record draws what it can.
    void setWindow(float left, float top, float right, float bottom);

    // Each returns true when it laid ink on the device.
    // A line between two points; the drawing position moves to the second.
    bool line(double x1, double y1, double x2, double y2, const QColor& colour);
    // A dot at a point, which becomes the drawing position.
    bool dot(double x, double y, const QColor& colour);

    // Inline, as a run draws millions.
    bool dot(double x, double y, Ink colour)
    {
        if (!m_stampImage)
            return dotThroughPainter(x, y, QColor::fromRgb(colour.rgb));
        uchar* bits = nullptr;
        return stampDot(x, y, colour.rgb, bits);
    }

    // Dots in order, as dot() draws each; true when one of them laid ink.
    bool dots(std::span<const run::PlotDot> dots);

    // A line from the drawing position to a point, which becomes the drawing position.
    bool lineTo(double x, double y, const QColor& colour);

    // The drawing position, in user coordinates.
    QPointF drawingPosition() const
    {
        return QPointF(m_currentX, m_currentY);
    }

    // Where a point of the user window lands, in pixels from the box's top-left corner.
    QPointF toPixels(double x, double y) const
    {
        return QPointF((x - m_x.from) * m_x.scale, (y - m_y.from) * m_y.scale);
    }

    static QColor background()
    {
        return QColor(255, 255, 255);
    }

private:
    struct Axis
    {
        double from = 0.0;
        double scale = 1.0;  // pixels per user unit
    };

    static Axis makeAxis(float from, float to, double pixels);
    QPainter* painter(const QColor& colour, double width);

    // Moves the drawing position to a dot's point and tells whether it lies within the margin.
    bool placeDot(double x, double y, QPointF& p)
    {
        m_currentX = x;
        m_currentY = y;
        p = toPixels(x, y);
        return std::isfinite(p.x()) && std::isfinite(p.y()) && p.x() >= -kClipMargin
            && p.y() >= -kClipMargin && p.x() <= m_box.width() + kClipMargin
            && p.y() <= m_box.height() + kClipMargin;
    }

    // Stamps a dot onto the stamped image, whose pixels `bits` points to once a dot needed them.
    bool stampDot(double x, double y, QRgb colour, uchar*& bits)
    {
        QPointF p;
        if (!placeDot(x, y, p))
            return false;
        // With no painter open, nothing else writes to the image, so it may detach now.
        if (!bits)
            bits = m_painter ? m_painterBits : m_stampImage->bits();
        return m_stamp.stamp(bits, m_stampBytesPerLine, m_stampSize,
            m_stampRatio == 1.0 ? p : p * m_stampRatio, colour);
    }

    bool dotThroughPainter(double x, double y, const QColor& colour);
    bool strokeSegment(QPointF a, QPointF b, const QColor& colour);

    QPaintDevice* m_device = nullptr;
    QImage* m_stampImage = nullptr;  // the device when dots are stamped onto it directly
    // The stamped image's geometry, which stays while it is the device.
    double m_stampRatio = 1.0;
    qsizetype m_stampBytesPerLine = 0;
    QSize m_stampSize;
    uchar* m_painterBits = nullptr;  // the pixels the open painter writes to
    DotStamp m_stamp;
    std::unique_ptr<QPainter> m_painter;
    QColor m_penColour;
    double m_penWidth = 0.0;
    QSizeF m_box;
    float m_window[4] = { 0.0f, 0.0f, 0.0f, 0.0f };  // left, top, right, bottom as set
    bool m_windowSet = false;
    Axis m_x;
    Axis m_y;
    double m_currentX = 0.0;
    double m_currentY = 0.0;
};

}  // namespace plot
