#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "core/messages.h"
#include "expr/messages.h"
#include "expr/runvars.h"
#include "expr/symbols.h"

namespace {

class SymTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BuildSymbolIndexes();
        EnsureSymbolLetterIndex();
    }
};

int symt_RowOf(const char* name) { return FindSymbolRow(name); }

TEST_F(SymTable, LayoutAndDuplicateNames) {
    ASSERT_EQ(kExprSymbolCount, 377);
    EXPECT_STREQ(ExprSymbolTable[0].name, "V");
    EXPECT_STREQ(ExprSymbolTable[40].name, "I");
    EXPECT_STREQ(ExprSymbolTable[123].name, "IBC");
    EXPECT_STREQ(ExprSymbolTable[kFirstVariableRow].name, "ANALYSIS");
    EXPECT_STREQ(ExprSymbolTable[170].name, "FREQUENCY");
    EXPECT_STREQ(ExprSymbolTable[kFirstFunctionRow].name, "RE");
    EXPECT_STREQ(ExprSymbolTable[330].name, "TRN_$Z");
    EXPECT_STREQ(ExprSymbolTable[kFirstOperatorRow].name, "<");
    EXPECT_STREQ(ExprSymbolTable[362].name, "MOD");
    EXPECT_STREQ(ExprSymbolTable[kFirstConstantRow].name, "E");
    EXPECT_STREQ(ExprSymbolTable[375].name, "FALSE");
    EXPECT_STREQ(ExprSymbolTable[kArrayElementRow].name, "");

    // Names are upper case, and only these appear more than once: the first
    // row of each wins every name lookup.
    std::map<std::string, int> seen;
    for (const ExprSymbol& symbol : ExprSymbolTable) {
        for (const char* p = symbol.name; *p; ++p) EXPECT_FALSE(*p >= 'a' && *p <= 'z') << symbol.name;
        ++seen[symbol.name];
    }
    std::set<std::string> duplicates;
    for (const auto& [name, count] : seen)
        if (count > 1) duplicates.insert(name);
    const std::set<std::string> expected = {"M", "SD", "FREQUENCY", "DELAY", "<", ">", ">=", "<="};
    EXPECT_EQ(duplicates, expected);
    EXPECT_EQ(symt_RowOf("M"), 89);    // the core quantity, not the magnitude
    EXPECT_EQ(symt_RowOf("SD"), 156);  // the global setting, not the function
    EXPECT_EQ(symt_RowOf("FREQUENCY"), 170);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("DELAY")].code, kTokDelay);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("<")].code, kTokLess);
}

TEST_F(SymTable, NameLookupIgnoresCase) {
    const struct {
        const char* name;
        const char* found;  // null: not a symbol
    } cases[] = {
        {"vbe", "VBE"},
        {"Vbe", "VBE"},
        {"_distortion", "_DISTORTION"},
        {"DIGOVRDRV", "DIGOVRDRV"},
        {"r_node_gnd", "R_NODE_GND"},
        {"trn_$z", "TRN_$Z"},
        {"Log10", "LOG10"},
        {"**", "**"},
        {"<>", "<>"},
        {"nosuch", nullptr},
        {"1abc", nullptr},
        {"VB", "VB"},
        {"VBEX", nullptr},
        {"V", "V"},
    };
    for (const auto& c : cases) {
        const int row = symt_RowOf(c.name);
        if (!c.found) {
            EXPECT_EQ(row, -1) << c.name;
        } else {
            ASSERT_GE(row, 0) << c.name;
            EXPECT_STREQ(ExprSymbolTable[row].name, c.found) << c.name;
        }
    }
    // A name inside a longer text, by length.
    EXPECT_EQ(FindSymbolRowN("sin(x)", 3), symt_RowOf("SIN"));
    EXPECT_EQ(FindSymbolRow(nullptr), -1);
    // Searching on from a row finds the later row of a duplicated name.
    EXPECT_EQ(ExprSymbolTable[FindSymbolRow("m", symt_RowOf("M") + 1)].code, kTokMag);
}

TEST_F(SymTable, LetterIndex) {
    EXPECT_EQ(SymbolLetterIndex[0], 1);
    EXPECT_EQ(SymbolSearchStart('V'), 0);
    EXPECT_EQ(SymbolSearchStart('I'), 40);
    EXPECT_EQ(SymbolSearchStart('_'), 365);
    EXPECT_EQ(SymbolSearchStart('v'), 0);  // no row begins with a lower-case letter
    EXPECT_EQ(SymbolSearchStart('9'), 0);
}

TEST_F(SymTable, CodeQueries) {
    const struct {
        int code;
        const char* name;
    } names[] = {
        {85, "LOG"},     {110, "-"},      {2, nullptr},   {0, nullptr}, {-1, nullptr}, {625, nullptr}, {37, "MAG"},
        {38, "PH"},      {588, "ATN"},    {97, "!="},     {98, "=="},   {84, "NOT"},   {15, "V"},      {16, "I"},
        {551, "CURVEX"}, {552, "CURVEY"}, {42, "IMPORT"}, {608, "<"},   {604, ""},     {523, "PEAK"},
    };
    for (const auto& c : names) {
        const char* name = GetSymbolNameByCode(c.code);
        if (!c.name) {
            EXPECT_EQ(name, nullptr) << c.code;
        } else {
            EXPECT_STREQ(name, c.name) << c.code;
        }
    }
    EXPECT_EQ(SymbolCodeIndex[85], symt_RowOf("LOG"));
    EXPECT_EQ(SymbolCodeIndex[0], -1);

    const struct {
        int code;
        bool isOperator;
    } operators[] = {{93, true}, {608, true}, {35, false}, {78, true}, {84, true}, {2, false}, {580, false}};
    for (const auto& c : operators) EXPECT_EQ(IsOperatorCode(c.code), c.isOperator) << c.code;

    EXPECT_EQ(GetSymbolMaxArgs(kTokTable), 1001);
    EXPECT_EQ(GetSymbolMaxArgs(kTokCase), 200);
    EXPECT_EQ(GetSymbolMaxArgs(kTokBase), 32);
    EXPECT_EQ(GetSymbolMaxArgs(kTokVoltage), 2);
    EXPECT_EQ(GetSymbolMaxArgs(2), 0);
    EXPECT_TRUE(SymbolTakesArguments(kTokSin));
    EXPECT_FALSE(SymbolTakesArguments(kTokS));
    EXPECT_FALSE(SymbolTakesArguments(kTokJ));

    int pushing = 0;
    for (int code = 0; code < kTokenCodeCount; ++code) pushing += OperandCodeSet[code];
    EXPECT_EQ(pushing, 20);
    for (int code : {1, 4, 7, 134, 161, 576}) EXPECT_EQ(OperandCodeSet[code], 1) << code;
    for (int code : {0, 2, 15, 102}) EXPECT_EQ(OperandCodeSet[code], 0) << code;
}

TEST_F(SymTable, ArgumentCountsOfFunctions) {
    const struct {
        const char* name;
        int minArgs, maxArgs, cells, code;
    } cases[] = {
        {"TABLE", 3, 1001, 0, 162},
        {"SUM", 2, 3, 6, 43},
        {"GD", 1, 1, 5, 39},
        {"AVG", 1, 2, 3, 46},
        {"RMS", 1, 2, 3, 45},
        {"PH", 1, 1, 2, 38},
        {"DEL", 1, 2, 2, 44},
        {"MINR", 1, 1, 2, 605},
        {"MAXR", 1, 1, 2, 606},
        {"IF", 3, 3, 0, 155},
        {"ATAN2", 2, 2, 0, 152},
        {"RISE_TIME", 5, 5, 0, 520},
        {"PHASE_MARGIN", 1, 1, 0, 541},
        {"SERIES", 4, 4, 0, 574},
        {"JN", 2, 3, 0, 570},
        {"DELAY", 2, 2, 0, 607},
        {"CASE", 1, 200, 0, 123},
        {"HEX", 1, 32, 0, 121},
        {"V", 1, 2, 0, 15},
        {"VBE", 1, 1, 0, 15},
        {"FS", 1, 3, 0, 50},
        {"THD", 1, 2, 0, 69},
        {"PWRS", 2, 2, 0, 160},
        {"RNDI", 1, 1, 0, 171},
        {"LAST", 2, 2, 0, 175},
        {"T", 0, 0, 0, 0},
        {"PI", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const int row = symt_RowOf(c.name);
        ASSERT_GE(row, 0) << c.name;
        const ExprSymbol& symbol = ExprSymbolTable[row];
        EXPECT_EQ(symbol.minArgs, c.minArgs) << c.name;
        EXPECT_EQ(symbol.maxArgs, c.maxArgs) << c.name;
        EXPECT_EQ(symbol.stateCells, c.cells) << c.name;
        EXPECT_EQ(symbol.code, c.code) << c.name;
    }
    // Functions that keep state carry the stateful unit bit, so that the run
    // phases reach them.
    for (const ExprSymbol& symbol : ExprSymbolTable) {
        if (symbol.stateCells) {
            EXPECT_TRUE(symbol.unitFlags & kUnitStateful) << symbol.name;
        }
    }
}

TEST_F(SymTable, RowsBindConsistently) {
    int settings = 0, integers = 0;
    for (const ExprSymbol& symbol : ExprSymbolTable) {
        const uint32_t kind = symbol.kindFlags;
        if (symbol.minArgs > 0) {
            // A row that takes arguments opens an argument group, or is a
            // bare special operand followed by its parenthesised argument.
            EXPECT_TRUE((kind & kKindFunctionLike) || kind == kKindSpecialOperand) << symbol.name;
            EXPECT_EQ(symbol.tokenClass, kClassFunction) << symbol.name;
            EXPECT_GE(symbol.maxArgs, symbol.minArgs) << symbol.name;
        }
        if (kind == kKindGlobalDouble || kind == kKindGlobalInt || kind == kKindCircuitTotal) {
            if (!(symbol.unitFlags & kUnitImported)) {
                EXPECT_NE(symbol.storage, nullptr) << symbol.name;
            }
        } else {
            EXPECT_EQ(symbol.storage, nullptr) << symbol.name;
        }
        if (kind == kKindOperator) {
            EXPECT_TRUE(symbol.tokenClass >= 1 && symbol.tokenClass <= 13) << symbol.name;
        }
        if (symbol.menuCategory == kMenuGlobalSettings) ++settings;
        if (kind == kKindGlobalInt) ++integers;
        EXPECT_NE(symbol.help, nullptr) << symbol.name;
    }
    EXPECT_EQ(settings, 31);
    EXPECT_EQ(integers, 9);

    const ExprSymbol& e = ExprSymbolTable[symt_RowOf("E")];
    EXPECT_EQ(e.value, std::exp(1.0));
    EXPECT_EQ(e.kindFlags, kKindConstant);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("PI")].value, 3.141592653589793);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("_SENS")].value, 7.0);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("TRUE")].contextMask, 0x820u);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("GMIN")].extraFlags, kExtraGmin);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("S")].kindFlags, kKindSpecialOperand);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("ITL4")].storage, &GlobalSettings.itl4);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("J")].code, kTokJ);
    EXPECT_STREQ(ExprSymbolTable[symt_RowOf("V")].help, "%cVoltage across");
    EXPECT_STREQ(ExprSymbolTable[symt_RowOf("IA")].help, "%bCurrent into");
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("VBC")].deviceMask, 0x400010u);
    EXPECT_EQ(ExprSymbolTable[symt_RowOf("<")].analysisMask, 207);
    EXPECT_EQ(ExprSymbolTable[339].analysisMask, kAnaNeverFound);  // '<' of the second set
}

TEST_F(SymTable, NameQueries) {
    EXPECT_EQ(GetFunctionDeviceMask("M"), 0x4u);  // the core row comes first
    EXPECT_EQ(GetFunctionDeviceMask("i"), 0x45d0fu);
    EXPECT_EQ(GetFunctionDeviceMask("T"), 0u);
    EXPECT_EQ(GetFunctionDeviceMask("nosuch"), 0u);
    EXPECT_EQ(GetSymbolMinArgs("SD"), 0);  // the global setting comes first
    EXPECT_EQ(GetSymbolMinArgs("sin"), 1);
    EXPECT_EQ(GetSymbolMinArgs("nosuch"), 0);

    const struct {
        const char* name;
        bool function, deviceArgument, deviceQuantity;
    } cases[] = {
        {"IMPORT", true, false, false}, {"T", false, false, false},   {"SIN", true, false, false},
        {"V", true, true, true},        {"vbe", true, false, true},   {"B", true, true, true},
        {"M", true, false, true},       {"EGT", false, false, false}, {"D", true, true, true},
        {"HEX", true, true, true},      {"SD", true, false, false},   {"nosuch", false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsFunctionSymbol(c.name), c.function) << c.name;
        EXPECT_EQ(IsDeviceArgumentName(c.name), c.deviceArgument) << c.name;
        EXPECT_EQ(IsDeviceQuantityName(c.name), c.deviceQuantity) << c.name;
    }
}

TEST_F(SymTable, VariableNameByStorage) {
    EXPECT_STREQ(FindVariableNameByStorage(&RunVars.time), "T");
    EXPECT_STREQ(FindVariableNameByStorage(&RunVars.frequency), "F");
    EXPECT_STREQ(FindVariableNameByStorage(&GlobalSettings.itl1), "ITL1");
    EXPECT_STREQ(FindVariableNameByStorage(&GlobalSettings.rNodeGnd), "R_NODE_GND");
    EXPECT_STREQ(FindVariableNameByStorage(&CircuitPowerTotals.generated), "EGT");
    // Not a variable's storage; null must not match the storage-less rows.
    EXPECT_EQ(FindVariableNameByStorage(&GlobalSettings.lthresh), nullptr);
    EXPECT_EQ(FindVariableNameByStorage(nullptr), nullptr);
}

TEST(SymMessages, ExpressionMessagesAreRegistered) {
    RegisterExprMessages();
    EXPECT_STREQ(GetMessageText(10402), "%EUnknown identifier '%s' in '%.200s'.");
    EXPECT_STREQ(GetMessageText(15003), "%EFloating point '%s'.");
    EXPECT_STREQ(GetMessageText(15100), "invalid operation");
    EXPECT_STREQ(GetMessageText(10444),
                 "%EA stack overflow occurred in an array variable. It probably contains a self-reference.");
}

}  // namespace
