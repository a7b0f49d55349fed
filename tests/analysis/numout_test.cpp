#include "analysis/numout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/memory.h"
#include "document/cfanalysis.h"
#include "tests/support/tempdir.h"

namespace {

TEST(AnalysisFileNames, TakeTheKindLetterAndSuffix) {
    EXPECT_EQ(MakeAnalysisFileName("/d/AMP.CIR", 0, "NO", false), "/d/AMP.TNO");
    EXPECT_EQ(MakeAnalysisFileName("/d/AMP.CIR", 3, "NO", false), "/d/AMP.WNO");
    EXPECT_EQ(MakeAnalysisFileName("/d/AMP.CKT", 0, "SA", true), "/d/AMP_CKT.TSA");
    EXPECT_EQ(MakeAnalysisFileName("/d/amp.tno", 0, "NO", false), "/d/amp.tno");
    EXPECT_EQ(MakeAnalysisFileName("/d.x/AMP", 1, "NO", false), "/d.x/AMP.ANO");
    const std::string deep = "/" + std::string(400, 'a') + "/c.cir";
    EXPECT_EQ(MakeAnalysisFileName(deep, 2, "NO", false), "/" + std::string(400, 'a') + "/c.DNO");
}

std::string Unix(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

class NumericOutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        out_.SetPath(dir_.File("amp.TNO"));
        ParseFormatSpec(&out_.valueFormat, "3");
    }
    std::string Content() { return Unix(twtest::ReadWholeFile(out_.Path())); }
    twtest::TempDir dir_{"tw_numout"};
    NumericOutput out_;
};

TEST_F(NumericOutputFile, IsCreatedOnlyWhenWantedAndAnEmptyOneIsRemoved) {
    ASSERT_EQ(out_.Begin(false), 0);
    EXPECT_FALSE(out_.IsOpen());
    EXPECT_FALSE(out_.RemoveIfEmpty());
    ASSERT_EQ(out_.Begin(true), 0);
    ASSERT_TRUE(out_.IsOpen());
    out_.Close();
    EXPECT_TRUE(out_.RemoveIfEmpty());
    EXPECT_EQ(twtest::ReadWholeFile(out_.Path()), "");
}

TEST_F(NumericOutputFile, AMessageRoutedAfterTheRunClosedTheFileIsAppended) {
    ASSERT_EQ(out_.Begin(true), 0);
    out_.headerWritten = true;
    out_.Printf("run 1\n");
    out_.Close();
    SetRoutedNumericOutput(&out_);
    EXPECT_TRUE(RouteMessageToNumericOutput("Warning:", "late"));
    SetRoutedNumericOutput(nullptr);
    EXPECT_FALSE(RouteMessageToNumericOutput("Warning:", "lost"));
    EXPECT_FALSE(out_.IsOpen());
    EXPECT_EQ(Content(), "run 1\nWarning: late\n");
    EXPECT_TRUE(out_.messagesWritten);
    EXPECT_FALSE(out_.RemoveIfEmpty());
}

TEST_F(NumericOutputFile, LimitsHeaderNamesTheTemperatureMethod) {
    AnalysisSettings settings;
    AnalysisKindSettings& tran = settings.kinds[0];
    const char* texts[] = {"1u", "0", "51", "100,0,25"};
    for (int i = 0; i < 4; ++i) SetString(&tran.limits[i], texts[i]);
    tran.temperatureType = 2;
    tran.optionWord = 0x40;
    ASSERT_EQ(out_.Begin(true), 0);
    out_.WriteLimitsHeader(tran, 0);
    out_.Close();
    EXPECT_EQ(Content(),
              "\nLimits\n======\n"
              "Time Range           1u\n"
              "Maximum Time Step    0\n"
              "Number of Points     51\n"
              "Temperature          Log 100,0,25\n"
              "Run Options          Normal\n"
              "State Variables      Zero\n"
              "Operating Point      On\n"
              "Operating Point Only Off\n");
}

// A transient run of four stored points: T, V(1) and a curve of a stateful
// expression whose first two rows have no value.
class FakeRun : public CurvePointSource {
public:
    double Value(int column, int index) override { return columns.at(column).at(static_cast<size_t>(index)); }
    std::string DigitalText(const NumericCurve&, double value) override { return value > 0.5 ? "1" : "0"; }
    std::map<int, std::vector<double>> columns = {
        {0, {0, 1e-6, 2e-6, 3e-6}},
        {1, {0, 1, 2, 3}},
        {2, {5, 5, 5, 5}},
    };
};

TEST_F(NumericOutputFile, ASmallRunIsLaidOutLineByLine) {
    out_.width = 80;
    ASSERT_EQ(out_.Begin(true), 0);
    out_.WriteSectionTitle("Warnings");
    out_.WriteCaptionBox("Temperature=27\n");

    OperatingPointData op;
    op.nodeNames = {"1", "2", "OUT", ""};
    op.nodeVoltages = {1, 2.5, -0.25, 0};
    op.inductorNames = {"L1"};
    op.inductorCurrents = {1e-3};
    out_.WriteOperatingPoint(op);

    DeviceTableSection resistors;
    resistors.title = "Resistor Devices";
    resistors.labelWidth = 13;
    resistors.usingModelRow = false;
    DeviceTableRow heading;
    heading.kind = DeviceTableRow::kHeading;
    heading.label = "\nPower Terms:";
    DeviceTableRow pd;
    pd.label = "PD";
    for (int i = 1; i <= 6; ++i) {
        resistors.names.push_back("R" + std::to_string(i));
        resistors.models.push_back("");
        resistors.hasModel.push_back(false);
        pd.values.push_back(i * 1e-3);
    }
    resistors.rows = {heading, pd};
    out_.WriteDeviceTables({}, {resistors}, false, true, false, false);

    FakeRun run;
    std::vector<NumericCurve> curves(2);
    curves[0].xExpression = "T";
    curves[0].yExpression = "v(1)";
    curves[0].yColumn = 1;
    curves[1].xExpression = "T";
    curves[1].yExpression = "sdt(v(2))";
    curves[1].yColumn = 2;
    curves[1].leadingEmptyRows = 2;
    for (NumericCurve& c : curves) {
        c.lastIndex = 3;
        c.scaleFactorX = c.scaleFactorY = "None";
        ParseFormatSpec(&c.formatX, "3");
        ParseFormatSpec(&c.formatY, "3");
    }
    curves[0].unitsY = "V";
    ChooseCurvePrintColumns(curves);
    EXPECT_TRUE(curves[0].printX);
    EXPECT_FALSE(curves[1].printX);
    out_.curveOutputWanted = true;
    out_.WriteCurveTables(run, curves, 0, 3e-6, 4, false);
    out_.Close();
    EXPECT_EQ(Content(), R"(
Warnings
========


*****************************************************
***                Temperature=27                 ***
*****************************************************

Temperature=27


DC Operating Point Voltages
===========================
Node          Voltage  Node          Voltage  Node          Voltage 
1              1.000   2              2.500   OUT         -250.000m 
mem error      0.000  


DC Operating Point Inductor Current
===================================
 Inductor     Current   Inductor     Current   Inductor     Current 
L1             1.000m 


Resistor Devices
================
Instance:                R1            R2            R3            R4            R5
Power Terms:
PD                   1.000m        2.000m        3.000m        4.000m        5.000m


Instance:                R6
Power Terms:
PD                   6.000m


          T   v(1) sdt(v(2))
               (V)          
      0.000  0.000       N/A
   1.000E-6  1.000       N/A
   2.000E-6  2.000     5.000
   3.000E-6  3.000     5.000
)");
}

}  // namespace

namespace {

TEST(Interpolation, FollowsTheStoredPointsAndItsModes) {
    FakeRun run;
    run.columns[3] = {0, 0, 100, 1000};
    struct Case {
        double x;
        bool hold;
        int yColumn, flags, start;
        double value;
        int index;
    } cases[] = {
        {1.5e-6, false, 1, 0, 0, 1.5, 1},    // inside an interval
        {2e-6, false, 1, 0, 0, 2, 2},        // on a stored point
        {1.5e-6, true, 1, 0, 0, 1, 1},       // held at the point before
        {-1e-6, false, 1, 0, 0, -1, 0},      // before the first point: extrapolated
        {9e-6, false, 1, 0, 0, 3, 3},        // beyond the last point
        {0.5e-6, false, 3, 2, 0, 1e-50, 0},  // log Y between two zeros
        {2.5e-6, false, 3, 2, 0, std::sqrt(1e5), 2},
        {2.5e-6, false, 1, 0, 2, 2.5, 2},  // resumed from a cursor
    };
    for (const Case& c : cases) {
        double value = 0;
        EXPECT_EQ(InterpolateAtX(run, &value, c.x, c.hold, 0, c.yColumn, 3, c.start, c.flags), c.index) << c.x;
        EXPECT_NEAR(value, c.value, 1e-9 * std::max(1.0, std::fabs(c.value))) << c.x;
    }
    EXPECT_DOUBLE_EQ(InterpolateLinear(4, 2, 7, 5, 5), 3);
}

class LogFrequencyRun : public NumericOutputFile {
protected:
    std::string Table(std::vector<double> frequencies) {
        FakeRun run;
        run.columns = {{0, frequencies}, {1, std::vector<double>(frequencies.size(), 1.0)}};
        std::vector<NumericCurve> curves(1);
        curves[0].xExpression = "F";
        curves[0].yExpression = "v(1)";
        curves[0].yColumn = 1;
        curves[0].lastIndex = static_cast<int>(frequencies.size()) - 1;
        ChooseCurvePrintColumns(curves);
        EXPECT_EQ(out_.Begin(true), 0);
        out_.curveOutputWanted = true;
        out_.WriteCurveTables(run, curves, 10, 1000, 3, true);
        out_.Close();
        return Content();
    }
};

TEST_F(LogFrequencyRun, NeedsTwoPointsAndAPositiveStart) {
    EXPECT_EQ(Table({10}), "");
    EXPECT_EQ(Table({10, 100}), "  F v(1)\n        \n");
    EXPECT_EQ(Table({0, 10, 100}), "  F v(1)\n        \n");
    EXPECT_EQ(Table({10, 100, 1000}),
              "          F   v(1)\n                  \n     10.000  1.000\n    100.000  1.000\n   1000.000  1.000\n");
}

}  // namespace
