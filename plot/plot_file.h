#pragma once

#include "plot/picture_file.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace plot {

class PlotRecording;

// The picture of a run as a file, for reports. Twice the window's picture box in each
// direction; a PNG has two device pixels per logical pixel, so its lines are as crisp as on a
// high-DPI screen.
inline constexpr QSize kPlotFileBox(546, 434);

// A blank image of the PNG picture file, for PlotRecording::drawOnto().
QImage blankPlotFileImage();

// The file format is chosen by the name's extension: ".png" or ".svg" (any letter case).
bool isPlotFileName(const QString& path);
bool isPngFileName(const QString& path);

// Draws `recording` on a white background into `path` (or writes the image it drew onto, which
// can only be a PNG), never through a symbolic link at the
// name. Returns an empty string, or what went wrong in words for the user; `code`, when given,
// gets the file system's error number (ELOOP for a link at the name), or 0.
QString writePlotFile(const PlotRecording& recording, const QString& path, int* code = nullptr);

// The same for a drawing of `size` logical pixels that `draw` makes onto a painter: the PNG at
// two device pixels a logical one, the SVG as vectors.
QString writePlotDrawing(
    const QSize& size, const PictureDrawing& draw, const QString& path, int* code = nullptr);

// The same for a picture already drawn: `image` as it is, in a PNG or embedded in an SVG.
QString writePlotImage(const QImage& image, const QString& path, int* code = nullptr);

}  // namespace plot
