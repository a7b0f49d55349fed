// The start-up registry: steps run by phase, within a phase in the order they
// were added; failures are ignored, reported or end the phase as registered.
#include "core/startup_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> sr_ran;

StartupStepFunction sr_Step(const std::string& name, int result = 0) {
    return [name, result] {
        sr_ran.push_back(name);
        return result;
    };
}

TEST(StartupRegistryTest, PhasesRunInTheirOrderAndStepsInRegistrationOrder) {
    StartupRegistry registry;
    // Added out of phase order, as subsystems register in subsystem order.
    registry.Add(StartupPhase::kComponents, "expr: seed", sr_Step("expr: seed"));
    registry.Add(StartupPhase::kWindows, "shell: palettes", sr_Step("shell: palettes"));
    registry.Add(StartupPhase::kNumbers, "expr: fp", sr_Step("expr: fp"));
    registry.Add(StartupPhase::kWindows, "library: palettes", sr_Step("library: palettes"));
    registry.Add(StartupPhase::kApplication, "expr: symbols", sr_Step("expr: symbols"));

    EXPECT_EQ(registry.Names(), (std::vector<std::string>{"expr: symbols", "expr: fp", "shell: palettes",
                                                          "library: palettes", "expr: seed"}));
    EXPECT_EQ(registry.Names(StartupPhase::kWindows),
              (std::vector<std::string>{"shell: palettes", "library: palettes"}));
    EXPECT_TRUE(registry.Names(StartupPhase::kLibraries).empty());

    sr_ran.clear();
    for (StartupPhase phase : {StartupPhase::kApplication, StartupPhase::kTables, StartupPhase::kNumbers,
                               StartupPhase::kWindows, StartupPhase::kComponents})
        EXPECT_EQ(registry.Run(phase), 0);
    EXPECT_EQ(sr_ran, registry.Names());
}

TEST(StartupRegistryTest, ADuplicateNameOrAnEmptyStepIsRefused) {
    StartupRegistry registry;
    EXPECT_TRUE(registry.Add(StartupPhase::kDefaults, "shell: preferences", sr_Step("first")));
    EXPECT_FALSE(registry.Add(StartupPhase::kDefaults, "shell: preferences", sr_Step("second")));
    EXPECT_FALSE(registry.Add(StartupPhase::kWindows, "shell: preferences", sr_Step("third")));
    EXPECT_FALSE(registry.Add(StartupPhase::kWindows, "nothing", StartupStepFunction{}));
    EXPECT_EQ(registry.Count(), 1u);
    EXPECT_TRUE(registry.Has("shell: preferences"));
    EXPECT_FALSE(registry.Has("nothing"));

    sr_ran.clear();
    registry.Run(StartupPhase::kDefaults);
    registry.Run(StartupPhase::kWindows);
    EXPECT_EQ(sr_ran, std::vector<std::string>{"first"});
}

TEST(StartupRegistryTest, FailuresAreIgnoredReportedOrFatalAsRegistered) {
    StartupRegistry registry;
    registry.Add(StartupPhase::kLibraries, "ignored", sr_Step("ignored", 15009), StartupFailure::kIgnore);
    registry.Add(StartupPhase::kLibraries, "reported", sr_Step("reported", 15022), StartupFailure::kReport);
    registry.Add(StartupPhase::kLibraries, "fatal", sr_Step("fatal", 15002), StartupFailure::kFatal);
    registry.Add(StartupPhase::kLibraries, "after", sr_Step("after"));

    std::vector<int> reported;
    sr_ran.clear();
    EXPECT_EQ(registry.Run(StartupPhase::kLibraries, [&](int code) { reported.push_back(code); }), 15002);
    EXPECT_EQ(reported, std::vector<int>{15022});
    EXPECT_EQ(sr_ran, (std::vector<std::string>{"ignored", "reported", "fatal"}));

    // Without a reporter a reported failure is dropped and the phase goes on.
    StartupRegistry quiet;
    quiet.Add(StartupPhase::kComponents, "reported", sr_Step("reported", 15022), StartupFailure::kReport);
    quiet.Add(StartupPhase::kComponents, "after", sr_Step("after"));
    sr_ran.clear();
    EXPECT_EQ(quiet.Run(StartupPhase::kComponents), 0);
    EXPECT_EQ(sr_ran, (std::vector<std::string>{"reported", "after"}));
}

}  // namespace
