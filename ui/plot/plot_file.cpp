#include "ui/plot/plot_file.h"

#include "ui/plot/plot_canvas.h"
#include "ui/plot/plot_recording.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace ui {

namespace {

    constexpr int kPngPixelRatio = 2;

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    QString writePng(const PlotRecording& recording, QSaveFile& file)
    {
        QImage image(kPlotFileBox * kPngPixelRatio, QImage::Format_RGB32);
        image.setDevicePixelRatio(kPngPixelRatio);
        image.fill(PlotCanvas::background());
        PlotCanvas canvas { QSizeF(kPlotFileBox) };
        canvas.setDevice(&image);
        recording.replay(canvas);
        canvas.setDevice(nullptr);
        // Logical size in the file too: 2 × 96 dpi.
        image.setDotsPerMeterX(7559);
        image.setDotsPerMeterY(7559);
        QImageWriter writer(&file, "png");
        if (!writer.write(image))
            return writer.errorString();
        return {};
    }

    QString writeSvg(const PlotRecording& recording, QSaveFile& file)
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(kPlotFileBox);
        svg.setViewBox(QRect(QPoint(0, 0), kPlotFileBox));
        svg.setTitle(QStringLiteral("Varnel curve"));
        svg.setDescription(QStringLiteral("The record, its crossings and its Varnel curve"));
        // One painter for the background and the drawing: each painter on the generator would
        // begin a document of its own.
        PlotCanvas canvas { QSizeF(kPlotFileBox) };
        canvas.setDevice(&svg);
        canvas.fillBackground();
        recording.replay(canvas);
        canvas.setDevice(nullptr);
        return {};
    }

}  // namespace

bool isPlotFileName(const QString& path)
{
    return hasExtension(path, ".png") || hasExtension(path, ".svg");
}

QString writePlotFile(const PlotRecording& recording, const QString& path)
{
    if (!isPlotFileName(path))
        return QStringLiteral("the picture's name must end in .png or .svg");
    // Written under a temporary name and renamed, so that a failed write leaves no half file
    // and a reader never sees one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QString error =
        hasExtension(path, ".png") ? writePng(recording, file) : writeSvg(recording, file);
    if (!error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

}  // namespace ui
