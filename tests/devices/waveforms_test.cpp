// Independent source values at chosen times: each waveform function, the PWL
// table with its repeats (a FOREVER pass that does not advance ends the
// expansion), the noise table and the transient step bound.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compiler/numbering.h"
#include "compiler/options.h"
#include "compiler/setupservices.h"
#include "compiler/sources.h"
#include "core/result.h"
#include "devices/waveforms.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/stateful.h"
#include "tests/compiler/setup_fixture.h"

namespace {

constexpr double kPi = 3.141592653589793;

class WaveformTest : public SetupFixture {
protected:
    SourceRecord* Source(const char* text) {
        int status = 0;
        SourceRecord* record = AddSourceDevice(1, 0, kSourceVoltage, 0.0, &status);
        EXPECT_NE(record, nullptr);
        EXPECT_EQ(ParseStimulus(record, text, true, nullptr, nullptr), 0) << text;
        return record;
    }
    double At(SourceRecord* s, double t, bool transient = true) {
        SourcePoint at;
        at.time = t;
        at.transient = transient;
        double value = -999;
        EXPECT_EQ(SpiceSourceValue(*s, at, &value), 0);
        return value;
    }
    SourceRecord* Table(const char* text, double stopTime = 1e30, bool display = false) {
        SourceRecord* s = Source(text);
        SourcePoint at;
        at.stopTime = stopTime;
        EXPECT_EQ(BuildPwlTable(*s, at, display), 0) << text;
        return s;
    }
};

TEST_F(WaveformTest, FunctionsAtChosenTimes) {
    const double sffm = 1.0 * std::sin(2 * kPi * 1e3 * 0.3e-3 + 2.0 * std::sin(2 * kPi * 100 * 0.3e-3));
    struct Case {
        const char* text;
        double time;
        double expected;
    } cases[] = {
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 0.5e-6, 0.0},  // in the delay
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 1.5e-6, 2.5},  // half way up
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 4e-6, 5.0},
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 7.5e-6, 2.5},  // half way down
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 10e-6, 0.0},
        {"PULSE(0 5 1U 1U 1U 5U 20U)", 21.5e-6, 2.5},  // the next period
        {"PULSE(1 5 0 1N 1N 1U 0)", 0.5e-6, 1.0},      // no period: the first level throughout
        {"SIN(1 2 1K 1M)", 0.5e-3, 1.0},               // before the delay
        {"SIN(1 2 1K 1M)", 1.25e-3, 3.0},
        {"SIN(0 1 1K 0 100 90)", 1e-3, std::exp(-0.1)},  // damped, phase in degrees
        {"EXP(0 1 1U 1U 5U 2U)", 0.5e-6, 0.0},
        {"EXP(0 1 1U 1U 5U 2U)", 2e-6, 1.0 - std::exp(-1.0)},
        {"EXP(0 1 1U 1U 5U 2U)", 6e-6, std::exp(-0.5) - std::exp(-5.0)},
        {"SFFM(0 1 1K 2 100)", 0.3e-3, sffm},
        {"DC 0.5 GAUSSIAN(1 5U 2U)", 5e-6, 1.5},
        {"DC 0.5 GAUSSIAN(1 5U 2U)", 6e-6, 1.0},  // half of A at half the width
        {"DC 0.5 GAUSSIAN(1 5U 2U 10U)", 16e-6, 1.0},
        {"DC 2", 1.0, 2.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(At(Source(c.text), c.time), c.expected, 1e-4) << c.text << " @ " << c.time;
}

TEST_F(WaveformTest, OutsideTransientRunsWaveformsStartFromTheDcValue) {
    SourceRecord* pulse = Source("DC 2 PULSE(0 5 1U 1U 1U 5U 20U)");
    EXPECT_DOUBLE_EQ(At(pulse, 0.0, false), 2.0);
    EXPECT_DOUBLE_EQ(At(pulse, 0.0, true), 0.0);
    // Whatever the time the bias is asked at, and whatever the waveform holds there.
    EXPECT_DOUBLE_EQ(At(Source("3 SIN(0 1 1K 0 0 90)"), 0.4e-3, false), 3.0);
    // Without a DC value the bias is where the waveform starts.
    EXPECT_DOUBLE_EQ(At(Source("PULSE(1 5 1U 1U 1U 5U 20U)"), 0.0, false), 1.0);
    EXPECT_DOUBLE_EQ(At(Source("SIN(0.5 1 1K 0 0 90)"), 0.4e-3, false), 1.5);
}

TEST_F(WaveformTest, PwlStepsAndRepeats) {
    SourceRecord* step = Table("PWL(0 0 1M 5 1M 0 2M 0)");
    EXPECT_DOUBLE_EQ(At(step, 1e-3), 5.0);
    EXPECT_DOUBLE_EQ(At(step, 1.000001e-3), 0.0);
    EXPECT_DOUBLE_EQ(At(step, 0.5e-3), 2.5);
    EXPECT_DOUBLE_EQ(At(step, 3e-3), 0.0);

    struct Case {
        const char* text;
        double stopTime;
        bool display;
        std::vector<double> times;
        std::vector<double> values;
    } cases[] = {
        {"PWL REPEAT FOR 2 (0,0) (1M,5) ENDREPEAT", 1e30, false, {0, 1e-3, 1e-3, 2e-3}, {0, 5, 0, 5}},
        {"PWL TIME_SCALE_FACTOR=2 VALUE_SCALE_FACTOR=3 (0,0) (1M,1)", 1e30, false, {0, 2e-3}, {0, 3}},
        // Forever: up to the first point beyond the stop time, or three passes when shown.
        {"PWL REPEAT FOREVER (0,0) (1M,5) ENDREPEAT",
         2.5e-3,
         false,
         {0, 1e-3, 1e-3, 2e-3, 2e-3, 3e-3},
         {0, 5, 0, 5, 0, 5}},
        {"PWL REPEAT FOREVER (0,0) (1M,5) ENDREPEAT",
         1e30,
         true,
         {0, 1e-3, 1e-3, 2e-3, 2e-3, 3e-3},
         {0, 5, 0, 5, 0, 5}},
        // A pass that does not advance the time ends the expansion.
        {"PWL REPEAT FOREVER (0,1) ENDREPEAT", 1e30, false, {0}, {1}},
        {"PWL (0,1) REPEAT FOREVER (0,2) (0,3) ENDREPEAT", 1e30, false, {0, 0, 0}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SourceRecord* s = Table(c.text, c.stopTime, c.display);
        ASSERT_EQ(s->tableTimes.size(), c.times.size()) << c.text;
        for (size_t i = 0; i < c.times.size(); ++i) {
            EXPECT_NEAR(s->tableTimes[i], c.times[i], 1e-15) << c.text << " point " << i;
            EXPECT_DOUBLE_EQ(s->tableValues[i], c.values[i]) << c.text << " point " << i;
        }
    }

    // Times that go back are refused when the lookup meets them.
    SourceRecord* back = Table("PWL (0,0) (2M,1) (1M,2)");
    SourcePoint at;
    at.time = 3e-3;
    double value = 0;
    EXPECT_EQ(PwlValue(*back, at, &value), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10631});
}

TEST_F(WaveformTest, NoiseTablesAreRepeatableAndRestoreTheSeed) {
    const uint32_t seed = RandomSeed;
    SourceRecord* noise = Table("DC 1 NOISE(1U 2 0 10U 7)");
    EXPECT_EQ(RandomSeed, seed);
    ASSERT_EQ(noise->tableTimes.size(), 14u);  // 11 samples between two DC points at each end
    const std::vector<double> first = noise->tableValues;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_GE(first[i], 0.0);
        EXPECT_LE(first[i], 2.0);
        if (i) {
            EXPECT_GE(noise->tableTimes[i], noise->tableTimes[i - 1]);
        }
    }
    EXPECT_DOUBLE_EQ(first.front(), 1.0);
    EXPECT_DOUBLE_EQ(first.back(), 1.0);
    SourcePoint at;
    ASSERT_EQ(BuildPwlTable(*noise, at, false), 0);
    EXPECT_EQ(noise->tableValues, first);

    SourceRecord* flat = Table("DC 1 NOISE(1U 2 10U 5U 7)");  // stops before it starts
    EXPECT_EQ(flat->tableValues, (std::vector<double>{1, 1, 1}));
    at.time = 20e-6;
    EXPECT_DOUBLE_EQ(At(flat, 20e-6), 1.0);
}

TEST_F(WaveformTest, SineWaveformsBoundTheTimeStep) {
    EXPECT_EQ(SourceMaxStep(*compiled_), 1e30);
    Source("SIN(0 1 1K)");
    Source("SFFM(0 1 10K 2 50K)");
    Source("PULSE(0 1 0 1N 1N 1U 2U)");
    EXPECT_DOUBLE_EQ(SourceMaxStep(*compiled_), 0.1 / 50e3);
    double spice[7];
    const double model[7] = {0, 5, 1e-7, 1.1e-7, 5e-7, 5.1e-7, 1e-6};
    PulseModelToSpicePulse(spice, model);
    EXPECT_NEAR(spice[3], 1e-8, 1e-20);    // TR
    EXPECT_NEAR(spice[4], 1e-8, 1e-20);    // TF
    EXPECT_NEAR(spice[5], 3.9e-7, 1e-20);  // PW
}

TEST_F(WaveformTest, UntriggeredTablesRunFromTheFirstLatchedTime) {
    SourceRecord* s = Table("PWL (0,0) (1M,5)");
    s->triggered = 1;
    s->triggerTime = 7.0;
    ResetPwlTriggers(*compiled_, 0.0);
    EXPECT_EQ(s->triggered, 0);
    EXPECT_EQ(s->triggerTime, 0.0);
    // Without a trigger the first latch holds: later points keep its time.
    LatchPwlTriggers(*compiled_, 0.0);
    LatchPwlTriggers(*compiled_, 0.5e-3);
    EXPECT_EQ(s->triggered, 1);
    EXPECT_EQ(s->triggerTime, 0.0);
    EXPECT_DOUBLE_EQ(At(s, 0.5e-3), 2.5);
    // A run whose first point is later starts its table there.
    ResetPwlTriggers(*compiled_, 0.0);
    LatchPwlTriggers(*compiled_, 0.2e-3);
    EXPECT_DOUBLE_EQ(At(s, 0.7e-3), 2.5);
    SourcePoint at;
    at.time = 0.7e-3;
    ASSERT_EQ(UpdateSourceValues(*compiled_, at), 0);
    EXPECT_DOUBLE_EQ(s->working, 2.5);
}

TEST_F(WaveformTest, PulseAndSineSourcesDriveTheirUpdatedValue) {
    Model(".MODEL PM PUL (VZERO=1 VONE=5 P1=1U P2=2U P3=5U P4=6U P5=10U)");
    Model(".MODEL SM SIN (F=1K A=2 DC=0.5 RS=1)");
    SchematicObject* pulse = AddPart(kTypePulseSource, "V1", nullptr, {1, 0});
    SetAttribute(doc_.get(), pulse, kAttrModel, "PM");
    SchematicObject* sine = AddPart(kTypeSineSource, "V2", nullptr, {2, 0});
    SetAttribute(doc_.get(), sine, kAttrModel, "SM");
    AddPart(kTypeResistor, "R1", "1K", {1, 0});
    AddPart(kTypeResistor, "R2", "999", {2, 0});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    ASSERT_GT(NumberSimulatorObjects(compiled_), 0);
    SimulatorState state;
    ASSERT_EQ(AttachCircuit(state, compiled_, *GetCircuitOptions(doc_.get())), 0);
    SourcePoint at;
    at.time = 3e-6;
    ASSERT_EQ(UpdateSourceValues(*compiled_, at), 0);
    ASSERT_EQ(BuildAnalysisMatrix(state, nullptr, true, state.DcPair), 0);
    state.MatrixBuilt = 1;
    state.OperatingPointActive = 1;
    state.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state, nullptr, 50, state.Options.gmin), 0);
    EXPECT_EQ(state.Cursor.Position(), state.Entries()->Size());
    EXPECT_NEAR(state.Solution[1], 5.0, 1e-9);
    const double sineValue = 0.5 + 2.0 * std::sin(2 * kPi * 1e3 * 3e-6);
    // The load resistor (its value as the set-up left it) divides with the
    // sine's series resistance of 1 ohm.
    const double load = Records<ResistorRecord>(kListResistors).back()->working;
    EXPECT_NEAR(state.Solution[3], sineValue, 1e-9);
    EXPECT_NEAR(state.Solution[2], sineValue * load / (load + 1.0), 1e-9);
    FreeAnalysisMatrices(state);
}

}  // namespace
