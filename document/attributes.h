// Part attributes: the named texts that every placed component carries (part
// name, value, model, switch state, parameters ...).
//
// An attribute is named either by one of 92 standard names, kept as its id
// (1 to 92), or by its own text. The two are held in separate fields: a
// standard name is never stored as text, and a text is never a standard name
// (setting a text that equals a standard name without case stores the id).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/fontspec.h"
#include "core/memory.h"
#include "core/pool.h"

class CDoc;
struct SchematicObject;

// ---- standard names ----------------------------------------------------------------

constexpr int kStandardAttributeCount = 92;

// Ids that code uses by number.
enum StandardAttributeId : int {
    kAttrNone = 0,
    kAttrPart = 1,
    kAttrValue = 2,
    kAttrModel = 3,
    kAttrFile = 4,
    kAttrName = 5,
    kAttrTimingModel = 6,
    kAttrIoModel = 7,
    kAttrMntymxdly = 8,
    kAttrIoLevel = 9,
    kAttrPowerNode = 10,
    kAttrGroundNode = 11,
    kAttrFormat = 12,
    kAttrCommand = 13,
    kAttrTimestep = 14,
    kAttrLogic = 15,
    kAttrPinDelay = 16,
    kAttrConstraint = 17,
    kAttrData = 18,
    kAttrText = 19,
    kAttrFreq = 25,
    kAttrExpression = 28,
    kAttrParams = 29,     // "PARAMS:"
    kAttrIsDtoA = 32,     // " ISDTOA "
    kAttrSpiceName = 33,  // " SPICENAME "
    kAttrTempPart = 41,   // " TEMPPART"
    kAttrPackage = 42,
    kAttrGate = 43,
    kAttrCompName = 44,
    kAttrSliderOrigin = 45,  // " SLIDER_ORG "
    kAttrCompTempName = 46,  // " COMPTEMPNAME"
    kAttrPower = 59,
    kAttrCost = 60,
    kAttrState = 61,
    kAttrOnState = 63,
    kAttrHigh = 64,
    kAttrLow = 65,
    kAttrRon = 69,
    kAttrRoff = 70,
    kAttrAmpsOrVolts = 72,
    kAttrAnalogOrDigital = 73,
    kAttrColor = 76,
    kAttrColorIndex = 77,
    kAttrGroup = 90,
};

inline bool IsStandardAttributeId(int id) { return id >= 1 && id <= kStandardAttributeCount; }

// The standard id whose name equals the text without case; 0 when the text is
// not a standard name (or null).
int GetAttributeId(const char* text);
// The standard name of an id; "" for 0 and ids outside 1 to 92.
const char* GetAttributeName(int id);

// ---- one attribute -----------------------------------------------------------------

// flags
constexpr uint16_t kAttrShowName = 0x1000;
constexpr uint16_t kAttrShowValue = 0x2000;
constexpr uint16_t kAttrLedColor = 0x0100;   // COLOR_INDEX taken from the LED colour table
constexpr uint16_t kAttrCompiled = 0x4000;   // set by the circuit compiler
constexpr uint16_t kAttrTemporary = 0x8000;  // removed by RemoveTemporaryAttributes

constexpr int32_t kPartAttributeItemType = 10;  // pool item type

// The prefix of the names of macro and subcircuit parameters.
constexpr const char* kParamPrefix = "Param:";

// An item of a component's attribute list. Records are made zeroed by the pool
// (an all-zero record is a valid attribute without name or value).
struct PartAttribute : PoolItem {
    uint16_t flags;
    int32_t nameId;  // 1 to 92 for a standard name; 0 for an own name or none
    char* nameText;  // the own name (heap text) when nameId is 0; else null
    SmallString8 value;
    FontSpec font;
    int32_t offsetX;  // text position relative to the component, drawing units
    int32_t offsetY;

    PartAttribute* Next() const { return static_cast<PartAttribute*>(next); }

    bool HasName() const { return nameId != 0 || (nameText && nameText[0]); }
    // The name as text: the standard name, the own text, or "".
    const char* Name() const;
    // The value text; "" when it has none.
    const char* Value() const { return value.text() ? value.text() : ""; }
    bool HasValue() const { return value.text() && value.text()[0]; }
    // True when the attribute is named by the id (a standard id) or by the text
    // (without case; the text may also be a standard name).
    bool IsNamed(int id) const;
    bool IsNamed(const char* text) const;

    // A standard id (0 removes the name); ids outside 1 to 92 are refused
    // (15040, name unchanged). Result 0.
    int SetName(int id);
    // A standard name (any case) is stored as its id, any other text as an own
    // copy; a null text removes the name. 0, or 15002 when the copy cannot be
    // made (the old name is kept).
    int SetName(const char* text);
    // Nothing for a null text or the attribute's own current text; otherwise
    // copies it. 0 or 15002.
    int SetValue(const char* text);
    // SetName then SetValue; the first error code is returned.
    int Assign(int id, const char* text);
    int Assign(const char* name, const char* text);
    // The name begins with "Param:" (without case).
    bool IsParameter() const;
};

// The list's destroy callback: frees the own name and the value.
void DestroyPartAttribute(PoolItem* item);
// Sets up an empty attribute list (item size, destroy callback).
void InitAttributeList(ObjectPool* list);

// The display text of an attribute for the given flags (kAttrShowName,
// kAttrShowValue). With mustFree given and not both bits set, a borrowed text
// (the name, the value or "") and *mustFree false; otherwise a new heap text
// "NAME=VALUE" (parts as the bits ask) and *mustFree true when given; the
// caller then releases it with MemFree. strip hides a leading "Param:" (exact
// case). Null for a null attribute or when out of memory.
const char* AttributeText(const PartAttribute* attribute, int flags, bool* mustFree, bool strip);

// ---- the attribute list of a placed component --------------------------------------

// The first attribute of the component named by the id or the text; null for
// a null component, id 0, a null text or no match.
PartAttribute* FindAttribute(const SchematicObject* component, int id);
PartAttribute* FindAttribute(const SchematicObject* component, const char* name);
// The value of FindAttribute's result; "" when none or no value.
const char* GetAttributeText(const SchematicObject* component, int id);
const char* GetAttributeText(const SchematicObject* component, const char* name);
// An upper-case heap copy of the value owned by the caller (FreeString); the
// shared empty string when there is none (or out of memory).
char* GetAttributeTextUpper(const SchematicObject* component, int id);
char* GetAttributeTextUpper(const SchematicObject* component, const char* name);

// Appends an empty attribute below the last one, in the circuit's attribute
// font (a circuit document) or the program's default attribute font. Null when
// out of memory or for a null component.
PartAttribute* NewAttribute(CDoc* document, SchematicObject* component);
PartAttribute* NewAttributeDefaultFont(SchematicObject* component);
// Set-or-create: replaces the value of the first attribute of that name (when
// the text is not null), or appends a new one. The attribute, or null when a
// new one cannot be made (or its name or value cannot be stored: the half-made
// attribute is then removed again).
PartAttribute* SetAttribute(CDoc* document, SchematicObject* component, int id, const char* text);
PartAttribute* SetAttribute(CDoc* document, SchematicObject* component, const char* name, const char* text);

// Deletes the component's attributes, takes over the source's definition and
// appends a copy of every source attribute. 0, or the last error code.
int CopyAttributesFrom(SchematicObject* component, const SchematicObject* source);
// Components only: deletes every attribute flagged temporary.
void RemoveTemporaryAttributes(SchematicObject* component);
// Deletes the first attribute with the standard id; true when one was deleted.
bool DeleteAttribute(SchematicObject* component, int id);

// ---- state keywords ----------------------------------------------------------------

// STATE as 0 or 1; any other value is set to "1" and gives 1; no STATE or no
// component gives 1.
int GetStateValue(SchematicObject* component);
bool IsSwitchClosed(const SchematicObject* component);  // STATE is "CLOSED"
bool IsSwitchUp(const SchematicObject* component);      // STATE is "UP"
bool IsActiveHigh(const SchematicObject* component);    // ON STATE is not "LOW"
bool IsAmmeter(const SchematicObject* component);       // AMPS OR VOLTS is "AMPS"
bool IsDigitalMode(const SchematicObject* component);   // ANALOG OR DIGITAL is "DIGITAL"
// RON when the switch is closed, else ROFF. 0.0 when *error is already set;
// sets *error when the value cannot be evaluated.
double GetSwitchResistance(SchematicObject* component, int* error);
// STATE "UP": throw 0 takes RON, the other ROFF; otherwise the reverse.
double GetThrowResistance(SchematicObject* component, int* error, int throwIndex);

// How an attribute's value becomes a number belongs to the circuit compiler
// (units, expressions, defines). Until it installs its evaluator, a value is
// read as a plain engineering number.
class AttributeEvaluator {
public:
    virtual ~AttributeEvaluator() = default;
    // The attribute's value as a number; sets *error (never null, 0 on entry)
    // when the value cannot be evaluated.
    virtual double EvaluateAttributeNumber(SchematicObject* component, int id, int* error) = 0;
};
AttributeEvaluator& AttributeEvaluation();
// Returns the evaluator installed before; nullptr restores the plain reading.
AttributeEvaluator* InstallAttributeEvaluator(AttributeEvaluator* evaluator);
double EvaluateAttributeNumber(SchematicObject* component, int id, int* error);
