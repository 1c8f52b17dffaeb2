#include "ui/main_window/plot_view.h"

#include <QPaintEvent>
#include <QPen>
#include <QResizeEvent>

#include <cfloat>
#include <cmath>
#include <utility>

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

PlotView::PlotView(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
    allocateImage();
}

PlotView::~PlotView()
{
    endPainting();
}

QColor PlotView::background()
{
    return QColor(255, 255, 255);
}

void PlotView::clear()
{
    endPainting();
    m_image.fill(background());
    m_currentX = 0.0;
    m_currentY = 0.0;
    scheduleUpdate();
}

PlotView::Axis PlotView::makeAxis(float from, float to, double pixels)
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

void PlotView::setWindow(float left, float top, float right, float bottom)
{
    m_window[0] = left;
    m_window[1] = top;
    m_window[2] = right;
    m_window[3] = bottom;
    m_windowSet = true;
    const QSizeF box = contentsRect().size();
    m_x = makeAxis(left, right, box.width());
    m_y = makeAxis(top, bottom, box.height());
}

QPointF PlotView::toPixels(double x, double y) const
{
    return QPointF((x - m_x.from) * m_x.scale, (y - m_y.from) * m_y.scale);
}

QPointF PlotView::drawingPosition() const
{
    return QPointF(m_currentX, m_currentY);
}

QPainter& PlotView::painter(const QColor& colour, double width)
{
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(&m_image);
        m_painter->setRenderHint(QPainter::Antialiasing);
        m_penColour = QColor();
    }
    if (colour != m_penColour || width != m_penWidth) {
        m_painter->setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        m_penColour = colour;
        m_penWidth = width;
    }
    return *m_painter;
}

void PlotView::endPainting()
{
    m_painter.reset();
}

void PlotView::strokeSegment(QPointF a, QPointF b, const QColor& colour)
{
    // A coordinate that maps to no finite pixel (NaN, or beyond double range) has no place to
    // draw at; everything else is clipped and drawn.
    if (!finite(a) || !finite(b))
        return;
    const QSizeF box = contentsRect().size();
    if (!clipSegment(a, b, box.width(), box.height()))
        return;
    painter(colour, kLineWidth).drawLine(a, b);
    scheduleUpdate();
}

void PlotView::line(double x1, double y1, double x2, double y2, const QColor& colour)
{
    strokeSegment(toPixels(x1, y1), toPixels(x2, y2), colour);
    m_currentX = x2;
    m_currentY = y2;
}

void PlotView::lineTo(double x, double y, const QColor& colour)
{
    strokeSegment(toPixels(m_currentX, m_currentY), toPixels(x, y), colour);
    m_currentX = x;
    m_currentY = y;
}

void PlotView::dot(double x, double y, const QColor& colour)
{
    m_currentX = x;
    m_currentY = y;
    const QPointF p = toPixels(x, y);
    const QSizeF box = contentsRect().size();
    if (!finite(p) || p.x() < -kClipMargin || p.y() < -kClipMargin
        || p.x() > box.width() + kClipMargin || p.y() > box.height() + kClipMargin)
        return;
    painter(colour, kDotWidth).drawPoint(p);
    scheduleUpdate();
}

QImage PlotView::picture()
{
    endPainting();
    return m_image;
}

void PlotView::scheduleUpdate()
{
    // One pending update is enough: the paint shows the whole image as it stands by then.
    if (m_updatePending)
        return;
    m_updatePending = true;
    update(contentsRect());
}

void PlotView::allocateImage()
{
    const QSize box = contentsRect().size().expandedTo(QSize(1, 1));
    const double ratio = devicePixelRatioF();
    QImage image(box * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(background());
    if (!m_image.isNull()) {
        endPainting();
        QPainter copy(&image);
        copy.drawImage(QPointF(0, 0), m_image);
    }
    m_image = std::move(image);
    if (m_windowSet) {
        setWindow(m_window[0], m_window[1], m_window[2], m_window[3]);
    } else {
        m_x = Axis { 0.0, 1.0 };
        m_y = Axis { 0.0, 1.0 };
    }
}

void PlotView::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    allocateImage();
}

void PlotView::paintEvent(QPaintEvent* event)
{
    m_updatePending = false;
    // The image must not be read while a painter still writes to it.
    endPainting();
    QPainter p(this);
    p.drawImage(QRectF(contentsRect()), m_image);
    p.end();
    QFrame::paintEvent(event);
}
