// The device load loop and the Newton iteration: every device kind reserves
// its matrix entries and loads in one fixed order, and NewtonIterate repeats
// load, factor and solve until the solution converges, driving the devices'
// initialisation modes, the node convergence test, the digital kernel and the
// user's stop key.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/state.h"

// The rows of the load order. Reserve and load of one row must match entry
// for entry; rows whose lists are empty do nothing.
enum DeviceLoadRow : int {
    kRowDiodes = 1,
    kRowLossyLines = 2,
    kRowLinearDependentSources = 3,  // E, F, G, H
    kRowPolySources = 4,
    kRowLaplaceSources = 5,
    kRowLaplaceTableSources = 6,
    kRowFunctionSources = 7,
    kRowTimers = 8,
    kRowSampleHolds = 9,
    kRowTableSources = 10,
    kRowBipolars = 11,
    kRowOpamps = 12,
    kRowMosfets = 13,  // LEVEL 1-3
    kRowMosfets45 = 14,
    kRowMosfets8 = 15,
    kRowBsim4 = 16,
    kRowEkv = 17,
    kRowJfets = 18,
    kRowGaasfets = 19,
    kRowIdealLines = 20,
    kRowIndependentSources = 21,
    kRowDigitalOutputs = 22,
    kRowResistors = 23,
    kRowSSwitches = 24,
    kRowWSwitches = 25,
    kRowSwitches = 26,
    kRowInductors = 27,
    kRowCapacitors = 28,
    kRowAnalogToDigital = 29,
    kRowAdcs = 30,
    kRowDacs = 31,
    kRowInitialConditions = 32,
};
constexpr int kDeviceLoadRowCount = 32;

// The reserve and load of one row of the load order, implemented by the
// subsystem that owns the device kind and installed once at start-up. Both
// work on every device of the row in the state's circuit.
class DeviceKindLoads {
public:
    virtual ~DeviceKindLoads() = default;
    // Reserves every entry the row's devices stamp (only while the matrix
    // structure is built): 0 or 15002.
    virtual int Reserve(SimulatorState& state) = 0;
    // Evaluates the row's devices into the installed matrix and Rhs: 0 or the
    // code of the failure.
    virtual int Load(SimulatorState& state) = 0;
};
// Installs the loads of a row (null uninstalls). A row without loads fails
// every reserve and load with 15090 as soon as its circuit has devices of it.
// The rows of the engine's own elements (independent sources, resistors,
// inductors, capacitors, .IC and .NODESET) always load the built-in elements.
void InstallDeviceKindLoads(int row, DeviceKindLoads* loads);

// What a run lends the iteration: the keyboard and message pump, the status
// line, the device-output request and the digital kernel. Passed per call; a
// null context polls nothing, shows nothing, wants no device outputs and
// fails a circuit that needs the digital kernel with 15090.
class IterationHost {
public:
    virtual ~IterationHost() = default;
    // Reads the keyboard (pumping messages every `every`th call); Esc is left
    // in state.LastRunKey, a stop request in state.StopRequested.
    virtual void PollRunKeys(SimulatorState& state, int every) = 0;
    // A text for the run status line.
    virtual void ShowStatus(const char* text) = 0;
    // True when the last load of the run should compute every device's
    // currents and powers.
    virtual bool WantsFinalDeviceOutputs(const SimulatorState& state) = 0;
    // Settles the digital part at the present point: 0 or an error.
    virtual int SettleDigital(SimulatorState& state) = 0;
    // Processes the digital events due at state.CurrentTick; `changed` tells
    // whether any of them changed an analog input. 0 or an error.
    virtual int ProcessDigitalEvents(SimulatorState& state, bool& changed) = 0;
};

// Runs every row's reserve in order (nothing when MatrixSize is 0); the first
// non-zero result is returned.
int ReserveAllDeviceEntries(SimulatorState& state);
// One full evaluation of the circuit into the installed matrix and Rhs.
int LoadAllDevices(SimulatorState& state, IterationHost* context);
// LoadAllDevices with every device computing its outputs when the run wants
// them at its end (or after a stop request).
int LoadWithDeviceOutputs(SimulatorState& state, IterationHost* context);
// Load, factor and solve until converged: 0; 14190 at the iteration limit in
// the DC phase (in other phases 0 with IterationLimitReached set); 15056 when
// stopped; else the load, factorization or digital error.
int NewtonIterate(SimulatorState& state, IterationHost* context, int iterationLimit, double gmin);
// Factors the installed matrix and solves Rhs into `solution` (nothing without
// a matrix); entry 0 of the solution is 0 afterwards either way.
int FactorAndSolve(SimulatorState& state, std::vector<double>& solution, double gmin);
// After an accepted point: OlderSolution takes the last accepted solution,
// LastSolution and PreviousSolution the present one.
void SwapSolutionVectors(SimulatorState& state);

// Result codes of the iteration.
enum NewtonResult : int {
    kResultNotConverged = 14190,  // "%EFailed to converge in specified number of iterations at time=%g."
    kResultSingular = 15051,      // "%EMatrix is singular."
    kResultStopped = 15056,
};
