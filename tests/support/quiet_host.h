#pragma once

#include "run/run_host.h"

#include <string>
#include <vector>

// A front end that shows nothing and never asks the run to stop; it keeps the error messages
// the run shows.
class QuietHost : public run::RunHost
{
public:
    void setStatus(const std::string&) override { }

    void showFileName(int, const std::string&) override { }

    bool yield() override
    {
        return true;
    }

    void clearPlot() override { }

    void setPlotWindow(float, float, float, float) override { }

    void drawLine(float, float, float, float, run::Rgb) override { }

    void drawDot(float, float, run::Rgb) override { }

    void drawLineTo(float, float, run::Rgb) override { }

    void showError(const std::string& message) override
    {
        errors.push_back(message);
    }

    std::vector<std::string> errors;
};
