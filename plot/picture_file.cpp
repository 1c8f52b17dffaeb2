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
    const PictureDrawing& draw, const PictureSize& picture, PictureFormat format, QString* error)
{
    const QSize size = picture.pixels;
    const int dpi = picture.dotsPerInch;
    if (dpi < kLowestPictureResolution || dpi > kHighestPictureResolution) {
        setError(error,
            QStringLiteral("a picture has %1 to %2 pixels to the inch, not %3")
                .arg(kLowestPictureResolution)
                .arg(kHighestPictureResolution)
                .arg(dpi));
        return {};
    }
    if (size.width() < 1 || size.height() < 1 || size.width() > kLargestPictureSide
        || size.height() > kLargestPictureSide) {
        setError(error,
            QStringLiteral("a picture is 1 to %1 pixels wide and high, not %2 × %3")
                .arg(kLargestPictureSide)
                .arg(size.width())
                .arg(size.height()));
        return {};
    }
    const QRect target(QPoint(0, 0), size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PictureFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            setError(error,
                QStringLiteral("not enough memory for a picture of %1 × %2 pixels")
                    .arg(size.width())
                    .arg(size.height()));
            return {};
        }
        image.fill(Qt::white);
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            draw(painter, target);
        }
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
        // One painter for the whole picture: each painter on the generator starts a document.
        QPainter painter(&svg);
        draw(painter, target);
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
        QPainter painter(&pdf);
        draw(painter, target);
        break;
    }
    }
    buffer.close();
    if (buffer.data().isEmpty())
        setError(error, QStringLiteral("the picture could not be made"));
    return buffer.data();
}

}  // namespace plot
