// Statement templates, name indexes, part lookup and part-name checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace {

constexpr const char* kDiodeTemplate = "<[%g][OFF%d][IC=%g[,%g]]>";
constexpr const char* kMosTemplate =
    "<[M=%g][L=%t][W=%t][AD=%g][AS=%g][PD=%g][PS=%g][NRD=%g][NRS=%g][NRB=%g][NRG=%g][OFF%d][IC=%g[,%g[,%g]]]>";

struct GivenValue {
    double value;
    int32_t given;
};

class CompScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedParentheses_ = Prefs().addParenthesesToDefine;
        Prefs().addParenthesesToDefine = 0;
        CurrentRunContext().circuitDocument = &doc_;
        table_ = GetDefineTable(&doc_);
        ASSERT_NE(table_, nullptr);
        ASSERT_EQ(InitRootScopes(&doc_), 0);
        ClearLastMessage();
        session_ = GetCompileSession(&doc_);
    }
    void TearDown() override {
        ReleaseDefineTable(&doc_);
        CurrentRunContext().circuitDocument = nullptr;
        Prefs().addParenthesesToDefine = savedParentheses_;
    }
    SchematicObject* AddPart(const char* name, int scope) {
        SchematicObject* part = doc_.NewSchematicObject();
        part->objectKind = kObjectComponent;
        part->level = static_cast<int16_t>(scope);
        SetAttribute(&doc_, part, kAttrPart, name);
        return part;
    }
    void Define(const char* text) {
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ASSERT_EQ(ParseDefineStatement(table_, text, source, kDotDefine), 0);
    }

    CCirDoc doc_;
    DefineTable* table_ = nullptr;
    CompileSession* session_ = nullptr;
    int savedParentheses_ = 0;
};

TEST_F(CompScannerTest, DiodeTemplateStoresAreaFlagAndInitialConditions) {
    Define(".define V0 1.5");
    Define(".define _V OFF");
    struct Case {
        const char* statement;
        int result;
        double area;
        int32_t off;
        double ic1;
        double ic2;
        int message;
    };
    const std::vector<Case> cases = {
        {"2 OFF IC=1,2", 0, 2, 1, 1, 2, 0},
        {"OFF", 0, -7, 1, -7, -7, 0},
        {"off", 0, -7, 1, -7, -7, 0},
        {"IC=1", 0, -7, 0, 1, -7, 0},        // the second IC value keeps its content
        {"IC=V0", 0, -7, 0, 1.5, -7, 0},     // a define gives its value
        {"IC=1 X", 0, -7, 0, 1, -7, 11904},  // extra text is a warning only
        {"IC 1", kResultShown, -7, 0, -7, -7, 11902},
        {"IC={1+}", kResultShown, -7, 0, -7, -7, -1},
        {"", 0, -7, 0, -7, -7, 0},    // nothing to read, nothing touched
        {"_V", 0, -7, 0, -7, -7, 0},  // a value that reads OFF ends the scan
        {"_V OFF 3", 0, 3, 1, -7, -7, 0},
    };
    for (const Case& c : cases) {
        double area = -7, ic1 = -7, ic2 = -7;
        int32_t off = 0;
        ClearLastMessage();
        EXPECT_EQ(ScanStatement(nullptr, kDiodeTemplate, c.statement, &area, &off, &ic1, &ic2), c.result)
            << c.statement;
        EXPECT_EQ(area, c.area) << c.statement;
        EXPECT_EQ(off, c.off) << c.statement;
        EXPECT_EQ(ic1, c.ic1) << c.statement;
        EXPECT_EQ(ic2, c.ic2) << c.statement;
        if (c.message > 0)
            EXPECT_EQ(LastMessageId(), c.message) << c.statement;
        else if (c.message == 0)
            EXPECT_EQ(LastMessageId(), 0) << c.statement;
        else
            EXPECT_NE(LastMessageId(), 0) << c.statement;
    }
}

TEST_F(CompScannerTest, MosfetOptionsMayComeInAnyOrderAndGivenFlagsAreSet) {
    for (const char* statement : {"M=2 L=1u", "L=1u M=2", "L=5u M=2 L=1u"}) {
        double m = 0, ad = 0, as = 0, pd = 0, ps = 0, nrd = 0, nrs = 0, nrb = 0, nrg = 0, ic[3] = {};
        GivenValue l{0, 0}, w{0, 0};
        int32_t off = 0;
        ASSERT_EQ(ScanStatement(nullptr, kMosTemplate, statement, &m, &l, &w, &ad, &as, &pd, &ps, &nrd, &nrs, &nrb,
                                &nrg, &off, &ic[0], &ic[1], &ic[2]),
                  0)
            << statement;
        EXPECT_EQ(m, 2) << statement;
        EXPECT_DOUBLE_EQ(l.value, 1e-6) << statement;
        EXPECT_EQ(l.given, 1) << statement;
        EXPECT_EQ(w.given, 0) << statement;
    }
    // Fewer outputs than slots are refused, not written past.
    double only = 0;
    void* outputs[1] = {&only};
    EXPECT_EQ(ScanStatementV(nullptr, kMosTemplate, "M=2", outputs, 1), kResultShown);
    EXPECT_EQ(only, 0);
    EXPECT_EQ(CountTemplateSlots(kMosTemplate), 15);
}

TEST_F(CompScannerTest, NameIndexesFollowTheAlphabet) {
    SchematicObject* r1 = AddPart("R1", 1);
    ASSERT_EQ(session_->parts.Insert("R1", r1), 0);
    ASSERT_EQ(session_->parts.Insert("X1.R1", r1), 0);
    EXPECT_EQ(session_->parts.Insert("r1", r1), 0);  // lower case is outside the alphabet: not entered
    EXPECT_EQ(session_->parts.Insert("A B", r1), 0);
    EXPECT_EQ(session_->parts.Find("X1.R1"), r1);
    EXPECT_EQ(session_->parts.Find("r1"), nullptr);
    EXPECT_EQ(session_->parts.Find("X1"), nullptr);
    EXPECT_EQ(session_->parts.InnerNodeCount(), 5);  // R, X, X1, X1., X1.R
    ASSERT_EQ(session_->nodes.Insert("OUT", 4), 0);
    ASSERT_EQ(session_->nodes.Insert("$N_0001", 7), 0);
    EXPECT_EQ(session_->nodes.Find("OUT"), 4);
    EXPECT_EQ(session_->nodes.Find("$N_0001"), 7);
    EXPECT_EQ(session_->nodes.Find("OU"), -1);
    session_->parts.Clear();
    session_->nodes.Clear();
    EXPECT_EQ(session_->parts.InnerNodeCount(), 0);
    EXPECT_EQ(session_->nodes.Find("OUT"), -1);
    EXPECT_EQ(session_->parts.Find("X1.R1"), nullptr);
}

TEST_F(CompScannerTest, FindPartLooksUpByScopeWithAndWithoutTheIndex) {
    ASSERT_EQ(NameInstanceScope(table_, 2, 1, "X1"), 0);
    SchematicObject* x1 = AddPart("X1", 1);
    SchematicObject* inner = AddPart("R1", 2);
    const std::string longName(120, 'Q');
    SchematicObject* longPart = AddPart(longName.substr(0, 99).c_str(), 1);
    for (bool indexed : {false, true}) {
        if (indexed) {
            ASSERT_EQ(session_->parts.Insert("X1", x1), 0);
            ASSERT_EQ(session_->parts.Insert("X1.R1", inner), 0);
            ASSERT_EQ(session_->parts.Insert(longName.substr(0, 99).c_str(), longPart), 0);
        }
        EXPECT_EQ(FindPart("x1", 1), x1) << indexed;
        EXPECT_EQ(FindPart("X1.R1", -1), inner) << indexed;
        EXPECT_EQ(FindPart("R1", 2), inner) << indexed;
        EXPECT_EQ(FindPart("R1", 1), nullptr) << indexed;
        EXPECT_EQ(FindPart(longName.c_str(), 1), longPart) << indexed;
    }
    char* qualified = GetQualifiedPartName(inner);
    EXPECT_STREQ(qualified, "X1.R1");
    FreeString(&qualified);
}

TEST_F(CompScannerTest, PartNamesAreCheckedForSymbolsCharactersAndDuplicates) {
    SchematicObject* r1 = AddPart("R1", 1);
    struct Case {
        const char* name;
        int flags;
        SchematicObject* part;
        int result;
        int message;
    };
    const std::vector<Case> cases = {
        {"PI", 0x28, nullptr, 1, 10889}, {"PI", 0x128, nullptr, 0, 0},    {"R 1", 0x28, nullptr, 1, 10897},
        {"X1.R1", 0x68, nullptr, 0, 0},  {"1R", 0xA0, nullptr, 1, 10897}, {"R1", 0x22, nullptr, 1, 10896},
        {"R1", 0x22, r1, 0, 0},  // the part itself is no duplicate
        {"R2", 0x1A2, nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        ClearLastMessage();
        EXPECT_EQ(CheckPartName(&doc_, c.name, 1, c.flags, c.part), c.result) << c.name << " " << c.flags;
        EXPECT_EQ(LastMessageId(), c.message) << c.name << " " << c.flags;
    }
    struct NameCase {
        const char* text;
        int flags;
        int invalid;
        int notIdentifier;
    };
    const std::vector<NameCase> names = {
        {"R1", 0, 0, 0}, {"$N+1/2", 0, 0, 1}, {"A.B", 0, 1, 1}, {"A.B", 0x40, 0, 1},
        {"", 0, 1, 1},   {"_X9", 0, 0, 0},    {"9X", 0, 0, 1},  {"A B", 0, 1, 1},
    };
    for (const NameCase& n : names) {
        EXPECT_EQ(IsInvalidName(n.text, n.flags), n.invalid) << n.text;
        EXPECT_EQ(IsPlainIdentifier(n.text), n.notIdentifier) << n.text;
    }
}

}  // namespace
