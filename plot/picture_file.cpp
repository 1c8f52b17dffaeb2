#include "plot/picture_file.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cmath>

namespace plot {

namespace {

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    void setError(QString* error, const QString& text)
    {
        if (error)
            *error = text;
    }

    void setDotsPerInch(QImage& image, int dpi)
    {
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }

}  // namespace

std::optional<PictureFormat> pictureFormatOf(const QString& path)
{
    if (hasExtension(path, ".png"))
        return PictureFormat::Png;
    if (hasExtension(path, ".svg"))
        return PictureFormat::Svg;
    if (hasExtension(path, ".pdf"))
        return PictureFormat::Pdf;
    return std::nullopt;
}

QByteArray pictureFile(
    const PictureDrawing& draw, const PictureSize& size, PictureFormat format, QString* error)
{
    return pictureFile(
        [&](QPaintDevice& device, const QRect& target) {
            QPainter painter(&device);
            draw(painter, target);
        },
        size, format, QString(), error);
}

QByteArray pictureFile(const PicturePainting& paint, const PictureSize& picture,
    PictureFormat format, const QString& description, QString* error)
{
    const QSize size = picture.pixels;
    const int dpi = picture.dotsPerInch;
    const int ratio = picture.pixelRatio;
    if (dpi < kLowestPictureResolution || dpi > kHighestPictureResolution) {
        setError(error,
            QStringLiteral("a picture has %1 to %2 pixels to the inch, not %3")
                .arg(kLowestPictureResolution)
                .arg(kHighestPictureResolution)
                .arg(dpi));
        return {};
    }
    if (size.width() < 1 || size.height() < 1 || size.width() * ratio > kLargestPictureSide
        || size.height() * ratio > kLargestPictureSide || ratio < 1) {
        setError(error,
            QStringLiteral("a picture is 1 to %1 pixels wide and high, not %2 × %3")
                .arg(kLargestPictureSide)
                .arg(size.width() * ratio)
                .arg(size.height() * ratio));
        return {};
    }
    const QRect target(QPoint(0, 0), size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PictureFormat::Png: {
        QImage image(size * ratio, QImage::Format_RGB32);
        if (image.isNull()) {
            setError(error,
                QStringLiteral("not enough memory for a picture of %1 × %2 pixels")
                    .arg(size.width() * ratio)
                    .arg(size.height() * ratio));
            return {};
        }
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        // The text is sized at the picture's resolution; the file states its device pixels'.
        setDotsPerInch(image, dpi);
        paint(image, target);
        setDotsPerInch(image, dpi * ratio);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) {
            setError(error, writer.errorString());
            return {};
        }
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(dpi);
        svg.setSize(size);
        svg.setViewBox(target);
        svg.setTitle(QStringLiteral("Varnel curve"));
        if (!description.isEmpty())
            svg.setDescription(description);
        // One painter for the whole picture: each painter on the generator starts a document.
        paint(svg, target);
        break;
    }
    case PictureFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Varnel"));
        pdf.setTitle(QStringLiteral("Varnel curve"));
        pdf.setResolution(dpi);
        const QSizeF points = QSizeF(size) * 72.0 / dpi;
        pdf.setPageLayout(
            QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                QPageLayout::Portrait, QMarginsF()));
        paint(pdf, target);
        break;
    }
    }
    buffer.close();
    if (buffer.data().isEmpty())
        setError(error, QStringLiteral("the picture could not be made"));
    return buffer.data();
}

}  // namespace plot
