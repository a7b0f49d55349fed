#include "expr/symbols.h"

#include <cstring>

#include "core/chars.h"

int32_t SymbolCodeIndex[kTokenCodeCount];
uint8_t OperandCodeSet[kTokenCodeCount];
int32_t SymbolLetterIndex[256];

// The code indexes are zero-filled until built, which would send every code to
// row 0; the queries build them on first use in case start-up has not yet.
static bool sym_CodeIndexBuilt = false;

void BuildSymbolIndexes() {
    for (int& entry : SymbolCodeIndex) entry = -1;
    for (int row = 0; row < kExprSymbolCount; ++row) {
        const int code = ExprSymbolTable[row].code;
        if (code > 0 && code < kTokenCodeCount && SymbolCodeIndex[code] == -1) SymbolCodeIndex[code] = row;
    }
    std::memset(OperandCodeSet, 0, sizeof OperandCodeSet);
    static const int kPushingCodes[] = {1,  3,  4,   6,   7,   9,   10,  11,  29,  40,
                                        41, 89, 134, 161, 169, 170, 516, 517, 553, 576};
    for (int code : kPushingCodes) OperandCodeSet[code] = 1;
    sym_CodeIndexBuilt = true;
}

static void sym_EnsureCodeIndex() {
    if (!sym_CodeIndexBuilt) BuildSymbolIndexes();
}

void EnsureSymbolLetterIndex() {
    if (SymbolLetterIndex[0] != 0) return;
    for (int row = kExprSymbolCount - 1; row >= 0; --row)
        SymbolLetterIndex[static_cast<unsigned char>(ExprSymbolTable[row].name[0])] = row;
    SymbolLetterIndex[0] = 1;
}

int SymbolSearchStart(unsigned char firstByte) {
    EnsureSymbolLetterIndex();
    return SymbolLetterIndex[firstByte];
}

int FindSymbolRowN(const char* name, size_t length, int fromRow) {
    if (!name) return -1;
    if (fromRow < 0) {
        // Table names are upper case, so starting at the upper-cased first
        // letter finds the same first match as starting at the byte itself.
        fromRow = length ? SymbolSearchStart(static_cast<unsigned char>(UpperChar(name[0]))) : SymbolSearchStart(0);
    }
    for (int row = fromRow; row < kExprSymbolCount; ++row) {
        const ExprSymbol& symbol = ExprSymbolTable[row];
        if (symbol.analysisMask & kAnaNeverFound) continue;
        size_t i = 0;
        while (i < length && symbol.name[i] != '\0' && UpperChar(name[i]) == symbol.name[i]) ++i;
        if (i == length && symbol.name[i] == '\0') return row;
    }
    return -1;
}

int FindSymbolRow(const char* name, int fromRow) {
    return name ? FindSymbolRowN(name, std::strlen(name), fromRow) : -1;
}

static const ExprSymbol* sym_FirstRowOfCode(int code) {
    if (code < 0 || code >= kTokenCodeCount) return nullptr;
    sym_EnsureCodeIndex();
    const int row = SymbolCodeIndex[code];
    return row < 0 ? nullptr : &ExprSymbolTable[row];
}

const char* GetSymbolNameByCode(int code) {
    if (code == kTokUnaryMinus) return "-";
    const ExprSymbol* symbol = sym_FirstRowOfCode(code);
    return symbol ? symbol->name : nullptr;
}

int GetSymbolMaxArgs(int code) {
    const ExprSymbol* symbol = sym_FirstRowOfCode(code);
    return symbol ? symbol->maxArgs : 0;
}

bool SymbolTakesArguments(int code) {
    const ExprSymbol* symbol = sym_FirstRowOfCode(code);
    return symbol && symbol->minArgs != 0;
}

bool IsOperatorCode(int code) {
    const ExprSymbol* symbol = sym_FirstRowOfCode(code);
    if (!symbol) return false;
    for (int row = static_cast<int>(symbol - ExprSymbolTable); row < kExprSymbolCount; ++row) {
        if (ExprSymbolTable[row].code == code && ExprSymbolTable[row].kindFlags == kKindOperator) return true;
    }
    return false;
}

const char* FindVariableNameByStorage(const void* storage) {
    // Imported-waveform rows are variables without storage: a null address
    // must not match them.
    if (!storage) return nullptr;
    for (const ExprSymbol& symbol : ExprSymbolTable) {
        const uint32_t kind = symbol.kindFlags;
        if ((kind == kKindGlobalDouble || kind == kKindCircuitTotal || kind == kKindGlobalInt) &&
            symbol.storage == storage)
            return symbol.name;
    }
    return nullptr;
}

int GetSymbolMinArgs(const char* name) {
    const int row = FindSymbolRow(name);
    return row < 0 ? 0 : ExprSymbolTable[row].minArgs;
}

// Calls test(row) for every row with the name, in table order, until it
// returns true.
template <class Test>
static bool sym_AnyRowNamed(const char* name, Test test) {
    for (int row = FindSymbolRow(name); row >= 0; row = FindSymbolRow(name, row + 1)) {
        if (test(ExprSymbolTable[row])) return true;
    }
    return false;
}

uint32_t GetFunctionDeviceMask(const char* name) {
    uint32_t mask = 0;
    sym_AnyRowNamed(name, [&](const ExprSymbol& symbol) {
        if (symbol.minArgs == 0) return false;
        mask = symbol.deviceMask;
        return true;
    });
    return mask;
}

bool IsFunctionSymbol(const char* name) {
    return sym_AnyRowNamed(
        name, [](const ExprSymbol& symbol) { return symbol.minArgs != 0 || (symbol.unitFlags & kUnitImported) != 0; });
}

bool IsDeviceArgumentName(const char* name) {
    return sym_AnyRowNamed(name, [](const ExprSymbol& symbol) { return (symbol.kindFlags & kKindNodeArgument) != 0; });
}

bool IsDeviceQuantityName(const char* name) {
    return sym_AnyRowNamed(name, [](const ExprSymbol& symbol) {
        return (symbol.kindFlags & (kKindNodeArgument | kKindDeviceQuantity)) != 0 && symbol.minArgs != 0;
    });
}
