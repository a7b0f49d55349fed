// Function sources in AC runs: a FREQ formula replaces the bias point's
// linearisation (and is itself linearised at the AC solution), and a noise
// formula adds its current density between the output terminals.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "compiler/behavsetup.h"
#include "compiler/devexpr.h"
#include "core/result.h"
#include "engine/acrun.h"
#include "engine/noise.h"
#include "expr/stateful.h"
#include "tests/devices/deck_fixture.h"

namespace {

class FunctionAcHost : public AcHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int PrepareRun(SimulatorState&, AcRun&, double temperature, int32_t) override {
        if (int rc = SetupModelsAtTemperature(*setup, temperature)) return rc;
        return SetupInstancesAtTemperature(*setup, temperature);
    }
    int AcceptAcPoint(SimulatorState& state, AcRun& run) override {
        frequencies.push_back(run.Frequency);
        points.push_back(state.AcSolution);
        if (noise) onoise.push_back(EvaluateNoise(0));
        return 0;
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return false; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }

    TemperatureSetup* setup = nullptr;
    bool noise = false;
    std::vector<double> frequencies, onoise;
    std::vector<std::vector<ComplexNumber>> points;
    std::vector<int> errors;
};

class FunctionSourceAcTest : public DeckOperatingPointFixture {
protected:
    void SetUp() override {
        DeckOperatingPointFixture::SetUp();
        SetAnalysisKind(1);
    }
    // Compiles the deck, then gives its function sources the AC formulas a
    // schematic part would carry (a deck has no syntax for them): `noise`
    // goes to the first only.
    void Compile(const std::string& deck, const char* freq, const char* noise) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        ASSERT_NE(compiled_, nullptr);
        auto sources = Records<FunctionSourceRecord>(kListFunctionSources);
        for (size_t i = 0; i < sources.size(); ++i) {
            FunctionSourceRecord* r = sources[i];
            int status = 0;
            if (freq) {
                r->acValue.pendingText = freq;
                CompileDeviceExpression(document_.get(), &r->acValue, 1, r->part, &status, nullptr, 2);
            }
            if (noise && i == 0) {
                r->noise.pendingText = noise;
                CompileDeviceExpression(document_.get(), &r->noise, 1, r->part, &status, nullptr, 2);
            }
            ASSERT_EQ(status, 0) << LastMessageText();
        }
        ASSERT_EQ(BuildFunctionSourceDependencies(compiled_), 0);
        setup_ = MakeTemperatureSetup(document_.get());
        host_.setup = &setup_;
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    }
    std::complex<double> At(size_t point, const char* node) {
        const int n = FindNodeNumber(document_.get(), node, -1, -1);
        EXPECT_GT(n, 0) << node;
        const ComplexNumber v = host_.points.at(point)[static_cast<size_t>(n)];
        return {v.re, v.im};
    }

    TemperatureSetup setup_;
    FunctionAcHost host_;
    AcRun run_;
};

// V(IN) = 1: the current output follows a first-order low-pass with its
// corner at 1 kHz, as an RC section would; the voltage output's formula is
// nonlinear in V(IN), so the point iterates to the formula's own value
// 1 + 0.5 rather than the bias point's slope.
TEST_F(FunctionSourceAcTest, FreqFormulaSetsTheSmallSignalOutput) {
    Compile(
        "f\nI1 0 IN DC 0 AC 1\nR1 IN 0 1\n"
        "G1 0 LP VALUE={V(IN)}\nR2 LP 0 1\n"
        "E1 SQ 0 VALUE={V(IN)}\nR3 SQ 0 1K\n.END\n",
        nullptr, nullptr);
    auto sources = Records<FunctionSourceRecord>(kListFunctionSources);
    ASSERT_EQ(sources.size(), 2u);
    int status = 0;
    sources[0]->acValue.pendingText = "V(IN)/(1+J*F/1K)";
    CompileDeviceExpression(document_.get(), &sources[0]->acValue, 1, sources[0]->part, &status, nullptr, 2);
    sources[1]->acValue.pendingText = "V(IN)*V(IN)+0.5*V(IN)";
    CompileDeviceExpression(document_.get(), &sources[1]->acValue, 1, sources[1]->part, &status, nullptr, 2);
    ASSERT_EQ(status, 0) << LastMessageText();
    ASSERT_EQ(BuildFunctionSourceDependencies(compiled_), 0);
    ASSERT_EQ(sources[0]->acDependencies.size(), 1u);

    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {10.0, 1e3, 1e5};
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0) << LastMessageText();
    ASSERT_EQ(host_.points.size(), 3u);
    for (size_t i = 0; i < host_.frequencies.size(); ++i) {
        const double f = host_.frequencies[i];
        const std::complex<double> expected = 1.0 / std::complex<double>(1.0, f / 1e3);
        EXPECT_NEAR(std::abs(At(i, "LP") - expected), 0.0, 1e-6) << f;
        EXPECT_NEAR(std::abs(At(i, "SQ") - 1.5), 0.0, 1e-6) << f;
    }
}

// The noise formula's value is the density itself, in A per root hertz,
// beside the load resistor's thermal noise.
TEST_F(FunctionSourceAcTest, NoiseFormulaAddsItsDensityToOutputNoise) {
    Compile("n\nI1 0 OUT DC 0 AC 1\nG1 0 OUT VALUE={0}\nR1 OUT 0 1K\n.END\n", nullptr, "1N/(1+F/1K)");
    host_.noise = true;
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3, 1e5};
    limits.noise = true;
    limits.temperatures = {27.0};
    limits.noiseOutput1 = FindNodeNumber(document_.get(), "OUT", -1, -1);
    limits.noiseInput1 = 0;
    limits.noiseInput2 = limits.noiseOutput1;
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0) << LastMessageText();
    ASSERT_EQ(host_.onoise.size(), 2u);
    const double thermal = 4.0 * 1.3806226e-23 * 300.15 * 1e3;
    for (size_t i = 0; i < host_.onoise.size(); ++i) {
        const double source = 1e-9 / (1.0 + host_.frequencies[i] / 1e3) * 1e3;
        const double expected = std::sqrt(thermal + source * source);
        EXPECT_NEAR(host_.onoise[i], expected, 1e-6 * expected) << host_.frequencies[i];
    }
}

}  // namespace
