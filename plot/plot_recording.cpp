#include "plot/plot_recording.h"

#include "plot/plot_canvas.h"
#include "plot/plot_file.h"
#include "plot/plot_renderer.h"

namespace plot {

void PlotRecording::clear()
{
    m_calls.clear();
    if (m_canvas) {
        m_canvas->end();
        m_image.fill(PlotCanvas::background());
        startCanvas();
    }
}

void PlotRecording::drawOnto(QImage image)
{
    m_calls = {};
    m_image = std::move(image);
    startCanvas();
}

// A fresh canvas, as replaying onto a new one starts: no window, the position at the origin.
void PlotRecording::startCanvas()
{
    m_canvas = std::make_unique<PlotCanvas>(m_image.deviceIndependentSize());
    m_canvas->setDevice(&m_image);
}

const QImage* PlotRecording::image() const
{
    if (!m_canvas)
        return nullptr;
    m_canvas->end();
    return &m_image;
}

void PlotRecording::add(Op op, float x, float y, QRgb colour)
{
    m_calls.push_back(Call { x, y, op, static_cast<std::uint8_t>(qRed(colour)),
        static_cast<std::uint8_t>(qGreen(colour)), static_cast<std::uint8_t>(qBlue(colour)) });
    // A line's two calls stay together.
    if (m_keepAtMost != 0 && m_calls.size() > m_keepAtMost && op != Op::LineFrom
        && op != Op::WindowTopLeft) {
        m_image = blankPlotFileImage();
        startCanvas();
        replay(*m_canvas);
        m_calls = {};
    }
}

void PlotRecording::setWindow(float left, float top, float right, float bottom)
{
    if (m_canvas)
        return m_canvas->setWindow(left, top, right, bottom);
    add(Op::WindowTopLeft, left, top);
    add(Op::WindowBottomRight, right, bottom);
}

void PlotRecording::line(float x1, float y1, float x2, float y2, QColor colour)
{
    if (m_canvas) {
        m_canvas->line(x1, y1, x2, y2, colour);
        return;
    }
    add(Op::LineFrom, x1, y1);
    add(Op::LineEnd, x2, y2, colour.rgb());
}

void PlotRecording::dot(float x, float y, QColor colour)
{
    dot(x, y, Ink { colour.rgb() });
}

void PlotRecording::dots(std::span<const run::PlotDot> dots)
{
    if (m_canvas) {
        m_canvas->dots(dots);
        return;
    }
    if (m_keepAtMost != 0) {
        // A bound that may be reached among them: one at a time.
        for (const run::PlotDot& dot : dots)
            this->dot(
                dot.x, dot.y, Ink { qRgb(dot.colour.red, dot.colour.green, dot.colour.blue) });
        return;
    }
    for (const run::PlotDot& dot : dots)
        m_calls.push_back(
            Call { dot.x, dot.y, Op::Dot, dot.colour.red, dot.colour.green, dot.colour.blue });
}

void PlotRecording::lineTo(float x, float y, QColor colour)
{
    if (m_canvas) {
        m_canvas->lineTo(x, y, colour);
        return;
    }
    add(Op::LineTo, x, y, colour.rgb());
}

void PlotRecording::replay(PlotCanvas& canvas) const
{
    canvas.resetPosition();
    for (std::size_t i = 0; i < m_calls.size(); ++i) {
        if (i % 65536 == 0)
            checkDrawingCancelled();
        const Call& c = m_calls[i];
        const QColor colour(c.red, c.green, c.blue);
        switch (c.op) {
        case Op::WindowTopLeft:
            if (i + 1 < m_calls.size())
                canvas.setWindow(c.x, c.y, m_calls[i + 1].x, m_calls[i + 1].y);
            ++i;
            break;
        case Op::LineFrom:
            if (i + 1 < m_calls.size()) {
                const Call& e = m_calls[i + 1];
                canvas.line(c.x, c.y, e.x, e.y, QColor(e.red, e.green, e.blue));
            }
            ++i;
            break;
        case Op::Dot:
            canvas.dot(c.x, c.y, colour);
            break;
        case Op::LineTo:
            canvas.lineTo(c.x, c.y, colour);
            break;
        case Op::WindowBottomRight:
        case Op::LineEnd:
            break;  // read with the call before them
        }
    }
    canvas.end();
}

}  // namespace plot
