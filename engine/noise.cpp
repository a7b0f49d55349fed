#include "engine/noise.h"

#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/newton.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

NoiseKindSources* gNoiseRowSources[kDeviceLoadRowCount + 1] = {};

// The most sources one device of a list adds at one frequency.
struct ns_ListCapacity {
    int list;
    size_t perDevice;
};
constexpr ns_ListCapacity kNsCapacities[] = {
    {kListResistors, 1}, {kListDiodes, 3},    {kListJfets, 3},         {kListGaasfets, 3},
    {kListBipolars, 5},  {kListMosfets, 5},   {kListBsim4Mosfets, 14}, {kListEkvMosfets, 14},
    {kListSSwitches, 1}, {kListWSwitches, 1}, {kListSwitches, 1},      {kListFunctionSources, 1},
};

// The rows in the order their sources are added, with the list that tells
// whether the circuit has devices of the row; `required`: a noisy kind that
// must have an owner.
struct ns_Row {
    int row;
    int list;
    bool required;
};
constexpr ns_Row kNsOrder[] = {
    {kRowDiodes, kListDiodes, true},     {kRowBipolars, kListBipolars, true},
    {kRowMosfets, kListMosfets, true},   {kRowBsim4, kListBsim4Mosfets, true},
    {kRowEkv, kListEkvMosfets, true},    {kRowJfets, kListJfets, true},
    {kRowGaasfets, kListGaasfets, true}, {kRowFunctionSources, kListFunctionSources, false},
};

int32_t ns_Count(const CompiledCircuit* circuit, int list) {
    return circuit ? circuit->devices.lists[list].pool.count : 0;
}

template <class Record, class Visit>
void ns_Walk(SimulatorState& state, int list, Visit visit) {
    int32_t position = 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        visit(*static_cast<Record*>(item), position++);
    }
}

// A resistor's temperature in kelvin: the run temperature, or its model's
// own absolute or relative temperature.
double ns_ResistorKelvin(const ResistorRecord& r, double runTemperature) {
    double celsius = runTemperature;
    if (NoiseModelGiven(r.model, "T_ABS")) {
        celsius = NoiseModelValue(r.model, "T_ABS", celsius);
    } else if (NoiseModelGiven(r.model, "T_REL_GLOBAL")) {
        celsius += NoiseModelValue(r.model, "T_REL_GLOBAL", 0.0);
    }
    return celsius + kNoiseKelvinOffset;
}

void ns_Resistors(NoiseSink& sink) {
    SimulatorState& state = sink.State();
    const std::vector<double>& effective = state.ElementMemory.resistorEffective;
    ns_Walk<ResistorRecord>(state, kListResistors, [&](ResistorRecord& r, int32_t position) {
        if (!r.noise) return;
        const double multiplier = NoiseModelValue(r.model, "NM", 1.0);
        if (multiplier == 0.0) return;
        const size_t index = static_cast<size_t>(position);
        const double resistance = index < effective.size() ? effective[index] : r.working;
        if (!(resistance > 0.0)) return;
        const double kelvin = ns_ResistorKelvin(r, sink.RunTemperature());
        sink.Add(multiplier * std::sqrt(4.0 * kNoiseBoltzmann * kelvin / resistance), r.node1, r.node2);
    });
}

// A switch noises as the resistance its last load chose, at the circuit's temperature.
template <class Record>
void ns_Switches(NoiseSink& sink, int list, double (*resistance)(const Record&),
                 void (*pins)(const Record&, int32_t&, int32_t&)) {
    SimulatorState& state = sink.State();
    const double kelvin = sink.RunTemperature() + kNoiseKelvinOffset;
    ns_Walk<Record>(state, list, [&](Record& r, int32_t) {
        const double ohms = ClampToRmin(resistance(r), state.Options.rmin);
        if (!(ohms > 0.0)) return;
        int32_t a = 0, b = 0;
        pins(r, a, b);
        sink.Thermal(kelvin, 1.0 / ohms, a, b);
    });
}

}  // namespace

void NoiseSourceList::Release() {
    std::vector<NoiseSourceEntry>().swap(sources);
    capacity = 0;
    allocated = false;
}

NoiseSink::NoiseSink(SimulatorState& state, NoiseSourceList& list, double frequency, double runTemperature)
    : state_(state),
      list_(list),
      frequency_(frequency > 0.0 ? frequency : kNoiseLowestFrequency),
      runTemperature_(runTemperature) {}

void NoiseSink::Add(double amplitude, int32_t node1, int32_t node2) {
    if (node1 == node2) return;
    // The list was sized for the most every kind adds; a kind that adds more
    // still counts (the list grows) rather than losing its noise.
    list_.sources.push_back(NoiseSourceEntry{amplitude, node1, node2});
}

void NoiseSink::Thermal(double kelvin, double conductance, int32_t node1, int32_t node2) {
    Add(std::sqrt(4.0 * kNoiseBoltzmann * kelvin * std::fabs(conductance)), node1, node2);
}

void InstallNoiseKindSources(int row, NoiseKindSources* sources) {
    if (row >= 1 && row <= kDeviceLoadRowCount) gNoiseRowSources[row] = sources;
}

size_t NoiseSourceCapacity(const CompiledCircuit& circuit) {
    size_t capacity = 0;
    for (const ns_ListCapacity& entry : kNsCapacities)
        capacity += entry.perDevice * static_cast<size_t>(std::max<int32_t>(ns_Count(&circuit, entry.list), 0));
    return capacity;
}

int AllocateNoiseSources(const SimulatorState& state, NoiseSourceList& list, bool noiseActive) {
    if (!noiseActive) return kOk;
    list.capacity = state.Circuit ? NoiseSourceCapacity(*state.Circuit) : 0;
    try {
        list.sources.clear();
        list.sources.reserve(list.capacity + 1);
    } catch (const std::bad_alloc&) {
        list.Release();
        return kResultNoMemory;
    }
    list.allocated = true;
    return kOk;
}

int BuildNoiseSources(SimulatorState& state, NoiseSourceList& list, bool noiseActive, double frequency,
                      double runTemperature) {
    if (!noiseActive) return kOk;
    list.sources.clear();
    if (!state.Circuit) return kOk;
    NoiseSink sink(state, list, frequency, runTemperature);
    ns_Resistors(sink);
    ns_Switches<SwitchRecord>(
        sink, kListSwitches, [](const SwitchRecord& r) { return r.resistance; },
        [](const SwitchRecord& r, int32_t& a, int32_t& b) { a = r.nodes[0], b = r.nodes[1]; });
    ns_Switches<VoltageSwitchRecord>(
        sink, kListSSwitches, [](const VoltageSwitchRecord& r) { return r.sw.resistance; },
        [](const VoltageSwitchRecord& r, int32_t& a, int32_t& b) { a = r.nodes[0], b = r.nodes[1]; });
    ns_Switches<CurrentSwitchRecord>(
        sink, kListWSwitches, [](const CurrentSwitchRecord& r) { return r.sw.resistance; },
        [](const CurrentSwitchRecord& r, int32_t& a, int32_t& b) { a = r.node1, b = r.node2; });
    for (const ns_Row& row : kNsOrder) {
        NoiseKindSources* sources = gNoiseRowSources[row.row];
        if (!sources) {
            if (row.required && ns_Count(state.Circuit, row.list) > 0) return kResultNotBuilt;
            continue;
        }
        if (int rc = sources->AddNoiseSources(sink)) return rc;
    }
    return kOk;
}

double NoiseModelValue(const ModelRecord* model, const char* name, double fallback) {
    if (!model || !model->Values) return fallback;
    const int index = FindModelParamIndex(model->ModelType, name);
    if (index < 0) return fallback;
    const double value = model->Values[index];
    return IsUnsetValue(value) ? fallback : value;
}

bool NoiseModelGiven(const ModelRecord* model, const char* name) {
    if (!model || !model->Values || !model->Given) return false;
    const int index = FindModelParamIndex(model->ModelType, name);
    return index >= 0 && model->Given[index] != 0;
}
