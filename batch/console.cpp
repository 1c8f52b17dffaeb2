#include "batch/console.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBarWidth = 24;

std::string bar(double fraction, int width)
{
    const auto filled = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * width));
    std::string text(static_cast<std::size_t>(width) + 2, '.');
    text.front() = '[';
    text.back() = ']';
    std::fill_n(text.begin() + 1, filled, '#');
    return text;
}

std::string percent(double fraction)
{
    return std::to_string(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0)) + "%";
}

}  // namespace

namespace batch {

std::string escapeControls(const std::string& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    const auto hex = [&](unsigned char u) {
        shown += "\\x";
        shown += kHex[u >> 4];
        shown += kHex[u & 0xf];
    };
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char u = byte(i);
        if (u < 0x20 || u == 0x7f) {
            if (u == '\n')
                shown += "\\n";
            else if (u == '\r')
                shown += "\\r";
            else if (u == '\t')
                shown += "\\t";
            else
                hex(u);
            ++i;
            continue;
        }
        // A character of several bytes passes whole when it is valid UTF-8 and no C1 control
        // (U+0080 to U+009F, which terminals take as commands); any other byte is shown escaped.
        std::size_t length = u < 0x80  ? 1
            : (u >= 0xc2 && u <= 0xdf) ? 2
            : (u >= 0xe0 && u <= 0xef) ? 3
            : (u >= 0xf0 && u <= 0xf4) ? 4
                                       : 0;
        for (std::size_t k = 1; k < length; ++k)
            if (i + k >= text.size() || (byte(i + k) & 0xc0) != 0x80)
                length = 0;
        if (length == 2 && u == 0xc2 && byte(i + 1) < 0xa0)
            length = 0;
        if (length == 0) {
            hex(u);
            ++i;
            continue;
        }
        shown.append(text, i, length);
        i += length;
    }
    return shown;
}

Console::Console(std::FILE* out, bool terminal, int width, std::size_t jobs)
    : m_out(out)
    , m_terminal(terminal)
    , m_width(std::max(width, 20))
    , m_held(jobs)
    , m_finished(jobs, false)
    , m_progress(jobs)
{
}

void Console::print(std::size_t job, const std::string& line)
{
    const std::lock_guard lock(m_mutex);
    if (job != m_current) {
        m_held[job].push_back(line);
        return;
    }
    eraseProgress();
    writeLine(line);
    drawProgress(m_lastDraw);
}

void Console::finish(std::size_t job)
{
    const std::lock_guard lock(m_mutex);
    m_finished[job] = true;
    m_progress[job].active = false;
    eraseProgress();
    flushFinished();
    drawProgress(m_lastDraw);
}

void Console::progress(std::size_t job, const std::string& name, const std::string& phase,
    double fraction, Clock::time_point since, Clock::time_point now)
{
    if (!m_terminal)
        return;
    const std::lock_guard lock(m_mutex);
    m_progress[job] = Progress { name, phase, fraction, since, true };
    if (m_progressShown && now - m_lastDraw < kRedrawInterval)
        return;
    drawProgress(now);
}

void Console::endProgress(std::size_t job)
{
    if (!m_terminal)
        return;
    const std::lock_guard lock(m_mutex);
    if (!m_progress[job].active)
        return;
    m_progress[job].active = false;
    drawProgress(m_lastDraw);
}

void Console::writeLine(const std::string& line)
{
    std::fputs(escapeControls(line).c_str(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void Console::flushFinished()
{
    // Hand the console on past every finished job, writing what each held; the first job still
    // running writes what it held so far and then goes on writing at once.
    while (m_current < m_held.size()) {
        for (const std::string& line : m_held[m_current])
            writeLine(line);
        m_held[m_current].clear();
        if (!m_finished[m_current])
            break;
        ++m_current;
    }
}

void Console::eraseProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", m_out);
    m_progressShown = false;
}

std::string Console::progressText(Clock::time_point now) const
{
    std::vector<const Progress*> shown;
    for (const Progress& p : m_progress)
        if (p.active && now - p.since >= kProgressDelay)
            shown.push_back(&p);
    if (shown.empty())
        return {};
    std::string text;
    if (shown.size() == 1) {
        const Progress& p = *shown.front();
        text =
            p.name + ": " + p.phase + " " + bar(p.fraction, kBarWidth) + " " + percent(p.fraction);
    } else {
        for (const Progress* p : shown) {
            if (!text.empty())
                text += "  ";
            text += p->name + " " + percent(p->fraction);
        }
    }
    text = escapeControls(text);
    // Never wrap: a wrapped line could not be erased with one carriage return.
    const auto room = static_cast<std::size_t>(m_width - 1);
    if (text.size() > room) {
        text.resize(room - 3);
        text += "...";
    }
    return text;
}

void Console::drawProgress(Clock::time_point now)
{
    if (!m_terminal)
        return;
    const std::string text = progressText(now);
    eraseProgress();
    if (text.empty()) {
        std::fflush(m_out);
        return;
    }
    std::fputs(text.c_str(), m_out);
    std::fflush(m_out);
    m_progressShown = true;
    m_lastDraw = now;
}

}  // namespace batch
