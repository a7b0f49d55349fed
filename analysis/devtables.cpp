#include "analysis/devtables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string>

#include "analysis/start.h"
#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "core/memory.h"
#include "document/cfanalysis.h"
#include "models/modeltypes.h"

namespace {

double dt_Reciprocal(double value) { return value != 0 ? 1.0 / value : 0.0; }

std::string dt_Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The device's name: its part's qualified name, upper case.
std::string dt_Name(CompiledCircuit& circuit, const DeviceRecord* record) {
    std::string name;
    if (const PartLink* link = circuit.FindLink(record->part)) name = link->qualifiedName;
    if (name.empty() && record->part) {
        char* qualified = GetQualifiedPartName(record->part);
        name = qualified ? qualified : "";
        FreeString(&qualified);
    }
    return dt_Upper(name);
}

template <class T>
const ModelRecord* dt_Model(const T& record) {
    if constexpr (requires { record.model; })
        return record.model;
    else
        return nullptr;
}

std::string dt_ModelName(const ModelRecord* model) { return model && model->QualifiedName ? model->QualifiedName : ""; }

// One device kind's section under construction: its records (those `accept`
// lets through) and the rows added in order.
template <class T>
class dt_Kind {
public:
    dt_Kind(CompiledCircuit& circuit, const std::vector<double>& solution, int list, const char* title, int labelWidth)
        : solution_(solution) {
        section_.title = title;
        section_.labelWidth = labelWidth;
        for (PoolItem* item = circuit.devices[list].pool.first; item; item = item->next) {
            T* record = static_cast<T*>(item);
            records_.push_back(record);
            const ModelRecord* model = dt_Model(*record);
            section_.names.push_back(dt_Name(circuit, record));
            section_.models.push_back(dt_ModelName(model));
            section_.hasModel.push_back(model != nullptr);
        }
        section_.usingModelRow = requires(T r) { r.model; };
    }
    bool Empty() const { return records_.empty(); }

    // The solution-vector entry of an equation number; 0 outside the vector.
    double X(int index) const {
        return index > 0 && static_cast<size_t>(index) < solution_.size() ? solution_[static_cast<size_t>(index)] : 0.0;
    }

    template <class F>
    void Row(const char* label, F value) {
        DeviceTableRow row;
        row.label = label;
        for (T* r : records_) row.values.push_back(value(*r));
        section_.rows.push_back(std::move(row));
    }
    // A voltage difference of two nodes of each device.
    template <class F>
    void Difference(const char* label, F nodes) {
        Row(label, [&](const T& r) {
            const auto [a, b] = nodes(r);
            return X(a) - X(b);
        });
    }
    void Heading(const char* text) {
        DeviceTableRow row;
        row.kind = DeviceTableRow::kHeading;
        row.label = text;
        section_.rows.push_back(std::move(row));
    }
    // Power terms after quantity rows get one more line break before them.
    void PowerTerms(bool afterQuantities) { Heading(afterQuantities ? "\n\nPower Terms:" : "\nPower Terms:"); }
    void PinCurrents() { Heading("\n\nPin Currents:"); }
    template <class F>
    void Condition(F code, bool leadingBreak = true) {
        DeviceTableRow row;
        row.kind = DeviceTableRow::kCondition;
        row.leadingBreak = leadingBreak;
        for (T* r : records_) row.conditions.push_back(code(*r));
        section_.rows.push_back(std::move(row));
    }
    void DeviceVariables() { Heading("\n\nDevice Variables:"); }

    void MoveInto(std::vector<DeviceTableSection>& sections) {
        if (!Empty()) sections.push_back(std::move(section_));
    }

private:
    const std::vector<double>& solution_;
    std::vector<T*> records_;
    DeviceTableSection section_;
};

double Dissipated(const DeviceRecord& r) { return r.power[kPowerDissipated].re; }
double Stored(const DeviceRecord& r) { return r.power[kPowerStored].re; }
double Generated(const DeviceRecord& r) { return r.power[kPowerGenerated].re; }

void dt_Diodes(CompiledCircuit& c, const std::vector<double>& x, std::vector<DeviceTableSection>& out) {
    dt_Kind<DiodeRecord> k(c, x, kListDiodes, "Diodes", 12);
    k.Row("ID", [](const DiodeRecord& d) { return d.id; });
    k.Difference("VD", [](const DiodeRecord& d) { return std::pair{d.anode, d.cathode}; });
    k.Row("REQ", [](const DiodeRecord& d) { return dt_Reciprocal(d.gd); });
    k.Row("CAP", [](const DiodeRecord& d) { return d.cd; });
    k.PowerTerms(true);
    k.Row("PD", Dissipated);
    k.Row("PS", Stored);
    k.PinCurrents();
    k.Row("Id", [](const DiodeRecord& d) { return d.pinCurrent; });
    k.Condition([](const DiodeRecord& d) { return d.condition; });
    k.MoveInto(out);
}

void dt_Bipolars(CompiledCircuit& c, const std::vector<double>& x, std::vector<DeviceTableSection>& out) {
    dt_Kind<BipolarRecord> k(c, x, kListBipolars, "Bipolar Junction Transistors", 12);
    k.Row("IB", [](const BipolarRecord& q) { return q.ib; });
    k.Row("IC", [](const BipolarRecord& q) { return q.ic; });
    k.Difference("VBE", [](const BipolarRecord& q) { return std::pair{q.base, q.emitter}; });
    k.Difference("VBC", [](const BipolarRecord& q) { return std::pair{q.base, q.collector}; });
    k.Difference("VCE", [](const BipolarRecord& q) { return std::pair{q.collector, q.emitter}; });
    k.Row("BETADC", [](const BipolarRecord& q) { return q.ib != 0 ? q.ic / q.ib : 0.0; });
    k.Row("GM", [](const BipolarRecord& q) { return q.gm; });
    k.Row("RPI", [](const BipolarRecord& q) { return dt_Reciprocal(q.gpi); });
    k.Row("RX", [](const BipolarRecord& q) { return dt_Reciprocal(q.gx); });
    k.Row("RO", [](const BipolarRecord& q) { return dt_Reciprocal(q.go); });
    k.Row("CPI", [](const BipolarRecord& q) { return q.capbe; });
    k.Row("CMU", [](const BipolarRecord& q) { return q.capbc; });
    k.Row("CBX", [](const BipolarRecord& q) { return q.capbx; });
    k.Row("CJS", [](const BipolarRecord& q) { return q.capcs; });
    k.Row("BETAAC", [](const BipolarRecord& q) { return q.gpi != 0 ? q.gm / q.gpi : 0.0; });
    k.Row("FT", [](const BipolarRecord& q) {
        return q.gm / (2 * std::numbers::pi * std::max(q.capbe + q.capbc + q.capbx, 1e-20));
    });
    k.PowerTerms(true);
    k.Row("PD", Dissipated);
    k.Row("PS", Stored);
    k.PinCurrents();
    k.Row("Ib", [](const BipolarRecord& q) { return q.pinBase; });
    k.Row("Ic", [](const BipolarRecord& q) { return q.pinCollector; });
    k.Row("Ie", [](const BipolarRecord& q) { return q.pinEmitter; });
    k.Row("Is", [](const BipolarRecord& q) { return q.pinSubstrate; });
    k.Condition([](const BipolarRecord& q) { return q.condition; });
    k.MoveInto(out);
}

// JFETs and GaAsFETs keep the same quantities; GaAsFETs add CDS.
template <class T>
void dt_Fets(dt_Kind<T>& k, bool drainSource) {
    k.Row("ID", [](const T& f) { return f.cd; });
    k.Difference("VGS", [](const T& f) { return std::pair{f.gate, f.source}; });
    k.Difference("VDS", [](const T& f) { return std::pair{f.drain, f.source}; });
    k.Row("GM", [](const T& f) { return f.gm; });
    k.Row("GDS", [](const T& f) { return f.gds; });
    k.Row("CGS", [](const T& f) { return f.capgs; });
    k.Row("CGD", [](const T& f) { return f.capgd; });
    if constexpr (requires(T f) { f.capds; })
        if (drainSource) k.Row("CDS", [](const T& f) { return f.capds; });
    k.PowerTerms(true);
    k.Row("PD", Dissipated);
    k.Row("PS", Stored);
    k.PinCurrents();
    k.Row("Ig", [](const T& f) { return f.pinGate; });
    k.Row("Id", [](const T& f) { return f.pinDrain; });
    k.Row("Is", [](const T& f) { return f.pinSource; });
    k.Condition([](const T& f) { return f.condition; });
}

void dt_Mosfets(CompiledCircuit& c, const std::vector<double>& x, std::vector<DeviceTableSection>& out) {
    dt_Kind<MosfetRecord> k(c, x, kListMosfets, "MOSFET Devices", 12);
    using M = MosfetRecord;
    k.Row("ID", [](const M& m) { return m.cd; });
    k.Difference("VGS", [](const M& m) { return std::pair{m.gate, m.source}; });
    k.Difference("VDS", [](const M& m) { return std::pair{m.drain, m.source}; });
    k.Difference("VBS", [](const M& m) { return std::pair{m.bulk, m.source}; });
    k.Row("VTH", [](const M& m) { return m.von; });
    k.Row("VDSAT", [](const M& m) { return m.vdsat; });
    k.Row("GM", [](const M& m) { return m.gm; });
    k.Row("GDS", [](const M& m) { return m.gds; });
    k.Row("GMB", [](const M& m) { return m.gmbs; });
    k.Row("CBD", [](const M& m) { return m.capbd; });
    k.Row("CBS", [](const M& m) { return m.capbs; });
    k.Row("CGSOVL", [](const M& m) { return m.overlapCapGs; });
    k.Row("CGDOVL", [](const M& m) { return m.overlapCapGd; });
    k.Row("CGBOVL", [](const M& m) { return m.overlapCapGb; });
    k.Row("CGS", [](const M& m) { return m.capgs - m.overlapCapGs; });
    k.Row("CGD", [](const M& m) { return m.capgd - m.overlapCapGd; });
    k.Row("CGB", [](const M& m) { return m.capgb - m.overlapCapGb; });
    k.PowerTerms(true);
    k.Row("PD", [](const M& m) { return m.powerDissipated; });
    k.Row("PS", [](const M& m) { return m.powerStored; });
    k.PinCurrents();
    k.Row("Ig", [](const M& m) { return m.ig; });
    k.Row("Id", [](const M& m) { return m.id; });
    k.Row("Is", [](const M& m) { return m.is; });
    k.Row("Ib", [](const M& m) { return m.ib; });
    k.Condition([](const M& m) { return m.condition; });
    // The instance fields a stepping record can reach.
    k.DeviceVariables();
    k.Row("m", [](const M& m) { return m.M; });
    k.Row("l", [](const M& m) { return m.L.value; });
    k.Row("w", [](const M& m) { return m.W.value; });
    k.Row("ad", [](const M& m) { return m.AD; });
    k.Row("as", [](const M& m) { return m.AS; });
    k.Row("pd", [](const M& m) { return m.PD; });
    k.Row("ps", [](const M& m) { return m.PS; });
    k.Row("nrd", [](const M& m) { return m.NRD; });
    k.Row("nrs", [](const M& m) { return m.NRS; });
    k.Row("nrb", [](const M& m) { return m.NRB; });
    k.Row("nrg", [](const M& m) { return m.NRG; });
    k.MoveInto(out);
}

void dt_Passives(CompiledCircuit& c, const std::vector<double>& x, std::vector<DeviceTableSection>& resistors,
                 std::vector<DeviceTableSection>& lines, std::vector<DeviceTableSection>& reactive) {
    dt_Kind<ResistorRecord> r(c, x, kListResistors, "Resistor Devices", 13);
    r.PowerTerms(false);
    r.Row("PD", Dissipated);
    r.PinCurrents();
    r.Row("Ir", [&r](const ResistorRecord& d) {
        const double resistance = d.working * d.temperatureFactor;
        return resistance != 0 ? (r.X(d.node1) - r.X(d.node2)) / resistance : 0.0;
    });
    r.MoveInto(resistors);

    dt_Kind<IdealLineRecord> t(c, x, kListIdealLines, "TransmissionLine Devices", 13);
    t.PowerTerms(false);
    t.Row("PS", [](const IdealLineRecord& l) { return l.powerStored; });
    t.PinCurrents();
    t.Row("Input", [&t](const IdealLineRecord& l) { return t.X(l.branchA); });
    t.Row("Output", [&t](const IdealLineRecord& l) { return t.X(l.branchB); });
    t.DeviceVariables();
    t.Row("z0", [](const IdealLineRecord& l) { return l.z0; });
    t.Row("td", [](const IdealLineRecord& l) { return l.td; });
    t.Row("f", [](const IdealLineRecord& l) { return l.frequency; });
    t.Row("nl", [](const IdealLineRecord& l) { return l.normalLength; });
    t.MoveInto(lines);

    dt_Kind<InductorRecord> l(c, x, kListInductors, "Inductor Devices", 13);
    l.PowerTerms(false);
    l.Row("PS", Stored);
    l.PinCurrents();
    l.Row("Il", [&l](const InductorRecord& d) { return l.X(d.branch); });
    l.MoveInto(reactive);

    dt_Kind<CapacitorRecord> cap(c, x, kListCapacitors, "Capacitor Devices", 13);
    cap.PowerTerms(false);
    cap.Row("PS", Stored);
    cap.PinCurrents();
    cap.Row("Ic", [](const CapacitorRecord& d) { return d.current; });
    cap.MoveInto(reactive);
}

// Switches of the smooth law keep their state in one block.
template <class T>
void dt_SmoothSwitches(CompiledCircuit& c, const std::vector<double>& x, int list, const char* title,
                       std::vector<DeviceTableSection>& out) {
    dt_Kind<T> k(c, x, list, title, 13);
    k.PowerTerms(false);
    k.Row("PD", [](const T& s) { return s.sw.power; });
    k.PinCurrents();
    k.Row("ISource", [](const T& s) { return s.sw.current; });
    k.Condition([](const T& s) { return s.sw.state; });
    k.MoveInto(out);
}

// Sources whose current is their branch unknown.
template <class T>
void dt_BranchSources(CompiledCircuit& c, const std::vector<double>& x, int list, const char* title,
                      std::vector<DeviceTableSection>& out) {
    dt_Kind<T> k(c, x, list, title, 13);
    k.PowerTerms(false);
    k.Row("PG", Generated);
    k.PinCurrents();
    k.Row("ISource", [&k](const T& s) { return k.X(s.branch); });
    k.MoveInto(out);
}

template <class T, class F>
void dt_GeneratingSources(CompiledCircuit& c, const std::vector<double>& x, int list, const char* title,
                          std::vector<DeviceTableSection>& out, F current) {
    dt_Kind<T> k(c, x, list, title, 12);
    k.PowerTerms(false);
    k.Row("PG", Generated);
    k.PinCurrents();
    k.Row("ISource", [&](const T& s) { return current(k, s); });
    k.MoveInto(out);
}

// ---- model parameters -------------------------------------------------------------------------

// Level filters of the MOSFET model types.
constexpr int kLevelsOneToThree = 3;

bool dt_LevelAccepted(const DeviceRecord* record, int filter) {
    if (filter != kLevelsOneToThree) return true;
    const int level = static_cast<const MosfetRecord*>(record)->level;
    return level >= 1 && level <= 3;
}

// The parameter table of one model type over a device list: devices with a
// model of that family (the level filter for MOSFETs), each in list order.
template <class T>
void dt_ModelTable(CompiledCircuit& c, int list, int filter, std::vector<ModelParameterTable>& out) {
    ModelParameterTable table;
    const ModelTypeInfo* info = nullptr;
    for (PoolItem* item = c.devices[list].pool.first; item; item = item->next) {
        T* record = static_cast<T*>(item);
        const ModelRecord* model = record->model;
        if (!model || !dt_LevelAccepted(record, filter)) continue;
        const ModelTypeInfo* type = GetModelTypeInfo(model->ModelType);
        if (!type) continue;
        if (!info) {
            info = type;
            table.description = type->Description ? type->Description : "";
            for (int p = 0; p < type->ParamCount; ++p) table.parameterNames.push_back(type->Params[p].Name);
        }
        // Models of a sibling type (NPN beside PNP) list the parameters they share by position.
        std::vector<ModelParameterValue> values(table.parameterNames.size());
        for (size_t p = 0; p < values.size() && static_cast<int>(p) < type->ParamCount && model->Values; ++p) {
            ModelParameterValue& v = values[p];
            const double* slot = &model->Values[p];
            v.kind = type->Params[p].Kind;
            if (v.kind == kParamNumber) {
                v.defined = !IsUnsetValue(*slot);
                v.number = *slot;
            } else if (v.kind == kParamChar) {
                v.defined = true;
                const char ch = ModelSlotChar(slot);
                v.text = ch ? std::string(1, ch) : std::string();
            } else {
                v.defined = true;
                const char* text = ModelSlotText(slot);
                v.text = text ? text : "";
            }
        }
        table.deviceNames.push_back(dt_Name(c, record));
        table.modelNames.push_back(dt_ModelName(model));
        table.values.push_back(std::move(values));
    }
    if (!table.deviceNames.empty()) out.push_back(std::move(table));
}

}  // namespace

std::vector<DeviceTableSection> CollectDeviceSections(CompiledCircuit& c, const std::vector<double>& x, bool) {
    std::vector<DeviceTableSection> out;
    dt_Diodes(c, x, out);
    dt_Bipolars(c, x, out);
    {
        dt_Kind<JfetRecord> k(c, x, kListJfets, "JFET Devices", 12);
        dt_Fets(k, false);
        k.MoveInto(out);
    }
    dt_Mosfets(c, x, out);
    {
        dt_Kind<GaasfetRecord> k(c, x, kListGaasfets, "GaAsFET Devices", 12);
        dt_Fets(k, true);
        k.MoveInto(out);
    }
    std::vector<DeviceTableSection> lines, reactive;
    dt_Passives(c, x, out, lines, reactive);
    for (auto& s : lines) out.push_back(std::move(s));
    for (auto& s : reactive) out.push_back(std::move(s));
    {
        dt_Kind<OpampRecord> k(c, x, kListOpamps, "Opamp Devices", 12);
        // The opamp load keeps no condition of its own.
        k.Condition([](const OpampRecord&) { return 0; }, false);
        k.MoveInto(out);
    }
    {
        dt_Kind<SwitchRecord> k(c, x, kListSwitches, "Switch Devices", 13);
        k.PowerTerms(false);
        k.Row("PD", [](const SwitchRecord& s) { return s.power; });
        k.PinCurrents();
        k.Row("ISource", [](const SwitchRecord& s) { return s.current; });
        k.Condition([](const SwitchRecord& s) { return s.state; });
        k.MoveInto(out);
    }
    dt_SmoothSwitches<CurrentSwitchRecord>(c, x, kListWSwitches, "W Devices", out);
    dt_SmoothSwitches<VoltageSwitchRecord>(c, x, kListSSwitches, "S Devices", out);
    dt_BranchSources<SineSourceRecord>(c, x, kListSineSources, "Sine Source Devices", out);
    dt_BranchSources<PulseSourceRecord>(c, x, kListPulseSources, "Pulse Source Devices", out);
    dt_BranchSources<UserSourceRecord>(c, x, kListUserSources, "User Source Devices", out);
    dt_GeneratingSources<LinearDependentRecord>(c, x, kListDependentSources, "Dependent Source Devices", out,
                                                [](auto& k, const LinearDependentRecord& s) {
                                                    // The output current as the load computes it for its power.
                                                    switch (s.componentType - 26) {
                                                    case 0: return s.gain * (k.X(s.controlPlus) - k.X(s.controlMinus));
                                                    case 1: return s.gain * k.X(s.branch);
                                                    case 2: return k.X(s.branch);
                                                    default: return k.X(s.branch + 1);
                                                    }
                                                });
    dt_GeneratingSources<PolySourceRecord>(c, x, kListPolySources, "SPICE Poly Devices", out,
                                           [](auto&, const PolySourceRecord& s) { return s.pinCurrent; });
    dt_GeneratingSources<SourceRecord>(
        c, x, kListSpiceSources, "SPICE Source Devices", out,
        [](auto& k, const SourceRecord& s) { return s.sourceKind == kSourceVoltage ? k.X(s.branch) : s.current; });
    return out;
}

std::vector<ModelParameterTable> CollectModelParameterTables(CompiledCircuit& c) {
    std::vector<ModelParameterTable> out;
    dt_ModelTable<ResistorRecord>(c, kListResistors, 0, out);
    dt_ModelTable<CapacitorRecord>(c, kListCapacitors, 0, out);
    dt_ModelTable<InductorRecord>(c, kListInductors, 0, out);
    dt_ModelTable<DiodeRecord>(c, kListDiodes, 0, out);
    dt_ModelTable<SineSourceRecord>(c, kListSineSources, 0, out);
    dt_ModelTable<BipolarRecord>(c, kListBipolars, 0, out);
    dt_ModelTable<MosfetRecord>(c, kListMosfets, kLevelsOneToThree, out);
    dt_ModelTable<JfetRecord>(c, kListJfets, 0, out);
    dt_ModelTable<OpampRecord>(c, kListOpamps, 0, out);
    dt_ModelTable<PulseSourceRecord>(c, kListPulseSources, 0, out);
    dt_ModelTable<GaasfetRecord>(c, kListGaasfets, 0, out);
    dt_ModelTable<VoltageSwitchRecord>(c, kListSSwitches, 0, out);
    dt_ModelTable<CurrentSwitchRecord>(c, kListWSwitches, 0, out);
    return out;
}

void WriteDeviceVariables(NumericOutput& output, CCTDoc* document, const std::vector<double>& solution) {
    if (!output.IsOpen()) return;
    CompiledCircuit* circuit = FindCompiledCircuit(document);
    if (!circuit) return;
    const bool operatingPoint = output.Switch(kIncludeOperatingPoint);
    const bool models = output.Switch(kIncludeModelParameters);
    if (operatingPoint) output.WriteOperatingPoint(CollectOperatingPoint(document, solution));
    if (!operatingPoint && !models) return;
    output.WriteDeviceTables(models ? CollectModelParameterTables(*circuit) : std::vector<ModelParameterTable>{},
                             operatingPoint ? CollectDeviceSections(*circuit, solution, output.kind == 1)
                                            : std::vector<DeviceTableSection>{},
                             models, operatingPoint, output.Switch(kIncludeZeroParameters),
                             output.Switch(kIncludeUndefinedParameters));
}
