// The load of OPAMP levels 1 and 2: each stage is a transconductance that
// drives its node from the stage before it (the first from the input pair),
// so that the loads the set-up made turn the stage currents into voltages.
// Level 3 records load nothing: their elements load themselves.
#include <cstdint>

#include "compiler/compiled.h"
#include "core/result.h"
#include "devices/opamp.h"
#include "engine/newton.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/devicelist.h"

namespace {

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
        return ol_EachStage(state, [&](OpampRecord* record, const ol_Stage&) {
            StampControlledSource(state.Cursor, kVoltageControlledCurrent, record->transconductance);
            return 0;
        });
    }
};

}  // namespace

DeviceKindLoads& OpampStageLoads() {
    static OpampLoads loads;
    return loads;
}
