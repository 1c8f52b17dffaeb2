#include "analysis/analysis_tables.h"

#include <gtest/gtest.h>

#include <limits>

using namespace analysis;

TEST(AnalysisTables, WritesShortestNumbersAndEmptyFields)
{
    CycleRow row { 1, 1, 3, 9, 2, 50, -2, -50, 50, -0.0, 25, 0.1, 1e-300, std::nullopt, 1.0 / 3,
        std::nullopt };
    EXPECT_EQ(cyclesCsv({}),
        "cycle,level,first_point,last_point,u_pos,F_u_pos,u_neg,F_u_neg,F_max,F_min,stiffness,"
        "energy,cumulative_energy,damping,retention_pos,retention_neg\r\n");
    EXPECT_EQ(cyclesCsv({ row }).substr(cyclesCsv({}).size()),
        "1,1,3,9,2,50,-2,-50,50,0,25,0.1,1e-300,,0.3333333333333333,\r\n");

    BackboneRow positive { Side::Positive, 50, 0.5, 100, 50, 0.5, 4, 187.5, 8 };
    positive.ductility = std::numeric_limits<double>::infinity();
    BackboneRow negative;
    negative.side = Side::Negative;
    EXPECT_EQ(backboneCsv(positive, negative),
        "side,peak_load,peak_deformation,elastic_stiffness,yield_load,yield_deformation,"
        "ultimate_deformation,energy_to_ultimate,ductility\r\n"
        "positive,50,0.5,100,50,0.5,4,187.5,\r\n"
        "negative,,,,,,,,\r\n");
}
