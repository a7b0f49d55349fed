#include "document/partnames.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/parts.h"
#include "shell/report.h"

namespace {

class pn_NoCatalog final : public ComponentCatalogPort {
public:
    ComponentDef* CurrentComponent() override { return nullptr; }
    void AddRecentComponent(ComponentDef*) override {}
    bool FindPackage(const SchematicObject*, PackageMatch*) override { return false; }
};

PortSlot<ComponentCatalogPort, pn_NoCatalog> pn_catalog;

}  // namespace

ComponentCatalogPort& ComponentCatalog() { return pn_catalog.Get(); }
ComponentCatalogPort* InstallComponentCatalog(ComponentCatalogPort* port) { return pn_catalog.Install(port); }

namespace {

constexpr int kPnFirstPlacePosition = 1;
constexpr int kPnLastPlacePosition = 31999;
constexpr size_t kPnNameSize = 64;
constexpr size_t kPnFormatMax = 512;

// Type rows named by number here only.
constexpr int kPnTypeNfi = 35;
constexpr int kPnTypeNfv = 37;
constexpr int kPnTypeSpdtSwitch = 138;
constexpr int kPnTypeDpstSwitch = 139;
constexpr int kPnTypeMeter = 142;
constexpr int kPnTypeAnalogBar = 143;
constexpr int kPnTypeRelay = 144;

// Standard attribute ids named by number here only.
constexpr int kPnAttrTurnOnVoltages = 62;
constexpr int kPnAttrLin = 66;
constexpr int kPnAttrIon = 67;
constexpr int kPnAttrIoff = 68;
constexpr int kPnAttrRpspv = 71;
constexpr int kPnAttrScale = 74;
constexpr int kPnAttrAutoscale = 75;
constexpr int kPnAttrRmotor = 78;
constexpr int kPnAttrLmotor = 79;
constexpr int kPnAttrElapsedScale = 81;
constexpr int kPnAttrIncrement = 82;
constexpr int kPnAttrInitial = 83;
constexpr int kPnAttrMin = 84;
constexpr int kPnAttrMax = 85;
constexpr int kPnAttrDerivative = 86;
constexpr int kPnAttrRepeat = 88;
constexpr int kPnAttrRin = 91;
constexpr int kPnAttrBidirectional = 92;

constexpr uint8_t kPnMeterBorderColor = 56;

const char* pn_Prefix(int type) {
    const ComponentType* row = GetComponentType(type);
    return row && row->prefix ? row->prefix : " ";
}

// A prefix counts as one letter only when it is exactly one letter A-Z.
bool pn_IsOneLetter(const char* prefix) {
    return prefix[0] && !prefix[1] && HasCharClass(prefix[0], CC_ALPHA) && prefix[0] != '_';
}

bool pn_IsBlankPrefix(const char* prefix) { return !prefix[0] || HasOnlyCharClass(prefix, CC_SPACE); }

int32_t pn_Advance(int32_t value) { return value < INT_MAX ? value + 1 : value; }

bool pn_IsDigitalType(int type) {
    const ComponentType* row = GetComponentType(type);
    return row && row->digital == 1;
}

int pn_ModelId(int type) { return pn_IsDigitalType(type) ? kAttrTimingModel : kAttrModel; }

int pn_FirstAttributeId(int type) {
    const ComponentType* row = GetComponentType(type);
    return row ? row->attributeIds[0] : 0;
}

int pn_ModelType(int type) {
    const ComponentType* row = GetComponentType(type);
    return row ? row->modelType : -1;
}

bool pn_AsksForDialog(int type) {
    const ComponentType* row = GetComponentType(type);
    return row && (row->digitalFlags & kDigPassiveValue) != 0;
}

// The parts the user works by clicking on them; they have no attribute dialog
// on placing and never take their definition's name as their model.
bool pn_IsInteractiveType(int type) {
    return type == kTypeDigitalLed || type == kTypeSevenSegment || type == kTypeDigitalSwitch ||
           type == kTypeSpstSwitch || type == kPnTypeSpdtSwitch || type == kPnTypeDpstSwitch;
}

const char* pn_NonEmpty(const SchematicObject* component, int id) {
    const char* text = GetAttributeText(component, id);
    return text[0] ? text : nullptr;
}

void pn_Show(PartAttribute* attribute) {
    if (attribute) attribute->flags |= kAttrShowValue;
}

void pn_UpdateViews(CCirDoc* document) { SchematicView().UpdateViews(document); }

}  // namespace

// ---- counters ---------------------------------------------------------------------------------

int PartCounterOfType(int type) {
    const char* prefix = pn_Prefix(type);
    return pn_IsOneLetter(prefix) ? UpperChar(prefix[0]) - 'A' : kSharedPartCounter;
}

char* CCirDoc::NextPartName(char* buffer, size_t size, int type) {
    if (!buffer || size == 0) return buffer;
    const char* prefix = pn_Prefix(type);
    int counter = PartCounterOfType(type);
    if (counter == kSharedPartCounter) {
        partCounters[counter] = pn_Advance(partCounters[counter]);
        FormatBounded(buffer, size, "%s%d", pn_IsBlankPrefix(prefix) ? "Part" : prefix, partCounters[counter]);
    } else if (type == kTypeTie) {
        // New ties share the last tie's name and so join it.
        FormatBounded(buffer, size, "%c%d", UpperChar(prefix[0]), partCounters[counter] ? partCounters[counter] : 1);
    } else {
        partCounters[counter] = pn_Advance(partCounters[counter]);
        FormatBounded(buffer, size, "%c%d", UpperChar(prefix[0]), partCounters[counter]);
    }
    return buffer;
}

PartAttribute* CCirDoc::AssignNextPartName(SchematicObject* component) {
    if (!component) return nullptr;
    char name[kPnNameSize] = "";
    if (component->definition) NextPartName(name, sizeof name, component->definition->type);
    PartAttribute* part = SetAttribute(this, component, kAttrPart, name);
    pn_Show(part);
    return part;
}

void RecountFromPart(CCirDoc* document, SchematicObject* component) {
    if (!document || !component) return;
    const PartAttribute* part = FindAttribute(component, kAttrPart);
    if (!part) return;
    const char* text = part->Value();
    int type = component->definition ? component->definition->type : -1;
    char first = UpperChar(text[0]);
    int counter;
    // Prefixless types count Part1, Part2 ... on the shared counter, the same
    // one NextPartName takes their names from; read by the letter "P" they
    // would be named twice.
    if (first == ' ' || (component->definition && PartCounterOfType(type) == kSharedPartCounter))
        counter = kSharedPartCounter;
    else if (first >= 'A' && first <= 'Z')
        counter = first - 'A';
    else
        return;
    size_t digitsAt = LengthWithoutTrailingDigits(text);
    if (!text[digitsAt]) return;
    long long n = 0;
    for (const char* d = text + digitsAt; *d; ++d)
        n = std::min(n * 10 + (*d - '0'), static_cast<long long>(INT_MAX - 1));
    if (n > document->partCounters[counter] || type == kTypeTie)
        document->partCounters[counter] = static_cast<int32_t>(n);
}

void CCirDoc::RecountPartNumbers() {
    std::fill(std::begin(partCounters), std::end(partCounters), 0);
    for (PoolItem* item = objects.first; item; item = item->next) {
        auto* o = static_cast<SchematicObject*>(item);
        if (o->IsComponent()) RecountFromPart(this, o);
    }
}

// ---- default attributes -----------------------------------------------------------------------

namespace {

struct pn_DefaultsInput {
    int type;
    const ComponentDef* definition;  // the caller's; may be null
    const SchematicObject* component;
    const char* firstValue;
    const char* model;
    const char* ioModel;
    const char* powerNode;
    const char* groundNode;
};

// The default text of attribute `id` in slot `slot` of the type's list.
const char* pn_DefaultText(const pn_DefaultsInput& in, int id, int slot, char* buffer, size_t size, bool* ledIndex) {
    const char* fallback = slot == 0 && in.firstValue ? in.firstValue : "";
    const char* definitionName = in.definition ? in.definition->Name() : "";
    *ledIndex = false;
    switch (id) {
    case kAttrModel:
    case kAttrTimingModel: return in.model ? in.model : fallback;
    case kAttrFile: return in.type == kTypeMacro && in.definition ? definitionName : fallback;
    case kAttrName: return definitionName;
    case kAttrIoModel: return in.ioModel && in.ioModel[0] ? in.ioModel : "IO_STD";
    case kAttrPowerNode: return in.powerNode && in.powerNode[0] ? in.powerNode : "$G_DPWR";
    case kAttrGroundNode: return in.groundNode && in.groundNode[0] ? in.groundNode : "$G_DGND";
    case kAttrFormat: {
        if (in.type != kTypeStim) return fallback;
        int pins = in.component->definition ? in.component->definition->pinCount : 0;
        size_t n = std::min(static_cast<size_t>(std::max(pins, 0)), std::min(kPnFormatMax, size - 1));
        std::memset(buffer, '1', n);
        buffer[n] = 0;
        return buffer;
    }
    case kAttrMntymxdly:
    case kAttrIoLevel:
    case kAttrTimestep:
    case kPnAttrInitial:
    case kPnAttrMin: return "0";
    case kPnAttrTurnOnVoltages:
    case kPnAttrRpspv:
    case kPnAttrRmotor:
    case kPnAttrLmotor:
    case kPnAttrElapsedScale:
    case kPnAttrIncrement:
    case kPnAttrRepeat: return "1";
    case kAttrOnState: return "High";
    case kAttrHigh: return in.type == kPnTypeMeter || in.type == kPnTypeAnalogBar ? "10" : fallback;
    case kAttrLow: return in.type == kPnTypeMeter || in.type == kPnTypeAnalogBar ? "0" : fallback;
    case kPnAttrLin: return in.type == kPnTypeRelay ? "100m" : fallback;
    case kPnAttrIon: return in.type == kPnTypeRelay ? "10m" : fallback;
    case kPnAttrIoff: return in.type == kPnTypeRelay ? "9m" : fallback;
    case kAttrRon: return "1m";
    case kAttrRoff: return "1e15";
    case kPnAttrScale: return "None";
    case kPnAttrAutoscale: return "On";
    case kPnAttrMax: return "1e9";
    case kPnAttrRin: return "100";
    case kPnAttrBidirectional: return "No";
    case kAttrColor:
    case kAttrColorIndex: {
        const char* color = nullptr;
        int index = 0;
        if (!SchematicEditor().FirstLedColor(&color, &index)) return fallback;
        if (id == kAttrColor) return color ? color : "";
        FormatBounded(buffer, size, "%d", index);
        *ledIndex = true;
        return buffer;
    }
    default: return fallback;
    }
}

// Defaults complete a part: a value the part already has is kept (a part read
// from a file gets its missing attributes without losing its data). The
// attribute, or null when it could not be stored; *added tells whether the
// default text went in.
PartAttribute* pn_Complete(CCirDoc* document, SchematicObject* component, int id, const char* text, bool* added,
                           int* result) {
    PartAttribute* attribute = FindAttribute(component, id);
    *added = false;
    if (attribute && attribute->HasValue()) return attribute;
    attribute = SetAttribute(document, component, id, text);
    if (!attribute)
        *result = kResultNoMemory;
    else
        *added = true;
    return attribute;
}

void pn_CompleteText(CCirDoc* document, SchematicObject* component, int id, const char* text, int* result) {
    bool added = false;
    pn_Complete(document, component, id, text, &added, result);
}

}  // namespace

int SetNewPartDefaults(CCirDoc* document, SchematicObject* component, const char* powerNode, const char* groundNode,
                       const char* firstValue, const char* model, const char* ioModel, const ComponentDef* definition,
                       int options) {
    if (!document || !component || !component->definition) return kOk;
    const int type = component->definition->type;
    const ComponentType* row = GetComponentType(type);
    if (!row || type == kTypeGround || type == kTypeJumper) return kOk;
    int result = kOk;
    bool added = false;
    if (type != kTypeBlank) pn_Complete(document, component, kAttrPart, "", &added, &result);

    pn_DefaultsInput in{type, definition, component, firstValue, model, ioModel, powerNode, groundNode};
    const uint16_t mask = definition ? definition->mask : 0;
    for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
        int id = row->attributeIds[slot];
        if (!IsStandardAttributeId(id)) continue;
        char buffer[kPnFormatMax + 1];
        bool ledIndex = false;
        const char* text = pn_DefaultText(in, id, slot, buffer, sizeof buffer, &ledIndex);
        PartAttribute* attribute = pn_Complete(document, component, id, text, &added, &result);
        if (!attribute || !added) continue;
        if (ledIndex) attribute->flags |= kAttrLedColor;
        bool shown = type == kTypeBlank || ((mask & kDefShowModelName) && id == pn_ModelId(type)) ||
                     ((mask & kDefShowPrimaryAttribute) && slot == 0);
        if (shown) pn_Show(attribute);
    }

    if (document->MainView() && type != kTypeTie && type != kTypeBlank) {
        if (!(options & kDefaultsNoPackage) && !GetAttributeText(component, kAttrPackage)[0])
            AssignPackage(document, component, (options & kDefaultsPackageFromTwin) != 0);
        char number[40];
        double cost = definition ? definition->cost : 0.0;
        double power = definition ? definition->power : 0.0;
        if (cost != 0.0)
            FormatBounded(number, sizeof number, "%.8g", cost);
        else
            number[0] = 0;
        pn_CompleteText(document, component, kAttrCost, number, &result);
        if (power != 0.0)
            FormatBounded(number, sizeof number, "%.8g", power);
        else
            number[0] = 0;
        pn_CompleteText(document, component, kAttrPower, number, &result);
    }

    switch (type) {
    case kPnTypeNfi:
    case kPnTypeNfv: pn_CompleteText(document, component, kPnAttrDerivative, "Default", &result); break;
    case kTypeDigitalSwitch: pn_CompleteText(document, component, kAttrState, "1", &result); break;
    case kTypeSpstSwitch:
    case kPnTypeDpstSwitch: pn_CompleteText(document, component, kAttrState, "Open", &result); break;
    case kPnTypeSpdtSwitch: pn_CompleteText(document, component, kAttrState, "Up", &result); break;
    case kPnTypeMeter:
        pn_CompleteText(document, component, kAttrAnalogOrDigital, "Analog", &result);
        pn_CompleteText(document, component, kAttrAmpsOrVolts, "Volts", &result);
        component->borderColor = kPnMeterBorderColor;
        break;
    default: break;
    }
    return result;
}

int SetPlainPartDefaults(CCirDoc* document, SchematicObject* component, int options) {
    return SetNewPartDefaults(document, component, nullptr, nullptr, "", "", nullptr, nullptr, options);
}

// ---- packages -----------------------------------------------------------------------------------

bool FindPackageOf(CCirDoc* document, SchematicObject* component, PackageMatch* match) {
    PackageMatch found;
    if (!component || !ComponentCatalog().FindPackage(component, &found) || !found.packageName) return false;
    SetAttribute(document, component, kAttrPackage, found.packageName);
    if (match) *match = found;
    return true;
}

void AssignPackage(CCirDoc* document, SchematicObject* component, bool copyFromTwin) {
    if (!document || !component) return;
    SetAttribute(document, component, kAttrPackage, "");
    if (copyFromTwin) {
        const SchematicObject* twin = nullptr;
        for (PoolItem* item = document->objects.first; item && !twin; item = item->next) {
            auto* o = static_cast<SchematicObject*>(item);
            if (o != component && o->IsComponent() && o->definition == component->definition) twin = o;
        }
        if (!twin || !GetAttributeText(twin, kAttrPackage)[0]) return;
        SetAttribute(document, component, kAttrPackage, GetAttributeText(twin, kAttrPackage));
        SetAttribute(document, component, kAttrGate, GetAttributeText(twin, kAttrGate));
    } else {
        PackageMatch match;
        if (!FindPackageOf(document, component, &match) || !match.firstGate || !match.firstGate[0]) return;
        SetAttribute(document, component, kAttrGate, match.firstGate);
    }
    const char* part = GetAttributeText(component, kAttrPart);
    if (UpperChar(part[0]) == 'U') {
        SetAttribute(document, component, kAttrCompName, part);
    } else {
        char* name = nullptr;
        if (FormatString(&name, "U%s", part)) SetAttribute(document, component, kAttrCompName, name);
        FreeString(&name);
    }
}

// ---- placing --------------------------------------------------------------------------------------

namespace {

// The own pin box of a part drawn as an automatic macro box: the definition's
// pin positions (the box holds no texts).
bool pn_BuildPinBox(SchematicObject* component) {
    const ComponentDef* definition = component->definition;
    int n = std::max<int>(definition->pinCount, 0);
    PinBox* box = AllocPinBox(n);
    if (!box) return false;
    box->pinCount = n;
    for (int i = 0; i < n && definition->pins; ++i) {
        ComponentPin& pin = box->Pins()[i];
        pin.x = definition->pins[i].x;
        pin.y = definition->pins[i].y;
        pin.nameX = definition->pins[i].nameX;
        pin.nameY = definition->pins[i].nameY;
    }
    for (int i = 0; i < 4; ++i) box->bounds[i] = definition->autoRect[i];
    MemFree(component->pinBox);
    component->pinBox = box;
    return true;
}

void pn_DropUndo(CCirDoc* document, bool undoFirst) { SchematicEditor().PopUndo(document, undoFirst); }

bool pn_InPlaceRange(int32_t v) { return v >= kPnFirstPlacePosition && v <= kPnLastPlacePosition; }

}  // namespace

SchematicObject* PlaceNewPart(CCirDoc* document, SchPoint point) {
    ComponentDef* definition = ComponentCatalog().CurrentComponent();
    if (!document || !definition) return nullptr;
    document->PushUndoWithSelection("Add");
    int result = kOk;
    SchematicObject* component = nullptr;
    if (!definition->shapeLink || !pn_InPlaceRange(point.x) || !pn_InPlaceRange(point.y)) {
        result = kResultShown;
    } else if (!(component = document->NewSchematicObject())) {
        result = kResultNoMemory;
    } else {
        component->objectKind = kObjectComponent;
        component->state = kObjectSelected;
        component->x1 = point.x;
        component->y1 = point.y;
        component->definition = definition;
        if (definition->IsAutoMacro() && !pn_BuildPinBox(component)) result = kResultNoMemory;
        component->orientation = static_cast<int16_t>(definition->defaultOrientation & 7);
        SizePinNodesForType(component);
    }
    if (result == kOk) return component;
    if (component) document->objects.Delete(component);
    if (result != kResultShown) {
        if (CMDIView* view = document->MainView())
            ReportMessage(Message(result).View(view));
        else
            ReportMessage(Message(result));
    }
    pn_DropUndo(document, false);
    return nullptr;
}

int FinishPlacingNewPart(CCirDoc* document, SchematicObject* component) {
    if (!document || !component) return 0;
    SchematicEditorPort& editor = SchematicEditor();
    CMDIView* view = document->MainView();
    ComponentDef* definition = component->definition;
    const int type = definition ? definition->type : -1;

    editor.HideCrossHair();
    bool accepted = editor.TrackNewPart(view, component);

    if (accepted && definition && type != kTypeGround && type != kTypeJumper) {
        char name[kPnNameSize];
        document->NextPartName(name, sizeof name, type);
        if (type != kTypeBlank) {
            PartAttribute* part = SetAttribute(document, component, kAttrPart, name);
            if (definition->mask & kDefShowPartName) pn_Show(part);
        }
        // Defaults from the parts already there; the last one found wins.
        const int modelType = pn_ModelType(type);
        const int modelId = pn_ModelId(type);
        const int firstId = pn_FirstAttributeId(type);
        const char *ioModel = nullptr, *model = nullptr, *firstValue = nullptr, *power = nullptr, *ground = nullptr;
        const SchematicObject* packageTwin = nullptr;
        const SchematicObject* switchTwin = nullptr;
        for (PoolItem* item = document->objects.first; item; item = item->next) {
            auto* o = static_cast<SchematicObject*>(item);
            if (o == component || !o->IsComponent() || !o->definition) continue;
            const int otherType = o->definition->type;
            if (type == kTypePullUp || type == kTypePullDown) {
                if (const char* t = pn_NonEmpty(o, kAttrIoModel)) ioModel = t;
            } else if (modelType != -1 && pn_ModelType(otherType) == modelType) {
                if (const char* t = pn_NonEmpty(o, kAttrIoModel)) ioModel = t;
                if (const char* t = pn_NonEmpty(o, modelId)) model = t;
            }
            if ((modelType == -1 || pn_AsksForDialog(type)) && o->definition == definition && firstId)
                if (const char* t = pn_NonEmpty(o, firstId)) firstValue = t;
            if (o->definition == definition) {
                switchTwin = o;
                if (pn_NonEmpty(o, kAttrPackage)) packageTwin = o;
            }
            if (const char* t = pn_NonEmpty(o, kAttrPowerNode)) power = t;
            if (const char* t = pn_NonEmpty(o, kAttrGroundNode)) ground = t;
        }
        SetNewPartDefaults(document, component, power, ground, firstValue ? firstValue : "", model ? model : "",
                           ioModel, definition, packageTwin ? kDefaultsNoPackage : 0);
        if (packageTwin) {
            SetAttribute(document, component, kAttrPackage, GetAttributeText(packageTwin, kAttrPackage));
            SetAttribute(document, component, kAttrGate, GetAttributeText(packageTwin, kAttrGate));
        }
        if (switchTwin) {
            component->styleFlags = static_cast<uint16_t>((component->styleFlags & ~kShowPinText) |
                                                          (switchTwin->styleFlags & kShowPinText));
            component->showPackagePins = switchTwin->showPackagePins;
        }
        if (definition->mask & kDefShowPinText) component->styleFlags |= kShowPinText;
        if (definition->mask & kDefShowPinNumbers) component->showPackagePins = 1;
    }

    if (accepted && definition) {
        const bool interactive = pn_IsInteractiveType(type);
        if ((definition->mask & kDefCopyNameToAttribute) && !interactive) {
            int id = pn_ModelType(type) != -1 ? pn_ModelId(type) : pn_FirstAttributeId(type);
            if (IsStandardAttributeId(id)) {
                PartAttribute* attribute = SetAttribute(document, component, id, definition->Name());
                bool shown = id == pn_ModelId(type) ? (definition->mask & kDefShowModelName) != 0
                                                    : (definition->mask & kDefShowPrimaryAttribute) != 0;
                if (shown) pn_Show(attribute);
            }
        }
        bool dialog = !(definition->mask & kDefCopyNameToAttribute) || pn_AsksForDialog(type);
        if (dialog && !interactive && editor.EditAttributes(view, component) == 2) accepted = false;
        if (accepted) {
            component->LayoutAttributeTexts();
            RecountFromPart(document, component);
        }
    }

    if (!accepted) {
        document->objects.Delete(component);
        pn_UpdateViews(document);
        pn_DropUndo(document, true);
        document->RecountPartNumbers();
        document->needsNumbering = 1;
    } else {
        if (definition) ComponentCatalog().AddRecentComponent(definition);
        // Marks the circuit changed and joins and splits the wires around the part.
        document->OnObjectsChanged();
        pn_UpdateViews(document);
        document->needsNumbering = 1;
    }
    if ((document->displayFlags & kShowCrossHair) && view) editor.ShowCrossHair(view);
    return accepted ? 1 : 0;
}
