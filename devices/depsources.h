// The loads of the controlled sources and the ideal transmission line: the
// polynomial E, F, G and H sources (one kind, linearised at every load), the
// linear dependent sources of schematics, and the lossless line with its
// delayed waves. Each kind is a row of the engine's load order, installed by
// InstallDeviceLoads.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/newton.h"

class DelayLineServices;
struct CompiledCircuit;
struct IdealLineRecord;
struct PolySourceRecord;
struct SimulatorState;

// ---- polynomial sources ---------------------------------------------------------------------

// Advances the exponent vector (1-based, exponents[1..n]) to the next term of
// the polynomial's term order: x1 ... xn, then x1^2, x1*x2, ..., xn^2, then the
// third degree, and so on.
void NextPolyExponents(int n, std::vector<int>& exponents);
// x^k by multiplication up to k = 4; 0 for x = 0.
double IntegerPower(double x, int k);
// j = 0: the polynomial at the inputs' present values; j >= 1: its partial
// derivative by input j. Magnitudes are held within [1e-30, 1e30]; 0 stays 0.
double PolyValue(const PolySourceRecord& source, int j);

class PolySourceLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

class LinearDependentLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

// The row objects start-up installs (one each, for the process).
DeviceKindLoads& PolySourceRowLoads();
DeviceKindLoads& LinearDependentRowLoads();
DeviceKindLoads& IdealLineRowLoads();

// ---- ideal transmission lines -------------------------------------------------------------------

// Both the port resistances and the port branches load in this row. A DC
// solution (the DC matrix installed) ties each port's source to the other
// port's present wave; in the time domain the sources carry the delayed waves.
class IdealLineLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

// The arriving waves at the present time, interpolated from each line's
// history (before the loads of every time point, with the sources' values).
void UpdateIdealLineWaves(SimulatorState& state);
void UpdateIdealLineWaves(CompiledCircuit& circuit, double time);
// Once per transient run, with the operating point in Solution: lowers the
// maximum step to half of every line's delay and records the first departing
// waves at the run's start. 0 or 15002.
int StartLineHistories(SimulatorState& state, double& maxTimeStep);
// After every accepted point (Solution holding it): drops at most one record
// that is no longer needed and records the departing waves for Time + delay.
// 0 or 15002.
int AdvanceLineHistories(SimulatorState& state);
// Records the departing waves of one line for time tau (refused, with 0, when
// not later than the last record, except at the run's start time 0).
int PushLineHistory(SimulatorState& state, IdealLineRecord& line, double tau);
// Empties every line's history (the end of a transient run).
void ReleaseLineHistories(SimulatorState& state);
// The time loop's port to the histories above (InstallDelayLines, engine/transient.h).
DelayLineServices& IdealLineDelayServices();
