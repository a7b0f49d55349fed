// .MODEL statements, model records, tolerances, AKO inheritance and the .MODEL writer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "expr/symbols.h"
#include "models/messages.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "tests/models/fake_circuit_scopes.h"

namespace {

class ModelStmtTest : public ::testing::Test {
protected:
    void SetUp() override {
        models = CreateCircuitModels(nullptr);
        ASSERT_NE(models, nullptr);
        ClearLastMessage();
        ClearPendingMessage();
        savedPrivateAnalog = GlobalSettings.privateanalog;
        savedWidth = GlobalSettings.width;
        GlobalSettings.privateanalog = 0;
        gSolver.AnalysisKind = -1;
    }
    void TearDown() override {
        DestroyCircuitModels(models);
        GlobalSettings.privateanalog = savedPrivateAnalog;
        GlobalSettings.width = savedWidth;
        gSolver.AnalysisKind = -1;
    }

    int Parse(const char* text, int scope = 1) {
        StatementSource source{kSourceTextLine, scope, 0, 0};
        return ParseModelStatement(models, text, source, 0, "");
    }
    // Parses the statement (which must succeed) and resolves its record.
    ModelRecord* ParseAndResolve(const char* text) {
        EXPECT_EQ(Parse(text), 0) << text << ": " << LastMessageText();
        return ResolveAko(models, -1, models->ModelStatements.Count - 1, false, false);
    }
    static int Index(const ModelRecord* record, const char* name) {
        return FindModelParamIndex(record->ModelType, name);
    }
    static double Value(const ModelRecord* record, const char* name) { return record->Values[Index(record, name)]; }

    CircuitModels* models = nullptr;
    int32_t savedPrivateAnalog = 0;
    int32_t savedWidth = 80;
};

TEST_F(ModelStmtTest, DiodeStatementParsesWithItsGivenFlags) {
    ModelRecord* record = ParseAndResolve(".MODEL DX D (IS=1E-15, N=1.1)");
    ASSERT_NE(record, nullptr);
    const ModelStatement& st = models->ModelStatements.Entries[0];
    EXPECT_STREQ(st.Name, "DX");
    EXPECT_EQ(st.Type, kModelDiode);
    EXPECT_EQ(std::strpbrk(st.ParamText, ",()"), nullptr) << st.ParamText;
    EXPECT_EQ(st.AkoRow, -1);
    EXPECT_EQ(st.Resolved, 1);
    EXPECT_EQ(record->ModelType, kModelDiode);
    EXPECT_STREQ(record->QualifiedName, "DX");
    EXPECT_DOUBLE_EQ(Value(record, "IS"), 1e-15);
    EXPECT_DOUBLE_EQ(Value(record, "N"), 1.1);
    EXPECT_DOUBLE_EQ(Value(record, "RS"), 0);  // the default
    for (int i = 0; i < ModelParamCount(kModelDiode); ++i) {
        bool expected = i == Index(record, "IS") || i == Index(record, "N");
        EXPECT_EQ(record->Given[i] != 0, expected) << i;
    }
    EXPECT_DOUBLE_EQ(record->Nominal[Index(record, "IS")], 1e-15);

    // The same row again is the same record; the lower-case keyword and
    // continuation lines read the same way.
    EXPECT_EQ(ResolveAko(models, -1, 0, false, false), record);
    ModelRecord* second = ParseAndResolve(".model dy d\n+ is=2e-15\n+ n=1.2 rs={2*3}");
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(models->ModelStatements.Entries[1].Name, "DY");
    EXPECT_DOUBLE_EQ(Value(second, "N"), 1.2);
    EXPECT_DOUBLE_EQ(Value(second, "RS"), 6);
}

TEST_F(ModelStmtTest, BadStatementsAreRefusedAndLeaveTheListAsItWas) {
    ASSERT_EQ(Parse(".MODEL DX D (IS=1)"), 0);
    struct Case {
        const char* text;
        int message;
        const char* shown;  // a part of the message text
    } cases[] = {
        {".MODEL D", 11859, "name and type"}, {".MODEL X1 FOO (A=1)", 11855, "'FOO'"},
        {".MODEL TEMP D", 10889, "'TEMP'"},   {".MODEL DX D (N=2)", 10896, "Duplicate"},
        {".MODEL DZ D (IS=1", 11900, "')'"},
    };
    for (const Case& c : cases) {
        ClearLastMessage();
        EXPECT_EQ(Parse(c.text), kResultShown) << c.text;
        EXPECT_EQ(LastMessageId(), c.message) << c.text;
        EXPECT_NE(std::strstr(LastMessageText(), c.shown), nullptr) << LastMessageText();
        EXPECT_EQ(models->ModelStatements.Count, 1) << c.text;
    }
    // Not .MODEL statements: nothing happens.
    EXPECT_EQ(Parse(".MODELX DA D"), 0);
    EXPECT_EQ(Parse("* .MODEL DA D"), 0);
    EXPECT_EQ(models->ModelStatements.Count, 1);
    // The same name in another scope is no duplicate.
    EXPECT_EQ(Parse(".MODEL DX D (N=2)", 2), 0);
    // Operators spelt as words are no operands: SPICE3 decks name models so.
    EXPECT_EQ(Parse(".MODEL MOD D (IS=1)"), 0);
    EXPECT_EQ(Parse(".MODEL Or NPN"), 0);
}

TEST_F(ModelStmtTest, SplitModelTextKeepsFieldsBounded) {
    ModelTextParts parts;
    const char* rest = SplitModelText(" q2  ako : q1 npn(BF=50)", &parts);
    EXPECT_STREQ(parts.name, "Q2");
    EXPECT_STREQ(parts.akoName, "q1");
    EXPECT_STREQ(parts.typeWord, "NPN");
    EXPECT_STREQ(rest, "(BF=50)");
    std::string longName(200, 'A');
    SplitModelText((longName + " D").c_str(), &parts);
    EXPECT_EQ(std::strlen(parts.name), 89u);
    EXPECT_STREQ(parts.typeWord, "D");
    SplitModelText("B.1 NMOS LEVEL=8", &parts);
    EXPECT_STREQ(parts.name, "B.1");
    SplitModelText("X AKO Q1 NPN", &parts);  // AKO without a colon is the type word
    EXPECT_STREQ(parts.typeWord, "AKO");
}

TEST_F(ModelStmtTest, ToleranceClausesGiveTheirDeviations) {
    ModelRecord* record = ParseAndResolve(".MODEL DTL D IS=1E-14 LOT/2/GAUSS=10% DEV=5% N=1.5 DEV/UNIFORM=0.1");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->HasTolerance, 1);
    const ToleranceSpec& is = record->Tolerances[Index(record, "IS")];
    EXPECT_DOUBLE_EQ(is.Lot, 1e-15);
    EXPECT_EQ(is.LotIndex, 2);
    EXPECT_EQ(is.LotDist, kDistGauss);
    EXPECT_DOUBLE_EQ(is.Dev, 5e-16);
    EXPECT_EQ(is.DevIndex, kNoTrackingIndex);
    EXPECT_EQ(is.DevDist, kDistDefault);
    const ToleranceSpec& n = record->Tolerances[Index(record, "N")];
    EXPECT_DOUBLE_EQ(n.Dev, 0.1);
    EXPECT_EQ(n.DevDist, kDistUniform);
    EXPECT_DOUBLE_EQ(n.Lot, 0);
    const ToleranceSpec& rs = record->Tolerances[Index(record, "RS")];
    EXPECT_EQ(rs.Dev, -1);
    EXPECT_EQ(rs.LotIndex, kNoTrackingIndex);
}

TEST_F(ModelStmtTest, BadParameterListsReportAndGiveNoRecord) {
    struct Case {
        const char* text;
        int message;
    } cases[] = {
        {".MODEL E1 D IS=1 LOT/12=1", 11863}, {".MODEL E2 D DEV=5% IS=1", 11852}, {".MODEL E3 D IS=1 LOT/1X=1", 11903},
        {".MODEL E4 D (IS=1) )", 11903},      {".MODEL E5 D IS 1", 11900},        {".MODEL E6 D IS=", 11901},
        {".MODEL E7 D IS=abc+", 11861},       {".MODEL E8 D =1", 11900},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Parse(c.text), 0) << c.text;
        int row = models->ModelStatements.Count - 1;
        ClearLastMessage();
        EXPECT_EQ(ResolveAko(models, -1, row, false, false), nullptr) << c.text;
        EXPECT_EQ(LastMessageId(), c.message) << c.text << ": " << LastMessageText();
        // A failed record is never handed out by a later request.
        EXPECT_EQ(ResolveAko(models, -1, row, false, false), nullptr) << c.text;
        EXPECT_EQ(models->ModelStatements.Entries[row].Resolved, 0);
    }
}

TEST_F(ModelStmtTest, ValueChecksRunOnlyWhileAnAnalysisIsSetUp) {
    struct Case {
        const char* text;
        int message;  // 0: accepted; -1: refused by the type table's check
    } cases[] = {
        {".MODEL P1 PUL P1=0 P2=1n P3=2n P4=3n P5=1n", 11851},
        {".MODEL P2 PUL P1=0 P2=-1 P3=2n P4=3n P5=4n", 0},
        {".MODEL P3 PUL P1=0 P2=1n P3=0.999999999999999n P4=3n P5=4n", 0},  // near-equal times are equal
        {".MODEL G1 GASFET VMAX=2 VBI=1", 11856},
        {".MODEL T1 D T_ABS=30 T_REL_GLOBAL=2", 11854},
        {".MODEL C1 D IS=-1", -1},
        {".MODEL C2 D LEVEL=1.5", -1},
    };
    for (const Case& c : cases) {
        // The same statement in scope 1 without an analysis and in scope 2 with one.
        ASSERT_EQ(Parse(c.text, 1), 0) << c.text;
        gSolver.AnalysisKind = -1;
        EXPECT_NE(ResolveAko(models, -1, models->ModelStatements.Count - 1, false, false), nullptr) << c.text;
        ASSERT_EQ(Parse(c.text, 2), 0) << c.text;
        gSolver.AnalysisKind = 0;
        ClearLastMessage();
        ModelRecord* record = ResolveAko(models, -1, models->ModelStatements.Count - 1, false, false);
        EXPECT_EQ(record != nullptr, c.message == 0) << c.text;
        if (c.message > 0) {
            EXPECT_EQ(LastMessageId(), c.message) << c.text;
        }
    }
}

TEST_F(ModelStmtTest, UnknownAndRepeatedParametersBecomeCompileNotes) {
    ModelRecord* record = ParseAndResolve(".MODEL DN D IS=1 FOO=3 IS=2");
    ASSERT_NE(record, nullptr);
    EXPECT_DOUBLE_EQ(Value(record, "IS"), 2);
    ASSERT_EQ(models->Notes.Count, 2);
    EXPECT_STREQ(models->Notes.Entries[0].Text, "FOO");
    EXPECT_EQ(models->Notes.Entries[0].Kind, kNoteUnknownParam);
    EXPECT_STREQ(models->Notes.Entries[1].Text, "IS");
    EXPECT_EQ(models->Notes.Entries[1].Kind, kNoteDuplicateParam);
    EXPECT_EQ(models->Notes.Entries[1].Row, 0);
}

TEST_F(ModelStmtTest, AkoInheritsAllButTemperatureAndFindsCycles) {
    ASSERT_EQ(Parse(".MODEL Q1 NPN (IS=2f BF=80 T_ABS=50)"), 0);
    ModelRecord* record = ParseAndResolve(".MODEL Q2 AKO:Q1 NPN BF=50");
    ASSERT_NE(record, nullptr);
    EXPECT_DOUBLE_EQ(Value(record, "IS"), 2e-15);
    EXPECT_DOUBLE_EQ(Value(record, "BF"), 50);
    EXPECT_TRUE(IsUnsetValue(Value(record, "T_ABS")));
    EXPECT_FALSE(record->Given[Index(record, "IS")]);  // the base's flags are not inherited
    EXPECT_TRUE(record->Given[Index(record, "BF")]);
    EXPECT_EQ(models->ModelStatements.Entries[1].AkoRow, 0);

    struct Case {
        const char* first;
        const char* second;  // resolved
        int message;
    } cases[] = {
        {nullptr, ".MODEL Q3 AKO:QMISSING NPN BF=1", 11858},
        {".MODEL QA AKO:QB NPN", ".MODEL QB AKO:QA NPN", 11857},
        {nullptr, ".MODEL QS AKO:QS NPN", 11857},
    };
    for (const Case& c : cases) {
        if (c.first) {
            ASSERT_EQ(Parse(c.first), 0);
        }
        ASSERT_EQ(Parse(c.second), 0);
        ClearLastMessage();
        EXPECT_EQ(ResolveAko(models, -1, models->ModelStatements.Count - 1, false, false), nullptr) << c.second;
        EXPECT_EQ(LastMessageId(), c.message) << c.second;
    }
}

TEST_F(ModelStmtTest, DevTolerancesAndPrivateOptionsGivePrivateCopies) {
    ModelRecord* plain = ParseAndResolve(".MODEL DP D IS=1f");
    ASSERT_EQ(Parse(".MODEL DD D IS=1f DEV=10%"), 0);
    ASSERT_EQ(Parse(".MODEL DL D IS=1f LOT=10%"), 0);
    int devRow = 1;
    ModelRecord* shared = ResolveAko(models, -1, devRow, false, false);
    ASSERT_NE(shared, nullptr);
    ModelRecord* copy1 = ResolveAko(models, -1, devRow, false, false);
    ModelRecord* copy2 = ResolveAko(models, -1, devRow, false, false);
    ASSERT_NE(copy1, nullptr);
    EXPECT_NE(copy1, shared);
    EXPECT_NE(copy1, copy2);
    EXPECT_EQ(copy1->Template, shared);
    EXPECT_EQ(copy1->Nominal, shared->Nominal);
    EXPECT_EQ(copy1->Tolerances, shared->Tolerances);
    EXPECT_DOUBLE_EQ(Value(copy1, "IS"), 1e-15);
    EXPECT_TRUE(copy1->Given[Index(copy1, "IS")]);
    // LOT deviates per model: the record is shared.
    EXPECT_EQ(ResolveAko(models, -1, 2, false, false), ResolveAko(models, -1, 2, false, false));
    EXPECT_EQ(ResolveAko(models, -1, 0, false, false), plain);
    GlobalSettings.privateanalog = 1;
    EXPECT_NE(ResolveAko(models, -1, 0, false, false), plain);
}

TEST_F(ModelStmtTest, KeepTextsModeKeepsEachValueAsWritten) {
    ASSERT_EQ(Parse(".MODEL DK D IS={ISX} N=1.1 LOT=5%"), 0);
    ModelRecord* record = ResolveAko(models, -1, 0, true, false);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->Texts, nullptr);
    EXPECT_STREQ(record->Texts[Index(record, "IS")], "{ISX}");
    EXPECT_STREQ(record->Texts[Index(record, "N")], "1.1 LOT=5%");
    EXPECT_STREQ(record->Texts[Index(record, "RS")], "0");  // the formatted default
    char* text = WriteModelStatement(kModelDiode, 0, record->Values, ModelParamCount(kModelDiode), "DK", record->Given,
                                     record->Texts);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, ".MODEL DK D (IS={ISX} N=1.1 LOT=5%)");
    MemFree(text);
}

TEST_F(ModelStmtTest, WriterGivesStatementsThatReadBack) {
    ModelRecord* defaults = ParseAndResolve(".MODEL DX D");
    ASSERT_NE(defaults, nullptr);
    ModelRecord* bsim3 = ParseAndResolve(".MODEL MB NMOS LEVEL=8");
    ASSERT_NE(bsim3, nullptr);
    ModelRecord* diode = ParseAndResolve(".MODEL DV D IS=2.7n N=1.8 CJO=4p");
    ASSERT_NE(diode, nullptr);
    struct Case {
        const ModelRecord* record;
        const char* name;
        const char* expected;
    } cases[] = {
        {defaults, "DX", ".MODEL DX D ( )"},
        {bsim3, "MB", ".MODEL MB NMOS (LEVEL=8)"},
        {diode, "DV", ".MODEL DV D (IS=2.7n N=1.8 CJO=4p)"},
    };
    for (const Case& c : cases) {
        char* text = WriteModelStatement(c.record->ModelType, 0, c.record->Values, ModelParamCount(c.record->ModelType),
                                         c.name, nullptr, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, c.expected);
        MemFree(text);
    }

    // A long list wraps within WIDTH and parses back to the same values.
    GlobalSettings.width = 40;
    ModelRecord* bjt = ParseAndResolve(
        ".MODEL QW NPN IS=12f BF=220 VAF=90 IKF=0.25 ISE=15f NE=1.5 BR=5 RB=10 "
        "RE=0.3 RC=1 CJE=24p CJC=8p TF=0.45n TR=50n");
    ASSERT_NE(bjt, nullptr);
    char* text = WriteModelStatement(kModelNpn, kWriteContinuation, bjt->Values, ModelParamCount(kModelNpn), "QW2",
                                     nullptr, nullptr);
    ASSERT_NE(text, nullptr);
    std::string written = text;
    MemFree(text);
    size_t lineStart = 0;
    for (size_t end; (end = written.find("\r\n", lineStart)) != std::string::npos; lineStart = end + 2) {
        EXPECT_LE(end - lineStart, 40u) << written;
        EXPECT_EQ(written.compare(end + 2, 2, "+ "), 0) << written;
    }
    EXPECT_NE(lineStart, 0u) << written;
    ModelRecord* back = ParseAndResolve(written.c_str());
    ASSERT_NE(back, nullptr);
    for (int i = 0; i < ModelParamCount(kModelNpn); ++i)
        EXPECT_DOUBLE_EQ(back->Values[i], bjt->Values[i]) << ModelTypeTable[kModelNpn].Params[i].Name;
}

TEST_F(ModelStmtTest, NonNumericParametersKeepCharactersAndTexts) {
    ModelRecord* io = ParseAndResolve(".MODEL IO1 UIO (DRVH=96 ATOD1=\"ATOD_STD\")");
    ASSERT_NE(io, nullptr);
    EXPECT_STREQ(ModelSlotText(&io->Values[Index(io, "ATOD1")]), "ATOD_STD");
    EXPECT_STREQ(ModelSlotText(&io->Values[Index(io, "DTOA1")]), "DtoADefault");
    ModelRecord* out = ParseAndResolve(".MODEL DO1 DOUTPUT S2NAME=x S2VLO=1");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(ModelSlotChar(&out->Values[Index(out, "S2NAME")]), 'X');
    char buffer[64];
    EXPECT_STREQ(FormatModelParamText(buffer, sizeof buffer, out->Values, Index(out, "S2NAME"), kModelDOutput),
                 "\"X\"");
    EXPECT_STREQ(FormatModelParamText(buffer, sizeof buffer, out->Values, Index(out, "S3NAME"), kModelDOutput), "\"\"");
}

TEST_F(ModelStmtTest, DefinesExpandIntoSeveralParameters) {
    // A define may stand for a whole NAME=value list; one that keeps growing
    // is refused instead of rescanned forever.
    FakeCircuitScopes scopes;
    scopes.substitute = [](const std::string& text) {
        std::string s = text;
        if (s == "DEFS")
            s = "1f N=1.3";
        else if (s == "GROW")
            s = "GROW+1";
        else if (s.rfind("GROW", 0) == 0)
            s += "+1";
        return s;
    };
    ScopedPort<ModelCircuitScopes> scopesPort(InstallCircuitScopes, &scopes);
    ModelRecord* record = ParseAndResolve(".MODEL DS D IS=DEFS RS=2");
    ASSERT_EQ(Parse(".MODEL DG D IS=GROW"), 0);
    ClearLastMessage();
    ModelRecord* grown = ResolveAko(models, -1, 1, false, false);
    ASSERT_NE(record, nullptr);
    EXPECT_DOUBLE_EQ(Value(record, "IS"), 1e-15);
    EXPECT_DOUBLE_EQ(Value(record, "N"), 1.3);
    EXPECT_DOUBLE_EQ(Value(record, "RS"), 2);
    EXPECT_EQ(grown, nullptr);
    EXPECT_EQ(LastMessageId(), 11861);
}

}  // namespace
