#pragma once

#include "plot/picture_file.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>
#include <string_view>

namespace plot {

class PlotRecording;

// The picture of a run as a file, for reports. Twice the window's picture box in each
// direction; a PNG has two device pixels per logical pixel, so its lines are as crisp as on a
// high-DPI screen.
inline constexpr QSize kPlotFileBox(546, 434);

// A blank image of the PNG picture file, for PlotRecording::drawOnto().
QImage blankPlotFileImage();

// The file format a picture's name asks for by its extension: ".png" or ".svg" (any letter
// case); none for any other name.
std::optional<PictureFormat> plotFileFormat(std::string_view name);
bool isPlotFileName(const QString& path);
bool isPngFileName(const QString& path);

// The file of `recording`'s picture on a white background: its calls replayed into a PNG or as
// the vectors of an SVG, or the image it was drawn onto, as it is or embedded in an SVG. Empty
// when it could not be made; `error` then says why.
QByteArray plotFile(const PlotRecording& recording, PictureFormat format, QString* error);

// The file of a drawing of `size` logical pixels that `draw` makes onto a painter: the PNG at
// two device pixels a logical one, the SVG as vectors.
QByteArray plotDrawingFile(
    const QSize& size, const PictureDrawing& draw, PictureFormat format, QString* error);

// The file of a picture already drawn: `image` as it is in a PNG, or embedded in an SVG.
QByteArray plotImageFile(const QImage& image, PictureFormat format, QString* error);

}  // namespace plot
