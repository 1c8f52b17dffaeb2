// Times a whole run with the window's picture drawn as the window draws it (dots stamped onto the
// image), with every dot stroked by QPainter instead (`qt`: an image format the stamp does not
// take), or not drawn at all, and writes the picture.
//
//   varnel-plot-bench none|draw|qt PICTURE.png [varnel-batch options] FILE

#include "batch/options.h"
#include "bench/cpu_time.h"
#include "plot/plot_canvas.h"
#include "plot/plot_recording.h"
#include "run/run_driver.h"
#include "run/run_host.h"

#include <QGuiApplication>
#include <QImage>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The picture box of the window, in pixels.
constexpr int kBoxWidth = 445;
constexpr int kBoxHeight = 165;

class CanvasHost : public run::RunHost
{
public:
    CanvasHost(bool draw, bool strokeDots)
        : m_draw(draw)
        , m_image(kBoxWidth, kBoxHeight,
              strokeDots ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied)
        , m_canvas(QSizeF(kBoxWidth, kBoxHeight))
    {
        m_image.fill(plot::PlotCanvas::background());
        m_canvas.setDevice(&m_image);
    }

    void setStatus(const std::string&) override { }

    void showFileName(int, const std::string&) override { }

    bool yield() override
    {
        return true;
    }

    void clearPlot() override
    {
        m_canvas.end();
        m_image.fill(plot::PlotCanvas::background());
        m_canvas.resetPosition();
    }

    void setPlotWindow(float left, float top, float right, float bottom) override
    {
        m_canvas.setWindow(left, top, right, bottom);
    }

    void drawLine(float x1, float y1, float x2, float y2, run::Rgb colour) override
    {
        ++lines;
        if (m_draw)
            inked += m_canvas.line(x1, y1, x2, y2, plot::toColour(colour));
    }

    void drawDot(float x, float y, run::Rgb colour) override
    {
        ++dots;
        if (m_draw)
            inked += m_canvas.dot(x, y, plot::toColour(colour));
    }

    void drawLineTo(float x, float y, run::Rgb colour) override
    {
        ++lines;
        if (m_draw)
            inked += m_canvas.lineTo(x, y, plot::toColour(colour));
    }

    void showError(const std::string& message) override
    {
        std::fprintf(stderr, "error: %s\n", message.c_str());
    }

    QImage picture()
    {
        m_canvas.end();
        return m_image;
    }

    long long lines = 0;
    long long dots = 0;
    long long inked = 0;

private:
    bool m_draw;
    QImage m_image;
    plot::PlotCanvas m_canvas;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr,
            "usage: varnel-plot-bench none|draw|qt PICTURE.png [varnel-batch options] "
            "FILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    const char* picture = argv[2];
    std::vector<const char*> args { argv[0] };
    for (int i = 3; i < argc; ++i)
        args.push_back(argv[i]);
    batch::Options o;
    if (const auto status = batch::parseOptions(static_cast<int>(args.size()), args.data(), o))
        return *status;
    if (o.files.size() != 1) {
        std::fprintf(stderr, "one data file\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    CanvasHost host(mode != "none", mode == "qt");
    settings::RunSettings s = o.settings;
    s.DataFilePath = o.files[0];
    const double cpuStart = bench::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const run::RunReport report = run::runVarnel(host, s, o.xCoefficient, o.yCoefficient);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double cpu = bench::cpuSeconds() - cpuStart;
    const bool saved = host.picture().save(QString::fromLocal8Bit(picture));
    std::printf(
        "%s: %.3f s (CPU %.3f s), %lld line calls, %lld dot calls, %lld drawn, outcome %d%s\n",
        mode.c_str(), took.count(), cpu, host.lines, host.dots, host.inked,
        static_cast<int>(report.outcome), saved ? "" : ", picture not saved");
    return saved ? 0 : 1;
}
