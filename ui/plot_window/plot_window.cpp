#include "ui/plot_window/plot_window.h"

#include "ui/plot_window/plot_ticks.h"

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QStatusBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

    const QColor kRecordColour(70, 90, 120);
    const QColor kPositiveColour(220, 30, 30);
    const QColor kNegativeColour(20, 110, 220);
    const QColor kGridColour(225, 225, 225);

    constexpr int kLeftMargin = 76;
    constexpr int kRightMargin = 14;
    constexpr int kTopMargin = 14;
    constexpr int kBottomMargin = 50;

    // A drag shorter than this is a click, not a box.
    constexpr int kMinimumBox = 4;

    bool finite(double x, double y)
    {
        return std::isfinite(x) && std::isfinite(y);
    }

    void include(
        PlotRange& range, bool& any, const std::vector<double>& x, const std::vector<double>& y)
    {
        const std::size_t n = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i]))
                continue;
            if (!any) {
                range = { x[i], x[i], y[i], y[i] };
                any = true;
                continue;
            }
            range.xMin = std::min(range.xMin, x[i]);
            range.xMax = std::max(range.xMax, x[i]);
            range.yMin = std::min(range.yMin, y[i]);
            range.yMax = std::max(range.yMax, y[i]);
        }
    }

    // Widens a side of no extent so that the view always has an area.
    void widen(double& low, double& high)
    {
        const double margin = (high - low) * 0.05;
        if (margin > 0) {
            low -= margin;
            high += margin;
            return;
        }
        const double half = std::max(std::abs(low) * 0.1, 1.0);
        low -= half;
        high += half;
    }

    // A range is usable while both sides have a finite, positive extent that floating point can
    // still resolve; zooming further in or out is refused rather than producing a blank plot.
    bool usable(const PlotRange& r)
    {
        const auto side = [](double low, double high) {
            const double span = high - low;
            return std::isfinite(low) && std::isfinite(high) && span > 0 && std::isfinite(span)
                && span > 1e-12 * std::max(std::abs(low), std::abs(high));
        };
        return side(r.xMin, r.xMax) && side(r.yMin, r.yMax);
    }

}  // namespace

// ---- PlotArea ----

PlotArea::PlotArea(PlotWindow& window)
    : QWidget(&window)
    , m_window(window)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 180);
}

QRect PlotArea::dataRect() const
{
    return QRect(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
        std::max(1, height() - kTopMargin - kBottomMargin));
}

QPointF PlotArea::toPixels(double x, double y) const
{
    const PlotRange r = m_window.visibleRange();
    const QRectF d = dataRect();
    return { d.left() + (x - r.xMin) / (r.xMax - r.xMin) * d.width(),
        d.top() + d.height() - (y - r.yMin) / (r.yMax - r.yMin) * d.height() };
}

QPointF PlotArea::toData(QPointF pixel) const
{
    const PlotRange r = m_window.visibleRange();
    const QRectF d = dataRect();
    return { r.xMin + (pixel.x() - d.left()) / d.width() * (r.xMax - r.xMin),
        r.yMin + (d.top() + d.height() - pixel.y()) / d.height() * (r.yMax - r.yMin) };
}

namespace {

    // A dense series (noisy records step about a pixel a sample) is rasterised by the walk
    // itself into a mask the size of the view: each short segment sets the pixels it passes,
    // so the frame costs the samples plus the pixels, never a polyline of a million vertices.
    // The rare long segment goes to the painter, which clips it.
    void drawDense(QPainter& painter, const PlotArea& area, const PlotRange& r,
        const std::vector<double>& x, const std::vector<double>& y, const QColor& colour)
    {
        const std::size_t n = std::min(x.size(), y.size());
        const QRect d = area.dataRect();
        const int w = d.width();
        const int h = d.height();
        QImage mask(w, h, QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        const QRgb ink = qPremultiply(colour.rgba());
        const double xScale = w / (r.xMax - r.xMin);
        const double yScale = h / (r.yMax - r.yMin);
        const auto set = [&](double px, double py) {
            if (px >= 0 && py >= 0 && px < w && py < h)
                reinterpret_cast<QRgb*>(mask.scanLine(static_cast<int>(py)))[static_cast<int>(px)] =
                    ink;
        };
        std::vector<QLineF> longSegments;
        constexpr double kLongSegment = 256;
        bool havePrevious = false;
        double px0 = 0;
        double py0 = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i])) {
                havePrevious = false;
                continue;
            }
            const double px = (x[i] - r.xMin) * xScale;
            const double py = h - (y[i] - r.yMin) * yScale;
            if (!havePrevious) {
                set(px, py);
            } else if (!((px < 0 && px0 < 0) || (py < 0 && py0 < 0) || (px >= w && px0 >= w)
                           || (py >= h && py0 >= h))) {
                const double steps = std::ceil(std::max(std::abs(px - px0), std::abs(py - py0)));
                if (steps > kLongSegment) {
                    longSegments.emplace_back(std::clamp(px0, -1e6, 1e6) + d.left(),
                        std::clamp(py0, -1e6, 1e6) + d.top(), std::clamp(px, -1e6, 1e6) + d.left(),
                        std::clamp(py, -1e6, 1e6) + d.top());
                } else {
                    for (double k = 1; k <= steps; ++k)
                        set(px0 + (px - px0) * k / steps, py0 + (py - py0) * k / steps);
                }
            }
            havePrevious = true;
            px0 = px;
            py0 = py;
        }
        painter.drawImage(d.topLeft(), mask);
        if (!longSegments.empty())
            painter.drawLines(longSegments.data(), static_cast<int>(longSegments.size()));
    }

    // Draws a series so that a frame costs about the pixels it touches, not the points: the points
    // are walked in their order, and each stretch of consecutive points inside one pixel column
    // becomes its first, lowest, highest and last point. A loop that passes a column twice is
    // drawn twice there, so a hysteresis loop stays a loop rather than a filled band, and where
    // every column holds at most a few consecutive points this is the exact line.
    void drawSeries(QPainter& painter, const PlotArea& area, const PlotRange& r,
        const std::vector<double>& x, const std::vector<double>& y, const QColor& colour)
    {
        const std::size_t n = std::min(x.size(), y.size());
        const QRectF d = area.dataRect();
        const double xScale = d.width() / (r.xMax - r.xMin);
        const double yScale = d.height() / (r.yMax - r.yMin);
        // Far outside the view the painter's own clipping loses precision.
        const auto pixel = [&](std::size_t i) {
            return QPointF(std::clamp(d.left() + (x[i] - r.xMin) * xScale, -1e6, 1e6),
                std::clamp(d.top() + d.height() - (y[i] - r.yMin) * yScale, -1e6, 1e6));
        };
        painter.setPen(QPen(colour, 0));  // a cosmetic pen takes the fast path
        if (n > 4 * static_cast<std::size_t>(d.width())) {
            drawDense(painter, area, r, x, y, colour);
            return;
        }
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() == 1)
                painter.drawPoint(line.front());
            else if (line.size() > 1)
                painter.drawPolyline(line);
            line.clear();
        };
        // The stretch of points in the current column.
        QPointF first;
        QPointF low;
        QPointF high;
        QPointF last;
        std::size_t lowAt = 0;
        std::size_t highAt = 0;
        std::size_t count = 0;
        double column = 0;
        // A point on the same pixel as the one before adds nothing to the picture.
        const auto add = [&](QPointF p) {
            if (line.isEmpty() || std::abs(p.x() - line.back().x()) >= 0.5
                || std::abs(p.y() - line.back().y()) >= 0.5)
                line << p;
        };
        const auto endStretch = [&] {
            if (count == 0)
                return;
            add(first);
            // Lowest and highest in the order they came, so the line does not double back.
            if (count > 2) {
                add(lowAt < highAt ? low : high);
                add(lowAt < highAt ? high : low);
            }
            if (count > 1)
                add(last);
            count = 0;
        };
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(x[i], y[i])) {
                endStretch();
                flush();
                continue;
            }
            const QPointF p = pixel(i);
            const double c = std::floor(p.x());
            if (count > 0 && c == column) {
                // Pixel rows grow downwards: the highest value has the smallest row.
                if (p.y() > low.y()) {
                    low = p;
                    lowAt = i;
                }
                if (p.y() < high.y()) {
                    high = p;
                    highAt = i;
                }
                last = p;
                ++count;
                continue;
            }
            endStretch();
            column = c;
            first = low = high = last = p;
            lowAt = highAt = i;
            count = 1;
        }
        endStretch();
        flush();
    }

}  // namespace

void PlotArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const PlotRange r = m_window.visibleRange();
    const QRect d = dataRect();
    const QFontMetrics metrics = fontMetrics();
    const AxisTicks xTicks = roundTicks(r.xMin, r.xMax, d.width(),
        [&](const QString& label) { return double(metrics.horizontalAdvance(label)); });
    const AxisTicks yTicks = roundTicks(
        r.yMin, r.yMax, d.height(), [&](const QString&) { return double(metrics.height()); });

    if (m_window.gridAction()->isChecked()) {
        painter.setPen(kGridColour);
        for (double v : xTicks.values) {
            const double px = std::round(toPixels(v, 0).x());
            painter.drawLine(QPointF(px, d.top()), QPointF(px, d.bottom()));
        }
        for (double v : yTicks.values) {
            const double py = std::round(toPixels(0, v).y());
            painter.drawLine(QPointF(d.left(), py), QPointF(d.right(), py));
        }
    }

    painter.save();
    painter.setClipRect(d);
    const PlotData& plotData = m_window.data();
    if (m_window.recordLayer()->isChecked())
        drawSeries(painter, *this, r, plotData.x, plotData.y, kRecordColour);
    if (m_window.positiveLayer()->isChecked())
        drawSeries(painter, *this, r, plotData.sides.positive.x, plotData.sides.positive.y,
            kPositiveColour);
    if (m_window.negativeLayer()->isChecked())
        drawSeries(painter, *this, r, plotData.sides.negative.x, plotData.sides.negative.y,
            kNegativeColour);
    painter.restore();

    // Axes, ticks and their labels.
    painter.setPen(Qt::black);
    painter.drawRect(d.adjusted(0, 0, -1, -1));
    for (double v : xTicks.values) {
        const double px = std::round(toPixels(v, 0).x());
        painter.drawLine(QPointF(px, d.bottom()), QPointF(px, d.bottom() + 5));
        const QString label = tickLabel(v, xTicks.step);
        const int w = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(px - w / 2.0, d.bottom() + 7 + metrics.ascent()), label);
    }
    for (double v : yTicks.values) {
        const double py = std::round(toPixels(0, v).y());
        painter.drawLine(QPointF(d.left() - 5, py), QPointF(d.left(), py));
        const QString label = tickLabel(v, yTicks.step);
        const QString shown = metrics.elidedText(label, Qt::ElideRight, kLeftMargin - 28);
        const int w = metrics.horizontalAdvance(shown);
        painter.drawText(QPointF(d.left() - 8 - w, py + metrics.ascent() / 2.0 - 1), shown);
    }
    const auto title = [](const char* axis, int column) {
        return column > 0 ? QStringLiteral("%1 (column %2)").arg(QLatin1String(axis)).arg(column)
                          : QString::fromLatin1(axis);
    };
    painter.drawText(QRect(d.left(), height() - metrics.height() - 4, d.width(), metrics.height()),
        Qt::AlignHCenter, title("X", plotData.xColumn));
    painter.save();
    painter.translate(4, d.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-d.height() / 2, 0, d.height(), metrics.height()), Qt::AlignHCenter,
        title("Y", plotData.yColumn));
    painter.restore();

    // The legend lists the layers shown.
    QList<QPair<QString, QColor>> entries;
    if (m_window.recordLayer()->isChecked())
        entries.append({ tr("Record"), kRecordColour });
    if (m_window.positiveLayer()->isChecked())
        entries.append({ tr("Positive curve"), kPositiveColour });
    if (m_window.negativeLayer()->isChecked())
        entries.append({ tr("Negative curve"), kNegativeColour });
    if (!entries.isEmpty()) {
        int textWidth = 0;
        for (const auto& entry : entries)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.first));
        const int line = metrics.height() + 2;
        const QRect box(d.right() - textWidth - 44, d.top() + 8, textWidth + 36,
            line * int(entries.size()) + 8);
        painter.fillRect(box, QColor(255, 255, 255, 230));
        painter.setPen(QColor(160, 160, 160));
        painter.drawRect(box);
        for (int i = 0; i < entries.size(); ++i) {
            const int y = box.top() + 4 + i * line + line / 2;
            painter.setPen(QPen(entries[i].second, 2));
            painter.drawLine(box.left() + 6, y, box.left() + 24, y);
            painter.setPen(Qt::black);
            painter.drawText(
                QPointF(box.left() + 30, y + metrics.ascent() / 2.0 - 1), entries[i].first);
        }
    }

    if (m_dragButton == Qt::LeftButton) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(QRect(m_dragStart, m_dragNow).normalized());
    }
}

void PlotArea::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        m_window.zoomAround(event->position(), std::pow(0.8, notches));
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
    if (m_dragButton == Qt::LeftButton) {
        m_dragNow = at;
        update();
    } else if (m_dragButton != Qt::NoButton) {
        m_window.panByPixels(at - m_dragNow);
        m_dragNow = at;
    }
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
            m_window.setVisibleRange({ a.x(), b.x(), a.y(), b.y() });
        }
    } else {
        m_window.panByPixels(at - m_dragNow);
    }
    m_dragButton = Qt::NoButton;
    update();
}

void PlotArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_window.resetView();
}

void PlotArea::keyPressEvent(QKeyEvent* event)
{
    // A tenth of the view per press; the data move the way the arrow points.
    const QRect d = dataRect();
    switch (event->key()) {
    case Qt::Key_Left:
        m_window.panByPixels(QPointF(-d.width() / 10.0, 0));
        break;
    case Qt::Key_Right:
        m_window.panByPixels(QPointF(d.width() / 10.0, 0));
        break;
    case Qt::Key_Up:
        m_window.panByPixels(QPointF(0, -d.height() / 10.0));
        break;
    case Qt::Key_Down:
        m_window.panByPixels(QPointF(0, d.height() / 10.0));
        break;
    case Qt::Key_Home:
        m_window.resetView();
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
    , m_cyclePanel(new CyclePanel(this))
{
    setWindowTitle(tr("Plot"));
    setCentralWidget(m_area);
    m_area->setFocus();  // the arrows and Home work at once
    statusBar()->addWidget(m_cursorLabel);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    const auto layer = [&](const QString& text, const char* name) {
        QAction* action = view->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, m_area, qOverload<>(&QWidget::update));
        return action;
    };
    m_recordLayer = layer(tr("Record"), "recordLayer");
    m_positiveLayer = layer(tr("Positive curve"), "positiveLayer");
    m_negativeLayer = layer(tr("Negative curve"), "negativeLayer");
    view->addSeparator();
    m_gridAction = layer(tr("Grid"), "gridAction");
    view->addSeparator();
    QAction* reset = view->addAction(tr("Reset view"));
    reset->setShortcut(Qt::Key_Home);
    reset->setShortcutContext(Qt::WidgetShortcut);  // the plot area's own Home handles it
    connect(reset, &QAction::triggered, this, &PlotWindow::resetView);
    addDockWidget(Qt::BottomDockWidgetArea, m_cyclePanel);
    view->addSeparator();
    view->addAction(m_cyclePanel->toggleViewAction());
    connect(m_cyclePanel, &CyclePanel::stretchSelected, this, &PlotWindow::setHighlight);
    resize(820, 760);
}

void PlotWindow::setData(PlotData data)
{
    m_data = std::move(data);
    PlotRange full;
    bool any = false;
    include(full, any, m_data.x, m_data.y);
    include(full, any, m_data.sides.positive.x, m_data.sides.positive.y);
    include(full, any, m_data.sides.negative.x, m_data.sides.negative.y);
    if (!any)
        full = { -1, 1, -1, 1 };
    widen(full.xMin, full.xMax);
    widen(full.yMin, full.yMax);
    // A record whose values reach the limits of double leaves no usable extent.
    m_full = usable(full) ? full : PlotRange { -1, 1, -1, 1 };
    resetView();
}

void PlotWindow::setVisibleRange(const PlotRange& range)
{
    if (!usable(range))
        return;
    m_range = range;
    m_area->update();
}

void PlotWindow::resetView()
{
    setVisibleRange(m_full);
}

void PlotWindow::zoomAround(QPointF pixel, double factor)
{
    const QPointF at = m_area->toData(pixel);
    const PlotRange r = m_range;
    setVisibleRange({ at.x() - (at.x() - r.xMin) * factor, at.x() + (r.xMax - at.x()) * factor,
        at.y() - (at.y() - r.yMin) * factor, at.y() + (r.yMax - at.y()) * factor });
}

void PlotWindow::panByPixels(QPointF delta)
{
    const QRectF d = m_area->dataRect();
    const double dx = -delta.x() / d.width() * (m_range.xMax - m_range.xMin);
    const double dy = delta.y() / d.height() * (m_range.yMax - m_range.yMin);
    setVisibleRange({ m_range.xMin + dx, m_range.xMax + dx, m_range.yMin + dy, m_range.yMax + dy });
}

void PlotWindow::setTables(const analysis::RunTables* tables, const std::string& dataFile)
{
    m_cyclePanel->setTables(tables, dataFile);
}

void PlotWindow::setHighlight(std::optional<PointStretch> stretch)
{
    m_highlight = stretch;
    m_area->update();
}

void PlotWindow::showCursor(const QPointF* value)
{
    m_cursorLabel->setText(value
            ? QStringLiteral("x = %1   y = %2")
                  .arg(QString::number(value->x(), 'g', 6), QString::number(value->y(), 'g', 6))
            : QString());
}

}  // namespace ui
