// The transfer function and the sensitivity of compiled decks at their
// operating point: resistive networks against their exact values, a bipolar
// stage against its small-signal equivalent, the forms of output the output
// impedance can or cannot be measured for, and the sensitivity report.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/session.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "engine/dcsweep.h"
#include "engine/sensitivity.h"
#include "engine/transfer.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "tests/devices/deck_fixture.h"

namespace {

class QuietHost : public SensitivityHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState&, TransientRun&) override { return 0; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int, double) override { return true; }
    int RestoreModelValues(SimulatorState&) override {
        ++restores;
        CircuitModels* models = GetCircuitModels(document);
        for (int type = 0; type < kModelTypeCount; ++type) {
            for (PoolItem* item = models->ModelPools[type].first; item; item = item->next) {
                auto* model = static_cast<ModelRecord*>(item);
                if (model->Nominal && model->Values)
                    if (int rc = CopyModelValues(model->Values, model->Nominal, ModelParamCount(type), type)) return rc;
            }
        }
        return 0;
    }
    int SetupAtTemperature(SimulatorState&) override {
        TemperatureSetup setup = MakeTemperatureSetup(document);
        if (int rc = SetupModelsAtTemperature(setup, 27.0)) return rc;
        return SetupInstancesAtTemperature(setup, 27.0);
    }
    CCTDoc* document = nullptr;
    int restores = 0;
    std::vector<int> errors;
};

class TransferTest : public DeckOperatingPointFixture {
protected:
    void Prepare(const std::string& deck) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        ASSERT_NE(compiled_, nullptr);
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        host_.document = document_.get();
    }
    TransferResult Transfer(const char* output, const char* input) {
        TransferResult result;
        EXPECT_EQ(ComputeTransferFunction(state_, document_.get(), output, input, host_, result), 0) << output;
        return result;
    }
    QuietHost host_;
};

// Resistive networks, exactly: a divider driven by a voltage source (with an
// ideal amplifier and a second divider behind it), by a current source, and
// outputs of every form.
TEST_F(TransferTest, ResistiveNetworksGiveTheirExactValues) {
    Prepare(
        "divider\nV1 IN 0 2\nR1 IN A 1k\nR2 A 0 1k\nE1 B 0 A 0 3\nR3 B OUT 300\nR4 OUT 0 600\n"
        "I1 0 C 1m\nR5 C 0 470\nR6 C D 330\nV2 D 0 0\n.END\n");
    struct Case {
        const char *output, *input;
        int gainState;
        double gain;
        const char* inputText;
        double inputImpedance;
        const char* outputText;
        double outputImpedance;
    };
    const Case cases[] = {
        {"V(A)", "V1", kTransferValue, 0.5, nullptr, 2000, nullptr, 500},
        {"V(OUT)", "v1", kTransferValue, 1.0, nullptr, 2000, nullptr, 200},
        {"V(B,OUT)", "V1", kTransferValue, 0.5, nullptr, 2000, nullptr, 200},
        {"V(B)", "V1", kTransferValue, 1.5, nullptr, 2000, "0", 0},  // an ideal source's output
        {"V(IN)", "V1", kTransferValue, 1.0, nullptr, 2000, "0", 0},
        {"V(C)", "I1", kTransferValue, 470.0 * 330 / 800, nullptr, 470.0 * 330 / 800, nullptr, 470.0 * 330 / 800},
        {"I(V2)", "I1", kTransferValue, 470.0 / 800, nullptr, 470.0 * 330 / 800, nullptr, 800},
        {"V(A)*2", "V1", kTransferValue, 1.0, nullptr, 2000, "N/A", 0},  // no measurable form
        {"V(OUT)", "I1", kTransferValue, 0.0, nullptr, 470.0 * 330 / 800, nullptr, 200},
        {"V(A)", "R1", kTransferError, 0, "", 0, "N/A", 0},  // not an input source
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.output) + " from " + c.input);
        const TransferResult r = Transfer(c.output, c.input);
        ASSERT_EQ(r.gain.state, c.gainState) << r.gain.text;
        if (c.gainState == kTransferError) {
            EXPECT_EQ(r.gain.text, "Bad source.");
        } else {
            EXPECT_NEAR(r.gain.value, c.gain, 1e-6 * std::max(1.0, std::fabs(c.gain)));
        }
        if (c.inputText) {
            EXPECT_EQ(r.inputImpedance.text, c.inputText);
        } else {
            EXPECT_NEAR(r.inputImpedance.value, c.inputImpedance, 1e-6 * c.inputImpedance);
        }
        if (c.outputText) {
            EXPECT_EQ(r.outputImpedance.text, c.outputText);
        } else {
            EXPECT_NEAR(r.outputImpedance.value, c.outputImpedance, 1e-6 * c.outputImpedance);
        }
    }
    // The perturbations are undone: the operating point is the nominal one.
    ASSERT_EQ(SolveQuietOperatingPoint(state_, host_), 0);
    EXPECT_NEAR(V("A"), 1.0, 1e-12);
}

// A common-emitter stage with emitter degeneration: the three quantities
// against the stage's small-signal equivalent at its operating point, and
// against an independent simulator's .TF of the same deck (-9.14110,
// 5.199246e4 and 4.683706e3 ohms).
TEST_F(TransferTest, BipolarStageMatchesItsSmallSignalValues) {
    Prepare(
        "stage\nVCC VC 0 12\nVIN IN 0 1.2\nRS IN B 1k\nRC VC C 4.7k\nRE E 0 470\nQ1 C B E QN\n"
        ".MODEL QN NPN(BF=100 IS=1e-15 VAF=100 RB=50 RE=2 RC=10)\n.END\n");
    const TransferResult r = Transfer("V(C)", "VIN");
    ASSERT_EQ(r.gain.state, kTransferValue) << r.gain.text;
    EXPECT_NEAR(r.gain.value, -9.14110, 1e-3 * 9.14110);
    EXPECT_NEAR(r.inputImpedance.value, 5.199246e4, 1e-3 * 5.199246e4);
    EXPECT_NEAR(r.outputImpedance.value, 4.683706e3, 1e-3 * 4.683706e3);

    // The small-signal equivalent of the solved point, solved by nodes b, e,
    // c (inside the series resistances) and C, with RS + RB = 1050 and
    // RE + 470 = 472 ohms: gm = Ic / Vt, g-pi = Ib / Vt and go = Ic /
    // (VAF + Vcb) of the transistor's currents.
    ASSERT_EQ(SolveQuietOperatingPoint(state_, host_), 0);
    const double vt = ThermalVoltageAt(300.15);
    const double ic = (12.0 - V("C")) / 4.7e3;
    const double ib = (1.2 - V("B")) / 1e3;
    const double gm = ic / vt, gpi = ib / vt;
    const double vcb = V("C") + ic * 10 - (V("B") - ib * 50);
    const double go = ic / (100.0 + vcb);
    // Returns vC and the input current for a drive vin and a current into C.
    auto solve = [&](double vin, double injected, double& inputCurrent) {
        double a[4][5] = {
            {1 / 1050.0 + gpi, -gpi, 0, 0, vin / 1050.0},
            {-gpi - gm, gpi + gm + go + 1 / 472.0, -go, 0, 0},
            {gm, -gm - go, go + 0.1, -0.1, 0},
            {0, 0, -0.1, 0.1 + 1 / 4.7e3, injected},
        };
        for (int k = 0; k < 4; ++k)
            for (int i = k + 1; i < 4; ++i) {
                const double f = a[i][k] / a[k][k];
                for (int j = k; j < 5; ++j) a[i][j] -= f * a[k][j];
            }
        double x[4];
        for (int i = 3; i >= 0; --i) {
            x[i] = a[i][4];
            for (int j = i + 1; j < 4; ++j) x[i] -= a[i][j] * x[j];
            x[i] /= a[i][i];
        }
        inputCurrent = (vin - x[0]) / 1050.0;
        return x[3];
    };
    double iin = 0.0;
    const double gain = solve(1.0, 0.0, iin);
    EXPECT_NEAR(r.gain.value, gain, 1e-3 * std::fabs(gain));
    EXPECT_NEAR(r.inputImpedance.value, 1.0 / iin, 1e-3 / iin);
    const double rout = solve(0.0, 1.0, iin);
    EXPECT_NEAR(r.outputImpedance.value, rout, 1e-3 * rout);

    // RE is kept as its reciprocal once set up; its sensitivity raises the
    // user's 2 ohms by 0.1 %: the collector current falls, V(C) rises by
    // Ic RC / (RE + 470 + (r-pi + RS + RB) / (1 + beta)) per ohm.
    const double nominalC = V("C");
    std::vector<SensitivityInput> inputs(1);
    inputs[0].name = "NPN QN";
    inputs[0].parameter = "RE";
    SensitivityResult sensitivity;
    ASSERT_EQ(ComputeSensitivity(state_, document_.get(), {"V(C)"}, inputs, host_, sensitivity), 0);
    ASSERT_EQ(sensitivity.rows.size(), 1u);
    EXPECT_EQ(sensitivity.rows[0].p0, 2.0);
    const double expected = ic * 4.7e3 / (472.0 + (vt / ib + 1050.0) / (1.0 + ic / ib));
    EXPECT_NEAR(sensitivity.rows[0].sensitivity[0], expected, 0.01 * expected);
    ASSERT_EQ(SolveQuietOperatingPoint(state_, host_), 0);
    EXPECT_NEAR(V("C"), nominalC, 1e-9);
}

// The divider's output against each resistor: d V(OUT) / d R1 = -V R2 /
// (R1 + R2)^2 and + V R1 / (R1 + R2)^2; an output of exactly 0 has no
// relative sensitivity; a model parameter is perturbed through the set-up.
TEST_F(TransferTest, SensitivityMatchesTheAnalyticDerivatives) {
    Prepare(
        "divider\nV1 IN 0 10\nR1 IN OUT 1k\nR2 OUT 0 3k\nD1 0 OUT DX\n.MODEL DX D(IS=1e-9)\n"
        "V2 Z 0 0\nR3 Z 0 1k\n.END\n");
    const std::vector<std::string> outputs = {"V(OUT)", "", "V(Z)", "I(V1)"};
    std::vector<SensitivityInput> inputs(4);
    inputs[0].name = "R1";
    inputs[1].name = "r2";
    inputs[2].name = "D DX";
    inputs[2].parameter = "IS";
    inputs[3].name = "V2";  // a nominal value of 0: no result
    SensitivityResult result;
    ASSERT_EQ(ComputeSensitivity(state_, document_.get(), outputs, inputs, host_, result), 0);
    ASSERT_EQ(result.rows.size(), 4u);
    // The leakage's share of V(OUT) (about 1e-6) is far inside the tolerance.
    const double dR1 = -10.0 * 3e3 / 16e6, dR2 = 10.0 * 1e3 / 16e6;
    EXPECT_NEAR(result.rows[0].sensitivity[0], dR1, 1e-3 * std::fabs(dR1));
    EXPECT_NEAR(result.rows[0].relative[0], 1e3 / 7.5 * dR1, 1e-3 * 0.25);
    EXPECT_NEAR(result.rows[1].sensitivity[0], dR2, 1e-3 * dR2);
    EXPECT_NEAR(result.rows[1].relative[0], 0.25, 1e-3 * 0.25);
    EXPECT_EQ(result.rows[0].absoluteText[1], "");
    EXPECT_EQ(result.rows[0].relativeText[2], "inf");
    EXPECT_EQ(result.rows[0].absoluteText[2], "0");
    // The reversed diode's leakage IS loads the divider: the source's current
    // follows it by R2 / (R1 + R2).
    EXPECT_EQ(result.rows[2].p0, 1e-9);
    EXPECT_NEAR(result.rows[2].sensitivity[3], -0.75, 1e-3);
    EXPECT_EQ(result.rows[3].absoluteText[0], "N/A");
    EXPECT_EQ(host_.restores, 2);

    // The inputs are back at their values.
    ASSERT_EQ(SolveQuietOperatingPoint(state_, host_), 0);
    EXPECT_NEAR(V("OUT"), 7.5 - 1e-9 * 750, 1e-8);
    const std::string report = FormatSensitivityReport(outputs, result);
    EXPECT_NE(report.find("R1.Value " + std::string(13, ' ') + "1000"), std::string::npos) << report;
    EXPECT_EQ(report.find("V2.Value"), std::string::npos) << report;
    EXPECT_NE(report.find("Sensitivity (%/%)"), std::string::npos);
}

TEST_F(TransferTest, SensitivityInputsAndOutputsAreChecked) {
    Prepare("divider\nV1 IN 0 10\nR1 IN OUT 1k\nR2 OUT 0 3k\n.END\n");
    SensitivityResult result;
    std::vector<SensitivityInput> none;
    EXPECT_EQ(ComputeSensitivity(state_, document_.get(), {"V(OUT)"}, none, host_, result), kMsgNeedInput);
    std::vector<SensitivityInput> inputs(1);
    inputs[0].name = "R1";
    EXPECT_EQ(ComputeSensitivity(state_, document_.get(), {"", " "}, inputs, host_, result), kMsgNeedOutput);
    // An output that fails at the nominal point gives "error" and stops after the first input.
    inputs.resize(2);
    inputs[1].name = "R2";
    ASSERT_EQ(ComputeSensitivity(state_, document_.get(), {"V(NOWHERE)"}, inputs, host_, result), 0);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].absoluteText[0], "error");
    inputs[0].name = "R9";
    EXPECT_EQ(ComputeSensitivity(state_, document_.get(), {"V(OUT)"}, inputs, host_, result), kMsgSourceNotFound);

    EXPECT_EQ(SensitivityReportPath("/d/amp.cir"), "/d/amp.sen");
    EXPECT_EQ(SensitivityReportPath("/d/amp.Sen"), "/d/amp.OUT");
    EXPECT_EQ(SensitivityReportPath("/d.x/amp"), "/d.x/amp.sen");
}

}  // namespace
