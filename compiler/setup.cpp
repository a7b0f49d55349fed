#include "compiler/setup.h"

#include <cstdio>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/behavsetup.h"
#include "compiler/depsources.h"
#include "compiler/diodes.h"
#include "compiler/displayparts.h"
#include "compiler/mosfets.h"
#include "compiler/opampsetup.h"
#include "compiler/passives.h"
#include "compiler/session.h"
#include "compiler/setupservices.h"
#include "compiler/sources.h"
#include "compiler/support.h"
#include "compiler/transistors.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "shell/document.h"

namespace {

constexpr int kStTypeAnalogState = 129;
constexpr int kStTypePjfet = 24;
constexpr int kStTypeNjfet = 25;
constexpr int kStTypeNpn4 = 36;
constexpr int kStTypePnp4 = 38;

// clang-format off
const MessageRow kStPartSetupMessageRows[] = {
    {10621, "%EMissing vn value in PWL."},
    {10622, "%ENeed at least two values for '%s'."},
    {10623, "%WStimulus not supported in PWL."},
    {10624, "%EMissing FOR value in PWL."},
    {10625, "%EExpecting FOR or FOREVER in PWL."},
    {10626, "%EENDREPEAT before REPEAT in PWL"},
    {10627, "%EMissing ENDREPEAT in PWL."},
    {10628, "%WFILE not supported in PWL."},
    {10629, "%WMissing Value after TIME_SCALE_FACTOR."},
    {10630, "%EMissing Value after VALUE_SCALE_FACTOR."},
    {10632, "%EEmpty REPEAT ENDREPEAT block in PWL."},
    {10633, "%ETIME_SCALE_FACTOR can not be zero."},
    {10634, "%EWIDTH must be positive."},
    {10635, "%EIllegal value '%s'."},
    {10806, "%EError in coupling device. Missing K value."},
    {10839, "%EAlready have a DC value."},
    {10841, "%EMust specify part name."},
    {10847, "%EUnknown identifier '%s'."},
    {11852, "%EIllegal use of '%s'."},
    {11960, "%W%s is not used: no distortion analysis reads its values."},
};
// clang-format on

}  // namespace

void RegisterPartSetupMessages() {
    RegisterMessages(kStPartSetupMessageRows,
                     static_cast<int>(sizeof(kStPartSetupMessageRows) / sizeof(kStPartSetupMessageRows[0])));
}

PartSetupKind SetupKindOfType(int componentType) {
    switch (componentType) {
    case kTypeBattery:
    case kTypeVSpice: return PartSetupKind::SpiceVoltage;
    case kTypeISpice:
    case kTypeIsource: return PartSetupKind::SpiceCurrent;
    case kStTypeAnalogState: return PartSetupKind::AnalogState;
    case kTypeResistor: return PartSetupKind::Resistor;
    case kTypeCapacitor: return PartSetupKind::Capacitor;
    case kTypeInductor: return PartSetupKind::Inductor;
    case kTypeK: return PartSetupKind::Coupling;
    case kTypeTransformer: return PartSetupKind::Transformer;
    case kTypePulseSource: return PartSetupKind::PulseSource;
    case kTypeSineSource: return PartSetupKind::SineSource;
    case kTypeUserSource: return PartSetupKind::UserSource;
    case kTypeSubckt: return PartSetupKind::Subcircuit;
    case kTypeOpamp: return PartSetupKind::Opamp;
    case kTypeGround: return PartSetupKind::Ground;
    case kTypeGIofV:
    case 51:
    case 52:
    case kTypeHVofI: return PartSetupKind::PolySource;
    case 26:
    case 27:
    case 28:
    case 29: return PartSetupKind::LinearDependent;
    case kTypeTline: return PartSetupKind::TransmissionLine;
    case kTypeSwitch: return PartSetupKind::Switch;
    case 115: return PartSetupKind::VoltageSwitch;
    case 116: return PartSetupKind::CurrentSwitch;
    case kTypeNpn:
    case kTypePnp:
    case kStTypeNpn4:
    case kStTypePnp4: return PartSetupKind::Bipolar;
    case kStTypePjfet:
    case kStTypeNjfet: return PartSetupKind::Jfet;
    case kTypeGaAsFet: return PartSetupKind::GaAsFet;
    case kTypeNmos:
    case kTypePmos: return PartSetupKind::Mosfet;
    case kTypeDiode: return PartSetupKind::Diode;
    case kTypeSevenSegment: return PartSetupKind::SevenSegment;
    case kTypeDigitalLed: return PartSetupKind::DigitalLed;
    case kTypeSpstSwitch: return PartSetupKind::SpstSwitch;
    case 138: return PartSetupKind::SpdtSwitch;
    case 139: return PartSetupKind::DpstSwitch;
    case 140: return PartSetupKind::TrafficLight;
    case 141: return PartSetupKind::AnalogLed;
    case 142: return PartSetupKind::Meter;
    case 143: return PartSetupKind::AnalogBar;
    case 144: return PartSetupKind::Relay;
    case 145: return PartSetupKind::Motor;
    case 35:
    case 37: return PartSetupKind::FunctionSource;
    case kTypeSampleAndHold: return PartSetupKind::SampleHold;
    case kTypeTimer: return PartSetupKind::Timer;
    default: break;
    }
    if (componentType >= 31 && componentType <= 34) return PartSetupKind::LaplaceSource;
    if (componentType >= 131 && componentType <= 134) return PartSetupKind::ZLaplaceSource;
    if (componentType >= 39 && componentType <= 42) return PartSetupKind::TableSource;
    if (componentType >= 43 && componentType <= 46) return PartSetupKind::LaplaceTable;
    switch (componentType) {
    default: break;
    }
    // Types with a set-up of their own that this build does not have yet:
    // semiconductors, switches, lines, opamps, controlled, Laplace, function and
    // table sources, macros and subcircuits, display and animated parts, N-ports.
    const bool notBuilt = (componentType >= 5 && componentType <= 9) || componentType == 12 || componentType == 15 ||
                          componentType == 19 || componentType == kTypeMacro ||
                          (componentType >= 24 && componentType <= 29) ||
                          (componentType >= 31 && componentType <= 46) || componentType == kTypeGaAsFet ||
                          (componentType >= kTypeSubckt && componentType <= kTypeHVofI) || componentType == 115 ||
                          componentType == 116 || componentType == kTypeDigitalLed ||
                          componentType == kTypeSevenSegment || (componentType >= 131 && componentType <= 146);
    return notBuilt ? PartSetupKind::NotBuilt : PartSetupKind::None;
}

namespace {

// The VALUE text with defines substituted, for the rows that read it.
int st_SourceSetup(SchematicObject* part, int node1, int node2, int kind) {
    int error = 0;
    char* text = SubstitutePartValue(CurrentCircuitDocument(), part, &error);
    if (error) {
        FreeString(&text);
        return error;
    }
    int rc = SetupSpiceSource(node1, node2, kind, part, text);
    FreeString(&text);
    return rc;
}

// Bipolar (pins collector, base, emitter[, substrate]) and JFET (drain, gate,
// source) parts with their own models.
int st_TransistorSetup(SchematicObject* part, int type, bool bipolar) {
    int error = 0;
    char* text = SubstitutePartValue(CurrentCircuitDocument(), part, &error);
    if (error) {
        FreeString(&text);
        return error;
    }
    int status = 0;
    if (bipolar)
        SetupBipolar(PartPin(part, 1), PartPin(part, 2), PartPin(part, 0), PartPin(part, 3), text, -1, type, &status);
    else
        SetupJfet(PartPin(part, 1), PartPin(part, 0), PartPin(part, 2), -1, type, text, &status);
    FreeString(&text);
    return status;
}

int st_SetupPart(SchematicObject* part, CompiledCircuit* compiled) {
    const int type = part->definition->type;
    switch (SetupKindOfType(type)) {
    case PartSetupKind::None: return 0;
    case PartSetupKind::Ground: compiled->groundSeen = true; return 0;
    case PartSetupKind::NotBuilt:
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), nullptr, kResultNotBuilt);
    case PartSetupKind::SpiceVoltage: return st_SourceSetup(part, PartPin(part, 0), PartPin(part, 1), kSourceVoltage);
    case PartSetupKind::SpiceCurrent: return st_SourceSetup(part, PartPin(part, 0), PartPin(part, 1), kSourceCurrent);
    case PartSetupKind::AnalogState: {
        int rc = st_SourceSetup(part, PartPin(part, 0), 0, kSourceVoltage);
        if (!rc) compiled->groundSeen = true;
        return rc;
    }
    case PartSetupKind::Resistor: return SetupResistor();
    case PartSetupKind::Capacitor: return SetupCapacitor();
    case PartSetupKind::Inductor: return SetupInductor();
    case PartSetupKind::Coupling: return SetupCoupling();
    case PartSetupKind::Transformer: return SetupTransformer();
    case PartSetupKind::PulseSource: return SetupPulseSource();
    case PartSetupKind::SineSource: return SetupSineSource();
    case PartSetupKind::UserSource: return SetupUserSource();
    case PartSetupKind::PolySource: return SetupPolySource();
    case PartSetupKind::LinearDependent: return SetupLinearTransducer(type);
    case PartSetupKind::TransmissionLine: return SetupIdealLine();
    case PartSetupKind::Switch: return SetupSwitch();
    case PartSetupKind::VoltageSwitch: return SetupVoltageSwitch();
    case PartSetupKind::CurrentSwitch: return SetupCurrentSwitch();
    case PartSetupKind::Bipolar: return st_TransistorSetup(part, type, true);
    case PartSetupKind::Jfet: return st_TransistorSetup(part, type, false);
    case PartSetupKind::GaAsFet: return SetupGaAsFet();
    case PartSetupKind::Mosfet: return SetupMosfet(type);
    case PartSetupKind::Diode: return SetupDiodePart(part);
    case PartSetupKind::Subcircuit: return RegisterPartName(nullptr, kTypeSubckt, nullptr, nullptr, part);
    case PartSetupKind::Opamp: return SetupOpamp(part);
    case PartSetupKind::SevenSegment: return SetupSevenSegment(part);
    case PartSetupKind::DigitalLed: return SetupDigitalLed(part);
    case PartSetupKind::TrafficLight: return SetupTrafficLight(part);
    case PartSetupKind::AnalogBar: return SetupAnalogBar(part);
    case PartSetupKind::Meter: return SetupMeter(part);
    case PartSetupKind::Relay: return SetupRelay(part);
    case PartSetupKind::SpstSwitch: return SetupSpstSwitch();
    case PartSetupKind::SpdtSwitch: return SetupSpdtSwitch();
    case PartSetupKind::DpstSwitch: return SetupDpstSwitch();
    case PartSetupKind::AnalogLed: return SetupAnalogLed(part);
    case PartSetupKind::Motor: return SetupMotor(part);
    case PartSetupKind::FunctionSource: return SetupFunctionSource(type);
    case PartSetupKind::LaplaceSource: return SetupLaplaceSource(type, false);
    case PartSetupKind::ZLaplaceSource: return SetupLaplaceSource(type - 100, true);
    case PartSetupKind::TableSource: return SetupTableSource(type);
    case PartSetupKind::LaplaceTable: return SetupLaplaceTable(type);
    case PartSetupKind::SampleHold: return SetupSampleHold();
    case PartSetupKind::Timer: return SetupTimer();
    }
    return 0;
}

// "Processing component %d of %d %d%%" every hundredth of a long list, shown
// only when it changed.
void st_ShowProgress(int counter, int count, std::string* lastText) {
    if (count <= 1000 || !StatusBar().IsShown() || counter % (count / 100) != 0) return;
    char text[96];
    std::snprintf(text, sizeof text, "Processing component %d of %d %d%%", counter, count,
                  static_cast<int>(100.0 * counter / count));
    if (*lastText == text) return;
    *lastText = text;
    StatusBar().SetStatusText(text);
}

}  // namespace

namespace {

// The set-up services work on the run context's circuit: the one set up is
// made current for the loop.
class st_CurrentCircuit {
public:
    explicit st_CurrentCircuit(CCTDoc* document) : previous_(CurrentRunContext().circuitDocument) {
        CurrentRunContext().circuitDocument = document;
    }
    ~st_CurrentCircuit() { CurrentRunContext().circuitDocument = previous_; }
    st_CurrentCircuit(const st_CurrentCircuit&) = delete;
    st_CurrentCircuit& operator=(const st_CurrentCircuit&) = delete;

private:
    CDoc* previous_;
};

}  // namespace

int ProcessComponents(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    st_CurrentCircuit current(document);
    DeviceListScope scope(compiled->devices);
    // The part being set up is the source of the set-up's messages only while
    // it runs: afterwards the part may go with its document.
    struct SetupPartReset {
        ~SetupPartReset() { CurrentSetupPart = nullptr; }
    } resetSetupPart;
    int count = 0;
    if (document->objects.count > 1000)  // only long lists show progress
        for (PoolItem* item = document->objects.first; item; item = item->next)
            if (item->type != kPoolItemDead && static_cast<SchematicObject*>(item)->IsComponent()) ++count;
    int counter = 0;
    std::string lastText;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || !part->definition) continue;
        CurrentSetupPart = part;
        part->state &= static_cast<uint8_t>(~kObjectHighlighted);
        compiled->partLinks.erase(part);
        ++counter;
        if (IsPartSkipped(part)) continue;
        st_ShowProgress(counter, count, &lastText);
        const ComponentType* row = GetComponentType(part->definition->type);
        if (!row || row->digital == 1) continue;
        int rc = st_SetupPart(part, compiled);
        if (rc) return rc;
        document->build.typeCounts.Increment(part->definition->type);
    }
    return 0;
}
