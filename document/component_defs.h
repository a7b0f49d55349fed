// The component type table and the component definition record.
//
// Every component that a library can define and a schematic can hold is of one
// of 147 fixed types. The table is compiled in and constant; the only thing
// that changes at run time is the per-type counter kept beside it.
//
// A ComponentDef is one entry of a component library (or of a circuit's own
// definitions): a named part of one type with its shape, pins, display flags,
// memo, cost and power. Placed components point to their definition and never
// own it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/memory.h"
#include "core/pool.h"

// ---- the component type table ---------------------------------------------------

constexpr int kComponentTypeCount = 147;

// Rows that other code treats by number.
enum ComponentTypeRow : int {
    kTypeNull = 0,
    kTypeBattery = 1,
    kTypeResistor = 2,
    kTypeInductor = 3,
    kTypeCapacitor = 4,
    kTypeDiode = 5,
    kTypeNpn = 6,
    kTypePnp = 7,
    kTypePmos = 8,
    kTypeNmos = 9,
    kTypeTransformer = 10,
    kTypeISpice = 11,
    kTypeSwitch = 12,
    kTypePulseSource = 13,
    kTypeShort = 14,
    kTypeTline = 15,
    kTypeUserSource = 16,  // waveform file (".USR")
    kTypeSineSource = 17,
    kTypeGround = 18,
    kTypeOpamp = 19,
    kTypeJumper = 20,
    kTypeIsource = 21,
    kTypeMacro = 22,
    kTypeTie = 23,
    kTypeVSpice = 30,
    kTypeBlank = 47,  // the type of the "Component Not Found" placeholder
    kTypeGaAsFet = 48,
    kTypeSubckt = 49,
    kTypeGIofV = 50,  // 50 to 53: dependent sources
    kTypeHVofI = 53,
    kTypeN = 54,  // digital interface devices
    kTypeO = 55,
    kTypeAdc = 56,
    kTypeDac = 57,
    kTypeBuf = 58,
    kTypeInv = 59,
    kTypeAnd = 60,
    kTypeXor = 64,
    kTypeBufA = 66,
    kTypeBuf3 = 78,
    kTypePullUp = 98,
    kTypePullDown = 99,
    kTypeFirstPla = 101,  // 101 to 112: JEDEC data
    kTypeLastPla = 112,
    kTypeReserved113 = 113,
    kTypeReserved114 = 114,
    kTypeStim = 117,
    kTypeNbtg = 118,
    kTypePbtg = 119,
    kTypeLogicExp = 120,
    kTypePinDelay = 121,
    kTypeConstraint = 122,
    kTypeK = 123,
    kTypeFstim = 124,
    kTypeDigitalLed = 125,
    kTypeReserved126 = 126,
    kTypeSevenSegment = 127,
    kTypeDigitalSwitch = 128,
    kTypeSampleAndHold = 135,
    kTypeNPort = 136,  // Touchstone file
    kTypeSpstSwitch = 137,
    kTypeTimer = 146,
};

// Category codes (the classCode column) that code tests by value. A class code
// is also the string-table id of the default name of pin 0.
enum ComponentClass : int {
    kClassConnector = 8400,  // Short, Ground, Jumper, Tie: no named pins, not counted as parts
    kClassNoPins = 8401,     // NULL, Blank
    kClassDigital = 8410,    // digital primitives: pins named by their layout bits
    kClassMacro = 8510,      // Macro, Subckt, LOGICEXP, PINDLY, CONSTRAINT: pins carry names
    kClassAdc = 8570,
    kClassDac = 8580,
    kClassNPort = 8680,
};

// Layout bits of digitalFlags.
constexpr uint32_t kDigOneInput = 0x10000;    // "In"
constexpr uint32_t kDigTwoInputs = 0x20000;   // "In1", "In2"
constexpr uint32_t kDigDataInputs = 0x40000;  // data1 inputs
constexpr uint32_t kDigInputMask = 0x70000;
constexpr uint32_t kDigEnable = 0x80000;      // "Enable" after the inputs
constexpr uint32_t kDigOneOutput = 0x100000;  // "Out"
constexpr uint32_t kDigNumberedOutputs = 0x200000;
constexpr uint32_t kDigLayoutMask = 0x3F0000;
constexpr uint32_t kDigArrayGate = 0x10000000;
constexpr uint32_t kDigPassiveValue = 0x1000000;  // Resistor, Inductor, Capacitor, Tline, K

constexpr int kTypeAttributeSlots = 9;

struct ComponentType {
    const char* prefix;  // part-name prefix; " " for types that get no numbered name
    int32_t digital;     // 0 analog, 1 digital primitive, 2 mixed
    int32_t pinKinds;    // 0 all pins analog, 1 all digital, 2 decided per pin
    int32_t typeId;      // help topic id
    int32_t deviceList;  // key of the compiler device list (the first row that
                         // shares it); -1 when the type has none
    int32_t classCode;
    int32_t modelType;    // row of the model type table; -1 none
    uint32_t deviceBits;  // carried for the compiler and the expression language
    int32_t pinCount;     // fixed count; -1 variable (see ExpectedPinCount)
    const char* name;     // compared without case; "" for rows 113, 114, 126
    uint32_t digitalFlags;
    int32_t attributeIds[kTypeAttributeSlots];  // standard attribute ids; slot 0 is the primary one
    int32_t helpIds[kTypeAttributeSlots];       // string-table ids of the slots' help texts
};

extern const ComponentType ComponentTypeTable[kComponentTypeCount];

inline bool IsValidComponentType(int type) { return type >= 0 && type < kComponentTypeCount; }
// The row of a type, or null outside 0 to 146.
inline const ComponentType* GetComponentType(int type) {
    return IsValidComponentType(type) ? &ComponentTypeTable[type] : nullptr;
}

// The count per type of one build of a circuit (Statistics, the compiler);
// each circuit keeps its own (CircuitBuildState). Out-of-range types read 0
// and are never counted.
struct ComponentTypeCounts {
    int32_t counts[kComponentTypeCount] = {};
    int Count(int type) const { return IsValidComponentType(type) ? counts[type] : 0; }
    void Increment(int type) {
        if (IsValidComponentType(type)) ++counts[type];
    }
    void Reset() { *this = ComponentTypeCounts(); }
};

// The row whose name equals the text without case; "S_PORT" gives N_PORT; -1
// when none (and for a null text). An empty text matches row 113.
int FindComponentType(const char* name);
// False for Short, Ground and Jumper.
bool IsRealPartType(int type);
bool HasModelType(int type);
// "TIMING MODEL" for digital types, "MODEL" otherwise; null when the type takes
// no model.
const char* ModelAttributeName(int type);
// As ModelAttributeName; for Macro and Subckt without a model the name of their
// slot-0 attribute (FILE, NAME); null otherwise.
const char* ModelNameAttributeName(int type);
// The name of the slot-0 attribute; null when the slot is empty.
const char* PrimaryAttributeName(int type);
bool PrimaryAttributeExists(int type);
// True when the standard attribute id is among the type's nine default ids.
bool IsStandardAttributeOfType(int type, int attributeId);

// The program's texts for default pin names (ids class code + pin index).
// GetPinName reads them from this table directly; the start-up registers them
// so that dialogs can load them by id as well.
void RegisterComponentMessages();

// ---- shapes as seen from a definition ----------------------------------------------

// A shape of the shape libraries. Definitions only link to shapes and ask for
// their names.
struct Shape;

struct SchematicObject;

// What definitions and parts ask of the shape libraries. Until they are
// installed no shape is known: SetShapeLink keeps the stored shape name and
// a meter's HIGH and LOW texts keep their places.
class ShapeLibraryPort {
public:
    virtual ~ShapeLibraryPort() = default;
    // The shape's name; null when unknown.
    virtual const char* ShapeName(const Shape* shape) = 0;
    // The rectangle of the component's shape as drawn, relative to its
    // position and unturned (left, top, right, bottom); false when unknown.
    virtual bool ShapeRect(const SchematicObject* component, int32_t rect[4]) = 0;
};
ShapeLibraryPort& ShapeLibrary();
// Returns the library installed before; nullptr restores the null object.
ShapeLibraryPort* InstallShapeLibrary(ShapeLibraryPort* port);

// The process-wide sentinel that marks definitions drawn as an automatic macro
// box; never a real shape, never drawn as one.
Shape* AutoMacroShape();
inline Shape* AutomaticMacroShape() { return AutoMacroShape(); }
// The shape name reported for the sentinel.
constexpr const char* kAutoMacroShapeName = "AutoMacro";

// ---- component definitions -----------------------------------------------------------

constexpr int32_t kComponentDefItemType = 14;  // pool item type of a definition

// mask bits
constexpr uint16_t kDefPaletteMask = 0x000F;
constexpr uint16_t kDefPurgeMark = 0x0010;
constexpr uint16_t kDefShowModelName = 0x0040;
constexpr uint16_t kDefCopyNameToAttribute = 0x0080;
constexpr uint16_t kDefShowPrimaryAttribute = 0x0800;
constexpr uint16_t kDefShowPartName = 0x1000;
constexpr uint16_t kDefShowPinNumbers = 0x2000;
constexpr uint16_t kDefShowPinText = 0x4000;
constexpr uint16_t kDefWrittenMark = 0x8000;

// Display names of pins are at most 39 characters.
constexpr size_t kPinNameSize = 40;

// The pin text is a kind letter, the name and a NUL, and for Macro and Subckt
// pins optionally an extra text (the node of a hidden pin) with its own NUL.
// Texts of at most 8 bytes in all live in inlineText, longer ones in heapText.
struct ComponentPin {
    char inlineText[8];
    char* heapText;        // MemAlloc block or null
    int16_t x, y;          // position on the shape, grid units
    int16_t nameX, nameY;  // pin name text relative to the pin, drawing units

    const char* Text() const { return heapText ? heapText : inlineText; }
};

struct LabelOffset {
    int16_t x, y;
};

// A pool item (type 14). Records made by a pool are zeroed, not constructed:
// every member is valid all-zero (the empty SmallString12 included); call Init
// before use. A definition made on its own (a placeholder, a temporary) is
// constructed initialised and releases what it owns when destroyed.
struct ComponentDef : PoolItem {
    int32_t type;
    uint16_t mask;
    int16_t groupId;
    int16_t data1;
    int16_t data2;
    char* memo;                   // heap text or null
    LabelOffset labelOffsets[2];  // [0] orientation 0, [1] a quarter turn
    int16_t pinCount;
    int16_t workMark;
    SmallString12 name;
    ComponentPin* pins;  // pinCount entries, MemAlloc array
    SmallString12 shapeName;
    Shape* shapeLink;     // null when unresolved; AutoMacroShape() for a box
    int16_t autoRect[4];  // left, top, right, bottom in grid units
    double cost;
    double power;
    int32_t menuCommandId;
    int32_t packageMark;
    // The orientation (0 to 7) that the ghost and the next placement take; a
    // turn of a placed part writes it back here.
    int16_t defaultOrientation;

    ComponentDef() : PoolItem{nullptr, nullptr, kComponentDefItemType} { Init(); }
    ~ComponentDef() { Clear(); }
    ComponentDef(const ComponentDef&) = delete;
    ComponentDef& operator=(const ComponentDef&) = delete;

    // Type 0, mask 0, group -1, everything else empty or zero; the pool links
    // stay. Does not free: for fresh (zeroed) records.
    void Init();
    // Frees pins, name, memo and shape name; type, mask, group, data and pin
    // count become 0, the shape link none.
    void Clear();
    // The pool's destroy callback for definitions.
    static void Destroy(PoolItem* item);
    // Sets a pool up to hold definitions: constructed in place, with the
    // destroy callback before the destructor.
    static void InitPool(ObjectPool* pool);

    const ComponentType* TypeRow() const { return GetComponentType(type); }
    int ClassCode() const;

    const char* Name() const { return name.text() ? name.text() : ""; }
    const char* ShapeName() const { return shapeName.text() ? shapeName.text() : ""; }
    const char* Memo() const { return memo ? memo : ""; }
    // Return the stored text ("" when empty or out of memory).
    const char* SetName(const char* text);
    const char* SetMemo(const char* text);
    // Stores the link and copies the shape's name ("AutoMacro" for the
    // sentinel); none keeps the stored name.
    void SetShapeLink(Shape* shape);
    bool IsAutoMacro() const { return shapeLink == AutoMacroShape(); }
    void SetAutoRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

    // ---- pins ----
    // Frees the texts of pins at n and above and resizes to n pins, new ones
    // zeroed; when there were no pins before, pin i stands at (0, 2i). 0, or
    // 15002 when memory runs out (the pins are then left as they were).
    int ResizePins(int n);
    // Stores pin i's kind letter (normalised by type), name and extra text.
    // 0, 15002 when out of memory, or 15040 for a pin index out of range.
    int SetPin(int i, char kind, const char* pinName, const char* extra);
    // The pin's raw text ("" for an index out of range).
    const char* PinText(int i) const;
    char PinKind(int i) const;
    bool PinHasExtraText(int i) const;
    const char* PinExtraText(int i) const;
    // The node name of a hidden pin; "" otherwise.
    const char* GetHiddenNodeName(int i) const { return PinExtraText(i); }
    int PinTextLength(int i) const;
    // The display name of pin i, written into buffer (kPinNameSize bytes
    // suffice); "" for a pin that has no defined name.
    const char* GetPinName(int i, char* buffer, size_t size) const;
    int FindPinByName(const char* text) const;
    int ExpectedPinCount() const;
    int FitPinsToType(bool allowFix);
    int CountInputPins() const;
    int GetInputPinCount() const;
    int CountPinsOfKind(char kind) const;
    void SyncDataFromPins();
    void SortPinsByKind();
    void PindlyPinPair(int i, int* input, int* output) const;
    int DeletePin(int i);
    int CopyPinsFrom(const ComponentDef& other);
    // Copies every field but the pool links; 0 or 15002.
    int CopyDefinition(const ComponentDef& source, bool clearFirst);
    static int SwapDefinitions(ComponentDef& a, ComponentDef& b);
    bool SamePinNames(const ComponentDef& other) const;
    // Name and pins from a ".SUBCKT name pin pin ... [PARAMS: ...]" line.
    int SetPinsFromSubcktLine(const char* line);

    ComponentDef* Next() const { return static_cast<ComponentDef*>(next); }
};

// 1 when b would draw or connect differently from a (see the .cpp); 0 otherwise.
int DefinitionsDiffer(const ComponentDef* a, const ComponentDef* b);

// The status caption: "" for no definition or a type outside the table; else
// the name, followed by ":" and the memo when it has one. Returns buffer.
char* GetComponentCaption(const ComponentDef* definition, char* buffer, size_t size);
