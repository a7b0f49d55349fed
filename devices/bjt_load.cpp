#include "devices/bjt_load.h"

#include <cmath>

#include "compiler/compiled.h"
#include "devices/transistor_common.h"
#include "engine/integrate.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "models/modeltypes.h"

namespace {

using namespace transistor;

// Model slots after the set-up at temperature.
enum BjtSlot : int {
    kIs = 0,
    kBf = 1,
    kInverseVaf = 3,
    kBr = 7,
    kInverseVar = 9,
    kNk = 13,
    kRb = 17,
    kRbm = 18,
    kCje = 21,
    kVje = 22,
    kMje = 23,
    kCjc = 24,
    kVjc = 25,
    kMjc = 26,
    kXcjc = 27,
    kCjs = 28,
    kVjs = 29,
    kMjs = 30,
    kFcVje = 31,
    kTf = 32,
    kXtf = 33,
    kInverseVtf = 34,
    kItf = 35,
    kExcessPhase = 36,
    kTr = 37,
    kBeExtension = 58,
    kFcVjc = 61,
    kBcExtension = 62,
    kCriticalForward = 65,
    kCriticalReverse = 66,
};

constexpr int32_t kBlocksPerBipolar = 5;

struct Nodes {
    int32_t b, c, e, s, bp, cp, ep, x;
};

Nodes NodesOf(const BipolarRecord* q, bool lateral) {
    return Nodes{q->base,      q->collector,      q->emitter,      q->substrate,
                 q->basePrime, q->collectorPrime, q->emitterPrime, lateral ? q->basePrime : q->collectorPrime};
}

bool IsLateral(const BipolarRecord* q) { return q->modelKind == kModelLpnp; }

// The four junction voltages of a solution vector.
struct Junctions {
    double vbe, vbc, vbx, vcs;
};
Junctions JunctionsOf(const std::vector<double>& v, const Nodes& n, double p, bool lateral) {
    Junctions j;
    j.vbe = p * (At(v, n.bp) - At(v, n.ep));
    j.vbc = p * (At(v, n.bp) - At(v, n.cp));
    j.vbx = p * (At(v, n.b) - At(v, n.cp));
    j.vcs = lateral ? At(v, n.s) - At(v, n.bp) : p * (At(v, n.s) - At(v, n.cp));
    return j;
}

// An ideal diode and its leakage companion; below the cutoff both are
// linearised through the origin.
void JunctionCurrents(double v, double cutoff, double csat, double nvt, double leak, double nleak, double gmin,
                      double& c, double& g, double& cn, double& gn) {
    if (v > cutoff) {
        const double e = JunctionExp(v / nvt);
        c = csat * (e - 1.0) + gmin * v;
        g = csat * e / nvt + gmin;
        if (leak == 0) {
            cn = 0.0;
            gn = 0.0;
        } else {
            const double en = JunctionExp(v / nleak);
            cn = leak * (en - 1.0);
            gn = leak * en / nleak;
        }
    } else {
        g = -csat / v + gmin;
        c = g * v;
        gn = -leak / v;
        cn = gn * v;
    }
}

class BipolarLoad {
public:
    explicit BipolarLoad(SimulatorState& state)
        : state_(state), states_(state.States()), gmin_(state.Options.gmin), stamping_(Stamping(state)) {}

    void Load(BipolarRecord* q, int32_t block);

private:
    SimulatorState& state_;
    const StateVectors states_;
    const double gmin_;
    const bool stamping_;
};

void BipolarLoad::Load(BipolarRecord* q, int32_t block) {
    const double* mv = q->model->Values;
    const bool lateral = IsLateral(q);
    const Nodes n = NodesOf(q, lateral);
    const double p = q->polarity;
    const int32_t mode = state_.IterationMode;
    const bool dcPhase = state_.AnalysisPhase == kPhaseDc;
    const bool transientRun = state_.LoadAnalysis == kLoadTransient;
    const bool useIc = state_.UseInitialConditions != 0;
    const GlobalSettingValues& options = state_.Options;

    Junctions j{};
    switch (mode) {
    case kModeInitJunction:
        if (dcPhase && transientRun && useIc) {
            j.vbe = p * q->icVbe;
            j.vbc = j.vbe - p * q->icVce;
            j.vbx = j.vbc;
            j.vcs = 0.0;
        } else {
            j.vbe = q->off ? 0.0 : mv[kCriticalForward];
        }
        break;
    case kModeInitFix:
        if (!q->off) j = JunctionsOf(state_.Solution, n, p, lateral);
        break;
    case kModeInitSmallSignal:
        j = Junctions{q->vbe, q->vbc, JunctionsOf(state_.Solution, n, p, lateral).vbx, q->vcs};
        break;
    case kModeInitTransient: {
        double vbx = JunctionsOf(state_.LastSolution, n, p, lateral).vbx;
        if (state_.AnalysisPhase == kPhaseTransient && useIc) vbx = p * (q->icVbe - q->icVce);
        j = Junctions{q->vbe, q->vbc, vbx, q->vcs};
        break;
    }
    case kModeInitPredictor: {
        const Junctions last = JunctionsOf(state_.LastSolution, n, p, lateral);
        const Junctions older = JunctionsOf(state_.OlderSolution, n, p, lateral);
        q->vbe = last.vbe;
        q->vbc = last.vbc;
        q->vcs = last.vcs;
        const double r = state_.StepRatio;
        j.vbe = (1.0 + r) * last.vbe - r * older.vbe;
        j.vbc = (1.0 + r) * last.vbc - r * older.vbc;
        j.vcs = (1.0 + r) * last.vcs - r * older.vcs;
        j.vbx = JunctionsOf(state_.Solution, n, p, lateral).vbx;
        break;
    }
    default: j = JunctionsOf(state_.Solution, n, p, lateral); break;
    }
    double vbe = j.vbe, vbc = j.vbc, vbx = j.vbx, vcs = j.vcs;

    const double gE = q->areaGe;
    const double gC = q->areaGc;
    const bool evaluated = mode == kModeFloat || mode == kModeInitPredictor || (mode == kModeInitFix && !q->off);

    // Predictions from the stored state: the bypass and convergence references.
    const double dvbe = vbe - q->vbe;
    const double dvbc = vbc - q->vbc;
    const double dvcs = vcs - q->vcs;
    const double cshat = q->isub + q->gsub * dvcs;
    const double cchat = q->ic + (q->gm + q->go) * dvbe - (q->go + q->gmu) * dvbc;
    const double cbhat = q->ib + q->gpi * dvbe + q->gmu * dvbc;

    bool bypassed = false;
    int32_t limited = 1;
    double cc = 0.0, cb = 0.0, isub = 0.0, gsub = 0.0;
    double gpi = 0.0, gmu = 0.0, gm = 0.0, go = 0.0, gx = 0.0, geqcb = 0.0, gcs = 0.0, geqbx = 0.0;
    double it = 0.0, ibc = 0.0, ibe = 0.0;
    bool toStamps = false;

    if (evaluated && state_.BypassAllowed && VoltageConverged(options, vbe, q->vbe) &&
        VoltageConverged(options, vbc, q->vbc) && VoltageConverged(options, vcs, q->vcs) &&
        CurrentConverged(options, cshat, q->isub) && CurrentConverged(options, cchat, q->ic) &&
        CurrentConverged(options, cbhat, q->ib)) {
        bypassed = true;
        vbe = q->vbe;
        vbc = q->vbc;
        vcs = q->vcs;
        cc = q->ic;
        cb = q->ib;
        isub = q->isub;
        gsub = q->gsub;
        gpi = q->gpi;
        gmu = q->gmu;
        gm = q->gm;
        go = q->go;
        gx = q->gx;
        geqcb = q->geqcb;
        gcs = q->gcsTotal - q->gsub;
        geqbx = q->geqbx;
    }

    if (!bypassed) {
        if (evaluated) {
            int32_t l1 = 0, l2 = 0, l3 = 0;
            vbe = LimitJunctionVoltage(vbe, q->vbe, q->nfVt, mv[kCriticalForward], l1);
            vbc = LimitJunctionVoltage(vbc, q->vbc, q->nrVt, mv[kCriticalReverse], l2);
            if (q->areaIss != 0) vcs = LimitJunctionVoltage(vcs, q->vcs, q->nsVt, q->substrateCriticalVoltage, l3);
            limited = l1 || l2 || l3;
        }

        // Gummel-Poon DC currents.
        double cbe, gbe, cben, gben, cbc, gbc, cbcn, gbcn;
        JunctionCurrents(vbe, q->forwardCutoff, q->areaIs, q->nfVt, q->areaIse, q->neVt, gmin_, cbe, gbe, cben, gben);
        JunctionCurrents(vbc, q->reverseCutoff, q->areaIs, q->nrVt, q->areaIsc, q->ncVt, gmin_, cbc, gbc, cbcn, gbcn);
        const double inverseVaf = mv[kInverseVaf];
        const double inverseVar = mv[kInverseVar];
        const double oik = q->areaInverseIkf;
        const double oikr = q->areaInverseIkr;
        const double q1 = 1.0 / (1.0 - inverseVaf * vbc - inverseVar * vbe);
        double qb, dqbdve, dqbdvc;
        if (oik == 0 && oikr == 0) {
            qb = q1;
            dqbdve = q1 * qb * inverseVar;
            dqbdvc = q1 * qb * inverseVaf;
        } else {
            const double q2 = oik * cbe + oikr * cbc;
            const double arg = MaxDouble(0.0, 1.0 + 4.0 * q2);
            const double nk = mv[kNk];
            double power = 1.0;
            if (arg != 0) power = nk == 0.5 ? std::sqrt(arg) : std::pow(arg, nk);
            qb = q1 * (1.0 + power) / 2.0;
            dqbdve = q1 * (qb * inverseVar + oik * gbe / power);
            dqbdvc = q1 * (qb * inverseVaf + oikr * gbc / power);
        }

        // Excess phase: a second-order delay of the forward transport current.
        double cex = cbe;
        double gex = gbe;
        const double td = mv[kExcessPhase];
        if (!dcPhase && td != 0) {
            double* history = states_.Derivatives(block + 4);
            const double delta = state_.Formula.TimeStep;
            double deltaOld = state_.Formula.PreviousSteps[1];
            if (!(deltaOld > 0)) deltaOld = delta;
            const double r = delta / td;
            const double arg2 = 3.0 * r;
            const double arg1 = arg2 * r;
            const double denominator = 1.0 + arg1 + arg2;
            const double arg3 = arg1 / denominator;
            if (mode == kModeInitTransient) {
                history[1] = cbe / qb;
                history[2] = history[1];
            }
            cc = (history[1] * (1.0 + delta / deltaOld + arg2) - history[2] * delta / deltaOld) / denominator;
            cex = cbe * arg3;
            gex = gbe * arg3;
            history[0] = cc + cex / qb;
        }

        const double br = mv[kBr];
        const double bf = mv[kBf];
        cc = cc + (cex - cbc) / qb - cbc / br - cbcn;
        cb = cbe / bf + cben + cbc / br + cbcn;
        it = (cbe - cbc) / qb;
        ibc = cbc / br + cbcn;
        ibe = cbe / bf + cben;

        // Base resistance, modulated by qb or by the base current (IRB).
        const double area = q->area;
        const double rbpr = MinDouble(mv[kRbm], mv[kRb]) / area;
        const double rbpi = mv[kRb] / area - rbpr;
        gx = rbpr + rbpi / qb;
        if (q->areaIrb != 0) {
            const double a = MaxDouble(cb / q->areaIrb, 1e-9);
            const double z = (std::sqrt(1.0 + 14.59025 * a) - 1.0) * 0.4112349385203767 / std::sqrt(a);
            const double tz = std::tan(z);
            gx = rbpr + 3.0 * rbpi * (tz - z) / (z * tz * tz);
        }
        if (gx != 0) gx = 1.0 / gx;

        gpi = gbe / bf + gben;
        gmu = gbc / br + gbcn;
        go = (gbc + (cex - cbc) * dqbdvc / qb) / qb;
        gm = (gex - (cex - cbc) * dqbdve / qb) / qb - go;

        // The substrate diode.
        const double iss = q->areaIss;
        if (iss != 0) {
            if (vcs > q->substrateCutoff) {
                const double e = JunctionExp(vcs / q->nsVt);
                isub = iss * (e - 1.0) + gmin_ * vcs;
                gsub = iss * e / q->nsVt + gmin_;
            } else {
                gsub = gmin_ - iss / vcs;
                isub = vcs * gsub;
            }
        }

        const bool charges = !dcPhase || state_.InitialConditionPoint || mode == kModeInitSmallSignal;
        if (charges) {
            // Transit-time modulation of the base-emitter diffusion charge.
            double cbeCharge = cbe;
            double gbeCharge = gbe;
            const double tf = mv[kTf];
            if (tf != 0 && vbe > 0) {
                double argtf = 0.0, arg2 = 0.0, arg3 = 0.0;
                const double xtf = mv[kXtf];
                const double ovtf = mv[kInverseVtf];
                if (xtf != 0) {
                    argtf = xtf;
                    if (ovtf != 0) argtf *= JunctionExp(vbc * ovtf);
                    arg2 = argtf;
                    const double itf = mv[kItf];
                    if (itf != 0) {
                        const double t = cbe / (cbe + itf * q->area);
                        argtf *= t * t;
                        arg2 = argtf * (3.0 - t - t);
                    }
                    arg3 = cbe * argtf * ovtf;
                }
                cbeCharge = cbe * (1.0 + argtf) / qb;
                gbeCharge = (gbe * (1.0 + arg2) - cbeCharge * dqbdve) / qb;
                geqcb = tf * (arg3 - cbeCharge * dqbdvc) / qb;
            }
            const double area = q->area;
            double capbe = 0.0, capbc = 0.0, capbx = 0.0, capcs = 0.0;
            JunctionCharge(mv[kFcVje], &mv[kBeExtension], states_.Values(block), vbe, mv[kVje], mv[kMje], tf, cbeCharge,
                           mv[kCje] * area, gbeCharge, capbe, false);
            JunctionCharge(mv[kFcVjc], &mv[kBcExtension], states_.Values(block + 1), vbc, mv[kVjc], mv[kMjc], mv[kTr],
                           cbc, mv[kCjc] * area * mv[kXcjc], gbc, capbc, false);
            JunctionCharge(mv[kFcVjc], &mv[kBcExtension], states_.Values(block + 3), vbx, mv[kVjc], mv[kMjc], 0.0, 0.0,
                           mv[kCjc] * area * (1.0 - mv[kXcjc]), 0.0, capbx, false);
            // The collector-substrate depletion charge.
            const double czcs = mv[kCjs] * area;
            const double vjs = mv[kVjs];
            const double mjs = mv[kMjs];
            double qcs = 0.0;
            if (vcs < 0) {
                const double arg = 1.0 - vcs / vjs;
                const double sarg = mjs == 0 ? 1.0 : (mjs == 0.5 ? 1.0 / std::sqrt(arg) : std::pow(arg, -mjs));
                qcs = czcs * vjs * (1.0 - arg * sarg) / (1.0 - mjs);
                capcs = czcs * sarg;
            } else {
                qcs = vcs * czcs * (1.0 + mjs * vcs / (2.0 * vjs));
                capcs = czcs * (1.0 + mjs * vcs / vjs);
            }
            states_.Values(block + 2)[0] = qcs;

            const bool icStart = dcPhase && transientRun && useIc && mode != kModeInitSmallSignal;
            if (!icStart) {
                q->capbe = capbe;
                q->capbc = capbc;
                q->capcs = capcs;
                q->capbx = capbx;
                // The excess-phase transcapacitance belongs with the
                // capacitances: the small-signal load keeps it for AC.
                q->geqcb = geqcb;
                if (mode == kModeInitSmallSignal && state_.LoadAnalysis == kLoadOperatingPoint) {
                    toStamps = true;
                } else {
                    if (mode == kModeInitTransient)
                        for (int k = 0; k < 4; ++k) states_.Values(block + k)[1] = states_.Values(block + k)[0];
                    const IntegrationFormula& f = state_.Formula;
                    double geq = 0.0;
                    IntegrateConductance(f, states_, geq, block, capbe);
                    gpi += geq;
                    cb += states_.Derivatives(block)[0];
                    IntegrateConductance(f, states_, geq, block + 1, capbc);
                    gmu += geq;
                    cb += states_.Derivatives(block + 1)[0];
                    cc -= states_.Derivatives(block + 1)[0];
                    geqcb *= f.Ag0;
                    if (!dcPhase || mode == kModeInitSmallSignal) {
                        IntegrateConductance(f, states_, gcs, block + 2, capcs);
                        isub += states_.Derivatives(block + 2)[0];
                        IntegrateConductance(f, states_, geqbx, block + 3, capbx);
                    }
                    if (mode == kModeInitTransient)
                        for (int k = 0; k < 4; ++k)
                            states_.Derivatives(block + k)[1] = states_.Derivatives(block + k)[0];
                }
            }
        }

        if (!toStamps) {
            if (!(q->off && mode == kModeInitFix)) {
                int32_t& failures = state_.NonConvergedCount;
                if (limited) {
                    ++failures;
                    RecordFailure(state_.Failures, q, kFailureBjtJunction, 0.0, state_.Time);
                } else {
                    if (CurrentDiverged(options, failures, cc, cchat))
                        RecordFailure(state_.Failures, q, kFailureBjtCollector, cchat, state_.Time);
                    if (failures == 0 && CurrentDiverged(options, failures, cb, cbhat))
                        RecordFailure(state_.Failures, q, kFailureBjtBase, cbhat, state_.Time);
                    if (failures == 0 && CurrentDiverged(options, failures, isub, cshat))
                        RecordFailure(state_.Failures, q, kFailureBjtSubstrate, cshat, state_.Time);
                }
            }
            q->vbe = vbe;
            q->vbc = vbc;
            q->vcs = vcs;
            q->isub = isub;
            q->gsub = gsub;
            q->ic = cc;
            q->ib = cb;
            q->gpi = gpi;
            q->gmu = gmu;
            q->gm = gm;
            q->go = go;
            q->gx = gx;
            q->geqcb = geqcb;
            q->gcsTotal = gcs + gsub;
            q->geqbx = geqbx;
        }
    }

    const double gcsTotal = gcs + gsub;
    const bool chargesKept = !dcPhase || mode == kModeInitSmallSignal;
    const double ccbx = chargesKept ? states_.Derivatives(block + 3)[0] : 0.0;

    // Right-hand side: the companion currents of the linearised transistor.
    const double ceqc = p * (cc - (gm + go) * vbe + (go + gmu) * vbc);
    const double ceqb = p * (cb - gpi * vbe - (gmu + geqcb) * vbc);
    const double ceqbx = p * (ccbx - geqbx * vbx);
    const double ceqsub = (lateral ? 1.0 : p) * (isub - gcsTotal * vcs);
    AddRhs(state_, n.b, -ceqbx);
    AddRhs(state_, n.cp, -ceqc + ceqbx);
    AddRhs(state_, n.bp, -ceqb);
    AddRhs(state_, n.ep, ceqc + ceqb);
    AddRhs(state_, n.s, -ceqsub);
    AddRhs(state_, n.x, ceqsub);

    if (stamping_) {
        EntryCursor& k = state_.Cursor;
        k.Stamp(gx + geqbx);
        if (gE != 0) {
            k.Stamp(gE);
            k.Stamp(-gE);
            k.Stamp(-gE);
        }
        if (gC != 0) {
            k.Stamp(-gC);
            k.Stamp(-gC);
            k.Stamp(gC);
        }
        k.Stamp(go + gmu + geqbx + gC + (lateral ? 0.0 : gcsTotal));
        k.Stamp(gx + gpi + gmu + geqcb + (lateral ? gcsTotal : 0.0));
        k.Stamp(gpi + gm + go + gE);
        k.Stamp(-gx);
        k.Stamp(gm - gmu);
        k.Stamp(-(gm + go));
        k.Stamp(-gx);
        k.Stamp(-(gmu + geqcb));
        k.Stamp(-gpi);
        k.Stamp(geqcb - go);
        k.Stamp(-(gm + gpi + geqcb));
        k.Stamp(gcsTotal);
        k.Stamp(-gcsTotal);
        k.Stamp(-gcsTotal);
        k.Stamp(-geqbx);
        k.Stamp(-geqbx);
    }

    if (q->quantityRefs && !bypassed) {
        if (lateral) {
            q->pinCollector = p * (cc - ccbx);
            q->pinBase = p * (cb + ccbx + isub);
            q->pinSubstrate = isub;
        } else {
            q->pinCollector = p * (cc - isub - ccbx);
            q->pinBase = p * (cb + ccbx);
            q->pinSubstrate = p * isub;
        }
        q->pinEmitter = -(q->pinCollector + q->pinBase + q->pinSubstrate);
    }

    if (q->powerRefs) {
        if (!bypassed) {
            double pd = (vbe - vbc) * it + vbc * ibc + vbe * ibe;
            if (gC != 0) pd += q->pinCollector * q->pinCollector / gC;
            if (gE != 0) pd += q->pinEmitter * q->pinEmitter / gE;
            if (gx != 0) pd += q->pinBase * q->pinBase / gx;
            double ps = 0.0;
            if (chargesKept)
                ps = vbc * states_.Derivatives(block + 1)[0] + vcs * states_.Derivatives(block + 2)[0] +
                     vbe * states_.Derivatives(block)[0];
            q->power[kPowerDissipated] = ComplexNumber{pd, 0.0};
            q->power[kPowerStored] = ComplexNumber{ps, 0.0};
        }
        state_.Power.PowerDissipated += q->power[kPowerDissipated].re;
        state_.Power.PowerStored += q->power[kPowerStored].re;
        const double pd = q->power[kPowerDissipated].re;
        if (pd > q->powerRating)
            q->condition = 4;
        else if (q->vbe > 0.5)
            q->condition = std::fabs(q->vbe - q->vbc) < 0.3 ? 1 : 6;
        else
            q->condition = 3;
    }
}

}  // namespace

int BipolarLoads::Reserve(SimulatorState& state) {
    if (!state.Circuit) return 0;
    if (!state.Entries() || !state.Matrix()) return 101;
    EntryList& entries = *state.Entries();
    return ForEachRecord<BipolarRecord>(state, kListBipolars, [&](BipolarRecord* q) {
        const Nodes n = NodesOf(q, IsLateral(q));
        int rc = 0;
        auto reserve = [&](int32_t row, int32_t col) {
            if (!rc) rc = ReserveEntry(entries, row, col);
        };
        reserve(n.b, n.b);
        if (q->areaGe != 0) {
            reserve(n.e, n.e);
            reserve(n.e, n.ep);
            reserve(n.ep, n.e);
        }
        if (q->areaGc != 0) {
            reserve(n.c, n.cp);
            reserve(n.cp, n.c);
            reserve(n.c, n.c);
        }
        reserve(n.cp, n.cp);
        reserve(n.bp, n.bp);
        reserve(n.ep, n.ep);
        reserve(n.b, n.bp);
        reserve(n.cp, n.bp);
        reserve(n.cp, n.ep);
        reserve(n.bp, n.b);
        reserve(n.bp, n.cp);
        reserve(n.bp, n.ep);
        reserve(n.ep, n.cp);
        reserve(n.ep, n.bp);
        reserve(n.s, n.s);
        reserve(n.x, n.s);
        reserve(n.s, n.x);
        reserve(n.b, n.cp);
        reserve(n.cp, n.b);
        return rc;
    });
}

int BipolarLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    const StateVectors states = state.States();
    int32_t block = FirstBlock(state, BlockKind::Bipolar);
    BipolarLoad load(state);
    return ForEachRecord<BipolarRecord>(state, kListBipolars, [&](BipolarRecord* q) {
        // A transistor without model values or charge blocks (one added after
        // the state was attached) cannot load.
        if (!q->model || !q->model->Values || !BlocksAvailable(states, block, kBlocksPerBipolar)) return 101;
        load.Load(q, block);
        block += kBlocksPerBipolar;
        return 0;
    });
}

BipolarLoads& TheBipolarLoads() {
    static BipolarLoads loads;
    return loads;
}
