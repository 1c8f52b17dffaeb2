#include "plot/plot_file.h"

#include "plot/plot_canvas.h"
#include "plot/plot_recording.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cctype>

namespace plot {

namespace {

    constexpr int kPngPixelRatio = 2;
    const QString kDescription = QStringLiteral("The record, its crossings and its Varnel curve");

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    // A PNG at two device pixels a logical one; both formats at the screen's 96 dots to the
    // inch, so that the SVG's text is as large beside its lines as the PNG's.
    PictureSize fileSize(QSize box, PictureFormat format)
    {
        return { box, 96, format == PictureFormat::Png ? kPngPixelRatio : 1 };
    }

}  // namespace

QImage blankPlotFileImage()
{
    QImage image(kPlotFileBox * kPngPixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(kPngPixelRatio);
    image.fill(PlotCanvas::background());
    return image;
}

std::optional<PictureFormat> plotFileFormat(std::string_view name)
{
    const auto endsWith = [&](std::string_view extension) {
        if (name.size() < extension.size())
            return false;
        const std::string_view end = name.substr(name.size() - extension.size());
        for (std::size_t i = 0; i < end.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(end[i])) != extension[i])
                return false;
        return true;
    };
    if (endsWith(".png"))
        return PictureFormat::Png;
    if (endsWith(".svg"))
        return PictureFormat::Svg;
    return std::nullopt;
}

bool isPngFileName(const QString& path)
{
    return hasExtension(path, ".png");
}

bool isPlotFileName(const QString& path)
{
    return hasExtension(path, ".png") || hasExtension(path, ".svg");
}

namespace {

    QByteArray pngOf(const QImage& image, QString* error)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image) && error)
            *error = writer.errorString();
        return buffer.data();
    }

}  // namespace

QByteArray plotFile(const PlotRecording& recording, PictureFormat format, QString* error)
{
    if (const QImage* drawn = recording.image()) {
        // Logical size in the file too: 2 × 96 dpi.
        QImage image = *drawn;
        image.setDotsPerMeterX(7559);
        image.setDotsPerMeterY(7559);
        return plotImageFile(image, format, error);
    }
    // One painter for the background and the drawing: each painter on an SVG generator would
    // begin a document of its own.
    const auto replay = [&](QPaintDevice& device, const QRect&) {
        PlotCanvas canvas { QSizeF(kPlotFileBox) };
        canvas.setDevice(&device);
        canvas.fillBackground();
        recording.replay(canvas);
        canvas.setDevice(nullptr);
    };
    return pictureFile(replay, fileSize(kPlotFileBox, format), format, kDescription, error);
}

QByteArray plotDrawingFile(
    const QSize& size, const PictureDrawing& draw, PictureFormat format, QString* error)
{
    const auto paint = [&](QPaintDevice& device, const QRect& target) {
        QPainter painter(&device);
        draw(painter, target);
    };
    return pictureFile(paint, fileSize(size, format), format, kDescription, error);
}

QByteArray plotImageFile(const QImage& image, PictureFormat format, QString* error)
{
    if (format == PictureFormat::Png)
        return pngOf(image, error);
    const QSize size = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    const auto draw = [&](QPainter& painter, const QRect& target) {
        painter.drawImage(QRectF(target), image);
    };
    return pictureFile(draw, fileSize(size, format), format, error);
}

}  // namespace plot
