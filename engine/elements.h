// The loads of the linear elements the compiler builds today: resistors,
// capacitors, inductors with their transformer couplings, the independent
// SPICE-format sources, and the enforcement of .IC and .NODESET values. Every
// kind has a reserve (the matrix positions, in a fixed per-instance order) and
// a load that stamps exactly those positions through the state's cursor, in
// the same order, and adds its currents to the right-hand side.
//
// OPAMP models load here too once the compiler builds their records.
#pragma once

#include <cstdint>
#include <vector>

struct SimulatorState;

// What the loads keep from one load to the next besides the device records:
// the values of the previous load (for the convergence test of values that
// come from expressions) and the effective values of the last load. Belongs to
// the run of one circuit, next to its simulator state; sized by the reserve.
struct ElementLoadMemory {
    std::vector<double> resistorPrevious;  // effective resistance of the previous load
    std::vector<double> resistorEffective;
    std::vector<double> capacitorPrevious;
    std::vector<double> capacitorEffective;
};

// Reserve operations, called while the matrix structure is built: 0, or 15002
// at the first allocation failure (101 without a circuit or matrix).
// Resistors and capacitors: (n1, n2), (n2, n1), (n1, n1), (n2, n2).
int ReserveResistors(SimulatorState& state, ElementLoadMemory& memory);
int ReserveCapacitors(SimulatorState& state, ElementLoadMemory& memory);
// Per inductor: its branch row k between n1 and n2 (k, n1), (k, n2), (n1, k),
// (n2, k), then (k, k); then per coupled pair (each transformer's windings,
// then every pair of a K coupling's inductors) (k1, k2), (k2, k1). A K
// coupling whose inductors are not resolved gives 15090 (not available).
int ReserveInductors(SimulatorState& state);
// Per sine source (from its internal node), then per pulse source, then per
// SPICE-format voltage source: its branch (k, n1), (k, n2), (n1, k), (n2, k);
// current sources reserve nothing. User sources have no load yet: their
// presence gives 15090 (not available). Sine and pulse sources drive their
// `working` value, which the source update of each analysis point writes.
int ReserveIndependentSources(SimulatorState& state);
// Per 'V' record of the initial-condition table: (a, b), (b, a), (a, a), (b, b).
int ReserveInitialConditions(SimulatorState& state);

// Load operations. Resistors and capacitors return 0 or the error of a value
// expression; inductors 0, a coupling expression's error or 10836 ("%EK value
// must be >= -1.0 and <= 1.0.", for the caller to show) for a coupling
// coefficient outside [-1, 1]; the others return nothing.
int LoadResistors(SimulatorState& state, ElementLoadMemory& memory);
int LoadCapacitors(SimulatorState& state, ElementLoadMemory& memory);
int LoadInductors(SimulatorState& state);
void LoadIndependentSources(SimulatorState& state);
void LoadInitialConditions(SimulatorState& state);

// Windings on magnetic cores: the inductors of a K coupling with a CORE
// model. Their inductance and flux come from the core's magnetisation, which
// the owner of the core model solves; installed once at start-up. Without an
// owner a cored coupling gives 15090 (not available).
struct InductorCouplingRecord;
struct InductorRecord;
class WindingCores {
public:
    virtual ~WindingCores() = default;
    // Before the fluxes of a load: every core from its windings' present
    // currents. 0 or an error.
    virtual int SolveCores(SimulatorState& state) = 0;
    // A winding's present inductance and flux (its value is its turns;
    // `coefficient` the coupling's).
    virtual void Winding(const InductorCouplingRecord& coupling, const InductorRecord& winding, double coefficient,
                         double& inductance, double& flux) = 0;
};
void InstallWindingCores(WindingCores* cores);

// Switches: S (control nodes), W (controlling source current) and SW (time,
// node pair or inductor current). Each reserves and stamps its switched pair
// as a conductance; the load returns 0, or 101 for a record its set-up left
// without a model or controlling source.
int ReserveVoltageSwitches(SimulatorState& state);
int LoadVoltageSwitches(SimulatorState& state);
int ReserveCurrentSwitches(SimulatorState& state);
int LoadCurrentSwitches(SimulatorState& state);
int ReserveSwitches(SimulatorState& state);
int LoadSwitches(SimulatorState& state);

// Every capacitor, inductor and resistor gets its compiled (nominal) value
// back as its working value, so that values changed by expressions or stepping
// return to the nominal one.
void RestoreRlcValues(SimulatorState& state);

// Charge-state blocks: capacitor k (in list order, from 0) owns block k, the
// inductors follow the capacitors.
int32_t InductorStateBlock(const SimulatorState& state, int32_t inductorPosition);
