// The expression symbol table: every name the expression language knows (device
// quantities, run variables, global settings, functions, operators, constants),
// with its token code, argument counts, binding flags, units and help text.
//
// The table is fixed and process-wide. Lookups compare names without regard to
// case, start at the first row whose name begins with the name's first byte and
// scan forward to the end: the first matching row wins, so row order matters.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- token codes ------------------------------------------------------------------
// The key of the evaluator's dispatch. Several rows may share a code (LOG and
// LOG10, the three arc tangents); the compiler's own tokens have codes too.
enum ExprTokenCode : int {
    kTokEnd = 0,              // ends a lexeme list; variables have code 0 in the table
    kTokDigitalLiteral = 1,   // digital level literal
    kTokTwoStateLiteral = 2,  // two-state level literal (becomes 1)
    kTokDigitalNode = 3,
    kTokDoubleOperand = 4,   // the double behind a pointer
    kTokComplexOperand = 6,  // the ComplexNumber behind a pointer
    kTokConstant = 7,        // inline double
    kTokDelayConstant = 8,   // digital DELAY constant
    kTokPartReference = 9,
    kTokStateCell = 10,
    kTokIntOperand = 11,  // the int32 behind a pointer
    kTokVoltage = 15,
    kTokCurrent = 16,
    kTokCoreB = 17,
    kTokCoreH = 18,
    kTokCharge = 19,
    kTokCapacitance = 20,
    kTokFlux = 21,
    kTokInductance = 22,
    kTokResistance = 23,
    kTokPower = 24,
    kTokEnergy = 25,
    kTokComma = 27,
    kTokS = 29,
    kTokRe = 35,
    kTokIm = 36,
    kTokMag = 37,
    kTokPh = 38,
    kTokGd = 39,
    kTokInoise = 40,
    kTokOnoise = 41,
    kTokImport = 42,
    kTokSum = 43,
    kTokDel = 44,
    kTokRms = 45,
    kTokAvg = 46,
    kTokHarm = 47,
    kTokFft = 48,
    kTokFfts = 49,
    kTokFs = 50,
    kTokIft = 51,
    kTokIfts = 52,
    kTokConj = 53,
    kTokRes = 54,
    kTokCmul = 55,
    kTokCs = 56,
    kTokCc = 57,
    kTokAs = 58,
    kTokAc = 59,
    kTokCoh = 60,
    kTokThd = 69,
    kTokIhd = 70,
    kTokNorm = 71,
    kTokNormMin = 72,
    kTokNormMax = 73,
    kTokPow = 78,  // ** and POW
    kTokMod = 79,
    kTokDiv = 80,  // integer division DIV
    kTokLn = 81,
    kTokExp = 82,
    kTokAbs = 83,
    kTokNot = 84,  // NOT and !
    kTokLog = 85,  // LOG and LOG10
    kTokDb = 86,
    kTokSqrt = 87,
    kTokSgn = 88,
    kTokRnd = 89,
    kTokAnd = 90,
    kTokOr = 91,
    kTokXor = 92,
    kTokLess = 93,
    kTokGreater = 94,
    kTokGreaterEqual = 95,
    kTokLessEqual = 96,
    kTokNotEqual = 97,  // != and <>
    kTokEqual = 98,     // == and =
    kTokMultiply = 100,
    kTokDivide = 101,
    kTokPlus = 102,
    kTokMinus = 103,
    kTokTilde = 104,
    kTokAmpersand = 105,
    kTokCaret = 106,
    kTokBar = 107,
    kTokDigitalNot = 108,
    kTokGeneratedDivide = 109,
    kTokUnaryMinus = 110,
    kTokCloseParen = 111,
    kTokOpenParen = 112,
    kTokNand = 115,
    kTokNor = 116,
    kTokD = 120,
    kTokBase = 121,  // BIN, BINARY, OCT, DEC, HEX
    kTokDifa = 122,
    kTokCase = 123,
    kTokDefault = 124,
    kTokDifd = 127,
    kTokDigitalConstant = 130,
    kTokCallerVariable = 132,
    kTokTwoStateVariable = 133,
    kTokNode = 134,
    kTokIfThen = 141,
    kTokStp = 150,
    kTokImpulse = 151,
    kTokAtan2 = 152,
    kTokMin = 153,
    kTokMax = 154,
    kTokIf = 155,
    kTokLimit = 156,
    kTokDdt = 157,
    kTokSdt = 158,
    kTokPwr = 159,
    kTokPwrs = 160,
    kTokJ = 161,
    kTokTable = 162,
    kTokQuestion = 166,
    kTokColon = 167,
    kTokDer = 168,
    kTokRndr = 169,
    kTokRndc = 170,
    kTokRndi = 171,
    kTokLast = 175,
    kTokBsi = 180,
    kTokHsi = 181,
    kTokTrnLH = 274,
    kTokTrnLZ = 276,
    kTokTrnLX = 280,  // TRN_L$
    kTokTrnHL = 289,
    kTokTrnHZ = 292,
    kTokTrnHX = 296,  // TRN_H$
    kTokTrnZL = 321,
    kTokTrnZH = 322,
    kTokTrnZX = 328,  // TRN_Z$
    kTokTrnXL = 385,  // TRN_$L
    kTokTrnXH = 386,  // TRN_$H
    kTokTrnXZ = 388,  // TRN_$Z
    kTokDigitalDelay = 512,
    kTokChanged = 513,
    kTokChangedLH = 514,
    kTokChangedHL = 515,
    kTokPerformanceArg = 516,
    kTokCurveReference = 517,  // history / curve reference
    kTokStoredOperand = 518,
    kTokRiseTime = 520,
    kTokFallTime = 521,
    kTokPeakX = 522,
    kTokPeak = 523,  // PEAK and PEAK_Y
    kTokValleyX = 524,
    kTokValley = 525,  // VALLEY and VALLEY_Y
    kTokPeakValley = 526,
    kTokPeriod = 527,
    kTokFrequency = 528,
    kTokWidth = 529,
    kTokHighX = 530,
    kTokHigh = 531,  // HIGH and HIGH_Y
    kTokLowX = 532,
    kTokLow = 533,  // LOW and LOW_Y
    kTokXLevel = 534,
    kTokYLevel = 535,
    kTokXDelta = 536,
    kTokYDelta = 537,
    kTokXRange = 538,
    kTokYRange = 539,
    kTokSlope = 540,
    kTokPhaseMargin = 541,
    kTokCurveX = 551,  // CURVEX, WAVEFORMX
    kTokCurveY = 552,  // CURVEY, WAVEFORMY
    kTokBody = 553,
    kTokCoreM = 560,
    kTokCoreManl = 561,
    kTokCoreMan = 562,
    kTokCoreMl = 563,
    kTokCoreHl = 564,
    kTokCoreDmdh = 565,
    kTokCoreHi = 566,
    kTokCoreHil = 567,
    kTokJ0 = 568,
    kTokJ1 = 569,
    kTokJn = 570,
    kTokY0 = 571,
    kTokY1 = 572,
    kTokYn = 573,
    kTokSeries = 574,
    kTokFact = 575,
    kTokIndexVariable = 576,
    kTokProd = 577,
    kTokDd = 578,
    kTokSdFunction = 579,
    kTokSin = 580,
    kTokCos = 581,
    kTokTan = 582,
    kTokCot = 583,
    kTokSec = 584,
    kTokCsc = 585,
    kTokAsin = 586,
    kTokAcos = 587,
    kTokAtan = 588,  // ATN, ARCTAN, ATAN
    kTokAcot = 589,
    kTokAsec = 590,
    kTokAcsc = 591,
    kTokSinh = 592,
    kTokCosh = 593,
    kTokTanh = 594,
    kTokCoth = 595,
    kTokSech = 596,
    kTokCsch = 597,
    kTokAsinh = 598,
    kTokAcosh = 599,
    kTokAtanh = 600,
    kTokAcoth = 601,
    kTokAsech = 602,
    kTokAcsch = 603,
    kTokArrayElement = 604,
    kTokMinR = 605,
    kTokMaxR = 606,
    kTokDelay = 607,      // analog DELAY
    kTokLessPlain = 608,  // comparisons that give 1/0 in every dialect
    kTokGreaterPlain = 609,
    kTokGreaterEqualPlain = 610,
    kTokLessEqualPlain = 611,
};
constexpr int kTokenCodeCount = 625;  // codes 0..624

// ---- row field values ---------------------------------------------------------------

// tokenClass: 1..13 operator precedence (higher binds tighter), 14 function,
// 15 operand.
constexpr int16_t kClassFunction = 14;
constexpr int16_t kClassOperand = 15;

// analysisMask: where a name may be used.
enum : uint16_t {
    kAnaTransient = 0x1,
    kAnaAC = 0x2,
    kAnaDC = 0x4,
    kAnaDistortion = 0x8,
    kAnaAnyKind = 0xF,
    kAnaCurveOnly = 0x10,     // only in plot curve expressions
    kAnaWholeRun = 0x20,      // only in whole-run texts (performance functions)
    kAnaParameter = 0x40,     // parameter texts
    kAnaOutsideRun = 0x80,    // texts evaluated outside a run
    kAnaNeverFound = 0x1000,  // no name lookup finds the row
};

// kindFlags: how the compiler binds the row.
enum : uint32_t {
    kKindDigital0x1 = 0x1,
    kKindDigital0x4 = 0x4,
    kKindDigital0x40 = 0x40,
    kKindDigital0x200 = 0x200,
    kKindNodeArgument = 0x100,    // the argument is a node or part name
    kKindDeviceQuantity = 0x400,  // argument is a part
    kKindFunction = 0x800,
    kKindElectrical = 0x1000,  // V, I, Q, C, X, L, R quantities and D
    kKindPerformance = 0x80000,
    kKindRandomInt = 1u << 21,  // RNDI
    kKindOperator = 1u << 24,
    kKindConstant = 1u << 25,  // value in `value`
    kKindSpecialOperand = 1u << 26,
    kKindGlobalDouble = 1u << 27,  // double at `storage`
    kKindCircuitTotal = 1u << 28,  // ComplexNumber at `storage`
    kKindGlobalInt = 1u << 29,     // int32 at `storage`
    // Rows with any of these bits open an argument group.
    kKindFunctionLike = (1u << 0) | (1u << 3) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8) | (1u << 10) |
                        (1u << 11) | (1u << 19) | (1u << 20) | (1u << 21),
};

// contextMask: expression contexts in which the name is allowed.
enum : uint32_t {
    kCtxChanged = 0x20,
    kCtxDigitalD = 0x40,
    kCtxCaseDelay = 0x80,
    kCtxTransition = 0x200,
    kCtxOrdinary = 0x800,
    kCtxBin = 0x4000,
    kCtxOct = 0x8000,
    kCtxDec = 0x10000,
    kCtxHex = 0x20000,
    kCtxDifference = 0x40000,
};

// unitFlags: ORed into a compiled expression's first flag word.
enum : uint32_t {
    kUnitVoltage = 0x1,
    kUnitCurrent = 0x2,
    kUnitCharge = 0x4,
    kUnitCapacitance = 0x8,
    kUnitFlux = 0x10,
    kUnitInductance = 0x20,
    kUnitResistance = 0x40,
    kUnitDegrees = 0x80,
    kUnitAngle = 0x100,
    kUnitGauss = 0x200,
    kUnitOersted = 0x400,
    kUnitTime = 0x800,
    kUnitComplexFrequency = 0x1000,
    kUnitFrequency = 0x2000,
    kUnitPercent = 0x4000,
    kUnitNoise = 0x8000,
    kUnitEnergy = 0x10000,
    kUnitPower = 0x20000,
    kUnitTemperature = 0x40000,
    kUnitSpectrum = 0x80000,  // evaluated over a whole run (FFT functions)
    kUnitCoherence = 1u << 20,
    kUnitStateful = 1u << 21,  // keeps state between points
    kUnitDigitalState = 1u << 22,
    kUnitHex = 1u << 23,
    kUnitOct = 1u << 24,
    kUnitBin = 1u << 25,
    kUnitImported = 1u << 26,  // imported waveform
    kUnitDigitalDifference = 1u << 27,
    kUnitDecimal = 1u << 28,
    kUnitStp = 1u << 29,
    kUnitImpulse = 1u << 30,
    kUnitPerformance = 1u << 31,
};

// extraFlags: ORed into a compiled expression's second flag word.
enum : uint32_t {
    kExtraPartOfValue = 0x1,  // RE, IM, MAG, DEL, AVG, MIN, MAX, ABS ...
    kExtraGmin = 0x2,
    kExtraRandomPerRun = 0x4,     // RNDI, RNDR, RNDC: drawn once per run
    kExtraRandomOnRequest = 0x8,  // RND
    kExtraTesla = 0x10,           // BSI
    kExtraAmpsPerMetre = 0x20,    // HSI
    kExtraWholeRunNorm = 0x40,    // NORM, NORMMIN, NORMMAX
    kExtraRunningExtreme = 0x80,  // MINR, MAXR
    kExtraAnalogDelay = 0x100,    // DELAY with two arguments
};

// deviceMask: device classes a quantity applies to (shared with the quantity
// mask of a component type).
enum : uint32_t {
    kDevResistor = 0x1,
    kDevCapacitor = 0x2,
    kDevInductor = 0x4,  // inductors and cores
    kDevDiode = 0x8,
    kDevBipolar = 0x10,
    kDevMosfet = 0x20,
    kDevGaasfet = 0x40,
    kDevJfet = 0x80,
    kDevPulseSource = 0x100,
    kDevOpamp = 0x200,
    kDevSineSource = 0x400,
    kDevSpiceSource = 0x800,
    kDevUserSource = 0x1000,
    kDevTransmissionLine = 0x2000,
    kDevDependentSource = 0x4000,  // and the S and W switches
    kDevTwoTerminal = 0x8000,
    kDevDigitalNode = 0x10000,
    kDevBattery = 0x20000,
    kDevAnimated = 0x40000,
    kDevTrafficLight = 0x80000,
    kDevRelay = 1u << 20,
    kDevDcMotor = 1u << 21,
    kDevSpdtSwitch = 1u << 22,
    kDevDpstSwitch = 1u << 23,
    kDevSwitchSW = 1u << 24,
};

// menuCategory: the insert-function popup that lists the row.
enum ExprMenuCategory : int32_t {
    kMenuNone = -1,
    kMenuComplex = 0,
    kMenuFft = 1,
    kMenuCalculus = 2,
    kMenuBessel = 3,
    kMenuSeries = 4,
    kMenuMiscellaneous = 5,
    kMenuBoolean = 6,
    kMenuTrigonometric = 7,
    kMenuHyperbolic = 8,
    kMenuLogExp = 9,
    kMenuGlobalSettings = 10,
};

// ---- the table -----------------------------------------------------------------------

struct ExprSymbol {
    const char* name;  // upper case
    int16_t minArgs;   // 0: written without parentheses
    int16_t maxArgs;
    int16_t stateCells;  // state cells appended to the argument list
    int16_t tokenClass;
    int16_t code;
    uint16_t analysisMask;
    uint32_t kindFlags;
    uint32_t contextMask;
    uint32_t unitFlags;
    uint32_t extraFlags;
    uint32_t deviceMask;
    uint32_t reserved1;
    double value;   // a named constant's value
    void* storage;  // the global a variable reads (kind bit 27, 28 or 29)
    int32_t menuCategory;
    const char* help;
    uint32_t reserved2;
};

constexpr int kExprSymbolCount = 377;
extern const ExprSymbol ExprSymbolTable[kExprSymbolCount];

// Row numbers that callers refer to.
constexpr int kFirstVariableRow = 124;
constexpr int kFirstFunctionRow = 171;
constexpr int kFirstOperatorRow = 331;
constexpr int kFirstConstantRow = 363;
constexpr int kArrayElementRow = 376;  // the nameless row of code 604

// ---- indexes --------------------------------------------------------------------------

// Row of the first row with each code, or -1 (filled by BuildSymbolIndexes).
extern int32_t SymbolCodeIndex[kTokenCodeCount];
// 1 for the codes of tokens that push a new value on the evaluator's stack.
extern uint8_t OperandCodeSet[kTokenCodeCount];
// Row of the first row whose name begins with each byte; 0 where none does.
// Entry 0 is 1 once built.
extern int32_t SymbolLetterIndex[256];

// Fills SymbolCodeIndex and OperandCodeSet; called once at start-up, before
// any expression is compiled.
void BuildSymbolIndexes();
// Builds SymbolLetterIndex when entry 0 is still 0 (the compiler's first use).
void EnsureSymbolLetterIndex();

// ---- lookups ----------------------------------------------------------------------------

// The row at which a search for a name beginning with `firstByte` starts.
int SymbolSearchStart(unsigned char firstByte);
// The first row at or after `fromRow` whose name equals the first `length`
// bytes of `name`, compared without case; -1 when none. Pass fromRow -1 to
// start at the first-letter row.
int FindSymbolRowN(const char* name, size_t length, int fromRow = -1);
// The same for a terminated name.
int FindSymbolRow(const char* name, int fromRow = -1);

// Name of the first row with the code; "-" for the unary minus (110); null
// when no row has the code.
const char* GetSymbolNameByCode(int code);
// maxArgs of the first row with the code; 0 when none.
int GetSymbolMaxArgs(int code);
// True when the first row with the code has minArgs other than 0.
bool SymbolTakesArguments(int code);
// True when a row at or after the code's first row has the code and kindFlags
// exactly kKindOperator.
bool IsOperatorCode(int code);
// The name of the first variable row (kindFlags exactly bit 27, 28 or 29)
// whose storage is the address; null otherwise.
const char* FindVariableNameByStorage(const void* storage);
// minArgs of the first row with the name; 0 when none.
int GetSymbolMinArgs(const char* name);
// deviceMask of the first row with the name and minArgs other than 0; 0 when none.
uint32_t GetFunctionDeviceMask(const char* name);
// True when a row with the name takes arguments or is an imported waveform.
bool IsFunctionSymbol(const char* name);
// True when a row with the name takes a node or part name as its argument.
bool IsDeviceArgumentName(const char* name);
// True when a row with the name is a device quantity that takes arguments.
bool IsDeviceQuantityName(const char* name);
