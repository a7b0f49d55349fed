// The values of the independent sources at an analysis point: the waveform
// functions (pulse, sine and SFFM, exponential, Gaussian), the piecewise-
// linear and noise tables with their repeats, scale factors and triggers, and
// the bound the waveforms put on the transient time step.
#pragma once

#include <cstdint>

struct CompiledCircuit;
struct SourceRecord;

// Where in a run the values are wanted.
struct SourcePoint {
    double time = 0.0;       // the present time
    double startTime = 0.0;  // the run's start time (tables and triggers count from it)
    double stopTime = 1e30;  // table expansion ends after the first point beyond it
    // A transient (or distortion) run follows the waveforms; other runs take
    // the DC value, or the waveform's value at time 0 when no DC was given.
    bool transient = true;
};

// The pulse from v0 to v1: delay p1, rise until p2, high until p3, fall until
// p4, period p5 (0: v0 throughout).
double PulseWave(double t, double v0, double v1, double p1, double p2, double p3, double p4, double p5);
// kind 2: vo + va*u*sin(phase + 2*pi*freq*(t - td)), damped by exp over tau
// and restarting every p seconds (no damping when tau or p is 0); kind 5 (SFFM)
// modulates the argument with mdi*sin(2*pi*fs*(t - td)) instead of the phase.
// vo before td. The argument is capped at 1e8.
double SineWave(double t, int kind, double vo, double freq, double va, double tau, double p, double td, double phase,
                double mdi, double fs);
// v1 until td1, then towards v2 with tau1, from td2 back towards v1 with tau2.
double ExpWave(double t, double v1, double v2, double td1, double tau1, double td2, double tau2);

// The SPICE source's value at the point (its table must be built for PWL and
// NOISE): 0, or 15055 after "%ETime must be in ascending order." (10631).
int SpiceSourceValue(SourceRecord& source, const SourcePoint& at, double* value);
// The table value at the point, with the trigger applied.
int PwlValue(SourceRecord& source, const SourcePoint& at, double* value);

// Expands the PWL points (repeats, scale factors; values evaluated) or the
// NOISE samples into the source's table. A REPEAT FOREVER pass that does not
// advance the time ends the expansion, and so does the 2000th point or the
// third FOREVER pass when the table is only shown. 0, 15002 when the table
// cannot be held, or 15055 after a message about a value text.
int BuildPwlTable(SourceRecord& source, const SourcePoint& at, bool forDisplay);
// Every PWL and NOISE source of the circuit: 0 or the first failure.
int BuildAllPwlTables(CompiledCircuit& circuit, const SourcePoint& at);
// At the start of a transient run: no PWL source triggered, every trigger
// time the start time.
void ResetPwlTriggers(CompiledCircuit& circuit, double startTime);
// At every time point: a PWL source whose trigger is absent, fails or is
// non-zero latches the time it became so; a zero trigger releases it.
void LatchPwlTriggers(CompiledCircuit& circuit, double time);

// The present value of every pulse, sine and SPICE source: 0 or the first
// failure (15055 after its message).
int UpdateSourceValues(CompiledCircuit& circuit, const SourcePoint& at);
// The largest transient step the waveforms allow: a tenth of the period of
// every sine source and SPICE SIN source, and of an SFFM's carrier and
// modulation; 1e30 when none limits it.
double SourceMaxStep(CompiledCircuit& circuit);
// A pulse source's model values (VZERO VONE P1..P5) as SPICE PULSE parameters
// (V1 V2 TD TR TF PW PER).
void PulseModelToSpicePulse(double spice[7], const double* pulseModel);

// The message texts of the source values (start-up; RegisterDeviceMessages calls it).
void RegisterWaveformMessages();
