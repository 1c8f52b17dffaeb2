#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace plot {

// The ticks of one axis: values at whole multiples of a round step (1, 2 or 5 times a power
// of ten) inside [low, high].
struct AxisTicks
{
    double step = 0;
    std::vector<double> values;
};

// The finest round step whose ticks leave every label room: on an axis `pixels` long, the
// distance between neighbouring ticks must exceed the larger of the two labels' extents
// (`labelExtent`, in pixels along the axis) plus `gap`. No ticks for an empty or
// non-finite range.
AxisTicks roundTicks(double low, double high, double pixels,
    const std::function<double(const QString&)>& labelExtent, double gap = 8);

// A tick's label: the value without the noise of binary fractions ("0.3", not
// "0.30000000000000004"), and 0 written as "0".
QString tickLabel(double value, double step);

}  // namespace plot
