#pragma once

#include "run/finished_run.h"

#include <cstdint>
#include <span>
#include <string>

namespace run {

struct Rgb
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A dot of RunHost::drawDots().
struct PlotDot
{
    float x;
    float y;
    Rgb colour;
};

// The phases of a run, in the order they come; progress counts within the current phase.
enum class RunPhase
{
    Reading,  // counting and reading the data file's lines
    Preparing,  // preparing the points (and writing the point file)
    CrossCheck,  // walking the segments for crossings
    Curve,  // the positive and negative curve passes
    Finishing,  // merging and removing working files
};

// What a run needs from its front end: the window, the batch tool, or a test recorder.
// Plot coordinates are user coordinates of the plot window, in single precision.
class RunHost
{
public:
    virtual ~RunHost() = default;

    // The one-line status box.
    virtual void setStatus(const std::string& text) = 0;

    // The file-name boxes: 0 data file, 1 first output file, 2 second output file.
    virtual void showFileName(int index, const std::string& name) = 0;

    // Lets the front end process its pending events once. Returns false when the run must
    // stop because the program is ending.
    virtual bool yield() = 0;

    // A new phase begins; the progress() calls after it count within that phase.
    virtual void enterPhase(RunPhase /*phase*/) { }

    // How far the current phase has come: `done` of `total`, in the unit the phase counts
    // (lines, points, walked segments, cross-check records). Called at a bounded rate.
    virtual void progress(std::int64_t /*done*/, std::int64_t /*total*/) { }

    // What the host wants kept of the run for afterwards; nothing beyond what the run holds
    // anyway unless it asks.
    virtual FinishedRunParts finishedRunParts() const
    {
        return {};
    }

    // Whether the host holds the run's names after "Finish" until it has written the files it
    // makes of the run (see RunReport::names); otherwise they are let go as the run ends.
    virtual bool holdsNamesAfterRun() const
    {
        return false;
    }

    // The finished run as data, once, right before "Finish" is shown; never for a run that
    // failed or stopped.
    virtual void runFinished(FinishedRun&& /*run*/) { }

    // Clears the plot.
    virtual void clearPlot() = 0;

    // Sets the user coordinate window: x runs from left to right, y from top to bottom.
    virtual void setPlotWindow(float left, float top, float right, float bottom) = 0;

    // A line between two points; the drawing position moves to the second.
    virtual void drawLine(float x1, float y1, float x2, float y2, Rgb colour) = 0;

    // A dot at a point, which becomes the drawing position.
    virtual void drawDot(float x, float y, Rgb colour) = 0;

    // Dots in order, each as drawDot() draws it: a front end handing on millions of a run's
    // dots gives a host that draws them the chance to take them without a call each.
    virtual void drawDots(std::span<const PlotDot> dots)
    {
        for (const PlotDot& dot : dots)
            drawDot(dot.x, dot.y, dot.colour);
    }

    // A line from the drawing position to a point, which becomes the drawing position.
    virtual void drawLineTo(float x, float y, Rgb colour) = 0;

    // Shows a modal warning box titled "Error" and returns when it is dismissed.
    virtual void showError(const std::string& message) = 0;
};

}  // namespace run
