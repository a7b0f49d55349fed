// The analysis limits written back as statements: what is written reads back
// to the same limits, and closing an analysis rewrites only its statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "compiler/analysisstmts.h"
#include "compiler/limitwriter.h"
#include "compiler/outputstmts.h"
#include "compiler/statements.h"
#include "core/dialect.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "expr/runstate.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompLimitWriterTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        text_ = std::make_unique<CCTDoc>(2);
        text_->dialect = kSpiceDialectPSpice;
        context_.document = text_.get();
    }
    void TearDown() override {
        ReleaseDefineTable(text_.get());
        text_.reset();
        SetupFixture::TearDown();
    }
    // Reads statement lines (one per line) as the reader would, for the kind.
    void Read(const std::string& statements) {
        static const std::map<std::string, StatementHandler> handlers = {
            {".TRAN", ReadTranStatement},   {".AC", ReadAcStatement},      {".DC", ReadDcStatement},
            {".NOISE", ReadNoiseStatement}, {".TEMP", ReadTempStatement},  {".STEP", ReadStepStatement},
            {".PRINT", ReadPrintStatement}, {".PLOT", ReadPrintStatement}, {".WATCH", ReadWatchStatement},
        };
        BeginAnalysisStatements(text_.get());
        size_t start = 0;
        while (start < statements.size()) {
            size_t end = statements.find('\n', start);
            if (end == std::string::npos) end = statements.size();
            std::string line = statements.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            const std::string keyword = line.substr(0, line.find(' '));
            auto handler = handlers.find(keyword);
            ASSERT_NE(handler, handlers.end()) << line;
            ASSERT_EQ(handler->second(context_, line.data()), 0) << line;
        }
        MergeCurveRows(text_.get());
    }
    // What the statements of a kind set, as comparable text.
    std::vector<std::string> Snapshot(int kind) {
        AnalysisKindSettings& k = *AnalysisKindOf(text_.get(), kind);
        std::vector<std::string> out;
        auto text = [](const char* t) { return std::string(t ? t : ""); };
        for (int i = 0; i < kLimitTextCount; ++i) out.push_back("limit" + std::to_string(i) + "=" + text(k.limits[i]));
        out.push_back("sweep=" + std::to_string(k.sweepType) + "," + std::to_string(k.sweep2Type));
        out.push_back("options=" + std::to_string(k.optionWord & (kRunOperatingPoint | kRunOperatingPointOnly)));
        for (const StepVariable& step : k.steps) {
            if (!(step.flags & kStepOn)) continue;
            std::string s = "step " + std::to_string(step.flags);
            for (const char* t : step.texts) s += "|" + text(t);
            out.push_back(s);
        }
        std::vector<std::string> rows;
        for (const auto& row : k.curves)
            rows.push_back("row " + text(row->xExpression) + "|" + text(row->yExpression) + "|" + text(row->yRange) +
                           "|" + std::to_string(row->plotGroup) + "|" + std::to_string(row->options));
        std::sort(rows.begin(), rows.end());
        out.insert(out.end(), rows.begin(), rows.end());
        for (const std::string& w : k.watch) out.push_back("watch " + w);
        return out;
    }

    std::unique_ptr<CCTDoc> text_;
    SpiceStatementContext context_;
};

TEST_F(CompLimitWriterTest, WrittenStatementsReadBackToTheSameLimits) {
    struct Case {
        int kind;
        const char* statements;
        const char* analysisLine;  // the first line written, "" not checked
    };
    const Case cases[] = {
        {0, ".TRAN 1N 100N", ".TRAN 1N 100N"},
        {0, ".TRAN 1N 100N 10N 1P UIC", ".TRAN 1N 100N 10N 1P UIC"},
        {0, ".TRAN 10N 50N", ".TRAN 10N 50N"},
        {0, ".TRAN 2.5N 10N 0 1N", ".TRAN 2.5N 10N 0 1N"},
        {1, ".AC DEC 10 1 1MEG", ".AC DEC 10 1 1MEG"},
        {1, ".AC LIN 100 1 1K", ".AC LIN 100 1 1K"},
        {2, ".DC V1 0 5 0.1", ".DC V1 0 5 0.1"},
        {2, ".DC V1 0 5 0.1 V2 0 1 0.5", ".DC V1 0 5 0.1 V2 0 1 0.5"},
        {2, ".DC PARAM X LIST 1 2 3", ".DC PARAM X LIST 1 2 3"},
        {2, ".DC DEC I1 1 1K 10", ".DC DEC I1 1 1K 10"},
        {0, ".TRAN 1N 100N\n.TEMP 27 50", ""},
        {0, ".TRAN 1N 100N\n.STEP RES RLOAD(R) 1K 10K 1K\n.STEP R1 1 10 1 ;$TWE R\n.STEP DEC PARAM P 1 1K 10", ""},
        {0, ".TRAN 1N 100N\n.PRINT TRAN V(1) I(R1)\n.PLOT TRAN V(2) (0,5)\n.WATCH TRAN V(1) I(R1)", ""},
        {1, ".AC DEC 10 1 1MEG\n.PRINT AC VDB(OUT) VP(OUT) (V(1)-V(2))", ""},
        {1, ".AC DEC 10 1 1MEG\n.NOISE V(OUT) VIN 10\n.PRINT NOISE ONOISE(DB)", ""},
    };
    for (const Case& c : cases) {
        SetAnalysisKind(c.kind);
        Read(c.statements);
        const std::vector<std::string> first = Snapshot(c.kind);
        const std::string written = BuildAnalysisStatements(text_.get(), c.kind, false, "\n");
        if (c.analysisLine[0]) {
            EXPECT_EQ(written.substr(0, written.find('\n')), c.analysisLine) << c.statements;
        }
        Read(written);
        EXPECT_EQ(Snapshot(c.kind), first) << c.statements << "\nwritten:\n" << written;
    }
}

TEST_F(CompLimitWriterTest, StatementsWrittenFromLimitTexts) {
    SetAnalysisKind(1);
    AnalysisKindSettings& ac = *AnalysisKindOf(text_.get(), 1);
    SetString(&ac.limits[kAcRange], "1E8,1Meg");
    SetString(&ac.limits[kAcPoints], "51");
    ac.sweepType = kSweepLog;
    EXPECT_EQ(FormatAcStatement(text_.get()), ".AC DEC 25 1Meg 1E8");
    // Logarithmic limits that have no decades are written as a linear sweep.
    for (const char* range : {"1K,1K", "1K,0", "1K,-1", "0,1K"}) {
        SetString(&ac.limits[kAcRange], range);
        EXPECT_EQ(FormatAcStatement(text_.get()).rfind(".AC LIN 51 ", 0), 0u) << range;
    }
    AnalysisKindSettings& tran = *AnalysisKindOf(text_.get(), 0);
    SetString(&tran.limits[kTranRange], "1U");
    SetString(&tran.limits[kTranPoints], "51");
    tran.optionWord = kRunOperatingPoint;
    EXPECT_EQ(FormatTranStatement(text_.get()), ".TRAN 20N 1U");

    struct TempCase {
        bool list;
        const char* text;
        const char* statement;
    };
    const TempCase temps[] = {
        {true, "27,50,-40", ".TEMP 27 50 -40"},
        {false, "", ".TEMP 27"},
        {false, "35", ".TEMP 35"},
        {false, "10,20", ".TEMP 10 20"},
        {false, "100,0,25", ".TEMP 0 25 50 75 100"},
        {false, "0,100,-25", ".TEMP 0 25 50 75 100"},
        {false, "100,0,0", ".TEMP 0"},
        {false, "100,0,-5", ".TEMP 0"},
    };
    for (const TempCase& t : temps) EXPECT_EQ(FormatTempStatement(t.list, t.text), t.statement) << t.text;
    // A huge range stops at a bounded number of values.
    const std::string huge = FormatTempStatement(false, "1E9,0,1");
    EXPECT_LT(huge.size(), 20000u);

    struct ItemCase {
        const char* expression;
        int dialect;
        const char* item;
    };
    const ItemCase items[] = {
        {"DB(V(3))", kSpiceDialectPSpice, "VDB(3)"},
        {"RE(I(V1))", kSpiceDialectPSpice, "IR(V1)"},
        {"MAG(V(2,4))", kSpiceDialectPSpice, "VM(2,4)"},
        {"V(1)-V(2)", kSpiceDialectPSpice, "(V(1)-V(2))"},
        {"ATN(V(T))*PI", kSpiceDialectPSpice, "(ATAN(V(T))*3.14159)"},
        {"LOG(V(1))", kSpiceDialect3, "LOG(V(1))"},
        {"LOG(V(1))", kSpiceDialectPSpice, "LOG10(V(1))"},
        {"DB(ONOISE)", kSpiceDialectPSpice, "ONOISE(DB)"},
        {"DB(ONOISE)", kSpiceDialect2G, "DB(ONOISE)"},
        {"v(out)", kSpiceDialect2G, "V(OUT)"},
    };
    for (const ItemCase& i : items) EXPECT_EQ(FormatPrintItem(i.expression, i.dialect), i.item) << i.expression;
}

TEST_F(CompLimitWriterTest, ClosingAnAnalysisRewritesOnlyItsStatements) {
    SetAnalysisKind(0);
    std::string body =
        "title .TRAN in the title\r\n"
        "V1 1 0 1\r\n"
        ".tran 1n 100n\r\n"
        "* kept comment\r\n"
        ".AC DEC 10 1 1MEG\r\n"
        ".PRINT TRAN V(1)\r\n";
    // A long statement is removed whole, continuation lines and all.
    for (int i = 0; i < 250; ++i) body += "+ V(" + std::to_string(i) + ")\r\n";
    body += ".PRINT AC V(1)\r\n.STEP V1 1 2 1\r\n.END\r\nafter end\r\n";
    Read(".TRAN 2N 50N\n.PRINT TRAN V(9)");
    const std::string expected =
        "title .TRAN in the title\r\n"
        "V1 1 0 1\r\n"
        "* kept comment\r\n"
        ".AC DEC 10 1 1MEG\r\n"
        ".PRINT AC V(1)\r\n"
        ".TRAN 2N 50N\r\n"
        ".PLOT TRAN V(9)\r\n"
        ".PRINT TRAN V(9)\r\n"
        ".END\r\nafter end\r\n";
    EXPECT_EQ(RewriteAnalysisStatements(text_.get(), body, 0), expected);

    ASSERT_EQ(text_->SetPageCount(1), 0);
    text_->Page(0)->kind = kPageText;
    StoreTextPageText(text_.get(), 0, body.c_str());
    ApplyLimitsFromText(text_.get());
    char* stored = CopyTextPageText(text_.get(), 0);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(stored), expected);
    FreeString(&stored);
    // Without .END the statements go at the end.
    EXPECT_EQ(RewriteAnalysisStatements(text_.get(), "title\nR1 1 0 1", 0),
              "title\nR1 1 0 1\n.TRAN 2N 50N\n.PLOT TRAN V(9)\n.PRINT TRAN V(9)\n");
}

}  // namespace
