#include "ui/main_window/run_relay.h"

#include <algorithm>
#include <exception>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

namespace ui {

namespace {

    // Calls handed on between two yields of the window: a few milliseconds of drawing at most.
    constexpr std::size_t kCallsBetweenYields = 4096;
    // How long the window waits for calls before it yields again.
    constexpr std::chrono::milliseconds kIdle { 5 };

}  // namespace

RunRelay::RunRelay(const run::FinishedRunParts& parts, bool holdsNames, std::size_t blockCalls,
    std::size_t blocksAhead)
    : m_parts(parts)
    , m_holdsNames(holdsNames)
    , m_blockCalls(std::max<std::size_t>(1, blockCalls))
    , m_blocksAhead(std::max<std::size_t>(1, blocksAhead))
    , m_filling(std::make_unique<Block>())
{
    m_filling->calls.reserve(m_blockCalls + 1);  // a pair may end past the bound
    m_filling->dots.reserve(m_blockCalls);
}

RunRelay::~RunRelay() = default;

void RunRelay::addText(Kind kind, const std::string& text, float x)
{
    m_filling->texts.push_back(text);
    add(kind, x);
}

void RunRelay::setStatus(const std::string& text)
{
    addText(Kind::Status, text);
    m_statusSinceYield = true;
}

void RunRelay::showFileName(int index, const std::string& name)
{
    addText(Kind::FileName, name, static_cast<float>(index));
}

void RunRelay::showError(const std::string& message)
{
    addText(Kind::Error, message);
}

void RunRelay::runFinished(run::FinishedRun&& run)
{
    // A block holds one finished run: the one being filled goes first if it has one.
    if (m_filling->finished)
        publish();
    m_filling->finished = std::move(run);
    add(Kind::Finished);
}

void RunRelay::clearPlot()
{
    add(Kind::Clear);
}

void RunRelay::setPlotWindow(float left, float top, float right, float bottom)
{
    addPair(Kind::Window, left, top, right, bottom);
}

void RunRelay::drawLine(float x1, float y1, float x2, float y2, run::Rgb colour)
{
    addPair(Kind::Line, x1, y1, x2, y2, colour);
}

void RunRelay::drawDot(float x, float y, run::Rgb colour)
{
    Block& block = *m_filling;
    if (block.calls.empty() || block.calls.back().kind != Kind::Dots)
        block.calls.push_back({ 0, 0, Kind::Dots, {} });
    ++block.calls.back().count;
    block.dots.push_back({ x, y, colour });
    if (block.size() >= m_blockCalls)
        publish();
}

void RunRelay::drawLineTo(float x, float y, run::Rgb colour)
{
    add(Kind::LineTo, x, y, colour);
}

bool RunRelay::yield()
{
    if (m_statusSinceYield) {
        // Held until the window has shown the status and handled its events, as a run on the
        // window's thread is: a click that came meanwhile is answered before the run goes on.
        m_statusSinceYield = false;
        add(Kind::Yield);
        const std::uint64_t mine = ++m_yieldsMade;
        publish();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_yieldsAcknowledged >= mine || m_stop; });
    } else if (!m_filling->calls.empty()) {
        // What the run drew since its last yield is shown now rather than once a block is full.
        publish();
    }
    if (!m_stop)
        return true;
    add(Kind::Stopped);
    publish();
    return false;
}

void RunRelay::publish()
{
    std::unique_lock lock(m_mutex);
    // Once stopped the window drops what waits, so the run does not wait for room.
    m_changed.wait(lock, [&] { return m_ready.size() < m_blocksAhead || m_stop; });
    m_ready.push_back(std::move(m_filling));
    if (!m_spare.empty()) {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    } else {
        m_filling = std::make_unique<Block>();
        m_filling->calls.reserve(m_blockCalls + 1);  // a pair may end past the bound
        m_filling->dots.reserve(m_blockCalls);
    }
    m_changed.notify_all();
}

void RunRelay::end()
{
    if (!m_filling->calls.empty())
        publish();
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

void RunRelay::apply(run::RunHost& front, const Call& call, const Call* second)
{
    switch (call.kind) {
    case Kind::Status:
        front.setStatus(m_current->texts[m_nextText++]);
        break;
    case Kind::FileName:
        front.showFileName(static_cast<int>(call.x), m_current->texts[m_nextText++]);
        break;
    case Kind::Error:
        front.showError(m_current->texts[m_nextText++]);
        break;
    case Kind::Finished:
        front.runFinished(std::move(*m_current->finished));
        m_current->finished.reset();
        break;
    case Kind::Clear:
        front.clearPlot();
        break;
    case Kind::Window:
        front.setPlotWindow(call.x, call.y, second->x, second->y);
        break;
    case Kind::Line:
        front.drawLine(call.x, call.y, second->x, second->y, second->colour);
        break;
    case Kind::Dots:
        front.drawDots(std::span(m_current->dots).subspan(m_nextDot, call.count));
        m_nextDot += call.count;
        break;
    case Kind::LineTo:
        front.drawLineTo(call.x, call.y, call.colour);
        break;
    case Kind::Yield:
    case Kind::Stopped:
    case Kind::Second:
        break;
    }
}

RunRelay::Delivery RunRelay::deliver(run::RunHost& front, std::size_t most)
{
    std::size_t handed = 0;
    while (handed < most) {
        if (!m_current || m_nextCall == m_current->calls.size()) {
            const std::lock_guard lock(m_mutex);
            if (m_current) {
                m_current->clear();
                m_spare.push_back(std::move(m_current));
            }
            if (m_ready.empty())
                return m_ended ? Delivery::Ended : handed > 0 ? Delivery::Calls : Delivery::Empty;
            m_current = std::move(m_ready.front());
            m_ready.pop_front();
            m_nextCall = 0;
            m_nextText = 0;
            m_nextDot = 0;
            m_changed.notify_all();  // room for another block
            continue;
        }
        const Call& call = m_current->calls[m_nextCall++];
        if (call.kind == Kind::Stopped) {
            m_dropping = false;
            continue;
        }
        if (m_dropping) {
            if (call.kind == Kind::Status || call.kind == Kind::FileName
                || call.kind == Kind::Error)
                ++m_nextText;
            else if (call.kind == Kind::Dots)
                m_nextDot += call.count;
            continue;
        }
        if (call.kind == Kind::Yield)
            return Delivery::Yield;
        // A pair's halves are published together.
        const Call* second = nullptr;
        if (call.kind == Kind::Window || call.kind == Kind::Line)
            second = &m_current->calls[m_nextCall++];
        apply(front, call, second);
        handed += call.kind == Kind::Dots ? call.count : 1;
    }
    return Delivery::Calls;
}

void RunRelay::acknowledge()
{
    const std::lock_guard lock(m_mutex);
    ++m_yieldsAcknowledged;
    m_changed.notify_all();
}

void RunRelay::stop()
{
    m_dropping = true;
    const std::lock_guard lock(m_mutex);
    m_stop = true;
    m_changed.notify_all();
}

void RunRelay::waitForCalls(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return !m_ready.empty() || m_ended; });
}

run::RunReport runBeside(
    run::RunHost& front, const std::function<run::RunReport(run::RunHost&)>& run)
{
    RunRelay relay(front.finishedRunParts(), front.holdsNamesAfterRun());
    run::RunReport report;
    std::exception_ptr failure;
    std::thread thread;
    try {
        thread = std::thread([&] {
            try {
                report = run(relay);
            } catch (...) {
                failure = std::current_exception();
            }
            relay.end();
        });
    } catch (const std::system_error&) {
        // No second thread to be had: the run runs here, drawing as it goes.
        return run(front);
    }

    // Whatever ends the loop, the run's thread is stopped and joined before the relay goes.
    struct Joined
    {
        RunRelay& relay;
        std::thread& thread;

        ~Joined()
        {
            if (thread.joinable()) {
                relay.stop();
                thread.join();
            }
        }
    } joined { relay, thread };

    bool stopped = false;
    for (;;) {
        const RunRelay::Delivery delivery = relay.deliver(front, kCallsBetweenYields);
        if (delivery == RunRelay::Delivery::Ended)
            break;
        // The stop is asked before the run is let go from a yield, so that it stops there.
        if (!front.yield() && !stopped) {
            relay.stop();
            stopped = true;
        }
        if (delivery == RunRelay::Delivery::Yield)
            relay.acknowledge();
        else if (delivery == RunRelay::Delivery::Empty)
            relay.waitForCalls(kIdle);
    }
    thread.join();
    if (failure)
        std::rethrow_exception(failure);
    return report;
}

}  // namespace ui
