#include "compiler/numbering.h"

#include <new>

#include "compiler/behavsetup.h"
#include "compiler/compiled.h"
#include "compiler/support.h"
#include "core/result.h"
#include "expr/runstate.h"

namespace {

constexpr int32_t kPolyVoltageOutputE = 52;
constexpr int32_t kPolyVoltageOutputH = 53;

// The lists whose records take branch unknowns after the inductors, in the
// order they are numbered. A new voltage-defined kind is a row here and a
// case in nb_Branches.
const int kNumberedLists[] = {
    kListSineSources,      kListPulseSources,   kListUserSources,         kListSpiceSources,
    kListDependentSources, kListPolySources,    kListIdealLines,          kListLossyLines,
    kListFunctionSources,  kListLaplaceSources, kListLaplaceTableSources, kListTableSources,
    kListSampleHolds,
};

// Branches of a controlled source by its control kind (current or voltage
// controlled, current or voltage output): the sensing branch of a
// current-controlled kind comes first.
int nb_ControlledBranches(int controlKind) { return controlKind == 3 ? 2 : controlKind == 0 ? 0 : 1; }

// The branch field of a record and how many unknowns it takes (0: none; the
// field is then set to 0).
int nb_Branches(int list, DeviceRecord* record, int32_t** field) {
    switch (list) {
    case kListSineSources: *field = &static_cast<SineSourceRecord*>(record)->branch; return 1;
    case kListPulseSources: *field = &static_cast<PulseSourceRecord*>(record)->branch; return 1;
    case kListUserSources: *field = &static_cast<UserSourceRecord*>(record)->branch; return 1;
    case kListSpiceSources: {
        auto* source = static_cast<SourceRecord*>(record);
        *field = &source->branch;
        return source->sourceKind == kSourceVoltage ? 1 : 0;
    }
    case kListDependentSources: {
        // Current-controlled kinds sense through a branch of their own; the
        // voltage-output kinds drive through one (VofI: sensing, then output).
        auto* source = static_cast<LinearDependentRecord*>(record);
        *field = &source->branch;
        const int control = source->componentType - 26;
        return control == 3 ? 2 : control == 0 ? 0 : 1;
    }
    case kListPolySources: {
        auto* source = static_cast<PolySourceRecord*>(record);
        *field = &source->branch;
        return source->sourceKind == kPolyVoltageOutputE || source->sourceKind == kPolyVoltageOutputH ? 1 : 0;
    }
    case kListIdealLines: {
        auto* line = static_cast<IdealLineRecord*>(record);
        *field = &line->branchA;
        line->branchB = 0;  // follows branchA once numbered
        return 2;
    }
    case kListFunctionSources: {
        auto* source = static_cast<FunctionSourceRecord*>(record);
        *field = &source->branch;
        return source->componentType == 37 ? 1 : 0;
    }
    case kListLaplaceSources:
    case kListLaplaceTableSources: {
        auto* source = static_cast<LaplaceSourceRecord*>(record);
        *field = &source->branch;
        return nb_ControlledBranches((source->componentType - 31) % 4);
    }
    case kListTableSources: {
        auto* source = static_cast<TableSourceRecord*>(record);
        *field = &source->branch;
        return nb_ControlledBranches(source->componentType - 39);
    }
    case kListSampleHolds: *field = &static_cast<SampleHoldRecord*>(record)->branch; return 1;
    case kListLossyLines: {
        auto* line = static_cast<LossyLineRecord*>(record);
        *field = &line->branch1;
        line->branch2 = 0;  // follows branch1 once numbered
        return 2;
    }
    default: *field = nullptr; return 0;
    }
}

// Charge states per record of a list.
struct nb_StateRow {
    int list;
    int perRecord;
};
const nb_StateRow kChargeStateRows[] = {
    {kListCapacitors, 1},
    {kListInductors, 1},
};

template <class F>
void nb_Walk(CompiledCircuit* compiled, int list, F visit) {
    for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) visit(static_cast<DeviceRecord*>(item));
}

bool nb_Allocate(std::vector<double>& vector, size_t size) {
    try {
        vector.assign(size, 0.0);
        return true;
    } catch (const std::bad_alloc&) {
        vector.clear();
        return false;
    }
}

}  // namespace

int NumberSimulatorObjects(CompiledCircuit* compiled) {
    if (!compiled) return 0;
    // Inductors take the first branches, in list order; the counter of the
    // other branches starts after all of them.
    int counter = compiled->analogNodeCount;
    nb_Walk(compiled, kListInductors,
            [&](DeviceRecord* record) { static_cast<InductorRecord*>(record)->branch = ++counter; });
    for (int list : kNumberedLists) {
        nb_Walk(compiled, list, [&](DeviceRecord* record) {
            int32_t* field = nullptr;
            const int count = nb_Branches(list, record, &field);
            if (!field) return;
            *field = count ? counter + 1 : 0;
            counter += count;
            if (list == kListIdealLines) static_cast<IdealLineRecord*>(record)->branchB = *field + 1;
            if (list == kListLossyLines) static_cast<LossyLineRecord*>(record)->branch2 = *field + 1;
        });
    }
    compiled->unknownCount = counter;
    return counter;
}

int CountSimulatorUnknowns(const CompiledCircuit* compiled) {
    if (!compiled) return 0;
    return gSolver.AnalysisKind == 1 ? 2 * compiled->unknownCount : compiled->unknownCount;
}

int CountChargeStates(const CompiledCircuit* compiled) {
    if (!compiled) return 0;
    int states = 0;
    for (const nb_StateRow& row : kChargeStateRows)
        states += row.perRecord * compiled->devices.lists[row.list].pool.count;
    return states;
}

int BuildFunctionSourceDerivatives(CompiledCircuit* compiled) { return BuildFunctionSourceDependencies(compiled); }

int AllocateSolutionVectors(CompiledCircuit* compiled, int group) {
    if (!compiled) return 0;
    const size_t size = static_cast<size_t>(CountSimulatorUnknowns(compiled)) + 3;
    bool ok = true;
    if (group == kFirstVectorGroup) {
        ok = nb_Allocate(compiled->solution, size) && nb_Allocate(compiled->acVector, size) &&
             nb_Allocate(compiled->previousIterate, size);
        const size_t states = static_cast<size_t>(CountChargeStates(compiled));
        for (std::vector<double>& array : compiled->states) {
            if (!ok) break;
            if (states)
                ok = nb_Allocate(array, 4 * states);
            else
                array.clear();
        }
    } else if (group == kSecondVectorGroup) {
        ok = nb_Allocate(compiled->lastAccepted, size) && nb_Allocate(compiled->beforeLastAccepted, size) &&
             nb_Allocate(compiled->rightHandSide, size);
    }
    if (ok) return 0;
    ReportCompileOutOfMemory();
    return kResultShown;
}
