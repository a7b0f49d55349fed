// The model types the simulator knows: one row per type with its .MODEL keyword
// and its parameters in a fixed order, with defaults, value kinds, range checks,
// flags and help ids.
//
// Everything that reads, writes, checks or stores model parameters indexes them
// by their position in these lists, and binary model libraries store values in
// that order: never reorder, insert into or remove from a list.
//
// The table is static data, adjusted once at start-up by InitModelParamTables
// and read-only afterwards.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

class CCTDoc;

// ---- the unset value -------------------------------------------------------------

// A numeric parameter that has no value holds this double (1.232343e18). Tests
// for it compare the full bit pattern, never the value.
constexpr uint64_t kUnsetValueBits = 0x43B11A296DE47070ULL;
constexpr double kUnsetValue = std::bit_cast<double>(kUnsetValueBits);
constexpr bool IsUnsetValue(double value) { return std::bit_cast<uint64_t>(value) == kUnsetValueBits; }
// Its display and file text.
constexpr const char kUnsetValueText[] = "undefined";

// ---- model type numbers ------------------------------------------------------------

enum ModelType : int {
    kModelNone = -1,
    kModelOpamp = 0,     // OPA
    kModelDiode = 1,     // D
    kModelNpn = 2,       // NPN
    kModelNmos = 3,      // NMOS levels 1-3 (and the keyword row of every NMOS level)
    kModelNjf = 4,       // NJF
    kModelPulse = 5,     // PUL
    kModelSine = 6,      // SIN
    kModelTline = 7,     // TRN
    kModelCore = 8,      // CORE
    kModelGasfet = 9,    // GASFET
    kModelVSwitch = 10,  // VSWITCH (also keyword SW)
    kModelISwitch = 11,  // ISWITCH
    kModelCap = 12,      // CAP
    kModelInd = 13,      // IND
    kModelRes = 14,      // RES (also keyword R)
    kModelPnp = 15,      // PNP
    kModelPmos = 16,     // PMOS levels 1-3 (and the keyword row of every PMOS level)
    kModelPjf = 17,      // PJF
    kModelDOutput = 18,  // DOUTPUT
    kModelDInput = 19,   // DINPUT
    kModelUAdc = 20,
    kModelUDac = 21,
    kModelUGate = 22,
    kModelUTGate = 23,
    kModelUEff = 24,
    kModelUGff = 25,
    kModelUDly = 26,
    kModelUPld = 27,
    kModelURom = 28,
    kModelURam = 29,
    kModelUBgt = 30,
    kModelUIo = 31,
    kModelBsim1N = 32,
    kModelBsim1P = 33,
    kModelBsim2N = 34,
    kModelBsim2P = 35,
    kModelBsim3N = 36,
    kModelBsim3P = 37,
    kModelLpnp = 38,
    kModelBsim4N = 39,
    kModelBsim4P = 40,
    kModelEkvN = 41,
    kModelEkvP = 42,
    kModelPwl = 43,  // piecewise-linear table statements; no row in the table
};
constexpr int kModelTypeCount = 43;
constexpr bool IsModelTypeRow(int type) { return type >= 0 && type < kModelTypeCount; }

// ---- rows --------------------------------------------------------------------------

// Parameter value kinds.
enum ModelParamKind : uint8_t {
    kParamNumber = 1,  // a double
    kParamChar = 2,    // one character (digital state letter) in the first byte; 0 = none
    kParamText = 3,    // a text pointer (null = empty text)
};

// Parameter flags.
enum ModelParamFlag : uint16_t {
    kParamWritable = 0x01,  // set for every parameter
    kParamSpice2G = 0x02,   // in the SPICE2G dialect's parameter set
    kParamPSpice = 0x04,    // in the PSPICE dialect's parameter set
    kParamSpice3 = 0x08,    // in the SPICE3 dialect's parameter set
    kParamAllDialects = 0x0E,
    kParamAlwaysWritten = 0x10,  // the .MODEL writer writes it even when equal to its default
    kParamReciprocal = 0x20,     // the device keeps 1/value, 0 meaning the element is absent
};

// The default of a parameter, by kind. Kind 2 defaults are held as a character
// code in `number` in the static data and moved into `character[0]` (other
// bytes 0) by InitModelParamTables; kind 3 texts are stored there as well.
union ModelParamDefault {
    double number;
    char character[8];
    const char* text;
};

struct ModelParamInfo {
    const char* Name;  // upper case
    ModelParamDefault Default;
    uint8_t Kind;        // ModelParamKind
    uint8_t CheckClass;  // 'A' any, '+' > 0, 'G' >= 0, '1' 0..1, '3' 0..3, 'L' 1..3, 'D' state letter
    uint16_t Flags;      // ModelParamFlag; the high byte carries no behaviour here
    int32_t SortIndex;   // see InitModelParamTables
};

struct ModelTypeInfo {
    int32_t ParamCount;
    int32_t ValueCount;          // parameters first, then slots the device model keeps for itself
    int32_t ComponentTypeIndex;  // row of the component type table; 0 = none
    ModelParamInfo* Params;
    int32_t TempParamIndex;  // index of T_MEASURED (then T_ABS, T_REL_GLOBAL, T_REL_LOCAL); 0 = none
    const char* Keyword;
    int32_t DigitalClass;         // 0 analog, 1 digital primitive timing, 2 digital I/O or converter
    int32_t HelpBase;             // string-table id of parameter 0's help text
    int32_t UnsetTimingDefaults;  // 1: new records get -1 in numeric parameters unless table defaults are asked for
    int32_t NameWidth;            // longest parameter name; computed at start-up
    const char* Description;
};

extern ModelTypeInfo ModelTypeTable[kModelTypeCount];

// The row of a model type, or null for -1, 43 (PWL) and anything out of range.
const ModelTypeInfo* GetModelTypeInfo(int type);
// The parameter count of a type; 0 for a type without a row.
int ModelParamCount(int type);
// The parameter, or null when the type or the index is out of range.
const ModelParamInfo* GetModelParamInfo(int type, int index);

// ---- value slots -----------------------------------------------------------------------

// A model's value slot is 8 bytes, declared double: a double (kind 1), a character
// in the first byte (kind 2) or a text pointer (kind 3). These read and write the
// non-numeric forms without aliasing faults.
char ModelSlotChar(const double* slot);
void SetModelSlotChar(double* slot, char c);            // the other 7 bytes become 0
const char* ModelSlotText(const double* slot);          // null: the empty text
void SetModelSlotText(double* slot, const char* text);  // stores the pointer; owns nothing

// ---- look-ups ------------------------------------------------------------------------

// The first row whose keyword equals `keyword` exactly (upper case expected: NMOS
// gives 3, PMOS 16, LPNP 38); else "R" 14, "SW" 10, "PWL" 43; else -1.
int FindModelTypeByName(const char* keyword);
// The model type of the first blank-ended word of `text` (at most 49 characters
// looked at); -1 when the copy holds no blank.
int FindModelTypeInText(const char* text);
// The parameter index of `name` (any case) in the type's list: exact, then with
// the first 0/O swapped, then through the type's aliases; -1 when none or when
// the name has 30 characters or more.
int FindModelParamIndex(int type, const char* name);

// MOS family: the keyword row (3 NMOS, 16 PMOS) of a BSIM or EKV type; other types unchanged.
int BaseMosType(int type);
// For types 3 and 16: LEVEL 1-3 keep the type, 4 BSIM1, 5 BSIM2, 8 and 49 BSIM3,
// 14 BSIM4, 44 EKV, anything else -1. Other types unchanged.
int MosLevelToType(int type, int level);
// Finds the first "LEVEL" in a parameter text and maps its integer with
// MosLevelToType; the type itself when there is no LEVEL or it maps to -1.
int LevelTypeFromText(const char* paramText, int type);
// The indices of LMIN, LMAX, WMIN, WMAX of the BSIM3 and BSIM4 rows (true);
// -1 four times and false for every other type.
bool BinningParamIndices(int type, int indices[4]);

// ---- checks and texts ------------------------------------------------------------------

// 0 when `*value` (a value slot) is acceptable for the parameter; otherwise the
// message is reported with the document, location and statement text (nothing is
// shown when the document is null) and the result is 15055. `levelRange` adds the
// 1..3 LEVEL check of NMOS/PMOS rows (parameter stepping). A bad type or index
// is refused with 15055 as well.
int CheckModelParamValue(CCTDoc* document, int location, int paramIndex, int type, const double* value,
                         const char* statementText, bool levelRange);
// Copies the parameter's name (empty for a bad type or index), bounded.
char* ModelParamName(char* buffer, size_t size, int type, int paramIndex);
// The string-table id of the parameter's help text: HelpBase + index.
int ModelParamHelpId(int type, int paramIndex);
// "undefined" for the unset value, else engineering notation with up to 15
// significant digits, trailing blanks removed.
char* FormatParamValue(char* buffer, size_t size, const double* value);

// Start-up fix-ups: default texts, character defaults, SortIndex and NameWidth.
// Called once before any model is read; later calls do nothing.
void InitModelParamTables();

// ---- reporting ----------------------------------------------------------------------------

// Makes the message pending with its printf arguments and reports it with the
// document, location and statement text through the core's Reporter(); nothing is shown
// (and nothing stays pending) when the document is null. Returns 15055.
int ReportModelMessage(CCTDoc* document, int location, const char* statementText, int messageId, ...);
