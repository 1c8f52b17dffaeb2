#include "analysis/analysis_tables.h"

#include <gtest/gtest.h>

#include <limits>

using namespace analysis;

TEST(AnalysisTables, WritesShortestNumbersAndEmptyFields)
{
    const double inf = std::numeric_limits<double>::infinity();
    CycleRow row { 1, 2, 1, 3, 9, 2, 50, -2, -50, 50, 2, -0.0, -2, 25, 0.1, 1e-300, std::nullopt,
        inf, -1.5, 1.0 / 3, std::nullopt };
    EXPECT_EQ(cyclesCsv({ row }),
        "cycle,level,cycle_in_level,first_line,last_line,u_pos,F_u_pos,u_neg,F_u_neg,F_max,"
        "u_F_max,F_min,u_F_min,stiffness,energy,cumulative_energy,damping,residual_pos,"
        "residual_neg,retention_pos,retention_neg\r\n"
        "1,2,1,3,9,2,50,-2,-50,50,2,0,-2,25,0.1,1e-300,,,-1.5,0.3333333333333333,\r\n");

    EXPECT_EQ(envelopeCsv({ { Side::Positive, 1, 3, 2, 50, 2.5, 1e21 },
                  { Side::Negative, 1, 3, -2, -50, -2.5, -0.0 } }),
        "side,level,cycles,u_first,F_first,u_last,F_last\r\n"
        "positive,1,3,2,50,2.5,1e+21\r\n"
        "negative,1,3,-2,-50,-2.5,0\r\n");

    BackboneRow positive { Side::Positive, 50, 0.5, 100, 50, 0.5, 4, 187.5, inf };
    BackboneRow negative;
    negative.side = Side::Negative;
    EXPECT_EQ(backboneCsv(positive, negative),
        "side,peak_load,peak_deformation,elastic_stiffness,yield_load,yield_deformation,"
        "ultimate_deformation,energy_to_ultimate,ductility\r\n"
        "positive,50,0.5,100,50,0.5,4,187.5,\r\n"
        "negative,,,,,,,,\r\n");
}
