// The matrix reservation and the load of MOSFET levels 1-3: terminal voltages
// by iteration mode, the bypass of devices whose voltages did not move,
// voltage limiting, the bulk diodes, the channel, the junction and Meyer gate
// charges, the convergence test, the companion model stamps and the terminal
// currents and powers.
#include <cmath>

#include "compiler/compiled.h"
#include "devices/mosfets.h"
#include "engine/integrate.h"
#include "engine/newton.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/complex.h"
#include "models/modelstmt.h"

namespace {

constexpr int kMosBlocks = 7;  // charge blocks of every MOSFET list item
constexpr int kBlockQgs = 0;
constexpr int kBlockQgd = 1;
constexpr int kBlockQgb = 2;
constexpr int kBlockQbd = 3;
constexpr int kBlockQbs = 4;

// Failure reasons a MOSFET records.
constexpr int32_t kMosFailureLimited = 1;
constexpr int32_t kMosFailureDrain = 2;
constexpr int32_t kMosFailureBulk = 3;

bool ml_Serves(const MosfetRecord* r) {
    return r->level <= 3 && r->model && r->model->Values && r->derived.size() >= kMosDerivedCount;
}

template <class Fn>
int ml_Walk(SimulatorState& state, Fn&& fn) {
    if (!state.Circuit) return 0;
    for (PoolItem* item = state.Circuit->devices.lists[kListMosfets].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* r = static_cast<MosfetRecord*>(item);
        if (r->level > 3) continue;
        if (int rc = fn(r)) return rc;
    }
    return 0;
}

double ml_Solution(const SimulatorState& state, int32_t node) {
    return node > 0 && static_cast<size_t>(node) < state.Solution.size() ? state.Solution[static_cast<size_t>(node)]
                                                                         : 0.0;
}

void ml_AddRhs(SimulatorState& state, int32_t node, double value) {
    if (node > 0 && static_cast<size_t>(node) < state.Rhs.size()) state.Rhs[static_cast<size_t>(node)] += value;
}

// The block of the first MOSFET charge: after the capacitors, inductors and
// the semiconductors laid out before the MOSFETs.
int32_t ml_FirstBlock(const SimulatorState& state) {
    const auto count = [&](int list) { return state.Circuit->devices.lists[list].pool.count; };
    return count(kListCapacitors) + count(kListInductors) + count(kListDiodes) + 2 * count(kListJfets) +
           3 * count(kListGaasfets) + 5 * count(kListBipolars);
}

// A magnitude above 1e10 or below 1e-10 is brought to that bound, sign kept.
double ml_ClampVoltage(double v) {
    const double a = std::fabs(v);
    if (a > 1e10) return v < 0 ? -1e10 : 1e10;
    if (a < 1e-10) return v < 0 ? -1e-10 : 1e-10;
    return v;
}

// The ideal bulk diode: current and conductance.
void ml_BulkDiode(double v, double satCur, double vt, double gmin, double& current, double& conductance) {
    if (v <= 0) {
        conductance = satCur / vt + gmin;
        current = conductance * v;
    } else {
        const double e = ClampedExp(std::fmin(v / vt, 300.0));
        current = satCur * (e - 1.0) + gmin * v;
        conductance = satCur * e / vt + gmin;
    }
    current = ClampTiny(current);
}

// The depletion (and transit-time) charge of one bulk junction and its capacitance.
void ml_BulkCharge(double v, double zero, double sidewall, const double* f, double threshold, double pb, double mj,
                   double mjsw, double tt, double current, double conductance, double& charge, double& capacitance) {
    if (zero == 0 && sidewall == 0) {
        charge = 0;
        capacitance = 0;
        return;
    }
    if (v < threshold) {
        const double arg = 1.0 - v / pb;
        const auto factor = [&](double grading) {
            return grading == 0.5 ? 1.0 / std::sqrt(std::fabs(arg)) : std::exp(-grading * std::log(arg));
        };
        const double sarg = factor(mj);
        const double sargsw = mj == mjsw ? sarg : factor(mjsw);
        charge = pb * (zero * (1.0 - arg * sarg) / (1.0 - mj) + sidewall * (1.0 - arg * sargsw) / (1.0 - mjsw)) +
                 tt * current;
        capacitance = zero * sarg + sidewall * sargsw + tt * conductance;
    } else {
        charge = f[2] + v * (f[0] + 0.5 * f[1] * v) + tt * current;
        capacitance = f[0] + f[1] * v + tt * conductance;
    }
}

class MosfetLoads : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override {
        EntryList* entries = state.Entries();
        if (!entries || !state.Matrix()) return 0;
        return ml_Walk(state, [&](MosfetRecord* r) {
            const int32_t d = r->drain, g = r->gate, s = r->source, b = r->bulk;
            const int32_t dp = r->drainPrime, gp = r->gatePrime, sp = r->sourcePrime, bp = r->bulkPrime;
            const int32_t order[32][2] = {
                {dp, sp}, {sp, dp}, {dp, dp}, {sp, sp}, {d, d},  {gp, gp}, {gp, g},  {g, gp},
                {g, g},   {s, s},   {bp, bp}, {bp, b},  {b, bp}, {b, b},   {dp, dp}, {sp, sp},
                {d, dp},  {gp, bp}, {gp, dp}, {gp, sp}, {s, sp}, {bp, dp}, {bp, sp}, {dp, sp},
                {dp, d},  {bp, gp}, {dp, gp}, {sp, gp}, {sp, s}, {dp, bp}, {sp, bp}, {sp, dp},
            };
            for (const auto& entry : order)
                if (int rc = ReserveEntry(*entries, entry[0], entry[1])) return rc;
            return 0;
        });
    }

    int Load(SimulatorState& state) override {
        if (!state.Circuit) return 0;
        int32_t block = ml_FirstBlock(state);
        const StateVectors states = state.States();
        return ml_Walk(state, [&](MosfetRecord* r) {
            const int32_t first = block;
            block += kMosBlocks;
            if (!ml_Serves(r)) return 0;
            if (first + kMosBlocks > states.StateCount || !states.StateValues) return 101;
            LoadOne(state, *r, states, first);
            return 0;
        });
    }

private:
    static void ShiftHistories(SimulatorState& state, MosfetRecord& r) {
        // The voltages and Meyer halves of the last accepted point become the
        // previous ones, once per accepted point.
        if (state.IterationMode == kModeInitPredictor && r.historyValid && r.historyTime == state.PreviousTime) return;
        // The first time point has only the operating point behind it: its
        // prediction must not reach back to values of an earlier run.
        const bool first = state.IterationMode == kModeInitTransient;
        r.vbsOlder = first ? r.vbs : r.vbsPrevious;
        r.vgsOlder = first ? r.vgs : r.vgsPrevious;
        r.vdsOlder = first ? r.vds : r.vdsPrevious;
        r.vbsPrevious = r.vbs;
        r.vgsPrevious = r.vgs;
        r.vdsPrevious = r.vds;
        double* d = r.derived.data();
        d[kMosCgsHalfPrevious] = d[kMosCgsHalf];
        d[kMosCgdHalfPrevious] = d[kMosCgdHalf];
        d[kMosCgbHalfPrevious] = d[kMosCgbHalf];
        r.historyTime = state.PreviousTime;
        r.historyValid = 1;
    }

    static void LoadOne(SimulatorState& state, MosfetRecord& r, const StateVectors& states, int32_t base) {
        const GlobalSettingValues& options = state.Options;
        const double* m = r.model->Values;
        double* dv = r.derived.data();
        const double p = MosPolarity(r.model);
        const int mode = state.IterationMode;
        const bool timeLoop = state.AnalysisPhase == kPhaseTransient;
        const bool dcMode = state.AnalysisPhase == kPhaseDc;
        const bool transientRun = state.LoadAnalysis == kLoadTransient;
        const bool chargesNeeded = timeLoop || transientRun || mode == kModeInitSmallSignal;
        const double bypassTol = state.RelTolMilli;

        if (mode == kModeInitTransient || mode == kModeInitPredictor) ShiftHistories(state, r);

        double vbs = 0, vgs = 0, vds = 0, vbd = 0, vgd = 0, vgb = 0;
        bool evaluate = true;  // steps 2 to 5 apply
        switch (mode) {
        case kModeFloat:
            vbs = p * (ml_Solution(state, r.bulkPrime) - ml_Solution(state, r.sourcePrime));
            vgs = p * (ml_Solution(state, r.gatePrime) - ml_Solution(state, r.sourcePrime));
            vds = p * (ml_Solution(state, r.drainPrime) - ml_Solution(state, r.sourcePrime));
            break;
        case kModeInitJunction:
            evaluate = false;
            if (!r.off) {
                vbs = p * r.icVbs;
                vgs = p * r.icVgs;
                vds = p * r.icVds;
                if (vbs == 0 && vgs == 0 && vds == 0 &&
                    (timeLoop || state.LoadAnalysis == kLoadOperatingPoint || state.LoadAnalysis == kLoadDcSweep ||
                     !state.UseInitialConditions)) {
                    vbs = -1;
                    vgs = p * r.tVto;
                    vds = 0;
                }
            }
            break;
        case kModeInitFix:
            if (r.off) {
                evaluate = false;
            } else {
                vbs = p * (ml_Solution(state, r.bulkPrime) - ml_Solution(state, r.sourcePrime));
                vgs = p * (ml_Solution(state, r.gatePrime) - ml_Solution(state, r.sourcePrime));
                vds = p * (ml_Solution(state, r.drainPrime) - ml_Solution(state, r.sourcePrime));
            }
            break;
        case kModeInitSmallSignal:
            vbs = r.vbs;
            vgs = r.vgs;
            vds = r.vds;
            break;
        case kModeInitTransient:
        case kModeInitPredictor: {
            r.vbs = r.vbsPrevious;
            r.vgs = r.vgsPrevious;
            r.vds = r.vdsPrevious;
            r.vbd = r.vbsPrevious - r.vdsPrevious;
            const double ratio = state.StepRatio;
            vbs = (1.0 + ratio) * r.vbsPrevious - ratio * r.vbsOlder;
            vgs = (1.0 + ratio) * r.vgsPrevious - ratio * r.vgsOlder;
            vds = (1.0 + ratio) * r.vdsPrevious - ratio * r.vdsOlder;
            break;
        }
        default: evaluate = false; break;
        }

        int32_t limited = 0;
        bool bypassed = false;
        double cdhat = r.cd, cbhat = r.cbs + r.cbd;
        double current = 0;  // the channel current
        if (evaluate) {
            // A drain-source reversal in the time loop waits one iteration.
            if ((mode == kModeFloat || mode == kModeInitFix) && !dcMode) {
                if (vds * r.vds < 0 && r.reversalHold < 1) {
                    vbs = r.vbs;
                    vgs = r.vgs;
                    vds = r.vds;
                    ++r.reversalHold;
                } else {
                    r.reversalHold = 0;
                }
            }
            vbs = ml_ClampVoltage(vbs);
            vgs = ml_ClampVoltage(vgs);
            vds = ml_ClampVoltage(vds);

            vbd = vbs - vds;
            vgd = vgs - vds;
            const double vgdo = r.vgs - r.vds;
            const double delvbs = vbs - r.vbs;
            const double delvbd = vbd - r.vbd;
            const double delvgs = vgs - r.vgs;
            const double delvds = vds - r.vds;
            const double delvgd = vgd - vgdo;
            cdhat = r.mode >= 0 ? r.cd - r.gbd * delvbd + r.gmbs * delvbs + r.gm * delvgs + r.gds * delvds
                                : r.cd - (r.gbd - r.gmbs) * delvbd - r.gm * delvgd + r.gds * delvds;
            cbhat = r.cbs + r.cbd + r.gbd * delvbd + r.gbs * delvbs;

            if (mode != kModeInitSmallSignal && mode != kModeInitTransient && mode != kModeInitPredictor) {
                const auto still = [&](double now, double stored, double delta) {
                    return std::fabs(delta) < bypassTol * std::fmax(std::fabs(now), std::fabs(stored)) + options.vntol;
                };
                const double cbStored = r.cbs + r.cbd;
                bypassed =
                    std::fabs(cbhat - cbStored) <
                        bypassTol * (std::fmax(std::fabs(cbhat), std::fabs(cbStored)) + options.abstol) &&
                    still(vbs, r.vbs, delvbs) && still(vbd, r.vbd, delvbd) && still(vgs, r.vgs, delvgs) &&
                    still(vds, r.vds, delvds) &&
                    std::fabs(cdhat - r.cd) < bypassTol * std::fmax(std::fabs(cdhat), std::fabs(r.cd)) + options.abstol;
            }
            if (!bypassed) {
                const double von = p * r.von;
                if (r.vds >= 0) {
                    vgs = LimitFetVoltage(vgs, r.vgs, von);
                    vds = LimitDrainSourceVoltage(vgs - vgd, r.vds);
                } else {
                    vgd = LimitFetVoltage(vgd, vgdo, von);
                    vds = -LimitDrainSourceVoltage(-(vgs - vgd), -r.vds);
                    vgs = vgd + vds;
                }
                if (vds >= 0) {
                    vbs = LimitJunctionVoltage(vbs, r.vbs, r.vt, r.sourceVcrit, limited);
                } else {
                    vbd = LimitJunctionVoltage(vbd, r.vbd, r.vt, r.drainVcrit, limited);
                    vbs = vbd + vds;
                }
            }
        }

        double capgs, capgd, capgb;
        double* qgs = states.Values(base + kBlockQgs);
        double* qgd = states.Values(base + kBlockQgd);
        double* qgb = states.Values(base + kBlockQgb);
        double* qbd = states.Values(base + kBlockQbd);
        double* qbs = states.Values(base + kBlockQbs);
        double* iqgs = states.Derivatives(base + kBlockQgs);
        double* iqgd = states.Derivatives(base + kBlockQgd);
        double* iqgb = states.Derivatives(base + kBlockQgb);
        double* iqbd = states.Derivatives(base + kBlockQbd);
        double* iqbs = states.Derivatives(base + kBlockQbs);

        if (bypassed) {
            vbs = r.vbs;
            vbd = r.vbd;
            vgs = r.vgs;
            vds = r.vds;
            vgd = vgs - vds;
            vgb = vgs - vbs;
            current = r.mode * (r.cd + r.cbd);
            capgs = r.capgs;
            capgd = r.capgd;
            capgb = r.capgb;
            if (timeLoop || transientRun) {
                capgs = r.overlapCapGs + dv[kMosCgsHalf] + dv[kMosCgsHalfPrevious];
                capgd = r.overlapCapGd + dv[kMosCgdHalf] + dv[kMosCgdHalfPrevious];
                capgb = r.overlapCapGb + dv[kMosCgbHalf] + dv[kMosCgbHalfPrevious];
                r.capgs = capgs;
                r.capgd = capgd;
                r.capgb = capgb;
            }
        } else {
            vbd = vbs - vds;
            vgd = vgs - vds;
            vgb = vgs - vbs;

            ml_BulkDiode(vbs, r.sourceSatCur, r.vt, options.gmin, r.cbs, r.gbs);
            ml_BulkDiode(vbd, r.drainSatCur, r.vt, options.gmin, r.cbd, r.gbd);

            r.mode = vds < 0 ? -1.0 : 1.0;
            const bool normal = r.mode > 0;
            const MosChannel channel =
                normal ? EvaluateMosChannel(r, vbs, vgs, vds) : EvaluateMosChannel(r, vbd, vgd, -vds);
            current = channel.current;
            r.gm = channel.gm;
            r.gds = channel.gds;
            r.gmbs = channel.gmbs;
            r.condition = channel.condition;
            r.von = p * channel.von;
            r.vdsat = p * channel.vdsat;
            r.cd = r.mode * current - r.cbd;

            const double tDepCap = dv[kMosDepletionThreshold];
            const double pb = m[kMpPb];
            if (chargesNeeded) {
                ml_BulkCharge(vbs, r.cbsZero, r.cbsSidewall, dv + kMosF2s, tDepCap, pb, m[kMpMj], m[kMpMjsw], m[kMpTt],
                              r.cbs, r.gbs, qbs[0], r.capbs);
                ml_BulkCharge(vbd, r.cbdZero, r.cbdSidewall, dv + kMosF2d, tDepCap, pb, m[kMpMj], m[kMpMjsw], m[kMpTt],
                              r.cbd, r.gbd, qbd[0], r.capbd);
                if (timeLoop || (mode == kModeInitTransient && !state.UseInitialConditions)) {
                    if (mode == kModeInitTransient) {
                        qbd[1] = qbd[2] = qbd[3] = qbd[0];
                        qbs[1] = qbs[2] = qbs[3] = qbs[0];
                    }
                    double geq = 0, ceq = 0;
                    IntegrateState(state.Formula, states, r.capbd, geq, ceq, base + kBlockQbd);
                    r.gbd += geq;
                    r.cbd += iqbd[0];
                    r.cd -= iqbd[0];
                    IntegrateState(state.Formula, states, r.capbs, geq, ceq, base + kBlockQbs);
                    r.gbs += geq;
                    r.cbs += iqbs[0];
                }
            }

            if (!(r.off && (mode == kModeInitFix || mode == kModeInitSmallSignal))) {
                const double cbNow = r.cbs + r.cbd;
                if (limited) {
                    ++state.NonConvergedCount;
                    RecordFailure(state.Failures, &r, kMosFailureLimited, 0.0, state.Time);
                } else if (std::fabs(cdhat - r.cd) >=
                           options.reltol * std::fmax(std::fabs(cdhat), std::fabs(r.cd)) + options.abstol) {
                    ++state.NonConvergedCount;
                    RecordFailure(state.Failures, &r, kMosFailureDrain, cdhat, state.Time);
                } else if (std::fabs(cbhat - cbNow) >
                           options.reltol * std::fmax(std::fabs(cbhat), std::fabs(cbNow)) + options.abstol) {
                    ++state.NonConvergedCount;
                    RecordFailure(state.Failures, &r, kMosFailureBulk, cbhat, state.Time);
                }
            }

            r.vbs = vbs;
            r.vbd = vbd;
            r.vgs = vgs;
            r.vds = vds;

            capgs = r.capgs;
            capgd = r.capgd;
            capgb = r.capgb;
            if (chargesNeeded) {
                const double oxideCap = dv[kMosOxideCap];
                const double tPhi = dv[kMosSurfacePotential];
                const double von = p * r.von;
                const double vdsat = p * r.vdsat;
                if (oxideCap <= 0) {
                    dv[kMosCgsHalf] = dv[kMosCgdHalf] = dv[kMosCgbHalf] = 0;
                } else if (normal) {
                    const MeyerHalves h = MeyerCapacitances(vgs, vgd, von, vdsat, tPhi, oxideCap);
                    dv[kMosCgsHalf] = h.gs;
                    dv[kMosCgdHalf] = h.gd;
                    dv[kMosCgbHalf] = h.gb;
                } else {
                    const MeyerHalves h = MeyerCapacitances(vgd, vgs, von, vdsat, tPhi, oxideCap);
                    dv[kMosCgsHalf] = h.gd;
                    dv[kMosCgdHalf] = h.gs;
                    dv[kMosCgbHalf] = h.gb;
                }
                const bool twice = transientRun || mode == kModeInitSmallSignal;
                const auto gate = [&](int half, int previous, double overlap) {
                    return overlap + (twice ? 2.0 * dv[half] : dv[half] + dv[previous]);
                };
                capgs = gate(kMosCgsHalf, kMosCgsHalfPrevious, r.overlapCapGs);
                capgd = gate(kMosCgdHalf, kMosCgdHalfPrevious, r.overlapCapGd);
                capgb = gate(kMosCgbHalf, kMosCgbHalfPrevious, r.overlapCapGb);
                r.capgs = capgs;
                r.capgd = capgd;
                r.capgb = capgb;
                if (mode == kModeInitTransient || mode == kModeInitPredictor) {
                    const double ratio = state.StepRatio;
                    qgs[0] = (1.0 + ratio) * qgs[1] - ratio * qgs[2];
                    qgd[0] = (1.0 + ratio) * qgd[1] - ratio * qgd[2];
                    qgb[0] = (1.0 + ratio) * qgb[1] - ratio * qgb[2];
                } else if (timeLoop) {
                    const double vgs1 = r.vgsPrevious;
                    const double vgd1 = r.vgsPrevious - r.vdsPrevious;
                    const double vgb1 = r.vgsPrevious - r.vbsPrevious;
                    qgs[0] = (vgs - vgs1) * capgs + qgs[1];
                    qgd[0] = (vgd - vgd1) * capgd + qgd[1];
                    qgb[0] = (vgb - vgb1) * capgb + qgb[1];
                } else {
                    qgs[0] = vgs * capgs;
                    qgd[0] = vgd * capgd;
                    qgb[0] = vgb * capgb;
                }
            }
        }

        // Gate companion models, only while the time loop integrates.
        double gcgs = 0, gcgd = 0, gcgb = 0, ceqgs = 0, ceqgd = 0, ceqgb = 0;
        if (mode != kModeInitTransient && timeLoop) {
            const auto companion = [&](int b, double cap, double v, double& gc, double& ceq) {
                if (cap == 0) states.Derivatives(base + b)[0] = 0;
                double unused = 0;
                IntegrateState(state.Formula, states, cap, gc, unused, base + b);
                ceq = states.Derivatives(base + b)[0] - gc * v;
            };
            companion(kBlockQgs, capgs, vgs, gcgs, ceqgs);
            companion(kBlockQgd, capgd, vgd, gcgd, ceqgd);
            companion(kBlockQgb, capgb, vgb, gcgb, ceqgb);
        }
        if (mode == kModeInitTransient)
            for (double* d : {iqgs, iqgd, iqgb}) d[1] = d[2] = d[3] = d[0];

        // Right-hand side.
        const bool normal = r.mode >= 0;
        const double xnrm = normal ? 1.0 : 0.0;
        const double xrev = normal ? 0.0 : 1.0;
        const double ceqbs = p * (r.cbs - r.gbs * vbs);
        const double ceqbd = p * (r.cbd - r.gbd * vbd);
        const double cdreq = normal ? p * (current - r.gds * vds - r.gm * vgs - r.gmbs * vbs)
                                    : -p * (current + r.gds * vds - r.gm * vgd - r.gmbs * vbd);
        ml_AddRhs(state, r.gatePrime, -p * (ceqgs + ceqgb + ceqgd));
        ml_AddRhs(state, r.bulkPrime, -(ceqbs + ceqbd - p * ceqgb));
        ml_AddRhs(state, r.drainPrime, ceqbd - cdreq + p * ceqgd);
        ml_AddRhs(state, r.sourcePrime, cdreq + ceqbs + p * ceqgs);

        if (state.Installed && state.Cursor.Active()) {
            const double gx = m[kMpRds];
            const double gdr = r.drainConductance, gsr = r.sourceConductance;
            const double ggr = r.gateConductance, gbr = r.bulkConductance;
            const double gm = r.gm, gds = r.gds, gmbs = r.gmbs, gbd = r.gbd, gbs = r.gbs;
            const double xd = xnrm - xrev;
            EntryCursor& c = state.Cursor;
            const double stamps[32] = {
                -gx,
                -gx,
                gx,
                gx,
                gdr,
                gcgd + gcgs + gcgb + ggr,
                -ggr,
                -ggr,
                ggr,
                gsr,
                gbd + gbs + gcgb + gbr,
                -gbr,
                -gbr,
                gbr,
                gdr + gds + gbd + xrev * (gm + gmbs) + gcgd,
                gsr + gds + gbs + xnrm * (gm + gmbs) + gcgs,
                -gdr,
                -gcgb,
                -gcgd,
                -gcgs,
                -gsr,
                -gbd,
                -gbs,
                -gds - xnrm * (gm + gmbs),
                -gdr,
                -gcgb,
                xd * gm - gcgd,
                -xd * gm - gcgs,
                -gsr,
                xd * gmbs - gbd,
                -gbs - xd * gmbs,
                -gds - xrev * (gm + gmbs),
            };
            for (double value : stamps) c.Stamp(value);
        }

        // Terminal currents and powers.
        if (!bypassed) {
            const double gx = m[kMpRds];
            r.ig = p * (iqgs[0] + iqgd[0] + iqgb[0]);
            r.id = p * (r.cd - iqgd[0] + gx * vds);
            r.ib = p * (r.cbd + r.cbs - iqgb[0]);
            r.is = -r.ig - r.id - r.ib;
            double pd = gx * vds * vds + std::fabs(vds * current) + std::fabs((r.cbd - iqbd[0]) * vbd) +
                        std::fabs((r.cbs - iqbs[0]) * vbs);
            const auto resistor = [](double i, double g) { return g != 0 ? i * i / g : 0.0; };
            pd += resistor(r.id, r.drainConductance) + resistor(r.is, r.sourceConductance) +
                  resistor(r.ig, r.gateConductance) + resistor(r.ib, r.bulkConductance);
            r.powerDissipated = pd;
            r.powerStored = vgb * iqgb[0] + vbs * iqbs[0] + vgs * iqgs[0] + vbd * iqbd[0] + vgd * iqgd[0];
            if (pd > r.powerRating && r.powerRating > 0) r.condition = 4;
        }
        r.power[kPowerDissipated] = ComplexNumber{r.powerDissipated, 0.0};
        r.power[kPowerStored] = ComplexNumber{r.powerStored, 0.0};
        state.Power.PowerDissipated += std::fabs(r.powerDissipated);
        state.Power.PowerStored += r.powerStored;
    }
};

MosfetLoads gMosfetLoads;

}  // namespace

DeviceKindLoads* MosfetKindLoads() { return &gMosfetLoads; }
