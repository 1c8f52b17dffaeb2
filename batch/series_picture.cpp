#include "batch/series_picture.h"

#include "batch/picture.h"
#include "plot/plot_file.h"
#include "plot/plot_renderer.h"
#include "run/run_failure.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>

#include <algorithm>
#include <map>

namespace batch {

namespace {

    // A series picture keeps at most so many points of each record, outlined over so many
    // columns: at most 1.6 MB a run, however long its record.
    constexpr std::size_t kOutlinePoints = 100'000;
    constexpr int kOutlineColumns = 2048;

    QString decoded(const std::string& name)
    {
        return QFile::decodeName(QByteArray::fromStdString(name));
    }

    // The name after the last slash.
    std::string lastPart(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

}  // namespace

SeriesPictureRun seriesPictureRun(
    const std::string& file, const analysis::AssembledRun& run, bool record)
{
    SeriesPictureRun kept;
    kept.file = file;
    kept.backbone = analysis::plotBackbone(run.tables);
    // The last-cycle envelopes are not drawn.
    kept.backbone.positiveLastCycle = {};
    kept.backbone.negativeLastCycle = {};
    if (record && run.rows) {
        const run::Rows& rows = *run.rows;
        const std::size_t n = std::min(rows.x.size(), rows.y.size());
        for (const std::size_t i : plot::outlineIndices(
                 rows.x.data(), rows.y.data(), n, kOutlinePoints, kOutlineColumns)) {
            kept.data.x.push_back(rows.x[i]);
            kept.data.y.push_back(rows.y[i]);
        }
    }
    const plot::PlotData& data = *run.plot;
    kept.data.xTitle = data.xTitle;
    kept.data.yTitle = data.yTitle;
    kept.data.xColumn = data.xColumn;
    kept.data.yColumn = data.yColumn;
    return kept;
}

std::string seriesPicture(const Options& o, const std::vector<const SeriesPictureRun*>& runs)
{
    // The plot's own data are the first run's titles alone.
    plot::PlotData data;
    if (!runs.empty()) {
        const plot::PlotData& first = runs.front()->data;
        data.xTitle = first.xTitle;
        data.yTitle = first.yTitle;
        data.xColumn = first.xColumn;
        data.yColumn = first.yColumn;
    }
    // A file is named by its name alone, unless another run's has the same.
    std::map<std::string, int> sameName;
    for (const SeriesPictureRun* run : runs)
        ++sameName[lastPart(run->file)];
    std::vector<plot::OverlayRun> overlays;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const SeriesPictureRun& run = *runs[i];
        const std::string& name = lastPart(run.file);
        QString label = decoded(sameName[name] > 1 ? run.file : name);
        const QString x = plot::plotXTitle(run.data);
        const QString y = plot::plotYTitle(run.data);
        if (x != plot::plotXTitle(data) || y != plot::plotYTitle(data))
            label += QCoreApplication::translate("batch", " (axes: %1; %2)").arg(x, y);
        overlays.push_back({ plot::overlayColour(i), label, &run.data, &run.backbone, true });
    }
    plot::PlotStyle style;
    style.layers.grid = true;
    style.overlays = std::move(overlays);
    style.overlayKey = true;
    const plot::PlotRange range = plot::fullPlotRange(data, style.overlays);
    QString error;
    const QByteArray bytes = plot::plotDrawingFile(
        QSize(kReportWidth, kReportHeight),
        [&](QPainter& painter, const QRect& target) {
            plot::renderPlot(painter, target, data, range, style);
        },
        plot::pictureFormatOf(decoded(o.overlay)).value_or(plot::PictureFormat::Png), &error);
    if (bytes.isEmpty())
        throw run::RunFailure(run::FailureCode::InvalidArgument,
            "cannot make the picture " + o.overlay + ": "
                + (error.isEmpty() ? std::string("no picture") : error.toStdString()));
    return bytes.toStdString();
}

}  // namespace batch
