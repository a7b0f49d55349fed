// Part attributes: the standard names, one attribute, a component's list and
// the state keywords of switches, meters and LEDs.
#include "document/attributes.h"

#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/cmdline.h"
#include "core/numbers.h"
#include "core/port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "shell/preferences.h"

namespace {

// Index = id - 1. Names beginning (and some ending) with a blank are internal:
// nobody types them by accident, and the blanks are part of the name.
const char* const kAttStandardNames[kStandardAttributeCount] = {
    "PART",               // 1
    "VALUE",              // 2
    "MODEL",              // 3
    "FILE",               // 4
    "NAME",               // 5
    "TIMING MODEL",       // 6
    "I/O MODEL",          // 7
    "MNTYMXDLY",          // 8
    "IO_LEVEL",           // 9
    "POWER NODE",         // 10
    "GROUND NODE",        // 11
    "FORMAT",             // 12
    "COMMAND",            // 13
    "TIMESTEP",           // 14
    "LOGIC",              // 15
    "PINDELAY",           // 16
    "CONSTRAINT",         // 17
    "DATA",               // 18
    "TEXT",               // 19
    "FORMULA",            // 20
    "INDUCTORS",          // 21
    "COUPLING",           // 22
    "TABLE",              // 23
    "LAPLACE",            // 24
    "FREQ",               // 25
    "CHEBYSHEV",          // 26
    "REF",                // 27
    "EXPRESSION",         // 28
    "PARAMS:",            // 29
    "SIGNAMES",           // 30
    "TEXT:",              // 31
    " ISDTOA ",           // 32
    " SPICENAME ",        // 33
    "KEYWORD",            // 34
    "IS",                 // 35
    "CLOCK FREQUENCY",    // 36
    "ZEXP",               // 37
    "INPUT EXPR",         // 38
    "SAMPLE EXPR",        // 39
    "PERIOD",             // 40
    " TEMPPART",          // 41
    "PACKAGE",            // 42
    "GATE",               // 43
    "COMPNAME",           // 44
    " SLIDER_ORG ",       // 45
    " COMPTEMPNAME",      // 46
    " CURRENT",           // 47
    " CURRENT_GATE",      // 48
    " CURRENT_DRAIN",     // 49
    " CURRENT_SOURCE",    // 50
    " CURRENT_BULK",      // 51
    " CURRENT_BASE",      // 52
    " CURRENT_COLL",      // 53
    " CURRENT_EMIT",      // 54
    " CURRENT_SUBS",      // 55
    " CURRENT_IN",        // 56
    " CURRENT_OUT",       // 57
    "NOISE_EXPRESSION",   // 58
    "POWER",              // 59
    "COST",               // 60
    "STATE",              // 61
    "TURN-ON VOLTAGES",   // 62
    "ON STATE",           // 63
    "HIGH",               // 64
    "LOW",                // 65
    "LIN",                // 66
    "ION",                // 67
    "IOFF",               // 68
    "RON",                // 69
    "ROFF",               // 70
    "RPSPV",              // 71
    "AMPS OR VOLTS",      // 72
    "ANALOG OR DIGITAL",  // 73
    "SCALE",              // 74
    "AUTOSCALE",          // 75
    "COLOR",              // 76
    "COLOR_INDEX",        // 77
    "RMOTOR",             // 78
    "LMOTOR",             // 79
    "INPUTEXPR",          // 80
    "ELAPSED_SCALE",      // 81
    "INCREMENT",          // 82
    "INITIAL",            // 83
    "MIN",                // 84
    "MAX",                // 85
    "DERIVATIVE",         // 86
    "SEED",               // 87
    "REPEAT",             // 88
    "INPUT_RESISTANCE",   // 89
    "GROUP",              // 90
    "RIN",                // 91
    "BIDIRECTIONAL",      // 92
};

void att_EnsureList(ObjectPool& list) {
    // A list nobody set up yet (a record made zeroed) is set up on first use.
    if (list.itemSize == 0 && !list.first) {
        list.Holds<PartAttribute, &DestroyPartAttribute>();
    }
}

bool att_IsNamedText(const char* text) { return text && text[0]; }

}  // namespace

// ---- standard names ----------------------------------------------------------------

int GetAttributeId(const char* text) {
    if (!text || !text[0]) return 0;
    for (int i = 0; i < kStandardAttributeCount; ++i)
        if (CompareNoCase(text, kAttStandardNames[i]) == 0) return i + 1;
    return 0;
}

const char* GetAttributeName(int id) { return IsStandardAttributeId(id) ? kAttStandardNames[id - 1] : ""; }

// ---- one attribute -----------------------------------------------------------------

const char* PartAttribute::Name() const {
    if (nameId != 0) return GetAttributeName(nameId);
    return nameText ? nameText : "";
}

bool PartAttribute::IsNamed(int id) const { return id != 0 && nameId == id; }

bool PartAttribute::IsNamed(const char* text) const {
    return att_IsNamedText(text) && HasName() && CompareNoCase(Name(), text) == 0;
}

int PartAttribute::SetName(int id) {
    if (id != 0 && !IsStandardAttributeId(id)) return kResultMissingParam;
    FreeString(&nameText);
    nameText = nullptr;
    nameId = id;
    return kOk;
}

int PartAttribute::SetName(const char* text) {
    if (!att_IsNamedText(text)) return SetName(0);
    int id = GetAttributeId(text);
    if (id != 0) return SetName(id);
    // Copy first: the text may be this attribute's own name.
    char* copy = DuplicateString(text);
    if (!copy) return kResultNoMemory;
    FreeString(&nameText);
    nameText = copy;
    nameId = 0;
    return kOk;
}

int PartAttribute::SetValue(const char* text) {
    if (!text || text == value.text()) return kOk;
    value.Set(text);
    // A failed copy leaves the value empty.
    return value.text() ? kOk : kResultNoMemory;
}

int PartAttribute::Assign(int id, const char* text) {
    int rc = SetName(id);
    int rc2 = SetValue(text);
    return rc != kOk ? rc : rc2;
}

int PartAttribute::Assign(const char* name, const char* text) {
    int rc = SetName(name);
    int rc2 = SetValue(text);
    return rc != kOk ? rc : rc2;
}

bool PartAttribute::IsParameter() const {
    const char* n = Name();
    return CompareNoCaseN(n, kParamPrefix, std::strlen(kParamPrefix)) == 0;
}

void DestroyPartAttribute(PoolItem* item) {
    if (!item) return;
    auto* attribute = static_cast<PartAttribute*>(item);
    FreeString(&attribute->nameText);
    attribute->nameText = nullptr;
    attribute->nameId = 0;
    attribute->value.Clear();
}

void InitAttributeList(ObjectPool* list) {
    if (!list) return;
    list->Init();
    list->Holds<PartAttribute, &DestroyPartAttribute>();
}

const char* AttributeText(const PartAttribute* attribute, int flags, bool* mustFree, bool strip) {
    if (!attribute) return nullptr;
    if (mustFree) *mustFree = false;
    const bool showName = (flags & kAttrShowName) != 0;
    const bool showValue = (flags & kAttrShowValue) != 0;
    const char* name = attribute->Name();
    const size_t prefixLength = std::strlen(kParamPrefix);
    if (strip && std::strncmp(name, kParamPrefix, prefixLength) == 0) name += prefixLength;
    if (mustFree && !(showName && showValue)) {
        if (showName) return name;
        if (showValue) return attribute->Value();
        return "";
    }
    const char* value = attribute->Value();
    const size_t nameLength = showName ? std::strlen(name) : 0;
    const bool equals = nameLength > 0 && showValue;
    const size_t valueLength = showValue ? std::strlen(value) : 0;
    char* text = static_cast<char*>(MemAlloc(nameLength + (equals ? 1 : 0) + valueLength + 1));
    if (!text) return nullptr;
    char* p = text;
    std::memcpy(p, name, nameLength);
    p += nameLength;
    if (equals) *p++ = '=';
    std::memcpy(p, value, valueLength);
    p[valueLength] = 0;
    if (mustFree) *mustFree = true;
    return text;
}

// ---- the attribute list ------------------------------------------------------------

PartAttribute* FindAttribute(const SchematicObject* component, int id) {
    if (!component || id == 0) return nullptr;
    for (PoolItem* item = component->attributes.first; item; item = item->next) {
        auto* attribute = static_cast<PartAttribute*>(item);
        if (attribute->IsNamed(id)) return attribute;
    }
    return nullptr;
}

PartAttribute* FindAttribute(const SchematicObject* component, const char* name) {
    if (!component || !att_IsNamedText(name)) return nullptr;
    // A standard name compares as its id, so the many lookups of PART, VALUE
    // and MODEL never compare texts.
    int id = GetAttributeId(name);
    if (id != 0) return FindAttribute(component, id);
    for (PoolItem* item = component->attributes.first; item; item = item->next) {
        auto* attribute = static_cast<PartAttribute*>(item);
        if (attribute->nameId == 0 && attribute->IsNamed(name)) return attribute;
    }
    return nullptr;
}

const char* GetAttributeText(const SchematicObject* component, int id) {
    const PartAttribute* attribute = FindAttribute(component, id);
    return attribute ? attribute->Value() : "";
}

const char* GetAttributeText(const SchematicObject* component, const char* name) {
    const PartAttribute* attribute = FindAttribute(component, name);
    return attribute ? attribute->Value() : "";
}

namespace {

char* att_UpperCopy(const char* text) {
    if (!text || !text[0]) return SharedEmptyString();
    char* copy = DuplicateString(text);
    if (!copy) return SharedEmptyString();
    for (char* p = copy; *p; ++p) *p = UpperChar(*p);
    return copy;
}

PartAttribute* att_Append(SchematicObject* component, const FontSpec& font) {
    ObjectPool& list = component->attributes;
    att_EnsureList(list);
    const auto* last = static_cast<const PartAttribute*>(list.last);
    int32_t y = last ? last->offsetY + Startup().attributeTextStep : 0;
    auto* attribute = static_cast<PartAttribute*>(list.AddNew(kPartAttributeItemType));
    if (!attribute) return nullptr;
    attribute->offsetX = 0;
    attribute->offsetY = y;
    attribute->flags = 0;
    attribute->font = font;
    return attribute;
}

// Stores name and value in a new attribute; on failure the attribute goes
// again, so that no nameless or half-set attribute stays behind.
template <class Name>
PartAttribute* att_SetOrCreate(CDoc* document, SchematicObject* component, Name name, const char* text) {
    PartAttribute* attribute = FindAttribute(component, name);
    if (attribute) return attribute->SetValue(text) == kOk ? attribute : nullptr;
    attribute = NewAttribute(document, component);
    if (!attribute) return nullptr;
    if (attribute->Assign(name, text) != kOk || !attribute->HasName()) {
        component->attributes.Delete(attribute);
        return nullptr;
    }
    return attribute;
}

}  // namespace

char* GetAttributeTextUpper(const SchematicObject* component, int id) {
    return att_UpperCopy(GetAttributeText(component, id));
}

char* GetAttributeTextUpper(const SchematicObject* component, const char* name) {
    return att_UpperCopy(GetAttributeText(component, name));
}

namespace {

// Every document of the circuit kind is a CCirDoc.
const FontSpec& att_AttributeFont(CDoc* document) {
    if (document && document->Kind() == kDocCircuit) return static_cast<CCirDoc*>(document)->fonts.attributeText;
    return ItemStyleTable[kItemAttributeText];
}

}  // namespace

PartAttribute* NewAttribute(CDoc* document, SchematicObject* component) {
    if (!component) return nullptr;
    return att_Append(component, att_AttributeFont(document));
}

PartAttribute* NewAttributeDefaultFont(SchematicObject* component) {
    if (!component) return nullptr;
    return att_Append(component, ItemStyleTable[kItemAttributeText]);
}

PartAttribute* SetAttribute(CDoc* document, SchematicObject* component, int id, const char* text) {
    if (!component || !IsStandardAttributeId(id)) return nullptr;
    return att_SetOrCreate(document, component, id, text);
}

PartAttribute* SetAttribute(CDoc* document, SchematicObject* component, const char* name, const char* text) {
    if (!component || !att_IsNamedText(name)) return nullptr;
    return att_SetOrCreate(document, component, name, text);
}

int CopyAttributesFrom(SchematicObject* component, const SchematicObject* source) {
    // Copying a list onto itself would delete the source first.
    if (!component || component == source) return kOk;
    att_EnsureList(component->attributes);
    component->attributes.DeleteAll();
    if (!source) return kOk;
    component->definition = source->definition;
    int rc = kOk;
    for (const PoolItem* item = source->attributes.first; item; item = item->next) {
        const auto* from = static_cast<const PartAttribute*>(item);
        auto* to = static_cast<PartAttribute*>(component->attributes.AddNew(kPartAttributeItemType));
        if (!to) {
            rc = kResultNoMemory;
            continue;
        }
        to->flags = from->flags;
        to->font = from->font;
        to->offsetX = from->offsetX;
        to->offsetY = from->offsetY;
        int result = from->nameId != 0 ? to->SetName(from->nameId) : to->SetName(from->nameText);
        if (result != kOk) rc = result;
        result = to->SetValue(from->value.text());
        if (result != kOk) rc = result;
    }
    return rc;
}

void RemoveTemporaryAttributes(SchematicObject* component) {
    if (!component || !component->IsComponent()) return;
    PoolItem* item = component->attributes.first;
    while (item) {
        if (static_cast<PartAttribute*>(item)->flags & kAttrTemporary)
            item = component->attributes.Delete(item);
        else
            item = item->next;
    }
}

bool DeleteAttribute(SchematicObject* component, int id) {
    PartAttribute* attribute = FindAttribute(component, id);
    if (!attribute) return false;
    component->attributes.Delete(attribute);
    return true;
}

// ---- state keywords ----------------------------------------------------------------

namespace {

bool att_ValueIs(const SchematicObject* component, int id, const char* word) {
    const PartAttribute* attribute = FindAttribute(component, id);
    return attribute && CompareNoCase(attribute->Value(), word) == 0;
}

}  // namespace

int GetStateValue(SchematicObject* component) {
    PartAttribute* attribute = FindAttribute(component, kAttrState);
    if (!attribute) return 1;
    long state = std::strtol(attribute->Value(), nullptr, 10);
    if (state == 0 || state == 1) return static_cast<int>(state);
    attribute->SetValue("1");
    return 1;
}

bool IsSwitchClosed(const SchematicObject* component) { return att_ValueIs(component, kAttrState, "CLOSED"); }

bool IsSwitchUp(const SchematicObject* component) { return att_ValueIs(component, kAttrState, "UP"); }

bool IsActiveHigh(const SchematicObject* component) { return !att_ValueIs(component, kAttrOnState, "LOW"); }

bool IsAmmeter(const SchematicObject* component) { return att_ValueIs(component, kAttrAmpsOrVolts, "AMPS"); }

bool IsDigitalMode(const SchematicObject* component) { return att_ValueIs(component, kAttrAnalogOrDigital, "DIGITAL"); }

namespace {

class att_PlainNumbers final : public AttributeEvaluator {
public:
    double EvaluateAttributeNumber(SchematicObject* component, int id, int* error) override {
        int failed = 0;
        double value = ParseNumber(GetAttributeText(component, id), &failed);
        if (failed) {
            *error = 1;
            return 0.0;
        }
        return value;
    }
};

PortSlot<AttributeEvaluator, att_PlainNumbers> att_evaluator;

}  // namespace

AttributeEvaluator& AttributeEvaluation() { return att_evaluator.Get(); }

AttributeEvaluator* InstallAttributeEvaluator(AttributeEvaluator* evaluator) {
    return att_evaluator.Install(evaluator);
}

double EvaluateAttributeNumber(SchematicObject* component, int id, int* error) {
    int local = 0;
    if (!error) error = &local;
    if (*error) return 0.0;
    return AttributeEvaluation().EvaluateAttributeNumber(component, id, error);
}

double GetSwitchResistance(SchematicObject* component, int* error) {
    if (error && *error) return 0.0;
    return EvaluateAttributeNumber(component, IsSwitchClosed(component) ? kAttrRon : kAttrRoff, error);
}

double GetThrowResistance(SchematicObject* component, int* error, int throwIndex) {
    if (error && *error) return 0.0;
    const bool first = throwIndex == 0;
    const int id = IsSwitchUp(component) ? (first ? kAttrRon : kAttrRoff) : (first ? kAttrRoff : kAttrRon);
    return EvaluateAttributeNumber(component, id, error);
}
