#include "devices/acloads.h"

#include <cmath>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/acload.h"
#include "engine/state.h"
#include "expr/devicelist.h"

namespace {

// Model slots read here (the set-up at temperature leaves conductances in
// the resistance slots where it converts them).
constexpr int kAlDiodeRs = 11;
constexpr int kAlBjtExcessPhase = 36;  // PTF in radians times TF
constexpr int kAlLateralPnp = 38;      // model type of a lateral PNP
constexpr int kAlJfetGd = 4, kAlJfetGs = 5;
constexpr int kAlGaasGg = 10, kAlGaasGd = 11, kAlGaasGs = 12;
constexpr int32_t kAlPolyG = 50, kAlPolyE = 52;

template <class Record, class Visit>
int al_Walk(SimulatorState& state, int list, Visit visit) {
    if (!state.Circuit) return 0;
    for (PoolItem* item = state.Circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<Record*>(item))) return rc;
    }
    return 0;
}

bool al_HasModel(const ModelRecord* model) { return model != nullptr && model->Values != nullptr; }

void al_ResetPower(DeviceRecord& d) { d.acPower[0] = d.acPower[1] = d.acPower[2] = ComplexNumber{0.0, 0.0}; }

// ---- diodes --------------------------------------------------------------------------------------

double al_DiodeSeries(const DiodeRecord& d) {
    const double rs = d.model->Values[kAlDiodeRs];
    if (rs == 0 || d.internalAnode == d.anode) return 0.0;
    return d.area / rs;
}

class al_Diodes final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<DiodeRecord>(ac.State(), kListDiodes, [&](DiodeRecord& d) {
            if (!al_HasModel(d.model)) return 101;
            const int32_t a = d.internalAnode, k = d.cathode;
            const double gd = d.gd, xc = d.cd * ac.Omega();
            ac.Real(k, k, gd);
            ac.Imag(k, k, xc);
            ac.Real(a, a, gd);
            ac.Imag(a, a, xc);
            ac.Real(k, a, -gd);
            ac.Imag(k, a, -xc);
            ac.Real(a, k, -gd);
            ac.Imag(a, k, -xc);
            // The series stamps depend only on the model: fixed while the matrix lives.
            if (const double gspr = al_DiodeSeries(d); gspr != 0.0) {
                ac.Real(a, a, gspr);
                ac.Real(d.anode, d.anode, gspr);
                ac.Real(a, d.anode, -gspr);
                ac.Real(d.anode, a, -gspr);
            }
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<DiodeRecord>(ac.State(), kListDiodes, [&](DiodeRecord& d) {
            if (!al_HasModel(d.model)) return 101;
            al_ResetPower(d);
            if (const double gspr = al_DiodeSeries(d); gspr != 0.0)
                ac.ConductanceResult(d, d.anode, d.internalAnode, gspr);
            ac.ConductanceResult(d, d.internalAnode, d.cathode, d.gd);
            ac.SusceptanceResult(d, d.internalAnode, d.cathode, d.cd * ac.Omega());
            return 0;
        });
    }
};

// ---- bipolar transistors ---------------------------------------------------------------------------

// The small-signal values of one transistor at the present frequency.
struct al_Bipolar {
    int32_t c, b, e, s, cp, bp, ep, n;
    double gcpr, gepr, gpi, gmu, gm, go, gx, gsub;
    double xcpi, xcmu, xcbx, xccs, xcmcb, xgm;
};

al_Bipolar al_BipolarValues(const BipolarRecord& q, double omega) {
    al_Bipolar v{};
    v.c = q.collector;
    v.b = q.base;
    v.e = q.emitter;
    v.s = q.substrate;
    v.cp = q.collectorPrime;
    v.bp = q.basePrime;
    v.ep = q.emitterPrime;
    // A lateral PNP has its substrate junction at the base.
    v.n = q.modelKind == kAlLateralPnp ? q.basePrime : q.collectorPrime;
    v.gcpr = q.areaGc;
    v.gepr = q.areaGe;
    v.gpi = q.gpi;
    v.gmu = q.gmu;
    v.gm = q.gm;
    v.go = q.go;
    v.gx = q.gx;
    v.gsub = q.gsub;
    v.xcpi = q.capbe * omega;
    v.xcmu = q.capbc * omega;
    v.xcbx = q.capbx * omega;
    v.xccs = q.capcs * omega;
    v.xcmcb = q.geqcb * omega;
    const double td = q.model->Values[kAlBjtExcessPhase];
    if (td != 0.0) {
        const double arg = td * omega;
        const double g = v.gm + v.go;
        v.xgm = -g * std::sin(arg);
        v.gm = g * std::cos(arg) - v.go;
    }
    return v;
}

class al_Bipolars final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<BipolarRecord>(ac.State(), kListBipolars, [&](BipolarRecord& q) {
            if (!al_HasModel(q.model)) return 101;
            const al_Bipolar v = al_BipolarValues(q, ac.Omega());
            const int32_t C = v.c, B = v.b, E = v.e, S = v.s, Cp = v.cp, Bp = v.bp, Ep = v.ep, N = v.n;
            ac.Real(N, S, -v.gsub);
            ac.Real(S, N, -v.gsub);
            ac.Real(S, S, v.gsub);
            ac.Real(N, N, v.gsub);
            ac.Real(C, C, v.gcpr);
            ac.Real(B, B, v.gx);
            ac.Imag(B, B, v.xcbx);
            ac.Real(E, E, v.gepr);
            ac.Real(Cp, Cp, v.gmu + v.go + v.gcpr);
            ac.Imag(N, N, v.xccs);
            ac.Imag(Cp, Cp, v.xcbx + v.xcmu);
            ac.Real(Bp, Bp, v.gx + v.gmu + v.gpi);
            ac.Imag(Bp, Bp, v.xcmcb + v.xcmu + v.xcpi);
            ac.Real(Ep, Ep, v.go + v.gm + v.gpi + v.gepr);
            ac.Imag(Ep, Ep, v.xcpi + v.xgm);
            ac.Real(C, Cp, -v.gcpr);
            ac.Real(B, Bp, -v.gx);
            ac.Real(E, Ep, -v.gepr);
            ac.Real(Cp, C, -v.gcpr);
            ac.Real(Cp, Bp, v.gm - v.gmu);
            ac.Imag(Cp, Bp, v.xgm - v.xcmu);
            ac.Real(Cp, Ep, -v.gm - v.go);
            ac.Imag(Cp, Ep, -v.xgm);
            ac.Real(Bp, B, -v.gx);
            ac.Real(Bp, Cp, -v.gmu);
            ac.Imag(Bp, Cp, -v.xcmu - v.xcmcb);
            ac.Real(Bp, Ep, -v.gpi);
            ac.Imag(Bp, Ep, -v.xcpi);
            ac.Real(Ep, E, -v.gepr);
            ac.Real(Ep, Cp, -v.go);
            ac.Imag(Ep, Cp, v.xcmcb);
            ac.Real(Ep, Bp, -v.gpi - v.gm);
            ac.Imag(Ep, Bp, -v.xcpi - v.xgm - v.xcmcb);
            ac.Imag(S, S, v.xccs);
            ac.Imag(N, S, -v.xccs);
            ac.Imag(S, N, -v.xccs);
            ac.Imag(B, Cp, -v.xcbx);
            ac.Imag(Cp, B, -v.xcbx);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<BipolarRecord>(ac.State(), kListBipolars, [&](BipolarRecord& q) {
            if (!al_HasModel(q.model)) return 101;
            const al_Bipolar v = al_BipolarValues(q, ac.Omega());
            al_ResetPower(q);
            ac.ConductanceResult(q, v.c, v.cp, v.gcpr);
            ac.ConductanceResult(q, v.e, v.ep, v.gepr);
            // The base resistance as stamped (modulated at the bias point), so
            // that the currents are those of the solved circuit.
            ac.ConductanceResult(q, v.b, v.bp, v.gx);
            ac.ConductanceResult(q, v.bp, v.ep, v.gpi);
            ac.ConductanceResult(q, v.bp, v.cp, v.gmu);
            ac.ConductanceResult(q, v.cp, v.ep, v.go);
            ac.ConductanceResult(q, v.n, v.s, v.gsub);
            // The transconductance turned by the excess phase, and the
            // excess-phase transcapacitance from B' to E' driven by V(B') - V(C').
            ac.TransconductanceResult(q, v.bp, v.ep, v.cp, v.ep, ComplexNumber{v.gm, v.xgm});
            ac.TransconductanceResult(q, v.bp, v.cp, v.bp, v.ep, ComplexNumber{0.0, v.xcmcb});
            ac.SusceptanceResult(q, v.bp, v.ep, v.xcpi);
            ac.SusceptanceResult(q, v.bp, v.cp, v.xcmu);
            ac.SusceptanceResult(q, v.b, v.cp, v.xcbx);
            ac.SusceptanceResult(q, v.n, v.s, v.xccs);
            return 0;
        });
    }
};

// ---- JFETs and GaAsFETs ---------------------------------------------------------------------------

struct al_Fet {
    int32_t g, gp, d, dp, s, sp;
    double rg, gdpr, gspr, gm, gds, ggs, ggd, xgs, xgd, xds;
};

al_Fet al_FetValues(const JfetRecord& r, double omega) {
    const double* mv = r.model->Values;
    return al_Fet{r.gate,
                  r.gate,
                  r.drain,
                  r.drainPrime,
                  r.source,
                  r.sourcePrime,
                  0.0,
                  mv[kAlJfetGd] * r.area,
                  mv[kAlJfetGs] * r.area,
                  r.gm,
                  r.gds,
                  r.ggs,
                  r.ggd,
                  r.capgs * omega,
                  r.capgd * omega,
                  0.0};
}

al_Fet al_FetValues(const GaasfetRecord& r, double omega) {
    const double* mv = r.model->Values;
    // The gate conductance as the GaAsFET's DC load uses it, so that both
    // solve the same circuit.
    return al_Fet{r.gate,
                  r.gatePrime,
                  r.drain,
                  r.drainPrime,
                  r.source,
                  r.sourcePrime,
                  mv[kAlGaasGg],
                  mv[kAlGaasGd] * r.area,
                  mv[kAlGaasGs] * r.area,
                  r.gm,
                  r.gds,
                  r.ggs,
                  r.ggd,
                  r.capgs * omega,
                  r.capgd * omega,
                  r.capds * omega};
}

void al_StampFet(AcStamps& ac, const al_Fet& v) {
    const int32_t G = v.g, Gp = v.gp, D = v.d, Dp = v.dp, S = v.s, Sp = v.sp;
    ac.Real(G, G, v.rg);
    ac.Real(G, Gp, -v.rg);
    ac.Real(Gp, G, -v.rg);
    ac.Real(D, D, v.gdpr);
    ac.Real(Gp, Gp, v.ggs + v.ggd + v.rg);
    ac.Imag(Gp, Gp, v.xgs + v.xgd);
    ac.Real(S, S, v.gspr);
    ac.Real(Dp, Dp, v.gds + v.ggd + v.gdpr);
    ac.Imag(Dp, Dp, v.xgd + v.xds);
    ac.Real(Sp, Sp, v.gm + v.gds + v.ggs + v.gspr);
    ac.Imag(Sp, Sp, v.xgs + v.xds);
    ac.Real(D, Dp, -v.gdpr);
    ac.Real(Gp, Dp, -v.ggd);
    ac.Imag(Gp, Dp, -v.xgd);
    ac.Real(Gp, Sp, -v.ggs);
    ac.Imag(Gp, Sp, -v.xgs);
    ac.Real(S, Sp, -v.gspr);
    ac.Real(Dp, D, -v.gdpr);
    ac.Real(Dp, Gp, v.gm - v.ggd);
    ac.Imag(Dp, Gp, -v.xgd);
    ac.Real(Dp, Sp, -v.gds - v.gm);
    ac.Real(Sp, Gp, -v.ggs - v.gm);
    ac.Imag(Sp, Gp, -v.xgs);
    ac.Real(Sp, S, -v.gspr);
    ac.Real(Sp, Dp, -v.gds);
    ac.Imag(Sp, Dp, -v.xds);
    ac.Imag(Dp, Sp, -v.xds);
}

void al_FetResults(AcStamps& ac, DeviceRecord& r, const al_Fet& v) {
    al_ResetPower(r);
    ac.ConductanceResult(r, v.g, v.gp, v.rg);
    ac.ConductanceResult(r, v.d, v.dp, v.gdpr);
    ac.ConductanceResult(r, v.s, v.sp, v.gspr);
    ac.ConductanceResult(r, v.gp, v.sp, v.ggs);
    ac.ConductanceResult(r, v.gp, v.dp, v.ggd);
    ac.ConductanceResult(r, v.dp, v.sp, v.gds);
    ac.TransconductanceResult(r, v.gp, v.sp, v.dp, v.sp, ComplexNumber{v.gm, 0.0});
    ac.SusceptanceResult(r, v.gp, v.sp, v.xgs);
    ac.SusceptanceResult(r, v.gp, v.dp, v.xgd);
    ac.SusceptanceResult(r, v.dp, v.sp, v.xds);
}

template <class Record, int kList>
class al_Fets final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<Record>(ac.State(), kList, [&](Record& r) {
            if (!al_HasModel(r.model)) return 101;
            al_StampFet(ac, al_FetValues(r, ac.Omega()));
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<Record>(ac.State(), kList, [&](Record& r) {
            if (!al_HasModel(r.model)) return 101;
            al_FetResults(ac, r, al_FetValues(r, ac.Omega()));
            return 0;
        });
    }
};

// ---- MOSFETs of LEVEL 1-3 ---------------------------------------------------------------------------

struct al_Mos {
    int32_t g, d, s, b, gp, dp, sp, bp;
    double xnrm, xrev;
    double xgs, xgd, xgb, xbd, xbs;
    double gm, gds, gmbs, gbd, gbs;
    double gg, gd, gs, gb;  // series conductances
};

al_Mos al_MosValues(const MosfetRecord& r, double omega) {
    al_Mos v{};
    v.g = r.gate;
    v.d = r.drain;
    v.s = r.source;
    v.b = r.bulk;
    v.gp = r.gatePrime;
    v.dp = r.drainPrime;
    v.sp = r.sourcePrime;
    v.bp = r.bulkPrime;
    const bool normal = r.mode >= 0;
    v.xnrm = normal ? 1.0 : 0.0;
    v.xrev = normal ? 0.0 : 1.0;
    const auto half = [&](int index) {
        return static_cast<size_t>(index) < r.derived.size() ? r.derived[static_cast<size_t>(index)] : 0.0;
    };
    v.xgs = (2.0 * half(kMosCgsHalf) + r.overlapCapGs) * omega;
    v.xgd = (2.0 * half(kMosCgdHalf) + r.overlapCapGd) * omega;
    v.xgb = (2.0 * half(kMosCgbHalf) + r.overlapCapGb) * omega;
    v.xbd = r.capbd * omega;
    v.xbs = r.capbs * omega;
    v.gm = r.gm;
    v.gds = r.gds;
    v.gmbs = r.gmbs;
    v.gbd = r.gbd;
    v.gbs = r.gbs;
    v.gg = r.gateConductance;
    v.gd = r.drainConductance;
    v.gs = r.sourceConductance;
    v.gb = r.bulkConductance;
    return v;
}

class al_Mosfets final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<MosfetRecord>(ac.State(), kListMosfets, [&](MosfetRecord& r) {
            if (r.level < 1 || r.level > 3) return int{kResultNotBuilt};
            const al_Mos v = al_MosValues(r, ac.Omega());
            const int32_t G = v.gp, D = v.dp, S = v.sp, B = v.bp;
            const double sign = v.xnrm - v.xrev;
            ac.Imag(G, G, v.xgd + v.xgs + v.xgb);
            ac.Imag(B, B, v.xgb + v.xbd + v.xbs);
            ac.Imag(D, D, v.xgd + v.xbd);
            ac.Imag(S, S, v.xgs + v.xbs);
            ac.Imag(G, B, -v.xgb);
            ac.Imag(G, D, -v.xgd);
            ac.Imag(G, S, -v.xgs);
            ac.Imag(B, G, -v.xgb);
            ac.Imag(B, D, -v.xbd);
            ac.Imag(B, S, -v.xbs);
            ac.Imag(D, G, -v.xgd);
            ac.Imag(D, B, -v.xbd);
            ac.Imag(S, G, -v.xgs);
            ac.Imag(S, B, -v.xbs);
            ac.Real(B, B, v.gbd + v.gbs);
            ac.Real(D, D, v.gds + v.gbd + v.xrev * (v.gm + v.gmbs));
            ac.Real(S, S, v.gds + v.gbs + v.xnrm * (v.gm + v.gmbs));
            ac.Real(B, D, -v.gbd);
            ac.Real(B, S, -v.gbs);
            ac.Real(D, G, sign * v.gm);
            ac.Real(D, B, -v.gbd + sign * v.gmbs);
            ac.Real(D, S, -v.gds - v.xnrm * (v.gm + v.gmbs));
            ac.Real(S, G, -sign * v.gm);
            ac.Real(S, B, -v.gbs - sign * v.gmbs);
            ac.Real(S, D, -v.gds - v.xrev * (v.gm + v.gmbs));
            ac.Conductance(v.d, D, v.gd);
            ac.Conductance(v.s, S, v.gs);
            ac.Conductance(v.g, G, v.gg);
            ac.Conductance(v.b, B, v.gb);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<MosfetRecord>(ac.State(), kListMosfets, [&](MosfetRecord& r) {
            if (r.level < 1 || r.level > 3) return 0;
            const al_Mos v = al_MosValues(r, ac.Omega());
            al_ResetPower(r);
            ac.ConductanceResult(r, v.d, v.dp, v.gd);
            ac.ConductanceResult(r, v.s, v.sp, v.gs);
            ac.ConductanceResult(r, v.g, v.gp, v.gg);
            ac.ConductanceResult(r, v.b, v.bp, v.gb);
            ac.ConductanceResult(r, v.dp, v.sp, v.gds);
            ac.ConductanceResult(r, v.bp, v.dp, v.gbd);
            ac.ConductanceResult(r, v.bp, v.sp, v.gbs);
            // The channel's transconductances act from the source side in
            // normal mode and from the drain side in reverse.
            const int32_t from = v.xnrm > 0 ? v.sp : v.dp;
            const int32_t to = v.xnrm > 0 ? v.dp : v.sp;
            ac.TransconductanceResult(r, v.gp, from, to, from, ComplexNumber{v.gm, 0.0});
            ac.TransconductanceResult(r, v.bp, from, to, from, ComplexNumber{v.gmbs, 0.0});
            ac.SusceptanceResult(r, v.gp, v.sp, v.xgs);
            ac.SusceptanceResult(r, v.gp, v.dp, v.xgd);
            ac.SusceptanceResult(r, v.gp, v.bp, v.xgb);
            ac.SusceptanceResult(r, v.bp, v.dp, v.xbd);
            ac.SusceptanceResult(r, v.bp, v.sp, v.xbs);
            return 0;
        });
    }
};

// ---- dependent sources --------------------------------------------------------------------------------

// The result of a controlled source of kind 0..3 with a real gain: its
// output current into PG.
void al_ControlledResult(AcStamps& ac, DeviceRecord& d, int kind, double gain, int32_t cPlus, int32_t cMinus, int32_t s,
                         int32_t o, int32_t oPlus, int32_t oMinus) {
    ComplexNumber i{0.0, 0.0};
    switch (kind) {
    case kVoltageControlledCurrent:
        ac.TransconductanceResult(d, cPlus, cMinus, oPlus, oMinus, ComplexNumber{gain, 0.0});
        return;
    case kCurrentControlledCurrent:
        i = ac.V(s);
        i.Scale(gain);
        break;
    case kVoltageControlledVoltage: i = ac.V(s); break;
    case kCurrentControlledVoltage: i = ac.V(o); break;
    default: return;
    }
    const ComplexNumber v = ac.Diff(oPlus, oMinus);
    ac.AddPower(d, kPowerGenerated, ComplexNumber{-(v.re * i.re - v.im * i.im), -(v.re * i.im + v.im * i.re)});
}

class al_LinearDependent final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<LinearDependentRecord>(ac.State(), kListDependentSources, [&](LinearDependentRecord& s) {
            ac.ControlledSource(s.componentType - 26, true, true, s.branch, s.branch + 1, s.controlPlus, s.controlMinus,
                                s.outPlus, s.outMinus, ComplexNumber{s.gain, 0.0});
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<LinearDependentRecord>(ac.State(), kListDependentSources, [&](LinearDependentRecord& s) {
            al_ResetPower(s);
            al_ControlledResult(ac, s, s.componentType - 26, s.gain, s.controlPlus, s.controlMinus, s.branch,
                                s.branch + 1, s.outPlus, s.outMinus);
            return 0;
        });
    }
};

// A polynomial source is linearised at the bias point: each input adds its
// stored partial derivative as the gain of a controlled source.
void al_PolyInput(const PolySourceRecord& s, const PolyInput& input, int32_t& plus, int32_t& minus) {
    if (s.sourceKind == kAlPolyG || s.sourceKind == kAlPolyE) {
        plus = input.positive;
        minus = input.negative;
    } else {
        plus = input.branch ? *input.branch : 0;
        minus = 0;
    }
}

class al_PolySources final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_Walk<PolySourceRecord>(ac.State(), kListPolySources, [&](PolySourceRecord& s) {
            const int kind = s.sourceKind - kAlPolyG;
            // The output branch's incidence once, whatever the number of
            // inputs (a constant polynomial still drives its branch).
            if (kind == kVoltageControlledVoltage || kind == kCurrentControlledVoltage)
                ac.Branch(s.branch, s.outPlus, s.outMinus);
            for (int i = 1; i <= s.inputCount && static_cast<size_t>(i) < s.inputs.size(); ++i) {
                const PolyInput& input = s.inputs[static_cast<size_t>(i)];
                int32_t plus = 0, minus = 0;
                al_PolyInput(s, input, plus, minus);
                ac.ControlledSource(kind, false, false, plus, s.branch, plus, minus, s.outPlus, s.outMinus,
                                    ComplexNumber{input.gain, 0.0});
            }
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<PolySourceRecord>(ac.State(), kListPolySources, [&](PolySourceRecord& s) {
            const int kind = s.sourceKind - kAlPolyG;
            al_ResetPower(s);
            if (kind == kVoltageControlledVoltage || kind == kCurrentControlledVoltage) {
                al_ControlledResult(ac, s, kCurrentControlledVoltage, 0.0, 0, 0, 0, s.branch, s.outPlus, s.outMinus);
                return 0;
            }
            for (int i = 1; i <= s.inputCount && static_cast<size_t>(i) < s.inputs.size(); ++i) {
                const PolyInput& input = s.inputs[static_cast<size_t>(i)];
                int32_t plus = 0, minus = 0;
                al_PolyInput(s, input, plus, minus);
                al_ControlledResult(ac, s, kind, input.gain, plus, minus, plus, s.branch, s.outPlus, s.outMinus);
            }
            return 0;
        });
    }
};

// ---- OPAMP stages -------------------------------------------------------------------------------------

struct al_Stage {
    int32_t a, b, out;
};

template <class Each>
int al_EachStage(SimulatorState& state, Each each) {
    return al_Walk<OpampRecord>(state, kListOpamps, [&](OpampRecord& r) {
        if (r.level == 1) return each(r, al_Stage{r.plus, r.minus, r.output});
        if (r.level == 2) {
            const al_Stage stages[3] = {{r.plus, r.minus, r.stage1}, {r.stage1, 0, r.stage2}, {r.stage2, 0, r.output}};
            for (const al_Stage& stage : stages)
                if (int rc = each(r, stage)) return rc;
        }
        return 0;
    });
}

class al_Opamps final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return al_EachStage(ac.State(), [&](OpampRecord& r, const al_Stage& stage) {
            ac.Transadmittance(stage.out, 0, stage.a, stage.b, ComplexNumber{-r.transconductance, 0.0});
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        al_Walk<OpampRecord>(ac.State(), kListOpamps, [&](OpampRecord& r) {
            al_ResetPower(r);
            return 0;
        });
        return al_EachStage(ac.State(), [&](OpampRecord& r, const al_Stage& stage) {
            ac.TransconductanceResult(r, stage.a, stage.b, 0, stage.out, ComplexNumber{r.transconductance, 0.0});
            return 0;
        });
    }
};

// ---- ideal transmission lines -------------------------------------------------------------------------

class al_IdealLines final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        const double rmin = ac.State().Options.rmin;
        return al_Walk<IdealLineRecord>(ac.State(), kListIdealLines, [&](IdealLineRecord& l) {
            const double g = 1.0 / std::fmax(l.impedance, rmin);
            const double er = std::cos(-ac.Omega() * l.delay), ei = std::sin(-ac.Omega() * l.delay);
            const int32_t a1 = l.portAPlus, b1 = l.portAMinus, i1 = l.internalA, k1 = l.branchA;
            const int32_t a2 = l.portBPlus, b2 = l.portBMinus, i2 = l.internalB, k2 = l.branchB;
            ac.Real(a1, a1, g);
            ac.Real(i1, i1, g);
            ac.Real(a1, i1, -g);
            ac.Real(i1, a1, -g);
            ac.Conductance(a2, i2, g);
            // Each port's source carries the wave that left the other port a
            // delay ago: e x (V(A) - V(B) + Z0 I) of the far end.
            auto row = [&](int32_t k, int32_t i, int32_t b, int32_t farA, int32_t farB, int32_t farI) {
                ac.Real(k, farA, -er);
                ac.Imag(k, farA, -ei);
                ac.Real(k, farB, er);
                ac.Imag(k, farB, ei);
                ac.Branch(k, i, b);
                ac.Real(k, farA, -er);
                ac.Imag(k, farA, -ei);
                ac.Real(k, farI, er);
                ac.Imag(k, farI, ei);
            };
            row(k1, i1, b1, a2, b2, i2);
            row(k2, i2, b2, a1, b1, i1);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return al_Walk<IdealLineRecord>(ac.State(), kListIdealLines, [&](IdealLineRecord& l) {
            al_ResetPower(l);
            const auto port = [&](int32_t p, int32_t n, int32_t k) {
                const ComplexNumber v = ac.Diff(p, n), i = ac.V(k);
                return ComplexNumber{v.re * i.re - v.im * i.im, v.re * i.im + v.im * i.re};
            };
            ComplexNumber s = port(l.portAPlus, l.portAMinus, l.branchA);
            s.Add(port(l.portBPlus, l.portBMinus, l.branchB));
            ac.AddPower(l, kPowerStored, s);
            return 0;
        });
    }
};

}  // namespace

AcKindLoads& DiodeAcLoads() {
    static al_Diodes loads;
    return loads;
}
AcKindLoads& BipolarAcLoads() {
    static al_Bipolars loads;
    return loads;
}
AcKindLoads& JfetAcLoads() {
    static al_Fets<JfetRecord, kListJfets> loads;
    return loads;
}
AcKindLoads& GaasfetAcLoads() {
    static al_Fets<GaasfetRecord, kListGaasfets> loads;
    return loads;
}
AcKindLoads& MosfetAcLoads() {
    static al_Mosfets loads;
    return loads;
}
AcKindLoads& LinearDependentAcLoads() {
    static al_LinearDependent loads;
    return loads;
}
AcKindLoads& PolySourceAcLoads() {
    static al_PolySources loads;
    return loads;
}
AcKindLoads& OpampAcLoads() {
    static al_Opamps loads;
    return loads;
}
AcKindLoads& IdealLineAcLoads() {
    static al_IdealLines loads;
    return loads;
}
