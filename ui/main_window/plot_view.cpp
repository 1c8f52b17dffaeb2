#include "ui/main_window/plot_view.h"

#include "analysis/run_plot.h"
#include "analysis/run_tables.h"
#include "plot/plot_data.h"
#include "plot/plot_file.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "settings/run_settings.h"
#include "ui/common/file_names.h"
#include "ui/common/message_presenter.h"
#include "ui/cycles/cycles_dialog.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <utility>

namespace ui {

PlotView::PlotView(QWidget* parent)
    : QFrame(parent)
    , m_cyclesAction(new QAction(tr("Cycles…"), this))
    , m_savePictureAction(new QAction(tr("Save picture…"), this))
    , m_copyPictureAction(new QAction(tr("Copy picture"), this))
    , m_plotWindowAction(new QAction(tr("Open plot window"), this))
{
    m_plotWindowAction->setObjectName(QStringLiteral("plotWindowAction"));
    m_plotWindowAction->setEnabled(false);
    connect(m_plotWindowAction, &QAction::triggered, this, &PlotView::openPlotWindow);
    m_savePictureAction->setObjectName(QStringLiteral("savePictureAction"));
    m_copyPictureAction->setObjectName(QStringLiteral("copyPictureAction"));
    for (QAction* action : { m_savePictureAction, m_copyPictureAction })
        action->setEnabled(false);
    connect(m_savePictureAction, &QAction::triggered, this, &PlotView::savePicture);
    connect(m_copyPictureAction, &QAction::triggered, this, &PlotView::copyPicture);
    askPictureName = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, tr("Save picture"), suggested,
            tr("Pictures (*.png *.svg);;PNG (*.png);;SVG (*.svg)"));
    };
    m_cyclesAction->setObjectName(QStringLiteral("cyclesAction"));
    m_cyclesAction->setEnabled(false);
    connect(m_cyclesAction, &QAction::triggered, this, &PlotView::openCycles);
    showCycles = [](QDialog& dialog) { dialog.exec(); };
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
    allocateImage();
}

PlotView::~PlotView()
{
    m_canvas.end();
}

QColor PlotView::background()
{
    return plot::PlotCanvas::background();
}

void PlotView::clear()
{
    // The tables belong to the picture of the finished run.
    m_tables.reset();
    m_rows.reset();
    m_cyclesAction->setEnabled(false);
    m_savePictureAction->setEnabled(false);
    m_copyPictureAction->setEnabled(false);
    m_inkSinceClear = false;
    m_recording = {};  // its memory goes too
    m_recording.reserve(m_recordingLimit + 2);
    m_recordingComplete = true;
    m_canvas.end();
    m_image.fill(background());
    m_canvas.resetPosition();
    scheduleUpdate();
}

void PlotView::setWindow(float left, float top, float right, float bottom)
{
    m_canvas.setBox(contentsRect().size());
    m_canvas.setWindow(left, top, right, bottom);
    if (m_recordingComplete)
        m_recording.setWindow(left, top, right, bottom);
}

QPointF PlotView::toPixels(double x, double y) const
{
    return m_canvas.toPixels(x, y);
}

QPointF PlotView::drawingPosition() const
{
    return m_canvas.drawingPosition();
}

void PlotView::line(double x1, double y1, double x2, double y2, const QColor& colour)
{
    if (m_recordingComplete)
        m_recording.line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
            static_cast<float>(y2), colour);
    drawn(m_canvas.line(x1, y1, x2, y2, colour));
}

void PlotView::lineTo(double x, double y, const QColor& colour)
{
    if (m_recordingComplete)
        m_recording.lineTo(static_cast<float>(x), static_cast<float>(y), colour);
    drawn(m_canvas.lineTo(x, y, colour));
}

void PlotView::dot(double x, double y, const QColor& colour)
{
    dot(x, y, plot::Ink { colour.rgb() });
}

void PlotView::dot(double x, double y, plot::Ink colour)
{
    if (m_recordingComplete)
        m_recording.dot(static_cast<float>(x), static_cast<float>(y), colour);
    drawn(m_canvas.dot(x, y, colour));
}

void PlotView::dots(std::span<const run::PlotDot> dots)
{
    if (m_recordingComplete) {
        // As dot() after dot(): a recording the dots would take past its bound is let go.
        if (m_recording.size() + dots.size() > m_recordingLimit) {
            m_recording = {};
            m_recordingComplete = false;
        } else {
            m_recording.dots(dots);
        }
    }
    drawn(m_canvas.dots(dots));
}

void PlotView::drawn(bool ink)
{
    if (m_recordingComplete && m_recording.size() > m_recordingLimit) {
        m_recording = {};
        m_recordingComplete = false;
    }
    if (!ink)
        return;
    if (!m_inkSinceClear) {
        m_inkSinceClear = true;
        m_savePictureAction->setEnabled(true);
        m_copyPictureAction->setEnabled(true);
    }
    scheduleUpdate();
}

void PlotView::savePicture()
{
    // Named after the run the picture shows, not after a file chosen since.
    const std::string& dataFile = m_runDataFile;
    std::string suggested;
    if (const std::size_t dot = dataFile.rfind('.');
        dot != std::string::npos && dataFile.find('/', dot) == std::string::npos)
        suggested = dataFile.substr(0, dot) + ".png";
    else if (!dataFile.empty())
        suggested = dataFile + ".png";
    QString path = askPictureName(shownFileName(suggested));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    QString error;
    const std::string name = chosenFileName(path, suggested);
    if (const std::optional<plot::PictureFormat> format = plot::plotFileFormat(name)) {
        const QByteArray bytes = m_recordingComplete
            ? plot::plotFile(m_recording, *format, &error)
            : plot::plotImageFile(picture(), *format, &error);
        try {
            if (error.isEmpty())
                run::writeWholeFile(name, bytes.toStdString(), { m_runDataFile });
        } catch (const run::RunFailure& failure) {
            error = QString::fromStdString(failure.what());
        }
    } else {
        error = tr("the picture's name must end in .png or .svg");
    }
    if (!error.isEmpty())
        messagePresenter().warning(window(), applicationTitle(),
            tr("The picture could not be saved as %1: %2").arg(path, error));
}

void PlotView::copyPicture()
{
    QGuiApplication::clipboard()->setImage(picture());
}

QImage PlotView::picture()
{
    m_canvas.end();
    return m_image;
}

void PlotView::showFinishedRun(run::FinishedRun run)
{
    const std::string dataFile = run.dataFilePath;
    analysis::AssembledRun assembled = analysis::assembleRun(std::move(run), {});
    auto tables = std::make_shared<const analysis::RunTables>(std::move(assembled.tables));
    m_plotData = std::move(assembled.plot);
    m_plotWindowAction->setEnabled(!m_runInProgress);
    m_plotIsPrevious = false;
    if (m_plotWindow)
        m_plotWindow->setData(m_plotData);
    m_tables = tables;
    m_rows = std::move(assembled.rows);
    m_cyclesAction->setEnabled(true);
    m_tablesDataFile = dataFile;
    m_plotTables = m_tables;
    m_plotRows = m_rows;
    if (m_plotWindow) {
        m_plotWindow->setTables(m_plotTables, m_tablesDataFile, m_plotRows);
        m_plotWindow->setRunName(m_tablesDataFile);
        m_plotWindow->setPreviousRun(false);
    }
}

void PlotView::setRunInProgress(bool running)
{
    m_runInProgress = running;
    if (running && m_plotData)
        m_plotIsPrevious = true;
    m_plotWindowAction->setEnabled(!running && m_plotData);
    if (m_plotWindow) {
        m_plotWindow->setPreviousRun(m_plotIsPrevious);
        m_plotWindow->setMainRunInProgress(running);
    }
}

void PlotView::openCycles()
{
    if (!m_tables)
        return;
    CycleRun run { m_rows, m_tables, {}, m_tablesDataFile, {}, {} };
    if (m_plotData) {
        run.xTitle = plot::plotXTitle(*m_plotData);
        run.yTitle = plot::plotYTitle(*m_plotData);
    }
    CyclesDialog dialog(std::move(run), m_cycleOptions, window());
    showCycles(dialog);
    m_cycleOptions = dialog.view()->options();
}

void PlotView::openPlotWindow()
{
    if (!m_plotWindowAction->isEnabled())
        return;
    if (!m_plotWindow) {
        // A window of its own, closed with the main window.
        m_plotWindow = new PlotWindow(window());
        m_plotWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_plotWindow->setData(m_plotData);
        m_plotWindow->setTables(m_plotTables, m_tablesDataFile, m_plotRows);
        m_plotWindow->setRunName(m_tablesDataFile);
        m_plotWindow->setPreviousRun(m_plotIsPrevious);
        if (runSettingsSource)
            m_plotWindow->runSettingsSource = runSettingsSource;
    }
    m_plotWindow->show();
    m_plotWindow->raise();
    m_plotWindow->activateWindow();
}

void PlotView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        openPlotWindow();
}

void PlotView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(m_plotWindowAction);
    menu.addAction(m_cyclesAction);
    menu.addSeparator();
    menu.addAction(m_savePictureAction);
    menu.addAction(m_copyPictureAction);
    menu.exec(event->globalPos());
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
    m_canvas.end();
    if (!m_image.isNull()) {
        QPainter copy(&image);
        copy.drawImage(QPointF(0, 0), m_image);
    }
    m_image = std::move(image);
    m_canvas.setDevice(&m_image);
    m_canvas.setBox(contentsRect().size());
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
    m_canvas.end();
    QPainter p(this);
    p.drawImage(QRectF(contentsRect()), m_image);
    p.end();
    QFrame::paintEvent(event);
}

}  // namespace ui
