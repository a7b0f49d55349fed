// The loads of the behavioural sources: function sources (a formula of circuit
// quantities linearised with its partial derivatives), table sources (a
// piecewise-linear function of one control), Laplace sources (a transfer
// function: its real value near DC in a DC solution, its frequency response in
// AC, a convolution with its impulse response in the time loop) and the
// sample-and-hold. Each kind is a row of the engine's load order; the run
// events they need (histories, held values, sampling breakpoints) come
// through BehaviouralRunEvents.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "engine/elements.h"
#include "engine/newton.h"
#include "engine/transient.h"

struct LaplaceSourceRecord;
struct TableSourceRecord;
struct GlobalSettingValues;

class FunctionSourceLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

class TableSourceLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

// Formula and table Laplace sources (one object per row and list).
class LaplaceSourceLoads final : public DeviceKindLoads {
public:
    explicit LaplaceSourceLoads(bool table) : table_(table) {}
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;

private:
    bool table_;
};

class SampleHoldLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};

// Timers: the load evaluates the input and rewrites the elapsed-time output;
// counting and reset happen at accepted points (UpdateTimers), and every run
// starts from INITIAL (ResetTimers).
class TimerLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};
void ResetTimers(SimulatorState& state, double startTime);
void UpdateTimers(SimulatorState& state);

// Windings on magnetic cores: every cored coupling's core is solved from its
// windings' ampere-turns, and each winding takes its inductance and flux from it.
class CoreWindingLoads final : public WindingCores {
public:
    int SolveCores(SimulatorState& state) override;
    void Winding(const InductorCouplingRecord& coupling, const InductorRecord& winding, double coefficient,
                 double& inductance, double& flux) override;
};
// 0 clears every core, 1 accepts the present state, 2 returns to the accepted one.
void UpdateCoreStates(SimulatorState& state, int mode);

class BehaviouralRunEvents final : public TransientDeviceEvents {
public:
    int RunStarting(SimulatorState& state, const TransientRun& run) override;
    int AddBreakpoints(SimulatorState& state, TransientRun& run) override;
    void PointAccepted(SimulatorState& state, const TransientRun& run) override;
    void PointRejected(SimulatorState& state) override;
};

// Installs the rows above with their small-signal AC loads, and the run
// events (start-up; InstallDeviceLoads).
void InstallBehaviouralLoads();

// ---- Laplace pieces, for the loads and the AC analysis ------------------------------------------

// The number of impulse-response samples N of a transient run: a power of two
// from 128 to 262144 (dt = 2 * tmax / N).
int32_t LaplacePointCount(double reltol, double timeRange, double maxTimeStep);
// In-place radix-2 FFT of a power-of-two length; `inverse` uses e^(+j...) and
// divides by the length. False for a length that is not a power of two.
bool TransformFFT(std::vector<std::complex<double>>& data, bool inverse);
// A table source's value at frequency f on segment j (rows j-1 and j), and
// the interpolation of one column (1 magnitude or real part, 2 phase or
// imaginary part), linear in log frequency; the phase is unwrapped.
std::complex<double> LaplaceTableValue(const LaplaceSourceRecord& record, double frequency, int segment);
double InterpolateLaplaceTable(const LaplaceSourceRecord& record, double frequency, int segment, int column);
// The first row index from 1 on whose frequency is not below f (the last row
// index when f lies above every row).
int LaplaceTableSegment(const LaplaceSourceRecord& record, double frequency);
// The transfer value at frequency f with sigma as the real part of S: the
// formula, or the table (sigma unused). 0 or the evaluator's code.
int LaplaceTransferValue(LaplaceSourceRecord& record, bool table, double frequency, double sigma,
                         std::complex<double>* value);
// The impulse response of a transfer function over N samples of spacing dt
// = 2 tmax / N, sampled along Re S = sigma: `samples(f)` gives H at f.
template <class Sampler>
int LaplaceImpulseResponse(int32_t points, double tmax, double sigma, Sampler samples, std::vector<double>* response);

// A table source's segment and value of an input.
int TableSourceSegment(const TableSourceRecord& record, double input);

// The shared convergence test: tolerance ABSTOL (currents, kinds 0, 1) or
// VNTOL, plus RELTOL of the larger magnitude; previous := now. True (counted)
// when it fails.
bool SourceNotConverged(const GlobalSettingValues& options, int32_t& nonConverged, int kind, double& previous,
                        double now);

// ---- template body ---------------------------------------------------------------------------------

template <class Sampler>
int LaplaceImpulseResponse(int32_t points, double tmax, double sigma, Sampler samples, std::vector<double>* response) {
    const int32_t n = points;
    const int32_t m = n / 2;
    const double df = 0.5 / tmax;
    const double dt = 2.0 * tmax / n;
    std::vector<std::complex<double>> data(static_cast<size_t>(n));
    for (int32_t i = 0; i <= m && i < n; ++i) {
        std::complex<double> h;
        if (int rc = samples(1e-9 + i * df, &h)) return rc;
        data[static_cast<size_t>(i)] = h * static_cast<double>(m);
    }
    if (m < n) data[static_cast<size_t>(m)] = {data[static_cast<size_t>(m)].real(), 0.0};
    for (int32_t k = 1; k <= n - m - 1; ++k)
        data[static_cast<size_t>(m + k)] = std::conj(data[static_cast<size_t>(m - k)]);
    if (!TransformFFT(data, true)) return 1;
    response->assign(static_cast<size_t>(n) + 2, 0.0);
    for (int32_t i = 0; i < n; ++i) {
        double sample = 2.0 * df * data[static_cast<size_t>(i)].real();
        if (sigma != 0.0) {
            double exponent = sigma * i * dt;
            exponent = exponent < -350.0 ? -350.0 : exponent > 350.0 ? 350.0 : exponent;
            sample *= std::exp(exponent);
        }
        (*response)[static_cast<size_t>(i)] = sample;
    }
    return 0;
}
