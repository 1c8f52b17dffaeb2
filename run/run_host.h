#pragma once

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

    // The prepared points, once, after the reading phase: the values the point file reads back
    // as. A host that analyses the finished run keeps a copy; the run drops its own after the
    // cross check.
    virtual void pointsPrepared(std::span<const double> /*x*/, std::span<const double> /*y*/) { }

    // Whether the host wants the data file's line of each prepared point (4 bytes a point).
    virtual bool wantsPointLines() const
    {
        return false;
    }

    // The data file's line of each prepared point, right after pointsPrepared, when the host
    // wants them: 0 for a zero point the run inserted where the load changes sign.
    virtual void pointLinesPrepared(std::span<const std::uint32_t> /*lines*/) { }

    // Clears the plot.
    virtual void clearPlot() = 0;

    // Sets the user coordinate window: x runs from left to right, y from top to bottom.
    virtual void setPlotWindow(float left, float top, float right, float bottom) = 0;

    // A line between two points; the drawing position moves to the second.
    virtual void drawLine(float x1, float y1, float x2, float y2, Rgb colour) = 0;

    // A dot at a point, which becomes the drawing position.
    virtual void drawDot(float x, float y, Rgb colour) = 0;

    // A line from the drawing position to a point, which becomes the drawing position.
    virtual void drawLineTo(float x, float y, Rgb colour) = 0;

    // Shows a modal warning box titled "Error" and returns when it is dismissed.
    virtual void showError(const std::string& message) = 0;
};

}  // namespace run
