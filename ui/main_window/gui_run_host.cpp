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

run::FinishedRunParts GuiRunHost::finishedRunParts() const
{
    run::FinishedRunParts parts;
    parts.rows = true;  // the cycle tables' input
    parts.points = true;
    parts.pointLines = true;
    parts.groups = true;
    parts.crossings = true;
    return parts;
}

void GuiRunHost::runFinished(run::FinishedRun&& run)
{
    m_finished = std::move(run);
}

void GuiRunHost::setStatus(const std::string& text)
{
    m_form.statusBox->setText(QString::fromStdString(text));
    m_statusChanged = true;
}

void GuiRunHost::showFileName(int index, const std::string& name)
{
    if (index < 0 || index > 2)
        return;
    // File names are the file system's bytes; show them as the file system decodes them.
    if (index == 0)
        m_form.pictureBox->setRunDataFile(name);
    QLineEdit* box = m_form.fileNameBoxes[index];
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
    m_form.pictureBox->clear();
}

void GuiRunHost::setPlotWindow(float left, float top, float right, float bottom)
{
    m_form.pictureBox->setWindow(left, top, right, bottom);
}

void GuiRunHost::drawLine(float x1, float y1, float x2, float y2, run::Rgb colour)
{
    m_form.pictureBox->line(x1, y1, x2, y2, plot::toColour(colour));
}

void GuiRunHost::drawDot(float x, float y, run::Rgb colour)
{
    m_form.pictureBox->dot(x, y, plot::Ink { qRgb(colour.red, colour.green, colour.blue) });
}

void GuiRunHost::drawDots(std::span<const run::PlotDot> dots)
{
    m_form.pictureBox->dots(dots);
}

void GuiRunHost::drawLineTo(float x, float y, run::Rgb colour)
{
    m_form.pictureBox->lineTo(x, y, plot::toColour(colour));
}

void GuiRunHost::showError(const std::string& message)
{
    messagePresenter().warning(&m_form, QStringLiteral("Error"), QString::fromStdString(message));
}

}  // namespace ui
