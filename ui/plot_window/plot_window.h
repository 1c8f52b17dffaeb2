#pragma once

#include "analysis/run_tables.h"
#include "plot/plot_data.h"
#include "plot/plot_renderer.h"
#include "ui/plot_window/added_runs.h"
#include "ui/plot_window/cycle_panel.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QPainter;

namespace ui {

class PlotExporter;
class PlotWindow;
class SeriesView;

// The plot itself: axes, grid, layers and legend, and the mouse and keys that zoom and pan.
class PlotArea : public QWidget
{
    Q_OBJECT

public:
    explicit PlotArea(PlotWindow& window);

    // The rectangle inside the axes where data are drawn, in the view shown or in `range` (the
    // axes take the room their labels need).
    QRect dataRect() const;
    QRect dataRect(const plot::PlotRange& range) const;
    QPointF toPixels(double x, double y) const;
    QPointF toData(QPointF pixel) const;

    // Room for the Y title along the data area and for a few ticks on each axis.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    PlotWindow& m_window;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_dragStart;
    QPoint m_dragNow;
    // The view when the right button went down: a right click shows the menu there.
    plot::PlotRange m_pressRange;
};

// A separate, resizable window for the last finished run.
class PlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit PlotWindow(QWidget* parent = nullptr);

    // Shows `data` in full view.
    void setData(plot::PlotData data);
    // The same, sharing the data with whoever else holds it (a record can be large).
    void setData(std::shared_ptr<const plot::PlotData> data);

    const plot::PlotData& data() const
    {
        return *m_data;
    }

    plot::PlotRange visibleRange() const
    {
        return m_range;
    }

    void setVisibleRange(const plot::PlotRange& range);

    // The whole record and curve with a small margin.
    plot::PlotRange fullRange() const
    {
        return m_full;
    }

    void resetView();

    // Zooms by `factor` (below 1 zooms in) keeping the data point under `pixel` in place.
    void zoomAround(QPointF pixel, double factor)
    {
        zoomAround(pixel, factor, factor);
    }

    // Zooms each axis by its own factor (1 leaves it as it is).
    void zoomAround(QPointF pixel, double xFactor, double yFactor);
    // Moves the view by a distance in pixels (the data follow the cursor).
    void panByPixels(QPointF delta);

    // Shows `range` as a step of its own in the history of views (a box drawn with the mouse).
    void zoomTo(const plot::PlotRange& range);

    // Steps back and forward through the views shown before (Alt+Left or Backspace, and
    // Alt+Right). A run of wheel notches, of arrow presses or one drag is one step; nothing
    // happens at either end.
    void previousView();
    void nextView();

    // Ends a run of wheel notches or arrow presses: the next one starts a step of its own.
    void endViewStep()
    {
        m_lastStep = ViewStep::Jump;
    }

    // The plot as shown, at the plot area's size and the screen's pixels, onto the clipboard.
    void copyPicture();
    // The plot area's context menu: copy, export, the views.
    void showContextMenu(QPoint globalPosition);

    // Names the run shown in the title, from its data file's name and the columns read
    // ("wall.prn — X col 2, Y col 3"), and the exports after that file.
    void setRunName(const std::string& dataFile);
    // Says in the title and in a note above the plot that a later run was started and this
    // window still shows the one before; false takes it back.
    void setPreviousRun(bool previous);

    bool showsPreviousRun() const
    {
        return m_previousRun;
    }

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

    QAction* crossingsLayer() const
    {
        return m_crossingsLayer;
    }

    QAction* backboneLayer() const
    {
        return m_backboneLayer;
    }

    QAction* bilinearLayer() const
    {
        return m_bilinearLayer;
    }

    QAction* gridAction() const
    {
        return m_gridAction;
    }

    // Draws both curve sides in the picture box's red.
    QAction* boxRedAction() const
    {
        return m_boxRedAction;
    }

    // The layers as the View menu sets them.
    plot::PlotLayers layers() const;

    // What is emphasised besides the layers; the window keeps the point under the cursor here.
    const plot::PlotHighlight& highlight() const
    {
        return m_highlight;
    }

    // Emphasises closed loops of the record (the cycles chosen in the panel), each drawn as its
    // own polyline; none for none.
    void setHighlightedLoops(std::vector<analysis::PlotSeries> loops);

    // Draws what is visible now (range, layers, grid, highlight) at the target's size, with
    // axes and legend, onto any painter.
    void renderView(QPainter& painter, const QRect& target) const;

    // The cursor's position in data units, or empty outside the data.
    void showCursor(const QPointF* value);

    // Highlights the point of a shown layer nearest the cursor at `pixel` (within a few pixels)
    // and shows its values, and for a record point its data file's line, in the status bar.
    void hoverAt(QPointF pixel);

    // The point highlighted under the cursor; none when the cursor is near none.
    plot::PlotPointRef hoveredPoint() const
    {
        return m_hovered;
    }

    // The cycle tables of the run shown and the rows they come from, for the cycle panel, which
    // computes them again for its options; no tables empties it.
    void setTables(std::shared_ptr<const analysis::RunTables> tables, const std::string& dataFile,
        std::shared_ptr<const run::Rows> rows = {});

    // The cycle analysis's layers over the run: the backbone, its idealisation and the
    // envelopes (they follow the tables the cycle panel shows).
    void setBackbone(analysis::PlotBackbone backbone);

    const analysis::PlotBackbone& backbone() const
    {
        return m_backbone;
    }

    CyclePanel* cyclePanel() const
    {
        return m_cyclePanel;
    }

    PlotExporter* exporter() const
    {
        return m_exporter;
    }

    // Runs data files for comparison (File → Add run for comparison…, or dropped onto the
    // window): each in the background with the settings runSettingsSource gives at this moment,
    // then drawn in a colour of its own over the main run, with a row in the Series page. A file
    // whose run would write the main run's files, or those of a run added and not removed, is
    // refused with a message.
    void addRuns(const QStringList& paths);
    // Asks for the files (askDataFiles) and adds them.
    void askAndAddRuns();

    // The main window's settings and coefficient texts now; the program's settings record and
    // its coefficients unless the main window sets it.
    std::function<AddedRunSettings()> runSettingsSource;
    // Asks for data files to add; none cancels. A file dialog unless a test replaces it.
    std::function<QStringList()> askDataFiles;
    // Asks for another colour, given the present one; an invalid colour cancels. A colour dialog
    // unless a test replaces it.
    std::function<QColor(const QColor& present)> askColour;

    // The runs added and finished, in the order they finished.
    const std::vector<AddedRun>& addedRuns() const
    {
        return m_addedRuns;
    }

    void setAddedRunVisible(int id, bool visible);
    void setAddedRunColour(int id, const QColor& colour);
    // Asks for another colour for the run (askColour).
    void askAddedRunColour(int id);
    void removeAddedRun(int id);

    // Told while the main window runs a file, which then takes one of the two runs at once.
    void setMainRunInProgress(bool running)
    {
        m_queue->setMainRunInProgress(running);
    }

    AddedRunQueue* addedRunQueue() const
    {
        return m_queue;
    }

    SeriesView* seriesView() const
    {
        return m_seriesView;
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // How the view last changed; a wheel notch or an arrow press after one of its own kind
    // continues that step of the history.
    enum class ViewStep
    {
        Jump,
        Wheel,
        Pan
    };

    void clearHover();
    void connectCyclePanel();
    void connectAddedRuns();
    // The added runs as the renderer draws them.
    std::vector<plot::OverlayRun> overlays() const;
    // The whole of the main run and the added runs shown; a view of the whole follows it.
    void updateFullRange();
    // The Series page's rows from the main run's and the added runs' tables.
    void updateSeries();
    // The added run's tables under the panel's options, when computed under others.
    void analyseAddedRun(AddedRun& run);
    AddedRun* addedRun(int id);
    void showPointText(const QString& text);
    void moveView(const plot::PlotRange& range, ViewStep step);
    void updateTitle();
    // Opens within the screen's free area, the cycle panel taking at most two fifths of it.
    void fitToScreen();

    std::shared_ptr<const plot::PlotData> m_data = std::make_shared<const plot::PlotData>();
    plot::PlotRange m_full;
    plot::PlotRange m_range;
    PlotArea* m_area;
    QLabel* m_cursorLabel;
    QLabel* m_pointLabel;
    QLabel* m_hintLabel;
    QAction* m_recordLayer;
    QAction* m_positiveLayer;
    QAction* m_negativeLayer;
    QAction* m_crossingsLayer;
    QAction* m_backboneLayer;
    QAction* m_bilinearLayer;
    QAction* m_lastCycleLayer;
    QAction* m_gridAction;
    QAction* m_boxRedAction;
    plot::PlotRenderer m_renderer;
    plot::PlotHighlight m_highlight;
    // The tables' backbone, idealisation and envelopes, drawn over the run.
    analysis::PlotBackbone m_backbone;
    plot::PlotPointIndex m_index;
    plot::PlotPointRef m_hovered;
    int m_hoveredRun = 0;  // the added run the hovered point is of; 0 for the main run
    CyclePanel* m_cyclePanel;
    PlotExporter* m_exporter;
    std::vector<plot::PlotRange> m_previousViews;
    std::vector<plot::PlotRange> m_nextViews;
    ViewStep m_lastStep = ViewStep::Jump;
    QString m_runName;  // the data file's name
    bool m_previousRun = false;
    QLabel* m_previousNote = nullptr;
    // The main run's data file and rows, and the tables the panel shows of them.
    std::string m_mainFile;
    std::shared_ptr<const run::Rows> m_mainRows;
    std::shared_ptr<const analysis::RunTables> m_mainTables;
    AddedRunQueue* m_queue;
    std::vector<AddedRun> m_addedRuns;
    // The data files of the added runs waiting or running.
    std::vector<std::string> m_pendingRuns;
    int m_lastRunId = 0;
    SeriesView* m_seriesView;
    QLabel* m_addedRunsLabel;
};

}  // namespace ui
