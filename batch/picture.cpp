#include "batch/picture.h"

#include "batch/output_names.h"
#include "plot/plot_file.h"
#include "plot/plot_recording.h"
#include "plot/plot_renderer.h"

#include <QPainter>

namespace batch {

namespace {

    plot::PictureFormat formatOf(const Options& o, const std::string& file)
    {
        // The options refuse any other name before a run.
        return plot::plotFileFormat(pictureName(o, file)).value_or(plot::PictureFormat::Png);
    }

    std::string madeOrThrown(const QByteArray& bytes, const QString& error, const std::string& name)
    {
        if (bytes.isEmpty())
            throw run::RunFailure(run::FailureCode::InvalidArgument,
                "cannot make the picture " + name + ": "
                    + (error.isEmpty() ? std::string("no picture") : error.toStdString()));
        return bytes.toStdString();
    }

}  // namespace

std::string boxPicture(
    const Options& o, const std::string& file, const plot::PlotRecording& recording)
{
    QString error;
    const QByteArray bytes = plot::plotFile(recording, formatOf(o, file), &error);
    return madeOrThrown(bytes, error, pictureName(o, file));
}

std::string reportPicture(
    const Options& o, const std::string& file, const analysis::AssembledRun& run)
{
    const plot::PlotData& data = *run.plot;
    const analysis::PlotBackbone backbone = analysis::plotBackbone(run.tables);
    const plot::PlotRange range = plot::fullPlotRange(data);
    plot::PlotStyle style;
    style.layers.grid = true;
    style.backbone = &backbone;
    QString error;
    const QByteArray bytes = plot::plotDrawingFile(
        QSize(kReportWidth, kReportHeight),
        [&](QPainter& painter, const QRect& target) {
            plot::renderPlot(painter, target, data, range, style);
        },
        formatOf(o, file), &error);
    return madeOrThrown(bytes, error, pictureName(o, file));
}

}  // namespace batch
