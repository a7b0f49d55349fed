// The transfer function at the DC operating point: the small-signal gain from
// an input source to an output expression, the input impedance the source sees
// and the output impedance at the output. Gain and input impedance come from
// two operating points, the second with the source raised by 1e-6 (volt or
// ampere); the output impedance of a V(...) output from the circuit's
// Jacobian at the operating point with a unit current injected between the
// output nodes, that of an I(...) output from a third operating point with
// its voltage source raised by 1e-6.
//
// The operating points are quiet operating-point-only transient runs on the
// caller's state and host; the circuit is left as it was found.
#pragma once

#include <cstdint>
#include <string>

#include "engine/transient.h"

class CCTDoc;
struct SchematicObject;

// The smallest change the finite differences make to a source (V or A).
constexpr double kTransferPerturbation = 1e-6;

// The gain's code when the input names no input-capable source.
constexpr int kTransferBadSource = 13530;  // "%ESource not found."

// An input-capable source of the compiled circuit.
struct TransferSource {
    std::string name;
    const SchematicObject* part = nullptr;
    double* level = nullptr;   // the value that sets its DC level
    bool currentType = false;  // a current source: its voltage is measured
    int32_t node1 = 0, node2 = 0;
    int32_t branch = 0;  // a voltage source's branch unknown
};

// Finds the part of that name among the input-capable sources (SPICE, pulse
// and sine sources) of the document's compiled circuit: true when found.
bool FindTransferSource(CCTDoc* document, const char* name, TransferSource& source);

// How a computed quantity came out.
enum TransferValueState : int32_t {
    kTransferValue = 0,     // `value` holds it
    kTransferInfinite = 1,  // the measured change was 0: "inf"
    kTransferHeld = 2,      // the output is held by a voltage source: "0"
    kTransferNone = 3,      // not computed: "" (impedances without a source) or "N/A"
    kTransferError = 4,     // `error` holds the code
};

struct TransferQuantity {
    int32_t state = kTransferNone;
    double value = 0.0;
    int error = 0;
    std::string text;  // as shown: "%g", "inf", "0", "N/A", "", "Error" or a message text
};

struct TransferResult {
    TransferQuantity gain;
    TransferQuantity inputImpedance;
    TransferQuantity outputImpedance;
    bool sourceFound = false;
};

// Computes the three quantities of `output` against the source named `input`
// on a state attached to the document's compiled, set-up circuit. The result
// is 0 when the nominal operating point was solved (the quantities carry their
// own failures), else the code that prevented it.
int ComputeTransferFunction(SimulatorState& state, CCTDoc* document, const char* output, const char* input,
                            TransientHost& host, TransferResult& result);

// One quiet operating point on the state (transient run, operating point only).
int SolveQuietOperatingPoint(SimulatorState& state, TransientHost& host);
// Compiles `text` for the running analysis and evaluates it once at the
// present solution: 0 and the real part, or the compile or evaluation code.
int EvaluateOutputOnce(const char* text, double& value);
// The text of a result code as the analysis dialogs show it: "Error" for a
// message already shown, else the message text.
std::string TransferErrorText(int code);
