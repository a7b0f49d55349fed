// What expressions read of a running analysis besides the run variables: the
// analysis kind, the solver's vectors and flags, the noise data, the digital
// truth tables and the breakpoint list.
//
// The expression language only reads this state. Filling it belongs to the
// analysis drivers and the solver (engine/, analysis/), which are not built yet;
// tests set the fields directly.
#pragma once

#include <cstdint>

#include "expr/complex.h"
#include "expr/runvars.h"

// The run variables, the global settings and the circuit totals live in
// expr/runvars.h (RunVars, GlobalSettings, CircuitPowerTotals).

// Phase unwrapping of PH and GD (a preference of analysis control): 0 off, 1 and
// 2 on, above 2 also smooths group-delay spikes.
extern int32_t PhaseUnwrapSetting;

// One noise source of the AC noise analysis: its weight and its two nodes.
struct NoiseSourceEntry {
    double weight;
    int32_t nodePlus;
    int32_t nodeMinus;
};

// The AC noise data that INOISE and ONOISE read (filled by the noise analysis).
struct NoiseSourceTable {
    const NoiseSourceEntry* sources = nullptr;
    int32_t count = 0;
    const ComplexNumber* solution = nullptr;    // complex noise solution, by node number
    int32_t nodeCount = 0;                      // entries of `solution`
    const ComplexNumber* inputPairs = nullptr;  // the input source's solution pairs, 2 per pair
    int32_t inputPairCount = 0;
    double inputAmplitude = 0.0;
};

// The magnetic state of a core-model inductor, read by B, H, BSI, HSI and M to HIL.
struct InductorCoreState {
    double H, M, MANL, MAN, ML, HL, DMDH, HI, HIL;
};

struct CompiledExpression;

// One user array of the current circuit (.ARRAY): its name and the compiled
// expression of each element.
struct UserArrayView {
    const char* name;
    int32_t elementCount;
    CompiledExpression* const* elements;
};

// The solver's state that expressions read (engine/, not built yet).
struct SolverReadState {
    int32_t AnalysisKind = -1;       // 0 transient, 1 AC, 2 DC, 3 distortion, -1 none
    double* RealSolution = nullptr;  // by node or branch number
    int32_t realCount = 0;
    const ComplexNumber* ComplexPointValues = nullptr;  // by node number, current AC point
    int32_t complexCount = 0;
    double PreviousFrequencies[2] = {0.0, 0.0};  // previous accepted AC point, the one before
    int32_t SolverIterating = 0;                 // Newton iteration running on RealSolution
    double LaplaceSigma = 0.0;                   // sigma of a Laplace source's transient sampling
    double DigitalTick = 1.0;                    // seconds per breakpoint tick
    NoiseSourceTable NoiseSources;
    // The current circuit's user arrays; null outside a circuit.
    const UserArrayView* userArrays = nullptr;
    int32_t userArrayCount = 0;
    // The digital simulator's truth tables (16-bit states); null uses the
    // expression language's own standard tables.
    const uint16_t* notTable = nullptr;  // by level
    const uint16_t* andTable = nullptr;  // by level a * 8 + level b
    const uint16_t* xorTable = nullptr;
    const uint16_t* orTable = nullptr;
    // The inductor core states, the point storage and the breakpoint list are
    // reached through the ports of expr/services.h.
};
extern SolverReadState gSolver;

// Sets the analysis kind and the ANALYSIS variable together.
void SetAnalysisKind(int kind);
// Back to the state of no analysis: run variables, solver state and totals
// cleared (the global settings stay).
void ResetRunState();
