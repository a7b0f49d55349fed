// The small-signal loads of an AC run: every device kind adds its admittances
// G + jwC, taken at the stored bias point, into the complex matrix and its AC
// excitation into the complex right-hand side, and after a solve turns the
// solution into its complex currents and power terms.
//
// The complex matrix is built by one load (the reserve pass) that appends an
// entry for every stamp it makes; every later load walks the same entries with
// the cursor, one addition per stamp. A loader must therefore issue the same
// sequence of stamps at every load (the same count, order and choice of real or
// imaginary part), leaving stamps out only on conditions fixed while the
// matrix lives. In noise mode the reserve pass exchanges row and column of
// every position, so the whole system is transposed.
//
// Complex vectors hold unknown k at doubles 2k (real) and 2k + 1 (imaginary);
// unknown 0 is ground.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/newton.h"
#include "expr/complex.h"

struct DeviceRecord;

// The stamp and result operations of one complex load or result pass.
// Stamps return nothing: the first failure of the reserve pass (15002) is kept
// and read with Error() when the load ends.
class AcStamps {
public:
    AcStamps(SimulatorState& state, std::vector<double>& rhs, const std::vector<double>& solution);

    SimulatorState& State() { return state_; }
    std::vector<double>& Rhs() { return rhs_; }
    double Omega() const { return omega; }

    // ---- set by the run around each load
    double omega = 6283.185307179586;  // rad/s
    double frequency = 1000.0;         // Hz
    bool reservePass = false;
    bool noiseActive = false;
    // The Noise Input source's nodes (either order), and the scale its AC load sets.
    int32_t noiseInputNode1 = 0, noiseInputNode2 = 0;
    double noiseInputScale = 0.0;
    // The right-hand-side rows of the Noise Input source (the first source
    // on those nodes) with the signs of a unit excitation: the numerator of
    // the input-referred gain.
    std::vector<std::pair<int32_t, ComplexNumber>> noiseInputRows;
    // In noise mode, whether a source between these nodes is the Noise Input
    // source not yet met in this load.
    bool IsNoiseInput(int32_t node1, int32_t node2) const;
    // Set by a load whose values depend on the AC solution: the run then
    // solves the point again until two solutions agree.
    bool iterationRequested = false;

    // Puts the cursor at the head of the entry list and zeroes the
    // right-hand side; the matrix values are cleared unless this is the
    // reserve pass.
    void BeginLoad();
    // Stamps made since BeginLoad.
    size_t StampCount() const { return stamps_; }
    int Error() const { return error_; }
    void Fail(int code) {
        if (!error_) error_ = code;
    }

    // ---- stamps
    void Real(int32_t row, int32_t col, double value);
    void Imag(int32_t row, int32_t col, double value);
    // (a, a) +g; (b, b) +g; (a, b) -g; (b, a) -g (real parts).
    void Conductance(int32_t a, int32_t b, double g);
    // The same four positions, imaginary parts.
    void Susceptance(int32_t a, int32_t b, double x);
    // Rows a, b; columns c, d: (a, c) +y; (a, d) -y; (b, c) -y; (b, d) +y, the
    // real parts, then the same positions with the imaginary part.
    void Transadmittance(int32_t a, int32_t b, int32_t c, int32_t d, ComplexNumber y);
    // The real half of Transadmittance.
    void Transconductance(int32_t a, int32_t b, int32_t c, int32_t d, double g);
    // (k, p) +1; (k, n) -1; (p, k) +1; (n, k) -1.
    void Branch(int32_t k, int32_t p, int32_t n);
    // Rhs of k += v, then Branch(k, p, n).
    void VoltageSource(int32_t k, int32_t p, int32_t n, ComplexNumber v);
    // A controlled source of kind 0..3 (current or voltage output, controlled
    // by a voltage or a current) with a complex gain: s the sensing branch
    // (kinds 1, 3) or, for kind 2, the output branch when `sensing` is set; o
    // the output branch; `sensing` stamps the sensing branch's incidence,
    // `output` the output branch's. Other kinds stamp nothing.
    void ControlledSource(int kind, bool sensing, bool output, int32_t s, int32_t o, int32_t cPlus, int32_t cMinus,
                          int32_t oPlus, int32_t oMinus, ComplexNumber g);
    void AddRhs(int32_t k, ComplexNumber v);

    // ---- the solution
    ComplexNumber V(int32_t k) const;
    ComplexNumber Diff(int32_t a, int32_t b) const;

    // ---- result operations: the current, with its power S = V x I added to
    // the circuit total of `term` (and set into, or added to, the device's).
    // I = (V(a) - V(b)) (G + jB); S stored into the device's term.
    ComplexNumber AdmittanceResult(DeviceRecord& device, int32_t a, int32_t b, double G, double B, int term);
    // I = (V(a) - V(b)) g, added to PD.
    ComplexNumber ConductanceResult(DeviceRecord& device, int32_t a, int32_t b, double g);
    // I = (V(a) - V(b)) jx, added to PS.
    ComplexNumber SusceptanceResult(DeviceRecord& device, int32_t a, int32_t b, double x);
    // I = gm (V(a) - V(b)) flowing from c through the source to d; S = -(V(c) - V(d)) I added to PG.
    ComplexNumber TransconductanceResult(DeviceRecord& device, int32_t a, int32_t b, int32_t c, int32_t d,
                                         ComplexNumber gm);
    // Adds S to the device's term and the circuit total (`store` replaces the device's term).
    void AddPower(DeviceRecord& device, int term, ComplexNumber s, bool store = false);

private:
    MatrixElement* Element(int32_t row, int32_t col);

    SimulatorState& state_;
    std::vector<double>& rhs_;
    const std::vector<double>& solution_;
    int error_ = 0;
    size_t stamps_ = 0;
};

// The small-signal load and result pass of one row of the load order,
// implemented by the subsystem that owns the kind and installed once at
// start-up beside its DeviceKindLoads.
class AcKindLoads {
public:
    virtual ~AcKindLoads() = default;
    // Stamps the row's devices: 0, or the error of an evaluation (the stamps'
    // own failures are left in `ac`).
    virtual int LoadAc(AcStamps& ac) = 0;
    // Computes the row's complex device currents and power terms from the
    // solution: 0 or an error.
    virtual int AcResults(AcStamps& ac) = 0;
};
// Installs the AC loads of a row (null uninstalls). The rows of the engine's
// own elements (capacitors, inductors with their couplings, resistors, the
// three switch kinds, the independent sources) always load its own. A row of the AC order
// whose circuit has devices but no AC loads fails the load with 15090, so that
// no kind silently drops out of the small-signal circuit. Kinds outside the AC
// order (timers, sample-and-holds, the digital interfaces) add nothing.
void InstallAcKindLoads(int row, AcKindLoads* loads);

// One complex load of the whole circuit, in the AC order of the kinds, into
// the installed matrix (state.Installed) and `ac`'s right-hand side. In noise
// mode the ordinary excitation is moved into `excitation` and the right-hand
// side excites the noise output pair instead. 0, 15002, 15090, 101 when a load
// stamped other than its reserve pass, or a loader's error.
int LoadAcDevices(AcStamps& ac, int32_t noiseOutput1 = 0, int32_t noiseOutput2 = 0,
                  std::vector<double>* excitation = nullptr);
// The result pass of every kind (nothing in noise mode); the circuit totals
// are cleared first.
int ComputeAcDeviceResults(AcStamps& ac);
