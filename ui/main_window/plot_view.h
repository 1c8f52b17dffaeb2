#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QPointF>

#include <memory>

// The picture box of the main window: a user coordinate window mapped onto the box, drawn on a
// backing image so that the picture survives being covered. Drawing goes onto the image at
// once and only schedules a repaint, so a run can make millions of calls.
class PlotView : public QFrame
{
    Q_OBJECT

public:
    explicit PlotView(QWidget* parent = nullptr);
    ~PlotView() override;

    // Empties the picture and moves the drawing position to (0, 0); the window stays.
    void clear();

    // Maps x from `left` to `right` across the box and y from `top` to `bottom` down it.
    // An edge that is not finite or a window of no width or height still maps every point
    // somewhere sensible (see plot_view.cpp), so a degenerate record draws what it can.
    void setWindow(float left, float top, float right, float bottom);

    // A line between two points; the drawing position moves to the second.
    void line(double x1, double y1, double x2, double y2, const QColor& colour);

    // A dot at a point, which becomes the drawing position.
    void dot(double x, double y, const QColor& colour);

    // A line from the drawing position to a point, which becomes the drawing position.
    void lineTo(double x, double y, const QColor& colour);

    // The drawing position, in user coordinates.
    QPointF drawingPosition() const;

    // Where a point of the user window lands in the box, in pixels from the box's top-left
    // corner inside its frame.
    QPointF toPixels(double x, double y) const;

    // The picture as it stands (at the screen's pixel ratio).
    QImage picture();

    static QColor background();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Axis
    {
        double from = 0.0;
        double scale = 1.0;  // pixels per user unit
    };

    static Axis makeAxis(float from, float to, double pixels);
    QPainter& painter(const QColor& colour, double width);
    void endPainting();
    void strokeSegment(QPointF a, QPointF b, const QColor& colour);
    void allocateImage();
    void scheduleUpdate();

    QImage m_image;
    std::unique_ptr<QPainter> m_painter;
    QColor m_penColour;
    double m_penWidth = 0.0;
    float m_window[4] = { 0.0f, 0.0f, 0.0f, 0.0f };  // left, top, right, bottom as set
    bool m_windowSet = false;
    Axis m_x;
    Axis m_y;
    double m_currentX = 0.0;
    double m_currentY = 0.0;
    bool m_updatePending = false;
};
