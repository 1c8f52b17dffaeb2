#include "analysis/backbone.h"

#include <cmath>

namespace analysis {

namespace {

    std::optional<double> held(double value)
    {
        if (!std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // The x where the segment from a to b meets y = level; b itself when it lies on the level.
    double crossingX(const PlanePoint& a, const PlanePoint& b, double level)
    {
        if (b.y == level)
            return b.x;
        return a.x + (level - a.y) * (b.x - a.x) / (b.y - a.y);
    }

}  // namespace

std::vector<PlanePoint> backbonePoints(const std::vector<EnvelopeRow>& envelope, Side side)
{
    std::vector<PlanePoint> backbone { { 0.0, 0.0 } };
    double furthest = 0.0;  // points at or before the origin never join
    for (const EnvelopeRow& row : envelope) {
        if (row.side != side)
            continue;
        const PlanePoint p = side == Side::Positive ? PlanePoint { row.uFirst, row.fFirst }
                                                    : PlanePoint { -row.uFirst, -row.fFirst };
        if (p.x > furthest) {
            backbone.push_back(p);
            furthest = p.x;
        }
    }
    return backbone;
}

BackboneRow analyseBackbone(const std::vector<PlanePoint>& backbone, Side side)
{
    BackboneRow row;
    row.side = side;
    if (backbone.size() < 2)
        return row;
    std::size_t peak = 0;
    for (std::size_t i = 1; i < backbone.size(); ++i)
        if (backbone[i].y > backbone[peak].y)
            peak = i;
    const double pp = backbone[peak].y;
    if (!(pp > 0.0))
        return row;

    // Elastic stiffness: the secant to where the backbone first reaches 0.4 Pp (the peak does).
    const double elasticLoad = 0.4 * pp;
    std::size_t j = 1;
    while (j < peak && backbone[j].y < elasticLoad)
        ++j;
    const double elasticX = crossingX(backbone[j - 1], backbone[j], elasticLoad);
    const double ke = elasticLoad / elasticX;

    // Ultimate deformation: where the backbone falls to 0.8 Pp after the peak, else its end.
    const double ultimateLoad = 0.8 * pp;
    std::size_t end = peak + 1;
    while (end < backbone.size() && backbone[end].y > ultimateLoad)
        ++end;
    double du = backbone.back().x;
    PlanePoint last = backbone.back();
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

    row.peakLoad = held(pp);
    row.peakDeformation = held(backbone[peak].x);
    row.elasticStiffness = held(ke);
    row.ultimateDeformation = held(du);
    row.energyToUltimate = held(area);

    // With a single point beyond the origin the radicand is 0 but for rounding, which may leave
    // it a hair below; one that overflows gives no yield point at all.
    const double duSquared = du * du;
    const double radicand = duSquared - 2 * area / ke;
    if (!std::isfinite(radicand))
        return row;
    double py = 0.85 * pp;
    if (radicand >= 0.0)
        py = ke * (du - std::sqrt(radicand));
    else if (radicand >= -1e-12 * duSquared)
        py = ke * (du - std::sqrt(0.0));
    const double dy = py / ke;
    row.yieldLoad = held(py);
    row.yieldDeformation = held(dy);
    row.ductility = held(du / dy);
    return row;
}

}  // namespace analysis
