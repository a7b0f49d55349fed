#include <gtest/gtest.h>

#include <strings.h>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "core/result.h"
#include "models/messages.h"
#include "models/modelhelp.h"
#include "models/modeltypes.h"
#include "tests/support/test_reporter.h"

namespace {

class ModelTypesTest : public ::testing::Test {};

const ModelParamInfo& mtt_Param(int type, const char* name) {
    int index = FindModelParamIndex(type, name);
    EXPECT_GE(index, 0) << name;
    static const ModelParamInfo none{};
    return index >= 0 ? ModelTypeTable[type].Params[index] : none;
}

TEST_F(ModelTypesTest, UnsetValueIsOneBitPatternShownAsUndefined) {
    EXPECT_EQ(std::bit_cast<uint64_t>(kUnsetValue), 0x43B11A296DE47070ULL);
    EXPECT_TRUE(IsUnsetValue(kUnsetValue));
    // The neighbouring doubles are ordinary values.
    double next = std::nextafter(kUnsetValue, 2e18);
    double previous = std::nextafter(kUnsetValue, 0.0);
    EXPECT_FALSE(IsUnsetValue(next));
    EXPECT_FALSE(IsUnsetValue(previous));
    EXPECT_FALSE(IsUnsetValue(1.232343e18 + 1e6));

    char buffer[40];
    EXPECT_STREQ(FormatParamValue(buffer, sizeof buffer, &kUnsetValue), "undefined");
    EXPECT_STRNE(FormatParamValue(buffer, sizeof buffer, &next), "undefined");
}

TEST_F(ModelTypesTest, FindModelTypeByName) {
    struct Case {
        const char* keyword;
        int type;
    };
    const Case cases[] = {
        {"NMOS", 3}, {"PMOS", 16},  {"LPNP", 38},    {"R", 14},     {"RES", 14},    {"SW", 10},
        {"PWL", 43}, {"D", 1},      {"OPA", 0},      {"UBGT", 30},  {"UIO", 31},    {"nmos", -1},
        {"", -1},    {"NMOS ", -1}, {"ISWITCH", 11}, {"GASFET", 9}, {"DINPUT", 19},
    };
    for (const Case& c : cases) EXPECT_EQ(FindModelTypeByName(c.keyword), c.type) << c.keyword;
    EXPECT_EQ(FindModelTypeByName(nullptr), -1);

    EXPECT_EQ(FindModelTypeInText("NPN (IS=1E-15)"), kModelNpn);
    EXPECT_EQ(FindModelTypeInText("SW RON=1"), kModelVSwitch);
    EXPECT_EQ(FindModelTypeInText("XYZ RON=1"), -1);
    // The word must end in a blank within the first 49 characters.
    EXPECT_EQ(FindModelTypeInText("D"), -1);
    EXPECT_EQ(FindModelTypeInText((std::string(60, 'D') + " X").c_str()), -1);
}

TEST_F(ModelTypesTest, FindModelParamIndexWithSwapAndAliases) {
    struct Case {
        int type;
        const char* name;
        const char* found;  // null: not found
    };
    const Case cases[] = {
        {kModelNpn, "VAF", "VAF"},
        {kModelNpn, "vaf", "VAF"},
        {kModelNpn, "VA", "VAF"},
        {kModelNpn, "IK", "IKF"},
        {kModelPnp, "PT", "XTI"},
        {kModelLpnp, "CCS", "CJS"},
        {kModelNpn, "ms", "MJS"},
        {kModelBsim3N, "VTHO", "VTH0"},
        {kModelBsim3N, "vtho", "VTH0"},
        {kModelBsim3P, "JSW", "JSSW"},
        {kModelTline, "Z0", "ZO"},
        {kModelTline, "ZO", "ZO"},
        {kModelBsim1N, "TEMP", "T_ABS"},
        {kModelBsim1P, "WDF", "W"},
        {kModelBsim2N, "LK1", "K1L"},
        {kModelBsim2P, "WPHI", "PHIW"},
        {kModelNmos, "UO", "UO"},
        {kModelNmos, "U0", "UO"},
        {kModelBsim4N, "VERSION", "VERSION"},
        // Aliases belong to their family only.
        {kModelDiode, "VA", nullptr},
        {kModelBsim4N, "JSW", nullptr},
        {kModelBsim2N, "TEMP", nullptr},
        {kModelDiode, "", nullptr},
        {kModelDiode, "NOPE", nullptr},
        {kModelPwl, "IS", nullptr},
        {kModelNone, "IS", nullptr},
        {kModelUBgt, "X", nullptr},
    };
    for (const Case& c : cases) {
        int index = FindModelParamIndex(c.type, c.name);
        if (!c.found) {
            EXPECT_EQ(index, -1) << c.type << " " << c.name;
            continue;
        }
        ASSERT_GE(index, 0) << c.type << " " << c.name;
        EXPECT_STREQ(ModelTypeTable[c.type].Params[index].Name, c.found) << c.name;
    }
    // A name of 30 characters or more is refused before any comparison.
    EXPECT_EQ(FindModelParamIndex(kModelDiode, std::string(30, 'A').c_str()), -1);
    EXPECT_EQ(FindModelParamIndex(kModelDiode, nullptr), -1);
}

TEST_F(ModelTypesTest, MosLevelsSelectTheModelType) {
    struct Case {
        int type;
        int level;
        int result;
    };
    const Case cases[] = {
        {3, 1, 3},
        {3, 3, 3},
        {16, 2, 16},
        {3, 4, 32},
        {16, 4, 33},
        {3, 5, 34},
        {16, 5, 35},
        {3, 8, 36},
        {3, 49, 36},
        {16, 49, 37},
        {3, 14, 39},
        {16, 14, 40},
        {3, 44, 41},
        {16, 44, 42},
        {3, 0, -1},
        {3, 6, -1},
        {16, 54, -1},
        {kModelDiode, 4, kModelDiode},
        {kModelBsim3N, 1, kModelBsim3N},
    };
    for (const Case& c : cases) EXPECT_EQ(MosLevelToType(c.type, c.level), c.result) << c.type << "/" << c.level;

    for (int t : {32, 34, 36, 39, 41}) EXPECT_EQ(BaseMosType(t), kModelNmos) << t;
    for (int t : {33, 35, 37, 40, 42}) EXPECT_EQ(BaseMosType(t), kModelPmos) << t;
    for (int t : {-1, 1, 3, 16, 38, 43}) EXPECT_EQ(BaseMosType(t), t) << t;

    struct TextCase {
        const char* text;
        int type;
        int result;
    };
    const TextCase texts[] = {
        {"LEVEL=49 VTO=1", 3, 36},
        {"VTO=1 LEVEL = 14", 16, 40},
        {"level=4", 3, 32},
        {"VTO=1", 3, 3},
        {"LEVEL=7", 3, 3},
        {"LEVEL={L}", 16, 16},
        {"LEVEL=44", kModelDiode, kModelDiode},
        // An EKV statement's NLEVEL is not its LEVEL.
        {"NLEVEL=2 LEVEL=44", 3, 41},
        {"NLEVEL=4", 3, 3},
    };
    for (const TextCase& c : texts) EXPECT_EQ(LevelTypeFromText(c.text, c.type), c.result) << c.text;
    EXPECT_EQ(LevelTypeFromText(nullptr, 3), 3);
}

TEST_F(ModelTypesTest, BinningIndicesNameTheRangeParameters) {
    const char* names[4] = {"LMIN", "LMAX", "WMIN", "WMAX"};
    for (int type : {kModelBsim3N, kModelBsim3P, kModelBsim4N, kModelBsim4P}) {
        int indices[4];
        ASSERT_TRUE(BinningParamIndices(type, indices));
        for (int i = 0; i < 4; ++i) EXPECT_STREQ(ModelTypeTable[type].Params[indices[i]].Name, names[i]) << type;
    }
    int indices[4] = {1, 2, 3, 4};
    EXPECT_FALSE(BinningParamIndices(kModelNmos, indices));
    for (int i : indices) EXPECT_EQ(i, -1);
}

// The table is data typed in by hand: check what every row must satisfy.
TEST_F(ModelTypesTest, EveryRowIsConsistent) {
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeInfo& row = ModelTypeTable[type];
        SCOPED_TRACE(std::to_string(type) + " " + row.Keyword);
        EXPECT_GE(row.ValueCount, row.ParamCount);
        EXPECT_EQ(row.Params == nullptr, row.ParamCount == 0);
        if (row.TempParamIndex > 0) {
            const char* temps[4] = {"T_MEASURED", "T_ABS", "T_REL_GLOBAL", "T_REL_LOCAL"};
            for (int i = 0; i < 4; ++i) {
                const ModelParamInfo& p = row.Params[row.TempParamIndex + i];
                EXPECT_STREQ(p.Name, temps[i]);
                EXPECT_TRUE(IsUnsetValue(p.Default.number));
            }
        }
        int width = 0;
        for (int i = 0; i < row.ParamCount; ++i) {
            const ModelParamInfo& p = row.Params[i];
            EXPECT_LT(std::strlen(p.Name), 30u) << p.Name;
            EXPECT_EQ(p.Flags & kParamWritable, kParamWritable) << p.Name;
            EXPECT_TRUE(p.Kind >= kParamNumber && p.Kind <= kParamText) << p.Name;
            for (const char* c = p.Name; *c; ++c) EXPECT_FALSE(*c >= 'a' && *c <= 'z') << p.Name;
            // Every name must be found again at its own index: no duplicates in a list.
            EXPECT_EQ(FindModelParamIndex(type, p.Name), i) << p.Name;
            width = std::max(width, static_cast<int>(std::strlen(p.Name)));
        }
        EXPECT_EQ(row.NameWidth, width);
    }
    // Help ids run on without gaps from list to list: 21000 up to 23009.
    std::vector<std::pair<int, int>> helpRanges;
    for (int type = 0; type < kModelTypeCount; ++type) {
        std::pair<int, int> range{ModelTypeTable[type].HelpBase, ModelTypeTable[type].ParamCount};
        if (std::find(helpRanges.begin(), helpRanges.end(), range) == helpRanges.end()) helpRanges.push_back(range);
    }
    std::sort(helpRanges.begin(), helpRanges.end());
    int nextId = 21000;
    for (const auto& [base, count] : helpRanges) {
        EXPECT_EQ(base, nextId);
        nextId = base + count;
    }
    EXPECT_EQ(nextId, 23010);

    // Shared lists are one list; the BSIM3 lists differ in the noise defaults only.
    EXPECT_EQ(ModelTypeTable[kModelNpn].Params, ModelTypeTable[kModelPnp].Params);
    EXPECT_EQ(ModelTypeTable[kModelNpn].Params, ModelTypeTable[kModelLpnp].Params);
    EXPECT_EQ(ModelTypeTable[kModelNmos].Params, ModelTypeTable[kModelPmos].Params);
    EXPECT_EQ(ModelTypeTable[kModelBsim4N].Params, ModelTypeTable[kModelBsim4P].Params);
    const ModelTypeInfo& n3 = ModelTypeTable[kModelBsim3N];
    const ModelTypeInfo& p3 = ModelTypeTable[kModelBsim3P];
    ASSERT_NE(n3.Params, p3.Params);
    std::vector<std::string> differing;
    for (int i = 0; i < n3.ParamCount; ++i) {
        EXPECT_STREQ(n3.Params[i].Name, p3.Params[i].Name);
        if (std::bit_cast<uint64_t>(n3.Params[i].Default.number) !=
            std::bit_cast<uint64_t>(p3.Params[i].Default.number))
            differing.push_back(n3.Params[i].Name);
    }
    EXPECT_EQ(differing, (std::vector<std::string>{"NOIA", "NOIB", "NOIC"}));
}

TEST_F(ModelTypesTest, DefaultsClassesAndFlagsOfSampleParameters) {
    struct Case {
        int type;
        const char* name;
        double def;
        char checkClass;
        uint16_t flags;
    };
    constexpr double U = kUnsetValue;
    const Case cases[] = {
        {kModelOpamp, "C", 3e-11, '+', 0x01},
        {kModelDiode, "IS", 1e-14, '+', 0x0F},
        {kModelDiode, "ISR", 0, 'A', 0x05},
        {kModelDiode, "RL", 0, 'A', 0x01},
        {kModelNpn, "VAF", 0, 'G', 0x2F},
        {kModelNpn, "XCJC", 1, '1', 0x0F},
        {kModelNpn, "NK", 0.5, '+', 0x05},
        {kModelNmos, "VTO", U, 'A', 0x0F},
        {kModelNmos, "UCRIT", 10000, 'G', 0x0F},
        {kModelNmos, "RDS", 0, 'G', 0x25},
        {kModelNmos, "NLEV", U, '3', 0x05},
        {kModelNjf, "RD", 0, 'G', 0x2F},
        {kModelTline, "NL", 0.25, 'A', 0x05},
        {kModelTline, "LEN", U, 'A', 0x05},
        {kModelGasfet, "LEVEL", 1, 'L', 0x05},
        {kModelGasfet, "RG", 0, 'G', 0x25},
        {kModelRes, "NM", 1, 'A', 0x0F},
        {kModelDInput, "S0RHI", 389, 'A', 0x05},
        {kModelUAdc, "TPDSMX", 1e-08, 'A', 0x05},
        {kModelUGate, "TPHLTY", 0, 'A', 0x05},
        {kModelUPld, "TPHLMX", -1, 'A', 0x05},
        {kModelUPld, "COMPOFFSET", 1, 'G', 0x05},
        {kModelBsim1N, "LEVEL", 4, 'A', 0x1F},
        {kModelBsim1N, "PHI", U, '+', 0x05},
        {kModelBsim2N, "VGLOW", -0.15, 'A', 0x05},
        {kModelBsim2N, "CGDO", 0, 'G', 0x0F},
        {kModelBsim3N, "PSCBE1", 4.24e+08, 'A', 0x05},
        {kModelBsim3N, "LPSCBE1", 0, 'A', 0x05},
        {kModelBsim3N, "PVFBCV", 0, 'A', 0x09},
        {kModelBsim3N, "VERSION", U, 'G', 0x09},
        {kModelBsim3N, "RSH", 0, 'G', 0x2F},
        {kModelBsim3P, "NOIA", 9.9e+18, 'A', 0x05},
        {kModelBsim3N, "LREF", U, '+', 0x05},
        {kModelBsim4N, "LEVEL", 14, 'A', 0x1F},
        {kModelBsim4N, "PMOIN", 0, 'A', 0x05},
        {kModelBsim4N, "WMAX", U, 'A', 0x05},
        {kModelEkvN, "GDSNOI", 1, 'G', 0x05},
        {kModelEkvP, "W", U, 'A', 0x05},
    };
    for (const Case& c : cases) {
        const ModelParamInfo& p = mtt_Param(c.type, c.name);
        SCOPED_TRACE(std::string(ModelTypeTable[c.type].Description) + " " + c.name);
        EXPECT_EQ(std::bit_cast<uint64_t>(p.Default.number), std::bit_cast<uint64_t>(c.def));
        EXPECT_EQ(p.CheckClass, static_cast<uint8_t>(c.checkClass));
        EXPECT_EQ(p.Flags, c.flags);
    }
    // Positions that binary libraries depend on.
    EXPECT_EQ(FindModelParamIndex(kModelBsim4N, "VERSION"), 25);
    EXPECT_EQ(FindModelParamIndex(kModelBsim4N, "LCDSC"), 194);
    EXPECT_EQ(FindModelParamIndex(kModelBsim4N, "WCDSC"), 314);
    EXPECT_EQ(FindModelParamIndex(kModelBsim4N, "PMOIN"), 553);
    EXPECT_EQ(FindModelParamIndex(kModelBsim3N, "PVTH0"), 57);
    EXPECT_EQ(FindModelParamIndex(kModelEkvN, "NLEV"), 76);
}

TEST_F(ModelTypesTest, StartUpFixUps) {
    // Character defaults live in the first byte.
    EXPECT_EQ(mtt_Param(kModelDOutput, "S0NAME").Default.character[0], '0');
    EXPECT_EQ(mtt_Param(kModelDOutput, "S1NAME").Default.character[0], '1');
    EXPECT_EQ(mtt_Param(kModelDOutput, "S2NAME").Default.character[0], 0);
    EXPECT_EQ(mtt_Param(kModelDOutput, "SXNAME").Default.character[0], 0);
    EXPECT_EQ(mtt_Param(kModelDInput, "S1NAME").Default.character[0], '1');
    EXPECT_EQ(mtt_Param(kModelDInput, "S1NAME").Default.character[1], 0);
    // Texts.
    EXPECT_STREQ(mtt_Param(kModelBsim4P, "VERSION").Default.text, "4.2.1");
    EXPECT_STREQ(mtt_Param(kModelUIo, "ATOD3").Default.text, "AtoDDefault");
    EXPECT_STREQ(mtt_Param(kModelUIo, "DTOA4").Default.text, "DtoADefault");
    EXPECT_STREQ(mtt_Param(kModelUIo, "DIGPOWER").Default.text, "DIGIFPWR");

    // A second start-up changes nothing.
    InitModelParamTables();
    EXPECT_EQ(mtt_Param(kModelDOutput, "S0NAME").Default.character[0], '0');

    // Listing through SortIndex gives the names in order, each once.
    const ModelTypeInfo& bsim3 = ModelTypeTable[kModelBsim3N];
    const char* first[] = {"A0", "A1", "A2", "ACDE", "AF", "AGS", "ALPHA0"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(bsim3.Params[bsim3.Params[i].SortIndex].Name, first[i]);
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeInfo& row = ModelTypeTable[type];
        std::vector<bool> listed(row.ParamCount, false);
        for (int i = 0; i < row.ParamCount; ++i) {
            int index = row.Params[i].SortIndex;
            ASSERT_TRUE(index >= 0 && index < row.ParamCount);
            EXPECT_FALSE(listed[index]);
            listed[index] = true;
            if (i > 0) {
                EXPECT_LE(strcasecmp(row.Params[row.Params[i - 1].SortIndex].Name, row.Params[index].Name), 0)
                    << row.Keyword;
            }
        }
    }
}

struct MttReport {
    int calls = 0;
    int code = 0;
    std::string text;
    std::string statement;
    int location = 0;
};

void mtt_CaptureReport(MttReport& report, const MessageRequest& request) {
    ++report.calls;
    report.code = request.code() == kResultPending ? PendingCode() : request.code();
    report.text = PendingText();
    report.statement = request.statement() ? request.statement() : "";
    report.location = request.source();
}

TEST_F(ModelTypesTest, CheckModelParamValue) {
    MttReport mtt_report;
    ScopedTestReporter reporter([&mtt_report](const MessageRequest& request) {
        mtt_CaptureReport(mtt_report, request);
        return 0;
    });
    int fakeDocument = 0;
    CCTDoc* doc = reinterpret_cast<CCTDoc*>(&fakeDocument);

    struct Case {
        int type;
        const char* name;
        double value;
        bool levelRange;
        int message;  // 0: accepted
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {kModelDiode, "LEVEL", 1, false, 0},
        {kModelDiode, "LEVEL", 2, false, 0},
        {kModelDiode, "LEVEL", 1.5, false, 14080},
        {kModelDiode, "LEVEL", 3, false, 14080},
        {kModelDiode, "LEVEL", kUnsetValue, false, 0},
        {kModelNmos, "LEVEL", kUnsetValue, true, 0},
        {kModelNmos, "LEVEL", 49, false, 14076},
        {kModelNmos, "LEVEL", 3.7, false, 0},
        {kModelNmos, "LEVEL", 4, false, 0},
        {kModelNmos, "LEVEL", 4, true, 14077},
        {kModelPmos, "LEVEL", 0.5, true, 14077},
        {kModelPmos, "LEVEL", 1e300, false, 14076},
        {kModelBsim3N, "LEVEL", 8, false, 0},
        {kModelBsim3N, "LEVEL", 6, false, 14076},
        {kModelEkvP, "LEVEL", 44, true, 0},
        {kModelDiode, "IS", 0, false, 14070},
        {kModelDiode, "IS", 1e-30, false, 0},
        {kModelDiode, "BV", 0, false, 0},
        {kModelDiode, "BV", -1e-9, false, 14071},
        {kModelDiode, "BV", nan, false, 14071},
        {kModelNpn, "XCJC", 1, false, 0},
        {kModelNpn, "XCJC", 1.0000001, false, 14072},
        {kModelNpn, "XCJC", -0.1, false, 14072},
        {kModelNpn, "ISS", -5, false, 0},
        {kModelNmos, "NLEV", 3, false, 0},
        {kModelNmos, "NLEV", 3.0000001, false, 14073},
        {kModelOpamp, "LEVEL", 1, false, 0},
        {kModelOpamp, "LEVEL", 3, false, 0},
        {kModelOpamp, "LEVEL", 3.0000001, false, 14074},
        {kModelOpamp, "LEVEL", 0.5, false, 14074},
        {kModelNjf, "VTO", -1e30, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ModelTypeTable[c.type].Description) + " " + c.name + "=" + std::to_string(c.value));
        mtt_report = MttReport{};
        int index = FindModelParamIndex(c.type, c.name);
        int result = CheckModelParamValue(doc, 7, index, c.type, &c.value, "stmt", c.levelRange);
        EXPECT_EQ(result, c.message ? kResultShown : kOk);
        EXPECT_EQ(mtt_report.calls, c.message ? 1 : 0);
        if (c.message) {
            EXPECT_EQ(mtt_report.code, c.message);
            EXPECT_EQ(mtt_report.statement, "stmt");
            EXPECT_EQ(mtt_report.location, 7);
        }
    }

    // Texts name the parameter and its value.
    mtt_report = MttReport{};
    double zero = 0;
    CheckModelParamValue(doc, 1, FindModelParamIndex(kModelDiode, "IS"), kModelDiode, &zero, nullptr, false);
    EXPECT_EQ(mtt_report.text, "%EIS=0 Value must be greater than zero.");

    // State letters: 0 1 R F X Z or none, case-sensitive.
    int s0 = FindModelParamIndex(kModelDOutput, "S0NAME");
    for (char c : {'0', '1', 'R', 'F', 'X', 'Z', '\0'}) {
        double slot;
        SetModelSlotChar(&slot, c);
        EXPECT_EQ(CheckModelParamValue(doc, 1, s0, kModelDOutput, &slot, nullptr, false), kOk) << c;
    }
    mtt_report = MttReport{};
    double slot;
    SetModelSlotChar(&slot, 'x');
    EXPECT_EQ(CheckModelParamValue(doc, 1, s0, kModelDOutput, &slot, nullptr, false), kResultShown);
    EXPECT_EQ(mtt_report.code, 14075);
    EXPECT_EQ(mtt_report.text, "%ES0NAME=x Value must be \"0\",\"1\",\"R\",\"F\",\"X\",\"Z\",\"\".");

    // Without a document nothing is shown and nothing stays pending; the value is still refused.
    mtt_report = MttReport{};
    EXPECT_EQ(
        CheckModelParamValue(nullptr, 1, FindModelParamIndex(kModelDiode, "IS"), kModelDiode, &zero, nullptr, false),
        kResultShown);
    EXPECT_EQ(mtt_report.calls, 0);
    EXPECT_EQ(PendingCode(), 0);

    // Out-of-range indices and types are refused, never read.
    EXPECT_EQ(CheckModelParamValue(doc, 1, 31, kModelDiode, &zero, nullptr, false), kResultShown);
    EXPECT_EQ(CheckModelParamValue(doc, 1, 0, kModelPwl, &zero, nullptr, false), kResultShown);
    EXPECT_EQ(CheckModelParamValue(doc, 1, -1, kModelDiode, &zero, nullptr, false), kResultShown);
}

TEST_F(ModelTypesTest, FormatParamValue) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {1, "1"},
        {-15, "-15"},
        {1e-14, "10f"},
        {1.1e-07, "110n"},
        {4.24e+08, "424MEG"},
        {0.1, "100m"},
        {2.5e-06, "2.5u"},
        {1.0 / 3, "333.333333333333m"},
        {1e+20, "1E20"},
        {-1.4e-12, "-1.4p"},
        {1.5e-18, "1.5E-18"},
        {-1.234567e-25, "-1.234567E-25"},
        {123456789012345678.0, "1.23456789012346E17"},
    };
    char buffer[40];
    for (const Case& c : cases) EXPECT_STREQ(FormatParamValue(buffer, sizeof buffer, &c.value), c.text) << c.value;
    // A short buffer is never overrun.
    char small[4];
    double value = 1.0 / 3;
    FormatParamValue(small, sizeof small, &value);
    EXPECT_LT(std::strlen(small), sizeof small);
}

TEST_F(ModelTypesTest, NamesAndHelpTexts) {
    char name[8];
    EXPECT_STREQ(ModelParamName(name, sizeof name, kModelNpn, 3), "VAF");
    EXPECT_STREQ(ModelParamName(name, sizeof name, kModelBsim3N, 39), "T_MEASU");
    EXPECT_STREQ(ModelParamName(name, sizeof name, kModelDiode, 99), "");
    EXPECT_EQ(ModelParamHelpId(kModelNpn, 3), 21058);
    EXPECT_EQ(ModelParamHelpId(kModelLpnp, 3), 21058);

    struct Case {
        int id;
        const char* text;
    };
    const Case examples[] = {
        {21000, "Model level (1,2,3)"},
        {21002, "Compensation capacitor"},
        {21020, "Measured temperature"},
        {21021, "Absolute temperature"},
        {21022, "Relative to current temperature"},
        {21023, "Relative to AKO model temperature"},
        {21605, "Input load capacitance"},
        {21609, "(Level 1) Name of AtoD interface subcircuit"},
        {21626, "Model level(1,2,3,4=BSIM1,5=BSIM2,8=BSIM3,14=BSIM4,44=EKV)"},
    };
    for (const Case& c : examples) EXPECT_STREQ(GetMessageText(c.id), c.text) << c.id;

    // Every parameter of every row has a description of its own, not the generic one.
    for (int type = 0; type < kModelTypeCount; ++type) {
        for (int i = 0; i < ModelTypeTable[type].ParamCount; ++i) {
            const char* text = GetMessageText(ModelParamHelpId(type, i));
            ASSERT_NE(text, nullptr) << ModelTypeTable[type].Keyword << " " << ModelTypeTable[type].Params[i].Name;
            EXPECT_FALSE(ModelHelpTextIsGeneric(type, i)) << ModelTypeTable[type].Params[i].Name;
        }
    }
}

}  // namespace
