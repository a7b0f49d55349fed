// The load of OPAMP levels 1 and 2: each stage is a transconductance that
// drives its node from the stage before it (the first from the input pair),
// so that the loads the set-up made turn the stage currents into voltages.
// Level 3 records load nothing: their elements load themselves.
#include <cmath>
#include <cstdint>

#include "compiler/compiled.h"
#include "core/result.h"
#include "devices/opamp.h"
#include "engine/newton.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/devicelist.h"

namespace {

// OPA model parameters the load reads.
constexpr int kOlGain = 3;
constexpr int kOlSlewPositive = 8;
constexpr int kOlSlewNegative = 9;
// Device state codes shown in the operating-point listing.
constexpr int32_t kOlSaturated = 1;
constexpr int32_t kOlLinear = 6;
// Above this forward current an output clamp holds the output at its limit.
constexpr double kOlClampCurrent = 1e-6;

double ol_Voltage(const SimulatorState& state, int32_t node) {
    return node > 0 && static_cast<size_t>(node) < state.Solution.size() ? state.Solution[static_cast<size_t>(node)]
                                                                         : 0.0;
}

// Outside the operating point the first stage of a level-2 opamp delivers no
// more than the slew rate allows into its pole capacitor: the limited current
// is a constant source, and the stage's transconductance all but vanishes.
double ol_FirstStageGain(SimulatorState& state, const OpampRecord& record) {
    if (state.OperatingPointActive || !record.model || !record.model->Values || !record.c1)
        return record.transconductance;
    const double* m = record.model->Values;
    const double f = record.c1->working / std::pow(m[kOlGain], 2.0 / 3.0);
    const double current = record.transconductance * (ol_Voltage(state, record.plus) - ol_Voltage(state, record.minus));
    double limit = 0;
    if (current > std::fabs(m[kOlSlewPositive]) * f)
        limit = std::fabs(m[kOlSlewPositive]) * f;
    else if (current < -std::fabs(m[kOlSlewNegative]) * f)
        limit = -std::fabs(m[kOlSlewNegative]) * f;
    else
        return record.transconductance;
    if (record.stage1 > 0 && static_cast<size_t>(record.stage1) < state.Rhs.size())
        state.Rhs[static_cast<size_t>(record.stage1)] += limit;
    return 1e-50;
}

void ol_UpdateStateCodes(SimulatorState& state) {
    if (!state.Circuit) return;
    for (PoolItem* item = state.Circuit->devices.lists[kListOpamps].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<OpampRecord*>(item);
        if (!record->quantityRefs && !record->powerRefs) continue;
        record->stateCode = kOlLinear;
        if (record->level == 3) {
            for (const DiodeRecord* clamp : {record->d3, record->d4})
                if (clamp && clamp->id > kOlClampCurrent) record->stateCode = kOlSaturated;
        }
    }
}

// The stages of a record as (controlling +, controlling -, driven node).
struct ol_Stage {
    int32_t a, b, out;
};

template <class F>
int ol_EachStage(SimulatorState& state, F&& each) {
    if (!state.Circuit) return 0;
    for (PoolItem* item = state.Circuit->devices.lists[kListOpamps].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<OpampRecord*>(item);
        if (record->level == 1) {
            if (int rc = each(record, ol_Stage{record->plus, record->minus, record->output})) return rc;
        } else if (record->level == 2) {
            const ol_Stage stages[3] = {{record->plus, record->minus, record->stage1},
                                        {record->stage1, 0, record->stage2},
                                        {record->stage2, 0, record->output}};
            for (const ol_Stage& stage : stages)
                if (int rc = each(record, stage)) return rc;
        }
    }
    return 0;
}

class OpampLoads : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override {
        EntryList* entries = state.Entries();
        if (!entries) return state.Circuit ? kResultNoMemory : 0;
        // The current goes into the driven node: ground is the source side.
        return ol_EachStage(state, [&](OpampRecord*, const ol_Stage& stage) {
            return ReserveTransconductance(*entries, stage.a, stage.b, 0, stage.out);
        });
    }
    int Load(SimulatorState& state) override {
        if (!state.Installed || !state.Cursor.Active()) return 0;
        const int rc = ol_EachStage(state, [&](OpampRecord* record, const ol_Stage& stage) {
            const bool first = record->level == 2 && stage.out == record->stage1;
            StampControlledSource(state.Cursor, kVoltageControlledCurrent,
                                  first ? ol_FirstStageGain(state, *record) : record->transconductance);
            return 0;
        });
        ol_UpdateStateCodes(state);
        return rc;
    }
};

}  // namespace

DeviceKindLoads& OpampStageLoads() {
    static OpampLoads loads;
    return loads;
}
