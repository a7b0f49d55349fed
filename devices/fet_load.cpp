#include "devices/fet_load.h"

#include <cmath>

#include "compiler/compiled.h"
#include "engine/integrate.h"
#include "engine/stamps.h"
#include "engine/state.h"

namespace {

using namespace transistor;

// JFET model slots after the set-up at temperature.
enum JfetSlot : int {
    kFJVto = 0,
    kFJBeta = 1,
    kFJLambda = 2,
    kFJIs = 3,
    kFJGd = 4,
    kFJGs = 5,
    kFJCgd = 6,
    kFJCgs = 7,
    kFJM = 8,
    kFJPb = 9,
    kFJFcPb = 10,
    kFJVt = 21,
    kFJExtension = 22,
    kFJVcrit = 25,
};

// GaAsFET model slots.
enum GaasfetSlot : int {
    kFGLevel = 0,
    kFGVto = 1,
    kFGAlpha = 2,
    kFGBeta = 3,
    kFGB = 4,
    kFGLambda = 5,
    kFGGamma = 6,
    kFGDelta = 7,
    kFGQ = 8,
    kFGGg = 10,
    kFGGd = 11,
    kFGGs = 12,
    kFGIs = 13,
    kFGN = 14,
    kFGM = 15,
    kFGVbi = 16,
    kFGCgd = 17,
    kFGCgs = 18,
    kFGCds = 19,
    kFGFcVbi = 20,
    kFGVdelta = 21,
    kFGVmax = 22,
    kFGVt = 37,
    kFGExtension = 38,
    kFGVcrit = 41,
};

enum Condition : int32_t { kSat = 1, kOn = 2, kOff = 3, kHot = 4, kLin = 6 };

// The cubic saturation factor of the Statz and TriQuint models, with its
// derivative by vds (vds >= 0).
void CubicFactor(double alpha, double vds, double& tail, double& slope, int32_t& condition) {
    if (alpha > 0 && vds < 3.0 / alpha) {
        const double a = 1.0 - alpha * vds / 3.0;
        tail = 1.0 - a * a * a;
        slope = alpha * a * a;
        condition = kLin;
    } else {
        tail = 1.0;
        slope = 0.0;
        condition = kSat;
    }
}

// What differs between the two kinds.
struct JfetKind {
    using Record = JfetRecord;
    static constexpr int kList = kListJfets;
    static constexpr int32_t kBlocks = 2;
    static constexpr BlockKind kBlockKind = BlockKind::Jfet;
    static constexpr int32_t kJunction = kFailureJfetJunction;
    static constexpr int32_t kGate = kFailureJfetGate;
    static constexpr int32_t kDrain = kFailureJfetDrain;
    static constexpr bool kGaas = false;
    static int32_t Gate(const Record* r) { return r->gate; }
    static double Gg(const double*) { return 0.0; }
    static double Gd(const double* mv, const Record* r) { return mv[kFJGd] * r->area; }
    static double Gs(const double* mv, const Record* r) { return mv[kFJGs] * r->area; }
    static bool Branch(double g) { return g > 0; }
};

struct GaasfetKind {
    using Record = GaasfetRecord;
    static constexpr int kList = kListGaasfets;
    static constexpr int32_t kBlocks = 3;
    static constexpr BlockKind kBlockKind = BlockKind::Gaasfet;
    static constexpr int32_t kJunction = kFailureGaasfetJunction;
    static constexpr int32_t kGate = kFailureGaasfetGate;
    static constexpr int32_t kDrain = kFailureGaasfetDrain;
    static constexpr bool kGaas = true;
    static int32_t Gate(const Record* r) { return r->gatePrime; }
    static double Gg(const double* mv) { return mv[kFGGg]; }
    static double Gd(const double* mv, const Record* r) { return mv[kFGGd] * r->area; }
    static double Gs(const double* mv, const Record* r) { return mv[kFGGs] * r->area; }
    static bool Branch(double g) { return g != 0; }
};

template <class Kind>
int ReserveFets(SimulatorState& state) {
    using Record = typename Kind::Record;
    if (!state.Circuit) return 0;
    if (!state.Entries() || !state.Matrix()) return 101;
    EntryList& entries = *state.Entries();
    return ForEachRecord<Record>(state, Kind::kList, [&](Record* r) {
        if (!r->model || !r->model->Values) return 101;
        const double* mv = r->model->Values;
        int rc = 0;
        auto reserve = [&](int32_t row, int32_t col) {
            if (!rc) rc = ReserveEntry(entries, row, col);
        };
        const int32_t g = Kind::Gate(r), d = r->drainPrime, s = r->sourcePrime;
        if constexpr (Kind::kGaas) {
            if (Kind::Branch(Kind::Gg(mv))) {
                reserve(r->gate, g);
                reserve(g, r->gate);
                reserve(r->gate, r->gate);
            }
        }
        if (Kind::Branch(Kind::Gd(mv, r))) {
            reserve(r->drain, d);
            reserve(d, r->drain);
            reserve(r->drain, r->drain);
        }
        if (Kind::Branch(Kind::Gs(mv, r))) {
            reserve(r->source, s);
            reserve(s, r->source);
            reserve(r->source, r->source);
        }
        reserve(g, d);
        reserve(g, s);
        reserve(d, g);
        reserve(d, s);
        reserve(s, g);
        reserve(s, d);
        reserve(g, g);
        reserve(d, d);
        reserve(s, s);
        return rc;
    });
}

template <class Kind>
class FetLoad {
public:
    using Record = typename Kind::Record;
    explicit FetLoad(SimulatorState& state)
        : state_(state), states_(state.States()), gmin_(state.Options.gmin), stamping_(Stamping(state)) {}
    void Load(Record* r, int32_t block);

private:
    Channel ChannelCurrent(const double* mv, double area, double vgs, double vds) const {
        if constexpr (!Kind::kGaas) {
            return JfetCurrent(mv, area, vgs, vds);
        } else {
            const int level = static_cast<int>(mv[kFGLevel]);
            if (level == 1) return CurticeCurrent(mv, area, vgs, vds);
            if (level == 2) return StatzCurrent(mv, area, vgs, vds);
            return TriquintCurrent(mv, area, vgs, vds);
        }
    }
    // The gate charges into blocks 0 and 1 with the two capacitances, and for
    // GaAsFETs the drain-source charge into block 2.
    void GateCharges(Record* r, const double* mv, int32_t block, double vgs, double vgd, double& capgs, double& capgd,
                     double& capds);

    SimulatorState& state_;
    const StateVectors states_;
    const double gmin_;
    const bool stamping_;
};

template <class Kind>
void FetLoad<Kind>::GateCharges(Record* r, const double* mv, int32_t block, double vgs, double vgd, double& capgs,
                                double& capgd, double& capds) {
    const double area = r->area;
    capds = 0.0;
    if constexpr (!Kind::kGaas) {
        JunctionCharge(mv[kFJFcPb], &mv[kFJExtension], states_.Values(block), vgs, mv[kFJPb], mv[kFJM], 0.0, 0.0,
                       mv[kFJCgs] * area, 0.0, capgs, false);
        JunctionCharge(mv[kFJFcPb], &mv[kFJExtension], states_.Values(block + 1), vgd, mv[kFJPb], mv[kFJM], 0.0, 0.0,
                       mv[kFJCgd] * area, 0.0, capgd, false);
    } else {
        if (static_cast<int>(mv[kFGLevel]) == 1) {
            JunctionCharge(mv[kFGFcVbi], &mv[kFGExtension], states_.Values(block), vgs, mv[kFGVbi], mv[kFGM], 0.0, 0.0,
                           mv[kFGCgs] * area, 0.0, capgs, false);
            JunctionCharge(mv[kFGFcVbi], &mv[kFGExtension], states_.Values(block + 1), vgd, mv[kFGVbi], mv[kFGM], 0.0,
                           0.0, mv[kFGCgd] * area, 0.0, capgd, false);
        } else {
            const double alpha = mv[kFGAlpha];
            const double inverseAlpha = alpha != 0 ? 1.0 / alpha : 0.0;
            auto charge = [&](double a, double b) {
                return StatzGateCharge(a, b, mv[kFGVbi], inverseAlpha, mv[kFGVto], mv[kFGCgs] * area, mv[kFGCgd] * area,
                                       mv[kFGVdelta], mv[kFGVmax]);
            };
            const std::vector<double>& last = state_.LastSolution;
            const double vgsOld = At(last, r->gatePrime) - At(last, r->sourcePrime);
            const double vgdOld = At(last, r->gatePrime) - At(last, r->drainPrime);
            const GateCharge now = charge(vgs, vgd);
            double* qgs = states_.Values(block);
            double* qgd = states_.Values(block + 1);
            if (state_.IterationMode == kModeInitTransient) {
                qgs[1] = now.charge;
                qgd[1] = now.charge;
            }
            const double qSd = charge(vgsOld, vgd).charge;
            const double qGd = charge(vgs, vgdOld).charge;
            const double qOld = charge(vgsOld, vgdOld).charge;
            // The charge moved since the last point is shared by the junction
            // whose voltage moved it.
            qgs[0] = qgs[1] + 0.5 * (now.charge - qSd + qGd - qOld);
            qgd[0] = qgd[1] + 0.5 * (now.charge - qGd + qSd - qOld);
            capgs = now.cgs;
            capgd = now.cgd;
        }
        capds = mv[kFGCds] * area;
        const double vds = vgs - vgd;
        states_.Values(block + 2)[0] = capds * vds;
    }
}

template <class Kind>
void FetLoad<Kind>::Load(Record* r, int32_t block) {
    const double* mv = r->model->Values;
    const double p = r->polarity;
    const int32_t gate = Kind::Gate(r), drain = r->drainPrime, source = r->sourcePrime;
    const int32_t mode = state_.IterationMode;
    const bool dcPhase = state_.AnalysisPhase == kPhaseDc;
    const bool transientRun = state_.LoadAnalysis == kLoadTransient;
    const bool useIc = state_.UseInitialConditions != 0;
    const GlobalSettingValues& options = state_.Options;
    const double vto = Kind::kGaas ? mv[kFGVto] : mv[kFJVto];
    const double nvt = Kind::kGaas ? mv[kFGN] * mv[kFGVt] : mv[kFJVt];
    const double vcrit = Kind::kGaas ? mv[kFGVcrit] : mv[kFJVcrit];
    const double csat = (Kind::kGaas ? mv[kFGIs] : mv[kFJIs]) * r->area;
    const double gg = Kind::Gg(mv);
    const double gd = Kind::Gd(mv, r);
    const double gs = Kind::Gs(mv, r);

    auto voltages = [&](const std::vector<double>& v, double& vgs, double& vgd) {
        vgs = p * (At(v, gate) - At(v, source));
        vgd = p * (At(v, gate) - At(v, drain));
    };
    double vgs = 0.0, vgd = 0.0;
    switch (mode) {
    case kModeInitJunction: {
        const bool icPoint = Kind::kGaas ? transientRun && useIc : dcPhase && transientRun && useIc;
        if (icPoint) {
            vgs = p * r->icVgs;
            vgd = vgs - p * r->icVds;
        } else if (!r->off) {
            vgs = -1.0;
            vgd = -1.0;
        }
        break;
    }
    case kModeInitFix:
        if (!r->off) voltages(state_.Solution, vgs, vgd);
        break;
    case kModeInitSmallSignal:
    case kModeInitTransient:
        vgs = r->vgs;
        vgd = r->vgd;
        break;
    case kModeInitPredictor: {
        double lastGs, lastGd, olderGs, olderGd;
        voltages(state_.LastSolution, lastGs, lastGd);
        voltages(state_.OlderSolution, olderGs, olderGd);
        r->vgs = lastGs;
        r->vgd = lastGd;
        const double ratio = state_.StepRatio;
        vgs = (1.0 + ratio) * lastGs - ratio * olderGs;
        vgd = (1.0 + ratio) * lastGd - ratio * olderGd;
        break;
    }
    default: voltages(state_.Solution, vgs, vgd); break;
    }

    const bool evaluated = mode == kModeFloat || mode == kModeInitPredictor || (mode == kModeInitFix && !r->off);
    const double dvgs = vgs - r->vgs;
    const double dvgd = vgd - r->vgd;
    const double cghat = r->cg + r->ggd * dvgd + r->ggs * dvgs;
    const double cdhat = r->cd + (dvgs - dvgd) * r->gds + r->gm * dvgs - r->ggd * dvgd;

    bool bypassed = false;
    int32_t limited = 1;
    double igs, igd, ggs, ggd, id, gm, gds;
    double igsDc = 0.0, igdDc = 0.0, idChannel = 0.0, idsCharge = 0.0;
    if (evaluated && mode != kModeInitPredictor && VoltageConverged(options, vgs, r->vgs) &&
        VoltageConverged(options, vgd, r->vgd) && CurrentConverged(options, cghat, r->cg) &&
        CurrentConverged(options, cdhat, r->cd)) {
        bypassed = true;
        vgs = r->vgs;
        vgd = r->vgd;
        igd = r->cgd;
        igs = r->cg - r->cgd;
        id = r->cd + r->cgd;
        ggs = r->ggs;
        ggd = r->ggd;
        gm = r->gm;
        gds = r->gds;
    } else {
        if (evaluated || Kind::kGaas) {
            int32_t l1 = 0, l2 = 0;
            vgs = LimitJunctionVoltage(vgs, r->vgs, nvt, vcrit, l1);
            vgd = LimitJunctionVoltage(vgd, r->vgd, nvt, vcrit, l2);
            limited = l1 || l2;
            vgs = LimitFetVoltage(vgs, r->vgs, vto);
            vgd = LimitFetVoltage(vgd, r->vgd, vto);
        }
        const double vds = vgs - vgd;
        GateDiode(vgs, csat, nvt, gmin_, igs, ggs);
        GateDiode(vgd, csat, nvt, gmin_, igd, ggd);
        igsDc = igs;
        igdDc = igd;
        const Channel channel = ChannelCurrent(mv, r->area, vgs, vds);
        id = channel.id;
        idChannel = id;
        gm = channel.gm;
        gds = channel.gds;
        r->condition = channel.condition;

        if (state_.ComputeCharges) {
            double capgs = 0.0, capgd = 0.0, capds = 0.0;
            GateCharges(r, mv, block, vgs, vgd, capgs, capgd, capds);
            const bool icStart = dcPhase && transientRun && useIc && mode != kModeInitSmallSignal;
            if (!icStart) {
                r->capgs = capgs;
                r->capgd = capgd;
                if constexpr (Kind::kGaas) r->capds = capds;
                if (mode == kModeInitTransient)
                    for (int32_t k = 0; k < Kind::kBlocks; ++k)
                        states_.Values(block + k)[1] = states_.Values(block + k)[0];
                const IntegrationFormula& f = state_.Formula;
                double geq = 0.0;
                IntegrateConductance(f, states_, geq, block, capgs);
                ggs += geq;
                igs += states_.Derivatives(block)[0];
                IntegrateConductance(f, states_, geq, block + 1, capgd);
                ggd += geq;
                igd += states_.Derivatives(block + 1)[0];
                if constexpr (Kind::kGaas) {
                    IntegrateConductance(f, states_, geq, block + 2, capds);
                    gds += geq;
                    idsCharge = states_.Derivatives(block + 2)[0];
                    id += idsCharge;
                }
                if (mode == kModeInitTransient)
                    for (int32_t k = 0; k < Kind::kBlocks; ++k)
                        states_.Derivatives(block + k)[1] = states_.Derivatives(block + k)[0];
            }
        }

        const double cg = igs + igd;
        const double cd = id - igd;
        if (!(r->off && mode == kModeInitFix)) {
            int32_t& failures = state_.NonConvergedCount;
            if (limited) {
                ++failures;
                RecordFailure(state_.Failures, r, Kind::kJunction, 0.0, state_.Time);
            } else {
                if (CurrentDiverged(options, failures, cghat, cg))
                    RecordFailure(state_.Failures, r, Kind::kGate, cghat, state_.Time);
                if (failures == 0 && CurrentDiverged(options, failures, cdhat, cd))
                    RecordFailure(state_.Failures, r, Kind::kDrain, cdhat, state_.Time);
            }
        }
        r->vgs = vgs;
        r->vgd = vgd;
        r->cg = cg;
        r->cd = cd;
        r->cgd = igd;
        r->ggs = ggs;
        r->ggd = ggd;
        r->gm = gm;
        r->gds = gds;
        if (r->quantityRefs) {
            r->pinGate = p * (igs + igd);
            r->pinDrain = p * (id - igd);
            r->pinSource = Kind::kGaas ? -(idChannel + igs + idsCharge) : -p * (id + igs);
        }
    }

    const double vds = vgs - vgd;
    const double ceqgd = p * (igd - ggd * vgd);
    const double ceqgs = p * (igs - ggs * vgs);
    const double cdreq = p * (id - gds * vds - gm * vgs);
    AddRhs(state_, gate, -(ceqgs + ceqgd));
    AddRhs(state_, drain, -(cdreq - ceqgd));
    AddRhs(state_, source, cdreq + ceqgs);

    if (stamping_) {
        EntryCursor& k = state_.Cursor;
        if (Kind::kGaas && Kind::Branch(gg)) {
            k.Stamp(-gg);
            k.Stamp(-gg);
            k.Stamp(gg);
        }
        if (Kind::Branch(gd)) {
            k.Stamp(-gd);
            k.Stamp(-gd);
            k.Stamp(gd);
        }
        if (Kind::Branch(gs)) {
            k.Stamp(-gs);
            k.Stamp(-gs);
            k.Stamp(gs);
        }
        k.Stamp(-ggd);
        k.Stamp(-ggs);
        k.Stamp(gm - ggd);
        k.Stamp(-(gds + gm));
        k.Stamp(-(ggs + gm));
        k.Stamp(-gds);
        k.Stamp(ggd + ggs + (Kind::kGaas ? gg : 0.0));
        k.Stamp(ggd + gds + gd);
        k.Stamp(ggs + gds + gm + gs);
    }

    if (r->powerRefs) {
        if (!bypassed) {
            double pd = std::fabs(igsDc * vgs) + std::fabs(igdDc * vgd) + std::fabs(idChannel * vds);
            if (Kind::Branch(gd)) pd += r->pinDrain * r->pinDrain / gd;
            if (Kind::Branch(gs)) pd += r->pinSource * r->pinSource / gs;
            if (Kind::kGaas && Kind::Branch(gg)) pd += r->pinGate * r->pinGate / gg;
            double ps = 0.0;
            if (state_.ComputeCharges) {
                ps = vgs * states_.Derivatives(block)[0] + vgd * states_.Derivatives(block + 1)[0];
                if (Kind::kGaas) ps += vds * states_.Derivatives(block + 2)[0];
            }
            r->power[kPowerDissipated] = ComplexNumber{pd, 0.0};
            r->power[kPowerStored] = ComplexNumber{ps, 0.0};
        }
        state_.Power.PowerDissipated += std::fabs(r->power[kPowerDissipated].re);
        state_.Power.PowerStored += r->power[kPowerStored].re;
        if (r->power[kPowerDissipated].re > r->powerRating) r->condition = kHot;
    }
}

template <class Kind>
int LoadFets(SimulatorState& state) {
    using Record = typename Kind::Record;
    if (!state.Circuit) return 0;
    const StateVectors states = state.States();
    int32_t block = FirstBlock(state, Kind::kBlockKind);
    FetLoad<Kind> load(state);
    return ForEachRecord<Record>(state, Kind::kList, [&](Record* r) {
        if (!r->model || !r->model->Values || !BlocksAvailable(states, block, Kind::kBlocks)) return 101;
        load.Load(r, block);
        block += Kind::kBlocks;
        return 0;
    });
}

}  // namespace

// ---- channel currents (forward equations; EvaluateChannel mirrors vds < 0) ----------------

Channel JfetCurrent(const double* mv, double area, double vgs, double vds) {
    const double beta = mv[kFJBeta] * area;
    const double lambda = mv[kFJLambda];
    const double vto = mv[kFJVto];
    return EvaluateChannel(vgs, vds, [&](double a, double b) {
        Channel c;
        const double vgst = a - vto;
        if (vgst <= 0) return c;
        const double betap = beta * (1.0 + lambda * b);
        if (vgst <= b) {
            c.id = betap * vgst * vgst;
            c.gm = 2.0 * betap * vgst;
            c.gds = lambda * beta * vgst * vgst;
            c.condition = kSat;
        } else {
            c.id = betap * b * (2.0 * vgst - b);
            c.gm = 2.0 * betap * b;
            c.gds = 2.0 * betap * (vgst - b) + lambda * beta * b * (2.0 * vgst - b);
            c.condition = kLin;
        }
        return c;
    });
}

Channel CurticeCurrent(const double* mv, double area, double vgs, double vds) {
    const double beta = mv[kFGBeta] * area;
    const double lambda = mv[kFGLambda];
    const double alpha = mv[kFGAlpha];
    const double vto = mv[kFGVto];
    return EvaluateChannel(vgs, vds, [&](double a, double b) {
        Channel c;
        const double vgst = a - vto;
        if (vgst <= 0) return c;
        const double ep = JunctionExp(alpha * b);
        const double em = JunctionExp(-alpha * b);
        const double t = (ep - em) / (ep + em);
        const double lam = 1.0 + lambda * b;
        c.id = beta * lam * vgst * vgst * t;
        c.gm = 2.0 * beta * lam * vgst * t;
        c.gds = beta * vgst * vgst * (lambda * t + lam * alpha * (1.0 - t * t));
        c.condition = kOn;
        return c;
    });
}

Channel StatzCurrent(const double* mv, double area, double vgs, double vds) {
    const double beta = mv[kFGBeta] * area;
    const double lambda = mv[kFGLambda];
    const double alpha = mv[kFGAlpha];
    const double bcoef = mv[kFGB];
    const double vto = mv[kFGVto];
    return EvaluateChannel(vgs, vds, [&](double a, double b) {
        Channel c;
        const double vgst = a - vto;
        if (vgst <= 0) return c;
        const double den = 1.0 + bcoef * vgst;
        const double g0 = beta * vgst * vgst / den;
        const double dg0 = beta * vgst * (2.0 + bcoef * vgst) / (den * den);
        double tail, slope;
        CubicFactor(alpha, b, tail, slope, c.condition);
        const double lam = 1.0 + lambda * b;
        c.id = g0 * lam * tail;
        c.gm = dg0 * lam * tail;
        c.gds = g0 * (lambda * tail + lam * slope);
        return c;
    });
}

Channel TriquintCurrent(const double* mv, double area, double vgs, double vds) {
    const double beta = mv[kFGBeta] * area;
    const double alpha = mv[kFGAlpha];
    const double gamma = mv[kFGGamma];
    const double delta = mv[kFGDelta];
    const double qexp = mv[kFGQ];
    const double vto = mv[kFGVto];
    return EvaluateChannel(vgs, vds, [&](double a, double b) {
        Channel c;
        const double e = a - (vto - gamma * b);
        if (e <= 0) return c;
        double tail, slope;
        CubicFactor(alpha, b, tail, slope, c.condition);
        const double power = std::pow(e, qexp);
        const double dpower = qexp * power / e;
        const double id0 = beta * power * tail;
        const double did0dvgs = beta * dpower * tail;
        const double did0dvds = beta * (dpower * gamma * tail + power * slope);
        const double d = 1.0 + delta * b * id0;
        c.id = id0 / d;
        c.gm = did0dvgs / (d * d);
        c.gds = (did0dvds - delta * id0 * id0) / (d * d);
        return c;
    });
}

GateCharge StatzGateCharge(double vgs, double vgd, double vbi, double inverseAlpha, double vto, double cgs, double cgd,
                           double vdelta, double vmax) {
    GateCharge g;
    const double diff = vgs - vgd;
    const double root = std::sqrt(diff * diff + inverseAlpha * inverseAlpha);
    const double veff1 = 0.5 * (vgs + vgd + root);
    const double veff2 = 0.5 * (vgs + vgd - root);
    // Derivatives of the effective voltages; a zero root (vgs = vgd with no
    // 1/ALPHA) splits evenly.
    const double share = root > 0 ? diff / root : 0.0;
    const double dveff1dvgs = 0.5 * (1.0 + share);
    const double dveff1dvgd = 0.5 * (1.0 - share);
    const double dveff2dvgs = dveff1dvgd;
    const double dveff2dvgd = dveff1dvgs;
    const double above = veff1 - vto;
    const double root2 = std::sqrt(above * above + vdelta * vdelta);
    const double vnew = 0.5 * (veff1 + vto + root2);
    const double dvnew = root2 > 0 ? 0.5 * (1.0 + above / root2) : (above > 0 ? 1.0 : 0.0);
    // Beyond VMAX the depletion charge grows linearly with the slope it has there.
    const double vbiSafe = vbi > 0 ? vbi : 1e-50;
    const double limit = vnew > vmax ? vmax : vnew;
    const double depleted = MaxDouble(1.0 - limit / vbiSafe, 1e-50);
    const double sq = std::sqrt(depleted);
    double term = 2.0 * vbiSafe * (1.0 - sq);
    if (vnew > vmax) term += (vnew - vmax) / sq;
    const double dterm = 1.0 / sq;
    g.charge = cgs * term + cgd * veff2;
    g.cgs = cgs * dterm * dvnew * dveff1dvgs + cgd * dveff2dvgs;
    g.cgd = cgs * dterm * dvnew * dveff1dvgd + cgd * dveff2dvgd;
    return g;
}

int JfetLoads::Reserve(SimulatorState& state) { return ReserveFets<JfetKind>(state); }
int JfetLoads::Load(SimulatorState& state) { return LoadFets<JfetKind>(state); }
int GaasfetLoads::Reserve(SimulatorState& state) { return ReserveFets<GaasfetKind>(state); }
int GaasfetLoads::Load(SimulatorState& state) { return LoadFets<GaasfetKind>(state); }

JfetLoads& TheJfetLoads() {
    static JfetLoads loads;
    return loads;
}

GaasfetLoads& TheGaasfetLoads() {
    static GaasfetLoads loads;
    return loads;
}
