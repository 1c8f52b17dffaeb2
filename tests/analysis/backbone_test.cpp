#include "analysis/backbone.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace analysis;

namespace {

// The bilinear curve encloses the same area as the backbone up to Du.
void expectEqualEnergy(const BackboneRow& row)
{
    const double bilinear = *row.yieldLoad * (*row.ultimateDeformation - *row.yieldDeformation / 2);
    EXPECT_NEAR(bilinear, *row.energyToUltimate, 1e-12 * *row.energyToUltimate);
}

bool empty(const BackboneRow& row)
{
    return !(row.peakLoad || row.peakDeformation || row.elasticStiffness || row.yieldLoad
        || row.yieldDeformation || row.ultimateDeformation || row.energyToUltimate
        || row.ductility);
}

}  // namespace

TEST(Backbone, TakesEachLevelsFirstCycleBeyondTheEarlierOnes)
{
    // Levels 2 and 4 fall short of the furthest point before them; the negative side's levels
    // are mirrored.
    const std::vector<EnvelopeRow> envelope { { Side::Positive, 1, 3, 1, 10, 9, 9 },
        { Side::Positive, 2, 3, 0.5, 12, 9, 9 }, { Side::Positive, 3, 3, 2, 20, 9, 9 },
        { Side::Positive, 4, 3, 2, 30, 9, 9 }, { Side::Negative, 1, 3, -1, -10, 9, 9 },
        { Side::Negative, 2, 3, 0, 0, 9, 9 }, { Side::Negative, 3, 3, -3, -5, 9, 9 } };
    EXPECT_EQ(backbonePoints(envelope, Side::Positive),
        (std::vector<PlanePoint> { { 0, 0 }, { 1, 10 }, { 2, 20 } }));
    EXPECT_EQ(backbonePoints(envelope, Side::Negative),
        (std::vector<PlanePoint> { { 0, 0 }, { 1, 10 }, { 3, 5 } }));
    EXPECT_EQ(backbonePoints({}, Side::Positive), (std::vector<PlanePoint> { { 0, 0 } }));
}

TEST(Backbone, UltimateDeformationWhereTheLoadFallsToEightyPercent)
{
    // Pp is the highest load, wherever it lies.
    const BackboneRow row = analyseBackbone(
        { { 0, 0 }, { 1, 10 }, { 2, 20 }, { 3, 15 }, { 4, 10 }, { 5, 30 } }, Side::Positive);
    EXPECT_EQ(*row.peakLoad, 30);
    // Pp = 20 at x = 2; the fall from (2, 20) to (3, 15) reaches 16 at x = 2.8.
    const BackboneRow falling =
        analyseBackbone({ { 0, 0 }, { 1, 10 }, { 2, 20 }, { 3, 15 }, { 4, 10 } }, Side::Negative);
    EXPECT_EQ(falling.side, Side::Negative);
    EXPECT_EQ(*falling.peakDeformation, 2);
    EXPECT_EQ(*falling.elasticStiffness, 10);
    EXPECT_DOUBLE_EQ(*falling.ultimateDeformation, 2.8);
    EXPECT_DOUBLE_EQ(*falling.energyToUltimate, 5 + 15 + 18 * 0.8);
    expectEqualEnergy(falling);
    EXPECT_DOUBLE_EQ(*falling.ductility, *falling.ultimateDeformation / *falling.yieldDeformation);

    // A point exactly at 0.8 Pp is Du itself.
    const BackboneRow exact =
        analyseBackbone({ { 0, 0 }, { 1, 10 }, { 2, 20 }, { 3, 16 }, { 4, 10 } }, Side::Positive);
    EXPECT_EQ(*exact.ultimateDeformation, 3);
    EXPECT_EQ(*exact.energyToUltimate, 5 + 15 + 18);
}

TEST(Backbone, YieldLoadWhenNoBilinearCurveFitsOrJustFits)
{
    // The load climbs far above the elastic line before the end: the area up to Du exceeds the
    // elastic triangle Ke Du^2 / 2, so no yield load gives the same energy.
    const BackboneRow above = analyseBackbone({ { 0, 0 }, { 1, 4 }, { 1.1, 10 } }, Side::Positive);
    EXPECT_EQ(*above.elasticStiffness, 4);
    EXPECT_EQ(*above.yieldLoad, 0.85 * 10);
    EXPECT_EQ(*above.ductility, 1.1 / (0.85 * 10 / 4));

    // One point beyond the origin is its own yield point, though rounding leaves the radicand
    // a hair below 0 for some (the first two here).
    for (const PlanePoint p : { PlanePoint { 1.7, 2.9 }, { 1.1, 1.3 }, { 3, 7 } }) {
        const BackboneRow one = analyseBackbone({ { 0, 0 }, p }, Side::Positive);
        EXPECT_DOUBLE_EQ(*one.yieldLoad, p.y);
        EXPECT_DOUBLE_EQ(*one.ductility, 1);
    }
}

TEST(Backbone, EmptyValuesWithoutALoadOrPastTheDoubleRange)
{
    const std::vector<PlanePoint> cases[] = {
        { { 0, 0 } },  // no point beyond the origin
        { { 0, 0 }, { 1, -5 }, { 2, -10 } },  // no positive load
        { { 0, 0 }, { 1, 0 }, { 2, 0 } },
    };
    for (const std::vector<PlanePoint>& c : cases)
        EXPECT_TRUE(empty(analyseBackbone(c, Side::Positive)));

    // Du^2 overflows: no yield point, the rest stays.
    const BackboneRow huge = analyseBackbone({ { 0, 0 }, { 1e160, 1 } }, Side::Positive);
    EXPECT_EQ(*huge.peakLoad, 1);
    EXPECT_EQ(*huge.ultimateDeformation, 1e160);
    EXPECT_FALSE(huge.yieldLoad || huge.yieldDeformation || huge.ductility);
}
