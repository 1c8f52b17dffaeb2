#include "analysis/backbone.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace analysis;

namespace {

CurveSide side(std::initializer_list<std::pair<double, double>> points, double sign = 1)
{
    CurveSide s;
    for (auto [x, y] : points) {
        s.x.push_back(sign * x);
        s.y.push_back(sign * y);
    }
    return s;
}

// The bilinear curve encloses the same area as the backbone up to Du.
void expectEqualEnergy(const BackboneRow& row)
{
    const double bilinear = *row.yieldLoad * (*row.ultimateDeformation - *row.yieldDeformation / 2);
    EXPECT_NEAR(bilinear, *row.energyToUltimate, 1e-12 * *row.energyToUltimate);
}

}  // namespace

TEST(Backbone, ElasticPlasticSideGivesItsStiffnessAndYield)
{
    // K = 100, Fy = 50; points at or behind the furthest earlier x never join the backbone.
    const auto points = { std::pair { -0.3, -10.0 }, { 0.25, 25.0 }, { 0.5, 50.0 }, { 0.4, 40.0 },
        { 2.0, 50.0 }, { 1.0, -50.0 }, { 3.0, 50.0 }, { 4.0, 50.0 } };
    for (const Side which : { Side::Positive, Side::Negative }) {
        const BackboneRow row =
            analyseBackbone(side(points, which == Side::Negative ? -1 : 1), which);
        EXPECT_EQ(row.side, which);
        EXPECT_EQ(*row.peakLoad, 50);
        EXPECT_EQ(*row.peakDeformation, 0.5);
        EXPECT_EQ(*row.elasticStiffness, 100);
        EXPECT_EQ(*row.ultimateDeformation, 4);
        EXPECT_EQ(*row.energyToUltimate, 0.5 * 50 / 2 + 50 * 3.5);
        EXPECT_EQ(*row.yieldLoad, 50);
        EXPECT_EQ(*row.yieldDeformation, 0.5);
        EXPECT_EQ(*row.ductility, 8);
    }
}

TEST(Backbone, UltimateDeformationWhereTheLoadFallsToEightyPercent)
{
    // Pp is the highest load, wherever it lies.
    const BackboneRow row = analyseBackbone(
        side({ { 1, 10 }, { 2, 20 }, { 3, 15 }, { 4, 10 }, { 5, 30 } }), Side::Positive);
    EXPECT_EQ(*row.peakLoad, 30);
    // Pp = 20 at x = 2; the fall from (2, 20) to (3, 15) reaches 16 at x = 2.8.
    const BackboneRow falling =
        analyseBackbone(side({ { 1, 10 }, { 2, 20 }, { 3, 15 }, { 4, 10 } }), Side::Positive);
    EXPECT_EQ(*falling.peakDeformation, 2);
    EXPECT_EQ(*falling.elasticStiffness, 10);
    EXPECT_DOUBLE_EQ(*falling.ultimateDeformation, 2.8);
    EXPECT_DOUBLE_EQ(*falling.energyToUltimate, 5 + 15 + 18 * 0.8);
    expectEqualEnergy(falling);
    EXPECT_DOUBLE_EQ(*falling.ductility, *falling.ultimateDeformation / *falling.yieldDeformation);

    // A point exactly at 0.8 Pp is Du itself.
    const BackboneRow exact =
        analyseBackbone(side({ { 1, 10 }, { 2, 20 }, { 3, 16 }, { 4, 10 } }), Side::Positive);
    EXPECT_EQ(*exact.ultimateDeformation, 3);
    EXPECT_EQ(*exact.energyToUltimate, 5 + 15 + 18);
}

TEST(Backbone, TakesEightyFivePercentOfPeakWhenNoBilinearCurveFits)
{
    // The load climbs far above the elastic line before the end: the area up to Du exceeds the
    // elastic triangle Ke Du^2 / 2, so no yield load gives the same energy.
    const BackboneRow row = analyseBackbone(side({ { 1, 4 }, { 1.1, 10 } }), Side::Positive);
    EXPECT_EQ(*row.elasticStiffness, 4);
    EXPECT_EQ(*row.ultimateDeformation, 1.1);
    EXPECT_EQ(*row.yieldLoad, 0.85 * 10);
    EXPECT_EQ(*row.yieldDeformation, 0.85 * 10 / 4);
    EXPECT_EQ(*row.ductility, 1.1 / (0.85 * 10 / 4));
}

TEST(Backbone, SideWithoutPositiveLoadOrDeformationIsEmpty)
{
    const CurveSide cases[] = {
        {},
        side({ { -1, 5 }, { 0, 10 } }),  // never beyond the origin
        side({ { 1, -5 }, { 2, -10 } }),  // no positive load
        side({ { 1, 0 }, { 2, 0 } }),
    };
    for (const CurveSide& s : cases) {
        const BackboneRow row = analyseBackbone(s, Side::Positive);
        EXPECT_FALSE(row.peakLoad || row.peakDeformation || row.elasticStiffness || row.yieldLoad
            || row.yieldDeformation || row.ultimateDeformation || row.energyToUltimate
            || row.ductility);
    }
    // The same points mirrored are a full negative side.
    EXPECT_EQ(*analyseBackbone(side({ { -1, -5 }, { -2, -10 } }), Side::Negative).peakLoad, 10);
}
