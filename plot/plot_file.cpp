#include "plot/plot_file.h"

#include "plot/plot_canvas.h"
#include "plot/plot_recording.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plot {

namespace {

    constexpr int kPngPixelRatio = 2;

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    QImage blankPngImage(QSize box)
    {
        QImage image(box * kPngPixelRatio, QImage::Format_RGB32);
        image.setDevicePixelRatio(kPngPixelRatio);
        image.fill(PlotCanvas::background());
        return image;
    }

    QString writePngImage(QImage image, QIODevice& file)
    {
        // Logical size in the file too: 2 × 96 dpi.
        image.setDotsPerMeterX(7559);
        image.setDotsPerMeterY(7559);
        QImageWriter writer(&file, "png");
        if (!writer.write(image))
            return writer.errorString();
        return {};
    }

    QString writePng(const PlotRecording& recording, QIODevice& file)
    {
        if (const QImage* drawn = recording.image())
            return writePngImage(*drawn, file);
        QImage image = blankPngImage(kPlotFileBox);
        PlotCanvas canvas { QSizeF(kPlotFileBox) };
        canvas.setDevice(&image);
        recording.replay(canvas);
        canvas.setDevice(nullptr);
        return writePngImage(std::move(image), file);
    }

    QString writeSvg(const PlotRecording& recording, QIODevice& file)
    {
        if (recording.image())
            return QStringLiteral("the picture was drawn for a PNG file only");
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
    return blankPngImage(kPlotFileBox);
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

    // `draw` into a buffer as the name's format, then the buffer under `path`.
    template <typename Png, typename Svg>
    QString writeAs(const QString& path, int* code, Png writePng, Svg writeSvg)
    {
        if (code)
            *code = 0;
        if (!isPlotFileName(path))
            return QStringLiteral("the picture's name must end in .png or .svg");
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const QString error = hasExtension(path, ".png") ? writePng(buffer) : writeSvg(buffer);
        if (!error.isEmpty())
            return error;
        buffer.close();
        return saveFile(buffer.data(), path, code);
    }

}  // namespace

QString writePlotFile(const PlotRecording& recording, const QString& path, int* code)
{
    return writeAs(
        path, code, [&](QIODevice& file) { return writePng(recording, file); },
        [&](QIODevice& file) { return writeSvg(recording, file); });
}

QString writePlotDrawing(const QSize& size,
    const std::function<void(QPainter& painter, const QRect& target)>& draw, const QString& path,
    int* code)
{
    const QRect target(QPoint(0, 0), size);
    return writeAs(
        path, code,
        [&](QIODevice& file) {
            QImage image = blankPngImage(size);
            {
                QPainter painter(&image);
                draw(painter, target);
            }
            return writePngImage(std::move(image), file);
        },
        [&](QIODevice& file) {
            QSvgGenerator svg;
            svg.setOutputDevice(&file);
            svg.setSize(size);
            svg.setViewBox(target);
            svg.setTitle(QStringLiteral("Varnel curve"));
            svg.setDescription(QStringLiteral("The record, its crossings and its Varnel curve"));
            QPainter painter(&svg);
            draw(painter, target);
            return QString();
        });
}

QString writePlotImage(const QImage& image, const QString& path, int* code)
{
    return writeAs(
        path, code,
        [&](QIODevice& file) {
            QImageWriter writer(&file, "png");
            return writer.write(image) ? QString() : writer.errorString();
        },
        [&](QIODevice& file) {
            const QSize size = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
            QSvgGenerator svg;
            svg.setOutputDevice(&file);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setTitle(QStringLiteral("Varnel curve"));
            QPainter painter(&svg);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
            return QString();
        });
}

}  // namespace plot
