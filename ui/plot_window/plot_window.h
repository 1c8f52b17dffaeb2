#pragma once

#include "analysis/curve_sides.h"
#include "analysis/run_tables.h"
#include "ui/plot_window/cycle_panel.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;

namespace ui {

// What the plot window shows: the record's prepared points and the written curve's sides.
struct PlotData
{
    std::vector<double> x;
    std::vector<double> y;
    analysis::CurveSides sides;
    // The data file's columns the points came from; 0 when unknown.
    int xColumn = 0;
    int yColumn = 0;
};

// The part of the data plane in view.
struct PlotRange
{
    double xMin = 0;
    double xMax = 1;
    double yMin = 0;
    double yMax = 1;
};

class PlotWindow;

// The plot itself: axes, grid, layers and legend, and the mouse and keys that zoom and pan.
class PlotArea : public QWidget
{
    Q_OBJECT

public:
    explicit PlotArea(PlotWindow& window);

    // The rectangle inside the axes where data are drawn.
    QRect dataRect() const;
    QPointF toPixels(double x, double y) const;
    QPointF toData(QPointF pixel) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    PlotWindow& m_window;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_dragStart;
    QPoint m_dragNow;
};

// A separate, resizable window for the last finished run.
class PlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit PlotWindow(QWidget* parent = nullptr);

    // Shows `data` in full view.
    void setData(PlotData data);

    const PlotData& data() const
    {
        return m_data;
    }

    PlotRange visibleRange() const
    {
        return m_range;
    }

    void setVisibleRange(const PlotRange& range);

    // The whole record and curve with a small margin.
    PlotRange fullRange() const
    {
        return m_full;
    }

    void resetView();

    // Zooms by `factor` (below 1 zooms in) keeping the data point under `pixel` in place.
    void zoomAround(QPointF pixel, double factor);
    // Moves the view by a distance in pixels (the data follow the cursor).
    void panByPixels(QPointF delta);

    PlotArea* plotArea() const
    {
        return m_area;
    }

    QAction* recordLayer() const
    {
        return m_recordLayer;
    }

    QAction* positiveLayer() const
    {
        return m_positiveLayer;
    }

    QAction* negativeLayer() const
    {
        return m_negativeLayer;
    }

    QAction* gridAction() const
    {
        return m_gridAction;
    }

    // The cursor's position in data units, or empty outside the data.
    void showCursor(const QPointF* value);

    // The cycle tables of the run shown, for the cycle panel; none empties it.
    void setTables(const analysis::RunTables* tables, const std::string& dataFile);

    CyclePanel* cyclePanel() const
    {
        return m_cyclePanel;
    }

    // The stretch of the record drawn highlighted (the selected cycles); none for none.
    void setHighlight(std::optional<PointStretch> stretch);

    std::optional<PointStretch> highlight() const
    {
        return m_highlight;
    }

private:
    PlotData m_data;
    PlotRange m_full;
    PlotRange m_range;
    PlotArea* m_area;
    QLabel* m_cursorLabel;
    QAction* m_recordLayer;
    QAction* m_positiveLayer;
    QAction* m_negativeLayer;
    QAction* m_gridAction;
    CyclePanel* m_cyclePanel;
    std::optional<PointStretch> m_highlight;
};

}  // namespace ui
