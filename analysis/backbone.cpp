#include "analysis/backbone.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

    struct Point
    {
        double x;
        double y;
    };

    std::optional<double> held(double value)
    {
        if (!std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // The origin, then every point beyond the origin and beyond every earlier point of the side.
    std::vector<Point> backboneOf(const CurveSide& points, Side side)
    {
        std::vector<Point> backbone { { 0.0, 0.0 } };
        const double sign = side == Side::Negative ? -1.0 : 1.0;
        double furthest = 0.0;  // points at or before the origin never join
        const std::size_t n = std::min(points.x.size(), points.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            const double x = sign * points.x[i];
            if (x > furthest) {
                backbone.push_back({ x, sign * points.y[i] });
                furthest = x;
            }
        }
        return backbone;
    }

    // The x where the segment from a to b meets y = level; b itself when it lies on the level.
    double crossingX(const Point& a, const Point& b, double level)
    {
        if (b.y == level)
            return b.x;
        return a.x + (level - a.y) * (b.x - a.x) / (b.y - a.y);
    }

}  // namespace

BackboneRow analyseBackbone(const CurveSide& points, Side side)
{
    BackboneRow row;
    row.side = side;
    const std::vector<Point> backbone = backboneOf(points, side);
    if (backbone.size() < 2)
        return row;
    std::size_t peak = 0;
    for (std::size_t i = 1; i < backbone.size(); ++i)
        if (backbone[i].y > backbone[peak].y)
            peak = i;
    const double pp = backbone[peak].y;
    if (!(pp > 0.0))
        return row;

    // Elastic stiffness: the secant to where the backbone first reaches 0.4 Pp.
    const double elasticLoad = 0.4 * pp;
    std::size_t j = 1;
    while (backbone[j].y < elasticLoad)
        ++j;
    const double elasticX = crossingX(backbone[j - 1], backbone[j], elasticLoad);
    const double ke = elasticLoad / elasticX;

    // Ultimate deformation: where the backbone falls to 0.8 Pp after the peak, else its end.
    const double ultimateLoad = 0.8 * pp;
    std::size_t end = peak + 1;
    while (end < backbone.size() && backbone[end].y > ultimateLoad)
        ++end;
    double du = backbone.back().x;
    Point last = backbone.back();
    if (end < backbone.size()) {
        du = crossingX(backbone[end - 1], backbone[end], ultimateLoad);
        last = { du, ultimateLoad };
    } else {
        end = backbone.size() - 1;
    }
    // Area from the origin to Du: whole trapezoids up to the point before `end`, then the one
    // cut at Du.
    double area = 0.0;
    for (std::size_t i = 0; i + 1 < end; ++i)
        area += (backbone[i].y + backbone[i + 1].y) / 2 * (backbone[i + 1].x - backbone[i].x);
    area += (backbone[end - 1].y + last.y) / 2 * (last.x - backbone[end - 1].x);

    const double duSquared = du * du;
    const double elasticEnergyRatio = 2 * area / ke;
    double py = 0.85 * pp;
    if (duSquared >= elasticEnergyRatio)
        py = ke * (du - std::sqrt(duSquared - elasticEnergyRatio));
    const double dy = py / ke;

    row.peakLoad = held(pp);
    row.peakDeformation = held(backbone[peak].x);
    row.elasticStiffness = held(ke);
    row.yieldLoad = held(py);
    row.yieldDeformation = held(dy);
    row.ultimateDeformation = held(du);
    row.energyToUltimate = held(area);
    row.ductility = held(du / dy);
    return row;
}

}  // namespace analysis
