#pragma once

#include <QRect>

namespace ui {

// Layouts are given in twips; 15 twips make one pixel at 96 dpi and Qt's high-DPI scaling
// does the rest.
constexpr int kTwipsPerPixel = 15;

constexpr int twips(int value)
{
    return value / kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace ui
