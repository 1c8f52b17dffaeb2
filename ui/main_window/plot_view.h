#pragma once

#include "analysis/run_tables.h"
#include "plot/plot_canvas.h"
#include "plot/plot_recording.h"
#include "ui/plot_window/plot_window.h"

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QPointF>
#include <QPointer>

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class QAction;
class QContextMenuEvent;

namespace ui {

// The picture box of the main window: a user coordinate window mapped onto the box, drawn on a
// backing image so that the picture survives being covered. Drawing goes onto the image at
// once and only schedules a repaint, so a run can make millions of calls. The drawing itself
// is PlotCanvas's, which varnel-batch uses for its picture files.
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
    // somewhere sensible (see PlotCanvas), so a degenerate record draws what it can.
    void setWindow(float left, float top, float right, float bottom);

    // A line between two points; the drawing position moves to the second.
    void line(double x1, double y1, double x2, double y2, const QColor& colour);

    // A dot at a point, which becomes the drawing position.
    void dot(double x, double y, const QColor& colour);
    void dot(double x, double y, plot::Ink colour);
    // Dots in order, as dot() draws each.
    void dots(std::span<const run::PlotDot> dots);

    // A line from the drawing position to a point, which becomes the drawing position.
    void lineTo(double x, double y, const QColor& colour);

    // The drawing position, in user coordinates.
    QPointF drawingPosition() const;

    // Where a point of the user window lands in the box, in pixels from the box's top-left
    // corner inside its frame.
    QPointF toPixels(double x, double y) const;

    // The data file of the run the picture shows, which a saved picture is named after.
    void setRunDataFile(const std::string& dataFile)
    {
        m_runDataFile = dataFile;
    }

    // The picture as it stands (at the screen's pixel ratio).
    QImage picture();

    static QColor background();

    // The tables and the plot of the run just finished, from the run as it handed itself over.
    // Until then, and from the next clear() on, the context menu's "Cycles…" entry is disabled.
    // The plot (the points, their lines, the crossings, the curve and its backbone, the axes'
    // titles) becomes the plot window's (an open one shows it at once).
    void showFinishedRun(run::FinishedRun run);

    // Told when a run starts and ends. During a run the plot window cannot be opened, and an
    // open one (and any opened before the next run finishes) says it shows the previous run.
    void setRunInProgress(bool running);

    // The context menu's entry that opens (or raises) the plot window of the finished run,
    // as a double-click on the box does; disabled before the first finished run and during
    // a run.
    QAction* plotWindowAction() const
    {
        return m_plotWindowAction;
    }

    // The plot window once opened; null before.
    PlotWindow* plotWindow() const
    {
        return m_plotWindow;
    }

    // The context menu's entry that opens the tables of the finished run.
    QAction* cyclesAction() const
    {
        return m_cyclesAction;
    }

    // The context menu's entries that save the picture as a PNG or SVG file and copy it to
    // the clipboard; both are disabled while nothing has been drawn.
    QAction* savePictureAction() const
    {
        return m_savePictureAction;
    }

    QAction* copyPictureAction() const
    {
        return m_copyPictureAction;
    }

    // How many drawing calls are kept for saving the picture afresh; a run that draws more
    // saves the box's own image. Tests make it small.
    void setRecordingLimit(std::size_t calls)
    {
        m_recordingLimit = calls;
    }

    // Asks for the picture file's name, suggesting `suggested`; empty when cancelled. Tests
    // replace it so that no file dialog blocks.
    std::function<QString(const QString& suggested)> askPictureName;

    // Shows the cycles dialog modally. Tests replace it so that the dialog does not block.
    std::function<void(QDialog&)> showCycles;

    // The settings a run added in the plot window is run with (the main window's, as they are
    // when it is added); the plot window's own source unless set.
    std::function<AddedRunSettings()> runSettingsSource;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void allocateImage();
    void scheduleUpdate();
    void openCycles();
    void openPlotWindow();
    void drawn(bool ink);
    void savePicture();
    void copyPicture();

    QImage m_image;
    plot::PlotCanvas m_canvas;
    bool m_updatePending = false;
    bool m_inkSinceClear = false;  // what enables saving and copying the picture
    QAction* m_cyclesAction;
    QAction* m_savePictureAction;
    QAction* m_copyPictureAction;
    QAction* m_plotWindowAction;
    std::shared_ptr<const plot::PlotData> m_plotData;  // shared with the plot window
    QPointer<PlotWindow> m_plotWindow;
    // The calls since the last clear, so that a saved picture is drawn afresh at the file's
    // resolution; past a bound the box's own image is saved instead.
    plot::PlotRecording m_recording;
    bool m_recordingComplete = true;
    // Some 50 MB of calls.
    std::size_t m_recordingLimit = 4'000'000;
    std::shared_ptr<const analysis::RunTables> m_tables;
    // The rows the tables come from, for the cycle views to compute them again.
    std::shared_ptr<const run::Rows> m_rows;
    // The plot window's, kept with its data when the picture is cleared.
    std::shared_ptr<const analysis::RunTables> m_plotTables;
    std::shared_ptr<const run::Rows> m_plotRows;
    // The options last applied in the cycles dialog, which it opens with again.
    analysis::CycleOptions m_cycleOptions;
    std::string m_tablesDataFile;
    std::string m_runDataFile;
    bool m_runInProgress = false;
    // A run was started since the plot window's run finished.
    bool m_plotIsPrevious = false;
};

}  // namespace ui
