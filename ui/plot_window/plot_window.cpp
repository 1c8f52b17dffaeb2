#include "ui/plot_window/plot_window.h"

#include "run/run_driver.h"
#include "ui/common/message_presenter.h"
#include "ui/cycles/cycle_tables_view.h"
#include "ui/plot_window/plot_export.h"
#include "ui/plot_window/series_view.h"

#include <QAction>
#include <QClipboard>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ui {

namespace {

    // A drag shorter than this is a click, not a box.
    constexpr int kMinimumBox = 4;
    // Views kept to step back to.
    constexpr std::size_t kViewHistory = 50;

    QString decoded(const std::string& name)
    {
        return QFile::decodeName(QByteArray::fromStdString(name));
    }

    QString fileNameOf(const std::string& path)
    {
        return QFileInfo(decoded(path)).fileName();
    }

    // Whether the runs of two data files write the same files: their name bases name one file,
    // however spelt.
    bool sameRunNames(const std::string& a, const std::string& b)
    {
        try {
            const QFileInfo x(decoded(run::runNameBase(a)));
            const QFileInfo y(decoded(run::runNameBase(b)));
            return x.fileName() == y.fileName()
                && QFileInfo(x.absolutePath()).canonicalFilePath()
                == QFileInfo(y.absolutePath()).canonicalFilePath();
        } catch (const run::RunFailure&) {
            return false;
        }
    }

    bool sameOptions(const analysis::CycleOptions& a, const analysis::CycleOptions& b)
    {
        return a.cycleTolerance == b.cycleTolerance && a.turnBackRatio == b.turnBackRatio
            && a.levelTolerance == b.levelTolerance && a.envelope == b.envelope;
    }

    // The shortest text that reads back as `value`, as a coefficient box would hold it.
    std::string shortest(float value)
    {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        return std::string(buffer, end);
    }

    // The values of the point `ref` of `data`.
    QPointF pointOf(const plot::PlotData& data, plot::PlotPointRef ref)
    {
        switch (ref.source) {
        case plot::PlotPointRef::Source::Record:
            return { data.x[ref.index], data.y[ref.index] };
        case plot::PlotPointRef::Source::Positive:
            return { data.sides.positive.x[ref.index], data.sides.positive.y[ref.index] };
        case plot::PlotPointRef::Source::Negative:
            return { data.sides.negative.x[ref.index], data.sides.negative.y[ref.index] };
        case plot::PlotPointRef::Source::None:
            break;
        }
        return {};
    }

    // A status-bar label that ends its text with "…" where the bar is too narrow for it,
    // instead of cutting it off or holding the window wide; the whole text is its tool tip.
    class ElidingLabel : public QLabel
    {
    public:
        using QLabel::QLabel;

        QSize minimumSizeHint() const override
        {
            return { 0, QLabel::minimumSizeHint().height() };
        }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            const QRect r = contentsRect();
            painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
        }
    };

}  // namespace

// ---- PlotArea ----

PlotArea::PlotArea(PlotWindow& window)
    : QWidget(&window)
    , m_window(window)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect PlotArea::dataRect() const
{
    return dataRect(m_window.visibleRange());
}

QRect PlotArea::dataRect(const plot::PlotRange& range) const
{
    return plot::PlotRenderer::dataRect(rect(), QFontMetricsF(font(), this), range);
}

QSize PlotArea::minimumSizeHint() const
{
    const QFontMetricsF metrics(font(), this);
    const QRect probe(0, 0, 2000, 2000);
    const QRect d = plot::PlotRenderer::dataRect(probe, metrics, m_window.visibleRange());
    const double title =
        std::min(metrics.horizontalAdvance(plot::plotYTitle(m_window.data())), 400.0);
    const double ticks = 8 * metrics.height();
    return { probe.width() - d.width() + static_cast<int>(ticks),
        probe.height() - d.height() + static_cast<int>(std::ceil(std::max(title + 8, ticks))) };
}

QPointF PlotArea::toPixels(double x, double y) const
{
    const plot::PlotRange r = m_window.visibleRange();
    const QRectF d = dataRect();
    return { d.left() + (x - r.xMin) / (r.xMax - r.xMin) * d.width(),
        d.top() + d.height() - (y - r.yMin) / (r.yMax - r.yMin) * d.height() };
}

QPointF PlotArea::toData(QPointF pixel) const
{
    const plot::PlotRange r = m_window.visibleRange();
    const QRectF d = dataRect();
    return { r.xMin + (pixel.x() - d.left()) / d.width() * (r.xMax - r.xMin),
        r.yMin + (d.top() + d.height() - pixel.y()) / d.height() * (r.yMax - r.yMin) };
}

void PlotArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_window.renderView(painter, rect());
    if (m_dragButton == Qt::LeftButton) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(QRect(m_dragStart, m_dragNow).normalized());
    }
}

void PlotArea::wheelEvent(QWheelEvent* event)
{
    // Some systems turn a wheel with Shift into a horizontal one.
    const QPoint angle = event->angleDelta();
    const double notches = (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    if (notches != 0) {
        const double factor = std::pow(0.8, notches);
        const Qt::KeyboardModifiers modifiers = event->modifiers();
        if (modifiers & Qt::ControlModifier)
            m_window.zoomAround(event->position(), factor, 1);
        else if (modifiers & Qt::ShiftModifier)
            m_window.zoomAround(event->position(), 1, factor);
        else
            m_window.zoomAround(event->position(), factor);
    }
    event->accept();
}

void PlotArea::mousePressEvent(QMouseEvent* event)
{
    if (m_dragButton != Qt::NoButton)
        return;
    const Qt::MouseButton button = event->button();
    if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton) {
        m_dragButton = button;
        m_dragStart = m_dragNow = event->position().toPoint();
        m_pressRange = m_window.visibleRange();
        m_window.endViewStep();  // a drag is a step of its own
    }
}

void PlotArea::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (dataRect().contains(at)) {
        const QPointF value = toData(event->position());
        m_window.showCursor(&value);
    } else {
        m_window.showCursor(nullptr);
    }
    if (m_dragButton == Qt::NoButton)
        m_window.hoverAt(event->position());
    if (m_dragButton == Qt::LeftButton) {
        m_dragNow = at;
        update();
    } else if (m_dragButton != Qt::NoButton) {
        m_window.panByPixels(at - m_dragNow);
        m_dragNow = at;
    }
}

void PlotArea::leaveEvent(QEvent* event)
{
    // Values of a place the cursor has left would mislead.
    m_window.showCursor(nullptr);
    m_window.hoverAt(QPointF(-1e6, -1e6));
    QWidget::leaveEvent(event);
}

void PlotArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != m_dragButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_dragButton == Qt::LeftButton) {
        const QRect box = QRect(m_dragStart, at).normalized().intersected(dataRect());
        if (box.width() >= kMinimumBox && box.height() >= kMinimumBox) {
            const QPointF a = toData(box.bottomLeft() + QPointF(0, 1));
            const QPointF b = toData(box.topRight() + QPointF(1, 0));
            m_window.zoomTo({ a.x(), b.x(), a.y(), b.y() });
        }
    } else if (m_dragButton == Qt::RightButton
        && (at - m_dragStart).manhattanLength() < kMinimumBox) {
        // A right click, not a drag: the view stays where it was and the menu opens.
        m_window.setVisibleRange(m_pressRange);
        m_dragButton = Qt::NoButton;
        m_window.showContextMenu(event->globalPosition().toPoint());
        return;
    } else {
        m_window.panByPixels(at - m_dragNow);
    }
    m_dragButton = Qt::NoButton;
    update();
}

void PlotArea::contextMenuEvent(QContextMenuEvent* event)
{
    // The right button pans; its click opens the menu when released, so only the keyboard's
    // menu key opens it here.
    if (event->reason() == QContextMenuEvent::Keyboard)
        m_window.showContextMenu(mapToGlobal(dataRect().center()));
    event->accept();
}

void PlotArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_window.resetView();
}

void PlotArea::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        m_window.copyPicture();
        return;
    }
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (alt && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        if (event->key() == Qt::Key_Left)
            m_window.previousView();
        else
            m_window.nextView();
        return;
    }
    // A tenth of the view per press; the view moves the way the arrow points, as on a map
    // (the data the other way).
    const QRect d = dataRect();
    switch (event->key()) {
    case Qt::Key_Left:
        m_window.panByPixels(QPointF(d.width() / 10.0, 0));
        break;
    case Qt::Key_Right:
        m_window.panByPixels(QPointF(-d.width() / 10.0, 0));
        break;
    case Qt::Key_Up:
        m_window.panByPixels(QPointF(0, d.height() / 10.0));
        break;
    case Qt::Key_Down:
        m_window.panByPixels(QPointF(0, -d.height() / 10.0));
        break;
    case Qt::Key_Home:
        m_window.resetView();
        break;
    case Qt::Key_Backspace:
        m_window.previousView();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// ---- PlotWindow ----

PlotWindow::PlotWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_area(new PlotArea(*this))
    , m_cursorLabel(new QLabel(this))
    , m_pointLabel(new ElidingLabel(this))
    , m_cyclePanel(new CyclePanel(this))
    , m_exporter(new PlotExporter(*this))
    , m_queue(new AddedRunQueue(this))
    , m_seriesView(new SeriesView(this))
    , m_addedRunsLabel(new ElidingLabel(this))
{
    setWindowTitle(tr("Plot"));
    // A note over the plot while it shows a run older than the last one started.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_previousNote = new QLabel(central);
    m_previousNote->setObjectName(QStringLiteral("previousRunNote"));
    m_previousNote->setWordWrap(true);
    m_previousNote->setMargin(4);
    m_previousNote->setAutoFillBackground(true);
    QPalette notePalette = m_previousNote->palette();
    notePalette.setColor(QPalette::Window, QColor(255, 236, 160));
    notePalette.setColor(QPalette::WindowText, Qt::black);
    m_previousNote->setPalette(notePalette);
    m_previousNote->hide();
    column->addWidget(m_previousNote);
    column->addWidget(m_area, 1);
    setCentralWidget(central);
    m_area->setFocus();  // the arrows and Home work at once
    m_cursorLabel->setObjectName(QStringLiteral("cursorLabel"));
    m_pointLabel->setObjectName(QStringLiteral("pointLabel"));
    statusBar()->addWidget(m_cursorLabel);
    statusBar()->addWidget(m_pointLabel, 1);
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* add =
        file->addAction(tr("&Add run for comparison…"), this, &PlotWindow::askAndAddRuns);
    add->setObjectName(QStringLiteral("addRunAction"));
    add->setToolTip(tr("Runs data files with the main window's settings and draws them over "
                       "this run"));
    file->addSeparator();
    file->addAction(tr("Export &picture…"), m_exporter, &PlotExporter::exportPicture)
        ->setObjectName(QStringLiteral("exportPictureAction"));
    file->addAction(tr("Export &curve CSV…"), m_exporter, &PlotExporter::exportCurve)
        ->setObjectName(QStringLiteral("exportCurveAction"));
    // Ctrl+C belongs to the plot only: in the cycle panel it copies the selected rows.
    QAction* copy = file->addAction(tr("C&opy picture"), this, &PlotWindow::copyPicture);
    copy->setObjectName(QStringLiteral("copyPictureAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QAction* tables = file->addAction(tr("Save &tables CSV…"), m_cyclePanel, &CyclePanel::save);
    tables->setObjectName(QStringLiteral("saveTablesAction"));
    tables->setEnabled(false);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
    // The less obvious controls, where the eye goes for the values anyway; they step aside
    // while a point is described, which needs the room more.
    m_hintLabel = new QLabel(tr("Ctrl+wheel: zoom X · Shift+wheel: zoom Y · Home: all"), this);
    m_hintLabel->setObjectName(QStringLiteral("hintLabel"));
    m_hintLabel->setEnabled(false);
    statusBar()->addPermanentWidget(m_hintLabel);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    const auto layer = [&](const QString& text, const char* name) {
        QAction* action = view->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, [this] {
            // The point under the cursor may belong to a layer just switched off.
            clearHover();
            m_area->update();
        });
        return action;
    };
    m_recordLayer = layer(tr("Record"), "recordLayer");
    m_crossingsLayer = layer(tr("Crossings"), "crossingsLayer");
    m_positiveLayer = layer(tr("Positive curve"), "positiveLayer");
    m_negativeLayer = layer(tr("Negative curve"), "negativeLayer");
    m_backboneLayer = layer(tr("Backbone (first-cycle envelope)"), "backboneLayer");
    m_lastCycleLayer = layer(tr("Last-cycle envelope"), "lastCycleLayer");
    m_lastCycleLayer->setChecked(false);
    m_bilinearLayer = layer(tr("Bilinear idealisation"), "bilinearLayer");
    view->addSeparator();
    m_gridAction = layer(tr("Grid"), "gridAction");
    m_boxRedAction = layer(tr("Curve in the picture box's red"), "boxRedAction");
    m_boxRedAction->setChecked(false);
    view->addSeparator();
    QAction* reset = view->addAction(tr("Reset view"));
    reset->setObjectName(QStringLiteral("resetViewAction"));
    reset->setShortcut(Qt::Key_Home);
    reset->setShortcutContext(Qt::WidgetShortcut);  // the plot area's own Home handles it
    connect(reset, &QAction::triggered, this, &PlotWindow::resetView);
    QAction* back = view->addAction(tr("Previous view"), this, &PlotWindow::previousView);
    back->setObjectName(QStringLiteral("previousViewAction"));
    back->setShortcuts({ QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Backspace) });
    back->setShortcutContext(Qt::WidgetShortcut);
    QAction* forward = view->addAction(tr("Next view"), this, &PlotWindow::nextView);
    forward->setObjectName(QStringLiteral("nextViewAction"));
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    forward->setShortcutContext(Qt::WidgetShortcut);
    addDockWidget(Qt::BottomDockWidgetArea, m_cyclePanel);
    view->addSeparator();
    view->addAction(m_cyclePanel->toggleViewAction());
    connectCyclePanel();
    connectAddedRuns();
    fitToScreen();
}

void PlotWindow::fitToScreen()
{
    QSize size(880, 720);
    if (const QScreen* shown = screen()) {
        // Room for the frame the window manager adds.
        const QRect free = shown->availableGeometry();
        size = size.boundedTo(QSize(free.width() * 9 / 10, free.height() * 17 / 20));
        // On a short screen the plot and the panel do not both fit: the plot is shown, the
        // panel waits in the View menu.
        if (minimumSizeHint().height() > size.height())
            m_cyclePanel->hide();
        size = size.expandedTo(minimumSizeHint());
        move(free.left() + std::max(0, (free.width() - size.width()) / 2),
            free.top() + std::max(0, (free.height() - size.height()) / 2));
    }
    resize(size);
    // The plot keeps most of the height; the table shows a few cycles until dragged taller.
    resizeDocks({ m_cyclePanel }, { std::min(340, size.height() * 2 / 5) }, Qt::Vertical);
}

void PlotWindow::setData(plot::PlotData data)
{
    setData(std::make_shared<const plot::PlotData>(std::move(data)));
}

void PlotWindow::setData(std::shared_ptr<const plot::PlotData> data)
{
    m_data = data ? std::move(data) : std::make_shared<const plot::PlotData>();
    m_renderer.setData(m_data.get());
    m_index.build(*m_data);
    m_highlight = {};
    clearHover();
    m_full = plot::fullPlotRange(*m_data, overlays());
    resetView();
    m_previousViews.clear();
    m_nextViews.clear();
    m_area->updateGeometry();  // the Y title may need another height
}

plot::PlotLayers PlotWindow::layers() const
{
    plot::PlotLayers layers;
    layers.record = m_recordLayer->isChecked();
    layers.crossings = m_crossingsLayer->isChecked();
    layers.positive = m_positiveLayer->isChecked();
    layers.negative = m_negativeLayer->isChecked();
    layers.backbone = m_backboneLayer->isChecked();
    layers.bilinear = m_bilinearLayer->isChecked();
    layers.lastCycle = m_lastCycleLayer->isChecked();
    layers.grid = m_gridAction->isChecked();
    layers.curveInBoxRed = m_boxRedAction->isChecked();
    return layers;
}

void PlotWindow::setHighlightedLoops(std::vector<analysis::PlotSeries> loops)
{
    m_highlight.loops = std::move(loops);
    m_area->update();
}

void PlotWindow::renderView(QPainter& painter, const QRect& target) const
{
    m_renderer.render(
        painter, target, m_range, { layers(), m_highlight, &m_backbone, overlays(), false });
}

void PlotWindow::setVisibleRange(const plot::PlotRange& range)
{
    if (!plot::usablePlotRange(range))
        return;
    m_range = range;
    m_area->update();
}

void PlotWindow::resetView()
{
    moveView(m_full, ViewStep::Jump);
}

void PlotWindow::zoomAround(QPointF pixel, double xFactor, double yFactor)
{
    const QPointF at = m_area->toData(pixel);
    const double width = (m_range.xMax - m_range.xMin) * xFactor;
    const double height = (m_range.yMax - m_range.yMin) * yFactor;
    plot::PlotRange next = { at.x() - (at.x() - m_range.xMin) * xFactor, 0,
        at.y() - (at.y() - m_range.yMin) * yFactor, 0 };
    // The new labels may widen or narrow the axes; the point under the cursor stays put in
    // the data area they leave (twice: the ticks follow the range).
    for (int pass = 0; pass < 3; ++pass) {
        next.xMax = next.xMin + width;
        next.yMax = next.yMin + height;
        if (pass == 2 || !plot::usablePlotRange(next))
            break;
        const QRectF d = m_area->dataRect(next);
        next.xMin = at.x() - (pixel.x() - d.left()) / d.width() * width;
        next.yMin = at.y() - (d.top() + d.height() - pixel.y()) / d.height() * height;
    }
    moveView(next, ViewStep::Wheel);
}

void PlotWindow::panByPixels(QPointF delta)
{
    const QRectF d = m_area->dataRect();
    const double dx = -delta.x() / d.width() * (m_range.xMax - m_range.xMin);
    const double dy = delta.y() / d.height() * (m_range.yMax - m_range.yMin);
    moveView({ m_range.xMin + dx, m_range.xMax + dx, m_range.yMin + dy, m_range.yMax + dy },
        ViewStep::Pan);
}

void PlotWindow::zoomTo(const plot::PlotRange& range)
{
    moveView(range, ViewStep::Jump);
}

void PlotWindow::moveView(const plot::PlotRange& range, ViewStep step)
{
    const plot::PlotRange& r = m_range;
    if (!plot::usablePlotRange(range)
        || (range.xMin == r.xMin && range.xMax == r.xMax && range.yMin == r.yMin
            && range.yMax == r.yMax))
        return;
    if (step == ViewStep::Jump || step != m_lastStep) {
        m_previousViews.push_back(m_range);
        if (m_previousViews.size() > kViewHistory)
            m_previousViews.erase(m_previousViews.begin());
        m_nextViews.clear();
    }
    m_lastStep = step;
    setVisibleRange(range);
}

void PlotWindow::previousView()
{
    if (m_previousViews.empty())
        return;
    m_nextViews.push_back(m_range);
    setVisibleRange(m_previousViews.back());
    m_previousViews.pop_back();
    endViewStep();
}

void PlotWindow::nextView()
{
    if (m_nextViews.empty())
        return;
    m_previousViews.push_back(m_range);
    setVisibleRange(m_nextViews.back());
    m_nextViews.pop_back();
    endViewStep();
}

void PlotWindow::copyPicture()
{
    const QSize size = m_area->size();
    const double ratio = m_area->devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    {
        QPainter painter(&image);
        renderView(painter, QRect(QPoint(0, 0), size));
    }
    QGuiApplication::clipboard()->setImage(image);
}

void PlotWindow::showContextMenu(QPoint globalPosition)
{
    QMenu menu(this);
    const char* const entries[] = { "copyPictureAction", "exportPictureAction", nullptr,
        "previousViewAction", "nextViewAction", "resetViewAction", nullptr, "addRunAction" };
    for (const char* name : entries) {
        if (!name)
            menu.addSeparator();
        else if (auto* action = findChild<QAction*>(QLatin1String(name)))
            menu.addAction(action);
    }
    // Each added run's own entries, as its row in the Series page has them.
    for (const AddedRun& run : m_addedRuns) {
        const int id = run.id;
        QMenu* own = menu.addMenu(tr("Added: %1").arg(fileNameOf(run.dataFile)));
        QPixmap swatch(12, 12);
        swatch.fill(run.colour);
        own->setIcon(QIcon(swatch));
        QAction* shown = own->addAction(tr("&Shown"));
        shown->setCheckable(true);
        shown->setChecked(run.visible);
        connect(shown, &QAction::toggled, this,
            [this, id](bool visible) { setAddedRunVisible(id, visible); });
        own->addAction(tr("&Colour…"), this, [this, id] { askAddedRunColour(id); });
        own->addAction(tr("&Remove"), this, [this, id] { removeAddedRun(id); });
    }
    menu.exec(globalPosition);
}

void PlotWindow::setRunName(const std::string& dataFile)
{
    m_runName = QFileInfo(QFile::decodeName(QByteArray::fromStdString(dataFile))).fileName();
    m_exporter->setDataFile(dataFile);
    updateTitle();
}

void PlotWindow::setPreviousRun(bool previous)
{
    m_previousRun = previous;
    updateTitle();
}

void PlotWindow::updateTitle()
{
    QString name = m_runName;
    if (!name.isEmpty() && m_data->xColumn > 0 && m_data->yColumn > 0)
        name = tr("%1 — X col %2, Y col %3").arg(name).arg(m_data->xColumn).arg(m_data->yColumn);
    const QString title = name.isEmpty() ? tr("Plot") : name;
    setWindowTitle(m_previousRun ? tr("%1 (previous run)").arg(title) : title);
    m_previousNote->setText(tr("A new run was started since: this window still shows the "
                               "previous run, %1.")
                                .arg(title));
    m_previousNote->setVisible(m_previousRun);
}

void PlotWindow::clearHover()
{
    m_hovered = {};
    m_hoveredRun = 0;
    m_highlight.point = false;
    showPointText({});
}

void PlotWindow::showPointText(const QString& text)
{
    m_pointLabel->setText(text);
    m_pointLabel->setToolTip(text);
    m_hintLabel->setVisible(text.isEmpty() && m_addedRunsLabel->text().isEmpty());
}

void PlotWindow::hoverAt(QPointF pixel)
{
    constexpr double kHoverRadius = 6;
    const QRectF d = m_area->dataRect();
    plot::PlotPointRef found;
    int foundRun = 0;
    const plot::PlotData* foundData = m_data.get();
    if (d.adjusted(-kHoverRadius, -kHoverRadius, kHoverRadius, kHoverRadius).contains(pixel)) {
        const QPointF at = m_area->toData(pixel);
        const double xPerPixel = (m_range.xMax - m_range.xMin) / d.width();
        const double yPerPixel = (m_range.yMax - m_range.yMin) / d.height();
        const plot::PlotLayers shown = layers();
        found = m_index.nearest(at.x(), at.y(), xPerPixel, yPerPixel, kHoverRadius, shown);
        // The added runs' points too, the nearest of all taken.
        double nearest = std::numeric_limits<double>::infinity();
        if (found)
            nearest = QLineF(
                pixel, m_area->toPixels(pointOf(*m_data, found).x(), pointOf(*m_data, found).y()))
                          .length();
        for (const AddedRun& run : m_addedRuns) {
            if (!run.visible)
                continue;
            const plot::PlotPointRef ref =
                run.index->nearest(at.x(), at.y(), xPerPixel, yPerPixel, kHoverRadius, shown);
            if (!ref)
                continue;
            const QPointF p = pointOf(*run.plot, ref);
            const double distance = QLineF(pixel, m_area->toPixels(p.x(), p.y())).length();
            if (distance < nearest) {
                nearest = distance;
                found = ref;
                foundRun = run.id;
                foundData = run.plot.get();
            }
        }
    }
    if (found.source == m_hovered.source && found.index == m_hovered.index
        && foundRun == m_hoveredRun)
        return;
    m_hovered = found;
    m_hoveredRun = foundRun;
    const plot::PlotData& data = *foundData;
    const auto number = [](double v) { return QString::number(v, 'g', 15); };
    const QPointF p = found ? pointOf(data, found) : QPointF();
    QString text;
    switch (found.source) {
    case plot::PlotPointRef::Source::Record:
        text = tr("Record point %1: x = %2, y = %3")
                   .arg(found.index + 1)
                   .arg(number(p.x()), number(p.y()));
        if (found.index < data.lines.size())
            text += data.lines[found.index] > 0
                ? tr(", line %1 of the data file").arg(data.lines[found.index])
                : tr(", a zero point inserted where the load changes sign");
        break;
    case plot::PlotPointRef::Source::Positive:
    case plot::PlotPointRef::Source::Negative:
        text = (found.source == plot::PlotPointRef::Source::Positive
                ? tr("Positive curve point %1: x = %2, y = %3")
                : tr("Negative curve point %1: x = %2, y = %3"))
                   .arg(found.index + 1)
                   .arg(number(p.x()), number(p.y()));
        break;
    case plot::PlotPointRef::Source::None:
        break;
    }
    if (found && foundRun != 0)
        if (const AddedRun* run = addedRun(foundRun))
            text = tr("%1 (added): %2").arg(fileNameOf(run->dataFile), text);
    m_highlight.point = bool(found);
    m_highlight.x = p.x();
    m_highlight.y = p.y();
    showPointText(text);
    m_area->update();
}

void PlotWindow::setBackbone(analysis::PlotBackbone backbone)
{
    m_backbone = std::move(backbone);
    m_area->update();
}

void PlotWindow::setTables(std::shared_ptr<const analysis::RunTables> tables,
    const std::string& dataFile, std::shared_ptr<const run::Rows> rows)
{
    m_exporter->setDataFile(dataFile);
    m_mainFile = dataFile;
    m_mainRows = tables ? rows : nullptr;
    m_cyclePanel->setRun({ std::move(rows), std::move(tables), {}, dataFile,
        plot::plotXTitle(*m_data), plot::plotYTitle(*m_data) });
}

// The backbone layers and the highlighted loops follow the panel: its options, its selection.
void PlotWindow::connectCyclePanel()
{
    CycleAnalysisView* cycles = m_cyclePanel->view();
    connect(cycles, &CycleAnalysisView::loopsSelected, this, &PlotWindow::setHighlightedLoops);
    connect(cycles, &CycleAnalysisView::tablesChanged, this,
        [this](const std::shared_ptr<const analysis::RunTables>& tables) {
            setBackbone(tables ? analysis::plotBackbone(*tables) : analysis::PlotBackbone {});
            findChild<QAction*>(QStringLiteral("saveTablesAction"))->setEnabled(tables != nullptr);
            m_mainTables = tables;
            // The added runs are compared under the same options.
            for (AddedRun& run : m_addedRuns)
                analyseAddedRun(run);
            updateSeries();
        });
    m_cyclePanel->view()->tablesView()->addTab(m_seriesView, tr("&Series"));
}

void PlotWindow::showCursor(const QPointF* value)
{
    m_cursorLabel->setText(value
            ? QStringLiteral("x = %1   y = %2")
                  .arg(QString::number(value->x(), 'g', 6), QString::number(value->y(), 'g', 6))
            : QString());
}

}  // namespace ui

namespace ui {

void PlotWindow::connectAddedRuns()
{
    m_addedRunsLabel->setObjectName(QStringLiteral("addedRunsLabel"));
    m_addedRunsLabel->hide();
    statusBar()->addWidget(m_addedRunsLabel, 1);
    setAcceptDrops(true);
    runSettingsSource = [] {
        const settings::RunSettings& s = settings::runSettings();
        return AddedRunSettings { s, shortest(s.XCoefficient), shortest(s.YCoefficient) };
    };
    askDataFiles = [this] {
        return QFileDialog::getOpenFileNames(this, tr("Add run for comparison"), QString(),
            tr("Data files (*.prn *.csv *.dat *.txt);;All files (*)"));
    };
    askColour = [this](const QColor& present) {
        return QColorDialog::getColor(present, this, tr("Colour of the added run"));
    };
    connect(m_queue, &AddedRunQueue::progressChanged, this, [this] {
        const QString text = m_queue->progressText();
        m_addedRunsLabel->setText(text);
        m_addedRunsLabel->setToolTip(text);
        m_addedRunsLabel->setVisible(!text.isEmpty());
        // The hint steps aside while the runs need the room.
        m_hintLabel->setVisible(text.isEmpty() && m_pointLabel->text().isEmpty());
    });
    const auto settle = [this](const std::string& dataFile) {
        const auto pending = std::find(m_pendingRuns.begin(), m_pendingRuns.end(), dataFile);
        if (pending != m_pendingRuns.end())
            m_pendingRuns.erase(pending);
    };
    connect(m_queue, &AddedRunQueue::finished, this, [this, settle](const AddedRun& finished) {
        settle(finished.dataFile);
        AddedRun run = finished;
        run.id = ++m_lastRunId;
        // The first colour no run shown has. Beside the main run's grey, green to blue, red,
        // orange, blue, green and purple, the colours least like them come first.
        constexpr std::size_t kOrder[] = { 6, 5, 8, 9, 7, 3, 10, 11, 0, 1, 2, 4 };
        for (std::size_t k = 0;; ++k) {
            const QColor colour = plot::overlayColour(kOrder[k % std::size(kOrder)]);
            if (std::none_of(m_addedRuns.begin(), m_addedRuns.end(),
                    [&](const AddedRun& r) { return r.colour == colour; })
                || k > m_addedRuns.size()) {
                run.colour = colour;
                break;
            }
        }
        analyseAddedRun(run);
        m_addedRuns.push_back(std::move(run));
        updateFullRange();
        updateSeries();
        m_area->update();
    });
    connect(m_queue, &AddedRunQueue::failed, this,
        [this, settle](const QString& dataFile, const QString& message, const QString& detail) {
            settle(QFile::encodeName(dataFile).toStdString());
            messagePresenter().warningWithDetail(this, tr("Add run for comparison"),
                tr("%1 could not be added: %2").arg(QFileInfo(dataFile).fileName(), message),
                detail);
        });
    connect(m_seriesView, &SeriesView::visibilityChanged, this, &PlotWindow::setAddedRunVisible);
    connect(m_seriesView, &SeriesView::colourAsked, this, &PlotWindow::askAddedRunColour);
    connect(m_seriesView, &SeriesView::removeAsked, this, &PlotWindow::removeAddedRun);
    connect(m_seriesView, &SeriesView::addAsked, this, &PlotWindow::askAndAddRuns);
}

void PlotWindow::askAndAddRuns()
{
    const QStringList paths = askDataFiles();
    if (!paths.isEmpty())
        addRuns(paths);
}

void PlotWindow::addRuns(const QStringList& paths)
{
    QStringList refused;
    for (const QString& path : paths) {
        const std::string file = QFile::encodeName(path).toStdString();
        const auto same = [&](const std::string& other) { return sameRunNames(file, other); };
        const bool added = std::any_of(m_pendingRuns.begin(), m_pendingRuns.end(), same)
            || std::any_of(m_addedRuns.begin(), m_addedRuns.end(),
                [&](const AddedRun& run) { return same(run.dataFile); });
        if (!m_mainFile.empty() && same(m_mainFile)) {
            refused << tr("%1 is the main run's data file, or writes the main run's files.")
                           .arg(QFileInfo(path).fileName());
            continue;
        }
        if (added) {
            refused << tr("%1 is added already, or writes the files of a run added.")
                           .arg(QFileInfo(path).fileName());
            continue;
        }
        m_pendingRuns.push_back(file);
        m_queue->add(file, runSettingsSource(), m_cyclePanel->view()->options());
    }
    if (!refused.isEmpty())
        messagePresenter().warning(this, tr("Add run for comparison"),
            refused.join(QLatin1Char('\n')) + tr("\nNothing of it was run."));
}

void PlotWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PlotWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    // Answered once the drag has ended: a message box must not hold up the program the files
    // came from.
    if (!paths.isEmpty())
        QMetaObject::invokeMethod(
            this, [this, paths] { addRuns(paths); }, Qt::QueuedConnection);
}

AddedRun* PlotWindow::addedRun(int id)
{
    const auto at = std::find_if(
        m_addedRuns.begin(), m_addedRuns.end(), [id](const AddedRun& run) { return run.id == id; });
    return at == m_addedRuns.end() ? nullptr : &*at;
}

void PlotWindow::setAddedRunVisible(int id, bool visible)
{
    AddedRun* run = addedRun(id);
    if (!run || run->visible == visible)
        return;
    run->visible = visible;
    clearHover();
    updateFullRange();
    updateSeries();
    m_area->update();
}

void PlotWindow::setAddedRunColour(int id, const QColor& colour)
{
    AddedRun* run = addedRun(id);
    if (!run || !colour.isValid())
        return;
    run->colour = colour;
    updateSeries();
    m_area->update();
}

void PlotWindow::askAddedRunColour(int id)
{
    if (const AddedRun* run = addedRun(id))
        setAddedRunColour(id, askColour(run->colour));
}

void PlotWindow::removeAddedRun(int id)
{
    const auto at = std::find_if(
        m_addedRuns.begin(), m_addedRuns.end(), [id](const AddedRun& run) { return run.id == id; });
    if (at == m_addedRuns.end())
        return;
    clearHover();
    m_addedRuns.erase(at);
    updateFullRange();
    updateSeries();
    m_area->update();
}

std::vector<plot::OverlayRun> PlotWindow::overlays() const
{
    std::vector<plot::OverlayRun> runs;
    runs.reserve(m_addedRuns.size());
    for (const AddedRun& run : m_addedRuns)
        runs.push_back(
            { run.colour, fileNameOf(run.dataFile), run.plot.get(), &run.backbone, run.visible });
    return runs;
}

void PlotWindow::updateFullRange()
{
    const plot::PlotRange& r = m_range;
    const bool whole = r.xMin == m_full.xMin && r.xMax == m_full.xMax && r.yMin == m_full.yMin
        && r.yMax == m_full.yMax;
    m_full = plot::fullPlotRange(*m_data, overlays());
    if (whole)
        setVisibleRange(m_full);
}

void PlotWindow::analyseAddedRun(AddedRun& run)
{
    const analysis::CycleOptions& options = m_cyclePanel->view()->options();
    if (!run.rows || sameOptions(run.options, options))
        return;
    run.tables =
        std::make_shared<const analysis::RunTables>(analysis::analyseRows(*run.rows, options));
    run.options = options;
    run.backbone = analysis::plotBackbone(*run.tables);
    m_area->update();
}

void PlotWindow::updateSeries()
{
    std::vector<SeriesEntry> entries;
    if (m_mainTables && m_mainRows)
        entries.push_back({ 0,
            analysis::finishedSeriesRow(m_mainFile, m_mainRows->size(), *m_mainTables), {}, true });
    for (const AddedRun& run : m_addedRuns)
        entries.push_back(
            { run.id, analysis::finishedSeriesRow(run.dataFile, run.rows->size(), *run.tables),
                run.colour, run.visible });
    m_seriesView->setEntries(std::move(entries));
}

}  // namespace ui
