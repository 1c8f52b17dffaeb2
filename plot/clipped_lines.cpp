#include "plot/clipped_lines.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace plot {

void drawPolylineWithin(QPainter& painter, const QPolygonF& line, const QRectF& view)
{
    if (std::all_of(line.begin(), line.end(), [&](QPointF p) { return view.contains(p); })) {
        painter.drawPolyline(line);
        return;
    }
    // The cut pieces go to Qt as one path, so that where they cross they are inked once, as
    // one polyline is.
    QPainterPath pieces;
    for (qsizetype i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1];
        QPointF b = line[i];
        if (!cutToView(a, b, view))
            continue;
        if (pieces.elementCount() == 0 || pieces.currentPosition() != a || a != line[i - 1])
            pieces.moveTo(a);
        pieces.lineTo(b);
    }
    if (!pieces.isEmpty())
        painter.strokePath(pieces, painter.pen());
}

}  // namespace plot
