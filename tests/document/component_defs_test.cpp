#include "document/component_defs.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"

namespace {

std::string cdt_Str(const char* s) { return s ? std::string(s) : std::string("<none>"); }

std::vector<std::string> cdt_PinNames(const ComponentDef& d) {
    std::vector<std::string> names;
    char buffer[kPinNameSize];
    for (int i = 0; i < d.pinCount; ++i) names.push_back(d.GetPinName(i, buffer, sizeof buffer));
    return names;
}

// A definition of a type with its data fields and pins fitted to them.
void cdt_Make(ComponentDef& d, int type, int data1, int data2) {
    d.Clear();
    d.Init();
    d.type = type;
    d.data1 = static_cast<int16_t>(data1);
    d.data2 = static_cast<int16_t>(data2);
    d.FitPinsToType(false);
}

class CompDefsTest : public ::testing::Test {
protected:
    void TearDown() override { SetAllocFailureAfter(-1); }
};

// ---- the type table ---------------------------------------------------------------

TEST_F(CompDefsTest, TableRowsAreConsistent) {
    for (int row = 0; row < kComponentTypeCount; ++row) {
        const ComponentType& t = ComponentTypeTable[row];
        SCOPED_TRACE(row);
        ASSERT_NE(t.prefix, nullptr);
        ASSERT_NE(t.name, nullptr);
        for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
            int id = t.attributeIds[slot];
            EXPECT_TRUE(id == 0 || IsStandardAttributeId(id));
            if (id == 0) {
                EXPECT_EQ(t.helpIds[slot], 0);
            }
        }
        // Names are unique, so a lookup by a row's own name finds that row.
        if (t.name[0]) {
            EXPECT_EQ(FindComponentType(t.name), row);
        }
    }
    EXPECT_EQ(GetComponentType(-1), nullptr);
    EXPECT_EQ(GetComponentType(kComponentTypeCount), nullptr);
}

TEST_F(CompDefsTest, FindComponentTypeByNameWithoutCase) {
    struct Case {
        const char* name;
        int row;
    } cases[] = {
        {"resistor", 2}, {"RESISTOR", 2},          {"Resistor", 2},      {"S_PORT", 136},
        {"s_port", 136}, {"N_PORT", 136},          {"digital led", 125}, {"timer", 146},
        {"nand3a", 89},  {"SAMPLE_AND_HOLD", 135}, {"no such part", -1}, {"", 113},
        {nullptr, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(FindComponentType(c.name), c.row) << cdt_Str(c.name);
}

TEST_F(CompDefsTest, RowsByNumber) {
    struct Case {
        int row;
        const char* prefix;
        int classCode;
        int pinCount;
        int modelType;
        int digital;
        int deviceList;
    } cases[] = {
        {0, " ", 8401, 0, -1, 0, -1},       {2, "R", 8470, 2, 14, 0, 2},         {7, "Q", 8420, 3, 15, 0, 6},
        {12, "SW", 8490, 4, -1, 0, 12},     {18, " ", 8400, 1, -1, 0, -1},       {22, "X", 8510, -1, -1, 2, -1},
        {30, "V", 8470, 2, -1, 0, 1},       {66, "U", 58, 0, 0, 1, -1},          {129, "V", 8410, 1, -1, 0, 1},
        {133, "E", 8490, 4, -1, 0, 31},     {137, "Switch", 8651, 2, -1, 0, -1}, {140, "Light", 8668, 3, -1, 0, -1},
        {146, "Timer", 8675, 4, -1, 0, -1},
    };
    for (const Case& c : cases) {
        const ComponentType& t = ComponentTypeTable[c.row];
        SCOPED_TRACE(c.row);
        EXPECT_STREQ(t.prefix, c.prefix);
        EXPECT_EQ(t.classCode, c.classCode);
        EXPECT_EQ(t.pinCount, c.pinCount);
        EXPECT_EQ(t.modelType, c.modelType);
        EXPECT_EQ(t.digital, c.digital);
        EXPECT_EQ(t.deviceList, c.deviceList);
    }
    EXPECT_EQ(ComponentTypeTable[15].digitalFlags, 0x1000000u);
    EXPECT_EQ(ComponentTypeTable[145].deviceBits, 0x248000u);
    EXPECT_TRUE(IsRealPartType(kTypeResistor));
    for (int row : {+kTypeShort, +kTypeGround, +kTypeJumper, -1, kComponentTypeCount})
        EXPECT_FALSE(IsRealPartType(row));
}

TEST_F(CompDefsTest, ModelAndPrimaryAttributeNames) {
    struct Case {
        int type;
        const char* model;
        const char* modelName;
        const char* primary;
        bool primaryExists;
    } cases[] = {
        {kTypeBuf, "TIMING MODEL", "TIMING MODEL", nullptr, false},
        {kTypeNpn, "MODEL", "MODEL", "VALUE", true},
        {kTypeResistor, "MODEL", "MODEL", "VALUE", true},
        {kTypeBattery, nullptr, nullptr, "VALUE", true},
        {kTypeSubckt, nullptr, "NAME", "NAME", true},
        {kTypeMacro, nullptr, "FILE", "FILE", true},
        {kTypePulseSource, "MODEL", "MODEL", nullptr, false},
        {kTypeGround, nullptr, nullptr, nullptr, false},
        {kTypeNull, nullptr, nullptr, nullptr, false},
        {-1, nullptr, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(cdt_Str(ModelAttributeName(c.type)), cdt_Str(c.model));
        EXPECT_EQ(cdt_Str(ModelNameAttributeName(c.type)), cdt_Str(c.modelName));
        EXPECT_EQ(cdt_Str(PrimaryAttributeName(c.type)), cdt_Str(c.primary));
        EXPECT_EQ(PrimaryAttributeExists(c.type), c.primaryExists);
    }
}

TEST_F(CompDefsTest, StandardAttributesOfNewParts) {
    struct Case {
        int type;
        std::vector<std::string> names;  // per slot; "" for an empty slot
        std::vector<int> help;
    } cases[] = {
        {kTypeResistor, {"VALUE", "FREQ", "MODEL"}, {19040, 19045, 19002}},
        {kTypeSubckt, {"NAME", "FILE", "PARAMS:", "TEXT:"}, {19008, 19009, 19010, 19011}},
        {kTypeBuf,
         {"", "TIMING MODEL", "I/O MODEL", "MNTYMXDLY", "IO_LEVEL", "POWER NODE", "GROUND NODE"},
         {0, 19021, 19022, 19023, 19024, 19025, 19026}},
        {141, {"", "COLOR", "COLOR_INDEX"}, {0, 19219, 0}},
        {101,
         {"", "TIMING MODEL", "I/O MODEL", "FILE", "DATA", "MNTYMXDLY", "IO_LEVEL", "POWER NODE", "GROUND NODE"},
         {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
        {kTypeStim,
         {"FORMAT", "COMMAND", "I/O MODEL", "TIMESTEP", "IO_LEVEL", "POWER NODE", "GROUND NODE", "SEED"},
         {19027, 19028, 19022, 19029, 19024, 19025, 19026, 19228}},
        {kTypeGround, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const ComponentType& t = ComponentTypeTable[c.type];
        for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
            std::string expected = slot < static_cast<int>(c.names.size()) ? c.names[slot] : "";
            EXPECT_EQ(GetAttributeName(t.attributeIds[slot]), expected) << slot;
            EXPECT_EQ(t.helpIds[slot], slot < static_cast<int>(c.help.size()) ? c.help[slot] : 0) << slot;
        }
    }
    EXPECT_TRUE(IsStandardAttributeOfType(kTypeResistor, kAttrModel));
    EXPECT_FALSE(IsStandardAttributeOfType(kTypeResistor, kAttrPart));
    EXPECT_FALSE(IsStandardAttributeOfType(kTypeBuf, 0));  // empty slot 0 is no attribute
    EXPECT_FALSE(IsStandardAttributeOfType(999, kAttrValue));
}

TEST_F(CompDefsTest, RunCountsIgnoreTypesOutsideTheTable) {
    // Each circuit counts for itself.
    CCirDoc first;
    CCirDoc second;
    ComponentTypeCounts& counts = first.build.typeCounts;
    counts.Increment(kTypeResistor);
    counts.Increment(kTypeResistor);
    counts.Increment(-1);
    counts.Increment(kComponentTypeCount);
    second.build.typeCounts.Increment(kTypeCapacitor);
    EXPECT_EQ(counts.Count(kTypeResistor), 2);
    EXPECT_EQ(counts.Count(kTypeCapacitor), 0);
    EXPECT_EQ(counts.Count(-1), 0);
    EXPECT_EQ(counts.Count(kComponentTypeCount), 0);
    EXPECT_EQ(second.build.typeCounts.Count(kTypeCapacitor), 1);
    EXPECT_EQ(second.build.typeCounts.Count(kTypeResistor), 0);
    counts.Reset();
    EXPECT_EQ(counts.Count(kTypeResistor), 0);
}

// ---- pin counts and names ---------------------------------------------------------

TEST_F(CompDefsTest, PinCountsAndNamesByType) {
    struct Case {
        int type, data1, data2;
        std::vector<std::string> names;
    } cases[] = {
        {kTypeAnd, 3, 0, {"In0", "In1", "In2", "Out"}},
        {kTypeAnd, 1, 0, {"In", "Out"}},
        {kTypeXor, 0, 0, {"In1", "In2", "Out"}},
        {kTypeBuf, 0, 0, {"In", "Out"}},
        {kTypeBuf3, 0, 0, {"In", "Enable", "Out"}},
        {80, 2, 0, {"In0", "In1", "Enable", "Out"}},  // AND3
        {74, 3, 0, {"In0", "In1", "In2", "Out"}},     // AO
        {101, 2, 2, {"In0", "In1", "Out0", "Out1"}},  // PLAND
        {kTypeStim, 0, 4, {"Out3", "Out2", "Out1", "Out0"}},
        {kTypeFstim, 0, 2, {"Out1", "Out0"}},
        {kTypeAdc,
         8,
         0,
         {"In", "Ref", "Gnd", "Convert", "Status", "Over-range", "Out7", "Out6", "Out5", "Out4", "Out3", "Out2", "Out1",
          "Out0"}},
        {kTypeAdc, 1, 0, {"In", "Ref", "Gnd", "Convert", "Status", "Over-range", "Out"}},
        {kTypeDac, 2, 0, {"Out", "Ref", "Gnd", "In1", "In0"}},
        {kTypeDac, 1, 0, {"Out", "Ref", "Gnd", "In"}},
        {kTypeNPort, 2, 0, {"1P", "1M", "2P", "2M"}},
        {kTypeNpn, 0, 0, {"Collector", "Base", "Emitter"}},
        {36, 0, 0, {"Collector", "Base", "Emitter", "Substrate"}},  // NPN4
        {kTypeNmos, 0, 0, {"Drain", "Gate", "Source", "Body"}},
        {kTypeResistor, 0, 0, {"Plus", "Minus"}},
        {kTypeOpamp, 0, 0, {"Plus input", "Minus input", "VEE", "Output", "VCC"}},
        {kTypeGround, 0, 0, {"PinA"}},
        {kTypeJumper, 0, 0, {"PinA", "PinB"}},
        {94, 0, 0, {"PREB", "CLRB", "CLKB", "J", "K", "Q", "QB"}},  // JKFF
        {kTypeSevenSegment, 0, 0, {"A", "B", "C", "D", "E", "F", "G"}},
        {kTypeDigitalSwitch, 0, 0, {"Out"}},
        {kTypePullUp, 0, 0, {"Digital"}},
        {kTypeTimer, 0, 0, {"ELAPSED", "COUNT", "LAST", "RESET"}},
        {kTypeN, 0, 0, {"Analog", "Low-level", "High-level", "Digital"}},
        {kTypeBufA, 0, 0, {}},
        {kTypeK, 0, 0, {}},
    };
    ComponentDef d;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " data " << c.data1 << "," << c.data2);
        cdt_Make(d, c.type, c.data1, c.data2);
        EXPECT_EQ(d.ExpectedPinCount(), static_cast<int>(c.names.size()));
        EXPECT_EQ(cdt_PinNames(d), c.names);
        for (size_t i = 0; i < c.names.size(); ++i) {
            // Lookup by name finds the first pin of that name, in any case.
            std::string lower = c.names[i];
            for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            int found = d.FindPinByName(lower.c_str());
            ASSERT_GE(found, 0);
            EXPECT_EQ(c.names[found], c.names[i]);
        }
    }
    EXPECT_EQ(d.FindPinByName("nothing"), -1);
}

TEST_F(CompDefsTest, ExpectedPinCountRejectsInvalidData) {
    struct Case {
        int type, data1, data2, expected;
    } cases[] = {
        {kTypeAnd, 0, 0, -1},  {kTypeAdc, 0, 0, -1},   {kTypeAdc, 33, 0, -1}, {kTypeDac, 32, 0, 35},
        {kTypeStim, 0, 0, -1}, {kTypeStim, 0, 33, -1}, {101, 2, 0, -1},       {kTypeNPort, 0, 0, 0},
    };
    ComponentDef d;
    for (const Case& c : cases) {
        d.type = c.type;
        d.data1 = static_cast<int16_t>(c.data1);
        d.data2 = static_cast<int16_t>(c.data2);
        EXPECT_EQ(d.ExpectedPinCount(), c.expected) << c.type << " " << c.data1 << " " << c.data2;
    }
}

TEST_F(CompDefsTest, FitPinsToTypeRepairsOnlyWhenAllowed) {
    ComponentDef d;
    d.type = kTypeAnd;
    ASSERT_EQ(d.ResizePins(3), kOk);
    EXPECT_EQ(d.FitPinsToType(false), 1);
    EXPECT_EQ(d.pinCount, 3);
    EXPECT_EQ(d.data1, 0);
    EXPECT_EQ(d.FitPinsToType(true), 1);
    EXPECT_EQ(d.data1, 1);
    EXPECT_EQ(d.data2, 0);
    EXPECT_EQ(d.pinCount, 2);
    d.data1 = 4;
    EXPECT_EQ(d.FitPinsToType(false), 0);
    EXPECT_EQ(d.pinCount, 5);
}

TEST_F(CompDefsTest, InputPinCounts) {
    struct Case {
        int type, data1, data2, inputs;
    } cases[] = {
        {kTypeAnd, 3, 0, 3},    {kTypeBuf3, 0, 0, 2},     {kTypeXor, 0, 0, 2},  {94, 0, 0, 5},
        {95, 0, 0, 4},          {kTypeAdc, 8, 0, 8},      {101, 2, 3, 2},       {kTypeStim, 0, 4, 0},
        {113, 1, 1, 3},         {114, 1, 1, 5},           {kTypeNbtg, 0, 0, 3}, {kTypeSevenSegment, 0, 0, 7},
        {kTypePullUp, 0, 0, 1}, {kTypeResistor, 0, 0, 0},
    };
    ComponentDef d;
    for (const Case& c : cases) {
        d.type = c.type;
        d.data1 = static_cast<int16_t>(c.data1);
        d.data2 = static_cast<int16_t>(c.data2);
        EXPECT_EQ(d.GetInputPinCount(), c.inputs) << c.type;
    }
    d.type = kTypePullUp;
    EXPECT_EQ(d.CountInputPins(), 0);
}

// ---- pin texts ---------------------------------------------------------------------

TEST_F(CompDefsTest, SetPinNormalisesKindByType) {
    struct Case {
        int type;
        char letter;
        const char* extra;
        char kind;
        bool hasExtra;
    } cases[] = {
        {kTypeMacro, 'x', nullptr, 'a', false},      {kTypeMacro, 'd', nullptr, 'd', false},
        {kTypeMacro, 'D', nullptr, 'd', false},      {kTypeMacro, 'a', "VCC", 'A', true},
        {kTypeSubckt, 'd', "N1", 'D', true},         {kTypeSubckt, '?', nullptr, '?', false},
        {kTypeSubckt, 0, nullptr, 'a', false},       {kTypeSubckt, 'd', "", 'd', false},
        {kTypePinDelay, 'x', nullptr, 'i', false},   {kTypePinDelay, 'r', nullptr, 'r', false},
        {kTypeLogicExp, 'o', nullptr, 'o', false},   {kTypeLogicExp, 'e', nullptr, 'i', false},
        {kTypeConstraint, 'o', nullptr, 'i', false}, {kTypeResistor, 'q', "X", 'q', false},
    };
    ComponentDef d;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " '" << c.letter << "'");
        d.type = c.type;
        ASSERT_EQ(d.ResizePins(1), kOk);
        ASSERT_EQ(d.SetPin(0, c.letter, "P", c.extra), kOk);
        EXPECT_EQ(d.PinKind(0), c.kind);
        EXPECT_EQ(d.PinHasExtraText(0), c.hasExtra);
        EXPECT_STREQ(d.GetHiddenNodeName(0), c.hasExtra ? c.extra : "");
    }
    EXPECT_EQ(d.SetPin(1, 'a', "P", nullptr), kResultMissingParam);
    EXPECT_EQ(d.SetPin(-1, 'a', "P", nullptr), kResultMissingParam);
}

TEST_F(CompDefsTest, PinTextsInlineAndOnTheHeap) {
    struct Case {
        const char* name;
        const char* extra;
        bool heap;
        int length;
    } cases[] = {
        {"ABCDEF", nullptr, false, 7},                           // letter, 6, NUL: 8 bytes
        {"ABCDEFG", nullptr, true, 8}, {"AB", "NODE", true, 8},  // a, AB, NUL, NODE, NUL: 9 bytes
        {"", nullptr, false, 1},       {"A_VERY_LONG_PIN_NAME", "HIDDEN_NODE_NAME", true, 38},
    };
    ComponentDef d;
    d.type = kTypeSubckt;
    ASSERT_EQ(d.ResizePins(static_cast<int>(std::size(cases))), kOk);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        ASSERT_EQ(d.SetPin(i, 'a', cases[i].name, cases[i].extra), kOk);
    }
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(d.pins[i].heapText != nullptr, c.heap);
        EXPECT_EQ(d.PinTextLength(i), c.length);
        char buffer[kPinNameSize];
        EXPECT_STREQ(d.GetPinName(i, buffer, sizeof buffer), c.name);
        EXPECT_STREQ(d.PinExtraText(i), c.extra ? c.extra : "");
    }
    // Rewriting a heap pin with a short text goes back inline.
    ASSERT_EQ(d.SetPin(4, 'd', "X", nullptr), kOk);
    EXPECT_EQ(d.pins[4].heapText, nullptr);
    EXPECT_STREQ(d.PinText(4), "dX");
    // Display names stop at 39 characters.
    const std::string longName(50, 'N');
    ASSERT_EQ(d.SetPin(0, 'a', longName.c_str(), nullptr), kOk);
    char big[100];
    EXPECT_EQ(std::string(d.GetPinName(0, big, sizeof big)), longName.substr(0, 39));
    EXPECT_EQ(d.PinTextLength(99), 0);
}

TEST_F(CompDefsTest, PinsFromSubcktLine) {
    struct Case {
        const char* line;
        const char* name;
        std::vector<std::string> pins;
    } cases[] = {
        {".SUBCKT OP27 1 2 3 4 5 PARAMS: GAIN=1", "OP27", {"1", "2", "3", "4", "5"}},
        {".subckt buf in out optional: vdd vss", "buf", {"in", "out"}},
        {".SUBCKT X1 A , B TEXT: T=1", "X1", {"A", "B"}},
        {".SUBCKT LONE", "LONE", {}},
    };
    ComponentDef d;
    d.type = kTypeSubckt;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(d.SetPinsFromSubcktLine(c.line), kOk);
        EXPECT_STREQ(d.Name(), c.name);
        EXPECT_EQ(cdt_PinNames(d), c.pins);
        for (int i = 0; i < d.pinCount; ++i) EXPECT_EQ(d.PinKind(i), 'a');
    }
    EXPECT_EQ(d.SetPinsFromSubcktLine(".SUBCKT"), kResultMissingParam);
}

TEST_F(CompDefsTest, ResizeDeleteAndCopyPins) {
    ComponentDef d;
    d.type = kTypeMacro;
    ASSERT_EQ(d.ResizePins(3), kOk);
    // New pins of a definition without pins stand in a column.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.pins[i].x, 0);
        EXPECT_EQ(d.pins[i].y, 2 * i);
    }
    ASSERT_EQ(d.SetPin(0, 'a', "FIRST_LONG_NAME", nullptr), kOk);
    ASSERT_EQ(d.SetPin(1, 'd', "MIDDLE_LONG_NAME", "NODE"), kOk);
    ASSERT_EQ(d.SetPin(2, 'a', "LAST_LONG_NAME", nullptr), kOk);
    d.pins[2].x = 7;

    ComponentDef copy;
    ASSERT_EQ(copy.CopyDefinition(d, true), kOk);
    ASSERT_EQ(d.DeletePin(1), kOk);
    EXPECT_EQ(cdt_PinNames(d), (std::vector<std::string>{"FIRST_LONG_NAME", "LAST_LONG_NAME"}));
    EXPECT_EQ(d.pins[1].x, 7);
    // The copy owns its own texts.
    EXPECT_EQ(cdt_PinNames(copy), (std::vector<std::string>{"FIRST_LONG_NAME", "MIDDLE_LONG_NAME", "LAST_LONG_NAME"}));
    EXPECT_STREQ(copy.GetHiddenNodeName(1), "NODE");

    ASSERT_EQ(d.DeletePin(0), kOk);
    ASSERT_EQ(d.DeletePin(0), kOk);
    EXPECT_EQ(d.pinCount, 0);
    EXPECT_EQ(d.pins, nullptr);
    EXPECT_EQ(d.DeletePin(0), kResultMissingParam);
}

TEST_F(CompDefsTest, ResizePinsOutOfMemoryKeepsThePins) {
    ComponentDef d;
    d.type = kTypeSubckt;
    ASSERT_EQ(d.ResizePins(2), kOk);
    ASSERT_EQ(d.SetPin(0, 'a', "KEEP_THIS_NAME", nullptr), kOk);
    SetAllocFailureAfter(0);
    EXPECT_EQ(d.ResizePins(200), kResultNoMemory);
    EXPECT_EQ(d.SetPin(1, 'a', "ANOTHER_LONG_NAME", nullptr), kResultNoMemory);
    SetAllocFailureAfter(-1);
    EXPECT_EQ(d.pinCount, 2);
    char buffer[kPinNameSize];
    EXPECT_STREQ(d.GetPinName(0, buffer, sizeof buffer), "KEEP_THIS_NAME");
    EXPECT_STREQ(d.GetPinName(1, buffer, sizeof buffer), "");
}

TEST_F(CompDefsTest, PindlyPinsSortedAndPaired) {
    ComponentDef d;
    d.type = kTypePinDelay;
    const char kinds[] = {'o', 'i', 'e', 'r', 'i'};
    const char* names[] = {"O1", "I1", "E1", "R1", "I2"};
    ASSERT_EQ(d.ResizePins(5), kOk);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(d.SetPin(i, kinds[i], names[i], nullptr), kOk);
    d.SortPinsByKind();
    EXPECT_EQ(cdt_PinNames(d), (std::vector<std::string>{"I1", "I2", "R1", "E1", "O1"}));
    d.SyncDataFromPins();
    EXPECT_EQ(d.data1, 2);
    EXPECT_EQ(d.data2, 1);
    EXPECT_EQ(d.CountInputPins(), 3);  // inputs and the reference pin
    int in = -1, out = -1;
    d.PindlyPinPair(1, &in, &out);
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1 + 1 + 2 + 1);
    d.PindlyPinPair(4, &in, &out);
    EXPECT_EQ(in, 0);
    EXPECT_EQ(out, 4);

    d.type = kTypeConstraint;
    d.SyncDataFromPins();
    EXPECT_EQ(d.data1, 5);
    EXPECT_EQ(d.data2, 0);
    EXPECT_EQ(d.CountPinsOfKind('i'), 0);  // counted for LOGICEXP and PINDLY only
}

// ---- whole definitions -------------------------------------------------------------

TEST_F(CompDefsTest, CopySwapAndCompareDefinitions) {
    ComponentDef a;
    a.type = kTypeSubckt;
    a.SetName("A_LONG_DEFINITION_NAME");
    a.SetMemo("memo of a");
    a.SetShapeLink(AutoMacroShape());
    a.data1 = 3;
    a.cost = 1.5;
    ASSERT_EQ(a.SetPinsFromSubcktLine(".SUBCKT A_LONG_DEFINITION_NAME IN OUT"), kOk);

    ComponentDef b;
    ASSERT_EQ(b.CopyDefinition(a, true), kOk);
    EXPECT_STREQ(b.ShapeName(), "AutoMacro");
    EXPECT_EQ(DefinitionsDiffer(&a, &b), 0);

    struct Change {
        const char* what;
        void (*apply)(ComponentDef&);
        int differs;
    } changes[] = {
        {"memo", [](ComponentDef& d) { d.SetMemo("other"); }, 0},
        {"name", [](ComponentDef& d) { d.SetName("OTHER"); }, 0},
        {"cost", [](ComponentDef& d) { d.cost = 9; }, 0},
        {"pin name position", [](ComponentDef& d) { d.pins[0].nameX = 5; }, 0},
        {"pin position", [](ComponentDef& d) { d.pins[1].y = 9; }, 1},
        {"pin name case", [](ComponentDef& d) { d.SetPin(0, 'a', "in", nullptr); }, 1},
        {"pin kind", [](ComponentDef& d) { d.SetPin(0, 'd', "IN", nullptr); }, 1},
        {"hidden node", [](ComponentDef& d) { d.SetPin(0, 'a', "IN", "VCC"); }, 1},
        {"data2", [](ComponentDef& d) { d.data2 = 1; }, 1},
        {"no shape", [](ComponentDef& d) { d.shapeLink = nullptr; }, 1},
        {"shape name",
         [](ComponentDef& d) {
             d.shapeLink = reinterpret_cast<Shape*>(&d);
             d.shapeName.Set("R");
         },
         1},
    };
    for (const Change& c : changes) {
        ComponentDef changed;
        ASSERT_EQ(changed.CopyDefinition(a, true), kOk);
        c.apply(changed);
        EXPECT_EQ(DefinitionsDiffer(&a, &changed), c.differs) << c.what;
    }
    EXPECT_EQ(DefinitionsDiffer(&a, nullptr), 1);

    ComponentDef c;
    c.type = kTypeResistor;
    c.SetName("R_DEF");
    ASSERT_EQ(c.ResizePins(2), kOk);
    ASSERT_EQ(ComponentDef::SwapDefinitions(a, c), kOk);
    EXPECT_STREQ(a.Name(), "R_DEF");
    EXPECT_EQ(a.type, kTypeResistor);
    EXPECT_STREQ(c.Name(), "A_LONG_DEFINITION_NAME");
    EXPECT_STREQ(c.Memo(), "memo of a");
    EXPECT_EQ(cdt_PinNames(c), (std::vector<std::string>{"IN", "OUT"}));
    EXPECT_EQ(c.cost, 1.5);
}

TEST_F(CompDefsTest, SamePinNamesPairsEachPinOnce) {
    auto make = [](ComponentDef& d, std::vector<const char*> names) {
        d.type = kTypeSubckt;
        d.ResizePins(static_cast<int>(names.size()));
        for (size_t i = 0; i < names.size(); ++i) d.SetPin(static_cast<int>(i), 'a', names[i], nullptr);
    };
    struct Case {
        std::vector<const char*> a, b;
        bool same;
    } cases[] = {
        {{"IN", "OUT", "VCC"}, {"vcc", "in", "Out"}, true},
        {{"A", "A", "B"}, {"A", "B", "B"}, false},
        {{"A", "B"}, {"A", "B", "C"}, false},
        {{}, {}, true},
    };
    for (const Case& c : cases) {
        ComponentDef a, b;
        make(a, c.a);
        make(b, c.b);
        EXPECT_EQ(a.SamePinNames(b), c.same);
    }
}

TEST_F(CompDefsTest, ComponentCaption) {
    ComponentDef d;
    d.type = kTypeNpn;
    d.SetName("2N2222");
    char buffer[64];
    d.SetMemo("NPN general purpose");
    EXPECT_STREQ(GetComponentCaption(&d, buffer, sizeof buffer), "2N2222:NPN general purpose");
    d.SetMemo("");
    EXPECT_STREQ(GetComponentCaption(&d, buffer, sizeof buffer), "2N2222");
    d.type = kComponentTypeCount;
    EXPECT_STREQ(GetComponentCaption(&d, buffer, sizeof buffer), "");
    EXPECT_STREQ(GetComponentCaption(nullptr, buffer, sizeof buffer), "");
    d.type = kTypeNpn;
    d.SetMemo("a memo much longer than the buffer");
    EXPECT_STREQ(GetComponentCaption(&d, buffer, 10), "2N2222:a ");
}

TEST_F(CompDefsTest, ShapeLinkNamesTheShape) {
    ComponentDef d;
    d.shapeName.Set("OLD");
    Shape* shape = reinterpret_cast<Shape*>(&d);
    d.SetShapeLink(shape);  // the shape libraries are not there: the name stays
    EXPECT_STREQ(d.ShapeName(), "OLD");
    struct ResistorShapes final : ShapeLibraryPort {
        const char* ShapeName(const Shape*) override { return "Resistor"; }
        bool ShapeRect(const SchematicObject*, int32_t*) override { return false; }
    } shapes;
    ScopedPort<ShapeLibraryPort> installed(InstallShapeLibrary, &shapes);
    d.SetShapeLink(shape);
    EXPECT_STREQ(d.ShapeName(), "Resistor");
    d.SetShapeLink(AutoMacroShape());
    EXPECT_STREQ(d.ShapeName(), "AutoMacro");
    EXPECT_TRUE(d.IsAutoMacro());
    d.SetShapeLink(nullptr);
    EXPECT_STREQ(d.ShapeName(), "AutoMacro");
    EXPECT_EQ(d.shapeLink, nullptr);
}

TEST_F(CompDefsTest, DefinitionsInAPool) {
    ObjectPool pool;
    ComponentDef::InitPool(&pool);
    for (int i = 0; i < 3; ++i) {
        auto* d = pool.AddNewConstructed<ComponentDef>(kComponentDefItemType);
        ASSERT_NE(d, nullptr);
        d->Init();
        EXPECT_EQ(d->groupId, -1);
        d->type = kTypeSubckt;
        d->SetName("A_NAME_LONGER_THAN_TWELVE");
        d->SetMemo("memo");
        ASSERT_EQ(d->SetPinsFromSubcktLine(".SUBCKT S LONG_PIN_NAME_1 LONG_PIN_NAME_2"), kOk);
    }
    // Setting a record up keeps it linked both ways.
    int backwards = 0;
    for (PoolItem* item = pool.last; item; item = item->prev) ++backwards;
    EXPECT_EQ(backwards, 3);
    pool.DeleteAll();  // the destroy callback releases names, memos and pins
    EXPECT_EQ(pool.count, 0);
}

}  // namespace
