#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QPaintDevice;
class QPainter;

namespace plot {

enum class PictureFormat
{
    Png,
    Svg,
    Pdf
};

// The format a picture's name asks for by its extension (any letter case), if any.
std::optional<PictureFormat> pictureFormatOf(const QString& path);

// Paints a picture into the given rectangle of the painter's device.
using PictureDrawing = std::function<void(QPainter& painter, const QRect& target)>;

// A picture's size in pixels and how many of them make an inch. The plot's text is sized in
// points and its lines follow the text, so more pixels to the inch draw them larger.
struct PictureSize
{
    QSize pixels;
    int dotsPerInch = 96;
    // Device pixels to each of `pixels` in a PNG, whose file then states dotsPerInch ×
    // pixelRatio: the same picture with its lines as crisp as on a high-DPI screen.
    int pixelRatio = 1;
};

// A picture of at most 64 M pixels (256 MB as an image): enough for any report or poster.
inline constexpr int kLargestPictureSide = 8192;
// From a coarse preview to print.
inline constexpr int kLowestPictureResolution = 48;
inline constexpr int kHighestPictureResolution = 1200;

// The file of a picture: a PNG of those pixels, an SVG of that size, a PDF whose page is the
// picture, each at the same pixels to the inch, so the three look alike. Empty when the
// picture could not be made, `error` then says why.
QByteArray pictureFile(const PictureDrawing& draw, const PictureSize& size, PictureFormat format,
    QString* error = nullptr);

// Paints a picture onto the device itself, for a painter of its own (PlotCanvas keeps one).
using PicturePainting = std::function<void(QPaintDevice& device, const QRect& target)>;

// The same for a painting of the device, with `description` in an SVG when not empty.
QByteArray pictureFile(const PicturePainting& paint, const PictureSize& size, PictureFormat format,
    const QString& description, QString* error = nullptr);

}  // namespace plot
