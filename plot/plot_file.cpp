#include "plot/plot_file.h"

#include "plot/plot_canvas.h"
#include "plot/plot_recording.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plot {

namespace {

    constexpr int kPngPixelRatio = 2;
    const QString kDescription = QStringLiteral("The record, its crossings and its Varnel curve");

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    // A PNG at two device pixels a logical one, its text at the screen's 96 dots to the inch;
    // an SVG at the generator's own 72, by which its size in millimetres and its text's points
    // are reckoned.
    PictureSize fileSize(QSize box, PictureFormat format)
    {
        if (format == PictureFormat::Png)
            return { box, 96, kPngPixelRatio };
        return { box, 72, 1 };
    }

    QString systemError(int error, int* code)
    {
        if (code)
            *code = error;
        return QString::fromLocal8Bit(std::strerror(error));
    }

    bool writeAll(int fd, const QByteArray& bytes)
    {
        const char* at = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, at, static_cast<std::size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
            left -= n;
        }
        return true;
    }

    // `bytes` under `path` by a temporary beside it and a rename: a failed write leaves no half
    // file, a reader never sees one, and a symbolic link at the name is refused, never written
    // through (a link that appears meanwhile is replaced, not followed).
    QString saveFile(const QByteArray& bytes, const QString& path, int* code)
    {
        const QByteArray name = QFile::encodeName(path);

        struct stat st
        {
        };

        if (::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
            if (code)
                *code = ELOOP;
            return QStringLiteral("is a symbolic link; no picture is written through it");
        }
        QByteArray temporary = name + ".XXXXXX";
        const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return systemError(errno, code);
        const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
        const int writeError = errno;
        // The picture is a document like any other: readable by others as the umask allows.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        if (::close(fd) != 0 || !written) {
            ::unlink(temporary.constData());
            return systemError(written ? errno : writeError, code);
        }
        if (::rename(temporary.constData(), name.constData()) != 0) {
            const int error = errno;
            ::unlink(temporary.constData());
            return systemError(error, code);
        }
        return {};
    }

}  // namespace

QImage blankPlotFileImage()
{
    QImage image(kPlotFileBox * kPngPixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(kPngPixelRatio);
    image.fill(PlotCanvas::background());
    return image;
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

    // The bytes that `make` gives for the name's format, under `path`.
    template <typename Make>
    QString writeAs(const QString& path, int* code, Make make)
    {
        if (code)
            *code = 0;
        if (!isPlotFileName(path))
            return QStringLiteral("the picture's name must end in .png or .svg");
        const PictureFormat format =
            hasExtension(path, ".png") ? PictureFormat::Png : PictureFormat::Svg;
        QString error;
        const QByteArray bytes = make(format, error);
        if (!error.isEmpty())
            return error;
        return saveFile(bytes, path, code);
    }

    QByteArray pngOf(const QImage& image, QString& error)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image))
            error = writer.errorString();
        return buffer.data();
    }

}  // namespace

QString writePlotFile(const PlotRecording& recording, const QString& path, int* code)
{
    return writeAs(path, code, [&](PictureFormat format, QString& error) -> QByteArray {
        if (const QImage* drawn = recording.image()) {
            if (format != PictureFormat::Png) {
                error = QStringLiteral("the picture was drawn for a PNG file only");
                return {};
            }
            // Logical size in the file too: 2 × 96 dpi.
            QImage image = *drawn;
            image.setDotsPerMeterX(7559);
            image.setDotsPerMeterY(7559);
            return pngOf(image, error);
        }
        // One painter for the background and the drawing: each painter on an SVG generator
        // would begin a document of its own.
        const auto replay = [&](QPaintDevice& device, const QRect&) {
            PlotCanvas canvas { QSizeF(kPlotFileBox) };
            canvas.setDevice(&device);
            canvas.fillBackground();
            recording.replay(canvas);
            canvas.setDevice(nullptr);
        };
        return pictureFile(replay, fileSize(kPlotFileBox, format), format, kDescription, &error);
    });
}

QString writePlotDrawing(
    const QSize& size, const PictureDrawing& draw, const QString& path, int* code)
{
    return writeAs(path, code, [&](PictureFormat format, QString& error) {
        const auto paint = [&](QPaintDevice& device, const QRect& target) {
            QPainter painter(&device);
            draw(painter, target);
        };
        return pictureFile(paint, fileSize(size, format), format, kDescription, &error);
    });
}

QString writePlotImage(const QImage& image, const QString& path, int* code)
{
    return writeAs(path, code, [&](PictureFormat format, QString& error) -> QByteArray {
        if (format == PictureFormat::Png)
            return pngOf(image, error);
        const QSize size = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
        const auto draw = [&](QPainter& painter, const QRect& target) {
            painter.drawImage(QRectF(target), image);
        };
        return pictureFile(draw, fileSize(size, format), format, &error);
    });
}

}  // namespace plot
