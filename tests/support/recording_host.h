#pragma once

#include "run/run_host.h"

#include <cstdio>
#include <string>
#include <vector>

// A run host that writes down everything a run asks of its front end, in order.
class RecordingHost : public run::RunHost
{
public:
    std::vector<std::string> statuses;
    std::vector<std::string> fileNames[3];
    std::vector<std::string> errors;
    std::vector<std::string> drawing;  // one entry per plot call
    int yields = 0;
    int stopAfterYields = -1;  // yield returns false from this yield on; -1: never
    bool recordDrawing = true;

    void setStatus(const std::string& text) override
    {
        statuses.push_back(text);
    }

    void showFileName(int index, const std::string& name) override
    {
        fileNames[index].push_back(name);
    }

    bool yield() override
    {
        ++yields;
        return stopAfterYields < 0 || yields < stopAfterYields;
    }

    void clearPlot() override
    {
        draw("clear");
    }

    void setPlotWindow(float left, float top, float right, float bottom) override
    {
        draw("window " + num(left) + " " + num(top) + " " + num(right) + " " + num(bottom));
    }

    void drawLine(float x1, float y1, float x2, float y2, run::Rgb c) override
    {
        draw("line " + num(x1) + " " + num(y1) + " " + num(x2) + " " + num(y2) + " " + rgb(c));
    }

    void drawDot(float x, float y, run::Rgb c) override
    {
        draw("dot " + num(x) + " " + num(y) + " " + rgb(c));
    }

    void drawLineTo(float x, float y, run::Rgb c) override
    {
        draw("to " + num(x) + " " + num(y) + " " + rgb(c));
    }

    void showError(const std::string& message) override
    {
        errors.push_back(message);
    }

private:
    void draw(std::string call)
    {
        if (recordDrawing)
            drawing.push_back(std::move(call));
    }

    static std::string num(float v)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
        return text;
    }

    static std::string rgb(run::Rgb c)
    {
        return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
    }
};
