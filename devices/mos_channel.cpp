// The channel current of MOSFET levels 1-3 in the n-channel sense and the
// normal mode, with its conductances, and the Meyer gate capacitances.
//
// Levels 2 and 3 are written once, on values that carry their derivatives
// with respect to vgs, vds and vbs, so the conductances the Newton iteration
// stamps are always the exact derivatives of the current it computes.
#include <algorithm>
#include <cmath>

#include "compiler/compiled.h"
#include "devices/mosfets.h"
#include "models/modelstmt.h"

namespace {

constexpr double kMcSiliconPermittivity = 11.7 * 8.854214871e-12;
constexpr double kMcPi = 3.14159265358979323846;

// A value with its partial derivatives by vgs, vds, vbs and one auxiliary unknown.
struct Dual {
    double v = 0;
    double d[4] = {0, 0, 0, 0};

    Dual() = default;
    Dual(double value) : v(value) {}  // NOLINT: constants mix freely
    static Dual Variable(double value, int index) {
        Dual x(value);
        x.d[index] = 1;
        return x;
    }
};

Dual operator+(const Dual& a, const Dual& b) {
    Dual r(a.v + b.v);
    for (int i = 0; i < 4; ++i) r.d[i] = a.d[i] + b.d[i];
    return r;
}
Dual operator-(const Dual& a, const Dual& b) {
    Dual r(a.v - b.v);
    for (int i = 0; i < 4; ++i) r.d[i] = a.d[i] - b.d[i];
    return r;
}
Dual operator*(const Dual& a, const Dual& b) {
    Dual r(a.v * b.v);
    for (int i = 0; i < 4; ++i) r.d[i] = a.d[i] * b.v + a.v * b.d[i];
    return r;
}
Dual operator/(const Dual& a, const Dual& b) {
    Dual r(a.v / b.v);
    for (int i = 0; i < 4; ++i) r.d[i] = (a.d[i] * b.v - a.v * b.d[i]) / (b.v * b.v);
    return r;
}
// f(a) with f'(a) given.
Dual Chain(const Dual& a, double value, double slope) {
    Dual r(value);
    for (int i = 0; i < 4; ++i) r.d[i] = slope * a.d[i];
    return r;
}
Dual Sqrt(const Dual& a) {
    const double s = std::sqrt(a.v);
    return Chain(a, s, s > 0 ? 0.5 / s : 0.0);
}
// Exponentials are clamped to [-350, 350] like every exponential of the loads.
Dual Exp(const Dual& a) {
    const double e = std::exp(std::clamp(a.v, -350.0, 350.0));
    return Chain(a, e, a.v > 350.0 || a.v < -350.0 ? 0.0 : e);
}
// a^p for a > 0, through the clamped exponential.
Dual Pow(const Dual& a, double p) { return Exp(Chain(a, std::log(a.v), 1.0 / a.v) * Dual(p)); }
const Dual& Max(const Dual& a, const Dual& b) { return a.v >= b.v ? a : b; }
const Dual& Min(const Dual& a, const Dual& b) { return a.v <= b.v ? a : b; }

MosChannel FromDual(const Dual& current, const Dual& von, const Dual& vdsat, int condition) {
    MosChannel out;
    out.current = current.v;
    out.gm = current.d[0];
    out.gds = current.d[1];
    out.gmbs = current.d[2];
    out.von = von.v;
    out.vdsat = vdsat.v;
    out.condition = condition;
    return out;
}

// sqrt(phi - vbs), continued smoothly for a forward-biased bulk.
Dual BodyRoot(const Dual& vbs, double phi) {
    const double sqphi = std::sqrt(std::max(phi, 1e-6));
    if (vbs.v <= 0) return Sqrt(Dual(phi) - vbs);
    return Dual(sqphi) / (Dual(1.0) + vbs / Dual(2.0 * phi));
}

struct ChannelInputs {
    const double* model;
    const double* derived;
    double polarity;
    double weff1;  // the width of one device (W / M)
    double leff;
    double vt;
};

MosChannel Level1(const ChannelInputs& in, double vbs, double vgs, double vds) {
    const double* m = in.model;
    const double phi = in.derived[kMosSurfacePotential];
    const double beta = in.derived[kMosBeta];
    const double gamma = m[kMpGamma];
    const double lambda = m[kMpLambda];
    const auto guarded = [](double x) { return x > 0 ? std::sqrt(x) : 0.001; };
    double sarg;
    if (vbs <= 0) {
        sarg = guarded(phi - vbs);
    } else {
        const double s = guarded(phi);
        sarg = std::max(0.0, s - vbs / (2.0 * s));
    }
    MosChannel out;
    out.von = in.polarity * in.derived[kMosBuiltIn] + gamma * sarg;
    const double vgst = vgs - out.von;
    out.vdsat = std::max(vgst, 0.0);
    const double arg = sarg > 0 ? gamma / (2.0 * sarg) : 0.0;
    if (vgst <= 0) {
        out.condition = 3;
        return out;
    }
    const double betap = beta * (1.0 + lambda * vds);
    if (vgst <= vds) {
        out.current = 0.5 * betap * vgst * vgst;
        out.gm = betap * vgst;
        out.gds = 0.5 * lambda * beta * vgst * vgst;
        out.condition = 1;
    } else {
        out.current = betap * vds * (vgst - 0.5 * vds);
        out.gm = betap * vds;
        out.gds = betap * (vgst - vds) + lambda * beta * vds * (vgst - 0.5 * vds);
        out.condition = 6;
    }
    out.gmbs = out.gm * arg;
    return out;
}

// The linear-region current of level 2 (divided by beta) at a drain voltage.
Dual Level2Linear(const Dual& a, const Dual& b, const Dual& eta, const Dual& gamma, const Dual& v) {
    const Dual root0 = Sqrt(b);
    const Dual rootV = Sqrt(v + b);
    return (a - eta * v / Dual(2.0)) * v - Dual(2.0 / 3.0) * gamma * (rootV * (v + b) - root0 * b);
}

MosChannel Level2(const ChannelInputs& in, double vbsIn, double vgsIn, double vdsIn) {
    const double* m = in.model;
    const Dual vgs = Dual::Variable(vgsIn, 0);
    const Dual vds = Dual::Variable(vdsIn, 1);
    const Dual vbs = Dual::Variable(vbsIn, 2);
    const double phi = std::max(in.derived[kMosSurfacePotential], 1e-6);
    const double cox = m[kMpTox];
    const double xj = m[kMpXj];
    const double xd = m[kMpDepletionWidth];

    const Dual sarg = BodyRoot(vbs, phi);
    const Dual barg = BodyRoot(vbs - vds, phi);
    Dual gamma = m[kMpGamma];
    if (xj > 0 && xd > 0) {
        const Dual argss = Sqrt(Dual(1.0) + Dual(2.0 * xd / xj) * sarg) - Dual(1.0);
        const Dual argsd = Sqrt(Dual(1.0) + Dual(2.0 * xd / xj) * barg) - Dual(1.0);
        gamma = gamma * (Dual(1.0) - Dual(xj / (2.0 * in.leff)) * (argss + argsd));
        if (gamma.v < 0) gamma = Dual(0.0);
    }
    const double narrow = cox > 0 ? m[kMpDelta] * kMcPi * kMcSiliconPermittivity / (4.0 * cox * in.weff1) : 0.0;
    const Dual phibs = sarg * sarg;
    const Dual vbin = Dual(in.polarity * in.derived[kMosBuiltIn]) + Dual(narrow) * phibs;
    const Dual eta = Dual(1.0 + narrow);
    const Dual vth = vbin + gamma * sarg;

    Dual von = vth;
    Dual xn = 1.0;
    const double nfs = m[kMpNfs];
    if (nfs > 0 && cox > 0) {
        xn = Dual(1.0 + kElectronCharge * nfs / cox + narrow) + gamma / (Dual(2.0) * sarg);
        von = vth + Dual(in.vt) * xn;
    } else if (vgsIn <= von.v) {
        return FromDual(Dual(0.0), von, Dual(0.0), 3);
    }
    const Dual vgsx = Max(vgs, von);

    // Field-dependent mobility.
    Dual ufact = 1.0;
    const double ucrit = m[kMpUcrit];
    const double uexp = m[kMpUexp];
    const Dual drive = vgsx - vth - Dual(m[kMpUtra]) * vds;
    if (uexp != 0 && drive.v > 0 && ucrit < drive.v) ufact = Pow(Dual(ucrit) / drive, uexp);
    const Dual beta = Dual(in.derived[kMosBeta]) * ufact;

    // Saturation voltage: where the channel pinches off, or earlier where the
    // carriers reach VMAX.
    const Dual a = vgsx - vbin;
    const Dual b = phibs;
    const Dual disc = gamma * gamma + Dual(4.0) * eta * (a + eta * b);
    const Dual u = (Sqrt(disc) - gamma) / (Dual(2.0) * eta);
    Dual vdsat = Max(u * u - b, Dual(0.0));
    const double vmax = m[kMpVmax];
    const double uo = m[kMpUo];
    if (vmax > 0 && uo > 0 && vdsat.v > 0) {
        // G(V) = F(V) - xv F'(V) rises from -xv a at 0 to F(vdsat) > 0: one root.
        const Dual xv = Dual(vmax * in.leff / uo) / ufact;
        const auto g = [&](const Dual& v) {
            const Dual slope = a - eta * v - gamma * Sqrt(v + b);
            return Level2Linear(a, b, eta, gamma, v) - xv * slope;
        };
        double lo = 0, hi = vdsat.v;
        for (int i = 0; i < 200 && hi - lo > 1e-12 * (1.0 + hi); ++i) {
            const double mid = 0.5 * (lo + hi);
            (g(Dual(mid)).v < 0 ? lo : hi) = mid;
        }
        const double root = 0.5 * (lo + hi);
        const Dual gr = g(Dual::Variable(root, 3));
        Dual sat(root);
        for (int i = 0; i < 3; ++i) sat.d[i] = gr.d[3] != 0 ? -gr.d[i] / gr.d[3] : 0.0;
        vdsat = sat;
    }

    const bool saturated = vdsIn > vdsat.v;
    const Dual vdsx = saturated ? vdsat : vds;
    Dual current = beta * Level2Linear(a, b, eta, gamma, vdsx);

    // Channel length modulation over the whole range (so the current stays
    // continuous at vdsat): the given LAMBDA, else the pinched-off length from
    // the depletion width, measured from the saturation voltage on.
    const double lambda = m[kMpLambda];
    if (lambda != 0) {
        const Dual shortening = Dual(lambda) * vds;
        if (shortening.v < 0.5)
            current = current / (Dual(1.0) - shortening);
        else
            current = current * Dual(4.0) * shortening;  // past half the channel: continuous, bounded growth
    } else if (xd > 0) {
        Dual delxl;
        if (vmax > 0 && uo > 0) {
            // Velocity-limited carriers leave a pinched-off region that grows
            // from zero at vdsat (Baum-Beneking), scaled by the channel charge
            // coefficient NEFF, with the mobility the field leaves them.
            const double neff = m[kMpNeff] > 0 ? m[kMpNeff] : 1.0;
            const double xdv = xd / std::sqrt(neff);
            const Dual xlv = Dual(vmax * xdv / (2.0 * uo)) / ufact;
            const Dual beyond = saturated ? vds - vdsat : Dual(0.0);
            delxl = Dual(xdv) * (Sqrt(beyond + xlv * xlv) - xlv);
        } else {
            const Dual x = saturated ? (vds - vdsat) / Dual(4.0) : Dual(0.0);
            delxl = Dual(xd) * Sqrt(x + Sqrt(Dual(1.0) + x * x));
        }
        if (delxl.v > 0.5 * in.leff) delxl = Dual(in.leff) - Dual(in.leff * in.leff / 4.0) / delxl;
        current = current / (Dual(1.0) - delxl / Dual(in.leff));
    }

    int condition = saturated ? 1 : 6;
    if (nfs > 0 && vgsIn < von.v) current = current * Exp((vgs - von) / (Dual(in.vt) * xn));
    return FromDual(current, von, vdsat, condition);
}

MosChannel Level3(const ChannelInputs& in, double vbsIn, double vgsIn, double vdsIn) {
    const double* m = in.model;
    const Dual vgs = Dual::Variable(vgsIn, 0);
    const Dual vds = Dual::Variable(vdsIn, 1);
    const Dual vbs = Dual::Variable(vbsIn, 2);
    const double phi = std::max(in.derived[kMosSurfacePotential], 1e-6);
    const double cox = m[kMpTox];
    const double xj = m[kMpXj];
    const double xd = m[kMpDepletionWidth];
    const double ld = m[kMpLd];
    const double leff = in.leff;
    const double theta = m[kMpUcrit];
    const double eta = m[kMpUexp] / (leff * leff * leff);
    const double kappa = m[kMpUtra];
    const double alpha = m[kMpLambda];
    const double vmax = m[kMpVmax];
    const double nfs = m[kMpNfs];

    const Dual sqphbs = BodyRoot(vbs, phi);
    const Dual phibs = sqphbs * sqphbs;
    Dual fshort = 1.0;
    if (xj > 0 && xd > 0) {
        const Dual wponxj = Dual(xd / xj) * sqphbs;
        const Dual wconxj = Dual(0.0631353) + Dual(0.8013292) * wponxj + Dual(-0.01110777) * wponxj * wponxj;
        const Dual arga = wconxj + Dual(ld / xj);
        const Dual argc = wponxj / (Dual(1.0) + wponxj);
        const Dual argb = Sqrt(Dual(1.0) - argc * argc);
        fshort = Dual(1.0) - Dual(xj / leff) * (arga * argb - Dual(ld / xj));
    }
    const Dual gammas = Dual(m[kMpGamma]) * fshort;
    const Dual fbodys = gammas / (Dual(4.0) * sqphbs);
    const double fnarrw = m[kMpDelta] / in.weff1;
    const Dual fbody = fbodys + Dual(fnarrw);
    const Dual qbonco = gammas * sqphbs + Dual(fnarrw) * phibs;
    const Dual vth = Dual(in.polarity * in.derived[kMosBuiltIn]) - Dual(eta) * vds + qbonco;

    Dual von = vth;
    Dual xn = 1.0;
    if (nfs > 0 && cox > 0) {
        xn = Dual(1.0 + kElectronCharge * nfs / cox) + qbonco / (Dual(2.0) * phibs);
        von = vth + Dual(in.vt) * xn;
    } else if (vgsIn <= von.v) {
        return FromDual(Dual(0.0), von, Dual(0.0), 3);
    }
    const Dual vgsx = Max(vgs, von);

    const Dual onfg = Dual(1.0) + Dual(theta) * (vgsx - vth);
    const Dual fgate = Dual(1.0) / onfg;
    Dual vdsat = (vgsx - vth) / (Dual(1.0) + fbody);
    Dual vdsc = 0.0;
    const double uo = m[kMpUo];
    if (vmax > 0 && uo > 0) {
        vdsc = Dual(leff * vmax / uo) * onfg;
        const Dual argb = Sqrt(vdsat * vdsat + vdsc * vdsc);
        vdsat = vdsat + vdsc - argb;
    }
    const bool saturated = vdsIn > vdsat.v;
    const Dual vdsx = Min(vds, vdsat);
    const Dual cdo = vgsx - vth - Dual(0.5) * (Dual(1.0) + fbody) * vdsx;
    Dual current = Dual(in.derived[kMosBeta]) * fgate * cdo * vdsx;
    Dual fdrain = 1.0;
    if (vmax > 0 && uo > 0) {
        fdrain = Dual(1.0) / (Dual(1.0) + vdsx / vdsc);
        current = current * fdrain;
    }
    if (saturated && alpha > 0) {
        Dual delxl;
        if (!(vmax > 0 && uo > 0)) {
            delxl = Sqrt(Dual(kappa * alpha) * (vds - vdsat));
        } else {
            const Dual idsat = current;
            Dual gdsat = idsat * (Dual(1.0) - fdrain) / vdsc;
            if (gdsat.v < 1e-12) gdsat = Dual(1e-12);
            const Dual emax = idsat / (Dual(leff) * gdsat);
            const Dual arga = Dual(0.5 * alpha) * emax;
            const Dual argb = Sqrt(arga * arga + Dual(kappa * alpha) * (vds - vdsat));
            delxl = argb - arga;
        }
        if (delxl.v > 0.5 * leff) delxl = Dual(leff) - Dual(leff * leff / 4.0) / delxl;
        current = current / (Dual(1.0) - delxl / Dual(leff));
    }
    int condition = saturated ? 1 : 6;
    if (nfs > 0 && vgsIn < von.v) {
        current = current * Exp((vgs - von) / (Dual(in.vt) * xn));
        condition = 7;
    }
    return FromDual(current, von, vdsat, condition);
}

}  // namespace

MosChannel EvaluateMosChannel(const MosfetRecord& record, double vbs, double vgs, double vds) {
    ChannelInputs in{record.model->Values,
                     record.derived.data(),
                     MosPolarity(record.model),
                     record.M > 0 ? record.weff / record.M : record.weff,
                     record.leff,
                     record.vt};
    switch (record.level) {
    case 2: return Level2(in, vbs, vgs, vds);
    case 3: return Level3(in, vbs, vgs, vds);
    default: return Level1(in, vbs, vgs, vds);
    }
}

MeyerHalves MeyerCapacitances(double vgs, double vgd, double von, double vdsat, double phi, double cox) {
    const double vgst = vgs - von;
    if (vgst <= -phi) return {0.0, 0.0, cox / 2.0};
    if (vgst <= -phi / 2.0) return {0.0, 0.0, -vgst * cox / (2.0 * phi)};
    if (vgst <= 0) return {vgst * cox / (1.5 * phi) + cox / 3.0, 0.0, -vgst * cox / (2.0 * phi)};
    const double vds = vgs - vgd;
    if (vdsat <= vds) return {cox / 3.0, 0.0, 0.0};
    const double d = 2.0 * vdsat - vds;
    const double ratio = (vdsat - vds) / d;
    const double sat = vdsat / d;
    return {cox * (1.0 - ratio * ratio) / 3.0, cox * (1.0 - sat * sat) / 3.0, 0.0};
}
