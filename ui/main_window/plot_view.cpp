#include "ui/main_window/plot_view.h"

#include "analysis/run_tables.h"
#include "ui/cycles/cycles_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <utility>

namespace ui {

PlotView::PlotView(QWidget* parent)
    : QFrame(parent)
    , m_cyclesAction(new QAction(tr("Cycles…"), this))
{
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
    return PlotCanvas::background();
}

void PlotView::clear()
{
    // The tables belong to the picture of the finished run.
    m_tables.reset();
    m_cyclesAction->setEnabled(false);
    m_canvas.end();
    m_image.fill(background());
    m_canvas.resetPosition();
    scheduleUpdate();
}

void PlotView::setWindow(float left, float top, float right, float bottom)
{
    m_canvas.setBox(contentsRect().size());
    m_canvas.setWindow(left, top, right, bottom);
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
    if (m_canvas.line(x1, y1, x2, y2, colour))
        scheduleUpdate();
}

void PlotView::lineTo(double x, double y, const QColor& colour)
{
    if (m_canvas.lineTo(x, y, colour))
        scheduleUpdate();
}

void PlotView::dot(double x, double y, const QColor& colour)
{
    if (m_canvas.dot(x, y, colour))
        scheduleUpdate();
}

QImage PlotView::picture()
{
    m_canvas.end();
    return m_image;
}

bool PlotView::analyseFinishedRun(const std::vector<double>& x, const std::vector<double>& y,
    const std::string& dataFile, bool oneFile)
{
    m_tables.reset();
    m_cyclesAction->setEnabled(false);
    analysis::RunTablesResult result = analysis::analyseFinishedRun(x, y, dataFile, oneFile, {});
    if (!result)
        return false;
    m_tables = std::make_unique<analysis::RunTables>(std::move(result.tables));
    m_tablesDataFile = dataFile;
    m_cyclesAction->setEnabled(true);
    return true;
}

void PlotView::openCycles()
{
    if (!m_tables)
        return;
    CyclesDialog dialog(*m_tables, m_tablesDataFile, window());
    showCycles(dialog);
}

void PlotView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(m_cyclesAction);
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
