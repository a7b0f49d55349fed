#include "engine/lossyline.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "engine/breakpoints.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "engine/transient.h"
#include "expr/devicelist.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr int kReserveUnavailable = 101;
// The model's R, L, G, C and LEN slots.
constexpr int kLlSlotR = 4, kLlSlotL = 5, kLlSlotG = 6, kLlSlotC = 7, kLlSlotLen = 8;
constexpr int32_t kLlFirstCapacity = 10;

const MessageRow kLlMessageRows[] = {
    {kMsgLossyUnsupported, "%ERLCG, RL, GL, and GC lossy transmission lines are not supported."},
    {kMsgLossyNoDelayedPoint,
     "%EInternal lossy transmission line error-cannot find delayed time point. Contact Quennard Software."},
    {kMsgLossyLengthMissing, "%ELossy transmission line length missing."},
    {kMsgLossyTooFewValues, "%EIn lossy transmission lines, at least two of R,L,G,C must be specified and nonzero."},
};

template <class F>
int ll_Walk(CompiledCircuit* circuit, F visit) {
    if (!circuit) return 0;
    for (PoolItem* item = circuit->devices[kListLossyLines].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<LossyLineRecord*>(item))) return rc;
    }
    return 0;
}

double ll_Exp(double a) { return std::exp(std::clamp(a, -350.0, 350.0)); }

double ll_At(const std::vector<double>& v, int32_t k) {
    return k > 0 && static_cast<size_t>(k) < v.size() ? v[static_cast<size_t>(k)] : 0.0;
}
double ll_Port1(const SimulatorState& s, const LossyLineRecord& l) {
    return ll_At(s.Solution, l.pos1) - ll_At(s.Solution, l.neg1);
}
double ll_Port2(const SimulatorState& s, const LossyLineRecord& l) {
    return ll_At(s.Solution, l.pos2) - ll_At(s.Solution, l.neg2);
}

// The line's value of a parameter, else its model's; unset is 0.
double ll_Resolve(const LossyLineRecord& line, int32_t given, double own, int slot) {
    if (given && !IsUnsetValue(own)) return own;
    const ModelRecord* model = line.model;
    if (!model || !model->Values) return 0.0;
    const double value = model->Values[slot];
    return IsUnsetValue(value) ? 0.0 : value;
}

int ll_Report(const LossyLineRecord& line, int id) {
    MessageRequest request = Message(id);
    if (line.part) request.Component(line.part);
    Reporter().Report(request);
    return kResultShown;
}

// The RG line's exact two-port values.
void ll_RgValues(LossyLineValues& v, bool withG) {
    const double x = std::min(v.len * std::sqrt(v.r * v.g), 700.0);
    const double ePlus = std::min(std::exp(x), 1e31);
    const double eMinus = std::min(std::exp(-x), 1e31);
    v.coshLength = (ePlus + eMinus) / 2.0;
    v.rSinhLength = v.g <= 1e-10 ? v.r * v.len : std::sqrt(v.r / v.g) * (ePlus - eMinus) / 2.0;
    if (withG) v.gSinhLength = v.r <= 1e-10 ? v.g * v.len : std::sqrt(v.g / v.r) * (ePlus - eMinus) / 2.0;
}

// The area test alone takes a step for straight when the point before it
// lies close to its predecessor (the step's area is then tiny against the
// whole): dropping that point would turn the step into a ramp. The middle
// point must also lie on the chord of the outer two.
bool ll_OnChord(double x1, double y1, double x2, double y2, double x3, double y3, double relTol, double absTol) {
    if (x3 == x1) return y1 == y2 && y2 == y3;
    const double chord = y1 + (y3 - y1) * (x2 - x1) / (x3 - x1);
    return std::fabs(y2 - chord) <= relTol * std::max({std::fabs(y1), std::fabs(y2), std::fabs(y3)}) + absTol;
}

void ll_Free(std::vector<double>& v) { std::vector<double>().swap(v); }

void ll_FreeRunData(LossyLineRecord& line) {
    for (std::vector<double>* v : {&line.times, &line.voltage1History, &line.current1History, &line.voltage2History,
                                   &line.current2History, &line.selfCoeffs, &line.transferCoeffs, &line.crossCoeffs})
        ll_Free(*v);
}

// The largest step of an RLC line: where the transfer response is straight
// enough from its start to the point tested.
double ll_SafeStep(const LossyLineValues& v) {
    const double T = v.td;
    double big = 10.0 * T;
    double mid = (T + big) / 2.0;
    const double yT = RlcTransferResponse(T, T, v.alpha, v.beta);
    for (int test = 1; test <= 51; ++test) {
        if (IsStraightLine(big, RlcTransferResponse(big, T, v.alpha, v.beta), mid,
                           RlcTransferResponse(mid, T, v.alpha, v.beta), T, yT, v.compactRelTol, v.compactAbsTol))
            break;
        if (test == 51) break;
        big = mid;
        mid = (T + big) / 2.0;
    }
    return big - T;
}

bool ll_UsesDcStamps(const SimulatorState& state, const LossyLineRecord& line) {
    return state.AnalysisPhase == kPhaseDc || line.values.lossyCase == kLossyRg;
}

int ll_Reserve(EntryList& e, const SimulatorState& state, const LossyLineRecord& l) {
    const int32_t p1 = l.pos1, n1 = l.neg1, p2 = l.pos2, n2 = l.neg2, b1 = l.branch1, b2 = l.branch2;
    struct Pos {
        int32_t row, col;
    };
    auto all = [&](std::initializer_list<Pos> list) {
        for (const Pos& p : list)
            if (int rc = ReserveEntry(e, p.row, p.col)) return rc;
        return 0;
    };
    const int32_t kind = l.values.lossyCase;
    if (kind == kLossyRg)
        return all({{b1, p1},
                    {b1, n1},
                    {b1, p2},
                    {b1, n2},
                    {b1, b2},
                    {b2, b2},
                    {b2, p2},
                    {b2, n2},
                    {b2, b1},
                    {p1, b1},
                    {n1, b1},
                    {p2, b2},
                    {n2, b2}});
    if (kind != kLossyRlc && kind != kLossyRc && kind != kLossyLc) return kMsgLossyUnsupported;
    if (ll_UsesDcStamps(state, l))
        return all({{p1, b1}, {n1, b1}, {p2, b2}, {n2, b2}, {b1, b1}, {b1, b2}, {b2, p1}, {b2, p2}, {b2, b1}});
    if (kind == kLossyRc)
        return all({{b1, b1},
                    {p1, b1},
                    {n1, b1},
                    {b2, b2},
                    {p2, b2},
                    {n2, b2},
                    {b1, p1},
                    {b1, n1},
                    {b2, p2},
                    {b2, n2},
                    {b1, b2},
                    {b2, b1},
                    {b1, p2},
                    {b1, n2},
                    {b2, p1},
                    {b2, n1}});
    if (kind == kLossyRlc) {
        if (int rc = all({{b1, p1}, {b1, n1}, {b2, p2}, {b2, n2}})) return rc;
    }
    return all({{b1, p1}, {b1, n1}, {b1, b1}, {p1, b1}, {n1, b1}, {b2, p2}, {b2, n2}, {b2, b2}, {p2, b2}, {n2, b2}});
}

void ll_Stamp(SimulatorState& state, const LossyLineRecord& l) {
    EntryCursor& c = state.Cursor;
    const LossyLineValues& v = l.values;
    auto put = [&](std::initializer_list<double> values) {
        for (double x : values) c.Stamp(x);
    };
    if (v.lossyCase == kLossyRg) {
        const double g1 = 1.0 + state.Options.gmin;
        put({1.0, -1.0, -v.coshLength, v.coshLength, g1 * v.rSinhLength, v.coshLength, -g1 * v.gSinhLength,
             g1 * v.gSinhLength, 1.0, 1.0, -1.0, 1.0, -1.0});
        return;
    }
    if (ll_UsesDcStamps(state, l)) {
        const double series = state.MatrixBuilt ? -v.r * v.len : 0.001;
        put({1.0, -1.0, 1.0, -1.0, 1.0, 1.0, 1.0, -1.0, series});
        return;
    }
    const double y0 = v.admittance;
    if (v.lossyCase == kLossyRc) {
        const double s = v.selfFirstCoeff, r = v.transferFirstCoeff, x = v.crossFirstCoeff;
        put({-1.0, 1.0, -1.0, -1.0, 1.0, -1.0, s, -s, s, -s, -r, -r, -x, x, -x, x});
        return;
    }
    if (v.lossyCase == kLossyRlc) {
        const double s = y0 * v.selfFirstCoeff;
        put({s, -s, s, -s});
    }
    put({y0, -y0, -1.0, 1.0, -1.0, y0, -y0, -1.0, 1.0, -1.0});
}

// The model part of a load of the time loop: the coefficients and the
// weights at the delayed time, once per time point.
int ll_PrepareTimePoint(SimulatorState& state, LossyLineRecord& l) {
    LossyLineValues& v = l.values;
    const double time = state.Time;
    switch (v.lossyCase) {
    case kLossyRlc:
    case kLossyLc: {
        v.late = time > v.td;
        if (v.lossyCase == kLossyRlc && !l.times.empty()) {
            if (int rc = ComputeRlcCoefficients(l, time)) return rc;
        }
        if (!v.late) return kOk;
        const int32_t n = static_cast<int32_t>(l.times.size()) - 1;
        const double delayed = time - v.td;
        int32_t d = -1;
        for (int32_t i = n; i >= 0; --i) {
            if (l.times[static_cast<size_t>(i)] < delayed) {
                d = i;
                break;
            }
        }
        if (d == n) d = n - 1;
        if (d < 0) return kMsgLossyNoDelayedPoint;
        v.delayedIndex = d;
        auto t = [&](int32_t i) { return l.times[static_cast<size_t>(i)]; };
        if (d > 0) {
            QuadraticWeights(delayed, t(d - 1), t(d), t(d + 1), v.quadWeight);
        } else {
            LinearWeights(delayed, t(0), t(1), v.linWeight);
        }
        return kOk;
    }
    case kLossyRc: return l.times.empty() ? int{kOk} : ComputeRcCoefficients(l, time);
    case kLossyRg: return kOk;
    default: return kMsgLossyUnsupported;
    }
}

double ll_Delayed(const LossyLineRecord& l, const std::vector<double>& h, double start) {
    const LossyLineValues& v = l.values;
    if (!v.late) return start;
    const int32_t d = v.delayedIndex;
    auto at = [&](int32_t i) { return static_cast<size_t>(i) < h.size() ? h[static_cast<size_t>(i)] : 0.0; };
    if (d > 0) {
        // A parabola through unevenly spaced points next to a step (a long
        // straight stretch kept as its two ends, then a corner) swings far
        // beyond the values it passes through: the value is held within them.
        const double a = at(d - 1), b = at(d), c = at(d + 1);
        const double value = v.quadWeight[0] * a + v.quadWeight[1] * b + v.quadWeight[2] * c;
        return std::clamp(value, std::min({a, b, c}), std::max({a, b, c}));
    }
    return v.linWeight[0] * at(0) + v.linWeight[1] * at(1);
}

// Σ_(i = top .. 1) coeffs[i] (h[i] - start), entries of 0 skipped.
double ll_Sum(const std::vector<double>& coeffs, const std::vector<double>& h, double start, int32_t top) {
    double sum = 0.0;
    const int32_t last = std::min({top, static_cast<int32_t>(coeffs.size()) - 1, static_cast<int32_t>(h.size()) - 1});
    for (int32_t i = last; i >= 1; --i) {
        const double c = coeffs[static_cast<size_t>(i)];
        if (c != 0.0) sum += c * (h[static_cast<size_t>(i)] - start);
    }
    return sum;
}

void ll_Sources(LossyLineRecord& l) {
    const LossyLineValues& v = l.values;
    const double y0 = v.admittance;
    const double v1d = ll_Delayed(l, l.voltage1History, l.startVoltage1);
    const double i1d = ll_Delayed(l, l.current1History, l.startCurrent1);
    const double v2d = ll_Delayed(l, l.voltage2History, l.startVoltage2);
    const double i2d = ll_Delayed(l, l.current2History, l.startCurrent2);
    const int32_t n = static_cast<int32_t>(l.times.size()) - 1;
    switch (v.lossyCase) {
    case kLossyLc:
        l.source1 = v.attenuation * (y0 * v2d + i2d);
        l.source2 = v.attenuation * (y0 * v1d + i1d);
        return;
    case kLossyRlc: {
        auto port = [&](const std::vector<double>& vSelf, double svSelf, const std::vector<double>& iFar, double siFar,
                        double iFarD, const std::vector<double>& vFar, double svFar, double vFarD) {
            double s =
                -y0 * (ll_Sum(l.selfCoeffs, vSelf, svSelf, n) + svSelf * v.selfIntegral - svSelf * v.selfFirstCoeff);
            double transfer = 0.0, cross = 0.0;
            if (v.late) {
                transfer = v.transferFirstCoeff * (iFarD - siFar) + ll_Sum(l.transferCoeffs, iFar, siFar, v.delayIndex);
                cross = v.crossFirstCoeff * (vFarD - svFar) + ll_Sum(l.crossCoeffs, vFar, svFar, v.delayIndex);
            }
            s += transfer + siFar * v.transferIntegral;
            s += y0 * (cross + svFar * v.crossIntegral);
            s += v.attenuation * (y0 * vFarD + iFarD);
            return s;
        };
        l.source1 = port(l.voltage1History, l.startVoltage1, l.current2History, l.startCurrent2, i2d, l.voltage2History,
                         l.startVoltage2, v2d);
        l.source2 = port(l.voltage2History, l.startVoltage2, l.current1History, l.startCurrent1, i1d, l.voltage1History,
                         l.startVoltage1, v1d);
        return;
    }
    case kLossyRc: {
        auto port = [&](const std::vector<double>& vSelf, double svSelf, const std::vector<double>& iFar, double siFar,
                        const std::vector<double>& vFar, double svFar) {
            return -(ll_Sum(l.selfCoeffs, vSelf, svSelf, n) + svSelf * v.selfIntegral - svSelf * v.selfFirstCoeff) +
                   ll_Sum(l.transferCoeffs, iFar, siFar, n) + siFar * v.transferIntegral -
                   siFar * v.transferFirstCoeff + ll_Sum(l.crossCoeffs, vFar, svFar, n) + svFar * v.crossIntegral -
                   svFar * v.crossFirstCoeff;
        };
        l.source1 = port(l.voltage1History, l.startVoltage1, l.current2History, l.startCurrent2, l.voltage2History,
                         l.startVoltage2);
        l.source2 = port(l.voltage2History, l.startVoltage2, l.current1History, l.startCurrent1, l.voltage1History,
                         l.startVoltage1);
        return;
    }
    default: l.source1 = l.source2 = 0.0; return;
    }
}

// Grows a sequence to hold entry n, by the history's growth increment.
int ll_Grow(std::vector<double>& v, int32_t n, int32_t increment) {
    const size_t need = static_cast<size_t>(n) + 1;
    if (v.size() >= need) return kOk;
    try {
        if (v.capacity() < need) v.reserve(need + static_cast<size_t>(std::max(increment, 1)));
        v.resize(need, 0.0);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    return kOk;
}

}  // namespace

void RegisterLossyLineMessages() {
    RegisterMessages(kLlMessageRows, static_cast<int>(sizeof kLlMessageRows / sizeof kLlMessageRows[0]));
}

int SetupLossyLineModels(CompiledCircuit& circuit, const GlobalSettingValues& options) {
    return ll_Walk(&circuit, [&](LossyLineRecord& l) {
        LossyLineValues& v = l.values;
        v = LossyLineValues{};
        v.compactRelTol = options.reltol;
        v.compactAbsTol = options.abstol;
        v.r = ll_Resolve(l, l.rGiven, l.r, kLlSlotR);
        v.l = ll_Resolve(l, l.lGiven, l.l, kLlSlotL);
        v.g = ll_Resolve(l, l.gGiven, l.g, kLlSlotG);
        v.c = ll_Resolve(l, l.cGiven, l.c, kLlSlotC);
        v.len = ll_Resolve(l, l.lenGiven, l.len, kLlSlotLen);
        if (v.len == 0.0) return ll_Report(l, kMsgLossyLengthMissing);
        const bool r = v.r != 0.0, L = v.l != 0.0, g = v.g != 0.0, c = v.c != 0.0;
        if (r + L + g + c < 2) return ll_Report(l, kMsgLossyTooFewValues);
        if (g && (L || c)) {
            v.lossyCase = kLossyRejected;
        } else if (r && L && c) {
            v.lossyCase = kLossyRlc;
        } else if (r && c) {
            v.lossyCase = kLossyRc;
        } else if (r && g) {
            v.lossyCase = kLossyRg;
        } else if (L && c) {
            v.lossyCase = kLossyLc;
        } else {
            v.lossyCase = kLossyRl;
        }
        if (v.lossyCase == kLossyRejected || v.lossyCase == kLossyRl) return ll_Report(l, kMsgLossyUnsupported);
        return 0;
    });
}

int SetupLossyLineInstances(CompiledCircuit& circuit) {
    return ll_Walk(&circuit, [&](LossyLineRecord& l) {
        LossyLineValues& v = l.values;
        switch (v.lossyCase) {
        case kLossyRlc:
        case kLossyLc:
            v.impedance = std::sqrt(v.l / v.c);
            v.admittance = 1.0 / v.impedance;
            v.td = std::sqrt(v.l * v.c) * v.len;
            if (v.lossyCase == kLossyLc) {
                v.attenuation = 1.0;
                break;
            }
            v.alpha = v.beta = v.r / (2.0 * v.l);
            v.attenuation = ll_Exp(-v.td * v.alpha);
            if (v.alpha > 0.0) {
                v.selfIntegral = -1.0;
                v.transferIntegral = 1.0 - v.attenuation;
                v.crossIntegral = -v.attenuation;
            } else {
                v.selfIntegral = v.transferIntegral = v.crossIntegral = 0.0;
            }
            v.safeStepLimit = ll_SafeStep(v);
            break;
        case kLossyRc:
            v.selfIntegral = 0.0;
            v.transferIntegral = 1.0;
            v.crossIntegral = 0.0;
            v.cOverR = v.c / v.r;
            v.rcLenSquared = v.r * v.c * v.len * v.len;
            break;
        case kLossyRg:
            // GSinhLength as well: a run whose first load is not a DC one
            // would otherwise stamp the value of an earlier run, or 0.
            ll_RgValues(v, true);
            break;
        default: return ll_Report(l, kMsgLossyUnsupported);
        }
        ll_FreeRunData(l);
        return 0;
    });
}

int LossyLineLoads::Reserve(SimulatorState& state) {
    if (!state.Circuit || !state.Entries() || !state.Matrix()) return kReserveUnavailable;
    EntryList& entries = *state.Entries();
    return ll_Walk(state.Circuit, [&](LossyLineRecord& l) { return ll_Reserve(entries, state, l); });
}

int LossyLineLoads::Load(SimulatorState& state) {
    const bool stamping = state.Installed != nullptr && state.Cursor.Active();
    const bool built = state.MatrixBuilt == 1;
    bool outputs = false;
    const int rc = ll_Walk(state.Circuit, [&](LossyLineRecord& l) {
        LossyLineValues& v = l.values;
        if (v.lossyCase != kLossyRlc && v.lossyCase != kLossyRc && v.lossyCase != kLossyRg && v.lossyCase != kLossyLc)
            return kMsgLossyUnsupported;
        if (built) {
            if (state.AnalysisPhase == kPhaseDc) {
                if (v.lossyCase == kLossyRg) ll_RgValues(v, true);
            } else if (state.TransientStartLoad) {
                if (int r = ll_PrepareTimePoint(state, l)) return r;
            }
        }
        if (ll_UsesDcStamps(state, l)) {
            if (stamping) ll_Stamp(state, l);
            l.source1 = l.source2 = 0.0;
        } else {
            if (state.IterationMode == kModeInitTransient && !state.UseInitialConditions) {
                l.startVoltage1 = ll_Port1(state, l);
                l.startCurrent1 = ll_At(state.Solution, l.branch1);
                l.startVoltage2 = ll_Port2(state, l);
                l.startCurrent2 = ll_At(state.Solution, l.branch2);
            }
            if (stamping) ll_Stamp(state, l);
            if (built && state.TransientStartLoad) ll_Sources(l);
            if (l.branch1 > 0 && static_cast<size_t>(l.branch1) < state.Rhs.size())
                state.Rhs[static_cast<size_t>(l.branch1)] += l.source1;
            if (l.branch2 > 0 && static_cast<size_t>(l.branch2) < state.Rhs.size())
                state.Rhs[static_cast<size_t>(l.branch2)] += l.source2;
        }
        if (l.quantityRefs || l.powerRefs) outputs = true;
        return 0;
    });
    if (rc) return rc;
    if (outputs) {
        ll_Walk(state.Circuit, [&](LossyLineRecord& l) {
            if (!l.quantityRefs && !l.powerRefs) return 0;
            const double i1 = ll_At(state.Solution, l.branch1), i2 = ll_At(state.Solution, l.branch2);
            l.linePower = ll_Port1(state, l) * i1 + ll_Port2(state, l) * i2;
            l.power[kPowerStored] = ComplexNumber{l.linePower, 0.0};
            state.Power.PowerStored += l.linePower;
            l.lineCurrent1 = i1;
            l.lineCurrent2 = i2;
            return 0;
        });
    }
    return kOk;
}

DeviceKindLoads& LossyLineRowLoads() {
    static LossyLineLoads loads;
    return loads;
}

int AcceptLossyLines(SimulatorState& state, TransientRun& run) {
    const int32_t n = run.TimePointIndex;
    if (n < 0 || static_cast<size_t>(n) >= run.TimePointHistory.size()) return kOk;
    const double tn = run.TimePointHistory[static_cast<size_t>(n)];
    const GlobalSettingValues& o = state.Options;
    bool straight = true;
    const int rc = ll_Walk(state.Circuit, [&](LossyLineRecord& l) {
        LossyLineValues& v = l.values;
        if (n == 0) ll_FreeRunData(l);
        std::vector<double>* histories[4] = {&l.voltage1History, &l.current1History, &l.voltage2History,
                                             &l.current2History};
        const int32_t increment = std::max(run.TimePointIncrement, kLlFirstCapacity);
        for (std::vector<double>* seq : {&l.times, &l.selfCoeffs, &l.transferCoeffs, &l.crossCoeffs, histories[0],
                                         histories[1], histories[2], histories[3]}) {
            if (ll_Grow(*seq, n, increment)) {
                if (seq == histories[0]) Reporter().Report(FormattedMessage("Ltraccct...Adding a breakpoint."));
                return int{kResultNoMemory};
            }
        }
        // The sequences hold exactly the accepted points.
        for (std::vector<double>* seq : {&l.times, histories[0], histories[1], histories[2], histories[3]})
            seq->resize(static_cast<size_t>(n) + 1);
        const size_t k = static_cast<size_t>(n);
        l.times[k] = tn;
        l.voltage1History[k] = ll_Port1(state, l);
        l.current1History[k] = ll_At(state.Solution, l.branch1);
        l.voltage2History[k] = ll_Port2(state, l);
        l.current2History[k] = ll_At(state.Solution, l.branch2);
        if (n < 2) return 0;
        const auto& t = l.times;
        if (o.trytocompact) {
            for (std::vector<double>* h : histories) {
                if (!straight) break;
                straight = IsStraightLine(t[k - 2], (*h)[k - 2], t[k - 1], (*h)[k - 1], t[k], (*h)[k], v.compactRelTol,
                                          v.compactAbsTol) &&
                           ll_OnChord(t[k - 2], (*h)[k - 2], t[k - 1], (*h)[k - 1], t[k], (*h)[k], v.compactRelTol,
                                      v.compactAbsTol);
            }
        }
        // A slope change of the wave leaving a port arrives at the other end one delay later.
        auto due = [&](const std::vector<double>& current, const std::vector<double>& voltage) {
            double w[3];
            for (int j = 0; j < 3; ++j)
                w[j] = v.attenuation *
                       (v.impedance * current[k - static_cast<size_t>(j)] + voltage[k - static_cast<size_t>(j)]);
            const double d1 = (w[0] - w[1]) / (t[k] - t[k - 1]);
            const double d2 = (w[1] - w[2]) / (t[k - 1] - t[k - 2]);
            if (!std::isfinite(d1) || !std::isfinite(d2)) return false;
            const double spread = std::max({w[0], w[1], w[2]}) - std::min({w[0], w[1], w[2]});
            return std::fabs(d1 - d2) >= v.slopeAbsTol + v.slopeRelTol * std::max(std::fabs(d1), std::fabs(d2)) &&
                   spread >= std::fabs((o.abstol + o.reltol * (w[0] + w[1] + w[2]) / 3.0) * 50.0);
        };
        if (v.td > 0.0 && (due(l.current1History, l.voltage1History) || due(l.current2History, l.voltage2History))) {
            // An arrival the run has already passed (a step longer than the
            // delay) is no breakpoint: the time loop would step back to it.
            const double ticks = (t[k - 1] + v.td) / state.Tick;
            if (ticks >= 0.0 && ticks <= kTickLimit && static_cast<uint32_t>(ticks) > TicksUp(t[k], state.Tick)) {
                if (int r = run.Breakpoints.Add(static_cast<uint32_t>(ticks), 0, 0, kBreakAnalog)) return r;
            }
        }
        return 0;
    });
    if (rc) return rc;
    if (o.trytocompact && straight && n >= 2) {
        // The middle point goes: every line's entry n - 1 takes entry n.
        ll_Walk(state.Circuit, [&](LossyLineRecord& l) {
            for (std::vector<double>* h :
                 {&l.times, &l.voltage1History, &l.current1History, &l.voltage2History, &l.current2History}) {
                (*h)[static_cast<size_t>(n) - 1] = (*h)[static_cast<size_t>(n)];
                h->resize(static_cast<size_t>(n));
            }
            return 0;
        });
        run.TimePointHistory[static_cast<size_t>(n) - 1] = tn;
        run.TimePointHistory.resize(static_cast<size_t>(n));
        --run.TimePointIndex;
    }
    return kOk;
}

int LimitLossyLineStep(SimulatorState& state, double& step) {
    const GlobalSettingValues& o = state.Options;
    return ll_Walk(state.Circuit, [&](LossyLineRecord& l) {
        const LossyLineValues& v = l.values;
        switch (v.lossyCase) {
        case kLossyRlc:
        case kLossyLc:
        case kLossyRc:
            if (v.lossyCase != kLossyRc) step = std::min(step, v.td);
            if (v.lossyCase == kLossyRlc) step = std::min(step, v.safeStepLimit);
            if (v.lossyCase != kLossyLc) {
                const double tolerance =
                    o.trtol * (o.reltol * (std::fabs(l.source1) + std::fabs(l.source2)) + o.abstol);
                if (LossyLineLte(l, state.Time) >= tolerance) step *= 0.5;
            }
            return 0;
        case kLossyRg: return 0;
        default: return kMsgLossyUnsupported;
        }
    });
}

void ReleaseLossyLineHistory(CompiledCircuit& circuit) {
    ll_Walk(&circuit, [](LossyLineRecord& l) {
        ll_FreeRunData(l);
        return 0;
    });
}
