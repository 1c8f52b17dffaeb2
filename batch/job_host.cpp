#include "batch/job_host.h"

#include "batch/interrupt.h"

#ifdef VARNEL_WITH_PLOT
#include "plot/plot_recording.h"
#endif

namespace batch {

namespace {

    // What the progress line calls each phase, after the status line that begins it.
    const char* phaseName(run::RunPhase phase)
    {
        switch (phase) {
        case run::RunPhase::Reading:
            return "Data reading";
        case run::RunPhase::Preparing:
            return "Preparing";
        case run::RunPhase::CrossCheck:
            return "Cross checking";
        case run::RunPhase::Curve:
            return "Varnel creating";
        case run::RunPhase::Finishing:
            return "Finishing";
        }
        return "";
    }

}  // namespace

JobHost::JobHost(Console& console, std::size_t job, const std::string& file, bool quiet)
    : m_console(console)
    , m_job(job)
    , m_file(file)
    , m_quiet(quiet)
    , m_showProgress(console.showsProgress() && !quiet)
{
}

void JobHost::setStatus(const std::string& text)
{
    if (!m_quiet && !text.empty())
        m_console.print(m_job, m_file + ": " + text);
}

bool JobHost::yield()
{
    return !interrupted();
}

void JobHost::enterPhase(run::RunPhase phase)
{
    if (m_phase)
        m_console.endProgress(m_job);
    m_phase = phase;
    m_phaseStart = Console::Clock::now();
}

void JobHost::progress(std::int64_t done, std::int64_t total)
{
    if (!m_showProgress || !m_phase || total <= 0)
        return;
    m_console.progress(m_job, m_file, phaseName(*m_phase),
        static_cast<double>(done) / static_cast<double>(total), m_phaseStart,
        Console::Clock::now());
}

void JobHost::showError(const std::string& message)
{
    m_console.print(m_job, m_file + ": " + message);
}

#ifdef VARNEL_WITH_PLOT

void JobHost::clearPlot()
{
    if (m_recording)
        m_recording->clear();
}

void JobHost::setPlotWindow(float left, float top, float right, float bottom)
{
    if (m_recording)
        m_recording->setWindow(left, top, right, bottom);
}

void JobHost::drawLine(float x1, float y1, float x2, float y2, run::Rgb colour)
{
    if (m_recording)
        m_recording->line(x1, y1, x2, y2, plot::toColour(colour));
}

void JobHost::drawDot(float x, float y, run::Rgb colour)
{
    if (m_recording)
        m_recording->dot(x, y, plot::toColour(colour));
}

void JobHost::drawLineTo(float x, float y, run::Rgb colour)
{
    if (m_recording)
        m_recording->lineTo(x, y, plot::toColour(colour));
}

#else

// Without pictures there is nothing to record the drawing into.
void JobHost::clearPlot() { }

void JobHost::setPlotWindow(float, float, float, float) { }

void JobHost::drawLine(float, float, float, float, run::Rgb) { }

void JobHost::drawDot(float, float, run::Rgb) { }

void JobHost::drawLineTo(float, float, run::Rgb) { }

#endif

}  // namespace batch
