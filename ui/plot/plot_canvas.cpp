#include "ui/plot/plot_canvas.h"

#include <QImage>
#include <QPaintDevice>
#include <QPen>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace ui {

namespace {

    constexpr double kLineWidth = 1.0;
    constexpr double kDotWidth = 2.5;
    // Lines are clipped to the box plus this margin before they reach QPainter, whose fixed-point
    // rasteriser misbehaves on coordinates far outside the image; the margin keeps anti-aliased
    // edges that touch the border.
    constexpr double kClipMargin = 4.0;
    // How far ink can reach beyond a stroke's outline, in device pixels, so that every pixel a
    // stroke can change lies within the outline grown by it. A dot's outline is filled with
    // area coverage (ink measured up to 0.01 beyond it over 200,000 dots; room is left for the
    // rasteriser's fixed point); a 1-pixel line gets edge pixels on either side (measured up to
    // 1.39 beyond its outline over 200,000 lines).
    constexpr double kDotInkReach = 0.25;
    constexpr double kLineInkReach = 2.0;
    constexpr int kMostPixelsLooked = 1024;

    // Source-over of an opaque colour c at coverage a onto a pixel d gives
    // c·a / 255 + d·(255 − a) / 255 per channel, each product rounded. On d = c, the channels 0 and
    // 255 round exactly (0 and a, 255 − a) and sum to c again; any other channel value can come out
    // one off. So only in colours made of those channels is a pixel already holding the colour left
    // as it is.
    bool inkKeepsItsOwnPixels(const QColor& colour)
    {
        const auto pure = [](int channel) { return channel == 0 || channel == 255; };
        return colour.alpha() == 255 && pure(colour.red()) && pure(colour.green())
            && pure(colour.blue());
    }

    bool readableImage(const QPaintDevice* device)
    {
        if (!device || device->devType() != QInternal::Image)
            return false;
        const QImage::Format f = static_cast<const QImage*>(device)->format();
        // Formats whose pixels hold an opaque colour as qRgb() does.
        return f == QImage::Format_ARGB32_Premultiplied || f == QImage::Format_ARGB32
            || f == QImage::Format_RGB32;
    }

    // Cuts the segment a–b to the rectangle [0, w] × [0, h] grown by the margin
    // (Liang–Barsky). Returns false when nothing of it lies inside.
    bool clipSegment(QPointF& a, QPointF& b, double w, double h)
    {
        const double x0 = a.x(), y0 = a.y();
        const double dx = b.x() - x0, dy = b.y() - y0;
        double t0 = 0.0, t1 = 1.0;
        const double p[4] = { -dx, dx, -dy, dy };
        const double q[4] = { x0 + kClipMargin, w + kClipMargin - x0, y0 + kClipMargin,
            h + kClipMargin - y0 };
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0.0) {
                if (q[i] < 0.0)
                    return false;
                continue;
            }
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                if (t > t1)
                    return false;
                if (t > t0)
                    t0 = t;
            } else {
                if (t < t0)
                    return false;
                if (t < t1)
                    t1 = t;
            }
        }
        b = QPointF(x0 + t1 * dx, y0 + t1 * dy);
        a = QPointF(x0 + t0 * dx, y0 + t0 * dy);
        return true;
    }

    bool finite(QPointF p)
    {
        return std::isfinite(p.x()) && std::isfinite(p.y());
    }

}  // namespace

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
    m_image = readableImage(device) ? static_cast<const QImage*>(device) : nullptr;
}

void PlotCanvas::end()
{
    m_painter.reset();
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

QPointF PlotCanvas::toPixels(double x, double y) const
{
    return QPointF((x - m_x.from) * m_x.scale, (y - m_y.from) * m_y.scale);
}

QPainter* PlotCanvas::painter(const QColor& colour, double width)
{
    if (!m_device)
        return nullptr;
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(m_device);
        m_painter->setRenderHint(QPainter::Antialiasing);
        m_penColour = QColor();
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
    if (unchangedUnder(a, b, kLineWidth / 2.0, kLineInkReach, colour))
        return false;
    QPainter* p = painter(colour, kLineWidth);
    if (!p)
        return false;
    p->drawLine(a, b);
    return true;
}

// A stroke from a to b (pixels of the box) with an outline `halfWidth` pixels around it leaves the
// image as it is when every pixel its ink can reach already holds its colour, and the colour
// keeps such pixels. A dot (a == b) reaches only the pixels within a circle; for a line the
// rectangle around it is looked at.
bool PlotCanvas::unchangedUnder(
    QPointF a, QPointF b, double halfWidth, double inkReach, const QColor& colour) const
{
    if (m_plain || !m_image || !readableImage(m_image) || !inkKeepsItsOwnPixels(colour))
        return false;
    const double ratio = m_image->devicePixelRatio();
    const double reach = halfWidth * ratio + inkReach;
    a *= ratio;
    b *= ratio;
    // a and b lie within the box and its clip margin, so these are small whole numbers.
    const int left = std::max(0, static_cast<int>(std::floor(std::min(a.x(), b.x()) - reach)));
    const int top = std::max(0, static_cast<int>(std::floor(std::min(a.y(), b.y()) - reach)));
    const int right =
        std::min(m_image->width() - 1, static_cast<int>(std::ceil(std::max(a.x(), b.x()) + reach)));
    const int bottom = std::min(
        m_image->height() - 1, static_cast<int>(std::ceil(std::max(a.y(), b.y()) + reach)));
    if (left > right || top > bottom)
        return true;  // all of it off the image
    if ((right - left + 1) * (bottom - top + 1) > kMostPixelsLooked)
        return false;
    const bool dot = a == b;
    const QRgb ink = colour.rgb();
    for (int y = top; y <= bottom; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(m_image->constScanLine(y));
        const double dy = std::max({ y - a.y(), a.y() - (y + 1), 0.0 });
        for (int x = left; x <= right; ++x) {
            if (row[x] == ink)
                continue;
            if (!dot)
                return false;
            // The pixel [x, x + 1] × [y, y + 1] matters only if it comes within reach.
            const double dx = std::max({ x - a.x(), a.x() - (x + 1), 0.0 });
            if (dx * dx + dy * dy < reach * reach)
                return false;
        }
    }
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
    m_currentX = x;
    m_currentY = y;
    const QPointF p = toPixels(x, y);
    if (!finite(p) || p.x() < -kClipMargin || p.y() < -kClipMargin
        || p.x() > m_box.width() + kClipMargin || p.y() > m_box.height() + kClipMargin)
        return false;
    // Noisy records put millions of crossing dots on the same few pixels.
    if (unchangedUnder(p, p, kDotWidth / 2.0, kDotInkReach, colour))
        return false;
    QPainter* ink = painter(colour, kDotWidth);
    if (!ink)
        return false;
    ink->drawPoint(p);
    return true;
}

}  // namespace ui
