#include "compiler/displayparts.h"

#include <strings.h>
#include <cmath>
#include <cstdio>
#include <string>

#include "compiler/behavsetup.h"
#include "compiler/compiled.h"
#include "compiler/diodes.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

// Attributes these parts read.
enum DisplayAttribute : int {
    kDpState = 61,
    kDpTurnOnVoltages = 62,
    kDpHigh = 64,
    kDpLow = 65,
    kDpLin = 66,
    kDpIon = 67,
    kDpIoff = 68,
    kDpRon = 69,
    kDpRoff = 70,
    kDpSpeedFactor = 71,
    kDpAmpsOrVolts = 72,
    kDpColor = 76,
    kDpScale = 74,
    kDpAutoscale = 75,
    kDpMotorResistance = 78,
    kDpMotorInductance = 79,
    kDpInputResistance = 89,
    kDpRin = 91,
    kDpBidirectional = 92,
};

// Name kinds the parts register under (their component types).
enum DisplayKind : int {
    kDpKindDigitalLed = 125,
    kDpKindSpst = 137,
    kDpKindSpdt = 138,
    kDpKindDpst = 139,
    kDpKindTrafficLight = 140,
    kDpKindAnalogLed = 141,
    kDpKindMotor = 145,
    kDpKindMeter = 142,
    kDpKindBar = 143,
    kDpKindRelay = 144,
};

template <class T>
T* dp_AddRecord(int list, SchematicObject* part) {
    T* record = DeviceLists()[list].pool.AddNewConstructed<T>(DeviceListCreationKind[list]);
    if (!record) {
        ReportCompileOutOfMemory();
        return nullptr;
    }
    record->part = part;
    return record;
}

// The resistance of an added path to ground, and of an open meter.
double dp_NodeToGround() {
    const CircuitOptions* options = GetCircuitOptions(CurrentCircuitDocument());
    return options ? options->settings.rNodeGnd : GlobalSettings.rNodeGnd;
}
double dp_MaxResistance() {
    const CompiledCircuit* compiled = GetCompiledCircuit(CurrentCircuitDocument());
    return compiled ? compiled->maxResistance : 1e12;
}

bool dp_AttributeIs(SchematicObject* part, int id, const char* text) {
    int error = 0;
    const std::string value = SubstitutedAttribute(part, id, false, &error);
    return !error && strcasecmp(value.c_str(), text) == 0;
}

// A zero-volt sensor from the pin into a new node (returned in *node), and
// the sensing node's resistor to ground.
SourceRecord* dp_Sensor(int pin, int node, int* status) {
    return AddSourceDevice(pin, node, kSourceVoltage, 0.0, status);
}

// The switch resistance of SPST and DPST switches: RON when STATE reads CLOSED.
double dp_SwitchResistance(SchematicObject* part, int* status) {
    const bool closed = dp_AttributeIs(part, kDpState, "CLOSED");
    return EvaluatePartAttribute(part, closed ? kDpRon : kDpRoff, status);
}

// "name,VF,IF": the second and third comma fields (empty when absent).
void dp_ParseLedColor(const std::string& text, std::string* vf, std::string* forwardCurrent) {
    vf->clear();
    forwardCurrent->clear();
    const size_t first = text.find(',');
    if (first == std::string::npos) return;
    const size_t second = text.find(',', first + 1);
    *vf = text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second == std::string::npos) return;
    const size_t third = text.find(',', second + 1);
    *forwardCurrent = text.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
}

}  // namespace

int SetupSevenSegment(SchematicObject* part) {
    auto* record = dp_AddRecord<SevenSegmentRecord>(kListSevenSegments, part);
    if (!record) return kResultShown;
    // Not a name expressions can read: linked to its part only.
    if (CompiledCircuit* compiled = GetCompiledCircuit(CurrentCircuitDocument())) {
        PartLink& link = compiled->partLinks[part];
        link.record = record;
        link.listIndex = kListSevenSegments;
        link.deviceKind = part->definition ? part->definition->type : 0;
    }
    for (int i = 0; i < 7; ++i) record->nodes[i] = PartPin(part, i);
    return 0;
}

int SetupDigitalLed(SchematicObject* part) {
    auto* record = dp_AddRecord<DigitalLedRecord>(kListDigitalLeds, part);
    if (!record) return kResultShown;
    record->node = PartPin(part, 0);
    return RegisterPartName(record, kDpKindDigitalLed, nullptr, nullptr, part);
}

int SetupTrafficLight(SchematicObject* part) {
    auto* record = dp_AddRecord<TrafficLightRecord>(kListTrafficLights, part);
    if (!record) return kResultShown;
    for (int i = 0; i < 3; ++i) record->nodes[i] = PartPin(part, i);
    int status = 0;
    record->turnOnVoltage = EvaluatePartAttribute(part, kDpTurnOnVoltages, &status);
    if (status) return status;
    for (int i = 0; i < 3; ++i) {
        const int node = NewInternalNode();
        record->sensors[i] = dp_Sensor(record->nodes[i], node, &status);
        record->lamps[i] = AddResistorDevice(node, 0, dp_NodeToGround(), 0, &status);
        if (status) return status;
    }
    return RegisterPartName(record, kDpKindTrafficLight, nullptr, nullptr, part);
}

int SetupAnalogBar(SchematicObject* part) {
    auto* record = dp_AddRecord<BarMeterRecord>(kListBars, part);
    if (!record) return kResultShown;
    int status = 0;
    record->low = EvaluatePartAttribute(part, kDpLow, &status);
    record->high = EvaluatePartAttribute(part, kDpHigh, &status);
    if (status) return status;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    record->sensor = dp_Sensor(record->node1, NewInternalNode(), &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindBar, nullptr, nullptr, part);
}

int SetupMeterDisplay(CCTDoc* document, SchematicObject* part, BarMeterRecord* record) {
    (void)document;
    int error = 0;
    const std::string scale = SubstitutedAttribute(part, kDpScale, false, &error);
    if (error) return error == kResultShown ? error : ReportCompilerMessage(part, PartScope(part), nullptr, error);
    // SCALE is a scale suffix: "1" followed by it must be a number.
    const std::string probe = "1" + scale;
    EvaluateNumericText(probe.c_str(), &error, 0);
    if (error) {
        RecordPartLocation(part);
        return error == kResultShown ? error
                                     : ReportCompilerMessage(part, PartScope(part), nullptr, error, probe.c_str(), "");
    }
    if (record) {
        record->scale = scale;
        record->autoscale = dp_AttributeIs(part, kDpAutoscale, "On") ? 1 : 0;
    }
    return 0;
}

int SetupMeter(SchematicObject* part) {
    auto* record = dp_AddRecord<BarMeterRecord>(kListMeters, part);
    if (!record) return kResultShown;
    if (int rc = SetupMeterDisplay(CurrentCircuitDocument(), part, record)) return rc;
    int status = 0;
    record->low = EvaluatePartAttribute(part, kDpLow, &status);
    // An ammeter is a short, a voltmeter an open, unless the part says otherwise.
    double resistance = dp_AttributeIs(part, kDpAmpsOrVolts, "AMPS") ? 0.001 : dp_MaxResistance();
    int error = 0;
    if (!SubstitutedAttribute(part, kDpInputResistance, true, &error).empty() && !error)
        resistance = EvaluatePartAttribute(part, kDpInputResistance, &status);
    if (status) return status;
    const int sense = NewInternalNode();
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    record->sensor = dp_Sensor(record->node1, sense, &status);
    AddResistorDevice(sense, record->node2, resistance, 0, &status);
    record->high = EvaluatePartAttribute(part, kDpHigh, &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindMeter, nullptr, nullptr, part);
}

int SetupRelay(SchematicObject* part) {
    CCTDoc* document = CurrentCircuitDocument();
    auto* record = dp_AddRecord<RelayRecord>(kListRelays, part);
    if (!record) return kResultShown;
    int status = 0;
    record->lin = EvaluatePartAttribute(part, kDpLin, &status);
    record->ion = EvaluatePartAttribute(part, kDpIon, &status);
    record->ioff = EvaluatePartAttribute(part, kDpIoff, &status);
    record->ron = EvaluatePartAttribute(part, kDpRon, &status);
    record->roff = EvaluatePartAttribute(part, kDpRoff, &status);
    record->rin = EvaluatePartAttribute(part, kDpRin, &status);
    if (status) return status;
    record->bidirectional = dp_AttributeIs(part, kDpBidirectional, "YES") ? 1 : 0;
    record->coil1 = PartPin(part, 2);
    record->coil2 = PartPin(part, 3);
    record->contact1 = PartPin(part, 0);
    record->contact2 = PartPin(part, 1);

    const int c1 = NewInternalNode();
    const int c2 = NewInternalNode();
    record->coilSensor = dp_Sensor(record->coil1, c1, &status);
    record->coil = AddInductorDevice(record->lin, c1, c2, &status);
    AddResistorDevice(c2, record->coil2, record->rin, 0, &status);
    if (status) return status;

    auto* contact = DeviceLists()[kListWSwitches].pool.AddNewConstructed<CurrentSwitchRecord>(
        DeviceListCreationKind[kListWSwitches]);
    if (!contact) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    contact->part = part;
    record->contact = contact;
    const int c3 = NewInternalNode();
    record->contactSensor = dp_Sensor(record->contact1, c3, &status);
    if (status) return status;
    contact->node1 = c3;
    contact->node2 = record->contact2;
    contact->controllingSource = record->coilSensor;
    contact->controllingBranch = &record->coilSensor->branch;

    // The contact's switching law is a model of its own, made from the
    // relay's values; each relay of the circuit gets its own name.
    char name[64];
    std::snprintf(name, sizeof name, "$$$_$$$_WW_$_$_$%d", DeviceLists()[kListRelays].pool.count);
    char statement[256];
    std::snprintf(statement, sizeof statement, ".model %s ISWITCH(RON=%g ROFF=%g ION=%g IOFF=%g)", name, record->ron,
                  record->roff, record->ion, record->ioff);
    CircuitModels* models = GetCircuitModels(document);
    const StatementSource source{kSourceOtherObject, PartScope(part), reinterpret_cast<intptr_t>(part), -1};
    if (int rc = ParseModelStatement(models, statement, source, 0, "")) return rc;
    bool reported = false;
    const int row = FindModelByName(models, kModelISwitch, PartScope(part), name, &reported);
    contact->model = row >= 0 ? FindModel(models, row) : nullptr;
    if (!contact->model) return kResultShown;
    return RegisterPartName(record, kDpKindRelay, nullptr, nullptr, part);
}

int SetupSpstSwitch() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = dp_AddRecord<AnimatedSwitchRecord>(kListSpstSwitches, part);
    if (!record) return kResultShown;
    record->nodes[0] = PartPin(part, 0);
    record->nodes[1] = PartPin(part, 1);
    int status = 0;
    const double resistance = dp_SwitchResistance(part, &status);
    if (status) return status;
    const int r = NewInternalNode();
    record->contacts[0] = AddResistorDevice(r, record->nodes[1], resistance, 0, &status);
    record->sensors[0] = dp_Sensor(record->nodes[0], r, &status);
    AddResistorDevice(r, 0, dp_NodeToGround(), 0, &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindSpst, nullptr, nullptr, part);
}

int SetupSpdtSwitch() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = dp_AddRecord<AnimatedSwitchRecord>(kListSpdtSwitches, part);
    if (!record) return kResultShown;
    for (int i = 0; i < 3; ++i) record->nodes[i] = PartPin(part, i);
    int status = 0;
    const bool up = dp_AttributeIs(part, kDpState, "UP");
    const double ron = EvaluatePartAttribute(part, kDpRon, &status);
    const double roff = EvaluatePartAttribute(part, kDpRoff, &status);
    if (status) return status;
    const int a = NewInternalNode();
    const int b = NewInternalNode();
    const int c = NewInternalNode();
    record->contacts[0] = AddResistorDevice(a, c, up ? ron : roff, 0, &status);
    record->sensors[0] = dp_Sensor(record->nodes[0], a, &status);
    record->contacts[1] = AddResistorDevice(b, c, up ? roff : ron, 0, &status);
    record->sensors[1] = dp_Sensor(record->nodes[1], b, &status);
    record->sensors[2] = dp_Sensor(record->nodes[2], c, &status);
    for (int node : {a, b, c}) AddResistorDevice(node, 0, dp_NodeToGround(), 0, &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindSpdt, nullptr, nullptr, part);
}

int SetupDpstSwitch() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = dp_AddRecord<AnimatedSwitchRecord>(kListDpstSwitches, part);
    if (!record) return kResultShown;
    for (int i = 0; i < 4; ++i) record->nodes[i] = PartPin(part, i);
    int status = 0;
    const double resistance = dp_SwitchResistance(part, &status);
    if (status) return status;
    const int n1 = NewInternalNode();
    const int n2 = NewInternalNode();
    record->contacts[0] = AddResistorDevice(n1, record->nodes[1], resistance, 0, &status);
    record->sensors[0] = dp_Sensor(record->nodes[0], n1, &status);
    record->contacts[1] = AddResistorDevice(n2, record->nodes[3], resistance, 0, &status);
    record->sensors[1] = dp_Sensor(record->nodes[2], n2, &status);
    for (int node : {n1, n2}) AddResistorDevice(node, 0, dp_NodeToGround(), 0, &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindDpst, nullptr, nullptr, part);
}

int SetupAnalogLed(SchematicObject* part) {
    auto* record = dp_AddRecord<AnalogLedRecord>(kListAnalogLeds, part);
    if (!record) return kResultShown;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    const int anode = NewInternalNode();
    int status = 0;
    record->toGround[0] = AddResistorDevice(record->node1, 0, dp_NodeToGround(), 0, &status);
    record->toGround[1] = AddResistorDevice(record->node2, 0, dp_NodeToGround(), 0, &status);
    if (status) return status;

    int error = 0;
    const std::string color = SubstitutedAttribute(part, kDpColor, false, &error);
    if (error) return error == kResultShown ? error : ReportCompilerMessage(part, PartScope(part), nullptr, error);
    std::string vfText, ifText;
    dp_ParseLedColor(color, &vfText, &ifText);
    double values[2] = {};
    const std::string* texts[2] = {&vfText, &ifText};
    for (int i = 0; i < 2; ++i) {
        values[i] = EvaluateNumericText(texts[i]->c_str(), &error, 0);
        if (error) {
            RecordPartLocation(part);
            return error == kResultShown
                       ? error
                       : ReportCompilerMessage(part, PartScope(part), nullptr, error, texts[i]->c_str(), "");
        }
    }
    const double vf = values[0], forwardCurrent = values[1];

    // A diode of its own default model, not a name expressions can read.
    record->diode = SetupDiode(anode, record->node2, "", kModelDiode, nullptr, &status);
    if (status) return status;
    if (record->diode && record->diode->model) {
        record->lightingVoltage = 1.001 * vf;
        record->forwardCurrent = forwardCurrent;
        ModelRecord* model = record->diode->model;
        // IS so that IF flows at VF (VF / 0.025864 volts per thermal voltage).
        SetModelParameter(model, "IS", forwardCurrent / std::exp(vf * 38.66377977111042));
        SetModelParameter(model, "RS", 0.001);
        SetModelParameter(model, "RL", 1e12);
        SetModelParameter(model, "CJO", 1e-9);
        SetModelParameter(model, "TT", 1e-6);
    }
    record->sensor = dp_Sensor(record->node1, anode, &status);
    if (status) return status;
    return RegisterPartName(record, kDpKindAnalogLed, nullptr, nullptr, part);
}

int SetupMotor(SchematicObject* part) {
    auto* record = dp_AddRecord<DcMotorRecord>(kListDcMotors, part);
    if (!record) return kResultShown;
    int status = 0;
    record->speedFactor = EvaluatePartAttribute(part, kDpSpeedFactor, &status);
    const double resistance = EvaluatePartAttribute(part, kDpMotorResistance, &status);
    const double inductance = EvaluatePartAttribute(part, kDpMotorInductance, &status);
    if (status) return status;
    for (int i = 0; i < 3; ++i) record->nodes[i] = PartPin(part, i);
    const int m1 = NewInternalNode();
    const int m2 = NewInternalNode();
    record->sensor = dp_Sensor(record->nodes[0], m1, &status);
    record->armatureResistor = AddResistorDevice(m1, m2, resistance, 0, &status);
    record->armatureInductor = AddInductorDevice(inductance, m2, record->nodes[1], &status);
    AddResistorDevice(record->nodes[2], 0, dp_MaxResistance(), 0, &status);
    if (status) return status;
    char text[96];
    std::snprintf(text, sizeof text, "V(%d,%d)*%g", record->nodes[0], record->nodes[1], record->speedFactor);
    record->speed = NewFunctionSource(37, record->nodes[2], 0, text, &status);
    if (!record->speed) return status ? status : kResultShown;
    record->speed->part = part;
    return RegisterPartName(record, kDpKindMotor, nullptr, nullptr, part);
}
