#include "devices/noise.h"

#include <cmath>

#include "compiler/compiled.h"
#include "core/result.h"
#include "devices/mosfets.h"
#include "engine/state.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

// The device temperature (degrees Celsius) each family's model set-up keeps
// behind its parameter values.
constexpr int kDnDiodeTdev = 31;
constexpr int kDnBipolarTdev = 55;
constexpr int kDnJfetTdev = 20;
constexpr int kDnGaasfetTdev = 36;
// Series-resistance slots: the diode's RS and the bipolar RB stay
// resistances; the FET slots hold conductances after the set-up.
constexpr int kDnDiodeRs = 11;
constexpr int kDnBipolarRb = 17;
constexpr int kDnJfetRd = 4, kDnJfetRs = 5;
constexpr int kDnGaasfetRd = 11, kDnGaasfetRs = 12;

bool dn_Usable(const ModelRecord* model) { return model != nullptr && model->Values != nullptr; }

double dn_Kelvin(const ModelRecord* model, int slot) { return model->Values[slot] + kNoiseKelvinOffset; }

template <class Record, class Visit>
void dn_Walk(SimulatorState& state, int list, Visit visit) {
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        Record& record = *static_cast<Record*>(item);
        if (dn_Usable(record.model)) visit(record);
    }
}

// KF |I|^AF / f: the flicker density of a junction or channel current.
double dn_Flicker(const ModelRecord* model, double current, double frequency) {
    const double kf = NoiseModelValue(model, "KF", 0.0);
    if (kf == 0.0) return 0.0;
    return kf * std::pow(std::fabs(current), NoiseModelValue(model, "AF", 1.0)) / frequency;
}

double dn_Shot(double current) { return kNoiseShotFactor * std::fabs(current); }

class dn_Diodes final : public NoiseKindSources {
public:
    int AddNoiseSources(NoiseSink& sink) override {
        dn_Walk<DiodeRecord>(sink.State(), kListDiodes, [&](DiodeRecord& d) {
            const double kelvin = dn_Kelvin(d.model, kDnDiodeTdev);
            const double rs = d.model->Values[kDnDiodeRs];
            sink.Thermal(kelvin, rs != 0.0 ? d.area / rs : 0.0, d.anode, d.internalAnode);
            sink.Add(std::sqrt(dn_Flicker(d.model, d.id, sink.Frequency()) + dn_Shot(d.id)), d.internalAnode,
                     d.cathode);
        });
        return kOk;
    }
};

class dn_Bipolars final : public NoiseKindSources {
public:
    int AddNoiseSources(NoiseSink& sink) override {
        dn_Walk<BipolarRecord>(sink.State(), kListBipolars, [&](BipolarRecord& q) {
            const double kelvin = dn_Kelvin(q.model, kDnBipolarTdev);
            // The model's RB, not the base resistance the current modulates.
            const double rbPerArea = q.area != 0.0 ? q.model->Values[kDnBipolarRb] / q.area : 0.0;
            sink.Thermal(kelvin, rbPerArea != 0.0 ? 1.0 / rbPerArea : 0.0, q.basePrime, q.base);
            sink.Thermal(kelvin, q.areaGc, q.collectorPrime, q.collector);
            sink.Thermal(kelvin, q.areaGe, q.emitterPrime, q.emitter);
            sink.Add(std::sqrt(dn_Shot(q.ic)), q.emitterPrime, q.collectorPrime);
            sink.Add(std::sqrt(dn_Flicker(q.model, q.ib, sink.Frequency()) + dn_Shot(q.ib)), q.emitterPrime,
                     q.basePrime);
        });
        return kOk;
    }
};

// JFETs and GaAsFETs: the two series resistances and the channel.
template <class Record, int kList, int kTdev, int kRd, int kRs>
class dn_Fets final : public NoiseKindSources {
public:
    int AddNoiseSources(NoiseSink& sink) override {
        dn_Walk<Record>(sink.State(), kList, [&](Record& j) {
            const double kelvin = dn_Kelvin(j.model, kTdev);
            sink.Thermal(kelvin, j.area * j.model->Values[kRd], j.drainPrime, j.drain);
            sink.Thermal(kelvin, j.area * j.model->Values[kRs], j.sourcePrime, j.source);
            const double thermal = 8.0 / 3.0 * kNoiseBoltzmann * kelvin * std::fabs(j.gm);
            sink.Add(std::sqrt(dn_Flicker(j.model, j.cd, sink.Frequency()) + thermal), j.drainPrime, j.sourcePrime);
        });
        return kOk;
    }
};

class dn_Mosfets final : public NoiseKindSources {
public:
    int AddNoiseSources(NoiseSink& sink) override {
        int result = kOk;
        dn_Walk<MosfetRecord>(sink.State(), kListMosfets, [&](MosfetRecord& m) {
            // The BSIM levels of the shared list have noise laws of their own.
            if (m.level < 1 || m.level > 3) {
                result = kResultNotBuilt;
                return;
            }
            const double kelvin = dn_Kelvin(m.model, kMpTdev);
            sink.Thermal(kelvin, m.drainConductance, m.drainPrime, m.drain);
            sink.Thermal(kelvin, m.gateConductance, m.gatePrime, m.gate);
            sink.Thermal(kelvin, m.sourceConductance, m.sourcePrime, m.source);
            sink.Thermal(kelvin, m.bulkConductance, m.bulkPrime, m.bulk);
            const MosfetChannelNoise channel =
                MosfetLevelChannelNoise(m, MosfetNoiseLevelOf(m.model), sink.Frequency());
            sink.Add(std::sqrt(channel.thermal + channel.flicker), m.drainPrime, m.sourcePrime);
        });
        return result;
    }
};

}  // namespace

int MosfetNoiseLevelOf(const ModelRecord* model) {
    const double nlev = NoiseModelValue(model, "NLEV", 2.0);
    if (!(nlev >= 0.0 && nlev < 4.0)) return 2;
    return static_cast<int>(nlev);
}

MosfetChannelNoise MosfetLevelChannelNoise(const MosfetRecord& m, int nlev, double frequency) {
    MosfetChannelNoise noise;
    const double* v = m.model->Values;
    const double kelvin = v[kMpTdev] + kNoiseKelvinOffset;
    const double kt83 = 8.0 / 3.0 * kNoiseBoltzmann * kelvin;
    noise.thermal = kt83 * std::fabs(m.gm);
    if (nlev == 3) {
        // The n-channel sense of the threshold and saturation voltages; in
        // reversed operation the drain acts as the source.
        const double polarity = MosPolarity(m.model);
        const double vgs = m.mode >= 0 ? m.vgs : m.vgs - m.vds;
        const double vth = polarity * m.von;
        const double vdsat = std::fabs(m.vdsat);
        const double vds = std::fabs(m.vds);
        const double alpha = vds > vdsat || vdsat == 0.0 ? 0.0 : 1.0 - vds / vdsat;
        const double beta = m.derived.size() > kMosBeta ? m.derived[kMosBeta] : 0.0;
        noise.thermal = kt83 * std::fabs((vgs - vth) * beta) * (1.0 + alpha + alpha * alpha) / (1.0 + alpha) *
                        NoiseModelValue(m.model, "GDSNOI", 1.0);
    }
    const double kf = NoiseModelValue(m.model, "KF", 0.0);
    const double af = NoiseModelValue(m.model, "AF", 1.0);
    const double cox = v[kMpTox];  // per area since the model pass
    const double length = nlev == 0 ? m.leff * m.leff : m.weff * m.leff;
    const double coef = cox > 0.0 && length > 0.0 ? kf / (cox * length) : 0.0;
    if (coef == 0.0) return noise;
    if (nlev >= 2) {
        noise.flicker = coef * m.gm * m.gm / (af != 1.0 ? std::pow(frequency, af) : frequency);
    } else {
        const double channelCurrent = m.cd + m.cbd;
        noise.flicker = coef * std::pow(std::fabs(channelCurrent), af) / frequency;
    }
    return noise;
}

NoiseKindSources& DiodeNoiseSources() {
    static dn_Diodes sources;
    return sources;
}
NoiseKindSources& BipolarNoiseSources() {
    static dn_Bipolars sources;
    return sources;
}
NoiseKindSources& JfetNoiseSources() {
    static dn_Fets<JfetRecord, kListJfets, kDnJfetTdev, kDnJfetRd, kDnJfetRs> sources;
    return sources;
}
NoiseKindSources& GaasfetNoiseSources() {
    static dn_Fets<GaasfetRecord, kListGaasfets, kDnGaasfetTdev, kDnGaasfetRd, kDnGaasfetRs> sources;
    return sources;
}
NoiseKindSources& MosfetNoiseSources() {
    static dn_Mosfets sources;
    return sources;
}
