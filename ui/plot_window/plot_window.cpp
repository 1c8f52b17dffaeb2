#include "ui/plot_window/plot_window.h"

#include "ui/plot_window/plot_export.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

    // A drag shorter than this is a click, not a box.
    constexpr int kMinimumBox = 4;
    // Views kept to step back to.
    constexpr std::size_t kViewHistory = 50;

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
    m_full = plot::fullPlotRange(*m_data);
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
    m_renderer.render(painter, target, m_range, { layers(), m_highlight, &m_backbone });
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
        "previousViewAction", "nextViewAction", "resetViewAction" };
    for (const char* name : entries) {
        if (!name)
            menu.addSeparator();
        else if (auto* action = findChild<QAction*>(QLatin1String(name)))
            menu.addAction(action);
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
    m_highlight.point = false;
    showPointText({});
}

void PlotWindow::showPointText(const QString& text)
{
    m_pointLabel->setText(text);
    m_pointLabel->setToolTip(text);
    m_hintLabel->setVisible(text.isEmpty());
}

void PlotWindow::hoverAt(QPointF pixel)
{
    constexpr double kHoverRadius = 6;
    const QRectF d = m_area->dataRect();
    plot::PlotPointRef found;
    if (d.adjusted(-kHoverRadius, -kHoverRadius, kHoverRadius, kHoverRadius).contains(pixel)) {
        const QPointF at = m_area->toData(pixel);
        found = m_index.nearest(at.x(), at.y(), (m_range.xMax - m_range.xMin) / d.width(),
            (m_range.yMax - m_range.yMin) / d.height(), kHoverRadius, layers());
    }
    if (found.source == m_hovered.source && found.index == m_hovered.index)
        return;
    m_hovered = found;
    const auto number = [](double v) { return QString::number(v, 'g', 15); };
    double x = 0;
    double y = 0;
    QString text;
    switch (found.source) {
    case plot::PlotPointRef::Source::Record:
        x = m_data->x[found.index];
        y = m_data->y[found.index];
        text = tr("Record point %1: x = %2, y = %3").arg(found.index + 1).arg(number(x), number(y));
        if (found.index < m_data->lines.size())
            text += m_data->lines[found.index] > 0
                ? tr(", line %1 of the data file").arg(m_data->lines[found.index])
                : tr(", a zero point inserted where the load changes sign");
        break;
    case plot::PlotPointRef::Source::Positive:
    case plot::PlotPointRef::Source::Negative: {
        const bool positive = found.source == plot::PlotPointRef::Source::Positive;
        const run::CurveSide& side = positive ? m_data->sides.positive : m_data->sides.negative;
        x = side.x[found.index];
        y = side.y[found.index];
        text = (positive ? tr("Positive curve point %1: x = %2, y = %3")
                         : tr("Negative curve point %1: x = %2, y = %3"))
                   .arg(found.index + 1)
                   .arg(number(x), number(y));
        break;
    }
    case plot::PlotPointRef::Source::None:
        break;
    }
    m_highlight.point = bool(found);
    m_highlight.x = x;
    m_highlight.y = y;
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
        });
}

void PlotWindow::showCursor(const QPointF* value)
{
    m_cursorLabel->setText(value
            ? QStringLiteral("x = %1   y = %2")
                  .arg(QString::number(value->x(), 'g', 6), QString::number(value->y(), 'g', 6))
            : QString());
}

}  // namespace ui
