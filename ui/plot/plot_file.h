#pragma once

#include <QSize>
#include <QString>

namespace ui {

class PlotRecording;

// The picture of a run as a file, for reports. Twice the window's picture box in each
// direction; a PNG has two device pixels per logical pixel, so its lines are as crisp as on a
// high-DPI screen.
inline constexpr QSize kPlotFileBox(546, 434);

// The file format is chosen by the name's extension: ".png" or ".svg" (any letter case).
bool isPlotFileName(const QString& path);

// Draws `recording` on a white background into `path`. Returns an empty string, or what went
// wrong in words for the user.
QString writePlotFile(const PlotRecording& recording, const QString& path);

}  // namespace ui
