// The timer set up by hand and driven through its accepted points: rising
// crossings of its input count by INCREMENT up to MAX, a held input counts
// once, the reset pin returns the count to INITIAL, and the elapsed output
// measures from the last count.
#include <gtest/gtest.h>

#include <vector>

#include "compiler/devexpr.h"
#include "devices/behavioural.h"
#include "engine/state.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class TimerTest : public SetupFixture {};

TEST_F(TimerTest, CountsRisingCrossingsUpToItsMaximumAndResets) {
    SchematicObject* part = AddPart(146, "T1", nullptr, {1, 2, 3, 4});
    AddPart(kTypeResistor, "R1", "1K", {5, 0});  // node 5: the input
    SetAttribute(doc_.get(), part, 80, "V(5)");
    SetAttribute(doc_.get(), part, 81, "2");  // ELAPSED_SCALE
    SetAttribute(doc_.get(), part, 82, "1");  // INCREMENT
    SetAttribute(doc_.get(), part, 83, "0");  // INITIAL
    SetAttribute(doc_.get(), part, 85, "3");  // MAX
    ASSERT_EQ(Process(), 0);
    std::vector<TimerRecord*> timers = Records<TimerRecord>(kListTimers);
    ASSERT_EQ(timers.size(), 1u);
    TimerRecord& timer = *timers[0];
    ASSERT_EQ(Records<SourceRecord>(kListSpiceSources).size(), 3u);
    compiled_->solution.assign(8, 0.0);
    int status = 0;
    CompileDeviceExpression(doc_.get(), &timer.input, 0, part, &status, nullptr, 0);
    ASSERT_EQ(status, 0);

    SimulatorState state;
    state.Circuit = compiled_;
    state.Solution.assign(8, 0.0);
    ResetTimers(state, 0.0);
    TimerLoads loads;
    struct Step {
        double time, input, reset;
        double count, lastCount;
    } steps[] = {
        {1.0, 1.0, 0.0, 1.0, 1.0},   {2.0, 1.0, 0.0, 1.0, 1.0},  // held high: one count
        {3.0, 0.5, 0.0, 1.0, 1.0},                               // not low enough to re-arm
        {4.0, 1.0, 0.0, 1.0, 1.0},   {5.0, 0.0, 0.0, 1.0, 1.0},  // low: armed again
        {6.0, 1.0, 0.0, 2.0, 6.0},   {7.0, 0.0, 0.0, 2.0, 6.0},   {8.0, 1.0, 0.0, 3.0, 8.0},
        {9.0, 0.0, 0.0, 3.0, 8.0},   {10.0, 1.0, 0.0, 3.0, 10.0},  // held at MAX
        {11.0, 0.0, 1.0, 0.0, 10.0},                               // reset pin high
    };
    for (const Step& s : steps) {
        state.Time = s.time;
        state.Solution[5] = s.input;
        state.Solution[4] = s.reset;
        ASSERT_EQ(loads.Load(state), 0);
        UpdateTimers(state);
        EXPECT_EQ(timer.count, s.count) << s.time;
        EXPECT_EQ(timer.outputs[1]->dcValue, s.count) << s.time;
        EXPECT_EQ(timer.outputs[2]->dcValue, s.lastCount) << s.time;
    }
    state.Time = 12.5;
    ASSERT_EQ(loads.Load(state), 0);
    EXPECT_DOUBLE_EQ(timer.outputs[0]->dcValue, (12.5 - 10.0) * 2.0);
}

}  // namespace
