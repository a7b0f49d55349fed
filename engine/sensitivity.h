// Sensitivity of up to ten output expressions of the DC operating point to
// input variables (a component value or a model parameter): each input is
// raised by 0.1 % in its own operating point and the outputs compared with
// the nominal point. The runs are quiet operating-point-only transient runs;
// every input is put back (and the models set up again) after its run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/transient.h"

class CCTDoc;

constexpr int kSensitivityOutputs = 10;
constexpr double kSensitivityStep = 1.001;

// Message ids of the calculation.
enum SensitivityMessage : int {
    kMsgNeedInput = 14195,   // "%ENeed to select an input variable."
    kMsgNeedOutput = 14196,  // "%ENeed to enter an output expression."
};

// One input variable: a part's "Value", or a model ("TYPE NAME") and one of
// its parameters.
struct SensitivityInput {
    std::string name;
    std::string parameter = "Value";
    // Bound by ResolveSensitivityInput.
    double* target = nullptr;  // a component value (null for a model parameter)
    int32_t modelType = -1;    // a model parameter: its type, name and index
    std::string modelName;
    int32_t paramIndex = -1;
};

// Binds an input to what it changes in the document's compiled circuit and
// models: 0, or 13530 (no such part or model), 13584 (no such parameter).
int ResolveSensitivityInput(CCTDoc* document, SensitivityInput& input);

// What the calculation needs beyond a quiet operating point.
class SensitivityHost : public TransientHost {
public:
    // Puts every model's parameters back to the values of its statement.
    virtual int RestoreModelValues(SimulatorState& state) = 0;
    // Sets models and instances up again at the run temperature: 0 or an error.
    virtual int SetupAtTemperature(SimulatorState& state) = 0;
};

// The results of one input variable.
struct SensitivityRow {
    std::string label;  // "name.parameter"
    double p0 = 0.0;    // the nominal value (0: no result, "N/A")
    double p1 = 0.0;    // the perturbed value
    // Per output slot: d(output)/d(input) and p0/O0 times it, with the texts
    // shown ("N/A", "error", "inf" or "%g"; empty for an empty output).
    double sensitivity[kSensitivityOutputs] = {};
    double relative[kSensitivityOutputs] = {};
    std::string absoluteText[kSensitivityOutputs];
    std::string relativeText[kSensitivityOutputs];
};

struct SensitivityResult {
    double nominal[kSensitivityOutputs] = {};
    int nominalError[kSensitivityOutputs] = {};
    std::vector<SensitivityRow> rows;
    bool stopped = false;  // the user stopped; rows hold the inputs finished before
};

// Runs the nominal point and one perturbed point per input on a state attached
// to the document's compiled, set-up circuit. 0; 14195 or 14196 for nothing to
// do; the nominal run's error; or the error of a perturbed run (the rows
// before it are kept).
int ComputeSensitivity(SimulatorState& state, CCTDoc* document, const std::vector<std::string>& outputs,
                       std::vector<SensitivityInput>& inputs, SensitivityHost& host, SensitivityResult& result);

// The text of a Multiple report: the header of the non-empty outputs and one
// row per input with a non-zero nominal value.
std::string FormatSensitivityReport(const std::vector<std::string>& outputs, const SensitivityResult& result);
// The report's path: the circuit's path with the extension "sen" ("OUT" when
// the circuit's own extension is .SEN).
std::string SensitivityReportPath(const std::string& circuitPath);

void RegisterSensitivityMessages();
