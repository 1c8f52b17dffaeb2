#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>

class QPainter;

namespace plot {

// Cuts the segment a–b to the rectangle [left, right] × [top, bottom] (Liang–Barsky). Returns
// false when nothing of it lies inside.
inline bool clipSegment(
    QPointF& a, QPointF& b, double left, double top, double right, double bottom)
{
    const double x0 = a.x(), y0 = a.y();
    const double dx = b.x() - x0, dy = b.y() - y0;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4] = { x0 - left, right - x0, y0 - top, bottom - y0 };
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

// Cuts the segment a–b to `view`, an end inside it keeping its exact value, so that a piece
// still meets the next one where the line did. Returns false when nothing of it lies inside.
inline bool cutToView(QPointF& a, QPointF& b, const QRectF& view)
{
    const QPointF from = a;
    const QPointF to = b;
    if (!clipSegment(a, b, view.left(), view.top(), view.right(), view.bottom()))
        return false;
    if (view.contains(from))
        a = from;
    if (view.contains(to))
        b = to;
    return true;
}

// Strokes `line` with the painter's pen, cut to `view` where it leaves it. Qt strokes a wide
// antialiased line in a time that grows with its whole length, the part it clips away
// included: in a deep zoom a few lines reaching far outside took seconds. `view` must reach
// past the visible area by more than the pen does; a line wholly inside goes as it is.
void drawPolylineWithin(QPainter& painter, const QPolygonF& line, const QRectF& view);

}  // namespace plot
