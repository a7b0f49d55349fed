#include "compiler/quantities.h"

#include <strings.h>
#include <cstdio>

#include <cstdlib>
#include <string>

#include "compiler/arrays.h"
#include "compiler/compiled.h"
#include "compiler/devexpr.h"
#include "compiler/scanner.h"
#include "compiler/support.h"
#include "compiler/topology.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "expr/quantity.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

enum QuantityMessage : int {
    kMsgNoLabel = 10412,
    kMsgNoDevice = 10413,
    kMsgSeveralDevices = 10414,
    kMsgIllegalUse = 10416,
};
constexpr int kQtTypeAnalogState = 129;

// Device-list classes of FindDeviceBetweenNodes (the quantities' device masks).
enum : uint32_t {
    kQtClassResistor = 0x1,
    kQtClassCapacitor = 0x2,
    kQtClassInductor = 0x4,
    kQtClassPulse = 0x100,
    kQtClassSine = 0x400,
    kQtClassSpice = 0x800,
    kQtClassUser = 0x1000,
};

int qt_TypeOf(const SchematicObject* part) { return part && part->definition ? part->definition->type : -1; }

CompiledCircuit* qt_Compiled() { return FindCompiledCircuit(CurrentCircuitDocument()); }

// The two terminal nodes of a two-terminal device record of a component type
// (null when the type has none). A new two-terminal kind is a case here.
bool qt_Terminals(int type, DeviceRecord* record, int32_t** a, int32_t** b) {
    switch (type) {
    case kTypeResistor: {
        auto* r = static_cast<ResistorRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypeCapacitor: {
        auto* r = static_cast<CapacitorRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypeInductor: {
        auto* r = static_cast<InductorRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypeBattery:
    case kTypeVSpice:
    case kTypeISpice:
    case kTypeIsource:
    case kQtTypeAnalogState: {
        auto* r = static_cast<SourceRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypePulseSource: {
        auto* r = static_cast<PulseSourceRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypeSineSource: {
        auto* r = static_cast<SineSourceRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    case kTypeUserSource: {
        auto* r = static_cast<UserSourceRecord*>(record);
        *a = &r->node1, *b = &r->node2;
        return true;
    }
    default: return false;
    }
}

// How the current of a device is read.
struct qt_CurrentOperand {
    int unknown = -1;                       // a branch unknown, or
    double* field = nullptr;                // a real device field, or
    ComplexNumber* complexField = nullptr;  // its AC counterpart
};

// A pin current measured by a current meter during the set-up compiles, else
// the device's own current field (the AC set with complexCurrents).
bool qt_PinCurrent(ExprCompiler* ctx, int32_t* pinNode, double* field, ComplexNumber* acField, qt_CurrentOperand* out) {
    if (ctx->setupPass) {
        const int branch = InsertCurrentMeter(ctx, pinNode, 1);
        if (branch < 0) return false;
        if (ctx->setupPass == 1 || branch > 0) {
            out->unknown = branch;
            return true;
        }
        // The trial compile made no meter for this pin: the device reports
        // its current itself.
    }
    if (ctx->complexCurrents)
        out->complexField = acField;
    else
        out->field = field;
    return true;
}

// The current of a device by component type; false when the type has none.
bool qt_DeviceCurrent(ExprCompiler* ctx, int type, DeviceRecord* record, qt_CurrentOperand* out) {
    switch (type) {
    case kTypeBattery:
    case kTypeVSpice:
    case kQtTypeAnalogState: out->unknown = static_cast<SourceRecord*>(record)->branch; return true;
    case kTypePulseSource: out->unknown = static_cast<PulseSourceRecord*>(record)->branch; return true;
    case kTypeSineSource: out->unknown = static_cast<SineSourceRecord*>(record)->branch; return true;
    case kTypeUserSource: out->unknown = static_cast<UserSourceRecord*>(record)->branch; return true;
    case kTypeInductor: out->unknown = static_cast<InductorRecord*>(record)->branch; return true;
    case kTypeCapacitor: {
        auto* r = static_cast<CapacitorRecord*>(record);
        return qt_PinCurrent(ctx, &r->node1, &r->current, &r->acCurrent, out);
    }
    case kTypeISpice:
    case kTypeIsource: {
        auto* r = static_cast<SourceRecord*>(record);
        return qt_PinCurrent(ctx, &r->node1, &r->current, &r->acCurrent, out);
    }
    default: return false;
    }
}

int qt_Illegal(ExprCompiler* ctx, const DeviceQuantityCall& call, const char* argument) {
    return ReportCompileError(ctx, kMsgIllegalUse, call.row->name, argument ? argument : "");
}

int qt_AppendCurrent(ExprCompiler* ctx, const qt_CurrentOperand& operand, const char* text) {
    if (operand.complexField) return AppendComplexFieldOperand(ctx, operand.complexField, text);
    if (operand.field) return AppendFieldOperand(ctx, operand.field, text);
    return AppendUnknownOperand(ctx, operand.unknown, text);
}

// I(R1) of a resistor is (V(a)-V(b))/R; every other current is one operand,
// negated when the device lies the other way between the call's nodes.
int qt_BindCurrent(ExprCompiler* ctx, const DeviceQuantityCall& call, int type, DeviceRecord* record, bool reversed,
                   const std::string& text) {
    CCTDoc* document = CurrentCircuitDocument();
    if (type == kTypeResistor) {
        auto* r = static_cast<ResistorRecord*>(record);
        int a = r->node1, b = r->node2;
        if (reversed) std::swap(a, b);
        const std::string va = "V(" + AnalogNodeName(document, a) + ")";
        const std::string vb = "V(" + AnalogNodeName(document, b) + ")";
        RemoveQuantityCall(ctx, call);
        int rc = AppendQuantityOpen(ctx);
        if (!rc) rc = AppendQuantityOpen(ctx);
        if (!rc) rc = AppendUnknownOperand(ctx, a, va.c_str());
        if (!rc) rc = AppendQuantityMinus(ctx);
        if (!rc) rc = AppendUnknownOperand(ctx, b, vb.c_str());
        if (!rc) rc = AppendQuantityClose(ctx);
        if (!rc) rc = AppendQuantityDivide(ctx);
        if (!rc) rc = AppendFieldOperand(ctx, &r->working, text.c_str());
        if (!rc) rc = AppendQuantityClose(ctx);
        return rc;
    }
    qt_CurrentOperand operand;
    if (!qt_DeviceCurrent(ctx, type, record, &operand)) return qt_Illegal(ctx, call, text.c_str());
    RemoveQuantityCall(ctx, call);
    int rc = 0;
    if (reversed) {
        rc = AppendQuantityOpen(ctx);
        if (!rc) rc = AppendQuantityUnaryMinus(ctx);
    }
    if (!rc) rc = qt_AppendCurrent(ctx, operand, text.c_str());
    if (!rc && reversed) rc = AppendQuantityClose(ctx);
    return rc;
}

// C, L and R of the passive kinds: a pointer to the device's value.
double* qt_ValueField(int code, int type, DeviceRecord* record) {
    if (code == kTokCapacitance && type == kTypeCapacitor) return &static_cast<CapacitorRecord*>(record)->working;
    if (code == kTokInductance && type == kTypeInductor) return &static_cast<InductorRecord*>(record)->working;
    if (code == kTokResistance && type == kTypeResistor) return &static_cast<ResistorRecord*>(record)->working;
    return nullptr;
}

class qt_CircuitExpressions final : public CircuitWithoutDevices {
public:
    int FindUserArray(const char* name, int scope) override {
        return FindUserArrayIndex(CurrentCircuitDocument(), name, scope);
    }
    int FindNodeNumber(const char* name, int scope, int kind) override {
        CCTDoc* document = CurrentCircuitDocument();
        if (!document || !name || kind != 0) return -1;
        int node = ::FindNodeNumber(document, name, scope, kind);
        if (node >= 0) return node;
        CompiledCircuit* compiled = qt_Compiled();
        if (!compiled) return -1;
        for (const auto& [number, text] : compiled->internalNodeNames)
            if (strcasecmp(text.c_str(), name) == 0) return number;
        // Numbered nodes are named by their numbers.
        char* end = nullptr;
        const long number = std::strtol(name, &end, 10);
        if (end != name && !*end && number >= 0 && number <= compiled->analogNodeCount) return static_cast<int>(number);
        return -1;
    }
    int NodeCount(int kind) override {
        CompiledCircuit* compiled = qt_Compiled();
        return compiled && kind == 0 ? compiled->analogNodeCount : 0;
    }
    bool PartMatchesMask(const char* part, int scope, uint32_t deviceMask) override {
        const ComponentType* row = GetComponentType(qt_TypeOf(FindPart(part, scope)));
        return row && (row->deviceBits & deviceMask) != 0;
    }
    int BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* call) override;
};

}  // namespace

SchematicObject* FindQuantityPart(ExprCompiler* ctx, const char* partName, uint32_t deviceMask, int* type,
                                  const char* quantity, bool report, int* result) {
    *result = 0;
    SchematicObject* part = FindPart(partName, ctx->scope);
    const ComponentType* row = GetComponentType(qt_TypeOf(part));
    if (part && row && (deviceMask == 0xffffffffu || (row->deviceBits & deviceMask))) {
        *type = qt_TypeOf(part);
        return part;
    }
    if (report)
        *result = part ? ReportCompileError(ctx, kMsgIllegalUse, quantity, partName)
                       : ReportCompileError(ctx, kMsgNoLabel, partName, quantity);
    return nullptr;
}

DeviceRecord* FindDeviceBetweenNodes(ExprCompiler* ctx, int a, const char* textA, int b, const char* textB,
                                     uint32_t deviceMask, int* type, bool* reversed, int* result) {
    *result = 0;
    CompiledCircuit* compiled = qt_Compiled();
    DeviceRecord* found = nullptr;
    int matches = 0;
    struct Row {
        uint32_t bit;
        int list;
        int type;  // -1: the part's own
    };
    const Row rows[] = {
        {kQtClassResistor, kListResistors, kTypeResistor}, {kQtClassCapacitor, kListCapacitors, kTypeCapacitor},
        {kQtClassInductor, kListInductors, kTypeInductor}, {kQtClassPulse, kListPulseSources, kTypePulseSource},
        {kQtClassSine, kListSineSources, kTypeSineSource}, {kQtClassSpice, kListSpiceSources, -1},
        {kQtClassUser, kListUserSources, kTypeUserSource},
    };
    for (const Row& row : rows) {
        if (!compiled || !(deviceMask & row.bit)) continue;
        for (PoolItem* item = compiled->devices[row.list].pool.first; item; item = item->next) {
            if (item->type == kPoolItemDead) continue;
            auto* record = static_cast<DeviceRecord*>(item);
            // Current meters are the compiler's, not the user's devices.
            if (row.list == kListSpiceSources && static_cast<SourceRecord*>(record)->meteredSlot) continue;
            const int kind = row.type >= 0 ? row.type : qt_TypeOf(record->part);
            int32_t *n1 = nullptr, *n2 = nullptr;
            if (!qt_Terminals(kind, record, &n1, &n2)) continue;
            if (!((*n1 == a && *n2 == b) || (*n1 == b && *n2 == a))) continue;
            if (++matches == 1) {
                found = record;
                *type = kind;
                *reversed = *n1 == b && *n1 != *n2;
            }
        }
    }
    if (matches == 1) return found;
    *result = ReportCompileError(ctx, matches ? kMsgSeveralDevices : kMsgNoDevice, textA, textB);
    return nullptr;
}

int qt_CircuitExpressions::BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* callPointer) {
    const DeviceQuantityCall& call = *callPointer;
    const int code = call.row->code;
    const char* name = call.row->name;
    const uint32_t mask = call.row->deviceMask;
    const bool electrical =
        code == kTokVoltage || code == kTokCurrent || (code >= kTokCharge && code <= kTokResistance);
    CompiledCircuit* compiled = qt_Compiled();

    int type = -1;
    DeviceRecord* record = nullptr;
    bool reversed = false;
    std::string text;
    int result = 0;
    if (call.partName) {
        if (code == kTokVoltage || code == kTokCurrent || (code >= kTokCharge && code <= kTokResistance) ||
            code == kTokEnergy) {
            SchematicObject* part = FindQuantityPart(ctx, call.partName, mask, &type, name, true, &result);
            if (!part) return result;
            PartLink* link = compiled ? compiled->FindLink(part) : nullptr;
            record = link ? link->record : nullptr;
        } else {
            SchematicObject* part = FindPart(call.partName, ctx->scope);
            if (!part) return ReportCompileError(ctx, kMsgNoLabel, call.partName, name);
            type = qt_TypeOf(part);
            PartLink* link = compiled ? compiled->FindLink(part) : nullptr;
            record = link ? link->record : nullptr;
        }
        // A part the compile has not set up has nothing to bind to.
        if (!record) return ReportCompileError(ctx, kMsgNoLabel, call.partName, name);
        text = std::string(name) + "(" + call.partName + ")";
    } else {
        if (code == kTokVoltage) return 0;  // the node lexemes already read V(a) or V(a)-V(b)
        const bool twoNodes = call.argCount >= 2 && call.nodes[1] >= 0;
        if (!electrical || !twoNodes) return qt_Illegal(ctx, call, call.nodeTexts[0]);
        record = FindDeviceBetweenNodes(ctx, call.nodes[0], call.nodeTexts[0], call.nodes[1], call.nodeTexts[1], mask,
                                        &type, &reversed, &result);
        if (!record) return result;
        text = std::string(name) + "(" + call.nodeTexts[0] + "," + call.nodeTexts[1] + ")";
    }

    switch (code) {
    case kTokVoltage: {
        const ComponentType* row = GetComponentType(type);
        int32_t *a = nullptr, *b = nullptr;
        if (!row || (row->deviceBits & 0xc000) != 0x8000 || !qt_Terminals(type, record, &a, &b))
            return qt_Illegal(ctx, call, call.partName);
        CCTDoc* document = CurrentCircuitDocument();
        return SetVoltageDifferenceLexemes(ctx, call, *a, AnalogNodeName(document, *a).c_str(), *b,
                                           AnalogNodeName(document, *b).c_str());
    }
    case kTokCurrent:
        MarkQuantityReferenced(record, type, static_cast<uint8_t>(ctx->referenceFlags));
        return qt_BindCurrent(ctx, call, type, record, reversed, text);
    case kTokCapacitance:
    case kTokInductance:
    case kTokResistance: {
        double* field = qt_ValueField(code, type, record);
        if (!field) return qt_Illegal(ctx, call, call.partName ? call.partName : call.nodeTexts[0]);
        RemoveQuantityCall(ctx, call);
        return AppendFieldOperand(ctx, field, text.c_str());
    }
    case kTokPower:
    case kTokEnergy: {
        // The second letter of PD, PS, PG (ED, ES, EG) picks the power.
        const char which = name[0] && name[1] ? name[1] : 'D';
        const int index = which == 'S' ? kPowerStored : which == 'G' ? kPowerGenerated : kPowerDissipated;
        ComplexNumber* field = gSolver.AnalysisKind == 1 ? &record->acPower[index] : &record->power[index];
        MarkPowerReferenced(record, type, static_cast<uint8_t>(ctx->referenceFlags));
        RemoveQuantityCall(ctx, call);
        std::string power = text;
        power[0] = 'P';
        if (code == kTokPower) return AppendComplexFieldOperand(ctx, field, power.c_str());
        return AppendRunningIntegral(ctx, field, power.c_str());
    }
    default:
        // Charges and fluxes (the charge states' layout) and the core
        // quantities are read from what the device models keep; they are not
        // built yet.
        return ReportCompileError(ctx, kResultNotBuilt);
    }
}

ExprCircuit& CompiledCircuitExpressions() {
    static qt_CircuitExpressions circuit;
    return circuit;
}
