#include "engine/acload.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/state.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"

namespace {

constexpr int kAcBadArgument = 101;
constexpr int kAcCouplingOutOfRange = 10836;  // "%EK value must be >= -1.0 and <= 1.0."
constexpr double kAcDegreesToRadians = 0.017453292519943295;

AcKindLoads* gAcRowLoads[kDeviceLoadRowCount + 1] = {};

// The kinds in the order of every complex load. The inductor row carries
// the couplings; the MOSFET row every level of the shared list.
constexpr int kAcOrder[] = {
    kRowCapacitors,
    kRowInductors,
    kRowResistors,
    kRowSwitches,
    kRowSSwitches,
    kRowWSwitches,
    kRowDiodes,
    kRowBipolars,
    kRowJfets,
    kRowGaasfets,
    kRowMosfets,
    kRowMosfets45,
    kRowMosfets8,
    kRowBsim4,
    kRowEkv,
    kRowLinearDependentSources,
    kRowIndependentSources,
    kRowPolySources,
    kRowOpamps,
    kRowIdealLines,
    kRowLossyLines,
    kRowLaplaceSources,
    kRowLaplaceTableSources,
    kRowFunctionSources,
    kRowTableSources,
};

// The device lists of an AC row, for telling whether a row without AC loads
// would leave devices out (-1 ends a row).
struct ac_RowLists {
    int row;
    int lists[4];
};
constexpr ac_RowLists kAcRowLists[] = {
    {kRowCapacitors, {kListCapacitors, -1}},
    {kRowInductors, {kListInductors, kListInductorCouplings, kListTransformerCouplings, -1}},
    {kRowResistors, {kListResistors, -1}},
    {kRowSwitches, {kListSwitches, -1}},
    {kRowSSwitches, {kListSSwitches, -1}},
    {kRowWSwitches, {kListWSwitches, -1}},
    {kRowDiodes, {kListDiodes, -1}},
    {kRowBipolars, {kListBipolars, -1}},
    {kRowJfets, {kListJfets, -1}},
    {kRowGaasfets, {kListGaasfets, -1}},
    {kRowMosfets, {kListMosfets, -1}},
    {kRowBsim4, {kListBsim4Mosfets, -1}},
    {kRowEkv, {kListEkvMosfets, -1}},
    {kRowLinearDependentSources, {kListDependentSources, -1}},
    {kRowIndependentSources, {kListSpiceSources, kListSineSources, kListPulseSources, kListUserSources}},
    {kRowPolySources, {kListPolySources, -1}},
    {kRowOpamps, {kListOpamps, -1}},
    {kRowIdealLines, {kListIdealLines, -1}},
    {kRowLossyLines, {kListLossyLines, -1}},
    {kRowLaplaceSources, {kListLaplaceSources, -1}},
    {kRowLaplaceTableSources, {kListLaplaceTableSources, -1}},
    {kRowFunctionSources, {kListFunctionSources, -1}},
    {kRowTableSources, {kListTableSources, -1}},
};

bool ac_RowHasDevices(const SimulatorState& state, int row) {
    if (!state.Circuit) return false;
    for (const ac_RowLists& entry : kAcRowLists) {
        if (entry.row != row) continue;
        for (int list : entry.lists) {
            if (list < 0) break;
            if (state.Circuit->devices.lists[list].pool.count > 0) return true;
        }
    }
    return false;
}

ComplexNumber ac_Product(ComplexNumber a, ComplexNumber b) {
    return ComplexNumber{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

}  // namespace

// ---- stamps ---------------------------------------------------------------------------------------

AcStamps::AcStamps(SimulatorState& state, std::vector<double>& rhs, const std::vector<double>& solution)
    : state_(state), rhs_(rhs), solution_(solution) {}

void AcStamps::BeginLoad() {
    error_ = 0;
    stamps_ = 0;
    iterationRequested = false;
    noiseInputRows.clear();
    static const EntryList kNoEntries;
    const EntryList* list = state_.Entries();
    ResetLoad(list ? *list : kNoEntries, state_.Cursor, rhs_.data(), rhs_.size(), reservePass);
    // The trash can collects every stamp on ground: clear it too.
    if (SparseMatrix* matrix = state_.Matrix()) matrix->TrashCan.Real = matrix->TrashCan.Imag = 0.0;
}

bool AcStamps::IsNoiseInput(int32_t node1, int32_t node2) const {
    if (!noiseActive || !noiseInputRows.empty() || (noiseInputNode1 == 0 && noiseInputNode2 == 0)) return false;
    return (node1 == noiseInputNode1 && node2 == noiseInputNode2) ||
           (node1 == noiseInputNode2 && node2 == noiseInputNode1);
}

MatrixElement* AcStamps::Element(int32_t row, int32_t col) {
    ++stamps_;
    if (!reservePass) {
        EntryList* list = state_.Entries();
        // A load that stamps beyond its reserve pass would write past the
        // list: it is refused and reported instead.
        if (!list || stamps_ > list->Size() || !state_.Cursor.Active()) {
            Fail(kAcBadArgument);
            return nullptr;
        }
        return state_.Cursor.Next();
    }
    EntryList* list = state_.Entries();
    if (!list || !list->matrix) {
        Fail(kAcBadArgument);
        return nullptr;
    }
    if (noiseActive) std::swap(row, col);
    if (int rc = ReserveEntry(*list, row, col)) {
        Fail(rc);
        return nullptr;
    }
    return list->items.back();
}

void AcStamps::Real(int32_t row, int32_t col, double value) {
    if (MatrixElement* e = Element(row, col)) e->Real += value;
}

void AcStamps::Imag(int32_t row, int32_t col, double value) {
    if (MatrixElement* e = Element(row, col)) e->Imag += value;
}

void AcStamps::Conductance(int32_t a, int32_t b, double g) {
    Real(a, a, g);
    Real(b, b, g);
    Real(a, b, -g);
    Real(b, a, -g);
}

void AcStamps::Susceptance(int32_t a, int32_t b, double x) {
    Imag(a, a, x);
    Imag(b, b, x);
    Imag(a, b, -x);
    Imag(b, a, -x);
}

void AcStamps::Transconductance(int32_t a, int32_t b, int32_t c, int32_t d, double g) {
    Real(a, c, g);
    Real(a, d, -g);
    Real(b, c, -g);
    Real(b, d, g);
}

void AcStamps::Transadmittance(int32_t a, int32_t b, int32_t c, int32_t d, ComplexNumber y) {
    Transconductance(a, b, c, d, y.re);
    Imag(a, c, y.im);
    Imag(a, d, -y.im);
    Imag(b, c, -y.im);
    Imag(b, d, y.im);
}

void AcStamps::Branch(int32_t k, int32_t p, int32_t n) {
    Real(k, p, 1.0);
    Real(k, n, -1.0);
    Real(p, k, 1.0);
    Real(n, k, -1.0);
}

void AcStamps::VoltageSource(int32_t k, int32_t p, int32_t n, ComplexNumber v) {
    AddRhs(k, v);
    Branch(k, p, n);
}

void AcStamps::ControlledSource(int kind, bool sensing, bool output, int32_t s, int32_t o, int32_t cPlus,
                                int32_t cMinus, int32_t oPlus, int32_t oMinus, ComplexNumber g) {
    switch (kind) {
    case kVoltageControlledCurrent: Transadmittance(oPlus, oMinus, cPlus, cMinus, g); break;
    case kCurrentControlledCurrent:
        if (sensing) Branch(s, cPlus, cMinus);
        Real(oPlus, s, g.re);
        Imag(oPlus, s, g.im);
        Real(oMinus, s, -g.re);
        Imag(oMinus, s, -g.im);
        break;
    case kVoltageControlledVoltage: {
        const int32_t r = sensing ? s : o;
        Real(r, cPlus, -g.re);
        Imag(r, cPlus, -g.im);
        Real(r, cMinus, g.re);
        Imag(r, cMinus, g.im);
        if (output) Branch(r, oPlus, oMinus);
        break;
    }
    case kCurrentControlledVoltage:
        if (sensing) Branch(s, cPlus, cMinus);
        if (output) Branch(o, oPlus, oMinus);
        Real(o, s, -g.re);
        Imag(o, s, -g.im);
        break;
    default: break;
    }
}

void AcStamps::AddRhs(int32_t k, ComplexNumber v) {
    if (k <= 0 || 2 * static_cast<size_t>(k) + 1 >= rhs_.size()) return;
    rhs_[2 * static_cast<size_t>(k)] += v.re;
    rhs_[2 * static_cast<size_t>(k) + 1] += v.im;
}

ComplexNumber AcStamps::V(int32_t k) const {
    if (k <= 0 || 2 * static_cast<size_t>(k) + 1 >= solution_.size()) return ComplexNumber{0.0, 0.0};
    return ComplexNumber{solution_[2 * static_cast<size_t>(k)], solution_[2 * static_cast<size_t>(k) + 1]};
}

ComplexNumber AcStamps::Diff(int32_t a, int32_t b) const {
    ComplexNumber v = V(a);
    v.Subtract(V(b));
    return v;
}

// ---- result operations ----------------------------------------------------------------------------

void AcStamps::AddPower(DeviceRecord& device, int term, ComplexNumber s, bool store) {
    if (term < 0 || term > 2) return;
    if (store) {
        device.acPower[term] = s;
    } else {
        device.acPower[term].Add(s);
    }
    PowerTotals& totals = state_.Power;
    switch (term) {
    case kPowerDissipated:
        totals.PowerDissipated += s.re;
        totals.PowerDissipatedAlt += s.im;
        break;
    case kPowerStored:
        totals.PowerStored += s.re;
        totals.PowerStoredAlt += s.im;
        break;
    default:
        totals.PowerGenerated += s.re;
        totals.PowerGeneratedAlt += s.im;
        break;
    }
}

ComplexNumber AcStamps::AdmittanceResult(DeviceRecord& device, int32_t a, int32_t b, double G, double B, int term) {
    const ComplexNumber v = Diff(a, b);
    const ComplexNumber i = ac_Product(v, ComplexNumber{G, B});
    AddPower(device, term, ac_Product(v, i), true);
    return i;
}

ComplexNumber AcStamps::ConductanceResult(DeviceRecord& device, int32_t a, int32_t b, double g) {
    const ComplexNumber v = Diff(a, b);
    const ComplexNumber i{v.re * g, v.im * g};
    AddPower(device, kPowerDissipated, ac_Product(v, i));
    return i;
}

ComplexNumber AcStamps::SusceptanceResult(DeviceRecord& device, int32_t a, int32_t b, double x) {
    const ComplexNumber v = Diff(a, b);
    const ComplexNumber i{-v.im * x, v.re * x};
    AddPower(device, kPowerStored, ac_Product(v, i));
    return i;
}

ComplexNumber AcStamps::TransconductanceResult(DeviceRecord& device, int32_t a, int32_t b, int32_t c, int32_t d,
                                               ComplexNumber gm) {
    const ComplexNumber i = ac_Product(gm, Diff(a, b));
    ComplexNumber s = ac_Product(Diff(c, d), i);
    s.Scale(-1.0);
    AddPower(device, kPowerGenerated, s);
    return i;
}

// ---- the engine's own elements ----------------------------------------------------------------------

namespace {

template <class Record, class Visit>
int ac_Walk(SimulatorState& state, int list, Visit visit) {
    if (!state.Circuit) return 0;
    int32_t position = 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<Record*>(item), position++)) return rc;
    }
    return 0;
}

bool ac_HasTokens(const DeviceExpression& expression) { return expression.compiled.tokens.count > 0; }

bool ac_ModelHasValues(const ModelRecord* model) { return model != nullptr && model->Values != nullptr; }

// An element whose value has an AC expression takes the expression's value
// at the present AC solution (and makes the point iterate); otherwise the
// value its last DC load used.
int ac_ElementValue(AcStamps& ac, DeviceExpression& expression, double& working, double effective, double& value,
                    bool resistor) {
    value = effective;
    if (!ac_HasTokens(expression)) return kOk;
    ac.iterationRequested = true;
    ComplexNumber result{0.0, 0.0};
    if (int rc = EvaluateExpression(&expression.compiled, &result)) return rc;
    value = resistor ? ClampToRmin(result.re, ac.State().Options.rmin) : ClampTiny(result.re);
    working = value;
    return kOk;
}

class ac_Capacitors final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        return ac_Walk<CapacitorRecord>(state, kListCapacitors, [&](CapacitorRecord& c, int32_t position) {
            double capacitance = 0.0;
            double& effective = Effective(state, position, c);
            if (int rc = ac_ElementValue(ac, c.frequency, c.working, effective, capacitance, false)) return rc;
            effective = capacitance;
            ac.Susceptance(c.node1, c.node2, ac.Omega() * capacitance);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        return ac_Walk<CapacitorRecord>(state, kListCapacitors, [&](CapacitorRecord& c, int32_t position) {
            const double y = ac.Omega() * Effective(state, position, c);
            ResetPower(c);
            c.acCurrent = ac.AdmittanceResult(c, c.node1, c.node2, 0.0, y, kPowerStored);
            return 0;
        });
    }
    static void ResetPower(DeviceRecord& d) { d.acPower[0] = d.acPower[1] = d.acPower[2] = ComplexNumber{0.0, 0.0}; }

private:
    static double& Effective(SimulatorState& state, int32_t position, CapacitorRecord& c) {
        std::vector<double>& values = state.ElementMemory.capacitorEffective;
        if (static_cast<size_t>(position) < values.size()) return values[static_cast<size_t>(position)];
        return c.working;
    }
};

double ac_Inductance(const InductorRecord& l) {
    const double model = ac_ModelHasValues(l.model) ? l.model->Values[0] : 1.0;
    return l.temperatureFactor * l.working * model;
}

int ac_Coefficient(DeviceExpression* expression, double value, double& k) {
    k = value;
    if (expression && ac_HasTokens(*expression)) {
        ComplexNumber result{0.0, 0.0};
        if (int rc = EvaluateExpression(&expression->compiled, &result)) return rc;
        k = result.re;
    }
    if (!(k >= -1.0 && k <= 1.0)) return kAcCouplingOutOfRange;
    return kOk;
}

class ac_Inductors final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        const double omega = ac.Omega();
        if (int rc = ac_Walk<InductorRecord>(state, kListInductors, [&](InductorRecord& l, int32_t) {
                if (ac_HasTokens(l.frequency)) {
                    double value = 0.0;
                    if (int r = ac_ElementValue(ac, l.frequency, l.working, l.working, value, false)) return r;
                }
                const int32_t k = l.branch;
                ac.Real(l.node1, k, 1.0);
                ac.Real(k, l.node1, 1.0);
                ac.Real(k, l.node2, -1.0);
                ac.Real(l.node2, k, -1.0);
                ac.Imag(k, k, -omega * ac_Inductance(l));
                return 0;
            }))
            return rc;
        // The couplings: each transformer's windings, then every pair of a K
        // statement's inductors, as the DC load orders them.
        auto pair = [&](const InductorRecord* a, const InductorRecord* b, double k) {
            const double mutual = a && b ? k * std::sqrt(std::fabs(ac_Inductance(*a) * ac_Inductance(*b))) : 0.0;
            const int32_t ka = a ? a->branch : 0, kb = b ? b->branch : 0;
            ac.Imag(ka, kb, -omega * mutual);
            ac.Imag(kb, ka, -omega * mutual);
        };
        if (int rc = ac_Walk<TransformerCouplingRecord>(
                state, kListTransformerCouplings, [&](TransformerCouplingRecord& t, int32_t) {
                    double k = 0.0;
                    DeviceExpression* expression = t.expressionCount > 0 && t.expressions ? &t.expressions[0] : nullptr;
                    if (int r = ac_Coefficient(expression, t.coupling, k)) return r;
                    pair(t.primary, t.secondary, k);
                    return 0;
                }))
            return rc;
        return ac_Walk<InductorCouplingRecord>(state, kListInductorCouplings, [&](InductorCouplingRecord& c, int32_t) {
            if (c.inductors.size() < 2) return int{kResultNotBuilt};
            double k = 0.0;
            if (int r = ac_Coefficient(&c.coupling, 0.0, k)) return r;
            for (size_t i = 0; i < c.inductors.size(); ++i)
                for (size_t j = i + 1; j < c.inductors.size(); ++j) pair(c.inductors[i], c.inductors[j], k);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return ac_Walk<InductorRecord>(ac.State(), kListInductors, [&](InductorRecord& l, int32_t) {
            ac_Capacitors::ResetPower(l);
            const ComplexNumber i = ac.V(l.branch);
            ComplexNumber s = ac.Diff(l.node1, l.node2);
            const ComplexNumber v = s;
            s = ComplexNumber{v.re * i.re - v.im * i.im, v.re * i.im + v.im * i.re};
            ac.AddPower(l, kPowerStored, s, true);
            return 0;
        });
    }
};

class ac_Resistors final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        return ac_Walk<ResistorRecord>(state, kListResistors, [&](ResistorRecord& r, int32_t position) {
            double& effective = Effective(state, position, r);
            double resistance = 0.0;
            if (int rc = ac_ElementValue(ac, r.frequency, r.working, effective, resistance, true)) return rc;
            effective = ClampToRmin(resistance, state.Options.rmin);
            ac.Conductance(r.node1, r.node2, 1.0 / effective);
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        return ac_Walk<ResistorRecord>(state, kListResistors, [&](ResistorRecord& r, int32_t position) {
            ac_Capacitors::ResetPower(r);
            const double g = 1.0 / ClampToRmin(Effective(state, position, r), state.Options.rmin);
            ac.AdmittanceResult(r, r.node1, r.node2, g, 0.0, kPowerDissipated);
            return 0;
        });
    }

private:
    static double& Effective(SimulatorState& state, int32_t position, ResistorRecord& r) {
        std::vector<double>& values = state.ElementMemory.resistorEffective;
        if (static_cast<size_t>(position) < values.size()) return values[static_cast<size_t>(position)];
        return r.working;
    }
};

// The three switch kinds keep the resistance their last DC load chose: the
// control state does not change during an AC run.
template <class Record, int kList>
class ac_SwitchRow final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return ac_Walk<Record>(ac.State(), kList, [&](Record& r, int32_t) {
            const Pins p = PinsOf(r);
            ac.Conductance(p.a, p.b, Conductance(ac.State(), r));
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return ac_Walk<Record>(ac.State(), kList, [&](Record& r, int32_t) {
            const Pins p = PinsOf(r);
            ac_Capacitors::ResetPower(r);
            ac.AdmittanceResult(r, p.a, p.b, Conductance(ac.State(), r), 0.0, kPowerDissipated);
            return 0;
        });
    }

private:
    struct Pins {
        int32_t a, b;
    };
    static Pins PinsOf(const SwitchRecord& r) { return {r.nodes[0], r.nodes[1]}; }
    static Pins PinsOf(const VoltageSwitchRecord& r) { return {r.nodes[0], r.nodes[1]}; }
    static Pins PinsOf(const CurrentSwitchRecord& r) { return {r.node1, r.node2}; }
    static double Resistance(const SwitchRecord& r) { return r.resistance; }
    static double Resistance(const VoltageSwitchRecord& r) { return r.sw.resistance; }
    static double Resistance(const CurrentSwitchRecord& r) { return r.sw.resistance; }
    static double Conductance(const SimulatorState& state, const Record& r) {
        return 1.0 / std::fmax(Resistance(r), state.Options.rmin);
    }
};

// The AC value of a SPICE-format source: magnitude at its phase in degrees.
ComplexNumber ac_SourceValue(const SourceRecord& s) {
    const double magnitude = s.values[kSourceFieldAcMagnitude];
    const double phase = s.values[kSourceFieldAcPhase] * kAcDegreesToRadians;
    return ComplexNumber{magnitude * std::cos(phase), magnitude * std::sin(phase)};
}

class ac_IndependentSources final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        // User sources read their waveform file, which nothing reads yet.
        if (state.Circuit && state.Circuit->devices.lists[kListUserSources].pool.count > 0) return kResultNotBuilt;
        const ComplexNumber unit{1.0, 0.0};
        // Only the Noise Input source makes the gain of INOISE: other sources
        // with AC values must not raise it. Its rows are kept with a unit
        // value, so that a source without an AC magnitude still has a gain.
        ac_Walk<SineSourceRecord>(state, kListSineSources, [&](SineSourceRecord& s, int32_t) {
            if (ac.IsNoiseInput(s.node1, s.node2)) ac.noiseInputRows.push_back({s.branch, unit});
            ac.VoltageSource(s.branch, s.internalNode, s.node2, unit);
            return 0;
        });
        ac_Walk<PulseSourceRecord>(state, kListPulseSources, [&](PulseSourceRecord& s, int32_t) {
            if (ac.IsNoiseInput(s.node1, s.node2)) ac.noiseInputRows.push_back({s.branch, unit});
            ac.VoltageSource(s.branch, s.node1, s.node2, unit);
            return 0;
        });
        return ac_Walk<SourceRecord>(state, kListSpiceSources, [&](SourceRecord& s, int32_t) {
            const ComplexNumber v = ac_SourceValue(s);
            const bool input = ac.IsNoiseInput(s.node1, s.node2);
            if (input) ac.noiseInputScale = std::hypot(v.re, v.im);
            if (s.sourceKind == kSourceVoltage) {
                if (input) ac.noiseInputRows.push_back({s.branch, unit});
                ac.VoltageSource(s.branch, s.node1, s.node2, v);
            } else {
                if (input) {
                    ac.noiseInputRows.push_back({s.node1, ComplexNumber{-1.0, 0.0}});
                    ac.noiseInputRows.push_back({s.node2, unit});
                }
                ac.AddRhs(s.node1, ComplexNumber{-v.re, -v.im});
                ac.AddRhs(s.node2, v);
            }
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        // A branch source drives -I(k) out of its plus terminal.
        auto branchResult = [&](DeviceRecord& d, int32_t k, int32_t p, int32_t n) {
            ac_Capacitors::ResetPower(d);
            ComplexNumber i = ac.V(k);
            i.Scale(-1.0);
            const ComplexNumber v = ac.Diff(p, n);
            ac.AddPower(d, kPowerGenerated, ComplexNumber{v.re * i.re - v.im * i.im, v.re * i.im + v.im * i.re}, true);
            return i;
        };
        ac_Walk<SineSourceRecord>(state, kListSineSources, [&](SineSourceRecord& s, int32_t) {
            branchResult(s, s.branch, s.internalNode, s.node2);
            return 0;
        });
        ac_Walk<PulseSourceRecord>(state, kListPulseSources, [&](PulseSourceRecord& s, int32_t) {
            branchResult(s, s.branch, s.node1, s.node2);
            return 0;
        });
        return ac_Walk<SourceRecord>(state, kListSpiceSources, [&](SourceRecord& s, int32_t) {
            if (s.sourceKind == kSourceVoltage) {
                s.acCurrent = branchResult(s, s.branch, s.node1, s.node2);
                return 0;
            }
            ac_Capacitors::ResetPower(s);
            const ComplexNumber v = ac_SourceValue(s);
            const ComplexNumber u = ac.Diff(s.node1, s.node2);
            s.acCurrent = v;
            ac.AddPower(s, kPowerGenerated, ComplexNumber{-(u.re * v.re - u.im * v.im), -(u.re * v.im + u.im * v.re)},
                        true);
            return 0;
        });
    }
};

AcKindLoads* ac_BuiltIn(int row) {
    static ac_Capacitors capacitors;
    static ac_Inductors inductors;
    static ac_Resistors resistors;
    static ac_SwitchRow<SwitchRecord, kListSwitches> switches;
    static ac_SwitchRow<VoltageSwitchRecord, kListSSwitches> voltageSwitches;
    static ac_SwitchRow<CurrentSwitchRecord, kListWSwitches> currentSwitches;
    static ac_IndependentSources sources;
    switch (row) {
    case kRowCapacitors: return &capacitors;
    case kRowInductors: return &inductors;
    case kRowResistors: return &resistors;
    case kRowSwitches: return &switches;
    case kRowSSwitches: return &voltageSwitches;
    case kRowWSwitches: return &currentSwitches;
    case kRowIndependentSources: return &sources;
    default: return nullptr;
    }
}

// The installed AC loads of a row; the rows of the engine's own elements
// always load them.
AcKindLoads* ac_Loads(int row) {
    if (AcKindLoads* builtIn = ac_BuiltIn(row)) return builtIn;
    return gAcRowLoads[row];
}

}  // namespace

// ---- the load of the whole circuit ------------------------------------------------------------------

void InstallAcKindLoads(int row, AcKindLoads* loads) {
    if (row >= 1 && row <= kDeviceLoadRowCount) gAcRowLoads[row] = loads;
}

int LoadAcDevices(AcStamps& ac, int32_t noiseOutput1, int32_t noiseOutput2, std::vector<double>* excitation) {
    SimulatorState& state = ac.State();
    if (!state.Matrix() || !state.Entries()) return kResultNotBuilt;
    ac.BeginLoad();
    for (int row : kAcOrder) {
        AcKindLoads* loads = ac_Loads(row);
        if (!loads) {
            if (ac_RowHasDevices(state, row)) return kResultNotBuilt;
            continue;
        }
        if (int rc = loads->LoadAc(ac)) return rc;
        if (ac.Error()) return ac.Error();
    }
    // Every load after the reserve pass must have walked the whole list.
    if (!ac.reservePass && ac.StampCount() != state.Entries()->Size()) return kAcBadArgument;
    // Noise mode: the transposed system is excited at the output pair; the
    // ordinary excitation is kept for the input-referred gain.
    if (ac.noiseActive) {
        std::vector<double>& rhs = ac.Rhs();
        if (excitation) *excitation = rhs;
        std::fill(rhs.begin(), rhs.end(), 0.0);
        ac.AddRhs(noiseOutput1, ComplexNumber{-1.0, 0.0});
        ac.AddRhs(noiseOutput2, ComplexNumber{1.0, 0.0});
    }
    return kOk;
}

int ComputeAcDeviceResults(AcStamps& ac) {
    if (ac.noiseActive) return kOk;
    ClearPowerTotals(ac.State().Power);
    for (int row : kAcOrder) {
        AcKindLoads* loads = ac_Loads(row);
        if (!loads) continue;
        if (int rc = loads->AcResults(ac)) return rc;
    }
    return kOk;
}
