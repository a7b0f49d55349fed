// Transient runs with the real source waveforms and device loads installed:
// a PWL source's corners are accepted points carrying exactly its values, and
// a half-wave rectifier charges its capacitor to the peak less a diode drop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/setup.h"
#include "engine/transient.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class PointHost : public TransientHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState& state, TransientRun&) override {
        times.push_back(state.Time);
        values.push_back(state.Solution[static_cast<size_t>(node)]);
        return 0;
    }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int, double) override { return true; }
    int32_t node = 0;
    std::vector<double> times;
    std::vector<double> values;
    std::vector<int> errors;
};

class TransientRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
        ResetFloatingPointState();
    }
    void TearDown() override {
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
            document_.reset();
        }
        library_.reset();
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }

    // Compiles the deck, sets it up at 27 degrees and runs it; host_.values
    // follow `node`.
    int Run(const std::string& deck, const char* node, const TransientLimits& limits) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
        if (!compiled) return -1;
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        EXPECT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(AttachCircuit(state_, compiled, *GetCircuitOptions(document_.get())), 0);
        host_.node = FindNodeNumber(document_.get(), node, -1, -1);
        EXPECT_GT(host_.node, 0);
        return RunTransient(state_, run_, limits, host_);
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    SimulatorState state_;
    TransientRun run_;
    PointHost host_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

TEST_F(TransientRunTest, PwlCornersAreAcceptedWithTheirValues) {
    TransientLimits limits;
    ASSERT_EQ(Run("PWL divider\nV1 1 0 PWL(0 0 130n 4 170n -2 555n 1)\nR1 1 2 1K\nR2 2 0 1K\n.END\n", "2", limits), 0);
    struct Corner {
        double time, value;
    };
    for (const Corner& c : {Corner{130e-9, 2.0}, Corner{170e-9, -1.0}, Corner{555e-9, 0.5}, Corner{1e-6, 0.5}}) {
        const auto at = std::find_if(host_.times.begin(), host_.times.end(),
                                     [&](double t) { return std::fabs(t - c.time) < 2e-15; });
        ASSERT_NE(at, host_.times.end()) << c.time;
        // (list times are truncated to whole ticks: up to 1 fs early on a 30 MV/s ramp)
        EXPECT_NEAR(host_.values[static_cast<size_t>(at - host_.times.begin())], c.value, 1e-7) << c.time;
    }
}

TEST_F(TransientRunTest, HalfWaveRectifierChargesToThePeakLessADiodeDrop) {
    TransientLimits limits;
    limits.tmax = 3e-3;
    ASSERT_EQ(Run("Rectifier\nV1 1 0 SIN(0 5 1K)\nD1 1 2 DMOD\nC1 2 0 10U\nR1 2 0 10K\n"
                  ".MODEL DMOD D (IS=1E-14)\n.END\n",
                  "2", limits),
              0);
    ASSERT_FALSE(host_.times.empty());
    EXPECT_NEAR(host_.times.back(), 3e-3, 1e-12);
    const double peak = *std::max_element(host_.values.begin(), host_.values.end());
    EXPECT_GT(peak, 5.0 - 0.8);
    EXPECT_LT(peak, 5.0 - 0.5);
    EXPECT_GT(*std::min_element(host_.values.begin(), host_.values.end()), -1e-3);
    // Time constant 100 ms: between peaks the output sags by about 1 %.
    EXPECT_GT(host_.values.back(), 0.97 * peak);
}

}  // namespace
