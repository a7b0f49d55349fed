// The lossy transmission line: its set-up from R, L, G, C and LEN, the DC and
// transient stamps, the port histories and their convolution with the line's
// impulse responses, the breakpoints that delayed slope changes cause and the
// line's limits on the time step. The numerical kernel (special functions,
// responses, coefficients, truncation estimate) is in the second half.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/newton.h"

struct CompiledCircuit;
struct GlobalSettingValues;
struct LossyLineRecord;
struct TransientRun;

// The kinds of line, by which of R, L, G and C are non-zero.
enum LossyLineCase : int32_t {
    kLossyRejected = 0,  // G with L or C
    kLossyRlc = 37,
    kLossyRc = 38,
    kLossyRg = 39,
    kLossyLc = 40,
    kLossyRl = 41,  // rejected
};

constexpr int kMsgLossyUnsupported = 14181;  // RLCG, RL, GL and GC lines
constexpr int kMsgLossyNoDelayedPoint = 14182;
constexpr int kMsgLossyLengthMissing = 14183;
constexpr int kMsgLossyTooFewValues = 14185;

// The model pass: resolves every line's R, L, G, C and LEN (its own, else its
// model's, unset meaning 0), the tolerances and the case. 0, or 15055 after
// 14183, 14181 or 14185 was reported.
int SetupLossyLineModels(CompiledCircuit& circuit, const GlobalSettingValues& options);
// The instance pass: the derived values of each case; coefficient sequences
// and histories are freed. 0, or 15055 after 14181.
int SetupLossyLineInstances(CompiledCircuit& circuit);

// The reserve and load row of the lines (kRowLossyLines).
class LossyLineLoads final : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};
DeviceKindLoads& LossyLineRowLoads();

// After an accepted time was appended to run.TimePointHistory (Solution
// holding the point): every line records its port values, a breakpoint is
// added where a slope change arrives at the far end, and with TRYTOCOMPACT a
// middle point of straight histories is dropped. 0, 15002 or the Add error.
int AcceptLossyLines(SimulatorState& state, TransientRun& run);
// Lowers the proposed step to the lines' delays, the RLC lines' safe step and
// (halving it) where a line's truncation estimate exceeds its tolerance. 0 or 14181.
int LimitLossyLineStep(SimulatorState& state, double& step);
// Frees every line's histories and coefficient sequences.
void ReleaseLossyLineHistory(CompiledCircuit& circuit);

// Registers the lossy line's messages.
void RegisterLossyLineMessages();

// ---- the numerical kernel -------------------------------------------------------------------

double LossyErfc(double x);
double BesselI0(double x);
double BesselI1(double x);
double BesselI1OverX(double x);
// h2: the delayed transfer response; h3: the delayed cross response; F1: the
// twice-integrated self response; G2: the twice-integrated RC transfer response.
double RlcTransferResponse(double tau, double T, double alpha, double beta);
double RlcCrossResponse(double tau, double T, double beta);
double RlcSelfTwiceIntegral(double tau, double beta);
double RcTransferTwiceIntegral(double tau, double k);
// Integrals of the straight line through (t1, y1), (t2, y2) over [lo, hi].
double IntegrateLinear(double lo, double hi, double t1, double y1, double t2, double y2);
double IntegrateLinearTwice(double lo, double hi, double t1, double y1, double t2, double y2);
double IntegrateLinearThrice(double lo, double hi, double t1, double y1, double t2, double y2);
// Interpolation weights at x: 0, or 1 when two times coincide (the weights
// are then left as they were).
int QuadraticWeights(double x, double t1, double t2, double t3, double weights[3]);
int LinearWeights(double x, double t1, double t2, double weights[2]);
int IsStraightLine(double x1, double y1, double x2, double y2, double x3, double y3, double relTol, double absTol);
// The convolution coefficients of a line at time t over its accepted times
// (line.times[0..n]): 0, or 15002 when the sequences have no room for them.
int ComputeRcCoefficients(LossyLineRecord& line, double t);
int ComputeRlcCoefficients(LossyLineRecord& line, double t);
// The local truncation estimate of a line at time t.
double LossyLineLte(const LossyLineRecord& line, double t);
