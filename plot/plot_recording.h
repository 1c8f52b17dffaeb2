#pragma once

#include "plot/plot_canvas.h"
#include "run/run_host.h"

#include <QColor>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace plot {

// A colour of the run's drawing as Qt's.
inline QColor toColour(run::Rgb colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

// The drawing calls of a run, kept so that the picture can be drawn later onto any device at any
// size: varnel-batch draws it into a PNG or SVG file once the run has finished. Twelve bytes a
// call, so a record of a million points costs some 25 MB.
class PlotRecording
{
public:
    // Forgets every call before it, as clearing the picture forgets what was drawn.
    void clear();
    void setWindow(float left, float top, float right, float bottom);
    void line(float x1, float y1, float x2, float y2, QColor colour);
    void dot(float x, float y, QColor colour);

    void dot(float x, float y, Ink colour)
    {
        if (m_canvas)
            m_canvas->dot(x, y, colour);
        else
            add(Op::Dot, x, y, colour.rgb);
    }

    // Dots in order, as dot() draws or keeps each.
    void dots(std::span<const run::PlotDot> dots);

    void lineTo(float x, float y, QColor colour);

    // From now on draws each call at once onto `image` (a picture on the background colour, its
    // logical size the box) and keeps none, so that a picture that only goes to a PNG costs the
    // image's memory however many calls a run makes. Calls kept before are forgotten.
    void drawOnto(QImage image);

    // Keeps at most `calls` calls: past them, the calls kept so far are drawn onto a blank image
    // of the picture file's size and every later call too, as drawOnto() does. So a vector
    // picture of a record that crosses itself millions of times becomes a picture of bounded
    // size.
    void keepAtMost(std::size_t calls)
    {
        m_keepAtMost = calls;
    }

    // The image drawn onto since drawOnto(), its painting finished; nullptr when calls are kept.
    const QImage* image() const;

    // Room for `calls` calls, taken up as they come: a recording that will grow long is then
    // never copied as it grows, and pages it never reaches cost nothing.
    void reserve(std::size_t calls)
    {
        m_calls.reserve(calls);
    }

    // How many calls are kept, for a caller that bounds the memory they take.
    std::size_t size() const
    {
        return m_calls.size();
    }

    // Replays the calls since the last clear onto `canvas`, whose device and box are set.
    void replay(PlotCanvas& canvas) const;

private:
    enum class Op : std::uint8_t
    {
        WindowTopLeft,  // x = left, y = top; the next call holds right and bottom
        WindowBottomRight,
        LineFrom,  // the first point of a line; the next call holds the second and the colour
        LineEnd,
        Dot,
        LineTo,
    };

    struct Call
    {
        float x;
        float y;
        Op op;
        std::uint8_t red;
        std::uint8_t green;
        std::uint8_t blue;
    };

    void add(Op op, float x, float y, QRgb colour = qRgb(0, 0, 0));
    void startCanvas();

    std::vector<Call> m_calls;
    std::size_t m_keepAtMost = 0;  // 0: no bound
    QImage m_image;
    std::unique_ptr<PlotCanvas> m_canvas;  // drawing onto m_image, once drawOnto() was called
};

}  // namespace plot
