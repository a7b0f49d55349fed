#include "devices/diode.h"

#include <cmath>

#include "compiler/compiled.h"
#include "devices/temperature.h"
#include "engine/integrate.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/complex.h"
#include "models/modelstmt.h"

namespace {

constexpr int kDlBadArgument = 101;
constexpr int32_t kDlFailureJunction = 6;  // "Diode %s failed pn junction test."
constexpr int32_t kDlFailureCurrent = 7;   // "Diode %s failed cdhat=... id=..."

// Model slots after the set-up at temperature.
enum DlParam : int {
    kLevel = 0,
    kIs = 1,
    kN = 2,
    kIsr = 3,
    kNr = 4,
    kIkf = 5,
    kBv = 6,
    kIbv = 7,
    kNbv = 8,
    kIbvl = 9,
    kNbvl = 10,
    kRs = 11,
    kTt = 12,
    kCjo = 13,
    kVj = 14,
    kM = 15,
    kFcpb = 16,  // FC * VJ after the set-up
    kRl = 26,
    kVt = 32,
    kCapCoefficients = 33,  // three: the charge above FC * VJ
    kVcrit = 36,
};

enum DlCondition : int32_t { kConditionOn = 2, kConditionOff = 3, kConditionHot = 4, kConditionZener = 5 };

template <class Visit>
int DlWalk(SimulatorState& state, Visit visit) {
    int32_t position = 0;
    for (PoolItem* item = state.Circuit->devices[kListDiodes].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(static_cast<DiodeRecord*>(item), position++)) return rc;
    }
    return 0;
}

bool DlUsable(const DiodeRecord* d) { return d->model != nullptr && d->model->Values != nullptr; }

// The series conductance; 0 when the diode has no series resistance (then
// neither reserve nor load has its four entries).
double DlSeriesConductance(const DiodeRecord* d) {
    const double rs = d->model->Values[kRs];
    if (rs == 0 || d->internalAnode == d->anode) return 0.0;
    return d->area / rs;
}

double DlSolution(const std::vector<double>& vector, int32_t equation) {
    if (equation <= 0 || static_cast<size_t>(equation) >= vector.size()) return 0.0;
    return vector[static_cast<size_t>(equation)];
}

void DlAddRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation <= 0 || static_cast<size_t>(equation) >= state.Rhs.size()) return;
    state.Rhs[static_cast<size_t>(equation)] += value;
}

// Held away from zero with its sign; exactly 0 becomes -1e-50.
double DlFloor(double x) {
    if (x == 0.0) return -1e-50;
    if (std::fabs(x) < 1e-50) return x < 0 ? -1e-50 : 1e-50;
    return x;
}

// Limits vd step by step; `limited` stays set only when every call limited.
double DlLimit(double vnew, double vold, double vt, double vcrit, int32_t& limited) {
    int32_t changed = 0;
    const double v = LimitJunctionVoltage(vnew, vold, vt, vcrit, changed);
    if (!changed) limited = 0;
    return v;
}

double DlLimitJunction(const double* p, double area, double vd, double vdOld, int32_t& limited) {
    const double vt = p[kVt];
    const double nvt = p[kN] * vt;
    const double vcrit = p[kVcrit];
    const double bv = p[kBv];
    const bool level2 = p[kLevel] == 2.0;
    const bool breakdown = bv != 0 && vd < std::fmin(0.0, 10.0 * nvt - bv);
    if (!level2) {
        if (breakdown) {
            const double w = DlLimit(-(vd + bv), -(vdOld + bv), nvt, vcrit, limited);
            return -(w + bv);
        }
        return DlLimit(vd, vdOld, nvt, vcrit, limited);
    }
    if (breakdown) {
        const double w = -(vd + bv);
        const double wOld = -(vdOld + bv);
        const double w1 = DlLimit(w, wOld, nvt, vcrit, limited);
        const double nbvVt = p[kNbv] * vt;
        const double w2 = DlLimit(w1, wOld, nbvVt, CriticalVoltage(nbvVt, p[kIbv] * area), limited);
        const double m = std::fmin(w1, w2);
        const double nbvlVt = p[kNbvl] * vt;
        const double w3 = DlLimit(m, wOld, nbvlVt, CriticalVoltage(nbvlVt, p[kIbvl] * area), limited);
        return -(std::fmin(w3, m) + bv);
    }
    double v = DlLimit(vd, vdOld, nvt, vcrit, limited);
    const double isr = p[kIsr] * area;
    if (isr > 0) {
        const double nrVt = p[kNr] * vt;
        v = DlLimit(v, vdOld, nrVt, CriticalVoltage(nrVt, isr), limited);
    }
    return v;
}

// The junction current and conductance at vd (GMIN included).
void DlJunction(const double* p, double area, double gmin, double vd, double& id, double& gd) {
    const double vt = p[kVt];
    const double nvt = p[kN] * vt;
    const double is = p[kIs] * area;
    const double bv = p[kBv];
    if (p[kLevel] != 2.0) {
        if (vd >= -5.0 * nvt) {
            const double e = ClampedExp(vd / nvt);
            id = is * (e - 1.0) + gmin * vd;
            gd = is * e / nvt + gmin;
        } else if (bv == 0 || vd >= -bv) {
            gd = gmin - is / vd;
            id = gd * vd;
        } else {
            const double e = ClampedExp(-(bv + vd) / vt);
            id = gmin * vd - is * e;
            gd = is * e / vt + gmin;
        }
        return;
    }
    const double e = ClampedExp(vd / nvt);
    const double inrm = is * (e - 1.0);
    const double gnrm = is * e / nvt;
    const double ikf = p[kIkf] * area;
    if (ikf > 0) {
        const double k = std::sqrt(ikf / (ikf + std::fabs(inrm)));
        id = inrm * k;
        gd = gnrm * k - 0.5 * gnrm * inrm * k * k * k / ikf;
    } else {
        id = inrm;
        gd = gnrm;
    }
    const double isr = p[kIsr] * area;
    if (isr > 0) {
        const double vj = p[kVj];
        const double mj = p[kM];
        const double nrVt = p[kNr] * vt;
        const double x = 1.0 - vd / vj;
        const double s = x * x + 0.005;
        const double kgen = std::pow(s, mj / 2.0);
        const double er = ClampedExp(vd / nrVt);
        const double irec = isr * (er - 1.0);
        id += irec * kgen;
        gd += isr * er * kgen / nrVt - irec * mj * kgen * x / (vj * s);
    }
    if (bv != 0) {
        const double nbvVt = p[kNbv] * vt;
        const double ibv = p[kIbv] * area;
        const double eb = ClampedExp(-(vd + bv) / nbvVt);
        id -= ibv * eb;
        gd += ibv * eb / nbvVt;
        const double ibvl = p[kIbvl] * area;
        if (ibvl > 0) {
            const double nbvlVt = p[kNbvl] * vt;
            const double ebl = ClampedExp(-(vd + bv) / nbvlVt);
            id -= ibvl * ebl;
            gd += ibvl * ebl / nbvlVt;
        }
    }
    id += gmin * vd;
    gd += gmin;
}

}  // namespace

DiodeLoads& DiodeKindLoads() {
    static DiodeLoads loads;
    return loads;
}

int DiodeStateBase(const SimulatorState& state) {
    if (!state.Circuit) return 0;
    int32_t blocks = 0;
    for (int list : {kListCapacitors, kListInductors})
        for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next)
            if (item->type != kPoolItemDead) ++blocks;
    return blocks;
}

int DiodeLoads::Reserve(SimulatorState& state) {
    if (!state.Circuit || !state.Entries() || !state.Matrix()) return kDlBadArgument;
    EntryList& entries = *state.Entries();
    return DlWalk(state, [&](DiodeRecord* d, int32_t) {
        if (!DlUsable(d)) return kDlBadArgument;
        if (DlSeriesConductance(d) != 0)
            if (int rc = ReserveConductance(entries, d->anode, d->internalAnode)) return rc;
        return ReserveConductance(entries, d->internalAnode, d->cathode);
    });
}

int DiodeLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    const GlobalSettingValues& options = state.Options;
    const double gmin = options.gmin;
    const int32_t mode = state.IterationMode;
    const bool dcPhase = state.AnalysisPhase == kPhaseDc;
    const bool uicStart = dcPhase && state.LoadAnalysis == kLoadTransient && state.UseInitialConditions;
    const bool charges = state.ComputeCharges != 0;
    const bool stamping = state.Installed != nullptr && state.Cursor.Active();
    const StateVectors states = state.States();
    const int32_t base = DiodeStateBase(state);
    return DlWalk(state, [&](DiodeRecord* d, int32_t position) {
        if (!DlUsable(d)) return kDlBadArgument;
        const int32_t block = base + position;
        if (block >= states.StateCount || !states.StateValues || !states.StateDerivatives) return kDlBadArgument;
        const double* p = d->model->Values;
        const double area = d->area;
        const double gs = DlSeriesConductance(d);
        double* q = states.Values(block);
        double* qd = states.Derivatives(block);

        // 1. The junction voltage by mode.
        double vd = 0.0;
        int32_t limited = 1;
        bool evaluate = false;  // through prediction, bypass and limiting
        switch (mode) {
        case kModeInitJunction: vd = uicStart ? d->ic : d->off ? 0.0 : p[kVcrit]; break;
        case kModeInitFix:
            if (d->off) {
                vd = 0.0;
            } else {
                vd = DlSolution(state.Solution, d->internalAnode) - DlSolution(state.Solution, d->cathode);
                evaluate = true;
            }
            break;
        case kModeInitSmallSignal:
        case kModeInitTransient: vd = d->vd; break;
        case kModeInitPredictor: {
            d->vd =
                DlSolution(state.PreviousSolution, d->internalAnode) - DlSolution(state.PreviousSolution, d->cathode);
            const double older =
                DlSolution(state.OlderSolution, d->internalAnode) - DlSolution(state.OlderSolution, d->cathode);
            vd = (1.0 + state.StepRatio) * d->vd - state.StepRatio * older;
            evaluate = true;
            break;
        }
        default:
            vd = DlSolution(state.Solution, d->internalAnode) - DlSolution(state.Solution, d->cathode);
            evaluate = true;
            break;
        }

        double id = 0.0;
        double gd = 0.0;
        double cdhat = 0.0;
        bool bypassed = false;
        if (evaluate) {
            // 2. Prediction and bypass.
            cdhat = d->id + d->gd * (vd - d->vd);
            if (state.BypassAllowed && VoltageConverged(options, vd, d->vd) &&
                CurrentConverged(options, cdhat, d->id)) {
                bypassed = true;
                vd = d->vd;
                id = d->id;
                gd = d->gd;
            } else {
                // 3. Limiting.
                vd = DlLimitJunction(p, area, vd, d->vd, limited);
            }
        }

        bool stampIt = true;
        if (!bypassed) {
            // 4. Currents.
            DlJunction(p, area, gmin, vd, id, gd);

            // 5. Charges.
            if (charges) {
                double capacitance = 0.0;
                JunctionCharge(p[kFcpb], p + kCapCoefficients, q, vd, p[kVj], p[kM], p[kTt], id, p[kCjo] * area, gd,
                               capacitance, false);
                if (!uicStart) {
                    d->cd = capacitance;
                    if (mode == kModeInitSmallSignal) {
                        stampIt = false;
                    } else {
                        if (mode == kModeInitTransient) q[1] = q[0];
                        double geq = 0.0;
                        IntegrateConductance(state.Formula, states, geq, block, capacitance);
                        gd += geq;
                        id += qd[0];
                        if (mode == kModeInitTransient) qd[1] = qd[0];
                    }
                }
            }

            // 6. Leakage.
            if (p[kLevel] != 2.0 && p[kRl] > 0) {
                id += vd / p[kRl];
                gd += 1.0 / p[kRl];
            }

            if (stampIt) {
                // 7. Convergence.
                if (!(d->off && mode == kModeInitFix)) {
                    if (limited) {
                        ++state.NonConvergedCount;
                        RecordFailure(state.Failures, d, kDlFailureJunction, 0.0, state.Time);
                    } else if (evaluate && CurrentDiverged(options, state.NonConvergedCount, id, cdhat)) {
                        RecordFailure(state.Failures, d, kDlFailureCurrent, cdhat, state.Time);
                    }
                }
                // 8. Floors and storing.
                gd = DlFloor(gd);
                d->vd = vd;
                d->id = id;
                d->idOut = id;
                d->gd = gd;
            }
        }

        // 9. Stamps. A small-signal load stamps nothing but keeps the cursor
        // in step with the reservation, so the kinds after it stamp their own
        // entries.
        if (stampIt) {
            const double ceq = DlFloor(id - gd * vd);
            DlAddRhs(state, d->cathode, ceq);
            DlAddRhs(state, d->internalAnode, -ceq);
        }
        if (stamping) {
            if (gs != 0) StampConductance(state.Cursor, stampIt ? gs : 0.0);
            StampConductance(state.Cursor, stampIt ? gd : 0.0);
        }

        // 10. Power terms.
        if (d->powerRefs) {
            if (!bypassed) {
                double dissipated = d->vd * (d->id - qd[0]);
                if (gs != 0) dissipated += d->id * d->id / gs;
                d->power[kPowerDissipated] = ComplexNumber{dissipated, 0.0};
                d->power[kPowerStored] = ComplexNumber{d->vd * qd[0], 0.0};
            }
            state.Power.PowerDissipated += d->power[kPowerDissipated].re;
            state.Power.PowerStored += d->power[kPowerStored].re;
            const double bv = p[kBv];
            if (d->power[kPowerDissipated].re > d->powerRating)
                d->condition = kConditionHot;
            else if (d->vd > 0.5)
                d->condition = kConditionOn;
            else if (bv != 0 && d->vd < -bv)
                d->condition = kConditionZener;
            else
                d->condition = kConditionOff;
        }
        // 11. The anode current for displays.
        if (d->quantityRefs) d->pinCurrent = d->id;
        return 0;
    });
}
