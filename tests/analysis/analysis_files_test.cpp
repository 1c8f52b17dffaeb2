#include "analysis/analysis_tables.h"
#include "analysis/curve_sides.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

using namespace analysis;

namespace {

const std::string kExamples = TEST_DATA_DIR "/examples/";

// A file with the given bytes in a fresh folder, removed with the folder.
class ScratchFile
{
public:
    explicit ScratchFile(const std::string& bytes)
    {
        std::random_device rd;
        m_folder = std::filesystem::temp_directory_path()
            / ("varnel-analysis-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_folder);
        std::ofstream(path(), std::ios::binary) << bytes;
    }

    ~ScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    std::string path() const
    {
        return (m_folder / "curve.vnl").string();
    }

private:
    std::filesystem::path m_folder;
};

}  // namespace

TEST(CurveSides, BothFileLayoutsOfTheExampleReadAlike)
{
    const CurveSidesRead two = readCurveSides(kExamples + "cyclic_wall_two_files/cyclic_wall.vnp",
        kExamples + "cyclic_wall_two_files/cyclic_wall.vnn");
    ASSERT_TRUE(two) << two.message;
    const CurveSidesRead one =
        readCombinedCurve(kExamples + "cyclic_wall_one_file/cyclic_wall.vnl");
    ASSERT_TRUE(one) << one.message;
    EXPECT_EQ(two.sides.positive.x.size(), 105u);
    EXPECT_EQ(two.sides.negative.x.size(), 148u);
    EXPECT_EQ(two.sides.positive.x[2], -0.0164833);
    EXPECT_EQ(two.sides.negative.x[0], 0.276860277751896);
    EXPECT_EQ(two.sides.negative.y[1], -0.142568);
    for (auto [a, b] : { std::pair { &two.sides.positive, &one.sides.positive },
             std::pair { &two.sides.negative, &one.sides.negative } }) {
        EXPECT_EQ(a->x, b->x);
        EXPECT_EQ(a->y, b->y);
    }
}

TEST(CurveSides, ReportsWhatCannotBeRead)
{
    const CurveSidesRead missing = readCombinedCurve(kExamples + "no_such_file.vnl");
    EXPECT_EQ(missing.failure, run::FailureCode::FileNotFound);

    struct Case
    {
        const char* bytes;
        run::FailureCode failure;
        std::size_t positive;
        std::size_t negative;
    };

    const Case cases[] = {
        { " X-axis        Y-axis\r\n 1  2 \r\n =             =\r\n-1 -2 \r\n\r\n",
            run::FailureCode::None, 1, 1 },
        { "", run::FailureCode::InputPastEnd, 0, 0 },
        { " X-axis        Y-axis\r\n 1  2 \r\n", run::FailureCode::TypeMismatch, 0, 0 },
        { " X-axis        Y-axis\r\n 1  2  3\r\n =             =\r\n",
            run::FailureCode::TypeMismatch, 0, 0 },
        { " X-axis        Y-axis\r\n 1 \r\n =             =\r\n", run::FailureCode::TypeMismatch, 0,
            0 },
        { " X-axis        Y-axis\r\n =             =\r\n 1  inf\r\n",
            run::FailureCode::TypeMismatch, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ScratchFile file(c.bytes);
        const CurveSidesRead read = readCombinedCurve(file.path());
        EXPECT_EQ(read.failure, c.failure);
        EXPECT_EQ(read.message.empty(), c.failure == run::FailureCode::None);
        EXPECT_EQ(read.sides.positive.x.size(), c.positive);
        EXPECT_EQ(read.sides.negative.y.size(), c.negative);
    }
}

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
