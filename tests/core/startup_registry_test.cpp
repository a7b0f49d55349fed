// The start-up registry: steps run by phase, within a phase in the order they
// were added; failures are ignored, reported or end the phase as registered.
#include "core/startup_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Steps that write their name into the fixture's log when they run.
class StartupRegistryTest : public ::testing::Test {
protected:
    StartupStepFunction Step(const std::string& name, int result = 0) {
        return [this, name, result] {
            ran.push_back(name);
            return result;
        };
    }

    std::vector<std::string> ran;
};

TEST_F(StartupRegistryTest, PhasesRunInTheirOrderAndStepsInRegistrationOrder) {
    StartupRegistry registry;
    // Added out of phase order, as subsystems register in subsystem order.
    registry.Add(StartupPhase::kComponents, "expr: seed", Step("expr: seed"));
    registry.Add(StartupPhase::kWindows, "shell: palettes", Step("shell: palettes"));
    registry.Add(StartupPhase::kNumbers, "expr: fp", Step("expr: fp"));
    registry.Add(StartupPhase::kWindows, "library: palettes", Step("library: palettes"));
    registry.Add(StartupPhase::kApplication, "expr: symbols", Step("expr: symbols"));

    EXPECT_EQ(registry.Names(), (std::vector<std::string>{"expr: symbols", "expr: fp", "shell: palettes",
                                                          "library: palettes", "expr: seed"}));
    EXPECT_EQ(registry.Names(StartupPhase::kWindows),
              (std::vector<std::string>{"shell: palettes", "library: palettes"}));
    EXPECT_TRUE(registry.Names(StartupPhase::kLibraries).empty());

    ran.clear();
    for (StartupPhase phase : {StartupPhase::kApplication, StartupPhase::kTables, StartupPhase::kNumbers,
                               StartupPhase::kWindows, StartupPhase::kComponents})
        EXPECT_EQ(registry.Run(phase), 0);
    EXPECT_EQ(ran, registry.Names());
}

TEST_F(StartupRegistryTest, ADuplicateNameOrAnEmptyStepIsRefused) {
    StartupRegistry registry;
    EXPECT_TRUE(registry.Add(StartupPhase::kDefaults, "shell: preferences", Step("first")));
    EXPECT_FALSE(registry.Add(StartupPhase::kDefaults, "shell: preferences", Step("second")));
    EXPECT_FALSE(registry.Add(StartupPhase::kWindows, "shell: preferences", Step("third")));
    EXPECT_FALSE(registry.Add(StartupPhase::kWindows, "nothing", StartupStepFunction{}));
    EXPECT_EQ(registry.Count(), 1u);
    EXPECT_TRUE(registry.Has("shell: preferences"));
    EXPECT_FALSE(registry.Has("nothing"));

    ran.clear();
    registry.Run(StartupPhase::kDefaults);
    registry.Run(StartupPhase::kWindows);
    EXPECT_EQ(ran, std::vector<std::string>{"first"});
}

TEST_F(StartupRegistryTest, FailuresAreIgnoredReportedOrFatalAsRegistered) {
    StartupRegistry registry;
    registry.Add(StartupPhase::kLibraries, "ignored", Step("ignored", 15009), StartupFailure::kIgnore);
    registry.Add(StartupPhase::kLibraries, "reported", Step("reported", 15022), StartupFailure::kReport);
    registry.Add(StartupPhase::kLibraries, "fatal", Step("fatal", 15002), StartupFailure::kFatal);
    registry.Add(StartupPhase::kLibraries, "after", Step("after"));

    std::vector<int> reported;
    ran.clear();
    EXPECT_EQ(registry.Run(StartupPhase::kLibraries, [&](int code) { reported.push_back(code); }), 15002);
    EXPECT_EQ(reported, std::vector<int>{15022});
    EXPECT_EQ(ran, (std::vector<std::string>{"ignored", "reported", "fatal"}));

    // Without a reporter a reported failure is dropped and the phase goes on.
    StartupRegistry quiet;
    quiet.Add(StartupPhase::kComponents, "reported", Step("reported", 15022), StartupFailure::kReport);
    quiet.Add(StartupPhase::kComponents, "after", Step("after"));
    ran.clear();
    EXPECT_EQ(quiet.Run(StartupPhase::kComponents), 0);
    EXPECT_EQ(ran, (std::vector<std::string>{"reported", "after"}));
}

}  // namespace
