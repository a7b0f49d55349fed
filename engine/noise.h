// The noise sources of an AC noise run: at every frequency every noisy device
// becomes a set of uncorrelated noise current sources (amplitudes in A per
// root hertz between two nodes), which ONOISE and INOISE weigh with the
// adjoint solution of the run.
//
// The engine adds the sources of its own elements (resistors and the three
// switch kinds); every other noisy kind adds its own through a
// NoiseKindSources installed at start-up by the subsystem that owns the kind,
// beside its AC loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "expr/runstate.h"

struct CompiledCircuit;
struct ModelRecord;
struct SimulatorState;

// The constants of every noise law, exactly as the laws use them.
constexpr double kNoiseBoltzmann = 1.3806226e-23;
constexpr double kNoiseCharge = 1.6021918e-19;
constexpr double kNoiseShotFactor = 3.2043836e-19;  // 2q
constexpr double kNoiseKelvinOffset = 273.15;
constexpr double kNoiseLowestFrequency = 1e-6;  // stands for a frequency that is not above 0

// The sources of the present frequency. Entry i's weight is its amplitude.
struct NoiseSourceList {
    std::vector<NoiseSourceEntry> sources;
    size_t capacity = 0;  // sized once per run from the device counts
    bool allocated = false;

    size_t Count() const { return sources.size(); }
    void Release();
};

// What a kind adds its sources through, at one frequency.
class NoiseSink {
public:
    NoiseSink(SimulatorState& state, NoiseSourceList& list, double frequency, double runTemperature);

    SimulatorState& State() { return state_; }
    // The frequency of the flicker terms: the AC frequency, or 1e-6 Hz when it
    // is not above 0.
    double Frequency() const { return frequency_; }
    // The temperature of the run in degrees Celsius.
    double RunTemperature() const { return runTemperature_; }
    // Adds a source; nothing when both nodes are the same node.
    void Add(double amplitude, int32_t node1, int32_t node2);
    // sqrt(4 k T G) between the two nodes.
    void Thermal(double kelvin, double conductance, int32_t node1, int32_t node2);

private:
    SimulatorState& state_;
    NoiseSourceList& list_;
    double frequency_;
    double runTemperature_;
};

// The noise sources of one row of the load order (kRow... of engine/newton.h).
class NoiseKindSources {
public:
    virtual ~NoiseKindSources() = default;
    // Adds the sources of the row's devices at the sink's frequency: 0, or
    // 15055 after the kind reported a failure (the run then stops).
    virtual int AddNoiseSources(NoiseSink& sink) = 0;
};
// Installs the noise sources of a row (null uninstalls). Resistors and the
// three switch kinds are the engine's own. A noisy row (diodes, bipolar
// transistors, MOSFETs, JFETs, GaAsFETs) whose circuit has devices but no
// installed sources fails the noise run with 15090 rather than leaving their
// noise out; function sources are noisy only with a noise expression, so
// without an owner they add nothing.
void InstallNoiseKindSources(int row, NoiseKindSources* sources);

// The most sources the circuit's devices can add at one frequency.
size_t NoiseSourceCapacity(const CompiledCircuit& circuit);
// Sizes the list for a run: 0 without doing anything when the run is not a
// noise run, else 0 or 15002.
int AllocateNoiseSources(const SimulatorState& state, NoiseSourceList& list, bool noiseActive);
// Rebuilds the list at `frequency` (Hz) and the run temperature (degrees
// Celsius) from every noisy device, in the order
// resistors, switches (time, voltage, current controlled), diodes, bipolar
// transistors, MOSFETs, JFETs, GaAsFETs, function sources. 0 at once when
// the run is not a noise run; else 0, 15090 or a kind's failure.
int BuildNoiseSources(SimulatorState& state, NoiseSourceList& list, bool noiseActive, double frequency,
                      double runTemperature);

// A numeric model value by parameter name, or `fallback` when the model has
// no values, no such parameter or leaves it unset.
double NoiseModelValue(const ModelRecord* model, const char* name, double fallback);
// Whether the model statement gave the parameter.
bool NoiseModelGiven(const ModelRecord* model, const char* name);
