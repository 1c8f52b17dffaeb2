#include "batch/picture.h"

#include "analysis/run_tables.h"
#include "batch/output_names.h"
#include "run/run_driver.h"
#include "ui/plot/plot_file.h"
#include "ui/plot_window/plot_data.h"
#include "ui/plot_window/plot_renderer.h"

#include <QFile>
#include <QPainter>

#include <cerrno>
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

bool writePicture(const Options& o, const std::string& file, const ui::PlotRecording& recording,
    Console& console, std::size_t job)
{
    return savePicture(o, file, console, job,
        [&](const QString& path, int* code) { return ui::writePlotFile(recording, path, code); });
}

bool writeReportPicture(const Options& options, const std::string& file,
    const run::FinishedRun& run, Console& console, std::size_t job)
{
    const ui::PlotData data =
        ui::plotDataOf(run, analysis::analyseFinishedRun(run, options.cycleOptions));
    const ui::PlotRange range = ui::fullPlotRange(data);
    ui::PlotStyle style;
    style.layers.grid = true;
    return savePicture(options, file, console, job, [&](const QString& path, int* code) {
        return ui::writePlotDrawing(
            QSize(kReportWidth, kReportHeight),
            [&](QPainter& painter, const QRect& target) {
                ui::renderPlot(painter, target, data, range, style);
            },
            path, code);
    });
}

}  // namespace batch
