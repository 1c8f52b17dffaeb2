#include "batch/picture.h"

#include "analysis/backbone.h"
#include "analysis/curve_sides.h"
#include "batch/output_names.h"
#include "plot/plot_data.h"
#include "plot/plot_file.h"
#include "plot/plot_renderer.h"
#include "run/run_driver.h"

#include <QFile>
#include <QPainter>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace batch {

namespace {

    // Writes the picture through `write` (which returns what went wrong, in words, and sets the
    // file system's code) and tells the console how it went.
    template <typename Write>
    bool savePicture(
        const Options& o, const std::string& file, Console& console, std::size_t job, Write write)
    {
        const std::string picture = pictureName(o, file);
        if (run::sameFile(picture, file)) {
            console.print(job,
                file + ": the picture " + picture
                    + " would replace the data file; no picture written");
            return false;
        }
        int code = 0;
        const QString error = write(QFile::decodeName(picture.c_str()), &code);
        if (!error.isEmpty()) {
            // A link at the picture's name is refused as one at a curve file's name is.
            if (code != 0)
                console.print(job,
                    file + ": "
                        + run::outputFileErrorMessage(code == ELOOP
                                ? run::FailureCode::PathFileAccessError
                                : run::failureFromErrno(code, picture, true)));
            console.print(job,
                file + ": cannot write the picture " + picture + ": "
                    + error.toLocal8Bit().toStdString());
            return false;
        }
        if (!o.quiet)
            console.print(job, file + ": picture " + picture);
        return true;
    }

}  // namespace

bool writePicture(const Options& o, const std::string& file, const plot::PlotRecording& recording,
    Console& console, std::size_t job)
{
    return savePicture(o, file, console, job,
        [&](const QString& path, int* code) { return plot::writePlotFile(recording, path, code); });
}

bool writeReportPicture(const Options& o, const std::string& file, plot::CompactPoints points,
    plot::PlotCrossings crossings, Console& console, std::size_t job)
{
    const settings::RunSettings& s = o.settings;
    plot::PlotData data;
    data.crossings = std::move(crossings);
    data.xColumn = s.XColumn;
    data.yColumn = s.YColumn;
    plot::readAxisTitles(file, s.SkipLines, s.XColumn, s.YColumn, data.xTitle, data.yTitle);
    // The coefficients the run read into its own settings, as the command line gave them.
    plot::scaleAxisTitles(data, std::strtod(o.xCoefficient.c_str(), nullptr),
        std::strtod(o.yCoefficient.c_str(), nullptr));
    const bool oneFile = s.OutputMode == 2;
    const std::string base = run::runNameBase(file);
    analysis::CurveSidesRead read = oneFile ? analysis::readCombinedCurve(base + "vnl")
                                            : analysis::readCurveSides(base + "vnp", base + "vnn");
    if (read)
        data.sides = std::move(read.sides);
    if (read) {
        using analysis::Side;
        data.backbone.positive = plot::backboneOf(data.sides.positive, Side::Positive);
        data.backbone.negative = plot::backboneOf(data.sides.negative, Side::Negative);
        data.backbone.positiveBilinear =
            plot::bilinearOf(analysis::analyseBackbone(data.sides.positive, Side::Positive));
        data.backbone.negativeBilinear =
            plot::bilinearOf(analysis::analyseBackbone(data.sides.negative, Side::Negative));
    }
    points.expand(data.x, data.y);
    if (std::vector<std::uint8_t> colours = points.colours.take(); colours.size() == data.x.size())
        data.colours = std::move(colours);
    points = {};
    const plot::PlotRange range = plot::fullPlotRange(data);
    plot::PlotStyle style;
    style.layers.grid = true;
    return savePicture(o, file, console, job, [&](const QString& path, int* code) {
        return plot::writePlotDrawing(
            QSize(kReportWidth, kReportHeight),
            [&](QPainter& painter, const QRect& target) {
                plot::renderPlot(painter, target, data, range, style);
            },
            path, code);
    });
}

}  // namespace batch
