#include "ui/plot/plot_canvas.h"

#include <QPaintDevice>
#include <QPen>

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
    m_currentX = x;
    m_currentY = y;
    const QPointF p = toPixels(x, y);
    if (!finite(p) || p.x() < -kClipMargin || p.y() < -kClipMargin
        || p.x() > m_box.width() + kClipMargin || p.y() > m_box.height() + kClipMargin)
        return false;
    QPainter* ink = painter(colour, kDotWidth);
    if (!ink)
        return false;
    ink->drawPoint(p);
    return true;
}

}  // namespace ui
