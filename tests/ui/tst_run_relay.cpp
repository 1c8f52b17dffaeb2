#include "ui/main_window/run_relay.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// The calls as text, in the order they come. As the window's side it also checks that the run
// was still held at the yield after a status when the window handled its events.
struct Front final : run::RunHost
{
    std::vector<std::string> calls;
    int stopAtYield = -1;  // the window's yield that asks the run to stop
    int yields = 0;
    bool statusShown = false;
    bool runHeldAtStatus = true;
    const std::atomic<int>* runYields = nullptr;
    const std::atomic<int>* holdingYield = nullptr;

    void setStatus(const std::string& text) override
    {
        calls.push_back(std::string("status ").append(text));
        statusShown = true;
    }

    void showFileName(int index, const std::string& name) override
    {
        calls.push_back(
            std::string("file ").append(std::to_string(index)).append(" ").append(name));
    }

    bool yield() override
    {
        if (std::exchange(statusShown, false) && runYields && *runYields > *holdingYield)
            runHeldAtStatus = false;
        return ++yields != stopAtYield;
    }

    void clearPlot() override
    {
        calls.emplace_back("clear");
    }

    void setPlotWindow(float l, float t, float r, float b) override
    {
        add("window", { l, t, r, b }, {});
    }

    void drawLine(float x1, float y1, float x2, float y2, run::Rgb c) override
    {
        add("line", { x1, y1, x2, y2 }, c);
    }

    void drawDot(float x, float y, run::Rgb c) override
    {
        add("dot", { x, y }, c);
    }

    void drawLineTo(float x, float y, run::Rgb c) override
    {
        add("to", { x, y }, c);
    }

    void showError(const std::string& message) override
    {
        calls.push_back(std::string("error ").append(message));
    }

    void add(const char* kind, std::initializer_list<float> values, run::Rgb c)
    {
        std::string text = kind;
        for (const float v : values)
            text.append(" ").append(std::to_string(v));
        for (const int channel : { c.red, c.green, c.blue })
            text.append(" ").append(std::to_string(channel));
        calls.push_back(text);
    }
};

// A run of every kind of call, many blocks long, yielding every 500 calls and giving a status
// now and then; `made` gets its calls up to the yield that told it to stop.
run::RunReport drawingRun(run::RunHost& host, Front& made, std::atomic<int>& yields,
    std::atomic<int>& holdingYield, bool& stopped)
{
    const auto both = [&](const auto& call) {
        call(host);
        call(static_cast<run::RunHost&>(made));
    };
    for (int i = 0; i < 40000; ++i) {
        const auto f = static_cast<float>(i);
        const auto c = static_cast<std::uint8_t>(i % 251);
        if (i % 9 == 0)
            both([&](run::RunHost& h) { h.drawLine(f, -f, f + 1, f / 3, { c, 1, 2 }); });
        else if (i % 9 == 1)
            both([&](run::RunHost& h) { h.drawLineTo(f, 2 * f, { 0, 0, c }); });
        else if (i % 9 == 4)
            both([&](run::RunHost& h) { h.setPlotWindow(f, 1, -f, 2); });
        else
            both([&](run::RunHost& h) { h.drawDot(f, f / 7, { 0, c, 0 }); });
        if (i % 9973 == 0) {
            holdingYield = yields + 1;
            both([&](run::RunHost& h) {
                h.setStatus(std::string("phase ").append(std::to_string(i)));
                h.showFileName(i % 3, std::string("name ").append(std::to_string(i)));
            });
        }
        if (i % 500 == 499) {
            ++yields;
            if (!host.yield()) {
                stopped = true;
                return {};
            }
        }
    }
    both([](run::RunHost& h) { h.showError("the end"); });
    return {};
}

}  // namespace

class TestRunRelay : public QObject
{
    Q_OBJECT

private slots:

    // The window gets every call the run made, in order, whether the run goes to its end or the
    // window asks it to stop at one of its first yields (then nothing the run made after the
    // yield that saw the stop); a status holds the run at its next yield until the window has
    // handled its events.
    void handsOnTheRunsCallsInOrder()
    {
        for (const int stopAt : { -1, 1, 2, 4 }) {
            std::atomic<int> yields { 0 };
            std::atomic<int> holdingYield { 0 };
            Front front;
            front.stopAtYield = stopAt;
            front.runYields = &yields;
            front.holdingYield = &holdingYield;
            Front made;
            bool stopped = false;
            ui::runBeside(front, [&](run::RunHost& host) {
                return drawingRun(host, made, yields, holdingYield, stopped);
            });
            QVERIFY(front.runHeldAtStatus);
            QCOMPARE(stopped, stopAt > 0);
            QVERIFY(front.calls.size() <= made.calls.size());
            QVERIFY(std::equal(front.calls.begin(), front.calls.end(), made.calls.begin()));
            if (!stopped)
                QCOMPARE(front.calls.size(), made.calls.size());
        }
    }
};

QTEST_GUILESS_MAIN(TestRunRelay)
#include "tst_run_relay.moc"
