#include "ui/main_window/gui_run_host.h"

#include "plot/plot_recording.h"
#include "run/point_preparation.h"
#include "ui/common/message_presenter.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>

namespace ui {

GuiRunHost::GuiRunHost(Form1& form, std::chrono::milliseconds yieldInterval)
    : m_form(form)
    , m_yieldInterval(yieldInterval)
{
}

void GuiRunHost::pointsPrepared(std::span<const double> x, std::span<const double> y)
{
    m_x.assign(x.begin(), x.end());
    m_y.assign(y.begin(), y.end());
    m_lines.clear();
    // The crossings' density grid spans the record.
    m_crossings.reset(plot::recordExtent(m_x, m_y));
    m_colours.reset(m_x.size());
}

void GuiRunHost::pointLinesPrepared(std::span<const std::uint32_t> lines)
{
    m_lines.assign(lines.begin(), lines.end());
}

void GuiRunHost::enterPhase(run::RunPhase phase)
{
    m_phase = phase;
}

plot::PlotData GuiRunHost::takePlotData()
{
    plot::PlotData data;
    data.x = std::move(m_x);
    data.y = std::move(m_y);
    if (m_lines.size() == data.x.size())
        data.lines = std::move(m_lines);
    data.crossings = m_crossings.take();
    if (std::vector<std::uint8_t> colours = m_colours.take(); colours.size() == data.x.size())
        data.colours = std::move(colours);
    m_x = {};
    m_y = {};
    m_lines = {};
    return data;
}

void GuiRunHost::setStatus(const std::string& text)
{
    m_form.Text1->setText(QString::fromStdString(text));
    m_statusChanged = true;
}

void GuiRunHost::showFileName(int index, const std::string& name)
{
    if (index < 0 || index > 2)
        return;
    // File names are the file system's bytes; show them as the file system decodes them.
    QLineEdit* box = m_form.Text2[index];
    box->setText(QFile::decodeName(QByteArray::fromStdString(name)));
    box->setCursorPosition(0);
}

bool GuiRunHost::yield()
{
    if (m_form.stopRequested())
        return false;
    // A new status is painted at once: its phase may be over before the interval has passed.
    if (!m_statusChanged && m_sinceYield.isValid()
        && std::chrono::milliseconds(m_sinceYield.elapsed()) < m_yieldInterval)
        return true;
    m_statusChanged = false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceYield.start();
    return !m_form.stopRequested();
}

void GuiRunHost::clearPlot()
{
    m_form.Picture1->clear();
}

void GuiRunHost::setPlotWindow(float left, float top, float right, float bottom)
{
    m_form.Picture1->setWindow(left, top, right, bottom);
}

void GuiRunHost::drawLine(float x1, float y1, float x2, float y2, run::Rgb colour)
{
    m_form.Picture1->line(x1, y1, x2, y2, plot::toColour(colour));
}

void GuiRunHost::drawDot(float x, float y, run::Rgb colour)
{
    // The cross check marks each crossing with a red dot, in the plot's upside-down y.
    if (m_phase == run::RunPhase::CrossCheck && colour == run::kRed)
        m_crossings.add(x, -static_cast<double>(y));
    m_form.Picture1->dot(x, y, plot::toColour(colour));
}

void GuiRunHost::drawLineTo(float x, float y, run::Rgb colour)
{
    // The cross check draws the record again, each segment in its group's colour.
    if (m_phase == run::RunPhase::CrossCheck)
        m_colours.segmentDrawn(colour.red, colour.green, colour.blue);
    m_form.Picture1->lineTo(x, y, plot::toColour(colour));
}

void GuiRunHost::showError(const std::string& message)
{
    messagePresenter().warning(&m_form, QStringLiteral("Error"), QString::fromStdString(message));
}

}  // namespace ui
